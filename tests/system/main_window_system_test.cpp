// The real program with its main window, driven from outside as a user
// would drive it: keys and menu commands sent to its windows, the shim's
// datagrams sent to its port, its status bar read back.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "observe/datagram.h"
#include "observe/settings.h"
#include "store/nodedb.h"
#include "tests/support/temp_dir.h"
#include "tests/system/program.h"
#include "tools/shimsend/script.h"
#include "tools/uiprobe/probe.h"

namespace {

const int kTimeout = 20000;
const char kMainClass[] = "QMR Skeindle";
const char kGraphClass[] = "lumvane-graph-window";

// Polls `read` until it gives `want` or the time is up; gives the last read.
template <typename Read>
std::string WaitForText(const std::string& want, Read read) {
    std::string got;
    for (int waited = 0; waited < kTimeout; waited += 50) {
        got = read();
        if (got == want) break;
        Sleep(50);
    }
    return got;
}

class MainWindowSystem : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WSADATA data;
        WSAStartup(MAKEWORD(1, 1), &data);
    }
    static void TearDownTestSuite() { WSACleanup(); }

    // Starts skeind.exe on `workspace` and waits for its main window; no
    // browser runs, so the program's offer to start one is declined. A
    // named file that does not exist would be asked about first, so it is
    // made beforehand.
    HWND StartOn(Program& program, const std::string& workspace) {
        std::string path = dir_.File(workspace.c_str());
        if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            NodeDb db;
            if (!db.CreateWorkspace(path.c_str())) return 0;
        }
        if (!program.Start(BesideThisProgram("skeind.exe"), workspace, dir_.path())) return 0;
        HWND main = ProbeWaitForWindow(kMainClass, "Skeindle", program.pid(), kTimeout);
        EXPECT_TRUE(DeclineBrowserOffer(program.pid(), kTimeout)) << "no offer to start a browser";
        return main;
    }
    std::string Status(HWND main) { return ProbeStatusText(main); }
    std::string WaitForStatus(HWND main, const std::string& want) {
        return WaitForText(want, [&] { return Status(main); });
    }
    void PressKey(HWND window, WPARAM key) {
        PostMessageA(window, WM_KEYDOWN, key, 1);
        PostMessageA(window, WM_KEYUP, key, 0xC0000001);
    }
    // Sends a shim script to the program's port as real datagrams.
    void SendScript(const std::string& script) {
        std::vector<ScriptDatagram> datagrams;
        std::string error;
        ASSERT_TRUE(BuildShimScript(script, &datagrams, &error)) << error;
        SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_NE(INVALID_SOCKET, s);
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_port = htons(kShimPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (const ScriptDatagram& d : datagrams)
            EXPECT_EQ((int)d.bytes.size(), sendto(s, (const char*)d.bytes.data(), (int)d.bytes.size(), 0,
                                                  (const sockaddr*)&to, sizeof to));
        closesocket(s);
    }
    DWORD CloseAndWait(Program& program, HWND main) {
        EXPECT_TRUE(ProbeCloseWindow(main));
        DWORD code = 12345;
        EXPECT_TRUE(program.WaitForExit(kTimeout, &code)) << "the program did not end";
        return code;
    }

    TempDir dir_;
};

TEST_F(MainWindowSystem, DatagramsAddRowsUnderAnExpandedPage) {
    std::string name = dir_.File("map.sk1");
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
        db.SetFlags(db.FindNode("http://example.test/", true), Pinned);
    }
    Program program;
    HWND main = StartOn(program, "map.sk1");
    ASSERT_TRUE(main != 0) << "no main window";
    HWND graph = FindWindowExA(main, 0, kGraphClass, 0);
    ASSERT_TRUE(graph != 0);

    // The pinned page is the first row; the keys make it current and its
    // address shows in the status bar.
    PressKey(graph, VK_DOWN);
    EXPECT_EQ("http://example.test/", WaitForStatus(main, "http://example.test/"));
    ASSERT_TRUE(ProbeSendCommand(main, 41));  // Show links: none yet

    SendScript(
        "id 5\n"
        "request http://example.test/\n"
        "status 200\n"
        "type text/html\n"
        "title title Example\n"
        "link anchor a.html\n"
        "link anchor b.html\n"
        "close\n");
    // The new links appear under the page, in their order.
    PressKey(graph, VK_DOWN);
    EXPECT_EQ("http://example.test/a.html", WaitForStatus(main, "http://example.test/a.html"));
    PressKey(graph, VK_DOWN);
    EXPECT_EQ("http://example.test/b.html", WaitForStatus(main, "http://example.test/b.html"));

    EXPECT_EQ(0u, CloseAndWait(program, main));
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

