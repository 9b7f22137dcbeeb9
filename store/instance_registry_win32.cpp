#include "store/instance_registry.h"

#include "store/instance_table.h"

namespace {

const char kMutexName[] = "skeind-instances-mutex";
const char kSectionName[] = "skeind-instances-data";

// Window handles are 32-bit values on every Windows, kept sign-extended in
// a 64-bit HWND.
uint32_t HandleValue(HWND w) { return (uint32_t)(uintptr_t)w; }
HWND WindowOf(uint32_t v) { return (HWND)(intptr_t)(int32_t)v; }

// Holds the mutex for one change or walk of the block.
class Guard {
public:
    explicit Guard(HANDLE mutex) : mutex_(mutex) {
        if (mutex_ && WaitForSingleObject(mutex_, 5000) != WAIT_OBJECT_0) mutex_ = 0;
    }
    ~Guard() {
        if (mutex_) ReleaseMutex(mutex_);
    }

private:
    HANDLE mutex_;
};

}  // namespace

InstanceRegistry::InstanceRegistry() : mapping_(0), mutex_(0), view_(0), size_(0), created_(false) {
    mutex_ = CreateMutexA(0, FALSE, kMutexName);
    bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    if (!mutex_) return;
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    size_ = info.dwPageSize < 1024 ? 1024 : info.dwPageSize;
    if (existed) {
        mapping_ = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kSectionName);
    } else {
        mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, 0, PAGE_READWRITE, 0, (DWORD)size_, kSectionName);
        created_ = mapping_ != 0;
    }
    if (!mapping_) return;
    view_ = (uint8_t*)MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!view_) return;
    // A block made by another copy is only as large as that copy made it.
    MEMORY_BASIC_INFORMATION region;
    if (!created_ && VirtualQuery(view_, &region, sizeof region) && region.RegionSize < size_)
        size_ = region.RegionSize;
    Guard guard(mutex_);
    InstanceTable table(view_, size_);
    if (!table.HasSignature()) {
        if (created_) {
            table.Initialise();
        } else {
            UnmapViewOfFile(view_);
            view_ = 0;
        }
    }
}

InstanceRegistry::~InstanceRegistry() {
    if (view_) UnmapViewOfFile(view_);
    if (mapping_) CloseHandle(mapping_);
    if (mutex_) CloseHandle(mutex_);
}

void InstanceRegistry::Register(HWND window, const char* name) {
    if (!view_) return;
    Guard guard(mutex_);
    InstanceTable(view_, size_).Register(HandleValue(window), name);
}

void InstanceRegistry::Unregister(HWND window) {
    if (!view_) return;
    Guard guard(mutex_);
    InstanceTable(view_, size_).Unregister(HandleValue(window));
}

LRESULT InstanceRegistry::Activate(const char* name) {
    if (!view_) return 0;
    uint32_t found;
    {
        Guard guard(mutex_);
        found = InstanceTable(view_, size_).Find(name);
    }
    if (found == 0) return 0;
    OutputDebugStringA("Activating other instance of Skeindle...\n");
    // Sent outside the lock: the other copy may walk the block meanwhile.
    return SendMessageA(WindowOf(found), kActivateMessage, 0, 0);
}

std::string InstanceRegistry::ShortFullPath(const char* file_name) {
    char full[MAX_PATH + 1];
    DWORD n = GetFullPathNameA(file_name, sizeof full, full, 0);
    if (n == 0 || n > MAX_PATH) return file_name;
    char brief[MAX_PATH + 1];
    DWORD m = GetShortPathNameA(full, brief, sizeof brief);
    if (m == 0 || m > MAX_PATH) return full;
    return brief;
}

InstanceRegistry& InstanceRegistry::Process() {
    static InstanceRegistry registry;
    return registry;
}
