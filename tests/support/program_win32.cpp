#include "tests/support/program_win32.h"

std::string BesideThisProgram(const char* file_name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof path);
    std::string dir(path, n);
    size_t slash = dir.find_last_of("\\/");
    return dir.substr(0, slash + 1) + file_name;
}

Program::~Program() {
    if (process_) {
        DWORD code;
        if (!WaitForExit(0, &code)) TerminateProcess(process_, 99);
        CloseHandle(process_);
    }
}

bool Program::Start(const std::string& exe, const std::string& args, const std::string& cwd) {
    std::string line = "\"" + exe + "\"";
    if (!args.empty()) line += " " + args;
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessA(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, cwd.empty() ? NULL : cwd.c_str(), &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    pid_ = pi.dwProcessId;
    return true;
}

bool Program::WaitForExit(int timeout_ms, DWORD* code) {
    if (!process_ || WaitForSingleObject(process_, (DWORD)timeout_ms) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_, code) != 0;
}

long ExitCodeOf(const std::string& exe, const std::string& args, const std::string& cwd, int timeout_ms) {
    Program program;
    DWORD code = 0;
    if (!program.Start(exe, args, cwd) || !program.WaitForExit(timeout_ms, &code)) return -1;
    return (long)code;
}
