// Program files mapped for the renaming: no sharing while they are open,
// a missing file created by a read-write open.
#include <windows.h>

#include "browser/exe_file.h"

uint32_t MapExeFile(const char* name, bool write, ExeView* view) {
    *view = ExeView();
    HANDLE file = CreateFileA(name, GENERIC_READ | (write ? GENERIC_WRITE : 0), 0, 0, write ? OPEN_ALWAYS : OPEN_EXISTING,
                              FILE_FLAG_RANDOM_ACCESS, 0);
    if (file == INVALID_HANDLE_VALUE) return GetLastError();
    view->file = (intptr_t)file;
    HANDLE mapping = CreateFileMappingA(file, 0, write ? PAGE_READWRITE | SEC_COMMIT : PAGE_READONLY, 0, 0, 0);
    if (mapping == 0) {
        uint32_t error = GetLastError();
        UnmapExeFile(view);
        return error;
    }
    view->mapping = (intptr_t)mapping;
    void* base = MapViewOfFile(mapping, write ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, 0);
    LARGE_INTEGER size;
    if (base == 0 || !GetFileSizeEx(file, &size)) {
        uint32_t error = GetLastError();
        if (base) UnmapViewOfFile(base);
        UnmapExeFile(view);
        return error;
    }
    view->base = (uint8_t*)base;
    view->size = (size_t)size.QuadPart;
    return 0;
}

void UnmapExeFile(ExeView* view) {
    if (view->base && view->file) UnmapViewOfFile(view->base);
    if (view->mapping) CloseHandle((HANDLE)view->mapping);
    if (view->file) CloseHandle((HANDLE)view->file);
    *view = ExeView();
}
