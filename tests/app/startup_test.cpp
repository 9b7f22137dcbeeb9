// Start-up's choices, on real files, with the user's answers scripted.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "app/startup.h"
#include "res/resource.h"
#include "store/node_ref.h"
#include "tests/store/progress_recorder.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"

namespace {

struct Said {
    int message;
    std::string text;
    uint32_t code;
    bool asked;
};

class ScriptedUi : public AStartupUi {
public:
    explicit ScriptedUi(bool answer, bool other_copy = false) : answer_(answer), other_copy_(other_copy) {}
    void Tell(int message, const char* text, uint32_t code) override {
        said.push_back(Said{message, text, code, false});
    }
    bool AskYesNo(int message, const char* text, uint32_t code) override {
        said.push_back(Said{message, text, code, true});
        return answer_;
    }
    bool ActivateOtherCopy(const char* name) override {
        activated.push_back(name);
        return other_copy_;
    }
    std::vector<Said> said;
    std::vector<std::string> activated;

private:
    bool answer_;
    bool other_copy_;
};

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

TEST(Startup, NoNameCreatesTheDefaultWithoutAsking) {
    TempDir dir;
    ScriptedUi ui(false);
    std::string def = dir.File("default.sk1");
    StartupResult r = OpenWorkspace("", def.c_str(), ui);
    ASSERT_TRUE(r.workspace);
    EXPECT_TRUE(ui.said.empty());
    EXPECT_TRUE(r.created);
    EXPECT_FALSE(r.name_from_command_line);
    EXPECT_EQ(def, r.name);
    r.workspace.reset();
    std::vector<unsigned char> bytes = ReadWholeFile(def);
    ASSERT_EQ(32768u, bytes.size());
    EXPECT_EQ(0, memcmp(&bytes[0], "SKEN", 4));

    // The second start opens the same file as it is.
    StartupResult again = OpenWorkspace("   ", def.c_str(), ui);
    ASSERT_TRUE(again.workspace);
    EXPECT_FALSE(again.created);
    EXPECT_TRUE(ui.said.empty());
}

TEST(Startup, MissingNamedFileIsAskedAboutAndNoLeavesNothing) {
    TempDir dir;
    std::string name = dir.File("asked.sk1");
    ScriptedUi no(false);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", no);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, no.said.size());
    EXPECT_TRUE(no.said[0].asked);
    EXPECT_EQ(IDS_CREATE_WORKSPACE_QUESTION, no.said[0].message);
    EXPECT_EQ(name, no.said[0].text);
    EXPECT_EQ(1006u, no.said[0].code);
    EXPECT_FALSE(FileExists(name));

    ScriptedUi yes(true);
    StartupResult made = OpenWorkspace(Quoted(name).c_str(), "unused", yes);
    ASSERT_TRUE(made.workspace);
    EXPECT_TRUE(made.created);
    EXPECT_EQ(32768, made.workspace->size());
}

TEST(Startup, ExistingEmptyNamedFileIsKeptOnNo) {
    TempDir dir;
    std::string name = dir.File("empty.sk1");
    ASSERT_TRUE(WriteWholeFile(name, "", 0));
    ScriptedUi no(false);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", no);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, no.said.size());
    EXPECT_TRUE(FileExists(name));  // it was the user's, not ours
}

TEST(Startup, TwoNamesAreRefusedAndTouchNothing) {
    TempDir dir;
    std::string a = dir.File("a.sk1"), b = dir.File("b.sk1");
    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace((Quoted(a) + " " + Quoted(b)).c_str(), dir.File("default.sk1").c_str(), ui);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, ui.said.size());
    EXPECT_EQ(IDS_TWO_WORKSPACE_NAMES, ui.said[0].message);
    EXPECT_FALSE(FileExists(a));
    EXPECT_FALSE(FileExists(b));
    EXPECT_FALSE(FileExists(dir.File("default.sk1")));
}

TEST(Startup, FileInUseIsReportedWithTheNameAsGiven) {
    TempDir dir;
    std::string name = dir.File("busy.sk1");
    Db holder;
    ASSERT_TRUE(holder.Create(name.c_str()));
    std::vector<unsigned char> before(holder.Ptr(0), holder.Ptr(0) + holder.size());

    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace(("=" + Quoted(name)).c_str(), "unused", ui);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, ui.said.size());
    EXPECT_EQ(IDS_WORKSPACE_IN_USE, ui.said[0].message);
    EXPECT_EQ(name, ui.said[0].text);
    EXPECT_EQ(32u, ui.said[0].code);
    EXPECT_EQ(0, memcmp(&before[0], holder.Ptr(0), before.size()));
    // The copy holding it was asked first, and was not found.
    ASSERT_EQ(1u, ui.activated.size());
    EXPECT_EQ(name, ui.activated[0]);
}

TEST(Startup, FileInUseByACopyThatComesForwardEndsSilently) {
    TempDir dir;
    std::string name = dir.File("busy.sk1");
    Db holder;
    ASSERT_TRUE(holder.Create(name.c_str()));
    ScriptedUi ui(true, true);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", ui);
    EXPECT_FALSE(r.workspace);
    EXPECT_TRUE(ui.said.empty());
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ(1u, ui.activated.size());
}

