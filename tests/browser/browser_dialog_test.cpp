// Start Web Browser and Add Web Browser on their real dialogue resources,
// driven from another thread as a user would drive them, with real program
// files (the programs this build links, one with the socket import and one
// without, and a text file), the registry read back afterwards, and a real
// browser process started from the list.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <stdarg.h>
#include <stdio.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "browser/browser_dialogs_win32.h"
#include "browser/browser_registry_win32.h"
#include "browser/exe_file.h"
#include "observe/settings.h"
#include "res/resource.h"
#include "res/strings.h"
#include "tests/shell/recording_viewer.h"
#include "tests/support/dialog_user_win32.h"
#include "tests/support/program_win32.h"
#include "tests/support/temp_dir.h"

namespace {

const char kStart[] = "Start Web Browser";
const char kAdd[] = "Add Web Browser";
const char kBox[] = "Skeindle";  // every message box's caption

// The App Paths entries the tests may make: the programs and their copies.
const char* const kAppPathsNames[] = {"socket_program64.exe",  "doctored socket_program64.exe", "netscape.exe",
                                      "doctored netscape.exe", "doctored testbrowser.exe",      "doctored notes.exe"};

// A message of the string table filled in as the program fills it.
std::string Message(int id, ...) {
    char text[2048];
    va_list args;
    va_start(args, id);
    vsnprintf(text, sizeof text, AppString(id), args);
    va_end(args);
    return text;
}

std::string AppPath(const std::string& name) {
    return std::string(kAppPathsKeyPath) + "\\" + name;
}
std::string BrowserKey(const std::string& name) {
    return std::string(kBrowsersKeyPath) + "\\" + name;
}

// A text value of a key under the local machine; "<none>" when missing.
std::string Value(const std::string& key_path, const char* name) {
    SettingsKey key(HKEY_LOCAL_MACHINE, key_path.c_str(), false);
    std::string text;
    return key.ReadText(name, &text, 0) ? text : "<none>";
}

std::string KeyClass(const std::string& key_path) {
    SettingsKey key(HKEY_LOCAL_MACHINE, key_path.c_str(), false);
    char name[64] = "";
    DWORD size = sizeof name;
    if (!key.IsOpen() || RegQueryInfoKeyA(key.handle(), name, &size, 0, 0, 0, 0, 0, 0, 0, 0, 0) != ERROR_SUCCESS)
        return "<no key>";
    return name;
}

// The subkey names as stored, in their own case.
std::vector<std::string> Subkeys(const std::string& key_path) {
    SettingsKey key(HKEY_LOCAL_MACHINE, key_path.c_str(), false);
    std::vector<std::string> names;
    SubkeyIterator it = {};
    while (key.NextSubkey(&it)) names.push_back(it.name);
    return names;
}

void AddBrowserEntry(const char* key_name, const char* description, const std::string& command) {
    SettingsKey key(HKEY_LOCAL_MACHINE, BrowserKey(key_name).c_str(), true);
    key.WriteText("description", description);
    key.WriteText("command", command.c_str());
}

// The list's items as shown, each with its item data, and the selected one.
struct ListItem {
    std::string text;
    LRESULT data;
};

std::vector<ListItem> ListItems(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_BROWSER_LIST);
    std::vector<ListItem> items;
    for (LRESULT i = 0; i < SendMessageA(list, LB_GETCOUNT, 0, 0); ++i) {
        char text[256] = "";
        SendMessageA(list, LB_GETTEXT, (WPARAM)i, (LPARAM)text);
        items.push_back({text, SendMessageA(list, LB_GETITEMDATA, (WPARAM)i, 0)});
    }
    return items;
}

std::string SelectedText(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_BROWSER_LIST);
    LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
    char text[256] = "<none>";
    if (at != LB_ERR) SendMessageA(list, LB_GETTEXT, (WPARAM)at, (LPARAM)text);
    return text;
}

