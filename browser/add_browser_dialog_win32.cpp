#include <stdio.h>
#include <string.h>

#include <memory>
#include <string>

#include "browser/browser_dialogs_win32.h"
#include "browser/browser_registry_win32.h"
#include "browser/program_file_win32.h"
#include "browser/program_path.h"
#include "observe/settings.h"
#include "res/resource.h"
#include "res/strings.h"

// The service field shares the topic of Specify, whose field it is.
const DWORD kAddBrowserHelpTable[] = {
    IDC_PROGRAM_FILE, 7,  IDC_BROWSE_PROGRAM, 17,      IDC_GUESS_SERVICE, 18, IDC_SPECIFY_SERVICE, 19,
    IDC_SERVICE_NAME, 19, IDC_BROWSER_DESCRIPTION, 20, 0, 0,
};

namespace {

// The program that Add offers when App Paths knows it.
const char kOfferedProgram[] = "netscape.exe";
const UINT kChooserFlags = OFN_READONLY | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                           OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_LONGNAMES;

std::string ItemText(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    int n = GetWindowTextLengthA(control);
    if (n <= 0) return std::string();
    std::string text((size_t)n + 1, '\0');
    n = GetWindowTextA(control, &text[0], n + 1);
    text.resize(n > 0 ? (size_t)n : 0);
    return text;
}

void Copy(char* out, size_t room, const char* text) { snprintf(out, room, "%s", text); }

}  // namespace

void InitProgramFileChooser(ProgramFileChooser* chooser, HINSTANCE instance) {
    ZeroMemory(chooser, sizeof *chooser);
    OPENFILENAMEA& r = chooser->record;
    // The structure as the older systems know it: 76 bytes in a 32-bit
    // build, the platform's own older size in a 64-bit one.
    r.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    // A string resource cannot hold zero bytes: the filter's last
    // character stands for them.
    int n = LoadStringA(instance, IDS_PROGRAM_FILE_FILTER, chooser->filter, sizeof chooser->filter);
    if (n > 0) {
        char separator = chooser->filter[n - 1];
        for (int i = 0; i < n; ++i)
            if (chooser->filter[i] == separator) chooser->filter[i] = 0;
    }
    r.lpstrFilter = chooser->filter;
    r.nFilterIndex = 1;
    r.lpstrFile = chooser->file;
    r.nMaxFile = sizeof chooser->file;
    r.lpstrFileTitle = chooser->file_title;
    r.nMaxFileTitle = sizeof chooser->file_title;
    LoadStringA(instance, IDS_FIND_BROWSER_TITLE, chooser->title, sizeof chooser->title);
    r.lpstrTitle = chooser->title;
    r.Flags = kChooserFlags;
    r.lpstrDefExt = "exe";
    SetChosenFile(chooser, "");
}

void SetChosenFile(ProgramFileChooser* chooser, const char* path) {
    if (path != chooser->file) Copy(chooser->file, sizeof chooser->file, path);
    size_t offset = FileNameOffset(chooser->file);
    chooser->record.nFileOffset = (WORD)offset;
    if (offset > 0) {
        Copy(chooser->directory, sizeof chooser->directory, std::string(chooser->file, offset - 1).c_str());
    } else {
        DWORD n = GetCurrentDirectoryA(sizeof chooser->directory, chooser->directory);
        if (n == 0 || n >= sizeof chooser->directory) chooser->directory[0] = 0;
    }
}

Add_dialogue::Add_dialogue() : Dialog(IDD_ADD_BROWSER), help_(kAddBrowserHelpTable, kAddBrowserHelpTopic) {
    InitProgramFileChooser(&chooser_, GetModuleHandleA(0));
}

INT_PTR Add_dialogue::Initialise(HWND dialog, WPARAM, LPARAM) {
    help_.Attach(dialog);
    CheckRadioButton(dialog, IDC_GUESS_SERVICE, IDC_SPECIFY_SERVICE, IDC_GUESS_SERVICE);
    EnableWindow(GetDlgItem(dialog, IDC_SERVICE_NAME), FALSE);
    SettingsKey app_paths(HKEY_LOCAL_MACHINE, kAppPathsKeyPath, false);
    SettingsKey offered(app_paths, kOfferedProgram, false);
    std::string program;
    if (offered.ReadText(0, &program, 0)) {
        SetDlgItemTextA(dialog, IDC_PROGRAM_FILE, program.c_str());
        EnableWindow(GetDlgItem(dialog, IDOK), TRUE);
        SetDlgItemTextA(dialog, IDC_BROWSER_DESCRIPTION, AppString(IDS_DEFAULT_BROWSER_NAME));
    } else {
        EnableWindow(GetDlgItem(dialog, IDOK), FALSE);
    }
    return 1;
}

void Add_dialogue::GuessServiceIfEmpty(HWND dialog) {
    if (GetWindowTextLengthA(GetDlgItem(dialog, IDC_SERVICE_NAME)) > 0) return;
    std::string guess = GuessServiceName(ItemText(dialog, IDC_PROGRAM_FILE).c_str());
    SetDlgItemTextA(dialog, IDC_SERVICE_NAME, guess.c_str());
}

void Add_dialogue::Browse(HWND dialog) {
    SetChosenFile(&chooser_, ItemText(dialog, IDC_PROGRAM_FILE).c_str());
    chooser_.record.hwndOwner = dialog;
    if (!GetOpenFileNameA(&chooser_.record)) return;
    SetChosenFile(&chooser_, chooser_.file);
    SetDlgItemTextA(dialog, IDC_PROGRAM_FILE, chooser_.file);
}

