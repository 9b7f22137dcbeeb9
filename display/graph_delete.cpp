// Deleting pages from the map: the rows go at once, the pages through the
// workspace's Delete, which marks them (and what only they link to) and
// gives the undo record the main window keeps.
#include "display/graph_model.h"

#include <stdio.h>

#include "res/resource.h"
#include "res/strings.h"
#include "store/undo.h"

Undo_delete* Graph_model::DeleteRow(int row, NodeId page, Undo_delete* undo) {
    if (workspace_ == 0 || page == 0) return undo;
    bool open_inside = false;
    if (row >= 0 && row < RowCount()) {
        int end = SubtreeEnd(row + 1, At(row).depth);
        int open_row = RowOf(open_page_);
        open_inside = open_row >= row && open_row < end;
        // The parent's expanded bit stays as it was: the page it loses is
        // deleted, and links to deleted pages do not count.
        rows_.Remove(row, end);
        if (current_row_ >= row) {
            int next = current_row_ - (end - row);
            if (next < row) next = row;
            if (next > RowCount() - 1) next = RowCount() - 1;
            SetCurrentRow(next);
        }
    }
    undo = workspace_->Delete(page, true, undo);
    if (open_inside || page == open_page_) open_page_ = 0;
    // A current page that had no row is gone as well.
    if (page == current_page_) SetCurrentRow(-1);
    host_.ScrollToRow(-1, current_row_);
    return undo;
}

Undo_delete* Graph_model::DeleteLinkedPages(int row, NodeId page, Undo_delete* undo) {
    if (workspace_ == 0 || page == 0) return undo;
    bool open_among = false;
    if (row >= 0 && row < RowCount()) {
        int end = SubtreeEnd(row + 1, At(row).depth);
        if (end > row + 1) {
            int open_row = RowOf(open_page_);
            open_among = open_row > row && open_row < end;
            rows_.Remove(row + 1, end);
            At(row).flags |= RowExpanded;
        }
    }
    undo = workspace_->Delete(page, false, undo);
    if (open_among) open_page_ = 0;
    FollowCurrentPage();
    host_.ScrollToRow(-1, current_row_);
    return undo;
}

Undo_delete* Graph_model::DeletePages() {
    if (workspace_ == 0) return 0;
    if (AnySelected()) {
        // From the bottom up, so that the rows still to do keep their index.
        Undo_delete* undo = 0;
        for (int i = RowCount() - 1; i >= 0; --i) {
            if (i < RowCount() && At(i).selected()) undo = DeleteRow(i, At(i).node(), undo);
        }
        return undo;
    }
    if (current_page_ == 0) return 0;
    if (HasShownLink(current_page_)) return DeleteLinkedPages(current_row_, current_page_, 0);
    return DeleteRow(current_row_, current_page_, 0);
}

bool Graph_model::DeleteCommandText(char* buffer, size_t size) {
    int id = IDS_DELETE_NOTHING;
    if (AnySelected())
        id = IDS_DELETE_SELECTED_PAGES;
    else if (current_page_ != 0)
        id = HasShownLink(current_page_) ? IDS_DELETE_LINKED_PAGES : IDS_DELETE_PAGE;
    if (size > 0) snprintf(buffer, size, "%s", AppString(id));
    return id != IDS_DELETE_NOTHING;
}
