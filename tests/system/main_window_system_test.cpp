// The real program with its main window, driven from outside as a user
// would drive it: keys and menu commands sent to its windows, the shim's
// datagrams sent to its port, its status bar read back.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "observe/settings.h"
#include "store/nodedb.h"
#include "tests/support/temp_dir.h"
#include "tests/system/skeind_run.h"
#include "tools/uiprobe/probe.h"

namespace {

class MainWindowSystem : public ::testing::Test {
protected:
    // skeind.exe on a workspace of the test's directory, made beforehand
    // when it does not exist, its offer to start a browser declined.
    HWND StartOn(SkeindRun& run, const std::string& workspace) {
        std::string path = dir_.File(workspace);
        if (!FileExists(path) && !MakeWorkspace(path)) return 0;
        return run.StartOn(workspace, dir_.path());
    }

    TempDir dir_;
};

TEST_F(MainWindowSystem, DatagramsAddRowsUnderAnExpandedPage) {
    std::string name = dir_.File("map.sk1");
    ASSERT_TRUE(MakeWorkspace(name, {"http://example.test/"}));
    SkeindRun run;
    HWND main = StartOn(run, "map.sk1");
    HWND graph = run.Map();
    ASSERT_TRUE(graph != 0) << "no map window";

    // The pinned page is the first row; the keys make it current and its
    // address shows in the status bar.
    run.PressKey(graph, VK_DOWN);
    EXPECT_EQ("http://example.test/", run.WaitForStatus("http://example.test/"));
    ASSERT_TRUE(ProbeSendCommand(main, 41));  // Show links: none yet

    std::string error;
    ASSERT_TRUE(
        SendShimScript("id 5\n"
                       "request http://example.test/\n"
                       "status 200\n"
                       "type text/html\n"
                       "title title Example\n"
                       "link anchor a.html\n"
                       "link anchor b.html\n"
                       "close\n",
                       &error))
        << error;
    // The new links appear under the page, in their order.
    for (const char* row : {"http://example.test/a.html", "http://example.test/b.html"}) {
        run.PressKey(graph, VK_DOWN);
        EXPECT_EQ(row, run.WaitForStatus(row));
    }

    EXPECT_EQ(0u, run.Close());
    // Everything the datagrams said is in the file, which the program let go.
    NodeDb db;
    ASSERT_TRUE(db.Open(name.c_str())) << db.error();
    NodeId page = db.FindNode("http://example.test/", false);
    ASSERT_NE(0u, page);
    EXPECT_STREQ("Example", db.Text(db.Title(page)));
    LinkId first = db.FirstOut(page);
    ASSERT_NE(0u, first);
    EXPECT_STREQ("http://example.test/a.html", db.Text(db.Name(db.LinkNode(first))));
}

// One run: menu help shows in the status bar until the menu closes, an
// unknown command is owned up to, and Exit ends with code 0, writing the
// window's settings and letting the file go.
TEST_F(MainWindowSystem, MenuHelpUnknownCommandsAndExit) {
    SettingsKey program_key(HKEY_CURRENT_USER, kProgramKeyPath, true);
    SettingsKey window(program_key, "window", true);
    RegDeleteValueA(window.handle(), "flags");
    RegDeleteValueA(window.handle(), "x-size");
    SkeindRun run;
    HWND main = StartOn(run, "exit.sk1");
    ASSERT_TRUE(main != 0);
    HMENU bar = GetMenu(main);
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(81, MF_STRING), (LPARAM)bar);
    EXPECT_EQ("Tidies the display by hiding everything except the current page.", ProbeStatusText(main));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP), (LPARAM)bar);
    EXPECT_EQ("Page", ProbeStatusText(main));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ("", ProbeStatusText(main));

    PostMessageA(main, WM_COMMAND, 30, 0);
    ProbeMessageBox box;
    ASSERT_TRUE(run.NextBox(&box));
    EXPECT_EQ("Skeindle", box.caption);
    EXPECT_EQ("Unknown command 30?\nThis program is still being developed, it seems.", box.text);
    EXPECT_TRUE(ProbePressButton(box, "OK"));

    ASSERT_TRUE(MoveWindow(main, 40, 30, 520, 410, TRUE));
    PostMessageA(main, WM_COMMAND, 18, 0);
    ASSERT_EQ(0u, run.ExitCode());
    SettingsKey read(program_key, "window", false);
    EXPECT_EQ(61, read.ReadNumber("flags", -1));
    EXPECT_EQ(40, read.ReadNumber("x", -1));
    EXPECT_EQ(30, read.ReadNumber("y", -1));
    EXPECT_EQ(520, read.ReadNumber("x-size", -1));
    EXPECT_EQ(410, read.ReadNumber("y-size", -1));
    Db db;
    EXPECT_TRUE(db.Open(dir_.File("exit.sk1").c_str())) << db.error();
}

TEST_F(MainWindowSystem, SecondCopyOnTheSameFileActivatesTheFirstAndEndsSilently) {
    SkeindRun first;
    HWND main = StartOn(first, "shared.sk1");
    ASSERT_TRUE(main != 0);
    SkeindRun second;
    // Another spelling of the same file.
    ASSERT_TRUE(second.Start("SHARED.SK1", dir_.path()));
    EXPECT_EQ(0u, second.ExitCode()) << "the second copy did not end silently";
    ProbeMessageBox box;
    EXPECT_FALSE(second.NextBox(&box, 200)) << box.text;
    EXPECT_EQ(main, GetForegroundWindow());
    EXPECT_EQ(kDidNotEnd, first.ExitCode(0)) << "the first copy ended";
    EXPECT_EQ(0u, first.Close());
}

}  // namespace
