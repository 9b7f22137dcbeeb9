// Icon choice, the text that copying rows makes, and pasted text cut into
// addresses: the window-free parts of drawing and the clipboard.
#include "display/graph_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "observe/content_type.h"
#include "tests/display/graph_fixture.h"

namespace {

class GraphTextTest : public GraphTest {};

TEST_F(GraphTextTest, IconsByKindPinAndContentType) {
    struct Case {
        const char* url;
        NodeFlags kind;
        bool pinned;
        const char* mime;
        int cell;
    } cases[] = {
        {"http://h/group", GroupNode, true, 0, 18},     {"http://h/folder", GroupNode, false, 0, 8},
        {"http://h/session", SessionNode, false, 0, 10}, {"http://h/note", AnnotationNode, true, 0, 16},
        {"http://h/pinned.gif", 0, true, "image/gif", 14},
        {"http://h/unknown", 0, false, 0, 0},             {"http://h/app", 0, false, "application/zip", 20},
        {"http://h/audio", 0, false, "audio/basic", 26}, {"http://h/image", 0, false, "image/gif", 2},
        {"http://h/multi", 0, false, "multipart/mixed", 28}, {"http://h/text", 0, false, "text/html", 4},
        {"http://h/video", 0, false, "video/mpeg", 6},
    };
    for (const Case& c : cases) {
        NodeId n = db_.FindNode(c.url, true);
        if (c.kind) db_.SetKind(n, c.kind);
        if (c.pinned) db_.SetFlags(n, Pinned);
        db_.SetContentType(n, c.mime ? ContentTypeOfMime(c.mime) : 0);
        EXPECT_EQ(c.cell, PageIconCell(db_, n, true)) << c.url;
        EXPECT_EQ(c.cell + 1, PageIconCell(db_, n, false)) << c.url << " not expanded";
    }
}

TEST(PastedAddressesTest, SplitAtWhiteSpaceAndNeverCutAnAddress) {
    EXPECT_EQ((std::vector<std::string>{"http://a/", "http://b/", "c"}),
              PastedAddresses("  http://a/\n\thttp://b/\r\n c \n"));
    EXPECT_TRUE(PastedAddresses("").empty());
    EXPECT_TRUE(PastedAddresses(" \t\n").empty());
    EXPECT_TRUE(PastedAddresses(0).empty());

    // 2,047 characters are read. An address reaching past them is left out
    // whole; one that ends exactly there is kept.
    std::string first(1000, 'a'), second(1046, 'b');
    std::string exact = first + " " + second;  // 2,047 characters
    EXPECT_EQ(2u, PastedAddresses(exact.c_str()).size());
    EXPECT_EQ(2u, PastedAddresses((exact + " more").c_str()).size());
    std::vector<std::string> cut = PastedAddresses((exact + "b tail").c_str());
    ASSERT_EQ(1u, cut.size());
    EXPECT_EQ(first, cut[0]);
    EXPECT_TRUE(PastedAddresses(std::string(5000, 'x').c_str()).empty());
}

}  // namespace
