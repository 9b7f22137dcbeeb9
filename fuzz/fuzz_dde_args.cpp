// fuzz_dde_args: a browser's item or reply, read field by field, and every
// served verb fed the same bytes.
//
// The first byte chooses the order of numbers and strings to read; the
// rest is the item, in a heap block of exactly its length so that
// AddressSanitizer sees a read past it. Every string read must lie inside
// the reader's copy and be terminated there; a reader that is used up
// must stay used up.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>
#include <vector>

#include "browser/dde_args.h"
#include "browser/served_verbs.h"
#include "browser/verb_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    unsigned program = data[0];
    std::vector<char> item(data + 1, data + size);
    {
        DdeArgReader counted(item.data(), item.size());
        for (int i = 0; i < 12; ++i) {
            bool was_exhausted = counted.exhausted();
            if (program & (1u << (i % 8))) {
                const char* s = counted.ReadString();
                if (s) (void)strlen(s);
                if (was_exhausted && s) abort();
            } else {
                uint32_t n = counted.ReadNumber();
                if (was_exhausted && n) abort();
            }
        }
    }
    std::string text(item.begin(), item.end());  // up to its first NUL
    for (int verb = 0; verb <= kVerbCount; ++verb) {
        for (int kind = 0; kind < 2; ++kind) {
            ServedVerb v = ServeVerb(verb, kind ? ServedPoke : ServedRequest, text.c_str());
            if (v.message) {
                std::ostringstream out;
                v.message->Print(out);
                delete v.message;
            }
        }
    }
    return 0;
}
