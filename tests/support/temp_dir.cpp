#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

TempDir::TempDir() {
    // The process id and a counter keep the folders of tests run at the
    // same time apart.
#ifdef _WIN32
    unsigned long pid = GetCurrentProcessId();
#else
    unsigned long pid = (unsigned long)getpid();
#endif
    static unsigned counter = 0;
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    do {
        path_ = (base / ("skeind-test-" + std::to_string(pid) + "-" + std::to_string(counter++))).string();
        if (error) abort();
    } while (!fs::create_directory(path_, error));
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
    return path_ + (char)fs::path::preferred_separator + name;
}

bool FileExists(const std::string& path) {
    return std::ifstream(path, std::ios::binary).is_open();
}

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string FileText(const std::string& path) {
    std::vector<unsigned char> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write((const char*)data, (std::streamsize)size);
    out.close();
    return out.good();
}
