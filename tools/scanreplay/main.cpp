// scanreplay: run the page scanner over saved files and print what it
// reports, one AClient call per line.
//
//   scanreplay [--block N] FILE...
//
// A file is a saved HTTP response (status line, header lines, body), except
// that a name ending in .html or .htm is a bare page, read as the program
// reads a local file: status 200, type "text/html", no head. The file is
// fed to the scanner in blocks of N bytes (default 4096), then the end of
// the data. With more than one file each one's calls follow a line
// "== FILE". Exits 1 when a file cannot be read, 2 on bad usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "observe/page_scanner.h"
#include "tools/scanreplay/call_log.h"

namespace {

const uint32_t kReplayId = 1;

int Usage() {
    fprintf(stderr, "usage: scanreplay [--block N] FILE...\n");
    return 2;
}

bool EndsWithIgnoringCase(const char* s, const char* suffix) {
    size_t n = strlen(s);
    size_t m = strlen(suffix);
    if (n < m) return false;
    for (size_t i = 0; i < m; ++i) {
        char c = s[n - m + i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

bool IsBarePage(const char* name) {
    return EndsWithIgnoringCase(name, ".html") || EndsWithIgnoringCase(name, ".htm");
}

void PrintNew(const CallLog& log, size_t* printed) {
    for (; *printed < log.lines.size(); ++*printed) printf("%s\n", log.lines[*printed].c_str());
}

bool Replay(const char* name, size_t block) {
    FILE* f = fopen(name, "rb");
    if (!f) {
        fprintf(stderr, "scanreplay: cannot open %s\n", name);
        return false;
    }
    CallLog log(kReplayId);
    PageScanner scanner(kReplayId, &log);
    size_t printed = 0;
    if (IsBarePage(name)) scanner.BeginWithoutHead(200, "text/html", 0, TT_HEADER);
    PrintNew(log, &printed);

    std::vector<char> buffer(block);
    size_t n;
    while ((n = fread(buffer.data(), 1, block, f)) > 0) {
        scanner.Feed(buffer.data(), n);
        PrintNew(log, &printed);
    }
    bool ok = !ferror(f);
    fclose(f);
    scanner.Feed(0, 0);
    PrintNew(log, &printed);
    if (!ok) fprintf(stderr, "scanreplay: cannot read %s\n", name);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    size_t block = 4096;
    int first = 1;
    if (first < argc && strcmp(argv[first], "--block") == 0) {
        if (first + 1 >= argc) return Usage();
        char* end;
        long n = strtol(argv[first + 1], &end, 10);
        if (*end || n < 1 || n > (1 << 24)) return Usage();
        block = (size_t)n;
        first += 2;
    }
    if (first >= argc) return Usage();

    int status = 0;
    for (int i = first; i < argc; ++i) {
        if (argc - first > 1) printf("== %s\n", argv[i]);
        if (!Replay(argv[i], block)) status = 1;
    }
    return status;
}
