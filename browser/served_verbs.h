// The verbs the program serves for the browser: progress reports, the
// result of an open request, and the URL echo. Each served transaction
// reads its item, becomes at most one queued message, and has an answer.
#ifndef SKEIND_BROWSER_SERVED_VERBS_H
#define SKEIND_BROWSER_SERVED_VERBS_H

#include <stdint.h>

#include "browser/messages.h"

enum ServedKind { ServedRequest, ServedPoke };

const uint32_t kDdeAck = 0x8000;  // a poke that was taken

struct ServedVerb {
    // A request: true when the answer is sent back as a 4-byte number;
    // false means no data. A poke: the answer is the acknowledgement.
    bool replies;
    uint32_t answer;
    Message* message;  // to be posted; null when none
};

// What the verb with index `verb` makes of `item` (null reads as empty).
ServedVerb ServeVerb(int verb, ServedKind kind, const char* item);

#endif
