#include "shell/version_text.h"

#include <stdio.h>

std::string FileVersionText(unsigned major, unsigned minor, unsigned third) {
    char text[48];
    if (third != 0)
        snprintf(text, sizeof text, "%u.%u.%02u", major, minor, third);
    else
        snprintf(text, sizeof text, "%u.%u", major, minor);
    return text;
}

void AboutVersionText(char* out, size_t size, const char* version_word, const char* program_version,
                      const char* shim_name, const char* shim_version) {
    if (size == 0) return;
    if (shim_name && shim_version)
        snprintf(out, size, "%s %s\n%s %s %s", version_word, program_version, shim_name, version_word, shim_version);
    else
        snprintf(out, size, "%s %s", version_word, program_version);
}
