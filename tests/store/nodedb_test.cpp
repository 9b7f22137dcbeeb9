// The workspace operations on a real file: the name tree, texts, links,
// bodies and the program's own nodes.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "store/check.h"
#include "store/node_ref.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/workspace_checker.h"
#include "tests/support/temp_dir.h"
#include "tests/support/workspace_image.h"

using namespace layout;

namespace {

class TextOf : public ATextSource {
public:
    explicit TextOf(const std::string& s) : s_(s) {}
    size_t TextLength() const override { return s_.size(); }
    size_t CopyText(char* out, size_t room) const override {
        size_t n = s_.size() < room - 1 ? s_.size() : room - 1;
        memcpy(out, s_.data(), n);
        out[n] = 0;
        return n;
    }

private:
    std::string s_;
};

class NodeDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        name_ = dir_.File("w.sk1");
        ASSERT_TRUE(db_.Create(name_.c_str()));  // bare: no visited-sites root
    }
    void ExpectSound() { EXPECT_EQ("", CheckWorkspace(db_)); }
    std::string Url(NodeId n) { return db_.Text(db_.Name(n)); }

    TempDir dir_;
    std::string name_;
    NodeDb db_;
};

void PutText(std::vector<uint8_t>& image, uint32_t at, int order, const char* s) {
    image[at] = (uint8_t)order;
    memcpy(&image[at + 1], s, strlen(s) + 1);
}
void PutFreeBit(std::vector<uint8_t>& image, uint32_t g, bool free) {
    uint8_t& byte = image[((g >> 10) & 0x3FF) * 4 + ((g >> 5) & 31) / 8];
    byte = free ? byte | (uint8_t)(1u << ((g >> 5) & 7)) : byte & (uint8_t) ~(1u << ((g >> 5) & 7));
}

// Two pages and one link, every byte worked out from the record layouts.
TEST_F(NodeDbTest, SmallMapMatchesTheLayoutByteForByte) {
    NodeId a = db_.FindNode("http://a/", true);
    NodeId b = db_.FindNode("http://a/b.html", true);
    LinkId l = db_.AddLink(a, b, LinkAnchor);
    ASSERT_EQ(0x1080u, a);  // the 128-byte block split: 0x10C0 stays free
    ASSERT_EQ(0x10C0u, b);
    ASSERT_EQ(0x1120u, l);

    std::vector<uint8_t> want = NewWorkspaceImage();
    // Node a's text took the lone 32-byte block; node b's text split the
    // 256-byte block at 0x1100 (0x1180, 0x1140, 0x1120 freed on the way);
    // the link's cells then took 0x1120.
    for (uint32_t g : {0x1060u, 0x1080u, 0x1100u, 0x1140u, 0x1180u}) PutFreeBit(want, g, g >= 0x1140);
    Put32(&want[FreeHeadOffset(5)], 0);
    Put32(&want[FreeHeadOffset(6)], 0x1140);
    Put32(&want[FreeHeadOffset(7)], 0x1180);
    Put32(&want[FreeHeadOffset(8)], 0);
    Put32(&want[0x1140 + 8], 6);
    Put32(&want[0x1180 + 8], 7);
    memset(&want[0x1080], 0, 64);  // both node records start zeroed
    memset(&want[0x10C0], 0, 64);
    PutText(want, 0x1060, 5, "http://a/");
    PutText(want, 0x1100, 5, "http://a/b.html");

    Put32(&want[kTreeRoot], 0x1080);
    Put32(&want[kFreeLinkCells], 0x1130);  // two spare cells: +16, +24
    Put32(&want[kStampCounter], 4);        // two stamps per new node

    // Node a: name, height 1 (b hangs right), flags Untitled|not fetched,
    // stamp 1, host end 8, directory end 9, out-list the one cell.
    Put32(&want[0x1080 + kNodeName], 0x1060);
    Put16(&want[0x1080 + kNodeHeight], 1);
    Put16(&want[0x1080 + kNodeFlags], 0x0009);
    Put32(&want[0x1080 + kNodeRight], 0x10C0);
    Put16(&want[0x1080 + kNodeHostEnd], 8);
    Put16(&want[0x1080 + kNodeDirEnd], 9);
    Put32(&want[0x1080 + kNodeOutHead], 0x1120);
    Put32(&want[0x1080 + kNodeOutTail], 0x1120);
    Put32(&want[0x1080 + kNodeStamp], 1);
    // Node b: a leaf under a, stamp 3, text/html guessed from ".html".
    Put32(&want[0x10C0 + kNodeName], 0x1100);
    Put16(&want[0x10C0 + kNodeFlags], 0x0009);
    Put32(&want[0x10C0 + kNodeParent], 0x1080);
    Put16(&want[0x10C0 + kNodeHostEnd], 8);
    Put16(&want[0x10C0 + kNodeDirEnd], 9);
    Put32(&want[0x10C0 + kNodeInHead], 0x1128);
    Put32(&want[0x10C0 + kNodeInTail], 0x1128);
    Put32(&want[0x10C0 + kNodeStamp], 3);
    Put32(&want[0x10C0 + kNodeContentType], 0x45);
    // The cell block: out cell b|1, in cell a|1, spare chain 0x1130 → 0x1138.
    memset(&want[0x1120], 0, 32);
    Put32(&want[0x1124], 0x10C0 | 1);
    Put32(&want[0x112C], 0x1080 | 1);
    Put32(&want[0x1130], 0x1138);

    std::vector<uint8_t> got(db_.Ptr(0), db_.Ptr(0) + db_.size());
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(want[i], got[i]) << "first difference at offset 0x" << std::hex << i;
}

