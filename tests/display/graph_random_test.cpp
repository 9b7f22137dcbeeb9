// Random maps and random runs of every layout operation, deletions with
// undo, and workspace changes followed by a refresh. After each step the
// rows must hold every invariant (CheckLayout), labels must have their true
// widths, busy sections must be closed, and the operation must have done
// what it promises. SKEIND_GRAPH_SEEDS and SKEIND_GRAPH_STEPS scale it;
// SKEIND_GRAPH_FIRST_SEED replays from a given seed.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "store/node_ref.h"
#include "store/undo.h"
#include "tests/display/graph_fixture.h"
#include "tests/store/workspace_checker.h"

namespace {

const LinkKind kKinds[] = {LinkAnchor, LinkAnchor, LinkAnchor,   LinkAnchor, LinkAnchor, LinkInclude,
                           LinkOther,  LinkQuery,  LinkRedirect, LinkFrame,  Attach,     Attach};

class RandomRun {
public:
    explicit RandomRun(unsigned seed) : rng_(seed), model_(host_) { host_.model = &model_; }
    ~RandomRun() { model_.SetWorkspace(0); }

    bool Build(const std::string& file);
    // One random operation; empty when it and the rows are sound.
    std::string Step(std::string* what);
    std::string CheckWorkspaceFile() { return CheckWorkspace(db_); }
    // The rows as node/depth, "p" pinned, "d" deleted, "+" collapsed; and
    // the current and open rows. For failure messages.
    std::string Describe();

private:
    unsigned Below(unsigned n) { return n ? (unsigned)(rng_() % n) : 0; }
    NodeId AnyPage() { return pages_[Below((unsigned)pages_.size())]; }
    int AnyRow() { return model_.RowCount() ? (int)Below((unsigned)model_.RowCount()) : -1; }
    LinkKind AnyKind() { return kKinds[Below(sizeof kKinds / sizeof kKinds[0])]; }
    bool IsPinned(NodeId n) { return db_.TestFlags(n, Pinned) != 0; }
    bool IsDeleted(NodeId n) { return db_.TestFlags(n, Deleted) != 0; }
    bool Keeping() const { return (model_.view_flags() & ViewKeepLinkedPlace) != 0; }
    bool LinksWithShownKind(NodeId from, NodeId to);
    std::string ParentLinksTo(NodeId page);
    std::string Sound();

    std::string DoShowLinks();
    std::string DoHideLinks();
    std::string DoEnsureShown();
    std::string DoShowPage();
    std::string DoMakeCurrent();
    std::string DoSetCurrentRow();
    std::string DoSetOpenPage();
    std::string DoTogglePin();
    std::string DoTidy();
    std::string DoDelete();
    std::string DoUndo();
    std::string DoChangeWorkspace();
    std::string DoViewFlags();
    std::string DoSelect();

