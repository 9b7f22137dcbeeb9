// Another program of this build started for a test, as its own process,
// and waited for.
#ifndef SKEIND_TESTS_SUPPORT_PROGRAM_WIN32_H
#define SKEIND_TESTS_SUPPORT_PROGRAM_WIN32_H

#include <windows.h>

#include <string>

// Full path of a program built next to the running test program.
std::string BesideThisProgram(const char* file_name);

class Program {
public:
    Program() : process_(NULL), pid_(0) {}
    // One that is still running is ended.
    ~Program();

    // Starts `exe` with the command line text `args` in directory `cwd`
    // (the current one when empty).
    bool Start(const std::string& exe, const std::string& args, const std::string& cwd);
    DWORD pid() const { return pid_; }
    // True with the exit code once it has ended within timeout_ms.
    bool WaitForExit(int timeout_ms, DWORD* code);

private:
    Program(const Program&);
    Program& operator=(const Program&);
    HANDLE process_;
    DWORD pid_;
};

// Runs `exe` to its end: its exit code, or -1 when it did not start or
// end within timeout_ms.
long ExitCodeOf(const std::string& exe, const std::string& args, const std::string& cwd, int timeout_ms);

#endif
