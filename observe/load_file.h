// LoadFile: a file the page loader reads, either a local page or a copy
// that the browser saves for the program into a temporary file. The one
// operating-system seam of the page loader; Windows and POSIX versions.
#ifndef SKEIND_OBSERVE_LOAD_FILE_H
#define SKEIND_OBSERVE_LOAD_FILE_H

#include <stdint.h>

#include <string>

class LoadFile {
public:
    // Opened for sequential reading, sharing reads; a temporary file also
    // shares writes (the browser may still be writing it) and is deleted
    // when closed. Null when it cannot be opened.
    static LoadFile* Open(const char* path, bool temporary);
    // The size of the file at `path`; -1 when there is none.
    static int64_t SizeOf(const char* path);
    // Makes a new empty file in the temporary folder whose name begins
    // "www" and gives its name with every '\' turned into '/'.
    static bool MakeTemporaryName(std::string* name);
    static void Delete(const char* path);

    ~LoadFile();
    int64_t Size() const;
    // Bytes read into `buffer`, 0 at the end, -1 on an error.
    int Read(char* buffer, int size);

private:
    LoadFile(intptr_t handle, const char* path, bool temporary);
    LoadFile(const LoadFile&);
    LoadFile& operator=(const LoadFile&);

    intptr_t handle_;
    std::string path_;  // what to delete at close, when temporary
    bool temporary_;
};

#endif
