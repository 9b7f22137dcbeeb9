#include "tests/support/temp_dir.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32
static const char kSep = '\\';

TempDir::TempDir() {
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static unsigned counter = 0;
    for (;;) {
        char name[MAX_PATH + 64];
        snprintf(name, sizeof name, "%sskeind-test-%lu-%u", base, GetCurrentProcessId(), counter++);
        if (CreateDirectoryA(name, NULL)) {
            path_ = name;
            return;
        }
    }
}

// A folder with everything in it, folders inside included.
static void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    std::string pattern = path + "\\*";
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..")) continue;
            std::string inside = path + kSep + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(inside);
            else
                DeleteFileA(inside.c_str());
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

TempDir::~TempDir() { RemoveTree(path_); }
#else
static const char kSep = '/';

TempDir::TempDir() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/skeind-test-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    if (mkdtemp(buf.data()) == NULL) abort();
    path_ = buf.data();
}

TempDir::~TempDir() {
    DIR* d = opendir(path_.c_str());
    if (d) {
        while (struct dirent* e = readdir(d)) {
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) unlink(File(e->d_name).c_str());
        }
        closedir(d);
    }
    rmdir(path_.c_str());
}
#endif

std::string TempDir::File(const std::string& name) const { return path_ + kSep + name; }

bool FileExists(const std::string& path) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    fclose(f);
    return true;
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
    std::vector<unsigned char> data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return data;
    unsigned char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    fclose(f);
    return data;
}

std::string FileText(const std::string& path) {
    std::vector<unsigned char> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}
