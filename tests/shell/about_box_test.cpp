// The About box on the real dialog resource: its texts without the socket
// shim on the search path and with a test library named like the shim that
// carries version 0.11.5, its picture, and its pop-up help.
#include "shell/about_box.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "res/resource.h"
#include "shell/help.h"
#include "tests/shell/recording_viewer.h"
#include "tests/support/dialog_user_win32.h"

namespace {

// Puts a folder in front of the search path for the life of the object.
class SearchPathFolder {
public:
    explicit SearchPathFolder(const char* folder) {
        char old[32768] = "";
        GetEnvironmentVariableA("PATH", old, sizeof old);
        old_ = old;
        SetEnvironmentVariableA("PATH", (std::string(folder) + ";" + old_).c_str());
    }
    ~SearchPathFolder() { SetEnvironmentVariableA("PATH", old_.c_str()); }

private:
    std::string old_;
};

// Found by its caption, so the caption is checked as well.
const char kCaption[] = "About QMR Skeindle";

struct AboutSeen {
    std::string name, version;
    bool icon = false;
    COLORREF picture_corner = CLR_INVALID;
};

// Opens the box, notes what it shows and presses OK.
AboutSeen ShowAbout(INT_PTR* result) {
    AboutSeen seen;
    Aboutbox about(0);
    DialogUser user({{kCaption, [&](HWND box) {
                          seen.name = Text(box, IDC_ABOUT_PICTURE);
                          seen.version = Text(box, IDC_ABOUT_TEXT);
                          seen.icon = SendDlgItemMessageA(box, IDC_ABOUT_ICON, STM_GETICON, 0, 0) != 0;
                          // The picture's frame is navy, from its top left corner on.
                          HWND picture = GetDlgItem(box, IDC_ABOUT_PICTURE);
                          RedrawWindow(box, 0, 0, RDW_UPDATENOW | RDW_ALLCHILDREN);
                          RECT area;
                          GetClientRect(picture, &area);
                          HDC dc = GetDC(picture);
                          seen.picture_corner = GetPixel(dc, (area.right - 64) / 2, 0);
                          ReleaseDC(picture, dc);
                          Answer(box, IDOK);
                          return true;
                      }}});
    *result = about.RunModal(GetModuleHandleA(0), 0);
    EXPECT_EQ("", user.Finish());
    return seen;
}

// Without the shim on the search path only the program's version shows;
// with the test library its version follows, with a two-digit third part.
TEST(AboutBoxTest, TheVersionsWithAndWithoutTheShim) {
    char found[MAX_PATH];
    ASSERT_EQ(0u, SearchPathA(0, "qmrsk32.dll", 0, sizeof found, found, 0)) << "a shim is on the path: " << found;
    for (bool with_shim : {false, true}) {
        SCOPED_TRACE(with_shim ? "with the shim" : "without");
        std::unique_ptr<SearchPathFolder> shim(with_shim ? new SearchPathFolder(SKEIND_TEST_SHIM_DIR) : 0);
        INT_PTR result = 0;
        AboutSeen seen = ShowAbout(&result);
        EXPECT_EQ(IDOK, result);
        EXPECT_EQ("QMR Skeindle", seen.name);
        EXPECT_EQ(with_shim ? "version 1.0.16d\nqmrsk32.dll version 0.11.05" : "version 1.0.16d", seen.version);
        EXPECT_TRUE(seen.icon);
        EXPECT_EQ(RGB(0, 0, 0x80), seen.picture_corner);
    }
}

TEST(AboutBoxTest, ControlsHaveTheirHelpTopics) {
    RecordingViewer viewer;
    SHelp help;
    help.SetHelpViewer(&viewer);
    Aboutbox about(&help);
    DialogUser user({{kCaption, [&](HWND box) {
                          HWND icon = GetDlgItem(box, IDC_ABOUT_ICON);
                          HELPINFO info = {sizeof info, HELPINFO_WINDOW, IDC_ABOUT_ICON, icon, 0, {0, 0}};
                          SendMessageA(box, WM_HELP, 0, (LPARAM)&info);
                          SendMessageA(box, WM_CONTEXTMENU, (WPARAM)GetDlgItem(box, IDC_ABOUT_PICTURE),
                                       MAKELPARAM(5, 5));
                          SendMessageA(box, WM_CONTEXTMENU, (WPARAM)GetDlgItem(box, IDC_ABOUT_TEXT), MAKELPARAM(5, 5));
                          Answer(box, IDCANCEL);
                          return true;
                      }}});
    EXPECT_EQ(IDCANCEL, about.RunModal(GetModuleHandleA(0), 0));
    EXPECT_EQ("", user.Finish());
    EXPECT_EQ((std::vector<std::string>{"topic-1", "topic-2", "topic-3"}), viewer.pages);
    ASSERT_EQ(3u, viewer.calls.size());
    EXPECT_EQ((UINT)HELP_WM_HELP, viewer.calls[0].command);
    EXPECT_EQ((UINT)HELP_CONTEXTMENU, viewer.calls[1].command);
    EXPECT_EQ((ULONG_PTR)kAboutHelpTable, viewer.calls[2].data);
}

}  // namespace
