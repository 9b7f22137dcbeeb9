#include "browser/verb_table.h"

// Sorted by name ignoring case: VerbIndex bisects it.
const VerbRow kVerbTable[kVerbCount] = {
    {"WWW_Activate", 0},
    {"WWW_Alert", 0},
    {"WWW_BeginProgress", 0},
    {"WWW_CancelProgress", 1},
    {"WWW_CancelTransaction", 0},
    {"WWW_EndProgress", 1},
    {"WWW_Exit", 3},
    {"WWW_GetWindowInfo", 0},
    {"WWW_ListWindows", 0},
    {"WWW_MakingProgress", 0},
    {"WWW_OpenURL", 0},
    {"WWW_OpenURLResult", 3},
    {"WWW_ParseAnchor", 0},
    {"WWW_QueryURLFile", 0},
    {"WWW_QueryVersion", 0},
    {"WWW_QueryViewer", 0},
    {"WWW_RegisterDone", 3},
    {"WWW_RegisterNow", 0},
    {"WWW_RegisterProtocol", 0},
    {"WWW_RegisterURLEcho", 1},
    {"WWW_RegisterViewer", 0},
    {"WWW_RegisterWindowChange", 0},
    {"WWW_RegisterWindowClose", 0},
    {"WWW_SetProgressRange", 3},
    {"WWW_ShowFile", 0},
    {"WWW_ShowFileResult", 3},
    {"WWW_UnRegisterProtocol", 0},
    {"WWW_UnRegisterURLEcho", 1},
    {"WWW_UnRegisterViewer", 0},
    {"WWW_UnRegisterWindowChange", 0},
    {"WWW_UnRegisterWindowClose", 0},
    {"WWW_URLEcho", 3},
    {"WWW_Version", 0},
    {"WWW_ViewDoccache", 0},
    {"WWW_ViewDocdata", 0},
    {"WWW_ViewDocFile", 3},
    {"WWW_WindowChange", 1},
    {"WWW_WindowClose", 3},
};

namespace {

int LowerAscii(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

int CompareIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        int x = LowerAscii((unsigned char)*a), y = LowerAscii((unsigned char)*b);
        if (x != y || x == 0) return x - y;
    }
}

}  // namespace

int VerbIndex(const char* name) {
    if (name == 0) return kVerbCount;
    int low = 0, high = kVerbCount;
    while (low < high) {
        int middle = (low + high) / 2;
        int c = CompareIgnoringCase(name, kVerbTable[middle].name);
        if (c == 0) return middle;
        if (c < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return kVerbCount;
}

bool SentAsPoke(int verb, uint32_t kind) {
    if (verb < 0 || verb >= kVerbCount) return false;
    unsigned bit = (kind & kNetscapeKind) ? 1u : 2u;
    return (kVerbTable[verb].poke_mask & bit) != 0;
}
