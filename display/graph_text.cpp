#include "display/graph_text.h"

#include <string.h>

#include "display/graph_model.h"

int PageIconCell(AWorkspace& w, NodeId page, bool expanded) {
    // By the major content type: unknown, application, audio, image,
    // multipart, text, video, and 7 (none of these).
    static const int kByMajorType[8] = {0, 20, 26, 2, 28, 4, 6, 0};
    int cell;
    NodeFlags kind = w.Kind(page);
    if (kind == GroupNode)
        cell = w.TestFlags(page, Pinned) ? 18 : 8;
    else if (kind == SessionNode)
        cell = 10;
    else if (kind == AnnotationNode)
        cell = 16;
    else if (w.TestFlags(page, Pinned))
        cell = 14;
    else
        cell = kByMajorType[w.ContentType(page) & 0x07];
    return expanded ? cell : cell + 1;
}

std::string CopiedAddresses(Graph_model& model, const std::vector<bool>& selected) {
    AWorkspace* w = model.workspace();
    std::string text;
    if (w == 0) return text;
    int written = 0;
    int base = 0;
    bool in_run = false;
    for (int i = 0; i < model.RowCount(); ++i) {
        if ((size_t)i >= selected.size() || !selected[i]) {
            in_run = false;
            continue;
        }
        const Graph_row& row = model.Row(i);
        if (written > 0) text += '\n';
        if (in_run && row.depth >= base)
            text.append((size_t)(row.depth - base), '\t');
        else
            base = row.depth;
        in_run = true;
        text += w->Text(w->Name(row.node()));
        ++written;
    }
    if (written > 1) text += '\n';
    if (written == 0 && model.current_page() != 0) text = w->Text(w->Name(model.current_page()));
    return text;
}

std::vector<std::string> PastedAddresses(const char* text) {
    std::vector<std::string> addresses;
    if (text == 0) return addresses;
    size_t length = strnlen(text, kPasteLimit + 1);
    bool cut = length > kPasteLimit;
    if (cut) length = kPasteLimit;
    size_t at = 0;
    while (at < length) {
        while (at < length && strchr(" \t\r\n\f\v", text[at]) != 0) ++at;
        size_t start = at;
        while (at < length && strchr(" \t\r\n\f\v", text[at]) == 0) ++at;
        if (at == start) break;
        // The limit fell inside this address: it is not taken.
        if (cut && at == length && strchr(" \t\r\n\f\v", text[length]) == 0) break;
        addresses.push_back(std::string(text + start, at - start));
    }
    return addresses;
}