TEST(Startup, UncreatableFileIsReportedWithItsCode) {
    TempDir dir;
    std::string name = dir.File("no-such-dir") + "/x.sk1";
    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", ui);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, ui.said.size());
    EXPECT_EQ(IDS_CANNOT_CREATE_WORKSPACE, ui.said[0].message);
    EXPECT_EQ(3u, ui.said[0].code);  // path not found
}

TEST(Startup, KeywordsAreNotUnderstood) {
    TempDir dir;
    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace("/Fast", dir.File("default.sk1").c_str(), ui);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, ui.said.size());
    EXPECT_EQ(IDS_UNKNOWN_KEYWORD, ui.said[0].message);
    EXPECT_EQ("/fast", ui.said[0].text);
    EXPECT_FALSE(FileExists(dir.File("default.sk1")));
}

TEST(Startup, OverlongNameIsRefusedNotCut) {
    TempDir dir;
    std::string name = dir.File(std::string(1100, 'z'));
    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", ui);
    EXPECT_FALSE(r.workspace);
    ASSERT_EQ(1u, ui.said.size());
    EXPECT_EQ(IDS_CANNOT_CREATE_WORKSPACE, ui.said[0].message);
    EXPECT_EQ(206u, ui.said[0].code);
}

// The check runs before anything reads the map: a new file is checked
// while still empty, and only then gets its visited-sites root.
TEST(StartupCheck, NewWorkspaceIsCheckedBeforeItGetsItsVisitedSitesRoot) {
    TempDir dir;
    ScriptedUi ui(false);
    StartupResult r = OpenWorkspace("", dir.File("default.sk1").c_str(), ui);
    ASSERT_TRUE(r.workspace);
    EXPECT_EQ(0u, r.workspace->Root());
    ProgressRecorder bar;
    EXPECT_TRUE(CheckOpenedWorkspace(r, &bar, ui));
    EXPECT_EQ(0, r.exit_code);
    EXPECT_TRUE(ui.said.empty());
    EXPECT_EQ((std::vector<ProgressCall>{Shown(0, 1, "Checking workspace..."),
                                         Shown(0, 1, "Checking: Workspace is empty")}),
              bar.calls);
    ASSERT_TRUE(r.workspace);
    EXPECT_NE(0u, r.workspace->FindNode("x-skeind-1:/h/", false));
    EXPECT_EQ("", CheckWorkspace(*r.workspace));
}

TEST(StartupCheck, DamagedHeaderIsToldAndEndsWithExitCodeOne) {
    TempDir dir;
    std::string name = dir.File("damaged.sk1");
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
        db.FindNode("http://kept.example/", true);
        db.Ptr(12)[0] = 6;  // lowest block order
    }
    std::vector<unsigned char> before = ReadWholeFile(name);
    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", ui);
    ASSERT_TRUE(r.workspace);
    EXPECT_TRUE(ui.said.empty());
    EXPECT_FALSE(CheckOpenedWorkspace(r, 0, ui));
    EXPECT_FALSE(r.workspace);
    EXPECT_EQ(1, r.exit_code);
    ASSERT_EQ(1u, ui.said.size());
    EXPECT_EQ(IDS_WORKSPACE_DAMAGED, ui.said[0].message);
    EXPECT_EQ(name, ui.said[0].text);
    EXPECT_FALSE(ui.said[0].asked);
    EXPECT_TRUE(before == ReadWholeFile(name));  // refused untouched
}

TEST(StartupCheck, RepairableDamageIsRepairedWithoutAWord) {
    TempDir dir;
    std::string name = dir.File("repair.sk1");
    NodeId busy;
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
        busy = db.FindNode("http://www.example.com/a.html", true);
        NodeRef(db, busy).FileUnderHost();
        NodeRef(db, db.FindNode("http://10.0.0.1/", true)).FileUnderHost();
        db.SetFlags(busy, Busy);
        uint32_t head = 0;
        for (int k = 5; k <= 19 && head == 0; ++k) head = db.FreeHead(k);
        ASSERT_NE(0u, head);
        Put32(db.Ptr(head) + 4, 0x1234);  // a free list's previous link
    }
    ScriptedUi ui(true);
    StartupResult r = OpenWorkspace(Quoted(name).c_str(), "unused", ui);
    ASSERT_TRUE(r.workspace);
    EXPECT_EQ(0u, r.workspace->Count());  // the visited sites wait for the check
    EXPECT_TRUE(CheckOpenedWorkspace(r, 0, ui));
    EXPECT_TRUE(ui.said.empty());
    EXPECT_EQ(0, r.exit_code);
    ASSERT_TRUE(r.workspace);
    EXPECT_EQ("", CheckWorkspace(*r.workspace));
    EXPECT_EQ(0, r.workspace->TestFlags(busy, Busy));
    ASSERT_EQ(2u, r.workspace->Count());
    EXPECT_STREQ("http://10.0.0.1/", (*r.workspace)[0]);
}

}  // namespace