// Steps of the user: a program file typed into Add, then OK; a message
// box read and answered; Cancel pressed in a dialogue that is still open.
UserStep AddProgram(const std::string& program, const char* description = "") {
    return {kAdd, [=](HWND d) {
                Type(d, IDC_PROGRAM_FILE, program.c_str());
                Type(d, IDC_BROWSER_DESCRIPTION, description);
                Click(d, IDOK);
                return true;
            }};
}

UserStep Box(std::string* text, int answer) {
    return {kBox, [=](HWND box) {
                *text = BoxText(box);
                Answer(box, answer);
                return true;
            }};
}

UserStep CancelIn(const char* caption) {
    return {caption, [](HWND d) {
                Click(d, IDCANCEL);
                return true;
            }};
}

class BrowserDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string before;
        had_x_factor_ = SettingsKey::Program().ReadText("x-factor", &before, 0);
        x_factor_ = SettingsKey::Program().ReadNumber("x-factor", 0);
        ForgetRegistry();
    }
    void TearDown() override {
        ForgetRegistry();
        if (had_x_factor_)
            SettingsKey::Program().WriteNumber("x-factor", (uint32_t)x_factor_);
        else
            RegDeleteValueA(SettingsKey::Program().handle(), "x-factor");
    }
    void ForgetRegistry() {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
        for (const char* name : kAppPathsNames) SHDeleteKeyA(HKEY_LOCAL_MACHINE, AppPath(name).c_str());
    }
    void SetXFactor(uint32_t value) { SettingsKey::Program().WriteNumber("x-factor", value); }

    // A copy of a file built beside this test, as `name` in `folder` of
    // the test's directory.
    std::string Place(const char* built, const std::string& folder, const std::string& name) {
        CreateDirectoryA(dir_.File(folder).c_str(), 0);
        std::string path = dir_.File(folder) + "\\" + name;
        EXPECT_TRUE(CopyFileA(BesideThisProgram(built).c_str(), path.c_str(), FALSE)) << built;
        return path;
    }
    std::string Doctored(const std::string& folder, const std::string& name) {
        return dir_.File(folder) + "\\doctored " + name;
    }

    template <typename D>
    INT_PTR Run(D& dialogue, std::vector<UserStep> steps, AHelpViewer* viewer) {
        if (viewer) dialogue.set_help_viewer(viewer);
        DialogUser user(steps);
        INT_PTR result = dialogue.RunModal(GetModuleHandleA(0), 0);
        EXPECT_EQ("", user.Finish());
        return result;
    }
    INT_PTR RunAdd(std::vector<UserStep> steps, AHelpViewer* viewer = 0) {
        Add_dialogue add;
        return Run(add, steps, viewer);
    }
    INT_PTR RunStart(std::vector<UserStep> steps, AHelpViewer* viewer = 0) {
        LoadBrowserList(&browsers_);
        Browser_dialogue start(&browsers_);
        return Run(start, steps, viewer);
    }

    TempDir dir_;
    BrowserList browsers_;
    bool had_x_factor_ = false;
    int32_t x_factor_ = 0;
};

