// Texts loaded from the program's own string-table resources, each once.
#include <windows.h>

#include <map>
#include <string>

#include "res/strings.h"

const char* AppString(int id) {
    static std::map<int, std::string> loaded;
    std::map<int, std::string>::iterator it = loaded.find(id);
    if (it != loaded.end()) return it->second.c_str();
    char buf[2048];
    int n = LoadStringA(GetModuleHandleA(NULL), (UINT)id, buf, sizeof buf);
    return loaded[id].assign(buf, n > 0 ? (size_t)n : 0).c_str();
}
