#include <windows.h>

#include "observe/load_file.h"

LoadFile::LoadFile(intptr_t handle, const char* path, bool temporary)
    : handle_(handle), path_(path), temporary_(temporary) {}

// A temporary file is deleted after it is closed rather than opened to be
// deleted on close: that would need the browser to have opened it sharing
// deletion, and one that did not could then never write to it again.
LoadFile* LoadFile::Open(const char* path, bool temporary) {
    DWORD share = FILE_SHARE_READ | (temporary ? FILE_SHARE_WRITE : 0);
    HANDLE h = CreateFileA(path, GENERIC_READ, share, 0, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, 0);
    if (h == INVALID_HANDLE_VALUE) return 0;
    return new LoadFile((intptr_t)h, path, temporary);
}

int64_t LoadFile::SizeOf(const char* path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return ((int64_t)data.nFileSizeHigh << 32) | data.nFileSizeLow;
}

bool LoadFile::MakeTemporaryName(std::string* name) {
    char folder[MAX_PATH + 1];
    char file[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n > MAX_PATH) return false;
    if (GetTempFileNameA(folder, "www", 0, file) == 0) return false;
    for (char* p = file; *p; ++p)
        if (*p == '\\') *p = '/';
    *name = file;
    return true;
}

void LoadFile::Delete(const char* path) { DeleteFileA(path); }

LoadFile::~LoadFile() {
    CloseHandle((HANDLE)handle_);
    if (temporary_) DeleteFileA(path_.c_str());
}

int64_t LoadFile::Size() const {
    LARGE_INTEGER size;
    return GetFileSizeEx((HANDLE)handle_, &size) ? size.QuadPart : 0;
}

int LoadFile::Read(char* buffer, int size) {
    DWORD got = 0;
    if (!ReadFile((HANDLE)handle_, buffer, (DWORD)size, &got, 0)) return -1;
    return (int)got;
}
