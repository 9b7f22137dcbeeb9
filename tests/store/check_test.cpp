// The start-up check on real workspaces damaged byte by byte: what it
// refuses, what it repairs and how, what it shows, and that every repaired
// file is sound to the outside checker and checks clean a second time.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "store/bits.h"
#include "store/check.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/db_checker.h"
#include "tests/store/progress_recorder.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workspace_image.h"

using namespace layout;

namespace {

const uint32_t kMark = 0x5EED1234;
const uint32_t kKept = VRSessionsRootKept;

// A small map with every kind of record: pages with titles, a label, links
// of several kinds, an annotation with a text body, a saved session with a
// counted body under the sessions root.
struct SmallMap {
    NodeId a, b, c, d, e, note, session, sessions;
};

class CheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = dir_.File("w.sk1");
        ASSERT_TRUE(db_.Create(name_.c_str()));  // bare: no nodes at all
    }

    int Check() {
        bar_.calls.clear();
        VRStatus status(&bar_);
        status.mark = kMark;
        int result = CheckWorkspaceFile(db_, status);
        flags_ = status.flags;
        fixes_ = status.fixes;
        count_ = status.node_count;
        return result;
    }

    // Sound to the outside checker, and a second check changes nothing.
    void ExpectRepaired() {
        EXPECT_EQ("", CheckWorkspace(db_));
        std::vector<uint8_t> before = Bytes();
        VRStatus again(0);
        again.mark = kMark;
        ASSERT_EQ(1, CheckWorkspaceFile(db_, again));
        EXPECT_TRUE(again.FoundNothing()) << "flags 0x" << std::hex << again.flags << " fixes 0x" << again.fixes;
        EXPECT_TRUE(before == Bytes()) << "the second check wrote to the file";
    }

    // The check finds exactly `flags` and `fixes`, and its repair holds.
    void ExpectRepairs(uint32_t flags, uint32_t fixes) {
        ASSERT_EQ(1, Check());
        EXPECT_EQ(flags, flags_);
        EXPECT_EQ(fixes, fixes_);
        ExpectRepaired();
    }

    SmallMap BuildMap() {
        SmallMap m;
        m.a = db_.FindNode("http://a.example/", true);
        m.b = db_.FindNode("http://b.example/x.html", true);
        m.c = db_.FindNode("http://c.example/dir/", true);
        m.d = db_.FindNode("http://d.example/", true);
        m.e = db_.FindNode("http://e.example/", true);
        db_.SetTitle(m.a, "Page A");
        db_.ClearFlags(m.a, Untitled);
        db_.SetTitle(m.b, "A title long enough for a block of sixty-four bytes");
        db_.ClearFlags(m.b, Untitled);
        db_.SetLabel(m.c, "see C");
        db_.AddLink(m.a, m.b, LinkAnchor);
        db_.AddLink(m.a, m.c, LinkInclude);
        db_.AddLink(m.b, m.c, LinkAnchor);
        db_.AddLink(m.c, m.a, LinkRedirect);
        db_.AddLink(m.d, m.e, LinkAnchor);
        m.note = db_.NewAnnotation();
        db_.SetBodyBytes(m.note, "Notes on page A.", 16);
        db_.AddLink(m.a, m.note, Attach);
        m.sessions = db_.SessionsRoot();
        m.session = db_.FindNode("x-skeind-1:/session/first", true);
        db_.SetKind(m.session, SessionNode);
        db_.SetBodyLength(m.session, 40);
        memset(db_.BodyData(m.session), 0x5A, 40);
        db_.AddLink(m.sessions, m.session, LinkAnchor);
        EXPECT_EQ("", CheckWorkspace(db_));
        return m;
    }

    // What a user sees of the map: per live URL its title, label, pinned
    // state and links (by URL and kind).
    std::map<std::string, std::string> Summary() {
        std::map<std::string, std::string> s;
        for (NodeId n = db_.FirstNode(); n; n = db_.NextNode(n)) {
            std::string v = std::string("title=") + db_.Text(db_.Title(n)) + " label=" + db_.Text(db_.Label(n));
            if (db_.TestFlags(n, Pinned)) v += " pinned";
            for (LinkId l = db_.FirstOut(n); l; l = db_.NextLink(l))
                v += " >" + Url(db_.LinkNode(l)) + "/" + std::to_string(db_.LinkKindOf(l));
            for (LinkId l = db_.FirstIn(n); l; l = db_.NextLink(l))
                v += " <" + Url(db_.LinkNode(l)) + "/" + std::to_string(db_.LinkKindOf(l));
            s[Url(n)] = v;
        }
        return s;
    }

    std::string Url(NodeId n) { return db_.Text(db_.Name(n)); }
    std::string LostName(uint32_t stamp) { return "x-skeind-1/lost-name-" + std::to_string(stamp); }
    std::vector<uint8_t> Bytes() { return std::vector<uint8_t>(db_.Ptr(0), db_.Ptr(0) + db_.size()); }
    uint8_t* At(uint32_t offset) { return db_.Ptr(offset); }
    // The cells of a list as stored, in order.
    std::vector<LinkId> Cells(LinkId head) {
        std::vector<LinkId> cells;
        for (LinkId c = head; c != 0 && cells.size() < 100; c = db_.Cell(c).next()) cells.push_back(c);
        return cells;
    }
    std::set<LinkId> SpareCells() {
        std::vector<LinkId> v = Cells(db_.Header(kFreeLinkCells));
        return std::set<LinkId>(v.begin(), v.end());
    }

    TempDir dir_;
    std::string name_;
    NodeDb db_;
    ProgressRecorder bar_;
    uint32_t flags_ = 0;
    uint32_t fixes_ = 0;
    uint32_t count_ = 0;
};