TEST_F(MainWindowSystem, MenuHelpShowsInTheStatusBarUntilTheMenuCloses) {
    Program program;
    HWND main = StartOn(program, "help.sk1");
    ASSERT_TRUE(main != 0);
    HMENU bar = GetMenu(main);
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(81, MF_STRING), (LPARAM)bar);
    EXPECT_EQ("Tidies the display by hiding everything except the current page.", Status(main));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(3, MF_POPUP), (LPARAM)bar);
    EXPECT_EQ("Page", Status(main));
    SendMessageA(main, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ("", Status(main));
    EXPECT_EQ(0u, CloseAndWait(program, main));
}

TEST_F(MainWindowSystem, UnknownCommandsAreOwnedUpTo) {
    Program program;
    HWND main = StartOn(program, "cmd.sk1");
    ASSERT_TRUE(main != 0);
    PostMessageA(main, WM_COMMAND, 30, 0);
    ProbeMessageBox box;
    ASSERT_TRUE(ProbeWaitForMessageBox(program.pid(), kTimeout, &box));
    EXPECT_EQ("Skeindle", box.caption);
    EXPECT_EQ("Unknown command 30?\nThis program is still being developed, it seems.", box.text);
    EXPECT_TRUE(ProbePressButton(box, "OK"));
    EXPECT_EQ(0u, CloseAndWait(program, main));
}

TEST_F(MainWindowSystem, ExitCommandEndsWithCodeZeroAndWritesTheSettings) {
    SettingsKey program_key(HKEY_CURRENT_USER, kProgramKeyPath, true);
    SettingsKey window(program_key, "window", true);
    RegDeleteValueA(window.handle(), "flags");
    RegDeleteValueA(window.handle(), "x-size");
    Program program;
    HWND main = StartOn(program, "exit.sk1");
    ASSERT_TRUE(main != 0);
    ASSERT_TRUE(MoveWindow(main, 40, 30, 520, 410, TRUE));
    PostMessageA(main, WM_COMMAND, 18, 0);
    DWORD code = 12345;
    ASSERT_TRUE(program.WaitForExit(kTimeout, &code));
    EXPECT_EQ(0u, code);
    SettingsKey read(program_key, "window", false);
    EXPECT_EQ(61, read.ReadNumber("flags", -1));
    EXPECT_EQ(40, read.ReadNumber("x", -1));
    EXPECT_EQ(30, read.ReadNumber("y", -1));
    EXPECT_EQ(520, read.ReadNumber("x-size", -1));
    EXPECT_EQ(410, read.ReadNumber("y-size", -1));
    // The file was let go: it opens unshared at once.
    Db db;
    EXPECT_TRUE(db.Open(dir_.File("exit.sk1").c_str())) << db.error();
}

TEST_F(MainWindowSystem, SecondCopyOnTheSameFileActivatesTheFirstAndEndsSilently) {
    Program first;
    HWND main = StartOn(first, "shared.sk1");
    ASSERT_TRUE(main != 0);
    Program second;
    // Another spelling of the same file.
    ASSERT_TRUE(second.Start(BesideThisProgram("skeind.exe"), "SHARED.SK1", dir_.path()));
    DWORD code = 12345;
    EXPECT_TRUE(second.WaitForExit(kTimeout, &code)) << "the second copy did not end";
    EXPECT_EQ(0u, code);
    ProbeMessageBox box;
    EXPECT_FALSE(ProbeWaitForMessageBox(second.pid(), 200, &box)) << box.text;
    EXPECT_EQ(main, GetForegroundWindow());
    DWORD still = 0;
    EXPECT_FALSE(first.WaitForExit(0, &still)) << "the first copy ended";
    EXPECT_EQ(0u, CloseAndWait(first, main));
}

}  // namespace