// Looking up without making, or an empty URL (no page has an empty name),
// changes nothing in the file; nor does using what such a lookup gives.
TEST_F(NodeDbTest, FailedLookupsWriteNothing) {
    NodeId n = db_.FindNode("http://here/", true);
    std::vector<uint8_t> before(db_.Ptr(0), db_.Ptr(0) + db_.size());
    EXPECT_EQ(0u, db_.FindNode("http://nowhere/", false));
    for (bool create : {true, false}) EXPECT_EQ(0u, db_.FindNode("", create)) << create;
    EXPECT_EQ(n, db_.FindNode("http://here/", false));
    // The 0 of a failed lookup, handed on to the link operations, is no page.
    std::vector<uint32_t> in;
    for (NodeId a : {NodeId(0), n}) {
        NodeId b = a ? 0 : n;
        EXPECT_EQ(0u, db_.AddLink(a, b, LinkAnchor));
        EXPECT_EQ(0, db_.RemoveLinks(a, b, kLinkKindMask));
        EXPECT_EQ(0u, db_.FindLiveOutLink(a, b, LinkAnchor));
    }
    EXPECT_EQ(0u, db_.FirstIn(0));
    EXPECT_EQ(0u, db_.FirstOut(0));
    db_.LiveInLinks(0, &in);
    EXPECT_TRUE(in.empty());
    EXPECT_TRUE(before == std::vector<uint8_t>(db_.Ptr(0), db_.Ptr(0) + db_.size()));
    NodeDb closed;
    EXPECT_EQ(0u, closed.FindNode("", true));
}

