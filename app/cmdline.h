// The command-line tokeniser.
//
// Tokens are separated by white space. A leading ':' or '=' is skipped, so
// "=name" and ": name" both read as "name". A token in double or single
// quotation marks runs to the matching unpaired mark, a doubled mark inside
// standing for one. A token starting with '-' or '/' is a keyword, folded to
// lower case and ending at '=', ':', white space or a '/' after its first
// character. Anything else runs to the next white space.
#ifndef SKEIND_APP_CMDLINE_H
#define SKEIND_APP_CMDLINE_H

#include <stddef.h>

// Longest token kept; a longer one is cut here and marked too_long, and the
// cursor still moves past all of it.
const size_t kTokenMax = 1023;

enum TokenKind { TokenEnd, TokenName, TokenKeyword };

struct CommandToken {
    TokenKind kind;
    bool too_long;
    size_t length;
    char text[kTokenMax + 1];
};

// Reads the token at *cursor into *token and moves *cursor past it. Gives
// TokenEnd (with an empty text) when only white space is left.
TokenKind NextToken(const char** cursor, CommandToken* token);

#endif
