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

std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

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

// Start-ups that end after one message, leaving no file of their own.
TEST(Startup, RefusalsSayOneThingAndLeaveNoFile) {
    TempDir dir;
    std::string missing = dir.File("asked.sk1"), empty = dir.File("empty.sk1"), a = dir.File("a.sk1"),
                b = dir.File("b.sk1"), deep = dir.File("no-such-dir") + "/x.sk1", def = dir.File("default.sk1");
    ASSERT_TRUE(WriteWholeFile(empty, "", 0));
    const struct {
        std::string line;
        bool asked;
        int message;
        const char* text;  // null: not checked
        uint32_t code;
    } cases[] = {
        {Quoted(missing), true, IDS_CREATE_WORKSPACE_QUESTION, missing.c_str(), 1006},
        {Quoted(empty), true, IDS_CREATE_WORKSPACE_QUESTION, empty.c_str(), 1006},  // the user's: kept
        {Quoted(a) + " " + Quoted(b), false, IDS_TWO_WORKSPACE_NAMES, "", 0},
        {Quoted(deep), false, IDS_CANNOT_CREATE_WORKSPACE, deep.c_str(), 3},  // path not found
        {"/Fast", false, IDS_UNKNOWN_KEYWORD, "/fast", 0},
        {Quoted(dir.File(std::string(1100, 'z'))), false, IDS_CANNOT_CREATE_WORKSPACE, 0, 206},  // not cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 80));
        ScriptedUi no(false);
        StartupResult r = OpenWorkspace(c.line.c_str(), def.c_str(), no);
        EXPECT_FALSE(r.workspace);
        ASSERT_EQ(1u, no.said.size());
        EXPECT_EQ(c.asked, no.said[0].asked);
        EXPECT_EQ(c.message, no.said[0].message);
        if (c.text) {
            EXPECT_EQ(c.text, no.said[0].text);
        }
        EXPECT_EQ(c.code, no.said[0].code);
    }
    EXPECT_FALSE(FileExists(missing) || FileExists(a) || FileExists(b) || FileExists(def));
    EXPECT_TRUE(FileExists(empty));

    ScriptedUi yes(true);
    StartupResult made = OpenWorkspace(Quoted(missing).c_str(), "unused", yes);
    ASSERT_TRUE(made.workspace);
    EXPECT_TRUE(made.created);
    EXPECT_EQ(32768, made.workspace->size());
}

// The copy holding the file is asked to come forward first; only when it
// is not found is the file in use reported, with the name as given.
TEST(Startup, FileInUseGoesToTheCopyHoldingItOrIsReported) {
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
    EXPECT_EQ(std::vector<std::string>{name}, ui.activated);

    ScriptedUi forward(true, true);
    r = OpenWorkspace(Quoted(name).c_str(), "unused", forward);
    EXPECT_FALSE(r.workspace);
    EXPECT_TRUE(forward.said.empty());
    EXPECT_EQ(0, r.exit_code);
    EXPECT_EQ(1u, forward.activated.size());
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
    EXPECT_EQ(
        (std::vector<ProgressCall>{Shown(0, 1, "Checking workspace..."), Shown(0, 1, "Checking: Workspace is empty")}),
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
