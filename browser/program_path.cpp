#include "browser/program_path.h"

#include <string.h>

#include "browser/browser_list.h"

size_t FileNameOffset(const char* path) {
    size_t offset = 0;
    for (size_t i = 0; path[i]; ++i)
        if (path[i] == '\\' || path[i] == '/') offset = i + 1;
    return offset;
}

std::string DoctoredPath(const std::string& directory, const char* file_name) {
    std::string path = directory;
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    return path + "doctored " + file_name;
}

std::string CommandDirectory(const char* command) {
    std::string program;
    if (command[0] == '"') {
        const char* end = strchr(command + 1, '"');
        program.assign(command + 1, end ? end : command + strlen(command));
    } else {
        const char* end = strchr(command, ' ');
        program.assign(command, end ? end : command + strlen(command));
    }
    size_t offset = FileNameOffset(program.c_str());
    return offset == 0 ? std::string() : program.substr(0, offset - 1);
}

std::string QuotedIfSpaced(const std::string& path) {
    if (path.find(' ') == std::string::npos) return path;
    return "\"" + path + "\"";
}

bool IsRecommendedBrowser(const char* program_path, const char* service) {
    return LowerAscii(program_path).find("netscape") != std::string::npos && LowerAscii(service) == "netscape";
}
