// InstanceRegistry: which running copy of the program has which workspace
// open, kept in named shared memory so that a second copy started on a
// file already open can bring the first copy forward and end. Every
// failure leaves the registry unusable, silently. Windows only.
#ifndef SKEIND_STORE_INSTANCE_REGISTRY_H
#define SKEIND_STORE_INSTANCE_REGISTRY_H

#include <windows.h>

#include <string>

// The message a copy is sent to come forward.
const UINT kActivateMessage = 0x1404;

class InstanceRegistry {
public:
    // Opens the shared block, or creates it when this is the first copy.
    InstanceRegistry();
    ~InstanceRegistry();

    bool usable() const { return view_ != 0; }
    bool created() const { return created_; }

    // Records the main window for the workspace (the short full path).
    void Register(HWND window, const char* name);
    void Unregister(HWND window);
    // Sends the activation message to the copy that has `name` open and
    // gives its answer; 0 when no copy has it.
    LRESULT Activate(const char* name);

    // The short (8.3) form of a file's full path, as the entries hold it;
    // the full path where the system gives no short form.
    static std::string ShortFullPath(const char* file_name);

    // The registry of this process.
    static InstanceRegistry& Process();

private:
    InstanceRegistry(const InstanceRegistry&);
    InstanceRegistry& operator=(const InstanceRegistry&);

    HANDLE mapping_;
    HANDLE mutex_;
    uint8_t* view_;
    size_t size_;
    bool created_;
};

#endif