INT_PTR Add_dialogue::OtherCommand(HWND dialog, int id, int code, LPARAM) {
    switch (id) {
    case IDC_PROGRAM_FILE:
        if (code == EN_KILLFOCUS) GuessServiceIfEmpty(dialog);
        if (code == EN_CHANGE)
            EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthA(GetDlgItem(dialog, IDC_PROGRAM_FILE)) > 0);
        return 1;
    case IDC_BROWSE_PROGRAM:
        if (code == BN_CLICKED) Browse(dialog);
        return 1;
    case IDC_GUESS_SERVICE:
        // The text stays, for a change of mind.
        if (code == BN_CLICKED) EnableWindow(GetDlgItem(dialog, IDC_SERVICE_NAME), FALSE);
        return 1;
    case IDC_SPECIFY_SERVICE:
        if (code == BN_CLICKED) {
            HWND service = GetDlgItem(dialog, IDC_SERVICE_NAME);
            EnableWindow(service, TRUE);
            GuessServiceIfEmpty(dialog);
            SendMessageA(dialog, WM_NEXTDLGCTL, (WPARAM)service, TRUE);
        }
        return 1;
    case IDHELP:
        if (code == BN_CLICKED) help_.HelpButton();
        return 1;
    default: return 0;
    }
}

INT_PTR Add_dialogue::OtherMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam) {
    return help_.HandleMessage(message, wparam, lparam) ? 1 : 0;
}

bool Add_dialogue::RecommendedOrExcused(HWND dialog) {
    // A non-zero "x-factor" lets any browser through.
    if (SettingsKey::Program().ReadNumber("x-factor", 0) != 0) return true;
    if (IsRecommendedBrowser(chooser_.file, ItemText(dialog, IDC_SERVICE_NAME).c_str())) return true;
    MessageBoxA(dialog, AppString(IDS_RECOMMENDED_BROWSER), AppString(IDS_PROGRAM_TITLE), MB_OK | MB_ICONHAND);
    return false;
}

bool Add_dialogue::CopyProgram(HWND dialog, const std::string& doctored) {
    if (CopyFileA(chooser_.file, doctored.c_str(), TRUE)) return true;
    DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS) {
        char question[1024];
        snprintf(question, sizeof question, AppString(IDS_OVERWRITE_DOCTORED), doctored.c_str());
        // Owned by no window, but task-modal: the dialogue takes no second OK meanwhile.
        if (MessageBoxA(0, question, AppString(IDS_PROGRAM_TITLE), MB_OKCANCEL | MB_ICONEXCLAMATION | MB_TASKMODAL) ==
            IDOK) {
            if (CopyFileA(chooser_.file, doctored.c_str(), FALSE)) return true;
            error = GetLastError();
        }
    }
    ErrorBox(dialog, IDS_CANNOT_COPY_PROGRAM, chooser_.file, doctored.c_str(), error);
    return false;
}

bool Add_dialogue::DoctorCopy(HWND dialog, const std::string& doctored, std::string* in_use) {
    SettingsKey app_paths(HKEY_LOCAL_MACHINE, kAppPathsKeyPath, true);
    std::unique_ptr<AExe> copy(OpenProgramFile(dialog, doctored.c_str()));
    if (!copy) return false;  // its messages were shown; the copy stays
    if (!copy->RenameSocketImport()) {
        ErrorBox(dialog, IDS_CANNOT_DOCTOR, chooser_.file, 0, copy->Error());
        copy.reset();  // closed before it can go
        DeleteFileA(doctored.c_str());
        *in_use = chooser_.file;
        return true;
    }
    copy.reset();
    // The copy runs under its own name: App Paths gets an entry for it,
    // with the program's own search path when it has one.
    SettingsKey regular(app_paths, ChosenFileName(chooser_), false);
    std::string doctored_name = LowerAscii(doctored.c_str() + FileNameOffset(doctored.c_str()));
    SettingsKey entry(app_paths, doctored_name.c_str(), true);
    entry.WriteText(0, doctored.c_str());
    char search_path[2048];
    if (regular.ReadText("path", search_path, sizeof search_path, 0)) entry.WriteText("path", search_path);
    *in_use = doctored;
    return true;
}

void Add_dialogue::WriteBrowserEntry(HWND dialog, const std::string& in_use) {
    SettingsKey browsers(HKEY_LOCAL_MACHINE, kBrowsersKeyPath, true);
    SettingsKey entry(browsers, LowerAscii(ChosenFileName(chooser_)).c_str(), true);
    entry.WriteText("command", QuotedIfSpaced(in_use).c_str());
    std::string service = ItemText(dialog, IDC_SERVICE_NAME);
    if (!service.empty()) entry.WriteText("service", service.c_str());
    std::string description = ItemText(dialog, IDC_BROWSER_DESCRIPTION);
    if (!description.empty()) entry.WriteText("description", description.c_str());
}

INT_PTR Add_dialogue::Ok(HWND dialog, LPARAM) {
    SetChosenFile(&chooser_, ItemText(dialog, IDC_PROGRAM_FILE).c_str());
    if (!RecommendedOrExcused(dialog)) return 1;
    std::string doctored = DoctoredPath(chooser_.directory, ChosenFileName(chooser_));
    if (!CopyProgram(dialog, doctored)) return 1;
    std::string in_use;
    if (!DoctorCopy(dialog, doctored, &in_use)) return 1;
    WriteBrowserEntry(dialog, in_use);
    EndDialog(dialog, IDOK);
    return 1;
}
