#include "browser/browser_link_win32.h"

#include <stdio.h>

#include "browser/browser_registry_win32.h"
#include "browser/dde_args.h"
#include "browser/dde_instance_win32.h"
#include "browser/served_verbs.h"
#include "browser/verb_table.h"
#include "browser/xdde.h"
#include "observe/url.h"

namespace {

// The user is not asked again for this long after the last prompt closed.
const uint64_t kPromptHoldOff = 30000000;  // 3 s in 100 ns units

uint64_t FileTimeNow() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((uint64_t)now.dwHighDateTime << 32) | now.dwLowDateTime;
}

class MutexHold {
public:
    explicit MutexHold(HANDLE mutex) : mutex_(mutex) { WaitForSingleObject(mutex_, INFINITE); }
    ~MutexHold() { ReleaseMutex(mutex_); }

private:
    HANDLE mutex_;
};

// Sets a flag bit for as long as it lives.
class FlagHold {
public:
    FlagHold(uint32_t* flags, uint32_t bit) : flags_(flags), bit_(bit) { *flags_ |= bit_; }
    ~FlagHold() { *flags_ &= ~bit_; }

private:
    uint32_t* flags_;
    uint32_t bit_;
};

uint32_t LittleEndian32(const std::string& bytes) {
    const unsigned char* b = (const unsigned char*)bytes.data();
    return (uint32_t)b[0] | ((uint32_t)b[1] << 8) | ((uint32_t)b[2] << 16) | ((uint32_t)b[3] << 24);
}

}  // namespace

BrowserLink::BrowserLink(HWND main_window, UINT wake_message, ATattler* tattler, const char* own_service)
    : flags_(0),
      queue_(this, tattler),
      search_mutex_(CreateMutexA(0, FALSE, 0)),
      next_prompt_(0),
      link_state_(LinkNone),
      main_window_(main_window),
      wake_message_(wake_message),
      own_service_(own_service ? own_service : ""),
      own_service_handle_(0),
      prompt_(0) {
    DdeInstance& dde = DdeInstance::Process();
    dde.set_link(this);
    own_service_handle_ = dde.MakeString(own_service_.c_str());
    DdeNameService(dde.id(), own_service_handle_, 0, DNS_REGISTER);
    LoadBrowserList(&known_);
}

BrowserLink::~BrowserLink() {
    DdeInstance& dde = DdeInstance::Process();
    if (connected()) {
        try {
            SendVerb(WWW_UnRegisterURLEcho, OwnNameField().c_str(), 0);
        } catch (const XDde&) {
        }
    }
    dde.set_link(0);
    DdeNameService(dde.id(), own_service_handle_, 0, DNS_UNREGISTER);
    dde.FreeString(own_service_handle_);
    if (search_mutex_) CloseHandle(search_mutex_);
}

void BrowserLink::WakeUp() { PostMessageA(main_window_, wake_message_, 0, (LPARAM)this); }

std::string BrowserLink::OwnNameField() const {
    DdeArgWriter w;
    w.AddString(own_service_.c_str());
    return w.text();
}

// --- Finding a browser

void BrowserLink::EnsureBrowser(HWND parent) {
    if (connected()) return;
    MutexHold hold(search_mutex_);
    // The callback runs inside our own transactions: a search entered
    // again from there must not start a second one.
    if (flags_ & kLinkSearching) throw XDde_retry();
    FlagHold searching(&flags_, kLinkSearching);
    Search(parent);
}

void BrowserLink::Search(HWND parent) {
    // The list may be loaded again while we try: walk copies.
    std::vector<BrowserEntry> entries = known_.entries();
    for (size_t i = entries.size(); i-- > 0;)
        if (TryBrowser(entries[i].service.c_str(), entries[i].flags & kLinkKindMask, parent)) return;
    std::vector<FallbackName> names = known_.FallbackNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (known_.Contains(names[i].name.c_str())) continue;
        if (TryBrowser(names[i].name.c_str(), names[i].kind, parent)) return;
    }
    // One was started or registered but does not answer: do not ask again.
    if (link_state_ > LinkDeclined) throw XDde_no_browser();
    Prompt(parent);
}

void BrowserLink::Prompt(HWND parent) {
    if (flags_ & kLinkAsking) throw XDde_retry();
    flags_ |= kLinkAsking;
    if (FileTimeNow() < next_prompt_) {
        flags_ &= ~kLinkAsking;
        throw XDde_retry();
    }
    int answer = prompt_ ? prompt_->AskToStartBrowser(parent, known_) : IDCANCEL;
    flags_ &= ~kLinkAsking;
    next_prompt_ = FileTimeNow() + kPromptHoldOff;
    if (answer == IDCANCEL) {
        RaiseState(LinkDeclined);
    } else if (answer == IDOK) {
        // Give the browser time to come up; it is found by its
        // registration or by the next search.
        RaiseState(LinkStarting);
        throw XDde_retry();
    }
    throw XDde_no_browser();
}