// The program in a folder with a space, its service guessed when the
// program file's field loses the focus to OK: the copy beside it is
// doctored and runs under its own App Paths entry with the program's
// search path, and the browser is registered with the copy, quoted.
TEST_F(BrowserDialogTest, AddDoctorsACopyAndRegistersIt) {
    SetXFactor(1);
    std::string program = Place("socket_program64.exe", "Program Files X", "socket_program64.exe");
    SettingsKey(HKEY_LOCAL_MACHINE, AppPath("socket_program64.exe").c_str(), true).WriteText("path", "C:\\Shared");
    EXPECT_EQ(IDOK, RunAdd({AddProgram(program, "Test browser")}));

    std::string doctored = Doctored("Program Files X", "socket_program64.exe");
    EXPECT_NE(std::string::npos, FileText(doctored).find(std::string("qmrsk32.dll\0", 12))) << "not renamed";
    EXPECT_NE(std::string::npos, FileText(program).find("WSOCK32.dll")) << "the program itself is untouched";
    EXPECT_EQ(doctored, Value(AppPath("doctored socket_program64.exe"), 0));
    EXPECT_EQ("C:\\Shared", Value(AppPath("doctored socket_program64.exe"), "path"));
    EXPECT_EQ("xyzzy", KeyClass(AppPath("doctored socket_program64.exe")));

    EXPECT_EQ((std::vector<std::string>{"socket_program64.exe"}), Subkeys(kBrowsersKeyPath));
    std::string entry = BrowserKey("socket_program64.exe");
    EXPECT_EQ("\"" + doctored + "\"", Value(entry, "command"));
    EXPECT_EQ("mosaic", Value(entry, "service"));
    EXPECT_EQ("Test browser", Value(entry, "description"));
    EXPECT_EQ("xyzzy", KeyClass(entry));

    // Added again over an older copy: declined, nothing is copied and the
    // copy's failure is told; accepted, the copy is overwritten.
    ForgetRegistry();
    ASSERT_TRUE(WriteWholeFile(doctored, "an older copy", 13));
    std::string question, failure;
    EXPECT_EQ(IDCANCEL, RunAdd({AddProgram(program), Box(&question, IDCANCEL), Box(&failure, IDOK), CancelIn(kAdd)}));
    EXPECT_EQ(Message(IDS_OVERWRITE_DOCTORED, doctored.c_str()), question);
    EXPECT_EQ(Message(IDS_CANNOT_COPY_PROGRAM, program.c_str(), doctored.c_str(), ErrorText(ERROR_FILE_EXISTS).c_str()),
              failure);
    EXPECT_EQ("an older copy", FileText(doctored));
    EXPECT_TRUE(Subkeys(kBrowsersKeyPath).empty());

    EXPECT_EQ(IDOK, RunAdd({AddProgram(program), Box(&question, IDOK)}));
    EXPECT_NE(std::string::npos, FileText(doctored).find("qmrsk32.dll"));
    EXPECT_EQ("\"" + doctored + "\"", Value(BrowserKey("socket_program64.exe"), "command"));
}

// Without the "x-factor" only a program with "netscape" in its path that
// serves "netscape" gets past the recommendation, both in any case; a
// specified service is registered as typed, and key names are lower case.
TEST_F(BrowserDialogTest, TheRecommendationAndASpecifiedService) {
    struct Case {
        uint32_t x_factor;
        const char *folder, *file, *guess;
        const char* service;  // typed after Specify
        bool recommended;
    } cases[] = {
        {0, "Web", "socket_program64.exe", "mosaic", "mosaic", false},
        {0, "Netscape", "NETSCAPE.EXE", "netscape", "mosaic", false},
        {0, "Web", "socket_program64.exe", "mosaic", "netscape", false},
        {0, "NetScape", "NETSCAPE.EXE", "netscape", "NetScape", true},
        {1, "Web", "socket_program64.exe", "mosaic", "my-service", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.folder) + "\\" + c.file + " " + c.service);
        SetXFactor(c.x_factor);
        std::string program = Place("socket_program64.exe", c.folder, c.file);
        std::string offered, message;
        bool service_enabled = false;
        std::vector<UserStep> steps = {{kAdd, [&](HWND d) {
                                            Type(d, IDC_PROGRAM_FILE, program.c_str());
                                            Click(d, IDC_SPECIFY_SERVICE);
                                            service_enabled = Enabled(d, IDC_SERVICE_NAME);
                                            offered = Text(d, IDC_SERVICE_NAME);
                                            Type(d, IDC_SERVICE_NAME, c.service);
                                            Click(d, IDOK);
                                            return true;
                                        }}};
        if (!c.recommended) steps.insert(steps.end(), {Box(&message, IDOK), CancelIn(kAdd)});
        INT_PTR result = RunAdd(steps);
        EXPECT_TRUE(service_enabled);
        EXPECT_EQ(c.guess, offered);
        if (c.recommended) {
            EXPECT_EQ(IDOK, result);
            std::string key = LowerAscii(c.file), copy = "doctored " + LowerAscii(c.file);
            EXPECT_EQ(std::vector<std::string>{key}, Subkeys(kBrowsersKeyPath));
            EXPECT_EQ(c.service, Value(BrowserKey(key), "service"));
            EXPECT_EQ("<none>", Value(BrowserKey(key), "description")) << "an empty description is not written";
            EXPECT_EQ(Doctored(c.folder, c.file), Value(AppPath(copy), 0));
            std::vector<std::string> app_paths = Subkeys(kAppPathsKeyPath);
            EXPECT_NE(app_paths.end(), std::find(app_paths.begin(), app_paths.end(), copy)) << "stored lower case";
        } else {
            EXPECT_EQ(IDCANCEL, result);
            EXPECT_EQ(AppString(IDS_RECOMMENDED_BROWSER), message);
            EXPECT_TRUE(Subkeys(kBrowsersKeyPath).empty());
            EXPECT_FALSE(FileExists(Doctored(c.folder, c.file))) << "nothing is copied before the check";
        }
        ForgetRegistry();
    }
}

