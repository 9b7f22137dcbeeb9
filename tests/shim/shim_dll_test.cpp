// qmrsk32.dll under Wine: a program doctored to import it runs as the
// original does once the shim sits beside it, and cannot start without it
// (so it really is the shim that it loads).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "browser/exe_file.h"
#include "tests/support/program_win32.h"
#include "tests/support/temp_dir.h"

TEST(ShimDll, ADoctoredProgramRunsThroughTheShim) {
    TempDir dir;
    std::string plain = dir.File("plain.exe"), doctored = dir.File("doctored.exe");
    ASSERT_TRUE(CopyFileA(BesideThisProgram("socket_program64.exe").c_str(), plain.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(plain.c_str(), doctored.c_str(), FALSE));
    {
        std::unique_ptr<Coff> file(Coff::Open(doctored.c_str(), true));
        ASSERT_EQ(0u, file->Error());
        ASSERT_TRUE(file->RenameSocketImport());
    }
    EXPECT_EQ(0, ExitCodeOf(plain, "", "", 20000));
    EXPECT_NE(0, ExitCodeOf(doctored, "", "", 20000));  // no shim beside it: it cannot start
    ASSERT_TRUE(CopyFileA(SKEIND_SHIM_DLL, dir.File("qmrsk32.dll").c_str(), FALSE));
    EXPECT_EQ(0, ExitCodeOf(doctored, "", "", 20000));  // WSAStartup and WSACleanup through the shim
}
