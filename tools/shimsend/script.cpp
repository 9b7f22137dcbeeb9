#include "tools/shimsend/script.h"

#include <stdlib.h>
#include <string.h>

#include "observe/datagram.h"

namespace {

struct Word {
    const char* name;
    int value;
};

const Word kTitleKinds[] = {{"header", TT_HEADER}, {"title", TT_TITLE}, {"h1", TT_H1}};
const Word kLinkTypes[] = {{"anchor", LT_ANCHOR}, {"include", LT_INCLUDE}, {"misc", LT_MISC}, {"redirect", LT_REDIRECT}};

bool Lookup(const Word* words, size_t n, const std::string& name, int* value) {
    for (size_t i = 0; i < n; ++i)
        if (name == words[i].name) {
            *value = words[i].value;
            return true;
        }
    return false;
}

bool Number(const std::string& text, long* value) {
    if (text.empty()) return false;
    char* end;
    *value = strtol(text.c_str(), &end, 10);
    return *end == 0;
}

// Splits off the first word of `rest`.
std::string TakeWord(std::string* rest) {
    size_t start = rest->find_first_not_of(" \t");
    if (start == std::string::npos) {
        rest->clear();
        return "";
    }
    size_t end = rest->find_first_of(" \t", start);
    std::string word = rest->substr(start, end == std::string::npos ? std::string::npos : end - start);
    *rest = end == std::string::npos ? "" : rest->substr(end);
    size_t text = rest->find_first_not_of(" \t");
    *rest = text == std::string::npos ? "" : rest->substr(text);
    return word;
}

class Builder {
public:
    explicit Builder(std::vector<ScriptDatagram>* out) : out_(out) {}

    bool Add(RecordType type, uint32_t id, int value, const char* first, const char* second) {
        if (writer_.Add(type, id, value, first, second)) return true;
        Flush(0);
        return writer_.Add(type, id, value, first, second);
    }
    void Flush(int pause_ms) {
        if (writer_.length == kDatagramHead && pause_ms == 0) return;
        size_t n = writer_.Finish();
        out_->push_back(ScriptDatagram{std::vector<unsigned char>(writer_.bytes, writer_.bytes + n), pause_ms});
        writer_.Clear();
    }

private:
    DatagramWriter writer_;
    std::vector<ScriptDatagram>* out_;
};

const char* TextOrNone(const std::string& s) { return s.empty() ? 0 : s.c_str(); }

}  // namespace

bool BuildShimScript(const std::string& script, std::vector<ScriptDatagram>* out, std::string* error) {
    Builder b(out);
    uint32_t id = 1;
    size_t at = 0;
    for (int line_no = 1; at <= script.size(); ++line_no) {
        size_t end = script.find('\n', at);
        if (end == std::string::npos) end = script.size();
        std::string rest = script.substr(at, end - at);
        at = end + 1;
        if (!rest.empty() && rest[rest.size() - 1] == '\r') rest.erase(rest.size() - 1);
        std::string verb = TakeWord(&rest);
        if (verb.empty() || verb[0] == '#') continue;
        bool ok = true;
        long number = 0;
        int value = 0;
        if (verb == "id") {
            ok = Number(rest, &number);
            id = (uint32_t)number;
        } else if (verb == "open") {
            ok = b.Add(RecOpen, id, 0, TextOrNone(rest), 0);
        } else if (verb == "request") {
            std::string url = TakeWord(&rest);
            int op = rest == "HEAD" ? OP_HEAD : OP_GET;
            ok = !url.empty() && (rest.empty() || rest == "GET" || rest == "HEAD") &&
                 b.Add(RecRequest, id, op, url.c_str(), 0);
        } else if (verb == "status") {
            ok = Number(rest, &number) && b.Add(RecStatus, id, (int)number, 0, 0);
        } else if (verb == "type") {
            ok = !rest.empty() && b.Add(RecContentType, id, 0, rest.c_str(), 0);
        } else if (verb == "base") {
            ok = !rest.empty() && b.Add(RecBase, id, 0, rest.c_str(), 0);
        } else if (verb == "title") {
            std::string kind = TakeWord(&rest);
            ok = Lookup(kTitleKinds, 3, kind, &value) && b.Add(RecTitle, id, value, rest.c_str(), 0);
        } else if (verb == "link") {
            std::string type = TakeWord(&rest);
            std::string url = TakeWord(&rest);
            ok = Lookup(kLinkTypes, 4, type, &value) && !url.empty() &&
                 b.Add(RecLink, id, value, url.c_str(), TextOrNone(rest));
        } else if (verb == "close") {
            ok = b.Add(RecClose, id, 0, 0, 0);
        } else if (verb == "resync") {
            ok = b.Add(RecResync, id, 0, 0, 0);
        } else if (verb == "send") {
            b.Flush(0);
        } else if (verb == "pause") {
            ok = Number(rest, &number) && number >= 0;
            if (ok) b.Flush((int)number);
        } else {
            ok = false;
        }
        if (!ok) {
            *error = "line " + std::to_string(line_no) + ": cannot read \"" + verb + (rest.empty() ? "" : " " + rest) + "\"";
            return false;
        }
    }
    b.Flush(0);
    return true;
}
