// Message boxes built from string-table templates, caption "Skeindle".
#ifndef SKEIND_APP_MESSAGES_WIN32_H
#define SKEIND_APP_MESSAGES_WIN32_H

#include <windows.h>

#include "app/startup.h"
#include "store/db.h"

// Loads string `id`; gives "" when it is missing.
void LoadText(HINSTANCE instance, int id, char* buffer, int size);

// Formats template `message` with a text and a code and shows it.
int ShowMessage(HINSTANCE instance, HWND owner, int message, const char* text, uint32_t code,
                UINT style);

class MessageBoxUi : public AStartupUi {
public:
    explicit MessageBoxUi(HINSTANCE instance) : instance_(instance) {}
    void Tell(int message, const char* text, uint32_t code) override;
    bool AskYesNo(int message, const char* text, uint32_t code) override;
    // Through the process's instance registry, by the file's short full
    // path, so that another spelling of the same name finds it.
    bool ActivateOtherCopy(const char* name) override;
    // Later boxes are owned by the main window.
    void set_owner(HWND owner) { owner_ = owner; }

private:
    HINSTANCE instance_;
    HWND owner_ = 0;
};

class WorkspaceFullBox : public AGrowthNotice {
public:
    explicit WorkspaceFullBox(HINSTANCE instance) : instance_(instance) {}
    void WorkspaceFull() override;

private:
    HINSTANCE instance_;
};

#endif
