#include "bridge/browser_verbs.h"

#include <algorithm>

#include "browser/dde_args.h"
#include "browser/verb_table.h"

namespace {

VerbReply Number(uint32_t value) {
    VerbReply r;
    r.kind = ReplyNumber;
    r.number = value;
    return r;
}

VerbReply Text(const std::string& text) {
    VerbReply r;
    r.kind = ReplyText;
    r.text = text;
    return r;
}

}  // namespace

VerbReply BrowserVerbs::Answer(int verb, const char* item) {
    switch (verb) {
    case WWW_Version: return Number(identity_.major << 16 | (identity_.minor & 0xFFFF));
    case WWW_QueryVersion: {
        DdeArgWriter w;
        w.AddNumber(identity_.major);
        w.AddNumber(identity_.minor);
        w.AddString(identity_.name.c_str());
        return Text(w.text());
    }
    case WWW_GetWindowInfo: {
        DdeArgReader args(item);
        uint32_t window = args.ReadNumber();
        std::string url, title;
        if (!side_->Showing(window, &url, &title)) return VerbReply();
        DdeArgWriter w;
        w.AddString(url.c_str());
        w.AddString(title.c_str());
        return Text(w.text());
    }
    case WWW_OpenURL: return OpenUrl(item);
    case WWW_Activate: {
        DdeArgReader args(item);
        return Number(side_->Activate(args.ReadNumber()));
    }
    case WWW_RegisterURLEcho:
    case WWW_UnRegisterURLEcho: return Register(verb, item);
    default: return VerbReply();
    }
}

// URL, file, window, flags; the fields after them name the asker, who
// hears of the load through its URL-echo registration.
VerbReply BrowserVerbs::OpenUrl(const char* item) {
    DdeArgReader args(item);
    const char* url = args.ReadString();
    const char* file = args.ReadString();
    std::string address = url ? url : "";
    std::string into = file ? file : "";
    uint32_t window = args.ReadNumber();
    uint32_t flags = args.ReadNumber();
    if (!into.empty()) return Number(side_->SaveUrl(address, into));
    return Number(side_->ShowUrl(address, window, flags));
}

// A service registers once; registering again moves it to the end.
VerbReply BrowserVerbs::Register(int verb, const char* item) {
    DdeArgReader args(item);
    const char* s = args.ReadString();
    std::string name = s ? s : "";
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), name), receivers_.end());
    if (verb == WWW_RegisterURLEcho && !name.empty()) receivers_.push_back(name);
    return Number(1);
}

std::string UrlEchoItem(const std::string& url, const std::string& mime, uint32_t window, const std::string& referrer) {
    DdeArgWriter w;
    w.AddString(url.c_str());
    w.AddString(mime.c_str());
    w.AddNumber(window);
    w.AddString(referrer.c_str());
    return w.text();
}
