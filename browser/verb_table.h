// The browser verbs: the DDE topic names that the browser and the program
// use with each other, in the fixed order that gives each its index.
#ifndef SKEIND_BROWSER_VERB_TABLE_H
#define SKEIND_BROWSER_VERB_TABLE_H

#include <stdint.h>

enum Verb {
    WWW_Activate,
    WWW_Alert,
    WWW_BeginProgress,
    WWW_CancelProgress,
    WWW_CancelTransaction,
    WWW_EndProgress,
    WWW_Exit,
    WWW_GetWindowInfo,
    WWW_ListWindows,
    WWW_MakingProgress,
    WWW_OpenURL,
    WWW_OpenURLResult,
    WWW_ParseAnchor,
    WWW_QueryURLFile,
    WWW_QueryVersion,
    WWW_QueryViewer,
    WWW_RegisterDone,
    WWW_RegisterNow,
    WWW_RegisterProtocol,
    WWW_RegisterURLEcho,
    WWW_RegisterViewer,
    WWW_RegisterWindowChange,
    WWW_RegisterWindowClose,
    WWW_SetProgressRange,
    WWW_ShowFile,
    WWW_ShowFileResult,
    WWW_UnRegisterProtocol,
    WWW_UnRegisterURLEcho,
    WWW_UnRegisterViewer,
    WWW_UnRegisterWindowChange,
    WWW_UnRegisterWindowClose,
    WWW_URLEcho,
    WWW_Version,
    WWW_ViewDoccache,
    WWW_ViewDocdata,
    WWW_ViewDocFile,
    WWW_WindowChange,
    WWW_WindowClose,
    kVerbCount  // also "no such verb"
};

struct VerbRow {
    const char* name;
    // Bit 0: poked to a browser of the Netscape kind; bit 1: poked to any
    // other kind. A clear bit means the verb is sent as a request.
    uint8_t poke_mask;
};

extern const VerbRow kVerbTable[kVerbCount];

// Browser kinds: the low two bits of a known browser's flags.
const uint32_t kNetscapeKind = 1;
const uint32_t kExplorerKind = 2;

// The row whose name equals `name` ignoring ASCII case; kVerbCount when
// there is none.
int VerbIndex(const char* name);

// Whether `verb` is sent as a poke (else a request) to a browser of `kind`.
bool SentAsPoke(int verb, uint32_t kind);

#endif
