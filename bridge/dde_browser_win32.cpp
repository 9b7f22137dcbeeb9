#include "bridge/dde_browser_win32.h"

#include <vector>

#include "browser/verb_table.h"

namespace {

DdeBrowserServer* g_server = 0;

// Dispatches this thread's messages for `ms` milliseconds.
void PumpFor(DWORD ms) {
    DWORD until = GetTickCount() + ms;
    MSG msg;
    while ((int)(until - GetTickCount()) > 0)
        if (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        else
            Sleep(5);
}

}  // namespace

DdeBrowserServer::DdeBrowserServer(BrowserVerbs* verbs, FILE* log) : verbs_(verbs), log_(log) {
    g_server = this;
}

DdeBrowserServer::~DdeBrowserServer() {
    if (dde_) {
        if (service_) {
            DdeNameService(dde_, service_, 0, DNS_UNREGISTER);
            DdeFreeStringHandle(dde_, service_);
        }
        DdeUninitialize(dde_);
    }
    g_server = 0;
}

bool DdeBrowserServer::Start(const std::string& service, bool register_service) {
    if (DdeInitializeA(&dde_, Callback,
                       APPCLASS_STANDARD | CBF_FAIL_EXECUTES | CBF_FAIL_ADVISES | CBF_SKIP_REGISTRATIONS |
                           CBF_SKIP_UNREGISTRATIONS,
                       0) != DMLERR_NO_ERROR) {
        dde_ = 0;
        return false;
    }
    service_ = DdeCreateStringHandleA(dde_, service.c_str(), CP_WINANSI);
    if (register_service) Register();
    return true;
}

void DdeBrowserServer::Register() {
    DdeNameService(dde_, service_, 0, DNS_REGISTER);
}
void DdeBrowserServer::Unregister() {
    DdeNameService(dde_, service_, 0, DNS_UNREGISTER);
}

void DdeBrowserServer::Log(const char* kind, const char* verb, const std::string& text) {
    if (!log_) return;
    fprintf(log_, "%s %s %s\n", kind, verb, text.c_str());
    fflush(log_);
}

std::string DdeBrowserServer::QueryString(HSZ handle) {
    if (!handle) return std::string();
    DWORD n = DdeQueryStringA(dde_, handle, 0, 0, CP_WINANSI);
    std::vector<char> text(n + 1, 0);
    DdeQueryStringA(dde_, handle, &text[0], n + 1, CP_WINANSI);
    return &text[0];
}

HDDEDATA DdeBrowserServer::Reply(const VerbReply& reply, HSZ item) {
    if (reply.kind == ReplyNumber) {
        BYTE b[4] = {(BYTE)reply.number, (BYTE)(reply.number >> 8), (BYTE)(reply.number >> 16),
                     (BYTE)(reply.number >> 24)};
        return DdeCreateDataHandle(dde_, b, 4, 0, item, CF_TEXT, 0);
    }
    if (reply.kind == ReplyText)
        return DdeCreateDataHandle(dde_, (LPBYTE)reply.text.c_str(), (DWORD)reply.text.size() + 1, 0, item, CF_TEXT, 0);
    return 0;
}

HDDEDATA CALLBACK DdeBrowserServer::Callback(UINT type, UINT, HCONV, HSZ hsz1, HSZ hsz2, HDDEDATA, ULONG_PTR,
                                             ULONG_PTR) {
    return g_server ? g_server->Transaction(type, hsz1, hsz2) : 0;
}

HDDEDATA DdeBrowserServer::Transaction(UINT type, HSZ hsz1, HSZ hsz2) {
    std::string topic = QueryString(hsz1);
    switch (type) {
    case XTYP_CONNECT:
        Log(refuse_ ? "refused" : "connect", topic.c_str(), QueryString(hsz2));
        return (HDDEDATA)(ULONG_PTR)(refuse_ ? FALSE : TRUE);
    case XTYP_REQUEST:
    case XTYP_POKE: {
        std::string item = QueryString(hsz2);
        Log(type == XTYP_REQUEST ? "request" : "poke", topic.c_str(), item);
        if (hang_ms_) Sleep(hang_ms_);
        VerbReply reply = verbs_->Answer(VerbIndex(topic.c_str()), item.c_str());
        if (type == XTYP_POKE) return (HDDEDATA)(ULONG_PTR)DDE_FACK;
        return Reply(reply, hsz2);
    }
    default: return 0;
    }
}

void DdeBrowserServer::SendToReceivers(const char* verb, const std::string& item, bool poke) {
    HSZ topic = DdeCreateStringHandleA(dde_, verb, CP_WINANSI);
    HSZ it = DdeCreateStringHandleA(dde_, item.c_str(), CP_WINANSI);
    std::vector<std::string> receivers = verbs_->echo_receivers();  // a callback may change the list
    for (const std::string& name : receivers) {
        HSZ service = DdeCreateStringHandleA(dde_, name.c_str(), CP_WINANSI);
        HCONV c = DdeConnect(dde_, service, topic, 0);
        // The receiver may be starting a conversation with us just now.
        for (int tries = 0; !c && tries < 5; ++tries) {
            PumpFor(50);
            c = DdeConnect(dde_, service, topic, 0);
        }
        if (!c) {
            Log("no-conversation", verb, name);
        } else if (poke) {
            DWORD result = 0;
            HDDEDATA r = DdeClientTransaction((LPBYTE) "", 1, c, it, CF_TEXT, XTYP_POKE, 5000, &result);
            Log("poked", verb, r ? "ack" : "nak");
        } else {
            HDDEDATA r = DdeClientTransaction(0, 0, c, it, CF_TEXT, XTYP_REQUEST, 5000, 0);
            DWORD size = 0;
            const BYTE* b = r ? DdeAccessData(r, &size) : 0;
            char text[32] = "none";
            if (b && size >= 4)
                snprintf(text, sizeof text, "%lu",
                         (unsigned long)(b[0] | b[1] << 8 | b[2] << 16 | (uint32_t)b[3] << 24));
            if (b) DdeUnaccessData(r);
            if (r) DdeFreeDataHandle(r);
            Log("reply", verb, text);
        }
        if (c) DdeDisconnect(c);
        DdeFreeStringHandle(dde_, service);
    }
    DdeFreeStringHandle(dde_, it);
    DdeFreeStringHandle(dde_, topic);
}

void DdeBrowserServer::EchoPage(const std::string& url, const std::string& mime, uint32_t window,
                                const std::string& referrer) {
    SendToReceivers("WWW_URLEcho", UrlEchoItem(url, mime, window, referrer), true);
}

void DdeBrowserServer::ReportProgress(uint32_t transaction, uint32_t size) {
    std::string id = std::to_string(transaction);
    SendToReceivers("WWW_BeginProgress", id + ",\"Loading\"", false);
    SendToReceivers("WWW_SetProgressRange", id + "," + std::to_string(size), true);
    SendToReceivers("WWW_EndProgress", id, false);
}