// ---------------------------------------------------------------------------
// What the check shows

TEST_F(CheckTest, NewWorkspaceIsEmptyAndLeftUntouched) {
    ExpectRepairs(kKept, 0);  // there is no sessions root
    EXPECT_EQ(
        (std::vector<ProgressCall>{Shown(0, 1, "Checking workspace..."), Shown(0, 1, "Checking: Workspace is empty")}),
        bar_.calls);
    // The 16 KiB block ending exactly at the end of the file was accepted.
    EXPECT_TRUE(NewWorkspaceImage() == Bytes());
}

TEST_F(CheckTest, PagesAreCountedAndTheBarStepsThroughThem) {
    char url[64];
    for (int i = 0; i < 1000; ++i) {
        snprintf(url, sizeof url, "http://h/%03d", i);
        db_.FindNode(url, true);
        if (i != 44) continue;
        ASSERT_EQ(1, Check());
        EXPECT_EQ(45u, count_);
        // Steps of 20 (45 / 20 is less than that): after nodes 20 and 40.
        EXPECT_EQ((std::vector<ProgressCall>{Shown(0, 1, "Checking workspace..."), Shown(0, 45, "Checking 45 pages..."),
                                             Moved(20, 45), Moved(40, 45), Moved(1, 1)}),
                  bar_.calls);
    }
    ExpectRepairs(kKept, 0);
    // 1000 / 20 = 50: twenty moves, the last at 1000 of 1000.
    ASSERT_EQ(23u, bar_.calls.size());
    EXPECT_EQ(Shown(0, 1000, "Checking 1000 pages..."), bar_.calls[1]);
    EXPECT_EQ(Moved(50, 1000), bar_.calls[2]);
    EXPECT_EQ(Moved(500, 1000), bar_.calls[11]);
    EXPECT_EQ(Moved(1000, 1000), bar_.calls[21]);
    EXPECT_EQ(Moved(1, 1), bar_.calls[22]);
}

// Also: the spare link cells of a sound map are storage in use, not a leak.
TEST_F(CheckTest, MarksEveryNodeClearsBusyAndFlagsUntitledPages) {
    SmallMap m = BuildMap();
    std::set<LinkId> spare = SpareCells();
    db_.SetFlags(m.a, Busy);
    db_.SetFlags(m.d, Busy | Pinned);
    db_.ClearFlags(m.e, Untitled);  // no title, yet not marked so
    ExpectRepairs(kKept, 0);
    EXPECT_EQ(8u, count_);
    for (NodeId n = db_.FirstInTree(); n; n = db_.NextInTree(n)) {
        EXPECT_EQ(kMark, db_.DisplayMark(n)) << Url(n);
        EXPECT_EQ(0, db_.TestFlags(n, Busy)) << Url(n);
        EXPECT_EQ(db_.Title(n) == 0, db_.TestFlags(n, Untitled) != 0) << Url(n);
    }
    EXPECT_TRUE(db_.TestFlags(m.d, Pinned));
    EXPECT_EQ(spare, SpareCells());
}

// ---------------------------------------------------------------------------
// The file header

TEST_F(CheckTest, OnlyTheAllocationFieldsCanRefuseTheFileAndThenNothingIsWritten) {
    const struct {
        uint32_t offset;
        uint8_t value;
        bool refused;
    } damages[] = {{kHeaderLayout, 2, true}, {kWsHeaderSize, 129, true}, {kWsHeaderSize + 2, 1, true},
                   {kLowestOrder, 6, true},  {kHighestOrder, 20, true},  {kChunkOrderField, 19, true},
                   {kMagic, 'X', false},     {kVersion + 1, 9, false}};
    BuildMap();
    const std::vector<uint8_t> sound = Bytes();
    for (const auto& d : damages) {
        SCOPED_TRACE(d.offset);
        memcpy(At(0), &sound[0], sound.size());
        At(d.offset)[0] = d.value;
        std::vector<uint8_t> damaged = Bytes();
        EXPECT_EQ(d.refused ? 0 : 1, Check());
        EXPECT_EQ(d.refused ? VRHeaderInvalid : kKept, flags_);
        if (!d.refused) continue;
        EXPECT_EQ(std::vector<ProgressCall>{Shown(0, 1, "Checking workspace...")}, bar_.calls);
        EXPECT_TRUE(damaged == Bytes());
    }
}

TEST_F(CheckTest, LargestWorkspaceHeaderReservesItsGranules) {
    Put32(At(kWsHeaderSize), 128);  // (128 + 91) / 32 = 6 granules: to 0x10C0
    ASSERT_EQ(1, Check());
    EXPECT_EQ(kKept, flags_);
    EXPECT_EQ(VRFixStorage, fixes_);
    std::map<uint32_t, int> free_blocks = FreeBlocksOf(db_);
    EXPECT_EQ(0u, free_blocks.count(0x1060));
    EXPECT_EQ(0u, free_blocks.count(0x1080));
    EXPECT_EQ(6, free_blocks[0x10C0]);  // the rest of the 128-byte block
    EXPECT_EQ("", CheckDb(db_, 0));
    EXPECT_EQ(0x10C0u, db_.AllocOrder(6));
}

