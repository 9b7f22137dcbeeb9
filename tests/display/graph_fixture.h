// What the graph model tests share: a host that writes down what the model
// asked of the windows, a fixture with a real workspace in a temporary file,
// and the check of every invariant of the row list.
#ifndef SKEIND_TESTS_DISPLAY_GRAPH_FIXTURE_H
#define SKEIND_TESTS_DISPLAY_GRAPH_FIXTURE_H

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "display/graph_model.h"
#include "store/nodedb.h"
#include "tests/support/temp_dir.h"

// A positive number from the environment, else `fallback`: runs scale up.
inline int FromEnvironment(const char* name, int fallback) {
    const char* s = getenv(name);
    return s && atoi(s) > 0 ? atoi(s) : fallback;
}

// The link kind a letter after a link stands for in a map's spelling: q
// search, i include, f frame, o other, r redirect; an anchor otherwise.
inline LinkKind KindOfLetter(char letter) {
    const char letters[] = "qifor";
    const LinkKind kinds[] = {LinkQuery, LinkInclude, LinkFrame, LinkOther, LinkRedirect};
    const char* at = letter ? strchr(letters, letter) : 0;
    return at ? kinds[at - letters] : LinkAnchor;
}

// Labels are 7 pixels a character; the focus mark remembers the current row
// at each toggle, so that a remove-then-draw pair can be checked.
class RecordingHost final : public AGraphHost {
public:
    const Graph_model* model = 0;
    int busy_depth = 0;
    int busy_sections = 0;
    int repaints = 0;
    std::vector<std::string> status;
    std::vector<std::pair<int, int> > scrolls;
    std::vector<int> focus_rows;

    int MeasureLabel(const char* text) override { return 7 * (int)strlen(text); }
    void BeginBusy() override {
        ++busy_depth;
        ++busy_sections;
    }
    void EndBusy() override { --busy_depth; }
    void ShowStatusText(const char* text) override { status.push_back(text); }
    void ScrollToRow(int anchor, int target) override { scrolls.push_back(std::make_pair(anchor, target)); }
    void ToggleFocusMark() override { focus_rows.push_back(model ? model->current_row() : -2); }
    void Repaint() override { ++repaints; }

    void Forget() {
        busy_sections = repaints = 0;
        status.clear();
        scrolls.clear();
        focus_rows.clear();
    }
};

// Empty when the rows hold every invariant; else the first fault:
// depths step down from 0 by at most one, a page has at most one row and
// the index finds it there, pinned pages are at top level with kind 1 like
// every top-level row, the current row is the current page's row, and the
// still-linked children of an expanded row follow their parent's links.
std::string CheckLayout(Graph_model& model);

// The pages of a row's children, in display order.
std::vector<NodeId> ChildrenOf(Graph_model& model, int row);

class GraphTest : public ::testing::Test {
protected:
    GraphTest() : model_(host_) { host_.model = &model_; }
    void SetUp() override;
    void TearDown() override { model_.SetWorkspace(0); }

    // Page "http://h/<name>"; the layout shows it by its name.
    NodeId Page(const std::string& name);
    void Link(NodeId from, NodeId to, LinkKind kind = LinkAnchor) { ASSERT_NE(0u, db_.AddLink(from, to, kind)); }
    void Pin(NodeId page) { db_.SetFlags(page, Pinned); }
    // Links and pins by page name, in order: "A>B" an anchor, "A>B:q" a
    // search (i include, f frame, o other, r redirect), "P*" pins P.
    void Map(const std::string& line);
    // The display rebuilt from the pinned pages.
    void Reattach() { model_.SetWorkspace(&db_); }
    int RowOf(NodeId page) { return model_.RowOf(page); }
    int Depth(NodeId page) { return model_.Row(model_.RowOf(page)).depth; }
    bool Expanded(NodeId page) { return model_.Row(model_.RowOf(page)).expanded(); }
    // Rows as name and depth, space separated, with the letter of a link
    // kind other than an anchor (as Map spells it) and a "+" after a
    // collapsed row as its icon has: "A0 B1q+ C1".
    std::string Layout();
    // Steps on the model, ";" between them: "show A" (EnsureShown; "show -"
    // none), "links 2" and "hide 2" (a row's links), "current A", "open A"
    // ("open -" none), "pin A", "tidy", "refresh", "touch A", "reattach",
    // "keep" and "nokeep" (view flag 0x0400), "link A>B", "unlink A B";
    // "= A0 B1" expects that layout and "@2" that current row. No busy
    // section may stay open.
    void Run(const std::string& steps);
    std::string Check() { return CheckLayout(model_); }
    std::string NameOf(NodeId node);

    TempDir dir_;
    NodeDb db_;
    RecordingHost host_;
    Graph_model model_;
    std::map<NodeId, std::string> names_;
};

#endif