// A file that is no program: both formats' failures are told in turn, Add
// stays open and nothing is registered; the copy is left. A program
// without the socket import cannot be doctored: that is told, the copy
// goes, and the program itself is registered.
TEST_F(BrowserDialogTest, FilesThatCannotBeDoctored) {
    SetXFactor(1);
    std::string notes = dir_.File("notes.exe"), text;
    for (int i = 0; i < 40; ++i) text += "These are notes, not a program.\r\n";
    ASSERT_TRUE(WriteWholeFile(notes, text.data(), text.size()));
    std::string coff, ne;
    EXPECT_EQ(IDCANCEL, RunAdd({AddProgram(notes), Box(&coff, IDOK), Box(&ne, IDOK), CancelIn(kAdd)}));
    std::string doctored = dir_.File("doctored notes.exe"), wrong = ErrorText(kExeWrongFormat);
    EXPECT_EQ(Message(IDS_CANNOT_OPEN_COFF, doctored.c_str(), wrong.c_str()), coff);
    EXPECT_EQ(Message(IDS_CANNOT_OPEN_NE, doctored.c_str(), wrong.c_str()), ne);
    EXPECT_TRUE(FileExists(doctored));
    EXPECT_TRUE(Subkeys(kBrowsersKeyPath).empty());
    EXPECT_EQ("<none>", Value(AppPath("doctored notes.exe"), 0));

    std::string program = Place("testbrowser.exe", "Web", "testbrowser.exe");
    ASSERT_EQ(std::string::npos, program.find(' ')) << "the registered command would be quoted";
    std::string told;
    EXPECT_EQ(IDOK, RunAdd({AddProgram(program), Box(&told, IDOK)}));
    EXPECT_EQ(Message(IDS_CANNOT_DOCTOR, program.c_str(), ErrorText(kExeImportNotFound).c_str()), told);
    EXPECT_FALSE(FileExists(Doctored("Web", "testbrowser.exe")));
    EXPECT_EQ(program, Value(BrowserKey("testbrowser.exe"), "command"));
    EXPECT_EQ("<none>", Value(AppPath("doctored testbrowser.exe"), 0));
}

