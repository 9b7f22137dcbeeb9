// fuzz_check: the start-up check on any workspace image.
//
// Input: the image of a workspace file. The bytes up to the last multiple
// of 4096 (at most 2 MiB) are used, zero-padded to 32 KiB when shorter, so
// that a workspace file as it is on disc is an input that opens unchanged.
// The image is written to one file per process under /dev/shm, opened with
// NodeDb::Open (the file may grow to 4 MiB while lost names are stored) and
// checked. Then:
//  - a refused file must have a header that is not a workspace header;
//  - an accepted file must be sound to the outside checker of the tests,
//    with one exception: a workspace-header size of 37 to 128 in the file
//    header, which the check honours by reserving that many more granules
//    while the outside checker knows only the program's own layout, may
//    show as exactly the lost storage after 0x1060 and nothing else;
//  - a second check of an accepted file must find nothing to repair;
//  - the progress reports must start with the check's first text and never
//    go past their total.
// Any break aborts. Accesses outside the mapping fault in the guard pages
// behind it when the store's mfile_posix.cpp is built with mmap and munmap
// renamed to guarded_map.cpp's functions (see fuzz/CMakeLists.txt).
//
// SKEIND_FUZZ_CHECK_SEEDS=dir makes the target write a seed corpus of
// workspaces built through the workspace operations into dir and exit.
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "res/resource.h"
#include "res/strings.h"
#include "store/check.h"
#include "store/node_ref.h"
#include "store/nodedb.h"
#include "store/undo.h"
#include "tests/store/workspace_checker.h"

using namespace layout;

namespace {

const size_t kMaxImage = 2u << 20;
const size_t kMinImage = 32u << 10;
const uint32_t kSizeLimit = 4u << 20;
const char kExtendedHeaderFault[] = "allocator: storage lost (neither free nor in use): block 0x1060 order 0";

std::string g_path;

void Fail(const char* what, const std::string& detail) {
    fprintf(stderr, "fuzz_check: %s%s%s\n", what, detail.empty() ? "" : ": ", detail.c_str());
    abort();
}

bool WriteImage(const std::string& path, const uint8_t* data, size_t bytes, size_t file_size) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes) {
        ssize_t n = write(fd, data + done, bytes - done);
        if (n <= 0) ok = false;
        done += n > 0 ? (size_t)n : 0;
    }
    if (ok && ftruncate(fd, (off_t)file_size) != 0) ok = false;
    return close(fd) == 0 && ok;
}

// Checks each report as it comes: the first is the check's first text, and
// no position is past its total.
class ProgressRules : public AProgressbar {
public:
    int Progress(uint32_t done, uint32_t total, const char* text) override {
        if (calls_++ == 0 && (text == 0 || strcmp(text, AppString(IDS_CHECK_START)) != 0))
            Fail("first report is not the check's first text", text ? text : "(none)");
        if (done > total) Fail("progress past its total", std::to_string(done) + " of " + std::to_string(total));
        return 1;
    }

private:
    unsigned calls_ = 0;
};

bool HeaderWrong(const NodeDb& db) {
    const uint8_t* p = db.Ptr(0);
    return Get16(p + kHeaderLayout) != 1 || Get32(p + kWsHeaderSize) > 128 || p[kLowestOrder] != 5 ||
           p[kHighestOrder] != 19 || p[kChunkOrderField] != 20;
}

bool HeaderExtended(const NodeDb& db) { return (Get32(db.Ptr(kWsHeaderSize)) + 91) / 32 > 3; }

// ---------------------------------------------------------------------------
// Seeds: maps with every kind of record, some left with deleted nodes.

std::string RandomText(std::mt19937& rng, size_t max_length) {
    std::string s(rng() % (max_length + 1), ' ');
    for (char& c : s) c = (char)('a' + rng() % 26);
    return s;
}

