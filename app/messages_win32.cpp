#include "app/messages_win32.h"

#include <stdio.h>

#include "res/resource.h"
#include "store/instance_registry.h"

void LoadText(HINSTANCE instance, int id, char* buffer, int size) {
    if (LoadStringA(instance, (UINT)id, buffer, size) <= 0) buffer[0] = 0;
}

int ShowMessage(HINSTANCE instance, HWND owner, int message, const char* text, uint32_t code,
                UINT style) {
    char format[1024];
    char caption[128];
    char body[2048];
    LoadText(instance, message, format, sizeof format);
    LoadText(instance, IDS_PROGRAM_TITLE, caption, sizeof caption);
    // Templates use %s for the name and %ld for the code, in that order;
    // a template without them ignores the arguments.
    snprintf(body, sizeof body, format, text ? text : "", (long)code);
    return MessageBoxA(owner, body, caption, style);
}

void MessageBoxUi::Tell(int message, const char* text, uint32_t code) {
    ShowMessage(instance_, owner_, message, text, code, MB_OK | MB_ICONSTOP);
}

bool MessageBoxUi::AskYesNo(int message, const char* text, uint32_t code) {
    return ShowMessage(instance_, owner_, message, text, code, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool MessageBoxUi::ActivateOtherCopy(const char* name) {
    InstanceRegistry& registry = InstanceRegistry::Process();
    return registry.Activate(InstanceRegistry::ShortFullPath(name).c_str()) != 0;
}

void WorkspaceFullBox::WorkspaceFull() {
    ShowMessage(instance_, GetActiveWindow(), IDS_WORKSPACE_FULL, "", 0, MB_OK | MB_ICONSTOP);
}
