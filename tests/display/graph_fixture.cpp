#include "tests/display/graph_fixture.h"

#include <set>
#include <sstream>

namespace {

// The targets of the row's links that it shows beneath it, in link order.
std::vector<NodeId> ShownTargets(Graph_model& model, NodeId page) {
    AWorkspace& w = *model.workspace();
    std::vector<NodeId> targets;
    for (LinkId l = w.FirstOut(page); l != 0; l = w.NextLink(l))
        if (model.IsShownKind(w.LinkKindOf(l)) && !w.TestFlags(w.LinkNode(l), Pinned)) targets.push_back(w.LinkNode(l));
    return targets;
}

// Whether the children that are still linked come in the order of the links.
bool FollowsLinks(Graph_model& model, int row) {
    std::vector<NodeId> targets = ShownTargets(model, model.Row(row).node());
    std::set<NodeId> linked(targets.begin(), targets.end());
    size_t next = 0;
    std::vector<NodeId> children = ChildrenOf(model, row);
    for (size_t i = 0; i < children.size(); ++i) {
        if (!linked.count(children[i])) continue;
        while (next < targets.size() && targets[next] != children[i]) ++next;
        if (next == targets.size()) return false;
        ++next;
    }
    return true;
}

std::string At(int row, const std::string& what) {
    std::ostringstream out;
    out << "row " << row << ": " << what;
    return out.str();
}

}  // namespace

std::vector<NodeId> ChildrenOf(Graph_model& model, int row) {
    std::vector<NodeId> children;
    if (row < 0) return children;
    int d = model.Row(row).depth;
    for (int i = row + 1; i < model.RowCount() && model.Row(i).depth > d; ++i)
        if (model.Row(i).depth == d + 1) children.push_back(model.Row(i).node());
    return children;
}

std::string CheckLayout(Graph_model& model) {
    AWorkspace* w = model.workspace();
    if (w == 0) return model.RowCount() == 0 ? "" : "rows without a workspace";
    std::set<NodeId> seen;
    for (int i = 0; i < model.RowCount(); ++i) {
        const Graph_row& r = model.Row(i);
        int above = i == 0 ? -1 : model.Row(i - 1).depth;
        if (r.depth < 0 || r.depth > above + 1)
            return At(i, "depth " + std::to_string(r.depth) + " after " + std::to_string(above));
        if (!seen.insert(r.node()).second) return At(i, "page shown twice");
        if (model.ScanRowOf(r.node()) != i) return At(i, "scan finds the page elsewhere");
        if (model.RowOf(r.node()) != i)
            return At(i, "index finds the page at " + std::to_string(model.RowOf(r.node())));
        if (r.depth == 0 && r.kind() != LinkAnchor) return At(i, "top-level row with kind " + std::to_string(r.kind()));
        if (w->TestFlags(r.node(), Pinned) && r.depth != 0) return At(i, "pinned page below top level");
        if (r.expanded() && !FollowsLinks(model, i)) return At(i, "expanded, children out of link order");
    }
    if (model.current_page() == 0 && model.current_row() != -1) return "current row without a current page";
    if (model.current_page() != 0 && model.current_row() != model.RowOf(model.current_page()))
        return "current row " + std::to_string(model.current_row()) + ", current page at " +
               std::to_string(model.RowOf(model.current_page()));
    return "";
}

void GraphTest::SetUp() {
    ASSERT_TRUE(db_.CreateWorkspace(dir_.File("g.sk1").c_str()));
    // Every new workspace has the pinned visited-sites root; most tests want
    // to start from an empty display.
    db_.ClearFlags(db_.FindNode(kVisitedRootUrl, false), Pinned);
    model_.SetWorkspace(&db_);
}

NodeId GraphTest::Page(const std::string& name) {
    NodeId n = db_.FindNode(("http://h/" + name).c_str(), true);
    names_[n] = name;
    return n;
}

void GraphTest::Map(const std::string& line) {
    std::istringstream in(line);
    for (std::string t; in >> t;) {
        size_t arrow = t.find('>'), colon = t.find(':');
        if (arrow == std::string::npos) {
            Pin(Page(t.substr(0, t.size() - 1)));
            continue;
        }
        LinkKind kind = KindOfLetter(colon != std::string::npos ? t[colon + 1] : 0);
        Link(Page(t.substr(0, arrow)), Page(t.substr(arrow + 1, colon - arrow - 1)), kind);
    }
}

std::string GraphTest::NameOf(NodeId node) {
    std::map<NodeId, std::string>::const_iterator it = names_.find(node);
    return it != names_.end() ? it->second : db_.Text(db_.Name(node));
}

std::string GraphTest::Layout() {
    std::string out;
    for (int i = 0; i < model_.RowCount(); ++i) {
        const Graph_row& r = model_.Row(i);
        if (i) out += " ";
        out += NameOf(r.node()) + std::to_string(r.depth);
        for (char letter : std::string("qifor"))
            if (r.kind() == KindOfLetter(letter)) out += letter;
        if (!r.expanded()) out += "+";
    }
    return out;
}

void GraphTest::Run(const std::string& steps) {
    std::istringstream in(steps);
    for (std::string step; std::getline(in, step, ';');) {
        std::istringstream words(step);
        std::string op, arg, more;
        words >> op >> arg >> more;
        SCOPED_TRACE(step);
        if (op[0] == '=') {
            std::istringstream rows(step.substr(step.find('=') + 1));
            std::string want;
            for (std::string row; rows >> row;) want += (want.empty() ? "" : " ") + row;
            EXPECT_EQ(want, Layout());
        } else if (op[0] == '@') {
            EXPECT_EQ(atoi(op.c_str() + 1), model_.current_row());
        } else if (op == "show") {
            model_.EnsureShown(arg == "-" ? 0 : Page(arg));
        } else if (op == "links" || op == "hide") {
            op == "links" ? model_.ShowLinks(atoi(arg.c_str())) : model_.HideLinks(atoi(arg.c_str()));
        } else if (op == "current") {
            model_.MakeCurrent(Page(arg));
        } else if (op == "open") {
            model_.SetOpenPage(arg == "-" ? 0 : Page(arg));
        } else if (op == "pin") {
            model_.TogglePin(Page(arg));
        } else if (op == "tidy") {
            model_.Tidy();
        } else if (op == "refresh") {
            model_.RefreshChanged();
        } else if (op == "touch") {
            db_.Touch(Page(arg));
        } else if (op == "reattach") {
            Reattach();
        } else if (op == "keep" || op == "nokeep") {
            model_.set_view_flags(DefaultViewFlags | (op == "keep" ? ViewKeepLinkedPlace : 0));
        } else if (op == "link") {
            Map(arg);
        } else if (op == "unlink") {
            db_.RemoveLinks(Page(arg), Page(more), 63);
        } else {
            ADD_FAILURE() << "no such step";
        }
        ASSERT_EQ(0, host_.busy_depth);
    }
}
