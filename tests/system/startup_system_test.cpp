// The real program, started as a user would start it, driven from outside
// through its message boxes.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "observe/datagram.h"
#include "observe/settings.h"
#include "store/nodedb.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workspace_image.h"
#include "tests/system/skeind_run.h"
#include "tools/uiprobe/probe.h"

namespace {

// A workspace the program made: the 32 KiB layout, sound throughout, with
// its visited-sites root and nothing else.
void ExpectNewWorkspace(const std::string& path) {
    std::vector<unsigned char> bytes = ReadWholeFile(path);
    ASSERT_EQ(32768u, bytes.size());
    std::vector<uint8_t> bare = NewWorkspaceImage();
    EXPECT_TRUE(std::equal(bare.begin(), bare.begin() + 16, bytes.begin())) << "file header";
    NodeDb db;
    ASSERT_TRUE(db.Open(path.c_str())) << db.error();
    EXPECT_EQ("", CheckWorkspace(db));
    NodeId root = db.FirstNode();
    ASSERT_NE(0u, root);
    EXPECT_STREQ("x-skeind-1:/h/", db.Text(db.Name(root)));
    EXPECT_STREQ("Visited Net Sites", db.Text(db.Title(root)));
    EXPECT_EQ(0u, db.NextNode(root));
}

class StartupSystem : public ::testing::Test {
protected:
    // Starts skeind.exe in the test's directory with `args`.
    void Start(const std::string& args) { ASSERT_TRUE(run_.Start(args, dir_.path())); }
    // The message box the program shows next.
    ProbeMessageBox NextBox() {
        ProbeMessageBox box;
        EXPECT_TRUE(run_.NextBox(&box)) << "no message box";
        return box;
    }
    static std::vector<std::string> ButtonTexts(const ProbeMessageBox& box) {
        std::vector<std::string> texts;
        for (size_t i = 0; i < box.buttons.size(); ++i) texts.push_back(box.buttons[i].text);
        return texts;
    }
    // The program started: its main window shows, with the offer to
    // start a browser (none runs), declined; closing it ends the program.
    DWORD CloseMainWindow() { return CloseMainWindow(run_); }
    static DWORD CloseMainWindow(SkeindRun& run) {
        EXPECT_TRUE(run.WaitForMain() != 0) << "no main window";
        EXPECT_TRUE(run.DeclineBrowserOffer()) << "no offer to start a browser";
        return run.Close();
    }
    // A message box read, answered with `button`; then the program ends.
    DWORD Answer(const ProbeMessageBox& box, const char* button) {
        EXPECT_TRUE(ProbePressButton(box, button));
        return run_.ExitCode();
    }
    size_t FilesInDir() {
        WIN32_FIND_DATAA found;
        size_t n = 0;
        HANDLE h = FindFirstFileA((dir_.path() + "\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do {
            if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) ++n;
        } while (FindNextFileA(h, &found));
        FindClose(h);
        return n;
    }

