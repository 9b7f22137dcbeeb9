// qmrsk32.dll under Wine: a program doctored to import it runs as the
// original does once the shim sits beside it, and cannot start without it
// (so it really is the shim that it loads).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "browser/exe_file.h"
#include "tests/support/temp_dir.h"

namespace {

std::string Beside(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(0, path, sizeof path);
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of("\\/") + 1) + name;
}

// The program's exit code, or -1 when it could not be started.
long ExitCodeOf(const std::string& program) {
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION info;
    std::string line = "\"" + program + "\"";
    if (!CreateProcessA(0, &line[0], 0, 0, FALSE, 0, 0, 0, &start, &info)) return -1;
    WaitForSingleObject(info.hProcess, 20000);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return (long)code;
}

}  // namespace

TEST(ShimDll, ADoctoredProgramRunsThroughTheShim) {
    TempDir dir;
    std::string plain = dir.File("plain.exe"), doctored = dir.File("doctored.exe");
    ASSERT_TRUE(CopyFileA(Beside("socket_program64.exe").c_str(), plain.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(plain.c_str(), doctored.c_str(), FALSE));
    {
        std::unique_ptr<Coff> file(Coff::Open(doctored.c_str(), true));
        ASSERT_EQ(0u, file->Error());
        ASSERT_TRUE(file->RenameSocketImport());
    }
    EXPECT_EQ(0, ExitCodeOf(plain));
    EXPECT_NE(0, ExitCodeOf(doctored));  // no shim beside it: it cannot start
    ASSERT_TRUE(CopyFileA(SKEIND_SHIM_DLL, dir.File("qmrsk32.dll").c_str(), FALSE));
    EXPECT_EQ(0, ExitCodeOf(doctored));  // WSAStartup and WSACleanup through the shim
}
