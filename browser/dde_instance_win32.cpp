#include "browser/dde_instance_win32.h"

#include <vector>

#include "browser/browser_link_win32.h"

namespace {

HDDEDATA CALLBACK ServerCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data,
                                 ULONG_PTR, ULONG_PTR) {
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
    // A failure is not reported here: every later conversation fails and
    // carries this result.
    init_result_ = DdeInitializeA(&id_, ServerCallback, APPCLASS_STANDARD | kDdeInstanceFlags, 0);
}

DdeInstance::~DdeInstance() {
    if (id_ != 0) DdeUninitialize(id_);
}

UINT DdeInstance::ErrorCode() const { return init_result_ != 0 ? init_result_ : DdeGetLastError(id_); }

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

void DdeInstance::Exchange(DdeExchange* exchange) {
    if (init_result_ != DMLERR_NO_ERROR) {
        exchange->error = init_result_;
        return;
    }
    client_.Run(exchange);
}