// What Add shows as it opens, with App Paths knowing the offered program
// and without; OK only with a program file; Specify and Guess; and Browse
// with the file chooser's title and filter, its choice put in the field.
TEST_F(BrowserDialogTest, AddsFieldsFollowWhatTheUserDoes) {
    ASSERT_EQ("<none>", Value(AppPath("netscape.exe"), 0)) << "this machine's own entry would be lost";
    std::string program = Place("socket_program64.exe", "Web", "socket_program64.exe");
    std::string chosen = Place("testbrowser.exe", "Other", "testbrowser.exe");
    // Each thing looked at, in order: "1" for a box checked or a control
    // enabled, else the text shown.
    std::vector<std::string> seen;
    auto yes = [](bool b) { return std::string(b ? "1" : "0"); };
    RunAdd({{kAdd,
             [&](HWND d) {
                 seen = {yes(Checked(d, IDC_GUESS_SERVICE)), yes(Enabled(d, IDC_SERVICE_NAME)), yes(Enabled(d, IDOK)),
                         Text(d, IDC_PROGRAM_FILE)};
                 Type(d, IDC_PROGRAM_FILE, "x");
                 seen.push_back(yes(Enabled(d, IDOK)));
                 Type(d, IDC_PROGRAM_FILE, "");
                 seen.push_back(yes(Enabled(d, IDOK)));
                 Type(d, IDC_PROGRAM_FILE, program.c_str());
                 Click(d, IDC_SPECIFY_SERVICE);
                 seen.push_back(yes(Enabled(d, IDC_SERVICE_NAME)));
                 Click(d, IDC_GUESS_SERVICE);
                 seen.insert(seen.end(), {yes(Enabled(d, IDC_SERVICE_NAME)), Text(d, IDC_SERVICE_NAME)});
                 Click(d, IDC_BROWSE_PROGRAM);
                 return true;
             }},
            {"Find Browser Program File",
             [&](HWND chooser) {
                 std::string filters;
                 HWND types = GetDlgItem(chooser, 0x470);  // the file type list
                 for (LRESULT i = 0; i < SendMessageA(types, CB_GETCOUNT, 0, 0); ++i) {
                     char text[128] = "";
                     SendMessageA(types, CB_GETLBTEXT, (WPARAM)i, (LPARAM)text);
                     filters += std::string(text) + "|";
                 }
                 seen.push_back(filters);
                 // The file name field: an edit, or a combo box with one.
                 Type(chooser, GetDlgItem(chooser, 0x480) ? 0x480 : 0x47C, chosen.c_str());
                 Answer(chooser, IDOK);
                 return true;
             }},
            {kAdd, [&](HWND d) {
                 seen.push_back(Text(d, IDC_PROGRAM_FILE));
                 Click(d, IDCANCEL);
                 return true;
             }}});
    EXPECT_EQ((std::vector<std::string>{"1", "0", "0", "", "1", "0", "1", "0", "mosaic",
                                        "Program files (*.exe)|All files (*.*)|", chosen}),
              seen);

    // App Paths knows the offered program: it is filled in, described.
    SettingsKey(HKEY_LOCAL_MACHINE, AppPath("netscape.exe").c_str(), true).WriteText(0, "C:\\Nav\\netscape.exe");
    RunAdd({{kAdd, [&](HWND d) {
                 seen = {Text(d, IDC_PROGRAM_FILE), yes(Enabled(d, IDOK)), Text(d, IDC_BROWSER_DESCRIPTION)};
                 Click(d, IDCANCEL);
                 return true;
             }}});
    EXPECT_EQ((std::vector<std::string>{"C:\\Nav\\netscape.exe", "1", AppString(IDS_DEFAULT_BROWSER_NAME)}), seen);
}

// The list shows the descriptions sorted, each item's data naming its
// entry counted from the last, and the last entry selected; OK and Remove
// need a selection, so an empty list has neither.
TEST_F(BrowserDialogTest, StartListsTheKnownBrowsersLastFirst) {
    AddBrowserEntry("b-one.exe", "Zebra", "b-one.exe");
    AddBrowserEntry("a-two.exe", "Apple", "a-two.exe");
    AddBrowserEntry("c-three.exe", "Mango", "c-three.exe");
    std::vector<ListItem> items;
    std::string selected;
    bool ok = false, remove = false;
    UserStep look = {kStart, [&](HWND d) {
                         items = ListItems(d);
                         selected = SelectedText(d);
                         ok = Enabled(d, IDOK);
                         remove = Enabled(d, IDC_REMOVE_BROWSER);
                         Click(d, IDCANCEL);
                         return true;
                     }};
    EXPECT_EQ(IDCANCEL, RunStart({look}));
    const std::vector<BrowserEntry>& entries = browsers_.entries();
    ASSERT_EQ(3u, entries.size());
    std::vector<std::string> shown;
    for (const ListItem& item : items) {
        shown.push_back(item.text);
        ASSERT_LT((size_t)item.data, entries.size());
        const BrowserEntry& entry = entries[entries.size() - 1 - item.data];
        EXPECT_EQ(item.text, entry.description);
        EXPECT_EQ((uint32_t)item.data, entry.list_item);
    }
    EXPECT_EQ((std::vector<std::string>{"Apple", "Mango", "Zebra"}), shown);
    EXPECT_EQ(entries.back().description, selected);
    EXPECT_TRUE(ok && remove);

    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
    EXPECT_EQ(IDCANCEL, RunStart({look}));
    EXPECT_TRUE(items.empty());
    EXPECT_EQ("<none>", selected);
    EXPECT_FALSE(ok || remove);
}