// Damage the start-up check would repair, met by the operations before it
// runs: references past the end of the file, a text that runs to the end,
// a body longer than the file, cycles in a list and in the tree, a spare
// cell that is the file header. Every operation stays inside the file and
// ends.
TEST_F(NodeDbTest, DamageBeforeTheCheckStaysInsideTheFileAndEnds) {
    NodeId a = db_.FindNode("http://a/", true);
    NodeId b = db_.FindNode("http://b/", true);
    LinkId ab = db_.AddLink(a, b, LinkAnchor);
    db_.SetBodyLength(b, 4);
    uint32_t end = (uint32_t)db_.size();
    memset(db_.Ptr(end - 8), 'x', 8);
    db_.Node(a).set_title(end - 8);                     // a text with no end in the file
    db_.Node(b).set_in_head(end - 4);                   // a cell reaching past the end
    Put32(db_.Ptr(db_.Body(b)) + kCountedLength, end);  // a body longer than the file
    EXPECT_STREQ("", db_.Text(db_.Title(a)));
    EXPECT_EQ(0u, db_.LinkNode(db_.FirstIn(b)));
    EXPECT_EQ(0u, db_.NextLink(db_.FirstIn(b)));
    EXPECT_EQ(0u, db_.BodyLength(b));
    std::vector<uint8_t> tail(db_.Ptr(end - 64), db_.Ptr(end));
    db_.SetFlags(end - 32, Deleted | Pinned);  // a record reaching past the end takes no writes
    EXPECT_EQ(0u, db_.TestFlags(end - 32, Deleted));
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), db_.Ptr(end - 64)));

    db_.SetHeader(kFreeLinkCells, 0x40);  // the spare list starts in the file header
    std::vector<uint8_t> header(db_.Ptr(0x40), db_.Ptr(0x48));
    LinkId made = db_.AddLink(db_.FindNode("http://f/", true), db_.FindNode("http://g/", true), LinkAnchor);
    EXPECT_GE(made, kFirstBlock);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), db_.Ptr(0x40)));

    db_.Cell(ab).set_next(ab);  // the out-list is a cycle
    db_.SetFlags(b, Deleted);
    EXPECT_EQ(0u, db_.FirstOut(a));
    db_.ClearFlags(b, Deleted);
    db_.RemoveLinks(a, db_.FindNode("http://c/", true), kLinkKindMask);
    db_.Node(db_.Root()).set_left(db_.Root());  // the tree is a cycle
    db_.Node(db_.Root()).set_right(db_.Root());
    EXPECT_NE(0u, db_.FirstNode());
    EXPECT_EQ(0u, db_.FindNode("http://d/", false));
    EXPECT_EQ(0u, db_.FindNode("http://e/", true));  // the walk down never finds the bottom
    db_.SetFlags(a, Deleted);
    db_.Purge();
}

TEST_F(NodeDbTest, LookupRevivesADeletedNode) {
    NodeId n = db_.FindNode("http://x/", true);
    db_.SetFlags(n, Deleted);
    EXPECT_EQ(0u, db_.FirstNode());
    EXPECT_EQ(n, db_.FindNode("http://x/", false));
    EXPECT_FALSE(db_.TestFlags(n, Deleted));
    EXPECT_EQ(n, db_.FirstNode());
}

// Lookups go through an index kept beside the tree; it must follow the
// file through everything that replaces or renames nodes wholesale.
TEST_F(NodeDbTest, LookupsFollowReopeningPurgeAndCheck) {
    NodeId a = db_.FindNode("http://a/", true);
    NodeId b = db_.FindNode("http://b/", true);
    std::string other = dir_.File("other.sk1");
    {
        NodeDb second;
        ASSERT_TRUE(second.Create(other.c_str()));
        second.FindNode("http://elsewhere/", true);
    }
    db_.Close();
    ASSERT_TRUE(db_.Open(other.c_str()));
    EXPECT_EQ(0u, db_.FindNode("http://a/", false));
    EXPECT_NE(0u, db_.FindNode("http://elsewhere/", false));
    db_.Close();
    ASSERT_TRUE(db_.Open(name_.c_str()));
    EXPECT_EQ(a, db_.FindNode("http://a/", false));

    // Purged nodes are gone; their storage serves new ones, found by name.
    db_.SetFlags(b, Deleted);
    db_.Purge();
    EXPECT_EQ(0u, db_.FindNode("http://b/", false));
    NodeId c = db_.FindNode("http://c/", true);
    EXPECT_EQ(c, db_.FindNode("http://c/", false));
    ExpectSound();
}

