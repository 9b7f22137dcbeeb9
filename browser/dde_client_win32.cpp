#include "browser/dde_client_win32.h"

#include <dde.h>

#include <algorithm>
#include <vector>

namespace {

const UINT kJobMessage = WM_APP + 0x40;

// Time the caller allows beyond the transaction's own timeout for the
// connection and its retry.
const DWORD kConnectAllowance = 1500;
const DWORD kNudgeInterval = 20;

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return 0; }

// Time a caller gives an exchange that timed out to finish saying
// goodbye before the next one is refused.
const DWORD kGoodbyeGrace = 200;

// What the caller's thread handles while it waits: whatever a browser
// sends or posts to its DDE windows, and painting. Input and timers stay
// queued, so no command runs in the middle of another.
void HandleTrafficAndPaint() {
    MSG msg;
    while (PeekMessageA(&msg, 0, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) DispatchMessageA(&msg);
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE | PM_QS_PAINT)) DispatchMessageA(&msg);
    PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

// Waits for `event` at most `limit` ms, handling the traffic above.
bool WaitHandlingTraffic(HANDLE event, DWORD limit) {
    DWORD start = GetTickCount();
    for (DWORD spent = 0; spent < limit; spent = GetTickCount() - start) {
        DWORD woke = MsgWaitForMultipleObjects(1, &event, FALSE, limit - spent, QS_SENDMESSAGE | QS_POSTMESSAGE | QS_PAINT);
        if (woke == WAIT_OBJECT_0) return true;
        HandleTrafficAndPaint();
    }
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

// The client thread's own pause: its conversation windows keep working.
void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    for (DWORD spent = 0; spent < ms; spent = GetTickCount() - start) {
        MsgWaitForMultipleObjects(0, 0, FALSE, ms - spent, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, 0, WM_DDE_FIRST, WM_DDE_LAST, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

BOOL CALLBACK AddWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> ThisThreadsWindows() {
    std::vector<HWND> windows;
    EnumThreadWindows(GetCurrentThreadId(), AddWindow, (LPARAM)&windows);
    return windows;
}

// Some DDE libraries leave the window of a conversation that found no
// server. Each would be sent every later connection broadcast on the
// desktop, and a search every few seconds would use up the process's
// windows within hours.
HCONV Connect(DWORD instance, HSZ service, HSZ topic) {
    std::vector<HWND> before = ThisThreadsWindows();
    HCONV conversation = DdeConnect(instance, service, topic, 0);
    if (conversation == 0) {
        std::vector<HWND> after = ThisThreadsWindows();
        for (size_t i = 0; i < after.size(); ++i)
            if (std::find(before.begin(), before.end(), after[i]) == before.end()) DestroyWindow(after[i]);
    }
    return conversation;
}

}  // namespace

// Shared by the caller and the thread; the last to let go frees it, so a
// caller that gave up on a hung browser leaves nothing dangling.
struct DdeClientThread::Job {
    DdeExchange exchange;
    HANDLE done;
    volatile LONG holders;
    volatile LONG given_up;
    LONG number;

    Job() : done(CreateEventA(0, TRUE, FALSE, 0)), holders(2), given_up(0), number(0) {}
    void Release() {
        if (InterlockedDecrement(&holders) != 0) return;
        CloseHandle(done);
        delete this;
    }
};

DdeClientThread::DdeClientThread()
    : thread_(0),
      thread_id_(0),
      ready_(CreateEventA(0, TRUE, FALSE, 0)),
      finished_event_(CreateEventA(0, FALSE, FALSE, 0)),
      posted_(0),
      finished_(0),
      doubtful_(0),
      nudger_(0),
      stop_(CreateEventA(0, TRUE, FALSE, 0)),
      inside_library_(0),
      instance_(0),
      init_result_(DMLERR_SYS_ERROR) {
    for (int i = 0; i < kVerbCount; ++i) verbs_[i] = 0;
    thread_ = CreateThread(0, 0, ThreadMain, this, 0, &thread_id_);
    // The thread's queue must exist before the first job is posted to it.
    if (thread_) WaitForSingleObject(ready_, INFINITE);
    if (thread_) nudger_ = CreateThread(0, 0, NudgerMain, this, 0, 0);
}

DdeClientThread::~DdeClientThread() {
    SetEvent(stop_);
    if (nudger_) {
        WaitForSingleObject(nudger_, INFINITE);
        CloseHandle(nudger_);
    }
    if (thread_) {
        PostThreadMessageA(thread_id_, WM_QUIT, 0, 0);
        // A thread stuck on a hung browser is left to the process's end.
        WaitForSingleObject(thread_, 2000);
        CloseHandle(thread_);
    }
    CloseHandle(ready_);
    CloseHandle(finished_event_);
    CloseHandle(stop_);
}

DWORD WINAPI DdeClientThread::NudgerMain(LPVOID param) {
    DdeClientThread* self = static_cast<DdeClientThread*>(param);
    while (WaitForSingleObject(self->stop_, kNudgeInterval) == WAIT_TIMEOUT)
        if (self->inside_library_) PostThreadMessageA(self->thread_id_, WM_NULL, 0, 0);
    return 0;
}

DWORD WINAPI DdeClientThread::ThreadMain(LPVOID self) {
    static_cast<DdeClientThread*>(self)->Loop();
    return 0;
}

void DdeClientThread::Loop() {
    MSG msg;
    PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);  // makes the queue
    init_result_ = DdeInitializeA(&instance_, ClientCallback, APPCMD_CLIENTONLY | CBF_SKIP_ALLNOTIFICATIONS, 0);
    SetEvent(ready_);
    while (GetMessageA(&msg, 0, 0, 0) > 0) {
        if (msg.hwnd == 0 && msg.message == kJobMessage) {
            Job* job = reinterpret_cast<Job*>(msg.lParam);
            // One the caller gave up on would surprise the user if done now.
            if (!job->given_up) Perform(job);
            SetEvent(job->done);
            InterlockedExchange(&finished_, job->number);
            SetEvent(finished_event_);
            job->Release();
        } else {
            DispatchMessageA(&msg);
        }
    }
    if (instance_) {
        for (int i = 0; i < kVerbCount; ++i)
            if (verbs_[i]) DdeFreeStringHandle(instance_, verbs_[i]);
        DdeUninitialize(instance_);
    }
}

UINT DdeClientThread::ErrorCode() const { return init_result_ != DMLERR_NO_ERROR ? init_result_ : DdeGetLastError(instance_); }

void DdeClientThread::Perform(Job* job) {
    DdeExchange* x = &job->exchange;
    if (init_result_ != DMLERR_NO_ERROR) {
        x->error = init_result_;
        return;
    }
    if (x->verb < 0 || x->verb >= kVerbCount) {
        x->error = DMLERR_INVALIDPARAMETER;
        return;
    }
    if (verbs_[x->verb] == 0) verbs_[x->verb] = DdeCreateStringHandleA(instance_, kVerbTable[x->verb].name, CP_WINANSI);
    HSZ service = DdeCreateStringHandleA(instance_, x->service.c_str(), CP_WINANSI);
    InterlockedExchange(&inside_library_, 1);
    HCONV conversation = Connect(instance_, service, verbs_[x->verb]);
    if (conversation == 0) {
        // A browser starting a conversation with the program at this very
        // moment can make ours fail once.
        PumpFor(100);
        conversation = Connect(instance_, service, verbs_[x->verb]);
    }
    DdeFreeStringHandle(instance_, service);
    if (conversation == 0) {
        InterlockedExchange(&inside_library_, 0);
        x->error = ErrorCode();
        return;
    }
    x->connected = true;
    HSZ item = DdeCreateStringHandleA(instance_, x->item.c_str(), CP_WINANSI);
    HDDEDATA data = DdeClientTransaction(0, 0, conversation, item, CF_TEXT, x->poke ? XTYP_POKE : XTYP_REQUEST,
                                         kDdeTimeout, 0);
    if (data == 0) {
        x->error = ErrorCode();
    } else if (x->poke) {
        x->answered = true;  // a poke's answer carries no data
    } else {
        DWORD size = 0;
        const BYTE* bytes = DdeAccessData(data, &size);
        if (bytes) {
            x->reply.assign((const char*)bytes, size);
            x->answered = true;
            DdeUnaccessData(data);
        }
        DdeFreeDataHandle(data);
    }
    DdeFreeStringHandle(instance_, item);
    SetEvent(job->done);  // the caller need not wait for the goodbye
    DdeDisconnect(conversation);
    InterlockedExchange(&inside_library_, 0);
}

void DdeClientThread::Run(DdeExchange* exchange) {
    if (thread_ == 0) {
        exchange->error = DMLERR_SYS_ERROR;
        return;
    }
    // After a timeout the thread may be stuck saying goodbye to a hung
    // browser: refuse rather than make the caller wait behind it.
    DWORD start = GetTickCount();
    while (finished_ < doubtful_ && GetTickCount() - start < kGoodbyeGrace)
        WaitHandlingTraffic(finished_event_, kGoodbyeGrace - (GetTickCount() - start));
    if (finished_ < doubtful_) {
        exchange->connected = true;
        exchange->error = DMLERR_BUSY;
        return;
    }
    Job* job = new Job;
    job->exchange = *exchange;
    job->number = ++posted_;
    if (!PostThreadMessageA(thread_id_, kJobMessage, 0, (LPARAM)job)) {
        job->Release();
        job->Release();
        exchange->error = DMLERR_SYS_ERROR;
        return;
    }
    if (WaitHandlingTraffic(job->done, kDdeTimeout + kConnectAllowance)) {
        *exchange = job->exchange;
        if (exchange->connected && !exchange->answered) doubtful_ = job->number;
    } else {
        InterlockedExchange(&job->given_up, 1);
        doubtful_ = job->number;
        exchange->connected = true;  // stuck inside a conversation, not refused
        exchange->error = DMLERR_BUSY;
    }
    job->Release();
}
