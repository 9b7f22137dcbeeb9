// Graph_model: which pages the map shows, in which order and at which
// indentation. The map is a forest of rows: a row one level deeper than
// the row above it hangs under it because the upper page links to it. The
// model reads the workspace only through AWorkspace and changes it only to
// pin, delete and keep search distances in the nodes' display marks; all it
// needs from the windows goes through AGraphHost.
//
// Pages are given as NodeId values of the model's workspace, 0 for none.
// Row indices are int, -1 for none; operations given -1 or 0 do nothing.
#ifndef SKEIND_DISPLAY_GRAPH_MODEL_H
#define SKEIND_DISPLAY_GRAPH_MODEL_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "display/graph_host.h"
#include "display/graph_rows.h"
#include "store/workspace.h"

class Undo_delete;

// View flags. Bits 0-5: the link kinds shown (a link is shown when its kind
// shares a bit with them).
const uint32_t ViewKindMask = 0x003F;
// Hide links puts the open page's missing children back under it.
const uint32_t ViewReattachOpen = 0x0200;
// Show links leaves a linked page that is shown elsewhere where it is,
// instead of moving it (with its subtree) under the page.
const uint32_t ViewKeepLinkedPlace = 0x0400;
const uint32_t DefaultViewFlags = 0x003D;  // every kind but inline images

// Search distances kept in the nodes' display marks.
const uint32_t MarkUnvisited = 32767;
const uint32_t MarkUnreachable = 32766;  // also: being searched
const int SearchDepthLimit = 20;

class Graph_model {
public:
    explicit Graph_model(AGraphHost& host);

    // --- State
    uint32_t view_flags() const { return view_flags_; }
    // Stores the flags as they are (the remembered settings at start-up).
    void set_view_flags(uint32_t flags) { view_flags_ = flags; }
    // What the options sheet's Apply does with its working flags: a change
    // of the link kinds tidies, a change of 0x0200 reattaches the open
    // page's children. False when nothing changed.
    bool ApplyViewFlags(uint32_t working);
    AWorkspace* workspace() const { return workspace_; }
    NodeId open_page() const { return open_page_; }
    NodeId current_page() const { return current_page_; }
    int current_row() const { return current_row_; }
    uint32_t last_stamp() const { return last_stamp_; }

    // --- Rows
    int RowCount() const { return rows_.Count(); }
    const Graph_row& Row(int i) const { return *rows_.At(i); }
    // The row showing `page`, or -1.
    int RowOf(NodeId page) { return page ? rows_.IndexOf(page) : -1; }
    // The same found by walking the list: what RowOf must always agree with.
    int ScanRowOf(NodeId page) const { return rows_.ScanFor(page); }
    bool HasRow(NodeId page) const { return rows_.Find(page) != 0; }
    // First index >= start whose row has depth <= d, or the row count.
    int SubtreeEnd(int start, int d) const;
    // Last index <= start whose row has depth <= d, or -1.
    int ParentRow(int start, int d) const;
    // Whether showing the row's links again would add nothing: the row is
    // fully shown or, while linked pages keep their place (0x0400), every
    // page it links to has a row somewhere. A click on its icon then hides.
    bool NothingMoreToShow(int row);
    void SetSelected(int row, bool on);
    bool AnySelected() const;
    // The label width, measured again first when the page changed since the
    // last refresh. For the row's right edge: drawing and hit tests.
    int TextWidth(int row);
    // Every label again (the graph font changed).
    void RemeasureAll();

    // --- Layout
    AWorkspace* SetWorkspace(AWorkspace* workspace);
    void ShowLinks(int row);
    void HideLinks(int row);
    void ReattachOpenChildren();
    void EnsureShown(NodeId page);
    void ShowPage(NodeId page, bool allow_own_children);
    void SetOpenPage(NodeId page);
    void MakeCurrent(NodeId page);
    void SetCurrentRow(int row);
    void Tidy();
    void TogglePin(NodeId page);
    void RefreshChanged();

    // --- The steps of placing a page; public for the tests.
    // Whether a search backwards from the page, at most 20 links, meets a
    // shown row; without allow_own_children, not through the pages it
    // links to. Leaves every distance it found in the marks.
    bool IsReachable(NodeId page, bool allow_own_children);
    // The distance the last search gave the page; MarkUnvisited if none.
    uint32_t Mark(NodeId page) const;
    // Hangs the page under the source that the last IsReachable found
    // nearest to the shown rows, showing that source first.
    void AttachUnderAncestor(NodeId page);
    // Puts `page` among the children of `parent` in the order of the
    // parent's links.
    void InsertChild(int parent, NodeId page);

    // --- Deletion (graph_delete.cpp). Each gives the undo record to keep.
    Undo_delete* DeleteRow(int row, NodeId page, Undo_delete* undo);
    Undo_delete* DeleteLinkedPages(int row, NodeId page, Undo_delete* undo);
    Undo_delete* DeletePages();
    // The Delete menu item's text; gives whether it is enabled.
    bool DeleteCommandText(char* buffer, size_t size);

    // --- Link walks shared by the operations
    bool IsShownKind(LinkKind kind) const { return (kind & view_flags_ & ViewKindMask) != 0; }
    // The page has a link of a shown kind, to any page / to an unpinned one.
    bool HasShownLink(NodeId page);
    bool HasShownLinkToUnpinned(NodeId page);

private:
    Graph_model(const Graph_model&);
    Graph_model& operator=(const Graph_model&);

    Graph_row& At(int i) const { return *rows_.At(i); }
    bool IsPinned(NodeId page) const;
    // A new row, measured, expanded unless it has links to show.
    Graph_row* MakeRow(NodeId page, int depth, LinkKind kind);
    void InsertRow(int at, NodeId page, int depth, LinkKind kind);
    void Measure(Graph_row& row);
    void FollowCurrentPage() { current_row_ = RowOf(current_page_); }
    void ShowAddress();
    // ShowLinks's placing of one linked page; gives the next insertion point.
    int PlaceLinkedPage(int& row, int p, LinkId link);
    int MoveUnder(int& row, int p, int t, LinkKind kind);
    void AppendTopLevel(NodeId page);
    void InsertPinned(NodeId page);
    void MoveToTopLevel(int row);
    void ClearExpandedOfSources(NodeId page);
    void RefreshRowLinks(int i);
    void ClearExpandedWithHiddenLinks();
    // Distance in links from the shown rows, backwards, kept in the marks.
    uint32_t DistanceToShown(NodeId page, int budget);
    void SetMark(NodeId page, uint32_t distance);
    void StartSearch();

    AGraphHost& host_;
    Row_list rows_;
    uint32_t view_flags_;
    AWorkspace* workspace_;
    NodeId open_page_;
    NodeId current_page_;
    int current_row_;
    uint32_t last_stamp_;
    uint32_t search_;  // number of the current search, in its marks
    // Incoming links of the pages on the search's path, each level's after
    // the one above it.
    std::vector<uint32_t> in_links_;
};

#endif
