#include "tools/scanreplay/call_log.h"

#include <stdio.h>

namespace {

void PutEscaped(std::string* out, const char* s, bool quoted) {
    if (!s) {
        *out += "null";
        return;
    }
    if (quoted) *out += '"';
    for (; *s; ++s) {
        unsigned char c = (unsigned char)*s;
        if (c == '\\' || (quoted && c == '"')) {
            *out += '\\';
            *out += (char)c;
        } else if (c == '\n') {
            *out += "\\n";
        } else if (c == '\t') {
            *out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            *out += hex;
        } else {
            *out += (char)c;
        }
    }
    if (quoted) *out += '"';
}

std::string Number(int n) { return std::to_string(n); }

}  // namespace

std::string CallLog::Start(uint32_t id, const char* name) const {
    std::string line;
    if (id != id_) line = "[" + std::to_string(id) + "] ";
    return line + name + "(";
}

uint32_t CallLog::Open(uint32_t id, const char* text) {
    std::string line = Start(id, "Open");
    PutEscaped(&line, text, true);
    lines.push_back(line + ")");
    return 1;
}

uint32_t CallLog::Request(uint32_t id, const char* url, int op) {
    std::string line = Start(id, "Request");
    PutEscaped(&line, url, false);
    lines.push_back(line + "," + Number(op) + ")");
    return request_answer;
}

uint32_t CallLog::Status(uint32_t id, int code) {
    lines.push_back(Start(id, "Status") + Number(code) + ")");
    return 1;
}

uint32_t CallLog::Base(uint32_t id, const char* url) {
    std::string line = Start(id, "Base");
    PutEscaped(&line, url, false);
    lines.push_back(line + ")");
    return 1;
}

uint32_t CallLog::MarkPage(uint32_t id, const char* text) {
    std::string line = Start(id, "MarkPage");
    PutEscaped(&line, text, true);
    lines.push_back(line + ")");
    return 1;
}

uint32_t CallLog::ContentType(uint32_t id, const char* mime) {
    std::string line = Start(id, "ContentType");
    PutEscaped(&line, mime, false);
    lines.push_back(line + ")");
    return 1;
}

uint32_t CallLog::Link(uint32_t id, const char* url, int type, const char* extra) {
    std::string line = Start(id, "Link");
    PutEscaped(&line, url, false);
    line += "," + Number(type) + ",";
    PutEscaped(&line, extra, true);
    lines.push_back(line + ")");
    return 1;
}

uint32_t CallLog::Title(uint32_t id, const char* text, int kind) {
    std::string line = Start(id, "Title");
    PutEscaped(&line, text, true);
    lines.push_back(line + "," + Number(kind) + ")");
    return 1;
}

uint32_t CallLog::Close(uint32_t id) {
    lines.push_back(Start(id, "Close") + ")");
    return 1;
}

std::string CallLog::Text() const {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}
