// The path and command-line work of browser set-up: where a program file's
// name starts, the name of its doctored copy, the folder a browser's
// command starts in, and whether a program and service are the kind the
// program is recommended with. Portable.
#ifndef SKEIND_BROWSER_PROGRAM_PATH_H
#define SKEIND_BROWSER_PROGRAM_PATH_H

#include <stddef.h>

#include <string>

// Where the file name starts: just after the last '\' or '/'; 0 when the
// path has neither.
size_t FileNameOffset(const char* path);

// The doctored copy's path: "doctored " and the file name, in `directory`
// (a '\' is put between unless the directory already ends in one).
std::string DoctoredPath(const std::string& directory, const char* file_name);

// The folder of the program a command line starts: the first word, or the
// text inside leading double quotes, up to its last '\' or '/'. Empty when
// the program is named without a folder.
std::string CommandDirectory(const char* command);

// A path as a command line names it: in double quotes when it has a space.
std::string QuotedIfSpaced(const std::string& path);

// The program path has "netscape" in it and the service is "netscape",
// both regardless of case.
bool IsRecommendedBrowser(const char* program_path, const char* service);

#endif