TEST_F(CheckTest, FileTooShortForItsLastBitmapOrItsHeadersIsRefused) {
    std::vector<uint8_t> image = NewWorkspaceImage();
    db_.Close();
    std::vector<uint8_t> long_file(image);
    long_file.resize(kChunkSize + 2048, 0);  // the second chunk's bitmap is cut
    std::vector<uint8_t> short_file(image.begin(), image.begin() + kPageSize);
    for (const std::vector<uint8_t>* file : {&long_file, &short_file}) {
        ASSERT_TRUE(WriteWholeFile(name_, &(*file)[0], file->size()));
        ASSERT_TRUE(db_.Open(name_.c_str()));
        EXPECT_EQ(0, Check());
        if (file == &short_file) {
            EXPECT_EQ(VRHeaderInvalid, flags_);
        }
        db_.Close();
        EXPECT_TRUE(*file == ReadWholeFile(name_));
    }
}

// ---------------------------------------------------------------------------
// Free storage

// Each damaged free list is cut, and whatever the cut dropped comes back.
// The held blocks are no one's in a workspace without nodes, so the check
// gives them back too: every byte is free again as in a new workspace.
TEST_F(CheckTest, DamagedFreeListsAreCutAndNothingIsLost) {
    std::vector<uint32_t> held;
    for (int i = 0; i < 8; ++i) held.push_back(db_.AllocOrder(5));
    for (int i = 0; i < 8; i += 2) db_.Free(held[i], 5);
    std::vector<uint32_t> list;  // three order-5 blocks that are not buddies
    for (uint32_t b = db_.FreeHead(5); b; b = Get32(At(b) + kFreeNext)) list.push_back(b);
    ASSERT_GE(list.size(), 3u);
    ASSERT_EQ(0x2000u, db_.FreeHead(13));
    const struct {
        const char* what;
        std::function<void()> damage;
    } rows[] = {
        {"next link into a bitmap page", [&] { Put32(At(list[1]) + kFreeNext, 0x10); }},
        {"wrong previous link", [&] { Put32(At(list[2]) + kFreePrev, list[0]); }},
        {"block past the end of the file",
         [&] {
             Put32(At(FreeHeadOffset(12)), 0x8000);  // would end at 0x9000
             Put32(At(list.back()) + kFreeNext, (uint32_t)db_.size() + 0x40);
         }},
        // Met first as the head of order 12: the order-13 list is cut before it.
        {"block on two lists", [&] { Put32(At(FreeHeadOffset(12)), 0x2000); }},
        {"list that loops back on itself", [&] { Put32(At(list[2]) + kFreeNext, list[0]); }},
    };
    const std::vector<uint8_t> damaged_later = Bytes();
    NodeDb fresh;
    ASSERT_TRUE(fresh.Create(dir_.File("fresh.sk1").c_str()));
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        memcpy(At(0), &damaged_later[0], damaged_later.size());
        row.damage();
        ExpectRepairs(kKept | VRFreeListCut, VRFixStorage);
        EXPECT_EQ(FreeBlocksOf(fresh), FreeBlocksOf(db_));
    }
}

TEST_F(CheckTest, StrayBitsAndWrongOrderWordsAreSetRight) {
    SmallMap m = BuildMap();
    const std::vector<uint8_t> sound = Bytes();
    const std::map<uint32_t, int> free_blocks = FreeBlocksOf(db_);
    uint32_t free_block = free_blocks.begin()->first;
    for (int damage = 0; damage < 2; ++damage) {
        SCOPED_TRACE(damage);
        memcpy(At(0), &sound[0], sound.size());
        if (damage == 0) {  // a free bit on a node record
            uint8_t* word = At(((m.c >> 10) & 0x3FF) * 4);
            Put32(word, Get32(word) | 1u << ((m.c >> 5) & 31));
        } else {
            Put32(At(free_block) + kFreeOrder, 9);
        }
        ExpectRepairs(kKept, VRFixStorage);  // no list was cut
        EXPECT_EQ(free_blocks, FreeBlocksOf(db_));
    }
}

TEST_F(CheckTest, LeakedStorageIsGivenBack) {
    BuildMap();
    std::map<uint32_t, int> before = FreeBlocksOf(db_);
    ASSERT_NE(0u, db_.AllocOrder(9));
    ASSERT_NE(0u, db_.AllocOrder(5));
    ExpectRepairs(kKept, VRFixStorage);
    EXPECT_EQ(before, FreeBlocksOf(db_));
}