// The pinned pages the map starts from: read in file order from the in-link
// mirror when it stands, they must still come in the tree's order, without
// deleted ones, as the walk of the tree gives them.
TEST_F(NodeDbTest, FlaggedNodesComeInTheTreesOrder) {
    // Made out of URL order, so that file order and tree order differ.
    for (int i = 0; i < 300; ++i) {
        char url[64];
        snprintf(url, sizeof url, "http://h%d.example/%03d", i % 7, (i * 37) % 300);
        NodeId n = db_.FindNode(url, true);
        if (i % 3 == 0) db_.SetFlags(n, Pinned | (i % 2 ? Untitled : 0));
        if (i % 9 == 0) db_.SetFlags(n, Deleted);
    }
    auto walked = [&](NodeFlags flags) {
        std::vector<NodeId> out;
        for (NodeId n = db_.FirstNode(); n; n = db_.NextNode(n))
            if (db_.TestFlags(n, flags) == flags) out.push_back(n);
        return out;
    };
    for (const char* when : {"made", "reopened", "mirror built", "checked"}) {
        SCOPED_TRACE(when);
        if (strcmp(when, "reopened") == 0) {
            db_.Close();
            ASSERT_TRUE(db_.Open(name_.c_str()));
        } else if (strcmp(when, "mirror built") == 0) {
            std::vector<uint32_t> in;
            db_.LiveInLinks(db_.FirstNode(), &in);
        } else if (strcmp(when, "checked") == 0) {
            VRStatus status(0);
            ASSERT_EQ(1, CheckWorkspaceFile(db_, status));
        }
        for (NodeFlags flags : {Pinned, (NodeFlags)(Pinned | Untitled)}) {
            std::vector<NodeId> got;
            db_.FlaggedNodes(flags, &got);
            EXPECT_EQ(walked(flags), got);
            EXPECT_FALSE(got.empty());
        }
    }
}

// A batch walks its URLs down the tree before any is made; each must still
// land where FindNode would put it after the ones before it, so the two
// files come out the same to the byte. The batch has neighbours in URL
// order (one's walk ends where another goes first), repeats, known and
// deleted pages, empty and absent URLs, and runs over several rounds.
TEST_F(NodeDbTest, FindNodesLeavesTheFileAsFindNodeDoes) {
    std::vector<std::string> known, batch;
    for (int i = 0; i < 200; ++i) known.push_back("http://k" + std::to_string(i * 7919 % 200) + ".example/");
    for (int i = 0; i < 60; ++i)
        batch.push_back("http://k" + std::to_string(i * 37 % 200) + ".example/x" + std::to_string(i % 5));
    // Many into one gap: their walks end at the same few places, which the
    // earlier ones fill and the rotations move.
    for (int i = 0; i < 80; ++i) batch.push_back("http://k7.example/y" + std::to_string(i * 53 % 80));
    batch.insert(batch.begin() + 20,
                 {"http://k3.example/x1", "", known[5], known[9], batch[3], "http://k3.example/x0"});
    std::vector<const char*> urls;
    for (const std::string& u : batch) urls.push_back(u.c_str());
    urls.insert(urls.begin() + 40, nullptr);

    NodeDb one_by_one;
    ASSERT_TRUE(one_by_one.Create(dir_.File("one.sk1").c_str()));
    db_.SetSideBySideFrom(0);  // as in a large workspace
    std::vector<NodeId> want, got(urls.size());
    for (NodeDb* db : {&one_by_one, &db_}) {
        for (const std::string& u : known) db->FindNode(u.c_str(), true);
        db->SetFlags(db->FindNode(known[9].c_str(), false), Deleted);
    }
    for (const char* u : urls) want.push_back(u ? one_by_one.FindNode(u, true) : 0);
    db_.FindNodes(urls.data(), urls.size(), got.data());

    EXPECT_EQ(want, got);
    ASSERT_EQ(one_by_one.size(), db_.size());
    EXPECT_EQ(0, memcmp(one_by_one.Ptr(0), db_.Ptr(0), (size_t)db_.size()));
    ExpectSound();
}

// Whatever may destroy nodes begins a new generation; nothing else does.
TEST_F(NodeDbTest, GenerationMovesOnWhereNodesMayBeDestroyed) {
    NodeId a = db_.FindNode("http://a/", true);
    const struct {
        const char* what;
        std::function<void()> act;
        bool moves_on;
    } cases[] = {
        {"made", [&] { db_.FindNode("http://b/", true); }, false},
        {"changed", [&] { db_.SetTitle(a, "A"); }, false},
        {"deleted", [&] { delete db_.Delete(db_.FindNode("http://b/", false), true, 0); }, false},
        {"purged", [&] { db_.Purge(); }, true},
        {"checked",
         [&] {
             VRStatus status(0);
             CheckWorkspaceFile(db_, status);
         },
         true},
        {"closed", [&] { db_.Close(); }, true},
        {"opened", [&] { db_.Open(name_.c_str()); }, true},
    };
    for (const auto& c : cases) {
        uint32_t before = db_.generation();
        c.act();
        EXPECT_EQ(c.moves_on, db_.generation() != before) << c.what;
    }
}

