#include "tests/browser/test_browser_process.h"

#include <fstream>

#include "tests/support/program_win32.h"

void PumpMessages(int ms) {
    DWORD end = GetTickCount() + (DWORD)ms;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if ((int)(end - GetTickCount()) <= 0) return;
        MsgWaitForMultipleObjects(0, 0, FALSE, 10, QS_ALLINPUT);
    }
}

TestBrowserProcess::~TestBrowserProcess() { Stop(); }

bool TestBrowserProcess::Start(const std::string& log_path, const std::string& args) {
    log_path_ = log_path;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, 0, TRUE};
    HANDLE read_end = 0;
    if (!CreatePipe(&read_end, &input_, &inherit, 0)) return false;
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    std::string exe = BesideThisProgram("testbrowser.exe");
    std::string line = "\"" + exe + "\" " + args + " --log \"" + log_path + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = read_end;
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    BOOL started = CreateProcessA(exe.c_str(), &line[0], 0, 0, TRUE, 0, 0, 0, &si, &pi);
    CloseHandle(read_end);
    if (!started) return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    return WaitFor("ready", 10000);
}

void TestBrowserProcess::Send(const std::string& line) {
    std::string text = line + "\n";
    DWORD written;
    if (input_) WriteFile(input_, text.data(), (DWORD)text.size(), &written, 0);
}

bool TestBrowserProcess::Sync() {
    std::string mark = std::to_string(++marks_);
    Send("mark " + mark);
    return WaitFor("mark " + mark + " ");
}

bool TestBrowserProcess::WaitFor(const std::string& prefix, int timeout_ms) {
    DWORD end = GetTickCount() + (DWORD)timeout_ms;
    for (;;) {
        if (!LinesStarting(prefix).empty()) return true;
        if ((int)(end - GetTickCount()) <= 0) return false;
        PumpMessages(20);
    }
}

std::vector<std::string> TestBrowserProcess::Lines() const {
    std::vector<std::string> lines;
    std::ifstream in(log_path_.c_str());
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::vector<std::string> TestBrowserProcess::LinesStarting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : Lines())
        if (line.compare(0, prefix.size(), prefix) == 0) found.push_back(line);
    return found;
}

void TestBrowserProcess::Stop() {
    if (input_) {
        Send("exit");
        CloseHandle(input_);
        input_ = 0;
    }
    if (process_) {
        // Its service goes away while we pump: the link sees it leave.
        DWORD end = GetTickCount() + 5000;
        while (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT && (int)(end - GetTickCount()) > 0) PumpMessages(20);
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
        CloseHandle(process_);
        process_ = 0;
    }
}
