// Real program files that no one here wrote byte by byte: programs the
// toolchains linked against the socket library (64- and 32-bit), one
// that does not import it, and the system's own programs, each renamed on
// a copy; and a file held open by someone else.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "browser/exe_file.h"
#include "tests/support/program_win32.h"
#include "tests/support/temp_dir.h"

namespace {

struct Renamed {
    uint32_t error = 0;
    bool renamed = false;
    std::vector<unsigned char> before, after;
};

Renamed RenameCopy(const std::string& original, const std::string& copy) {
    Renamed r;
    EXPECT_TRUE(CopyFileA(original.c_str(), copy.c_str(), FALSE)) << original;
    r.before = ReadWholeFile(copy);
    {
        std::unique_ptr<Coff> file(Coff::Open(copy.c_str(), true));
        r.error = file->Error();
        if (r.error == 0) {
            r.renamed = file->RenameSocketImport();
            r.error = file->Error();
        }
    }
    r.after = ReadWholeFile(copy);
    return r;
}

// The one run of changed bytes, or "" when more than 11 bytes apart differ.
std::string ChangedName(const Renamed& r) {
    size_t first = 0, last = 0, count = 0;
    for (size_t i = 0; i < r.before.size() && i < r.after.size(); ++i) {
        if (r.before[i] == r.after[i]) continue;
        if (count++ == 0) first = i;
        last = i;
    }
    if (count == 0 || last - first >= 11 || r.after.size() < first + 11) return "";
    return std::string(r.after.begin() + first, r.after.begin() + first + 11);
}

}  // namespace

TEST(ExeFileWin32, ProgramsLinkedAgainstTheSocketLibraryAreDoctored) {
    TempDir dir;
    for (const char* program : {"socket_program64.exe", "socket_program32.exe"}) {
        SCOPED_TRACE(program);
        Renamed r = RenameCopy(BesideThisProgram(program), dir.File(program));
        EXPECT_EQ(0u, r.error);
        EXPECT_TRUE(r.renamed);
        EXPECT_EQ(r.before.size(), r.after.size());
        // Only the name changed; whatever its case, the new one is written
        // as it is spelt, and the zero after it stays.
        std::string changed = ChangedName(r);
        EXPECT_TRUE(changed.compare(0, 5, "qmrsk") == 0) << changed;
        std::string text(r.after.begin(), r.after.end());
        EXPECT_NE(std::string::npos, text.find(std::string("qmrsk32.dll\0", 12)));
    }
}

TEST(ExeFileWin32, ProgramsWithoutTheSocketImportAreLeftAlone) {
    TempDir dir;
    char system[MAX_PATH];
    GetSystemDirectoryA(system, sizeof system);
    const std::string programs[] = {BesideThisProgram("testbrowser.exe"), std::string(system) + "\\notepad.exe",
                                    std::string(system) + "\\cmd.exe"};
    for (const std::string& program : programs) {
        SCOPED_TRACE(program);
        Renamed r = RenameCopy(program, dir.File("copy.exe"));
        EXPECT_FALSE(r.renamed);
        EXPECT_EQ(kExeImportNotFound, r.error);
        EXPECT_TRUE(r.before == r.after);
    }
}

TEST(ExeFileWin32, AFileHeldOpenElsewhereIsInUse) {
    TempDir dir;
    std::string copy = dir.File("held.exe");
    ASSERT_TRUE(CopyFileA(BesideThisProgram("socket_program64.exe").c_str(), copy.c_str(), FALSE));
    HANDLE held = CreateFileA(copy.c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(32u, std::unique_ptr<Coff>(Coff::Open(copy.c_str(), true))->Error());
    CloseHandle(held);
    EXPECT_EQ(0u, std::unique_ptr<Coff>(Coff::Open(copy.c_str(), true))->Error());
}