// Remove asks first; agreed, the entry's key goes and the list is filled
// again. A key that will not go (it has a key inside) is told of.
TEST_F(BrowserDialogTest, RemoveAsksThenDeletesTheEntrysKey) {
    AddBrowserEntry("keep.exe", "Kept", "keep.exe");
    AddBrowserEntry("gone.exe", "Gone", "gone.exe");
    AddBrowserEntry("nested.exe", "Nested", "nested.exe");
    SettingsKey(HKEY_LOCAL_MACHINE, BrowserKey("nested.exe\\inside").c_str(), true);
    auto remove = [](const char* text) {
        return UserStep{kStart, [=](HWND d) {
                            if (!ClickItem(d, IDC_BROWSER_LIST, text)) return false;
                            Click(d, IDC_REMOVE_BROWSER);
                            return true;
                        }};
    };
    // Waits for the list to have `count` items.
    auto listing = [](size_t count) { return UserStep{kStart, [=](HWND d) { return ListItems(d).size() == count; }}; };
    std::string asked, asked_again, asked_nested, refused;
    EXPECT_EQ(IDCANCEL, RunStart({remove("Gone"), Box(&asked, IDCANCEL), listing(3), remove("Gone"),
                                  Box(&asked_again, IDOK), listing(2), remove("Nested"), Box(&asked_nested, IDOK),
                                  Box(&refused, IDOK), listing(2), CancelIn(kStart)}));
    EXPECT_EQ(Message(IDS_REMOVE_BROWSER_QUESTION, "Gone"), asked);
    EXPECT_EQ(asked, asked_again);
    EXPECT_EQ(Message(IDS_REMOVE_BROWSER_QUESTION, "Nested"), asked_nested);
    EXPECT_EQ(Message(IDS_CANNOT_REMOVE_KEY, "nested.exe", kBrowsersKeyPath, ErrorText(ERROR_ACCESS_DENIED).c_str()),
              refused);
    EXPECT_EQ((std::vector<std::string>{"keep.exe", "nested.exe"}), Subkeys(kBrowsersKeyPath));
    EXPECT_EQ(2u, browsers_.entries().size()) << "the caller's list was loaded again";
}

// OK on a command that does not start leaves the dialogue open; a double
// click on one that does starts it in its program's folder (its log, named
// without a folder, lands there), and the dialogue ends with OK once the
// browser has had its time to register.
TEST_F(BrowserDialogTest, StartStartsTheChosenBrowserInItsFolder) {
    std::string browser = Place("testbrowser.exe", "Browser Dir", "testbrowser.exe");
    AddBrowserEntry("nowhere.exe", "Nowhere", "<undef>");
    AddBrowserEntry("testbrowser.exe", "Stand-in", "\"" + browser + "\" --service tbstarted --log tb.log");
    bool open_after_undef = false;
    DWORD clicked = 0;
    INT_PTR result = RunStart({{kStart,
                                [&](HWND d) {
                                    if (!ClickItem(d, IDC_BROWSER_LIST, "Nowhere")) return false;
                                    Click(d, IDOK);
                                    return true;
                                }},
                               {kStart, [&](HWND d) {
                                    open_after_undef = SelectedText(d) == "Nowhere";
                                    clicked = GetTickCount();
                                    return ClickItem(d, IDC_BROWSER_LIST, "Stand-in", true);
                                }}});
    DWORD waited = GetTickCount() - clicked;
    EXPECT_TRUE(open_after_undef);
    EXPECT_EQ(IDOK, result);
    EXPECT_GE(waited + 50, kBrowserStartWaitMs);
    std::string log = dir_.File("Browser Dir") + "\\tb.log", text;
    for (int i = 0; i < 100 && text.find("ready tbstarted") == std::string::npos; ++i, Sleep(50)) text = FileText(log);
    EXPECT_NE(std::string::npos, text.find("ready tbstarted")) << text;
}

