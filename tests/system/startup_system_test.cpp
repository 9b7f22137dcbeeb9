// The real program, started as a user would start it, driven from outside
// through its message boxes.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
    // A run with `args` shows one message box, answered with `button`:
    // its caption, text and buttons, and the exit code.
    void ExpectOneBox(const char* args, const std::string& text, const std::vector<std::string>& buttons,
                      const char* button, DWORD exit_code) {
        SCOPED_TRACE(args);
        SkeindRun run;
        ASSERT_TRUE(run.Start(args, dir_.path()));
        ProbeMessageBox box;
        ASSERT_TRUE(run.NextBox(&box)) << "no message box";
        EXPECT_EQ("Skeindle", box.caption);
        EXPECT_EQ(text, box.text);
        std::vector<std::string> texts;
        for (const auto& b : box.buttons) texts.push_back(b.text);
        EXPECT_EQ(buttons, texts);
        EXPECT_TRUE(ProbePressButton(box, button));
        EXPECT_EQ(exit_code, run.ExitCode());
    }
    size_t FilesInDir() {
        return std::distance(std::filesystem::directory_iterator(dir_.path()), std::filesystem::directory_iterator());
    }

    TempDir dir_;
};

// Without a name the program makes its default workspace: default.sk1, or
// the file the "workspace" setting names, as text or by a number's digits.
TEST_F(StartupSystem, FreshStartCreatesTheDefaultWorkspace) {
    SettingsKey key(HKEY_CURRENT_USER, kProgramKeyPath, true);
    RegDeleteValueA(key.handle(), "workspace");
    const char* const names[] = {"default.sk1", "chosen.sk1", "42"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        if (name == names[1]) {
            ASSERT_EQ(0, key.WriteText("workspace", name));
        }
        if (name == names[2]) {
            ASSERT_EQ(0, key.WriteNumber("workspace", 42));
        }
        SkeindRun run;
        ASSERT_TRUE(run.Start("", dir_.path()));
        // The main window shows, with the offer to start a browser (none
        // runs), declined; closing it ends the program.
        EXPECT_TRUE(run.WaitForMain() != 0) << "no main window";
        EXPECT_TRUE(run.DeclineBrowserOffer()) << "no offer to start a browser";
        EXPECT_EQ(0u, run.Close());
        ExpectNewWorkspace(dir_.File(name));
        EXPECT_EQ(1u, FilesInDir());
        DeleteFileA(dir_.File(name).c_str());
    }
    RegDeleteValueA(key.handle(), "workspace");
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
        ExpectOneBox(c.args, c.text, c.buttons, c.answer, 0);
        EXPECT_EQ(0u, FilesInDir());
    }
}

// A file held by another process, or damaged past repair, is reported and
// left as it was; the damage ends the program with exit code 1.
TEST_F(StartupSystem, AFileInUseOrDamagedIsReportedAndLeftAlone) {
    std::string busy = dir_.File("busy.sk1"), damaged = dir_.File("damaged.sk1");
    Db holder;
    ASSERT_TRUE(holder.Create(busy.c_str()));
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(damaged.c_str()));
        db.FindNode("http://kept.example/", true);
        db.Ptr(12)[0] = 6;  // lowest block order
    }
    std::vector<unsigned char> before = ReadWholeFile(damaged);
    ExpectOneBox("busy.sk1",
                 "Skeindle could not open the workspace file busy.sk1 because this file is already in "
                 "use.\nUsually this is because there is already a Skeindle running.  In this case, "
                 "use Alt+Tab or the Taskbar to find to the first Skeindle.",
                 {"OK"}, "OK", 0);
    ExpectOneBox("damaged.sk1",
                 "The workspace file damaged.sk1 exists, but Skeindle detected inconsistencies which it "
                 "could not repair.\nThe easiest solution might be to rename the file so that Skeindle "
                 "creates a fresh workspace.",
                 {"OK"}, "OK", 1);
    holder.Close();
    EXPECT_EQ(NewWorkspaceImage(), ReadWholeFile(busy));
    EXPECT_TRUE(before == ReadWholeFile(damaged)) << "a refused file was written to";
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
    SkeindRun run;
    ASSERT_TRUE(MakeWorkspace(name, {"http://example.test/"}));
    ASSERT_TRUE(run.StartOn("port.sk1", dir_.path())) << "no main window";
    // The pinned page is the first row: the key makes it current.
    SkeindRun::PressKey(run.Map(), VK_DOWN);
    EXPECT_EQ("http://example.test/", run.WaitForStatus("http://example.test/")) << "the map does not answer";

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

    EXPECT_EQ(0u, run.Close());
    closesocket(taken);
    WSACleanup();
    NodeDb db;
    ASSERT_TRUE(db.Open(name.c_str())) << db.error();
    EXPECT_EQ("", CheckWorkspace(db));
    EXPECT_EQ(0u, db.FindNode("http://example.test/shim.html", false));
}

}  // namespace
