// The parts of drawing and of the clipboard that need no window: which
// icon a page gets, the text that copying selected rows makes, and how
// pasted text is cut into addresses.
#ifndef SKEIND_DISPLAY_GRAPH_TEXT_H
#define SKEIND_DISPLAY_GRAPH_TEXT_H

#include <stddef.h>

#include <string>
#include <vector>

#include "store/workspace.h"

class Graph_model;

// Cell of the page-icon strip: the page's kind, then whether it is pinned,
// then its content type; the odd twin (with the red plus) when the row is
// not expanded.
int PageIconCell(AWorkspace& workspace, NodeId page, bool expanded);

// The URLs of the selected rows, one per line, each indented by tabs to
// its depth below the first row of its run of selected rows; with more than
// one URL a final line feed. With no row selected: the current page's URL,
// or nothing. `selected[i]` says whether row i counts as selected.
std::string CopiedAddresses(Graph_model& model, const std::vector<bool>& selected);

// The most a paste reads: 2,047 characters.
const size_t kPasteLimit = 2047;

// The addresses in pasted text, split at white space. Only as much of the
// text as fits the paste buffer is read; an address that the limit would
// cut is left out whole rather than shortened into another address.
std::vector<std::string> PastedAddresses(const char* text);

#endif
