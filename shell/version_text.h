// The version lines of the About box, kept free of system calls so that
// they build and are tested natively as well.
#ifndef SKEIND_SHELL_VERSION_TEXT_H
#define SKEIND_SHELL_VERSION_TEXT_H

#include <stddef.h>

#include <string>

// A file version as the About box writes it: major.minor, then a third
// part of at least two digits when it is not 0 (0.11.5 is "0.11.05",
// 1.2.0 is "1.2").
std::string FileVersionText(unsigned major, unsigned minor, unsigned third);

// "version 1.0.16d", and when the socket shim was found with a version, a
// line feed and "qmrsk32.dll version 0.11.05". `shim_name` and
// `shim_version` are 0 when there is no such line. The text is cut to fit
// `size` bytes with its terminating zero.
void AboutVersionText(char* out, size_t size, const char* version_word, const char* program_version,
                      const char* shim_name, const char* shim_version);

#endif
