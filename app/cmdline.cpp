#include "app/cmdline.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* SkipSpace(const char* p) {
    while (IsSpace(*p)) ++p;
    return p;
}

void Append(CommandToken* token, char c) {
    if (token->length < kTokenMax)
        token->text[token->length++] = c;
    else
        token->too_long = true;
}

// A quoted token: up to the closing mark; a doubled mark stands for one.
const char* ReadQuoted(const char* p, CommandToken* token) {
    char mark = *p++;
    while (*p) {
        if (*p == mark) {
            if (p[1] != mark) return p + 1;
            p += 2;
            Append(token, mark);
            continue;
        }
        Append(token, *p++);
    }
    return p;  // the end of the line closes it too
}

const char* ReadKeyword(const char* p, CommandToken* token) {
    Append(token, *p++);
    while (*p && !IsSpace(*p) && *p != '/' && *p != '=' && *p != ':') {
        char c = *p++;
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        Append(token, c);
    }
    return p;
}

const char* ReadPlain(const char* p, CommandToken* token) {
    while (*p && !IsSpace(*p)) Append(token, *p++);
    return p;
}

}  // namespace

TokenKind NextToken(const char** cursor, CommandToken* token) {
    token->kind = TokenEnd;
    token->too_long = false;
    token->length = 0;
    token->text[0] = 0;

    const char* p = *cursor ? SkipSpace(*cursor) : "";
    if (*p == ':' || *p == '=') p = SkipSpace(p + 1);

    if (*p == 0) {
        *cursor = p;
        return TokenEnd;
    }
    if (*p == '"' || *p == '\'') {
        token->kind = TokenName;
        p = ReadQuoted(p, token);
    } else if (*p == '-' || *p == '/') {
        token->kind = TokenKeyword;
        p = ReadKeyword(p, token);
    } else {
        token->kind = TokenName;
        p = ReadPlain(p, token);
    }
    token->text[token->length] = 0;
    *cursor = p;
    return token->kind;
}
