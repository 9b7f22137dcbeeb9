// MFile's system calls on Windows.
#include <windows.h>

#include "store/mfile.h"

uint32_t MFile::OpenHandle(const char* name, unsigned access, bool replace) {
    DWORD rights = 0;
    if (access & AccessRead) rights |= GENERIC_READ;
    if (access & AccessWrite) rights |= GENERIC_WRITE;
    DWORD disposition = replace ? CREATE_ALWAYS : (access & AccessWrite) ? OPEN_ALWAYS : OPEN_EXISTING;
    // Share mode 0: no other process may open the workspace while it is ours.
    HANDLE h = CreateFileA(name, rights, 0, NULL, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, NULL);
    if (h == INVALID_HANDLE_VALUE) return GetLastError();
    if (disposition == OPEN_ALWAYS) created_ = GetLastError() != ERROR_ALREADY_EXISTS;
    file_ = (intptr_t)h;
    return 0;
}

uint32_t MFile::QueryFileSize(uint32_t* bytes) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx((HANDLE)file_, &n)) return GetLastError();
    *bytes = n.QuadPart > 0xFFFFFFFFLL ? 0xFFFFFFFFu : (uint32_t)n.QuadPart;
    return 0;
}

uint32_t MFile::SetFileEnd(uint32_t bytes) {
    LARGE_INTEGER at;
    at.QuadPart = bytes;
    if (!SetFilePointerEx((HANDLE)file_, at, NULL, FILE_BEGIN)) return GetLastError();
    if (!SetEndOfFile((HANDLE)file_)) return GetLastError();
    return 0;
}

uint32_t MFile::MapView(uint32_t bytes, bool writable, const char* mapping_name) {
    if (ViewRefused()) return kErrorNotEnoughMemory;
    // Size 0 maps the whole file; an empty file fails here with 1006.
    HANDLE m = CreateFileMappingA((HANDLE)file_, NULL, writable ? PAGE_READWRITE : PAGE_READONLY,
                                  0, bytes, mapping_name);
    if (m == NULL) return GetLastError();
    void* view = MapViewOfFile(m, writable ? FILE_MAP_WRITE : FILE_MAP_READ, 0, 0, 0);
    if (view == NULL) {
        DWORD e = GetLastError();
        ::CloseHandle(m);
        return e;
    }
    mapping_ = m;
    base_ = (uint8_t*)view;
    return 0;
}

// A mapping object longer than the file lengthens the file itself; the old
// view and its mapping object stay valid beside the new ones.
uint32_t MFile::MapLonger(uint32_t new_size) {
    uint8_t* old_base = base_;
    void* old_mapping = mapping_;
    uint32_t old_size = (uint32_t)size_;
    uint32_t e = MapView(new_size, true, 0);  // base_ and mapping_ change only on success
    if (e != 0) {
        // Refused while the old view is mapped; then the file stays longer.
        SetFileEnd(old_size);
        return e;
    }
    UnmapViewOfFile(old_base);
    ::CloseHandle((HANDLE)old_mapping);
    return 0;
}

void MFile::UnmapView() {
    if (base_) UnmapViewOfFile(base_);
    if (mapping_) ::CloseHandle((HANDLE)mapping_);
    base_ = 0;
    mapping_ = 0;
}

void MFile::CloseHandle() {
    if (file_ != -1) ::CloseHandle((HANDLE)file_);
    file_ = -1;
}

// SetEndOfFile leaves the contents of the extension undefined.
bool MFile::ExtensionReadsZero() { return false; }

void MFile::PrepareToWriteAll() {}

// A view cannot outgrow its mapping object, and the object cannot be
// lengthened; Extend makes both again.
bool MFile::GrowViewInPlace(uint32_t) { return false; }
