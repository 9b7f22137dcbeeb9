#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "observe/load_file.h"

LoadFile::LoadFile(intptr_t handle, const char* path, bool temporary)
    : handle_(handle), path_(path), temporary_(temporary) {}

LoadFile* LoadFile::Open(const char* path, bool temporary) {
    int fd = open(path, O_RDONLY);
    if (fd < 0) return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return 0;
    }
    return new LoadFile(fd, path, temporary);
}

int64_t LoadFile::SizeOf(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
    return (int64_t)st.st_size;
}

bool LoadFile::MakeTemporaryName(std::string* name) {
    const char* folder = getenv("TMPDIR");
    std::string pattern = std::string(folder && *folder ? folder : "/tmp") + "/wwwXXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return false;
    close(fd);
    *name = pattern;
    return true;
}

void LoadFile::Delete(const char* path) { unlink(path); }

LoadFile::~LoadFile() {
    close((int)handle_);
    if (temporary_) unlink(path_.c_str());
}

int64_t LoadFile::Size() const {
    struct stat st;
    return fstat((int)handle_, &st) == 0 ? (int64_t)st.st_size : 0;
}

int LoadFile::Read(char* buffer, int size) {
    ssize_t got = read((int)handle_, buffer, (size_t)size);
    return got < 0 ? -1 : (int)got;
}