    TempDir dir_;
    SkeindRun run_;
};

TEST_F(StartupSystem, FreshStartCreatesTheDefaultWorkspace) {
    Start("");
    EXPECT_EQ(0u, CloseMainWindow());
    ExpectNewWorkspace(dir_.File("default.sk1"));
    EXPECT_EQ(1u, FilesInDir());
}

// Sets the program's "workspace" value for one test and removes it after.
class WorkspaceSetting {
public:
    WorkspaceSetting() : key_(HKEY_CURRENT_USER, kProgramKeyPath, true) {}
    ~WorkspaceSetting() { RegDeleteValueA(key_.handle(), "workspace"); }
    SettingsKey& key() { return key_; }

private:
    SettingsKey key_;
};

TEST_F(StartupSystem, TheWorkspaceSettingNamesTheDefaultFile) {
    WorkspaceSetting setting;
    ASSERT_EQ(0, setting.key().WriteText("workspace", "chosen.sk1"));
    Start("");
    EXPECT_EQ(0u, CloseMainWindow());
    ExpectNewWorkspace(dir_.File("chosen.sk1"));
    EXPECT_EQ(1u, FilesInDir());

    // Stored as a number, the value names the file by its decimal digits.
    ASSERT_EQ(0, setting.key().WriteNumber("workspace", 42));
    SkeindRun second;
    ASSERT_TRUE(second.Start("", dir_.path()));
    EXPECT_EQ(0u, CloseMainWindow(second));
    ExpectNewWorkspace(dir_.File("42"));
}

// Command lines that the program refuses, or whose question is answered
// No: one message box, then the program ends and leaves no file.
TEST_F(StartupSystem, RefusedCommandLinesEndWithOneMessageAndNoFile) {
    struct Case {
        const char* args;
        const char* text;
        std::vector<std::string> buttons;
        const char* answer;
    } cases[] = {
        {"one.sk1 two.sk1",
         "Skeindle is confused.  There appears to be more than one workspace file name specified on its command "
         "line.\nChoose OK.  Skeindle will close.",
         {"OK"},
         "OK"},
        {"new.sk1",
         "Skeindle was unable to open its workspace file \"new.sk1\".  Perhaps you are running it for the first "
         "time, so the file has not been created.  Without it, Skeindle will close.\nCreate the workspace file now?  "
         "(1006)",
         {"&Yes", "&No"},
         "No"},
        // A quotation mark cannot be part of a Windows file name, so this
        // one name cannot even be opened (error 123, invalid name); the
        // message shows it undoubled.
        {"\"say \"\"hi\"\" again.sk1\"",
         "Skeindle could not create the workspace file \"say \"hi\" again.sk1\".  Perhaps the disc is full, or some "
         "other catastrophe has overtaken us. (123)\nPress OK.  Skeindle will close.",
         {"OK"},
         "OK"},
        {"/Turbo",
         "Skeindle not understand the command-line keyword \"/turbo\".\nChoose OK.  Skeindle will close.",
         {"OK"},
         "OK"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        SkeindRun run;
        ASSERT_TRUE(run.Start(c.args, dir_.path()));
        ProbeMessageBox box;
        ASSERT_TRUE(run.NextBox(&box)) << "no message box";
        EXPECT_EQ("Skeindle", box.caption);
        EXPECT_EQ(c.text, box.text);
        EXPECT_EQ(c.buttons, ButtonTexts(box));
        EXPECT_TRUE(ProbePressButton(box, c.answer));
        EXPECT_EQ(0u, run.ExitCode());
        EXPECT_EQ(0u, FilesInDir());
    }
}

TEST_F(StartupSystem, QuotedNameWithSpacesAnsweredYesIsCreated) {
    Start("=\"my first map.sk1\"");
    ProbeMessageBox box = NextBox();
    EXPECT_NE(std::string::npos, box.text.find("\"my first map.sk1\""));
    EXPECT_TRUE(ProbePressButton(box, "Yes"));
    EXPECT_EQ(0u, CloseMainWindow());
    ExpectNewWorkspace(dir_.File("my first map.sk1"));
}

TEST_F(StartupSystem, FileInUseByAnotherProcessIsReported) {
    std::string name = dir_.File("busy.sk1");
    Db holder;
    ASSERT_TRUE(holder.Create(name.c_str()));
    Start("busy.sk1");
    ProbeMessageBox box = NextBox();
    EXPECT_EQ("Skeindle could not open the workspace file busy.sk1 because this file is already in "
              "use.\nUsually this is because there is already a Skeindle running.  In this case, "
              "use Alt+Tab or the Taskbar to find to the first Skeindle.",
              box.text);
    EXPECT_EQ(0u, Answer(box, "OK"));
    holder.Close();
    EXPECT_EQ(NewWorkspaceImage(), ReadWholeFile(name));
}

TEST_F(StartupSystem, DamagedWorkspaceIsRefusedWithExitCodeOne) {
    std::string name = dir_.File("damaged.sk1");
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
        db.FindNode("http://kept.example/", true);
        db.Ptr(12)[0] = 6;  // lowest block order
    }
    std::vector<unsigned char> before = ReadWholeFile(name);
    Start("damaged.sk1");
    ProbeMessageBox box = NextBox();
    EXPECT_EQ("Skeindle", box.caption);
    EXPECT_EQ("The workspace file damaged.sk1 exists, but Skeindle detected inconsistencies which it "
              "could not repair.\nThe easiest solution might be to rename the file so that Skeindle "
              "creates a fresh workspace.",
              box.text);
    EXPECT_EQ(std::vector<std::string>{"OK"}, ButtonTexts(box));
    EXPECT_EQ(1u, Answer(box, "OK"));
    EXPECT_TRUE(before == ReadWholeFile(name)) << "a refused file was written to";
}

TEST_F(StartupSystem, RepairableDamageIsRepairedWithoutAWord) {
    std::string name = dir_.File("repair.sk1");
    NodeId page;
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
        page = db.FindNode("http://www.example.com/", true);
        db.SetFlags(page, Busy);
        uint32_t head = 0;
        for (int k = 5; k <= 19 && head == 0; ++k) head = db.FreeHead(k);
        ASSERT_NE(0u, head);
        Put32(db.Ptr(head) + 4, 0x1234);  // a free list's previous link
        db.Node(page).set_height(7);
    }
    Start("repair.sk1");
    EXPECT_EQ(0u, CloseMainWindow());  // no message box held it up
    NodeDb db;
    ASSERT_TRUE(db.Open(name.c_str())) << db.error();
    EXPECT_EQ("", CheckWorkspace(db));
    EXPECT_EQ(0, db.TestFlags(page, Busy));
    EXPECT_EQ(page, db.FindNode("http://www.example.com/", false));
}