    std::mt19937 rng_;
    NodeDb db_;
    RecordingHost host_;
    Graph_model model_;
    std::vector<NodeId> pages_;
    std::vector<std::unique_ptr<Undo_delete> > undos_;
    int made_ = 0;
};

bool RandomRun::Build(const std::string& file) {
    if (!db_.CreateWorkspace(file.c_str())) return false;
    int count = 200 + (int)Below(150);
    for (int i = 0; i < count; ++i) {
        std::string url = Below(20) == 0 ? "file:///c|/d/f" + std::to_string(i) + ".htm"
                                         : "http://s" + std::to_string(i % 9) + ".example.com/p" + std::to_string(i);
        pages_.push_back(db_.FindNode(url.c_str(), true));
    }
    made_ = count;
    for (size_t i = 0; i < pages_.size(); ++i) {
        for (unsigned k = Below(6); k > 0; --k) db_.AddLink(pages_[i], AnyPage(), AnyKind());
        if (Below(25) == 0) db_.SetFlags(pages_[i], Pinned);
        if (Below(3) == 0) NodeRef(db_, pages_[i]).SetTitleText(("Page " + std::to_string(i)).c_str(), false);
    }
    model_.SetWorkspace(&db_);
    return true;
}

bool RandomRun::LinksWithShownKind(NodeId from, NodeId to) {
    for (LinkId l = db_.FirstOut(from); l != 0; l = db_.NextLink(l))
        if (db_.LinkNode(l) == to && model_.IsShownKind(db_.LinkKindOf(l))) return true;
    return false;
}

// A page just attached hangs under a page that links to it.
std::string RandomRun::ParentLinksTo(NodeId page) {
    int row = model_.RowOf(page);
    if (row < 0) return "not shown";
    int depth = model_.Row(row).depth;
    if (depth == 0) return "";
    NodeId parent = model_.Row(model_.ParentRow(row - 1, depth - 1)).node();
    return LinksWithShownKind(parent, page) ? "" : "attached under a page that does not link to it";
}

std::string RandomRun::Sound() {
    std::string fault = CheckLayout(model_);
    if (!fault.empty()) return fault;
    if (host_.busy_depth != 0) return "busy section left open";
    for (int i = 0; i < model_.RowCount(); ++i) {
        NodeRef page(db_, model_.Row(i).node());
        if (model_.Row(i).text_width != 7 * (int)strlen(page.DisplayTitle()))
            return "row " + std::to_string(i) + ": label width out of date";
    }
    return "";
}

std::string RandomRun::Describe() {
    std::string out = "current row " + std::to_string(model_.current_row()) + ", open row " +
                      std::to_string(model_.RowOf(model_.open_page())) + ", rows:";
    for (int i = 0; i < model_.RowCount(); ++i) {
        const Graph_row& r = model_.Row(i);
        out += " " + std::to_string(r.node()) + "/" + std::to_string(r.depth);
        if (IsPinned(r.node())) out += "p";
        if (IsDeleted(r.node())) out += "d";
        if (!r.expanded()) out += "+";
    }
    return out;
}

std::string RandomRun::Step(std::string* what) {
    struct Op {
        const char* name;
        std::string (RandomRun::*run)();
        unsigned weight;
    };
    static const Op ops[] = {
        {"ShowLinks", &RandomRun::DoShowLinks, 18},
        {"HideLinks", &RandomRun::DoHideLinks, 8},
        {"EnsureShown", &RandomRun::DoEnsureShown, 10},
        {"ShowPage", &RandomRun::DoShowPage, 4},
        {"MakeCurrent", &RandomRun::DoMakeCurrent, 8},
        {"SetCurrentRow", &RandomRun::DoSetCurrentRow, 6},
        {"SetOpenPage", &RandomRun::DoSetOpenPage, 6},
        {"TogglePin", &RandomRun::DoTogglePin, 5},
        {"Tidy", &RandomRun::DoTidy, 2},
        {"DeletePages", &RandomRun::DoDelete, 4},
        {"Undo", &RandomRun::DoUndo, 3},
        {"workspace change", &RandomRun::DoChangeWorkspace, 10},
        {"view flags", &RandomRun::DoViewFlags, 2},
        {"select", &RandomRun::DoSelect, 4},
    };
    unsigned total = 0;
    for (const Op& op : ops) total += op.weight;
    unsigned pick = Below(total);
    for (const Op& op : ops) {
        if (pick >= op.weight) {
            pick -= op.weight;
            continue;
        }
        *what = op.name;
        std::string fault = (this->*op.run)();
        return fault.empty() ? Sound() : fault;
    }
    return "no operation";
}

std::string RandomRun::DoShowLinks() {
    int row = AnyRow();
    if (row < 0) return "";
    NodeId page = model_.Row(row).node();
    // What must end up beneath it: every linked page of a shown kind that
    // is neither pinned nor the row itself or one of its ancestors.
    std::set<NodeId> ancestors;
    for (int r = row;;) {
        ancestors.insert(model_.Row(r).node());
        if (model_.Row(r).depth == 0) break;
        r = model_.ParentRow(r - 1, model_.Row(r).depth - 1);
    }
    std::vector<NodeId> expected;
    std::set<NodeId> wanted;
    for (LinkId l = db_.FirstOut(page); l != 0; l = db_.NextLink(l)) {
        NodeId t = db_.LinkNode(l);
        if (!model_.IsShownKind(db_.LinkKindOf(l)) || IsPinned(t) || ancestors.count(t) || wanted.count(t)) continue;
        expected.push_back(t);
        wanted.insert(t);
    }
    model_.ShowLinks(row);
    int now = model_.RowOf(page);
    std::vector<NodeId> children;
    for (NodeId c : ChildrenOf(model_, now))
        if (wanted.count(c)) children.push_back(c);
    bool expanded = model_.Row(now).expanded();
    if (!Keeping() && (!expanded || children != expected)) return "linked pages not all beneath the row, in order";
    if (Keeping() && expanded && children != expected) return "expanded without every linked page beneath it";
    for (NodeId t : expected)
        if (!model_.HasRow(t)) return "a linked page has no row";
    return "";
}

std::string RandomRun::DoHideLinks() {
    int row = AnyRow();
    if (row < 0) return "";
    bool had_children = row + 1 < model_.RowCount() && model_.Row(row + 1).depth > model_.Row(row).depth;
    model_.HideLinks(row);
    if (row + 1 < model_.RowCount() && model_.Row(row + 1).depth > model_.Row(row).depth) return "children left";
    return had_children && model_.Row(row).expanded() ? "still expanded" : "";
}

std::string RandomRun::DoEnsureShown() {
    NodeId page = AnyPage();
    bool was_shown = model_.HasRow(page);
    NodeId open = model_.open_page();
    bool under_open =
        open != 0 && open != page && !IsPinned(page) && !IsDeleted(open) && LinksWithShownKind(open, page);
    model_.EnsureShown(page);
    if (!model_.HasRow(page)) return "page not shown";
    // Deleted pages are shown where they can be; their links do not count.
    if (was_shown || IsPinned(page) || IsDeleted(page)) return "";
    if (under_open) {
        int row = model_.RowOf(page);
        int depth = model_.Row(row).depth;
        if (depth == 0 || model_.ParentRow(row - 1, depth - 1) != model_.RowOf(open)) return "not under the open page";
    }
    return ParentLinksTo(page);
}

std::string RandomRun::DoShowPage() {
    NodeId page = AnyPage();
    bool was_shown = model_.HasRow(page);
    model_.ShowPage(page, Below(2) == 0);
    if (!model_.HasRow(page)) return "page not shown";
    return was_shown || IsPinned(page) || IsDeleted(page) ? "" : ParentLinksTo(page);
}

std::string RandomRun::DoMakeCurrent() {
    NodeId page = AnyPage();
    model_.MakeCurrent(page);
    return model_.current_page() != page || model_.current_row() < 0 ? "page not current" : "";
}

std::string RandomRun::DoSetCurrentRow() {
    int row = (int)Below((unsigned)model_.RowCount() + 1) - 1;
    model_.SetCurrentRow(row);
    NodeId page = row >= 0 ? model_.Row(row).node() : 0;
    return model_.current_row() != row || model_.current_page() != page ? "row not current" : "";
}

std::string RandomRun::DoSetOpenPage() {
    NodeId page = Below(8) == 0 ? 0 : AnyPage();
    model_.SetOpenPage(page);
    if (model_.open_page() != page) return "not the open page";
    if (page == 0) return "";
    int row = model_.RowOf(page);
    if (row < 0) return "open page not shown";
    return !Keeping() && !model_.Row(row).expanded() ? "open page's links not shown" : "";
}

std::string RandomRun::DoTogglePin() {
    NodeId page = AnyPage();
    model_.TogglePin(page);
    bool top = model_.RowOf(page) >= 0 && model_.Row(model_.RowOf(page)).depth == 0;
    return IsPinned(page) && !top ? "pinned page not at top level" : "";
}

std::string RandomRun::DoTidy() {
    model_.Tidy();
    // Everything left hangs under a pinned page, the current page or the
    // open page (whose links showing again may take rows from the others).
    NodeId current = model_.current_page(), open = model_.open_page();
    if (current != 0 && model_.RowOf(current) < 0) return "current page not shown";
    if (open != 0 && model_.RowOf(open) < 0) return "open page not shown";
    for (int i = 0; i < model_.RowCount(); ++i) {
        NodeId n = model_.Row(i).node();
        if (model_.Row(i).depth == 0 && !IsPinned(n) && n != current && n != open)
            return "row " + std::to_string(i) + " left by tidy";
    }
    return "";
}

std::string RandomRun::DoDelete() {
    for (unsigned k = Below(4); k > 0; --k) model_.SetSelected(AnyRow(), true);
    // The pages whose rows must go.
    std::vector<NodeId> going;
    for (int i = 0; i < model_.RowCount(); ++i)
        if (model_.Row(i).selected()) going.push_back(model_.Row(i).node());
    NodeId current = model_.current_page();
    if (going.empty() && current != 0) {
        if (model_.HasShownLink(current))
            going = ChildrenOf(model_, model_.current_row());
        else
            going.push_back(current);
    }
    Undo_delete* undo = model_.DeletePages();
    if (undo) undos_.push_back(std::unique_ptr<Undo_delete>(undo));
    for (NodeId n : going)
        if (model_.HasRow(n)) return "a deleted row is still there";
    return "";
}

std::string RandomRun::DoUndo() {
    if (undos_.empty()) return "";
    size_t which = Below((unsigned)undos_.size());
    if (undos_[which]->CanUndo()) undos_[which]->Undo();
    undos_.erase(undos_.begin() + (long)which);
    model_.RefreshChanged();
    return "";
}

std::string RandomRun::DoChangeWorkspace() {
    for (unsigned k = 1 + Below(5); k > 0; --k) {
        NodeId from = AnyPage();
        switch (Below(4)) {
        case 0:
            db_.AddLink(from, AnyPage(), AnyKind());
            db_.Touch(from);
            break;
        case 1: {
            std::string url = "http://s" + std::to_string(Below(12)) + ".example.com/new" + std::to_string(made_++);
            NodeId page = db_.FindNode(url.c_str(), true);
            pages_.push_back(page);
            NodeRef(db_, from).LinkTo(db_, page, AnyKind());
            NodeRef(db_, page).FileUnderHost();
            db_.Touch(from);
            break;
        }
        case 2: {
            LinkId l = db_.FirstOut(from);
            if (l) db_.RemoveLinks(from, db_.LinkNode(l), 63);
            db_.Touch(from);
            break;
        }
        default: NodeRef(db_, from).SetTitleText(("Retitled " + std::to_string(Below(1000))).c_str(), false); break;
        }
    }
    uint32_t before = model_.last_stamp();
    model_.RefreshChanged();
    // A changed row left expanded shows every page it links to.
    for (int i = 0; i < model_.RowCount(); ++i) {
        const Graph_row& r = model_.Row(i);
        if (!r.expanded() || db_.Stamp(r.node()) < before) continue;
        for (LinkId l = db_.FirstOut(r.node()); l != 0; l = db_.NextLink(l))
            if (model_.IsShownKind(db_.LinkKindOf(l)) && !IsPinned(db_.LinkNode(l)) && !model_.HasRow(db_.LinkNode(l)))
                return "row " + std::to_string(i) + ": a new link not shown";
    }
    return "";
}

std::string RandomRun::DoViewFlags() {
    uint32_t working = model_.view_flags() & 0xFF3F;
    switch (Below(4)) {
    case 0: working ^= 1u << Below(6); break;
    case 1: working ^= ViewReattachOpen; break;
    default: working ^= ViewKeepLinkedPlace; break;
    }
    model_.ApplyViewFlags(working);
    return model_.view_flags() == working ? "" : "flags not applied";
}

std::string RandomRun::DoSelect() {
    int row = AnyRow();
    if (row >= 0) model_.SetSelected(row, !model_.Row(row).selected());
    if (Below(5) == 0) model_.ReattachOpenChildren();
    return "";
}

TEST(GraphRandomTest, EveryOperationKeepsTheLayoutSound) {
    int seeds = FromEnvironment("SKEIND_GRAPH_SEEDS", 40);
    int steps = FromEnvironment("SKEIND_GRAPH_STEPS", 500);
    int first = FromEnvironment("SKEIND_GRAPH_FIRST_SEED", 1);  // to replay one
    for (int seed = first; seed < first + seeds; ++seed) {
        TempDir dir;
        RandomRun run((unsigned)seed);
        ASSERT_TRUE(run.Build(dir.File("random.sk1")));
        for (int step = 0; step < steps; ++step) {
            std::string what;
            std::string fault = run.Step(&what);
            ASSERT_EQ("", fault) << "seed " << seed << ", step " << step << ", " << what << "\n" << run.Describe();
        }
        ASSERT_EQ("", run.CheckWorkspaceFile()) << "seed " << seed;
    }
}

}  // namespace
