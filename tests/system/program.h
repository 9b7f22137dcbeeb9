// Starting the real skeind.exe for a test and waiting for it to end.
#ifndef SKEIND_TESTS_SYSTEM_PROGRAM_H
#define SKEIND_TESTS_SYSTEM_PROGRAM_H

#include <windows.h>

#include <string>

// Full path of a program built next to the running test program.
std::string BesideThisProgram(const char* file_name);

// A program that finds no browser as it starts offers to start one: the
// offer answered Cancel, as a user without a browser would answer it.
// False when no offer came within timeout_ms.
bool DeclineBrowserOffer(DWORD pid, int timeout_ms);

class Program {
public:
    Program() : process_(NULL), pid_(0) {}
    ~Program();

    // Starts `exe` with the command line text `args` in directory `cwd`.
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

#endif
