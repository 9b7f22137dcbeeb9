// The platform-independent half of MFile: the order of the steps and what
// is left behind when one fails. The system calls are in mfile_win32.cpp
// and mfile_posix.cpp.
#include "store/mfile.h"

#include <string.h>

#include "store/layout.h"

namespace {
const uint32_t kErrorFileTooLarge = 223;
}

int MFile::refused_views_ = 0;

bool MFile::ViewRefused() {
    if (refused_views_ <= 0) return false;
    --refused_views_;
    return true;
}

MFile::MFile()
    : file_(-1), mapping_(0), base_(0), error_(0), size_(0), writable_(false), created_(false) {}

MFile::~MFile() { Close(); }

void MFile::Close() {
    UnmapView();
    CloseHandle();
}

bool MFile::OpenExisting(const char* name, unsigned access, const char* mapping_name) {
    Close();
    error_ = 0;
    size_ = 0;
    created_ = false;
    writable_ = (access & AccessWrite) != 0;

    uint32_t bytes = 0;
    uint32_t e = OpenHandle(name, access, false);
    if (e == 0) e = QueryFileSize(&bytes);
    if (e == 0 && bytes > 0x7FFFFFFFu) e = kErrorFileTooLarge;
    if (e == 0) e = MapView(bytes, writable_, mapping_name);
    if (e != 0) {
        error_ = e;
        Close();
        return false;
    }
    size_ = (int32_t)bytes;
    return true;
}

bool MFile::CreateNew(const char* name, const char magic[4], uint8_t minor, uint8_t major,
                      uint32_t header_size, uint32_t room) {
    Close();
    error_ = 0;
    size_ = 0;
    created_ = false;
    writable_ = true;

    uint64_t want = ((uint64_t)header_size + room + 0x203B) & ~(uint64_t)0xFFF;
    uint32_t e = 0;
    if (want > 0x7FFFFFFFu) e = kErrorFileTooLarge;
    if (e == 0) e = OpenHandle(name, AccessRead | AccessWrite, true);
    if (e == 0) e = SetFileEnd((uint32_t)want);
    if (e == 0) e = MapView((uint32_t)want, true, 0);
    uint32_t bytes = 0;
    if (e == 0) e = QueryFileSize(&bytes);
    if (e != 0) {
        error_ = e;
        Close();
        return false;
    }
    created_ = true;
    size_ = (int32_t)bytes;
    memset(base_, 0, bytes);

    memcpy(base_ + layout::kMagic, magic, 4);
    Put16(base_ + layout::kHeaderLayout, layout::kHeaderLayoutValue);
    Put16(base_ + layout::kVersion, (uint16_t)(major * 256 + minor));
    Put32(base_ + layout::kWsHeaderSize, header_size);
    base_[layout::kLowestOrder] = layout::kMinOrder;
    base_[layout::kHighestOrder] = layout::kMaxOrder;
    base_[layout::kChunkOrderField] = layout::kChunkOrder;
    return true;
}

bool MFile::Extend(uint32_t new_size) {
    if (base_ == 0 || !writable_) return false;
    uint32_t old_size = (uint32_t)size_;
    if (new_size <= old_size || new_size > 0x7FFFFFFFu) return false;

    // Growing in place keeps the pages already mapped: remapping the whole
    // view would fault every page of a large workspace in again.
    if (!ViewRefused() && GrowViewInPlace(new_size)) {
        size_ = (int32_t)new_size;
        if (!ExtensionReadsZero()) memset(base_ + old_size, 0, new_size - old_size);
        return true;
    }
    // The old view is let go only once the longer one is there: callers
    // hold offsets into the workspace and must always find it mapped.
    uint32_t e = MapLonger(new_size);
    if (e != 0) {
        error_ = e;
        return false;
    }
    size_ = (int32_t)new_size;
    // Where extended contents are not sure to read as zero, make them so;
    // where they are, writing them would only cost time and dirty pages.
    if (!ExtensionReadsZero()) memset(base_ + old_size, 0, new_size - old_size);
    return true;
}