// A node record that is also on a free list is taken off it, and the list
// words are not written into it while the lists are walked.
TEST_F(CheckTest, NodeRecordOnAFreeListIsTakenOffIntact) {
    SmallMap m = BuildMap();
    std::map<std::string, std::string> before = Summary();
    // A leaf with height and flags 0 reads as a free block heading its list
    // (previous link 0), whose next link is its name.
    NodeId leaf = 0;
    for (NodeId n = db_.FirstInTree(); n && !leaf; n = db_.NextInTree(n))
        if (!db_.Node(n).left() && !db_.Node(n).right() && n != m.session && n != m.note && n != m.sessions) leaf = n;
    ASSERT_NE(0u, leaf);
    db_.SetFlagsMasked(leaf, 0, 0xFFFF);
    Put32(At(FreeHeadOffset(6)), leaf);
    NodeRec rec = db_.Node(leaf);
    uint32_t name = rec.name(), parent = rec.parent();
    ASSERT_EQ(1, Check());
    EXPECT_TRUE(flags_ & VRFreeListCut);  // cut after it: its name is no block of order 6
    EXPECT_TRUE(fixes_ & VRFixStorage);
    EXPECT_EQ(name, db_.Node(leaf).name());
    EXPECT_EQ(parent, db_.Node(leaf).parent());
    EXPECT_EQ(before, Summary());
    ExpectRepaired();
    for (int i = 0; i < 50; ++i) ASSERT_NE(leaf, db_.AllocOrder(6));
}

// ---------------------------------------------------------------------------
// The name tree

class CheckTreeTest : public CheckTest {
protected:
    void SetUp() override {
        CheckTest::SetUp();
        map_ = BuildMap();
        char url[64];
        for (int i = 0; i < 12; ++i) {
            snprintf(url, sizeof url, "http://f.example/%02d", i);
            NodeId n = db_.FindNode(url, true);
            db_.AddLink(map_.a, n, LinkAnchor);
            db_.AddLink(n, map_.d, LinkOther);
        }
        before_ = Summary();
        for (NodeId n = db_.FirstInTree(); n; n = db_.NextInTree(n)) {
            names_[n] = Url(n);
            NodeRec r = db_.Node(n);
            // Both children and a parent: a cut loses a subtree, not the tree.
            if (!inner_ && r.parent() && r.left() && r.right()) inner_ = n;
        }
        ASSERT_NE(0u, inner_);
    }
    // Every node of the subtree under n, n included.
    void AddSubtree(NodeId n, std::set<NodeId>* s) {
        if (n == 0) return;
        s->insert(n);
        AddSubtree(db_.Node(n).left(), s);
        AddSubtree(db_.Node(n).right(), s);
    }
    // After a cut: the nodes of the lost subtree are gone with every link
    // to them; all else is as before.
    void ExpectOnlyLost(const std::set<NodeId>& lost) {
        std::set<std::string> lost_urls;
        for (NodeId n : lost) lost_urls.insert(names_[n]);
        std::map<std::string, std::string> want;
        for (auto& entry : before_) {
            if (lost_urls.count(entry.first)) continue;
            std::string v = entry.second;
            for (const std::string& u : lost_urls) {
                for (const char* dir : {" >", " <"}) {
                    for (size_t at; (at = v.find(dir + u + "/")) != std::string::npos;) {
                        size_t end = v.find(' ', at + 1);
                        v.erase(at, end == std::string::npos ? std::string::npos : end - at);
                    }
                }
            }
            want[entry.first] = v;
        }
        EXPECT_EQ(want, Summary());
        EXPECT_EQ(names_.size() - lost.size(), count_);
    }
    SmallMap map_;
    std::map<std::string, std::string> before_;
    std::map<NodeId, std::string> names_;
    NodeId inner_ = 0;
};

TEST_F(CheckTreeTest, ChildPastTheEndIsCutAndTheTreeRebuilt) {
    std::set<NodeId> lost;
    AddSubtree(db_.Node(inner_).right(), &lost);
    db_.Node(inner_).set_right((uint32_t)db_.size() + 64);
    // The sessions root is forgotten if it was in the lost subtree.
    ASSERT_EQ(1, Check());
    EXPECT_EQ(VRTreeCut | (lost.count(map_.sessions) ? 0 : kKept), flags_);
    ExpectOnlyLost(lost);
    ExpectRepaired();
}

TEST_F(CheckTreeTest, ChildWithAnotherParentIsCut) {
    NodeId child = db_.Node(inner_).left();
    std::set<NodeId> lost;
    AddSubtree(child, &lost);
    db_.Node(child).set_parent(db_.Root() == inner_ ? db_.Node(inner_).right() : db_.Root());
    ASSERT_EQ(1, Check());
    EXPECT_TRUE(flags_ & VRTreeCut);
    ExpectOnlyLost(lost);
    ExpectRepaired();
}

TEST_F(CheckTreeTest, ChildOutsideTheBlockAreaOrMisalignedIsCut) {
    NodeId left = db_.Node(inner_).left(), right = db_.Node(inner_).right();
    std::set<NodeId> lost;
    AddSubtree(left, &lost);
    AddSubtree(right, &lost);
    db_.Node(inner_).set_left(0x0FC0);      // in the bitmap page
    db_.Node(inner_).set_right(right + 8);  // not a node boundary
    ASSERT_EQ(1, Check());
    EXPECT_TRUE(flags_ & VRTreeCut);
    ExpectOnlyLost(lost);
    ExpectRepaired();
}

