// The workspace file, opened unshared and mapped whole into memory.
//
// There is no save step: every change is a store into the view and the
// operating system writes it back. Two implementations share this header:
// mfile_win32.cpp (CreateFile, CreateFileMapping, MapViewOfFile) and
// mfile_posix.cpp (open with an exclusive lock, mmap), which reports its
// failures with the same Windows error codes so that start-up treats both
// alike.
#ifndef SKEIND_STORE_MFILE_H
#define SKEIND_STORE_MFILE_H

#include <stdint.h>

// Windows error codes the start-up acts on; the POSIX side maps to these.
const uint32_t kErrorFileNotFound = 2;
const uint32_t kErrorAccessDenied = 5;
const uint32_t kErrorNotEnoughMemory = 8;
const uint32_t kErrorGenFailure = 31;
const uint32_t kErrorSharingViolation = 32;
const uint32_t kErrorDiskFull = 112;
const uint32_t kErrorFilenameTooLong = 206;
const uint32_t kErrorFileInvalid = 1006;  // an empty file cannot be mapped

class MFile {
public:
    enum { AccessRead = 1, AccessWrite = 2 };

    MFile();
    ~MFile();

    // Opens the file unshared and maps all of it. With AccessWrite a missing
    // file is created empty (and then fails to map with kErrorFileInvalid).
    // The outcome is in error(); created() tells whether this call made the
    // file. mapping_name is for a named mapping; the workspace passes none.
    bool OpenExisting(const char* name, unsigned access, const char* mapping_name);

    // Creates (replacing) a file of (header_size + room + 0x203B) & ~0xFFF
    // bytes, zeroed, and writes the file header. The rest of the layout is
    // the allocator's business.
    bool CreateNew(const char* name, const char magic[4], uint8_t minor, uint8_t major,
                   uint32_t header_size, uint32_t room);

    // Unmaps and closes; safe to call twice.
    void Close();

    // A hint before work that writes into nearly every page of the view
    // (the start-up check): where the system can, the pages are made
    // writable in one go rather than by a fault each.
    void PrepareToWriteAll();

    // Extends the file to new_size bytes and maps it again. The view may
    // move. On failure the old size and the old view, untouched, are kept,
    // and false is returned with error() set.
    bool Extend(uint32_t new_size);

    // For the tests of failed growth: the next `count` views asked of the
    // system (new ones, or old ones grown in place) are refused as if there
    // were no address space left (kErrorNotEnoughMemory). 0 ends it.
    static void RefuseViewsForTest(int count) { refused_views_ = count; }

    uint32_t error() const { return error_; }
    int32_t size() const { return size_; }
    uint8_t* base() const { return base_; }
    bool created() const { return created_; }

private:
    MFile(const MFile&);
    MFile& operator=(const MFile&);

    // The platform half: map `bytes` of the open file (read/write or
    // read-only), unmap, set the end of file. Each returns 0 or an error code.
    uint32_t MapView(uint32_t bytes, bool writable, const char* mapping_name);
    void UnmapView();
    uint32_t SetFileEnd(uint32_t bytes);
    // Lengthens the file and its view without unmapping what is mapped;
    // false (file and view as they were) where the system cannot.
    bool GrowViewInPlace(uint32_t new_size);
    // Lengthens the file and maps a second, longer view of it while the
    // current view stays; only then is the current one let go. On failure
    // the current view is as it was and the file is given back its length
    // where the system lets a mapped file be shortened (a longer file is
    // harmless: the check gives the unused stretch to the allocator).
    uint32_t MapLonger(uint32_t new_size);
    uint32_t OpenHandle(const char* name, unsigned access, bool replace);
    uint32_t QueryFileSize(uint32_t* bytes);
    void CloseHandle();
    // Whether bytes added by extending the file are sure to read as zero.
    static bool ExtensionReadsZero();
    // Whether this view is to be refused (RefuseViewsForTest).
    static bool ViewRefused();

    intptr_t file_;     // HANDLE or file descriptor; -1 when closed
    void* mapping_;     // mapping HANDLE (Windows); unused elsewhere
    uint8_t* base_;
    uint32_t error_;
    int32_t size_;
    bool writable_;
    bool created_;

    static int refused_views_;
};

#endif