bool BrowserLink::TryBrowser(const char* service, uint32_t kind, HWND parent) {
    bool netscape = (kind & kNetscapeKind) != 0;
    DdeExchange version;
    version.service = service;
    version.verb = netscape ? WWW_Version : WWW_QueryVersion;
    version.item = "1,0";
    DdeInstance::Process().Exchange(&version);
    const std::string& reply = version.reply;
    if (reply.empty()) return false;
    int32_t major, minor;
    std::string browser_name;
    if (netscape) {
        if (reply.size() < 4) return false;
        uint32_t v = LittleEndian32(reply);
        major = (int32_t)(v >> 16);
        minor = (int32_t)(v & 0xFFFF);
    } else {
        DdeArgReader r(reply.data(), reply.size());
        major = (int32_t)r.ReadNumber();
        minor = (int32_t)r.ReadNumber();
        const char* n = r.ReadString();
        browser_name = n ? n : "";
    }
    if (major == 0 && minor == 0) return false;  // not a browser

    RaiseState(LinkConnected);
    char text[25];
    snprintf(text, sizeof text, "%ld.%ld", (long)major, (long)minor);
    browser_version_ = text;
    browser_name_ = browser_name;
    browser_service_ = LowerAscii(service);
    flags_ = (flags_ & ~kLinkKindMask) | (kind & kLinkKindMask);
    // From now on the browser tells us each page it shows.
    SendVerb(WWW_RegisterURLEcho, OwnNameField().c_str(), parent);
    queue_.Post(new MNewBrowser(1));
    return true;
}

void BrowserLink::DropBrowser() {
    browser_service_.clear();
    browser_version_.clear();
    browser_name_.clear();
    queue_.Post(new MLostBrowser(1));
    link_state_ = LinkNone;
}

void BrowserLink::ServiceRegistered(HSZ service) {
    if (connected()) return;
    std::string name = LowerAscii(DdeInstance::Process().QueryString(service).c_str());
    bool known = false;
    const std::vector<BrowserEntry>& entries = known_.entries();
    for (size_t i = entries.size(); i-- > 0 && !known;) known = entries[i].service == name;
    std::vector<FallbackName> names = known_.FallbackNames();
    for (size_t i = 0; i < names.size() && !known; ++i)
        known = names[i].name == name && !known_.Contains(name.c_str());
    if (!known) return;
    RaiseState(LinkRegistered);
    registered_ = name;
    WakeUp();
}

void BrowserLink::DrainBrowserMessages() {
    if (!registered_.empty()) {
        std::string name;
        name.swap(registered_);
        if (!connected()) {
            try {
                TryBrowser(name.c_str(), KindOfRegisteredService(name), 0);
            } catch (const XDde&) {
            }
        }
    }
    queue_.Drain();
}

void BrowserLink::ServiceUnregistered(HSZ service) {
    if (!connected()) return;
    if (LowerAscii(DdeInstance::Process().QueryString(service).c_str()) == browser_service_) DropBrowser();
}

// --- Transactions with the connected browser

// One conversation with the connected browser on `verb`. A refusal
// leaves the link without a live browser (the service is kept) and
// throws; a missing answer is the caller's to judge.
DdeExchange BrowserLink::Exchange(int verb, const char* item, bool poke, HWND parent) {
    EnsureBrowser(parent);
    DdeExchange x;
    x.service = browser_service_;
    x.verb = verb;
    x.item = item ? item : "";
    x.poke = poke;
    DdeInstance::Process().Exchange(&x);
    if (!x.connected) {
        link_state_ = LinkNone;
        throw XDde_with_code(x.error);
    }
    return x;
}

void BrowserLink::SendVerb(int verb, const char* item, HWND parent) {
    EnsureBrowser(parent);  // the kind decides poke or request
    Exchange(verb, item, SentAsPoke(verb, flags_ & kLinkKindMask), parent);
}

std::string BrowserLink::RequestText(int verb, const char* item, HWND parent) {
    return Exchange(verb, item, false, parent).reply;
}

uint32_t BrowserLink::RequestNumber(int verb, const char* item, HWND parent) {
    DdeExchange x = Exchange(verb, item, false, parent);
    // One to three bytes are no number either.
    if (x.reply.size() < 4) throw XDde_with_code(x.answered ? DMLERR_NOTPROCESSED : x.error);
    return LittleEndian32(x.reply);
}

// --- What the main window asks of the browser

