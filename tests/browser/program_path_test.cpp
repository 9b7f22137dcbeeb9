// The path work of browser set-up: where a file name starts, the doctored
// copy's name beside the program, the folder a browser's command starts
// in, and the recommendation check.
#include <gtest/gtest.h>

#include "browser/program_path.h"

TEST(ProgramPath, FileNameStartsAfterTheLastSeparatorOfEitherKind) {
    struct Case { const char* path; size_t offset; } cases[] = {
        {"C:\\Netscape\\Program\\netscape.exe", 20},
        {"C:\\Netscape/Program\\netscape.exe", 20},
        {"C:\\Netscape\\Program/netscape.exe", 20},
        {"C:/a\\b/c.exe", 7},
        {"netscape.exe", 0},
        {"C:netscape.exe", 0},
        {"C:\\", 3},
        {"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.offset, FileNameOffset(c.path)) << c.path;
}

TEST(ProgramPath, TheDoctoredCopySitsBesideTheProgram) {
    struct Case { const char* directory; const char* name; const char* doctored; } cases[] = {
        {"C:\\Netscape\\Program", "netscape.exe", "C:\\Netscape\\Program\\doctored netscape.exe"},
        {"C:\\", "b.exe", "C:\\doctored b.exe"},
        {"C:/tools/", "b.exe", "C:/tools/doctored b.exe"},
        {"C:", "b.exe", "C:\\doctored b.exe"},
        {"", "b.exe", "\\doctored b.exe"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.doctored, DoctoredPath(c.directory, c.name)) << c.directory;
}

TEST(ProgramPath, ACommandStartsInItsProgramsFolder) {
    struct Case { const char* command; const char* folder; } cases[] = {
        {"C:\\Web\\browse.exe -home", "C:\\Web"},
        {"\"C:\\Program Files\\Web\\browse.exe\" -home", "C:\\Program Files\\Web"},
        {"\"C:\\Program Files\\Web\\browse.exe", "C:\\Program Files\\Web"},  // never closed
        {"C:\\Web\\tools/browse.exe", "C:\\Web\\tools"},
        {"C:\\Web/browse.exe --dir C:\\Other\\x", "C:\\Web"},
        {"C:\\browse.exe", "C:"},
        {"browse.exe -x C:\\Web\\", ""},
        {"\"browse.exe\"", ""},
        {"<undef>", ""},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.folder, CommandDirectory(c.command)) << c.command;
}

TEST(ProgramPath, PathsWithSpacesAreQuoted) {
    EXPECT_EQ("\"C:\\Program Files\\doctored b.exe\"", QuotedIfSpaced("C:\\Program Files\\doctored b.exe"));
    EXPECT_EQ("C:\\Web\\b.exe", QuotedIfSpaced("C:\\Web\\b.exe"));
    EXPECT_EQ("", QuotedIfSpaced(""));
}

TEST(ProgramPath, RecommendedBrowserWhateverTheCase) {
    struct Case { const char* program; const char* service; bool recommended; } cases[] = {
        {"C:\\Netscape\\Program\\netscape.exe", "netscape", true},
        {"C:\\NETSCAPE\\nav.exe", "NetScape", true},
        {"C:\\Web\\browse.exe", "netscape", false},
        {"C:\\Netscape\\netscape.exe", "mosaic", false},
        {"C:\\Netscape\\netscape.exe", "netscape2", false},
        {"C:\\Netscape\\netscape.exe", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.recommended, IsRecommendedBrowser(c.program, c.service)) << c.program << " " << c.service;
}
