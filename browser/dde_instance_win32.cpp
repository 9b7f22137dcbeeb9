#include "browser/dde_instance_win32.h"


#include "browser/browser_link_win32.h"

namespace {

HDDEDATA CALLBACK ServerCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data,
                                 ULONG_PTR transaction, ULONG_PTR) {
    if (type == XTYP_XACT_COMPLETE) {
        DdeInstance::Process().Completed((DWORD)transaction, data);
        return 0;
    }
    BrowserLink* link = DdeInstance::Process().link();
    if (link == 0) return 0;
    return link->Serve(type, format, conversation, topic, item, data);
}

}  // namespace

DdeInstance& DdeInstance::Process() {
    static DdeInstance instance;
    return instance;
}

DdeInstance::DdeInstance() : id_(0), init_result_(0), link_(0) {
    for (int i = 0; i < kVerbCount; ++i) verbs_[i] = 0;
    // A failure is not reported here: every later conversation fails and
    // carries this result.
    init_result_ = DdeInitializeA(&id_, ServerCallback, APPCLASS_STANDARD | kDdeInstanceFlags, 0);
}

DdeInstance::~DdeInstance() {
    if (id_ == 0) return;
    for (int i = 0; i < kVerbCount; ++i)
        if (verbs_[i]) DdeFreeStringHandle(id_, verbs_[i]);
    DdeUninitialize(id_);
}

UINT DdeInstance::ErrorCode() const { return init_result_ != 0 ? init_result_ : DdeGetLastError(id_); }

HSZ DdeInstance::VerbHandle(int verb) {
    if (verb < 0 || verb >= kVerbCount) return 0;
    if (verbs_[verb] == 0) verbs_[verb] = MakeString(kVerbTable[verb].name);
    return verbs_[verb];
}

HSZ DdeInstance::MakeString(const char* text) const {
    return id_ ? DdeCreateStringHandleA(id_, text ? text : "", CP_WINANSI) : 0;
}

void DdeInstance::FreeString(HSZ handle) const {
    if (handle) DdeFreeStringHandle(id_, handle);
}

std::string DdeInstance::QueryString(HSZ handle) const {
    if (handle == 0 || id_ == 0) return std::string();
    DWORD length = DdeQueryStringA(id_, handle, 0, 0, CP_WINANSI);
    std::vector<char> text(length + 1, 0);
    DdeQueryStringA(id_, handle, &text[0], length + 1, CP_WINANSI);
    return std::string(&text[0]);
}

bool DdeInstance::Transact(HCONV conversation, HSZ item, UINT type, std::string* reply) {
    reply->clear();
    Waiting w = {0, false, false, std::string()};
    // Held for the whole wait: the other side reads the item's text while
    // we wait, and the library lets go of it once early.
    DdeKeepStringHandle(id_, item);
    HDDEDATA started = DdeClientTransaction(0, 0, conversation, item, CF_TEXT, type, TIMEOUT_ASYNC, &w.id);
    if (started == 0) {
        DdeFreeStringHandle(id_, item);
        return false;
    }
    waiting_.push_back(&w);
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (!w.done && PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Leave it for the loop that waits for it.
                PostQuitMessage((int)msg.wParam);
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD spent = GetTickCount() - start;
        if (w.done || spent >= kDdeTimeout) break;
        MsgWaitForMultipleObjects(0, 0, FALSE, kDdeTimeout - spent, QS_ALLINPUT);
    }
    // Gone from the list whatever happened (inner waits end first).
    for (size_t i = waiting_.size(); i-- > 0;)
        if (waiting_[i] == &w) waiting_.erase(waiting_.begin() + (long)i);
    DdeFreeStringHandle(id_, item);
    if (!w.done) {
        DdeAbandonTransaction(id_, conversation, w.id);
        return false;
    }
    reply->swap(w.data);
    return w.has_data;
}

void DdeInstance::Completed(DWORD transaction, HDDEDATA data) {
    for (size_t i = 0; i < waiting_.size(); ++i) {
        Waiting* w = waiting_[i];
        if (w->id != transaction || w->done) continue;
        w->done = true;
        // The data is the library's, and only until the callback returns.
        DWORD size = 0;
        const BYTE* bytes = data ? DdeAccessData(data, &size) : 0;
        if (bytes) {
            w->has_data = true;
            w->data.assign((const char*)bytes, size);
            DdeUnaccessData(data);
        }
        return;
    }
}