// Another program holds the shim's UDP port: start-up completes all the
// same, the map answers the keys and the program ends as usual. Only the
// shim's reports never reach it; they go to the port's holder.
TEST_F(StartupSystem, TheShimPortTakenByAnotherProgramStopsNothing) {
    WSADATA data;
    ASSERT_EQ(0, WSAStartup(MAKEWORD(1, 1), &data));
    SOCKET taken = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_NE(INVALID_SOCKET, taken);
    sockaddr_in port = {};
    port.sin_family = AF_INET;
    port.sin_port = htons(kShimPort);
    port.sin_addr.s_addr = htonl(INADDR_ANY);
    // Held by this test; or else already by some other program (another
    // copy under test on this machine), which serves as well.
    bool ours = bind(taken, (const sockaddr*)&port, sizeof port) == 0;
    if (!ours) {
        ASSERT_EQ(WSAEADDRINUSE, WSAGetLastError());
    }

    std::string name = dir_.File("port.sk1");
    ASSERT_TRUE(MakeWorkspace(name, {"http://example.test/"}));
    ASSERT_TRUE(run_.StartOn("port.sk1", dir_.path())) << "no main window";
    // The pinned page is the first row: the key makes it current.
    SkeindRun::PressKey(run_.Map(), VK_DOWN);
    EXPECT_EQ("http://example.test/", run_.WaitForStatus("http://example.test/")) << "the map does not answer";

    // A shim's report goes to the port's holder, not to the program. (Sent
    // only to a holder of our own: another program must not get it.)
    if (ours) {
        std::string error;
        ASSERT_TRUE(SendShimScript("id 1\nrequest http://example.test/shim.html\nclose\n", &error)) << error;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(taken, &readable);
        timeval wait = {5, 0};
        EXPECT_EQ(1, select(0, &readable, 0, 0, &wait)) << "the holder got nothing";
    }

    EXPECT_EQ(0u, run_.Close());
    closesocket(taken);
    WSACleanup();
    NodeDb db;
    ASSERT_TRUE(db.Open(name.c_str())) << db.error();
    EXPECT_EQ("", CheckWorkspace(db));
    EXPECT_EQ(0u, db.FindNode("http://example.test/shim.html", false));
}

}  // namespace