TEST_F(CheckTreeTest, CycleBackToTheRootEndsTheWalk) {
    NodeId root = db_.Root();
    NodeId leaf = db_.FirstInTree();  // leftmost: no left child
    ASSERT_EQ(0u, db_.Node(leaf).left());
    db_.Node(leaf).set_left(root);
    db_.Node(root).set_parent(leaf);  // so that the parent test passes
    ASSERT_EQ(1, Check());
    EXPECT_TRUE(flags_ & VRTreeCut);
    EXPECT_TRUE(fixes_ & VRFixTree);  // the root's parent
    ExpectOnlyLost({});
    ExpectRepaired();
}

TEST_F(CheckTreeTest, DamagedRootLosesTheWholeTree) {
    db_.SetHeader(kTreeRoot, 0x7FFFFFC0);
    ASSERT_EQ(1, Check());
    EXPECT_EQ(VRTreeCut, flags_);  // and the sessions root is forgotten
    EXPECT_EQ(
        (std::vector<ProgressCall>{Shown(0, 1, "Checking workspace..."), Shown(0, 1, "Checking: Workspace is empty")}),
        bar_.calls);
    EXPECT_EQ(0u, db_.Root());
    EXPECT_EQ(0u, db_.Header(kSessionsRoot));
    ExpectRepaired();
    EXPECT_NE(0u, db_.FindNode("http://new.example/", true));
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(CheckTreeTest, WrongHeightsAreWorkedOutAgain) {
    db_.Node(db_.Root()).set_height(9);
    db_.Node(inner_).set_height(0);
    ExpectRepairs(kKept, VRFixTree);
    EXPECT_EQ(before_, Summary());
}

// Two names changed places: the tree is out of URL order, and is sorted
// again with every page found by its name.
TEST_F(CheckTreeTest, NamesOutOfOrderAreSortedAgain) {
    NodeId l = db_.Node(inner_).left(), r = db_.Node(inner_).right();
    uint32_t name = db_.Node(l).name();
    db_.Node(l).set_name(db_.Node(r).name());
    db_.Node(r).set_name(name);
    ExpectRepairs(kKept, VRFixTree | VRFixViews);  // host and directory ends follow the names
    for (auto& entry : names_) EXPECT_NE(0u, db_.FindNode(entry.second.c_str(), false)) << entry.second;
}

// ---------------------------------------------------------------------------
// Texts and names

TEST_F(CheckTest, TextWithoutItsZeroGetsOneInItsLastByte) {
    SmallMap m = BuildMap();
    uint32_t t = db_.SetTitle(m.c, "twenty characters!!!");
    ASSERT_EQ(5, At(t)[0]);
    memset(At(t) + 21, 'y', 11);
    memset(At(db_.Body(m.note)) + 1, 'z', 31);
    ExpectRepairs(kKept | VRTextTerminated, 0);
    EXPECT_STREQ("twenty characters!!!yyyyyyyyyy", db_.Text(db_.Title(m.c)));
    EXPECT_EQ(std::string(30, 'z'), db_.Text(db_.Body(m.note)));
}

// A text block is kept whole, whatever its characters: a zero
// inside is no reason to give the rest back. A body stored from bytes may
// hold zeros, and its tail must survive every start.
TEST_F(CheckTest, TextBlocksAreKeptWholeWhereverTheirFirstZeroIs) {
    SmallMap m = BuildMap();
    uint32_t t = db_.SetTitle(m.d, std::string(100, 't').c_str());
    ASSERT_EQ(7, At(t)[0]);
    At(t)[1 + 10] = 0;
    std::string bytes = std::string("first part", 10) + '\0' + std::string(80, 'b');
    ASSERT_EQ(1, db_.SetBodyBytes(m.note, bytes.data(), (uint32_t)bytes.size()));
    uint32_t body = db_.Body(m.note);
    ASSERT_EQ(7, At(body)[0]);
    ExpectRepairs(kKept, 0);
    EXPECT_EQ(t, db_.Title(m.d));
    EXPECT_EQ(7, At(t)[0]);
    EXPECT_EQ(std::string(10, 't'), db_.Text(t));
    EXPECT_EQ(body, db_.Body(m.note));
    EXPECT_EQ(7, At(body)[0]);
    EXPECT_EQ(bytes, std::string(db_.Text(body), bytes.size()));
}

// A lost name that sorts where the old name stood leaves the tree as it
// was; the page is still found by its new name.
TEST_F(CheckTest, LostNameInTheOldNamesPlaceIsFound) {
    SmallMap m = BuildMap();
    At(db_.Name(m.e))[1] = 0;  // the last http name: its lost name sorts there too
    uint32_t stamp = db_.Header(kStampCounter);
    ASSERT_EQ(1, Check());
    EXPECT_EQ(0u, fixes_ & VRFixTree);
    EXPECT_EQ(m.e, db_.FindNode(LostName(stamp).c_str(), false));
}

// An empty name is a lost name: the node is renamed from the next stamp in
// its own block, no purge runs in that start (a deleted node stays), and
// the tree is sorted again so that every URL is still found.
TEST_F(CheckTest, EmptyNameIsReplacedInItsBlockWithoutAPurge) {
    SmallMap m = BuildMap();
    std::unique_ptr<Undo_delete> undo(db_.Delete(m.e, true, 0));
    ASSERT_TRUE(undo);
    uint32_t name = db_.Name(m.b);
    At(name)[1] = 0;
    uint32_t stamp = db_.Header(kStampCounter);
    uint32_t purge_mark = db_.Header(kPurgeMark);
    ASSERT_EQ(1, Check());
    EXPECT_EQ(kKept | VRNameReplaced, flags_);
    EXPECT_EQ(name, db_.Name(m.b));
    EXPECT_EQ(LostName(stamp), Url(m.b));
    EXPECT_EQ(5, At(name)[0]);
    EXPECT_EQ(m.b, db_.FindNode(LostName(stamp).c_str(), false));
    EXPECT_EQ(purge_mark, db_.Header(kPurgeMark));
    EXPECT_TRUE(db_.TestFlags(m.e, Deleted));
    EXPECT_TRUE(undo->CanUndo());
    for (const char* url : {"http://a.example/", "http://c.example/dir/", "http://d.example/", "x-skeind-1:/s/",
                            "x-skeind-1:/a/0", "x-skeind-1:/session/first"})
        EXPECT_NE(0u, db_.FindNode(url, false)) << url;
    EXPECT_EQ(Moved(1, 1), bar_.calls.back());
    for (const ProgressCall& c : bar_.calls) EXPECT_EQ(std::string::npos, c.text.find("repairing"));
    EXPECT_EQ("", CheckWorkspace(db_));
    // The next start purges the deleted node and finds nothing else.
    ASSERT_EQ(1, Check());
    EXPECT_EQ(kKept, flags_);
    EXPECT_EQ(0u, fixes_);
    EXPECT_FALSE(undo->CanUndo());
    EXPECT_EQ(0u, db_.FindNode("http://e.example/", false));
    ExpectRepaired();
}

TEST_F(CheckTest, NameWhoseOrderByteIsNoOrderKeepsItsBlock) {
    SmallMap m = BuildMap();
    uint32_t name = db_.Name(m.c);
    At(name)[0] = 3;
    uint32_t stamp = db_.Header(kStampCounter);
    ASSERT_EQ(1, Check());
    EXPECT_EQ(kKept | VRNameReplaced, flags_);
    ExpectRepaired();
    EXPECT_EQ(name, db_.Name(m.c));
    EXPECT_EQ(LostName(stamp), Url(m.c));
    EXPECT_STREQ("see C", db_.Text(db_.Label(m.c)));  // the label stays
}

TEST_F(CheckTest, InvalidNameReferenceGetsANewBlockAndTheSecondPass) {
    NodeId a = db_.FindNode("http://a/", true);
    NodeId b = db_.FindNode("http://b/", true);
    db_.AddLink(a, b, LinkAnchor);
    const std::vector<uint8_t> sound = Bytes();
    for (uint32_t ref : {0u, 0x10u, 0x7FFFFFE0u, 0x1070u}) {
        SCOPED_TRACE(ref);
        memcpy(At(0), &sound[0], sound.size());
        uint32_t stamp = db_.Header(kStampCounter);
        db_.Node(b).set_name(ref);
        ASSERT_EQ(1, Check());
        EXPECT_EQ(kKept | VRNameReplaced | VRNameCleared, flags_);
        EXPECT_EQ(LostName(stamp), Url(b));
        EXPECT_EQ((std::vector<ProgressCall>{Shown(0, 1, "Checking workspace..."), Shown(0, 2, "Checking 2 pages..."),
                                             Shown(0, 2, "Checking & repairing 2 nodes..."), Moved(1, 1)}),
                  bar_.calls);
        EXPECT_EQ(b, db_.LinkNode(db_.FirstOut(a)));
        ExpectRepaired();
    }
}

TEST_F(CheckTest, LostNameTooLongForTheOldBlockGetsALargerOne) {
    SmallMap m = BuildMap();
    uint32_t name = db_.Name(m.a);
    At(name)[0] = 2;
    db_.SetHeader(kStampCounter, 1000000000);  // 31 characters: 64 bytes
    ASSERT_EQ(1, Check());
    EXPECT_EQ(kKept | VRNameReplaced, flags_);
    EXPECT_NE(name, db_.Name(m.a));
    EXPECT_EQ(6, At(db_.Name(m.a))[0]);
    EXPECT_EQ(LostName(1000000000), Url(m.a));
    EXPECT_STREQ("Page A", db_.Text(db_.Title(m.a)));
    ExpectRepaired();
}

// With the file at its size limit and no 64-byte block left, a lost name
// that needs one cannot be stored: the node goes, with the purge.
TEST_F(CheckTest, LostNameThatCannotBeStoredTakesItsNodeAway) {
    db_.SetSizeLimit((uint32_t)db_.size());
    NodeId keep = db_.FindNode("http://keep.example/", true);
    NodeId victim = db_.FindNode("http://victim.example/", true);
    char url[64];
    for (int i = 0; i < 2000; ++i) {
        snprintf(url, sizeof url, "http://fill.example/%04d", i);
        if (db_.FindNode(url, true) == 0) break;
    }
    ASSERT_TRUE(db_.ToldFull());
    auto any_large = [this]() {
        for (int k = 6; k <= kMaxOrder; ++k)
            if (db_.FreeHead(k)) return true;
        return false;
    };
    std::string title(40, 't');  // a 64-byte title each, until none is left
    for (NodeId n = db_.FirstNode(); n && any_large(); n = db_.NextNode(n))
        if (n != keep && n != victim) db_.SetTitle(n, title.c_str());
    ASSERT_FALSE(any_large());
    At(db_.Name(victim))[0] = 0;
    db_.SetHeader(kStampCounter, 1000000000);  // the lost name needs 64 bytes
    ASSERT_EQ(1, Check());
    EXPECT_EQ(kKept, flags_);  // no name was given
    EXPECT_EQ(keep, db_.FindNode("http://keep.example/", false));
    for (NodeId n = db_.FirstInTree(); n; n = db_.NextInTree(n)) EXPECT_NE(victim, n);
    ExpectRepaired();
}

TEST_F(CheckTest, TitleAndLabelWithBadOrderBytesAreDropped) {
    SmallMap m = BuildMap();
    LabelView url_view = db_.GetLabelView(m.a);
    db_.SetLabel(m.a, "http://somewhere.else.example/deep/down/");
    At(db_.Title(m.a))[0] = 4;
    At(db_.Label(m.a))[0] = 0;
    ExpectRepairs(kKept, VRFixTexts | VRFixStorage);  // both blocks leaked
    EXPECT_EQ(0u, db_.Title(m.a));
    EXPECT_TRUE(db_.TestFlags(m.a, Untitled));
    EXPECT_EQ(0u, db_.Label(m.a));
    LabelView v = db_.GetLabelView(m.a);
    EXPECT_EQ(url_view.host_end, v.host_end);
    EXPECT_EQ(url_view.dir_end, v.dir_end);
}

// Host end and directory end belong to the label view's text (the label,
// or the URL without one); values that differ from the ones worked out
// from it are set right, or relative links would resolve against the wrong
// directory for ever.
TEST_F(CheckTest, LabelViewOffsetsAreWorkedOutAgainFromTheirText) {
    SmallMap m = BuildMap();
    db_.SetLabel(m.b, "http://b.example/deeper/dir/x.html");
    const struct {
        NodeId node;
        bool dir_end;  // else the host end
        uint16_t value;
    } cases[] = {{m.a, false, 0xFFFF}, {m.a, true, 3},   {m.b, false, 7},
                 {m.b, true, 0},       {m.c, true, 200}, {m.c, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(Url(c.node) + (c.dir_end ? " dir end " : " host end ") + std::to_string(c.value));
        LabelView want = db_.GetLabelView(c.node);
        NodeRec rec = db_.Node(c.node);
        if (c.dir_end)
            rec.set_dir_end(c.value);
        else
            rec.set_host_end(c.value);
        ExpectRepairs(kKept, VRFixViews);
        LabelView got = db_.GetLabelView(c.node);
        EXPECT_EQ(want.host_end, got.host_end);
        EXPECT_EQ(want.dir_end, got.dir_end);
    }
}

// Bodies are read as the purge frees them: counted with kind bit 14, text
// otherwise.
TEST_F(CheckTest, BodiesThatAreNoBlocksAreDropped) {
    SmallMap m = BuildMap();
    Put32(At(db_.Body(m.session)), 0xFFFFFFF0);  // a counted body larger than any block
    db_.SetKind(m.note, 0xC000);                 // its text "Note..." read as a count: no block is that large
    uint32_t text = db_.AllocText(5);
    memcpy(At(text) + 1, "words", 5);
    db_.Node(m.d).set_body(text);  // a page with a text body
    ExpectRepairs(kKept, VRFixTexts | VRFixStorage);
    EXPECT_EQ(0u, db_.Body(m.session));
    EXPECT_EQ(0u, db_.Body(m.note));
    EXPECT_STREQ("words", db_.Text(db_.Body(m.d)));
    db_.SetFlags(m.d, Deleted);  // and the purge frees it as text
    db_.Purge();
    EXPECT_EQ("", CheckWorkspace(db_));
}

TEST_F(CheckTest, TitleBlockSharedByTwoNodesStaysWithTheFirst) {
    SmallMap m = BuildMap();
    db_.Node(m.d).set_title(db_.Title(m.a));  // a sorts first
    ExpectRepairs(kKept, VRFixTexts);
    EXPECT_STREQ("Page A", db_.Text(db_.Title(m.a)));
    EXPECT_EQ(0u, db_.Title(m.d));
    EXPECT_TRUE(db_.TestFlags(m.d, Untitled));
}

// A name damaged into another node's name: two nodes with one key. The
// first in URL order keeps it, the other is given a lost name.
TEST_F(CheckTest, NameEqualToAnotherGetsALostName) {
    SmallMap m = BuildMap();
    std::unique_ptr<Undo_delete> undo(db_.Delete(m.e, true, 0));
    strcpy((char*)At(db_.Name(m.d)) + 1, "http://c.example/dir/");
    uint32_t name = db_.Name(m.d);
    uint32_t stamp = db_.Header(kStampCounter);
    ExpectRepairs(kKept | VRNameReplaced, VRFixTree | VRFixViews);  // the URL's offsets written over too
    // Found only after the purge had run: the deleted node is gone.
    EXPECT_FALSE(undo->CanUndo());
    EXPECT_EQ(0u, db_.FindNode("http://e.example/", false));
    EXPECT_EQ(m.c, db_.FindNode("http://c.example/dir/", false));
    EXPECT_EQ(name, db_.Name(m.d));
    EXPECT_EQ(LostName(stamp + 1), Url(m.d));  // the purge took one
    EXPECT_EQ(m.d, db_.FindNode(Url(m.d).c_str(), false));
}

// ---------------------------------------------------------------------------
// Link lists and spare cells

TEST_F(CheckTest, LinkCellPastTheEndCutsTheListAndItsPartnersGo) {
    SmallMap m = BuildMap();
    std::vector<LinkId> out = Cells(db_.Node(m.a).out_head());
    ASSERT_EQ(3u, out.size());  // a→b, a→c, a→note
    std::set<LinkId> spare = SpareCells();
    db_.Cell(out[0]).set_next((uint32_t)db_.size() + 8);
    ExpectRepairs(kKept, VRFixLinks | VRFixCells);
    LinkId first = db_.FirstOut(m.a);
    ASSERT_NE(0u, first);
    EXPECT_EQ(m.b, db_.LinkNode(first));
    EXPECT_EQ(0u, db_.NextLink(first));
    // c keeps its link from b; the note is no longer attached to a.
    std::vector<LinkId> c_in = Cells(db_.Node(m.c).in_head());
    ASSERT_EQ(1u, c_in.size());
    EXPECT_EQ(m.b, db_.LinkNode(c_in[0]));
    EXPECT_EQ(0u, db_.FirstIn(m.note));
    // The cells of the two cut links are spare now, and nothing else is.
    std::set<LinkId> now = SpareCells();
    EXPECT_EQ(spare.size() + 4, now.size());
    for (LinkId c : spare) EXPECT_TRUE(now.count(c));
}

TEST_F(CheckTest, LinkListThatLoopsIsCut) {
    SmallMap m = BuildMap();
    std::vector<LinkId> in = Cells(db_.Node(m.c).in_head());
    ASSERT_EQ(2u, in.size());  // from a, from b
    db_.Cell(in[1]).set_next(in[0]);
    ASSERT_EQ(1, Check());
    EXPECT_EQ(VRFixLinks, fixes_);
    EXPECT_NE(std::string::npos, Summary()["http://c.example/dir/"].find("<http://b.example/x.html/1"));
    ExpectRepaired();
}

TEST_F(CheckTest, WrongTailIsSetToTheLastCell) {
    SmallMap m = BuildMap();
    std::map<std::string, std::string> before = Summary();
    db_.Node(m.a).set_out_tail(db_.Node(m.a).out_head());
    ExpectRepairs(kKept, VRFixLinks);
    EXPECT_EQ(before, Summary());
}

TEST_F(CheckTest, DamagedSpareListIsCutAndItsCellsPutBack) {
    BuildMap();
    std::vector<LinkId> spare = Cells(db_.Header(kFreeLinkCells));
    ASSERT_GE(spare.size(), 2u);
    db_.Cell(spare[0]).set_next(0x1004);  // inside the free-list heads
    ExpectRepairs(kKept, VRFixCells);
    EXPECT_EQ(std::set<LinkId>(spare.begin(), spare.end()), SpareCells());
}

// ---------------------------------------------------------------------------
// Deleted nodes and the sessions root

TEST_F(CheckTest, DeletedNodesLeftOverArePurgedAndTheirUndoIsVoid) {
    SmallMap m = BuildMap();
    std::unique_ptr<Undo_delete> undo(db_.Delete(m.d, true, 0));
    ASSERT_TRUE(undo && undo->CanUndo());
    ExpectRepairs(kKept, 0);
    EXPECT_FALSE(undo->CanUndo());
    EXPECT_EQ(0u, db_.FindNode("http://d.example/", false));
    EXPECT_EQ(0u, db_.FindNode("http://e.example/", false));
    EXPECT_EQ(m.a, db_.FindNode("http://a.example/", false));
}

TEST_F(CheckTest, SessionsRootIsKeptWhenInTheTreeAndForgottenOtherwise) {
    SmallMap m = BuildMap();
    ExpectRepairs(kKept, 0);
    EXPECT_EQ(m.sessions, db_.Header(kSessionsRoot));
    db_.SetHeader(kSessionsRoot, 0x4000);  // no node of the tree
    ASSERT_EQ(1, Check());
    EXPECT_EQ(0u, flags_ & kKept);
    ExpectRepaired();
    EXPECT_EQ(0u, db_.Header(kSessionsRoot));
    // Made again on use: it is found by its URL, the old node.
    EXPECT_EQ(m.sessions, db_.SessionsRoot());
}

// The check ranks nodes by counting bits; compilers without the built-in
// count them the plain way, which must agree.
TEST(CountBits, ThePlainCountAgreesWithTheBuiltIn) {
    EXPECT_EQ(0, CountBitsPlain(0));
    EXPECT_EQ(32, CountBitsPlain(0xFFFFFFFFu));
    uint32_t v = 2463534242u;
    for (int i = 0; i < 10000; ++i) {
        v ^= v << 13, v ^= v >> 17, v ^= v << 5;
        ASSERT_EQ(CountBits(v), CountBitsPlain(v)) << std::hex << v;
    }
}

}  // namespace