void BuildSeedMap(NodeDb& db, std::mt19937& rng, int pages) {
    static const LinkKind kKinds[] = {LinkAnchor, LinkInclude, LinkOther, LinkQuery, LinkRedirect, LinkFrame, Attach};
    db.BuildVisitedList();
    std::vector<NodeId> nodes;
    for (int i = 0; i < pages; ++i) {
        std::string url = "http://" + RandomText(rng, 6) + ".example/" + RandomText(rng, 10);
        NodeId n = db.FindNode(url.c_str(), true);
        if (!n) continue;
        nodes.push_back(n);
        if (rng() % 3) db.SetTitle(n, RandomText(rng, rng() % 4 ? 40 : 200).c_str());
        if (rng() % 6 == 0) db.SetLabel(n, RandomText(rng, 30).c_str());
        if (rng() % 3 == 0) NodeRef(db, n).FileUnderHost();
    }
    NodeId note = db.NewAnnotation();
    db.SetBodyBytes(note, "an annotation", 13);
    db.AddLink(nodes[0], note, Attach);
    NodeId session = db.FindNode("x-skeind-1:/session/seed", true);
    db.SetKind(session, SessionNode);
    if (db.SetBodyLength(session, 300)) memset(db.BodyData(session), 0x33, 300);
    db.AddLink(db.SessionsRoot(), session, LinkAnchor);
    for (size_t i = 0; i < nodes.size() * 2; ++i)
        db.AddLink(nodes[rng() % nodes.size()], nodes[rng() % nodes.size()], kKinds[rng() % 7]);
    if (rng() % 2) delete db.Delete(nodes[rng() % nodes.size()], true, 0);
}

int WriteSeeds(const char* dir) {
    const int kPages[] = {0, 1, 3, 10, 40, 120, 400};
    int written = 0;
    for (int i = 0; i < (int)(sizeof kPages / sizeof kPages[0]); ++i) {
        std::string name = std::string(dir) + "/seed-" + std::to_string(kPages[i]);
        NodeDb db;
        if (!db.Create(name.c_str())) Fail("cannot create a seed", name);
        if (kPages[i] > 0) {
            std::mt19937 rng((unsigned)i + 1);
            BuildSeedMap(db, rng, kPages[i]);
        }
        std::string fault = CheckWorkspace(db);
        if (!fault.empty()) Fail("seed not sound", fault);
        ++written;
    }
    printf("fuzz_check: %d seeds written to %s\n", written, dir);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* seeds = getenv("SKEIND_FUZZ_CHECK_SEEDS");
    if (seeds && *seeds) exit(WriteSeeds(seeds));
    struct stat st;
    const char* dir = stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode) ? "/dev/shm" : "/tmp";
    char name[96];
    snprintf(name, sizeof name, "%s/skeind-fuzz-check-%ld.ws", dir, (long)getpid());
    g_path = name;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t image = size - size % 4096;
    if (image > kMaxImage) image = kMaxImage;
    size_t file_size = image < kMinImage ? kMinImage : image;
    if (!WriteImage(g_path, data, image, file_size)) Fail("cannot write", g_path);

    NodeDb db;
    if (!db.Open(g_path.c_str())) Fail("cannot open", g_path);
    db.SetSizeLimit(kSizeLimit);
    ProgressRules rules;
    VRStatus status(&rules);
    if (CheckWorkspaceFile(db, status) == 0) {
        if (!HeaderWrong(db)) Fail("refused a file whose header is sound", "");
        return 0;
    }
    if (HeaderWrong(db)) Fail("accepted a file whose header is wrong", "");
    std::string fault = CheckWorkspace(db);
    if (!fault.empty() && !(HeaderExtended(db) && fault == kExtendedHeaderFault))
        Fail("accepted file not sound", fault);
    VRStatus again(0);
    if (CheckWorkspaceFile(db, again) != 1) Fail("second check refused the file", "");
    if (!again.FoundNothing()) {
        char detail[64];
        snprintf(detail, sizeof detail, "flags 0x%X fixes 0x%X", again.flags, again.fixes);
        Fail("second check repaired again", detail);
    }
    return 0;
}
