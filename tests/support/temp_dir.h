// A fresh directory for one test's files, removed with everything in it
// when the test ends.
#ifndef SKEIND_TESTS_TEMP_DIR_H
#define SKEIND_TESTS_TEMP_DIR_H

#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    // path()/name, with the platform's separator.
    std::string File(const std::string& name) const;

private:
    TempDir(const TempDir&);
    TempDir& operator=(const TempDir&);
    std::string path_;
};

// Whole-file helpers for checking what landed on disc.
bool FileExists(const std::string& path);
std::vector<unsigned char> ReadWholeFile(const std::string& path);
std::string FileText(const std::string& path);
bool WriteWholeFile(const std::string& path, const void* data, size_t size);

#endif