// The same rules whether a page's out-list is walked (short) or looked up
// in memory (long, and the cells of a link removed and added again).
TEST_F(NodeDbTest, LinksAreNeverDoubledAndRemoveByMask) {
    for (int others : {0, 40, 1500}) {
        SCOPED_TRACE(others);
        std::string site = "http://a" + std::to_string(others) + "/";
        NodeId a = db_.FindNode(site.c_str(), true);
        NodeId b = db_.FindNode((site + "b").c_str(), true);
        for (int i = 0; i < others; ++i) {
            NodeId o = db_.FindNode((site + std::to_string(i)).c_str(), true);
            db_.AddLink(a, o, i % 2 ? LinkAnchor : LinkInclude);
            if (i == others / 2) db_.AddLink(a, b, LinkQuery);
        }
        if (others == 0) db_.AddLink(a, b, LinkQuery);
        for (int round = 0; round < 2; ++round) {
            LinkId first = db_.AddLink(a, b, LinkAnchor);
            uint32_t spare = db_.Header(kFreeLinkCells);
            EXPECT_EQ(first, db_.AddLink(a, b, LinkAnchor));
            EXPECT_EQ(spare, db_.Header(kFreeLinkCells));  // no cells used
            EXPECT_EQ(first, db_.FindLiveOutLink(a, b, LinkAnchor));
            LinkId second = db_.AddLink(a, b, LinkInclude);
            EXPECT_NE(first, second);
            EXPECT_EQ(second, db_.NextLink(first));
            ExpectSound();

            EXPECT_EQ(0, db_.RemoveLinks(a, b, LinkRedirect));
            EXPECT_EQ(1, db_.RemoveLinks(a, b, LinkAnchor | LinkInclude));
            EXPECT_EQ(0u, db_.FindLiveOutLink(a, b, LinkAnchor));
            EXPECT_EQ(0, db_.RemoveLinks(a, b, LinkAnchor | LinkInclude));
            EXPECT_NE(0u, db_.FindLiveOutLink(a, b, LinkQuery));
            ExpectSound();
        }
        EXPECT_EQ(1, db_.RemoveLinks(a, b, 63));
        EXPECT_EQ(0u, db_.FirstIn(b));
        // A deleted target is skipped by the walk, so it has no live link.
        db_.AddLink(a, b, LinkAnchor);
        db_.SetFlags(b, Deleted);
        EXPECT_EQ(0u, db_.FindLiveOutLink(a, b, LinkAnchor));
        db_.ClearFlags(b, Deleted);
    }
}

TEST_F(NodeDbTest, VisitedPrefixesGetTheirSlashOnce) {
    const char* url = "http://abcd/index.html";
    EXPECT_EQ(1, db_.AddVisited(url, 11));  // "http://abcd" + "/"
    EXPECT_EQ(0, db_.AddVisited(url, 12));  // "http://abcd/"
    EXPECT_EQ(0, db_.AddVisited(url, 11));
    ASSERT_EQ(1u, db_.Count());
    EXPECT_STREQ("http://abcd/", db_[0]);
    EXPECT_EQ(1, db_.AddVisited("mailto:", 7));  // no '/' anywhere: as given
    EXPECT_TRUE(db_.Contains("mailto:"));
    EXPECT_EQ(1, db_.AddVisited("http://aaa/", 11));
    EXPECT_STREQ("http://aaa/", db_[0]);  // kept sorted
}

