// MFile's system calls on POSIX systems. An exclusive advisory lock stands
// in for Windows' unshared open, and errno values are reported as the
// Windows codes that start-up acts on.
#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/mfile.h"

#if defined(__linux__) && !defined(MADV_POPULATE_WRITE)
#define MADV_POPULATE_WRITE 23  // Linux 5.14
#endif

namespace {

uint32_t WindowsCodeOf(int e) {
    switch (e) {
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return 3;  // path not found
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EROFS: case EISDIR: return kErrorAccessDenied;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EWOULDBLOCK: return kErrorSharingViolation;
    case ENOSPC: case EDQUOT: return kErrorDiskFull;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case EFBIG: return 223;
    default: return kErrorGenFailure;
    }
}

}  // namespace

uint32_t MFile::OpenHandle(const char* name, unsigned access, bool replace) {
    int flags = (access & AccessWrite) ? O_RDWR : O_RDONLY;
    int fd = open(name, flags | O_CLOEXEC);
    bool made = false;
    if (fd < 0 && errno == ENOENT && (access & AccessWrite)) {
        fd = open(name, flags | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
        made = fd >= 0;
        // A missing directory on the way, as Windows reports it.
        if (fd < 0 && errno == ENOENT) return 3;
    }
    if (fd < 0) return WindowsCodeOf(errno);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        uint32_t e = WindowsCodeOf(errno);
        close(fd);
        return e;
    }
    // Truncate only once the lock is ours, so that a file in use is untouched.
    if (replace && ftruncate(fd, 0) != 0) {
        uint32_t e = WindowsCodeOf(errno);
        close(fd);
        return e;
    }
    if (!replace) created_ = made;
    file_ = fd;
    return 0;
}

uint32_t MFile::QueryFileSize(uint32_t* bytes) {
    struct stat st;
    if (fstat((int)file_, &st) != 0) return WindowsCodeOf(errno);
    *bytes = st.st_size > (off_t)0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)st.st_size;
    return 0;
}

uint32_t MFile::SetFileEnd(uint32_t bytes) {
    if (ftruncate((int)file_, (off_t)bytes) != 0) return WindowsCodeOf(errno);
    return 0;
}

uint32_t MFile::MapView(uint32_t bytes, bool writable, const char* /*mapping_name*/) {
    if (bytes == 0) return kErrorFileInvalid;
    if (ViewRefused()) return kErrorNotEnoughMemory;
    void* view = mmap(0, bytes, writable ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
                      (int)file_, 0);
    if (view == MAP_FAILED) return WindowsCodeOf(errno);
    base_ = (uint8_t*)view;
    mapping_ = (void*)(uintptr_t)bytes;  // the length munmap needs
    return 0;
}

bool MFile::GrowViewInPlace(uint32_t new_size) {
#ifdef __linux__
    size_t old_bytes = (size_t)(uintptr_t)mapping_;
    if (base_ == 0 || SetFileEnd(new_size) != 0) return false;
    void* view = mremap(base_, old_bytes, new_size, MREMAP_MAYMOVE);
    if (view == MAP_FAILED) {
        SetFileEnd((uint32_t)old_bytes);
        return false;
    }
    base_ = (uint8_t*)view;
    mapping_ = (void*)(uintptr_t)new_size;
    // The allocator writes into the new part page by page.
    madvise(base_ + old_bytes, new_size - old_bytes, MADV_POPULATE_WRITE);
    return true;
#else
    (void)new_size;
    return false;
#endif
}

uint32_t MFile::MapLonger(uint32_t new_size) {
    uint8_t* old_base = base_;
    size_t old_bytes = (size_t)(uintptr_t)mapping_;
    uint32_t e = SetFileEnd(new_size);
    if (e == 0) e = MapView(new_size, true, 0);  // base_ and mapping_ change only on success
    if (e != 0) {
        SetFileEnd((uint32_t)old_bytes);
        return e;
    }
    munmap(old_base, old_bytes);
    return 0;
}

void MFile::UnmapView() {
    if (base_) munmap(base_, (size_t)(uintptr_t)mapping_);
    base_ = 0;
    mapping_ = 0;
}

void MFile::CloseHandle() {
    if (file_ != -1) close((int)file_);
    file_ = -1;
}

// Each first write to a page of a shared file mapping is a fault of its
// own; one call makes them all writable at once. A kernel that does not
// know the call refuses it, and the pages fault in one by one as before.
void MFile::PrepareToWriteAll() {
#ifdef __linux__
    if (base_ != 0 && size_ > 0) madvise(base_, (size_t)size_, MADV_POPULATE_WRITE);
#endif
}

// POSIX defines the bytes added by ftruncate to read as zero.
bool MFile::ExtensionReadsZero() { return true; }