std::string BrowserLink::GetWindowUrl(int level, HWND parent, uint32_t window) {
    bool ask;
    switch (link_state_) {
    case LinkDeclined: ask = level >= 4; break;
    case LinkStarting: ask = false; break;
    default:
        // A connected browser of the Netscape kind tells its pages by URL
        // echo; it is not polled from the timer.
        ask = level != 0 || !(flags_ & kNetscapeKind) || link_state_ == LinkNone || link_state_ == LinkRegistered;
        break;
    }
    if (!ask) return std::string();
    try {
        DdeArgWriter w;
        w.AddNumber(window);
        std::string reply = RequestText(WWW_GetWindowInfo, w.text(), parent);
        DdeArgReader r(reply.data(), reply.size());
        const char* first = r.ReadString();
        std::string url = first ? first : "";
        size_t hash = url.find('#');
        if (hash != std::string::npos) url.resize(hash);
        if (url.empty() || url[0] < 'A' || url[0] > 'z' || url.compare(0, 11, "javascript:") == 0)
            return std::string();
        UrlBuffer canonical;
        CanonicalUrl(url.c_str(), &canonical);
        return canonical.text;
    } catch (const XDde&) {
        return std::string();
    }
}

uint32_t BrowserLink::OpenUrl(HWND parent, const char* url, uint32_t window, uint32_t flags) {
    try {
        EnsureBrowser(parent);  // the item's form depends on the kind
        DdeArgWriter w;
        w.AddString(url);
        w.AddEmpty();
        w.AddNumber(window);
        w.AddNumber(flags);
        if (!(flags_ & kNetscapeKind)) {
            w.AddEmpty();
            w.AddEmpty();
            w.AddEmpty();
            w.AddString(own_service_.c_str());
        }
        return RequestNumber(WWW_OpenURL, w.text(), parent);
    } catch (const XDde&) {
        return kNoWindow;
    }
}

uint32_t BrowserLink::OpenUrlToFile(HWND parent, const char* url, const char* file, uint32_t flags) {
    // This kind cannot save into a file: the caller fetches the page itself.
    if (flags_ & kExplorerKind) return kCannotFetchToFile;
    try {
        EnsureBrowser(parent);
        bool netscape = (flags_ & kNetscapeKind) != 0;
        DdeArgWriter w;
        w.AddString(url);
        w.AddString(file);
        w.AddNumber(0xFFFFFFFFu);
        w.AddNumber(flags);
        if (netscape) {
            w.AddEmpty();
            w.AddEmpty();
            w.RawNext();
            w.AddString(own_service_.c_str());
        } else {
            w.AddString("");
            w.AddString("");
            w.AddString(own_service_.c_str());
            w.AddString(own_service_.c_str());
        }
        uint32_t reply = RequestNumber(WWW_OpenURL, w.text(), parent);
        if (netscape) return reply != 0 ? 0x7FFFFFFFu : 0;
        return reply;
    } catch (const XDde&) {
        return kNoWindow;
    }
}

uint32_t BrowserLink::ActivateWindow(HWND parent, uint32_t window) {
    try {
        DdeArgWriter w;
        w.AddNumber(window);
        return RequestNumber(WWW_Activate, w.text(), parent);
    } catch (const XDde&) {
        return 0;
    }
}

// --- The DDE callback

HDDEDATA BrowserLink::Serve(UINT type, UINT, HCONV, HSZ topic, HSZ item, HDDEDATA) {
    DdeInstance& dde = DdeInstance::Process();
    switch (type) {
    case XTYP_CONNECT:
        // Any topic; the service asked for must be ours, in any case.
        return (HDDEDATA)(ULONG_PTR)(LowerAscii(dde.QueryString(item).c_str()) == own_service_ ? TRUE : FALSE);
    case XTYP_REQUEST:
    case XTYP_POKE: {
        int verb = VerbIndex(LowerAscii(dde.QueryString(topic).c_str()).c_str());
        ServedVerb v = ServeVerb(verb, type == XTYP_REQUEST ? ServedRequest : ServedPoke,
                                 dde.QueryString(item).c_str());
        if (v.message) queue_.Post(v.message);
        if (type == XTYP_POKE) return (HDDEDATA)(ULONG_PTR)v.answer;
        if (!v.replies) return 0;
        BYTE bytes[4] = {(BYTE)v.answer, (BYTE)(v.answer >> 8), (BYTE)(v.answer >> 16), (BYTE)(v.answer >> 24)};
        return DdeCreateDataHandle(dde.id(), bytes, sizeof bytes, 0, item, CF_TEXT, 0);
    }
    case XTYP_REGISTER:
        ServiceRegistered(topic);
        return 0;
    case XTYP_UNREGISTER:
        ServiceUnregistered(topic);
        return 0;
    default:
        return 0;
    }
}
