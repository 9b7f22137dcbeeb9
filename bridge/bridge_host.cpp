#include "bridge/bridge_host.h"

#include <string.h>

#include "bridge/json.h"

namespace {

// Window numbers are the browser's, which are small; anything else in a
// message is no window.
uint32_t WindowOf(const JsonValue& m) {
    int64_t w = m.NumberOf("window", 0);
    return w > 0 && w < 0x7FFFFFFF ? (uint32_t)w : 0;
}

std::string TextOr(const JsonValue& m, const char* key) {
    const char* t = m.TextOf(key);
    return t ? t : "";
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool DecodeBase64(const std::string& text, std::string* out) {
    out->clear();
    uint32_t bits = 0;
    int held = 0;
    size_t padding = 0;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        if (c == '=') {
            ++padding;
            continue;
        }
        int v = Base64Value(c);
        if (v < 0 || padding > 0) return false;
        bits = bits << 6 | (uint32_t)v;
        held += 6;
        if (held >= 8) {
            held -= 8;
            out->push_back((char)(bits >> held));
        }
    }
    return padding <= 2;
}

bool BridgeHost::FromExtension(const std::string& message) {
    JsonValue m;
    if (ParseJson(message.data(), message.size(), &m) != JsonOk) return false;
    const char* type = m.TextOf("type");
    if (type == 0) return false;
    if (strcmp(type, "page") == 0 || strcmp(type, "load") == 0) {
        bool sent = reporter_.Report(m) == ReportSent;
        out_->FlushReports();
        return sent;
    }
    if (strcmp(type, "shown") == 0) {
        std::string url = TextOr(m, "url");
        if (url.empty()) return false;
        uint32_t window = WindowOf(m);
        // A tab behind the others changes nothing the program can ask about.
        if (m.BoolOf("active", true)) {
            windows_[window].url = url;
            windows_[window].title.clear();
        }
        out_->Echo(url, TextOr(m, "mime"), window, TextOr(m, "referrer"));
        return true;
    }
    if (strcmp(type, "active") == 0) {
        uint32_t window = WindowOf(m);
        if (window == 0) return false;
        front_ = window;
        windows_[window].url = TextOr(m, "url");
        windows_[window].title = TextOr(m, "title");
        return true;
    }
    if (strcmp(type, "closed") == 0) {
        uint32_t window = WindowOf(m);
        windows_.erase(window);
        if (front_ == window) front_ = 0;
        return true;
    }
    if (strcmp(type, "fetched") == 0) return Fetched(m);
    return false;
}

// The body goes into the file the program named, and the program hears of
// the load's end as it would from a browser; a failed fetch leaves the
// file unwritten, which the program gives up on in time.
bool BridgeHost::Fetched(const JsonValue& m) {
    int64_t id = m.NumberOf("id", 0);
    auto save = saves_.find(id > 0 && id <= 0xFFFFFFFF ? (uint32_t)id : 0);
    if (save == saves_.end()) return false;
    std::string file = save->second;
    saves_.erase(save);
    std::string body;
    if (!m.BoolOf("ok", false) || !DecodeBase64(TextOr(m, "body"), &body)) return true;
    if (out_->WriteBody(file, body)) out_->Progress((uint32_t)id, (uint32_t)body.size());
    return true;
}

bool BridgeHost::Showing(uint32_t window, std::string* url, std::string* title) {
    auto w = windows_.find(window == kCurrentWindow ? front_ : window);
    if (w == windows_.end()) return false;
    *url = w->second.url;
    *title = w->second.title;
    return true;
}

uint32_t BridgeHost::ShowUrl(const std::string& url, uint32_t window, uint32_t) {
    if (window == kCurrentWindow) window = front_;
    out_->ToExtension("{\"type\":\"open\",\"url\":" + JsonQuote(url) + ",\"window\":" + std::to_string(window) + "}");
    // A new window's number is the browser's to give: the program hears it
    // in the URL echo.
    return window != 0 ? window : 0x7FFFFFFFu;
}

uint32_t BridgeHost::SaveUrl(const std::string& url, const std::string& file) {
    uint32_t id = next_save_++;
    saves_[id] = file;
    out_->ToExtension("{\"type\":\"fetch\",\"id\":" + std::to_string(id) + ",\"url\":" + JsonQuote(url) + "}");
    return id;
}

uint32_t BridgeHost::Activate(uint32_t window) {
    if (window == kCurrentWindow || window == 0) window = front_;
    if (windows_.find(window) == windows_.end()) return 0;
    out_->ToExtension("{\"type\":\"activate\",\"window\":" + std::to_string(window) + "}");
    return window;
}