TEST_F(NodeDbTest, TitlesLabelsAndControls) {
    NodeId n = db_.FindNode("http://h/dir/page.txt", true);
    EXPECT_EQ(0x85u, db_.ContentType(n));
    uint32_t t = db_.SetTitle(n, "Thirty characters exactly: 30!");
    ASSERT_NE(0u, t);
    EXPECT_EQ(5, db_.Ptr(t)[0]);
    EXPECT_EQ(0u, db_.SetTitle(n, ""));
    EXPECT_EQ(0u, db_.Title(n));
    db_.SetTitle(n, "kept");
    EXPECT_EQ(0, db_.SetTitleFromControl(n, TextOf("")));
    EXPECT_STREQ("kept", db_.Text(db_.Title(n)));
    EXPECT_EQ(1, db_.SetTitleFromControl(n, TextOf("from the dialog")));
    EXPECT_STREQ("from the dialog", db_.Text(db_.Title(n)));
    // A title set from its own text survives the old block being freed.
    db_.SetTitle(n, db_.Text(db_.Title(n)));
    EXPECT_STREQ("from the dialog", db_.Text(db_.Title(n)));

    LabelView v = db_.GetLabelView(n);
    EXPECT_STREQ("http://h/dir/page.txt", v.text);
    EXPECT_EQ(8, v.host_end);
    EXPECT_EQ(13, v.dir_end);
    ASSERT_NE(0u, db_.SetLabel(n, "ftp://other.host/x/y/z"));
    v = db_.GetLabelView(n);
    EXPECT_STREQ("ftp://other.host/x/y/z", v.text);
    EXPECT_EQ(16, v.host_end);
    EXPECT_EQ(21, v.dir_end);
    EXPECT_EQ(0u, db_.SetLabel(n, 0));
    EXPECT_EQ(13, db_.GetLabelView(n).dir_end);
    // A label too long to keep leaves the URL's offsets beside the URL.
    std::string too_long = "http://x/" + std::string(0x10000, 'y') + "/";
    EXPECT_EQ(0u, db_.SetLabel(n, too_long.c_str()));
    v = db_.GetLabelView(n);
    EXPECT_STREQ("http://h/dir/page.txt", v.text);
    EXPECT_EQ(8, v.host_end);
    EXPECT_EQ(13, v.dir_end);
    ExpectSound();
}

TEST_F(NodeDbTest, TextAndCountedBodies) {
    NodeId n = db_.NewAnnotation();
    EXPECT_EQ(1, db_.SetBodyFromControl(n, TextOf("Some notes.")));
    EXPECT_STREQ("Some notes.", db_.Text(db_.Body(n)));
    ExpectSound();
    EXPECT_EQ(1, db_.SetBodyFromControl(n, TextOf("")));
    EXPECT_EQ(0u, db_.Body(n));
    EXPECT_EQ(1, db_.SetBodyBytes(n, "abc", 3));
    EXPECT_STREQ("abc", db_.Text(db_.Body(n)));
    EXPECT_EQ(1, db_.SetBodyBytes(n, 0, 0));
    EXPECT_EQ(0u, db_.Body(n));
    ExpectSound();

    NodeId s = db_.FindNode("x-skeind-1:/session/one", true);
    db_.SetKind(s, SessionNode);
    ASSERT_EQ(1, db_.SetBodyLength(s, 28));
    EXPECT_EQ(28u, db_.BodyLength(s));
    memset(db_.BodyData(s), 0xAB, 28);
    ExpectSound();
    ASSERT_EQ(1, db_.SetBodyLength(s, 100000));
    EXPECT_EQ(100000u, db_.BodyLength(s));
    memset(db_.BodyData(s), 0xCD, 100000);  // the whole body is writable
    ExpectSound();
    EXPECT_EQ(1, db_.SetBodyLength(s, 0));
    EXPECT_EQ(0u, db_.BodyLength(s));
    EXPECT_EQ(0, db_.BodyData(s));
    ExpectSound();
}