// The Help buttons open their dialogue's topic in the dialogues' help
// window; F1 and the context menu give the control's topic from the
// table; help used is told to quit when the dialogue goes, and only then.
// Every topic has its page in the installed help.
TEST_F(BrowserDialogTest, HelpForEachDialogueAndItsControls) {
    struct Case {
        const char* caption;
        DWORD topic;
        std::vector<std::pair<int, DWORD>> controls;
    } cases[] = {
        {kStart, kStartBrowserHelpTopic, {{IDC_BROWSER_LIST, 22}, {IDC_ADD_BROWSER, 23}, {IDC_REMOVE_BROWSER, 24}}},
        {kAdd,
         kAddBrowserHelpTopic,
         {{IDC_PROGRAM_FILE, 7},
          {IDC_BROWSE_PROGRAM, 17},
          {IDC_GUESS_SERVICE, 18},
          {IDC_SPECIFY_SERVICE, 19},
          {IDC_SERVICE_NAME, 19},
          {IDC_BROWSER_DESCRIPTION, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        bool start = std::string(c.caption) == kStart;
        auto run = [&](std::vector<UserStep> steps, AHelpViewer* viewer) {
            return start ? RunStart(steps, viewer) : RunAdd(steps, viewer);
        };
        RecordingViewer viewer;
        viewer.winhelp_works = true;
        HWND dialog = 0;
        int control = c.controls[0].first;
        run({{c.caption,
              [&](HWND d) {
                  dialog = d;
                  Click(d, IDHELP);
                  HELPINFO info = {sizeof info, HELPINFO_WINDOW, control, GetDlgItem(d, control), 0, {0, 0}};
                  SendMessageA(d, WM_HELP, 0, (LPARAM)&info);
                  SendMessageA(d, WM_CONTEXTMENU, (WPARAM)GetDlgItem(d, control), MAKELPARAM(5, 5));
                  Click(d, IDCANCEL);
                  return true;
              }}},
            &viewer);
        ASSERT_EQ(4u, viewer.calls.size());
        EXPECT_EQ(dialog, viewer.calls[0].window);
        EXPECT_EQ("skeind.hlp>dialogue", viewer.calls[0].file);
        EXPECT_EQ((UINT)HELP_CONTEXT, viewer.calls[0].command);
        EXPECT_EQ(c.topic, viewer.calls[0].data);
        EXPECT_EQ((UINT)HELP_WM_HELP, viewer.calls[1].command);
        EXPECT_EQ((UINT)HELP_CONTEXTMENU, viewer.calls[2].command);
        EXPECT_EQ((UINT)HELP_QUIT, viewer.calls[3].command);
        const DWORD* table = (const DWORD*)viewer.calls[1].data;
        EXPECT_EQ(table, (const DWORD*)viewer.calls[2].data);
        std::vector<DWORD> topics = {c.topic};
        for (const auto& pair : c.controls) {
            EXPECT_EQ(pair.second, HelpTopicOfControl(table, pair.first)) << pair.first;
            topics.push_back(pair.second);
        }
        for (DWORD topic : topics)
            EXPECT_TRUE(FileExists(HelpPagePath(("topic-" + std::to_string(topic)).c_str()))) << topic;

        RecordingViewer unused;
        run({CancelIn(c.caption)}, &unused);
        EXPECT_TRUE(unused.calls.empty()) << "help not used, nothing to quit";
    }
}

}  // namespace
