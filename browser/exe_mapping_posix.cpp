// Program files mapped for the renaming on POSIX systems, for the tools
// and tests that run natively. Errors are given as the Windows codes the
// error texts know.
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "browser/exe_file.h"

namespace {

uint32_t WindowsCode(int error) {
    switch (error) {
    case ENOENT: return 2;
    case ENOTDIR: return 3;
    case EACCES: return 5;
    case EEXIST: return 80;
    case ENAMETOOLONG: return 161;
    default: return kExeFileInvalid;
    }
}

}  // namespace

uint32_t MapExeFile(const char* name, bool write, ExeView* view) {
    *view = ExeView();
    int fd = open(name, write ? O_RDWR | O_CREAT : O_RDONLY, 0666);
    if (fd < 0) return WindowsCode(errno);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        close(fd);
        return kExeFileInvalid;  // an empty file cannot be mapped
    }
    void* base = mmap(0, (size_t)st.st_size, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        int error = errno;
        close(fd);
        return WindowsCode(error);
    }
    view->base = (uint8_t*)base;
    view->size = (size_t)st.st_size;
    view->file = fd + 1;  // 0 means none
    return 0;
}

void UnmapExeFile(ExeView* view) {
    if (view->base && view->file) munmap(view->base, view->size);
    if (view->file) close((int)(view->file - 1));
    *view = ExeView();
}