// When the file can no longer grow, an edit from the dialog that cannot be
// stored leaves the old title and body as they were and says so.
TEST_F(NodeDbTest, ControlTextsThatCannotBeStoredKeepTheOldOnes) {
    NodeId n = db_.NewAnnotation();
    ASSERT_NE(0u, db_.SetTitle(n, "old title"));
    ASSERT_EQ(1, db_.SetBodyBytes(n, "old body", 8));
    db_.SetSizeLimit((uint32_t)db_.size());
    std::vector<uint32_t> filler;  // every free granule, 32 bytes at a time
    for (uint32_t b; (b = db_.AllocOrder(kMinOrder)) != 0;) filler.push_back(b);
    ASSERT_TRUE(db_.ToldFull());

    // The new texts need 64 bytes: freeing the old 32 first would not help.
    const std::string title = "a new title, long enough for 64 bytes";
    const std::string body = "a new body, long enough for 64 bytes too";
    EXPECT_EQ(0, db_.SetTitleFromControl(n, TextOf(title)));
    EXPECT_STREQ("old title", db_.Text(db_.Title(n)));
    EXPECT_EQ(0, db_.SetBodyFromControl(n, TextOf(body)));
    EXPECT_STREQ("old body", db_.Text(db_.Body(n)));
    // Emptying the body needs no room.
    EXPECT_EQ(1, db_.SetBodyFromControl(n, TextOf("")));
    EXPECT_EQ(0u, db_.Body(n));

    for (uint32_t b : filler) db_.Free(b, kMinOrder);
    EXPECT_EQ(1, db_.SetTitleFromControl(n, TextOf(title)));
    EXPECT_EQ(title, db_.Text(db_.Title(n)));
    EXPECT_EQ(1, db_.SetBodyFromControl(n, TextOf(body)));
    EXPECT_EQ(body, db_.Text(db_.Body(n)));
    ExpectSound();
}

TEST_F(NodeDbTest, AnnotationsAreNumberedFromZeroAndNeverReused) {
    NodeId first = db_.NewAnnotation();
    EXPECT_EQ("x-skeind-1:/a/0", Url(first));
    EXPECT_EQ(AnnotationNode, db_.Kind(first));
    delete db_.Delete(first, true, 0);
    db_.Purge();
    NodeId second = db_.NewAnnotation();
    EXPECT_EQ("x-skeind-1:/a/1", Url(second));
}

TEST_F(NodeDbTest, SessionsRootIsMadeOnceAndForgottenWhenPurged) {
    NodeId root = db_.SessionsRoot();
    ASSERT_NE(0u, root);
    EXPECT_EQ("x-skeind-1:/s/", Url(root));
    EXPECT_EQ(GroupNode, db_.Kind(root));
    EXPECT_TRUE(db_.TestFlags(root, Pinned));
    EXPECT_STREQ("Saved sessions", db_.Text(db_.Title(root)));
    EXPECT_FALSE(db_.TestFlags(root, Untitled));
    EXPECT_EQ(root, db_.SessionsRoot());
    db_.SetFlags(root, Deleted);
    db_.Purge();
    EXPECT_EQ(0u, db_.Header(kSessionsRoot));
    EXPECT_NE(0u, db_.SessionsRoot());
    ExpectSound();
}

// Failure messages name the workspace.
TEST_F(NodeDbTest, PrintsItsSerialNumber) {
    std::ostringstream out;
    out << db_;
    EXPECT_EQ("<workspace " + std::to_string(db_.serial()) + ">", out.str());
}

TEST(NodeDbOpen, NewWorkspaceGetsItsVisitedSitesRoot) {
    TempDir dir;
    std::string name = dir.File("v.sk1");
    {
        NodeDb db;
        ASSERT_TRUE(db.CreateWorkspace(name.c_str()));
        NodeId root = db.FindNode("x-skeind-1:/h/", false);
        ASSERT_NE(0u, root);
        EXPECT_EQ(GroupNode, db.Kind(root));
        EXPECT_EQ(Pinned | PinFixed, db.TestFlags(root, Pinned | PinFixed));
        EXPECT_STREQ("Visited Net Sites", db.Text(db.Title(root)));
        NodeId page = db.FindNode("http://www.example.com/a.html", true);
        NodeRef(db, page).FileUnderHost();
        NodeId other = db.FindNode("http://10.0.0.1/", true);
        NodeRef(db, other).FileUnderHost();
        EXPECT_EQ(2u, db.Count());
        EXPECT_EQ("", CheckWorkspace(db));
    }
    NodeDb again;
    ASSERT_TRUE(again.OpenWorkspace(name.c_str()));
    ASSERT_EQ(2u, again.Count());
    EXPECT_STREQ("http://10.0.0.1/", again[0]);
    EXPECT_STREQ("http://www.example.com/", again[1]);
}

}  // namespace
