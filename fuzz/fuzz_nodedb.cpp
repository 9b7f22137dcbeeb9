// fuzz_nodedb: the workspace operations on a damaged file that was never
// checked.
//
// Input: as fuzz_workspace's, the bytes up to the last multiple of 4096 (at
// most 2 MiB) are a file image, zero-padded to 32 KiB when shorter, and the
// bytes after it are a script of operations. The image is written to one
// file per process under /dev/shm and opened with NodeDb::Open (no check);
// the file may grow to 4 MiB. Each script step is one operation on pages
// the run has met: found or made by URL, or reached through the file's own
// tree and links (which in a damaged file may lead anywhere).
//
// Whatever the file holds, no operation may read or write outside the
// mapping (guard pages behind it fault, see guarded_map.cpp) or loop for
// ever; the sanitizers watch the rest. Walks the harness makes itself stop
// after a fixed number of steps, as a caller that distrusts the file would.
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "store/nodedb.h"
#include "store/undo.h"

using namespace layout;

namespace {

const size_t kMaxImage = 2u << 20;
const size_t kMinImage = 32u << 10;
const uint32_t kSizeLimit = 4u << 20;
const int kMaxSteps = 300;
const int kWalkSteps = 64;

std::string g_path;
volatile size_t g_sink;  // what the harness reads, so that the reads stay

bool WriteImage(const uint8_t* data, size_t bytes, size_t file_size) {
    int fd = open(g_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = (size_t)write(fd, data, bytes) == bytes && ftruncate(fd, (off_t)file_size) == 0;
    return close(fd) == 0 && ok;
}

// Reads the script a byte or a word at a time; zeros once it is used up.
struct Script {
    const uint8_t* p;
    size_t left;
    uint8_t Byte() {
        if (left == 0) return 0;
        --left;
        return *p++;
    }
    uint32_t Word() { return Byte() | Byte() << 8 | (uint32_t)Byte() << 16 | (uint32_t)Byte() << 24; }
};

const char* const kUrls[] = {
    "http://a.example/", "http://a.example/x.html", "http://b.example/dir/", "http://www.example/",
    "x-skeind-1:/h/",    "x-skeind-1:/s/",          "ftp://files.example/",  "http://a.example/x.html#top"};
const LinkKind kKinds[] = {LinkAnchor, LinkInclude, LinkOther, LinkQuery, LinkRedirect, LinkFrame, Attach};

class Run {
public:
    explicit Run(NodeDb& db) : db_(db) {}

    void Step(Script& s) {
        switch (s.Byte() % 16) {
        case 0: Meet(db_.FindNode(kUrls[s.Byte() % 8], s.Byte() & 1)); break;
        case 1: {  // a batch; some of its URLs may be names in the file itself
            const char* urls[24];
            NodeId made[24];
            size_t n = 1 + s.Byte() % 24;
            for (size_t i = 0; i < n; ++i) {
                uint8_t b = s.Byte();
                urls[i] = b >= 0xF0 ? db_.Text(db_.Name(Pick(s))) : kUrls[b % 8];
            }
            db_.FindNodes(urls, n, made);
            for (size_t i = 0; i < n; ++i) Meet(made[i]);
            break;
        }
        case 2: {
            Meet(db_.Root());
            Meet(db_.FirstNode());
            std::vector<NodeId> flagged;
            db_.FlaggedNodes((NodeFlags)(s.Byte() & 0x0FFF), &flagged);
            for (size_t i = 0; i < flagged.size() && i < 4; ++i) Meet(flagged[i]);
            break;
        }
        case 3:  // along the file's own tree and links
            Walk(Pick(s), s.Byte());
            break;
        case 4: db_.AddLink(Pick(s), Pick(s), kKinds[s.Byte() % 7]); break;
        case 5: db_.RemoveLinks(Pick(s), Pick(s), s.Byte()); break;
        case 6: db_.FindLiveOutLink(Pick(s), Pick(s), kKinds[s.Byte() % 7]); break;
        case 7: {
            std::vector<uint32_t> in;
            db_.LiveInLinks(Pick(s), &in);
            break;
        }
        case 8: {
            NodeId n = Pick(s);
            if (s.Byte() & 1) db_.SetTitle(n, std::string(s.Byte() % 80, 't').c_str());
            Read(db_.Title(n));
            Read(db_.Name(n));
            break;
        }
        case 9: {
            NodeId n = Pick(s);
            if (s.Byte() & 1) db_.SetLabel(n, s.Byte() & 1 ? "a label" : 0);
            LabelView v = db_.GetLabelView(n);
            if (v.text) g_sink += strlen(v.text);
            break;
        }
        case 10: {
            NodeId n = Pick(s);
            if (s.Byte() & 1) db_.SetBodyBytes(n, "body\0bytes", s.Byte() % 11);
            uint32_t length = db_.BodyLength(n);
            const uint8_t* data = db_.BodyData(n);
            for (uint32_t i = 0; data && i < length; ++i) g_sink += data[i];
            Read(db_.Body(n));
            break;
        }
        case 11: {
            NodeId n = Pick(s);
            db_.SetFlags(n, (NodeFlags)s.Byte());
            db_.ClearFlags(n, (NodeFlags)s.Byte());
            db_.Touch(n);
            db_.SetContentType(n, s.Word());
            db_.SetDisplayMark(n, s.Word());
            break;
        }
        case 12: {
            std::unique_ptr<Undo_delete> undo(db_.Delete(Pick(s), s.Byte() & 1, 0));
            if (undo && (s.Byte() & 1)) undo->Undo();
            break;
        }
        case 13:
            db_.Purge();
            met_.clear();
            break;
        case 14: Meet(db_.NewAnnotation()); break;
        case 15:
            db_.ClearDisplayMarks();
            Meet(db_.SessionsRoot());
            break;
        }
    }

private:
    void Meet(NodeId n) {
        if (n != 0 && met_.size() < 64) met_.push_back(n);
    }
    NodeId Pick(Script& s) { return met_.empty() ? 0 : met_[s.Byte() % met_.size()]; }
    void Read(uint32_t block) { g_sink += strlen(db_.Text(block)); }

    void Walk(NodeId from, uint8_t how) {
        NodeId n = from;
        for (int i = 0; n != 0 && i < kWalkSteps; ++i) {
            Meet(n);
            n = db_.NextNode(n);
        }
        LinkId l = how & 1 ? db_.FirstOut(from) : db_.FirstIn(from);
        for (int i = 0; l != 0 && i < kWalkSteps; ++i) {
            Meet(db_.LinkNode(l));
            db_.LinkKindOf(l);
            l = db_.NextLink(l);
        }
    }

    NodeDb& db_;
    std::vector<NodeId> met_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = "/dev/shm/skeind-fuzz-nodedb-" + std::to_string(getpid()) + ".sk1";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t image = size & ~(size_t)4095;
    if (image > kMaxImage) image = kMaxImage;
    if (!WriteImage(data, image, image < kMinImage ? kMinImage : image)) return 0;
    {
        NodeDb db;
        db.SetSizeLimit(kSizeLimit);
        db.SetSideBySideFrom(0);  // batches walk side by side, as in a large file
        if (db.Open(g_path.c_str())) {
            // A file as it is on disc gets a script that reaches every
            // operation.
            static const uint8_t kDefault[] = {2, 3,  0,   1, 0, 0,  1,  1,  0, 2, 1, 4,  0, 1, 0,  4, 1, 0,  2, 5,
                                               0, 1,  255, 6, 0, 1,  0,  7,  1, 8, 0, 1,  9, 9, 1,  1, 1, 10, 0, 1,
                                               7, 11, 1,   3, 9, 14, 15, 12, 0, 1, 1, 12, 1, 0, 13, 2, 3, 0,  0};
            Script script{data + image, size - image};
            if (script.left == 0) script = Script{kDefault, sizeof kDefault};
            Run run(db);
            for (int i = 0; i < kMaxSteps && script.left > 0; ++i) run.Step(script);
        }
    }
    unlink(g_path.c_str());
    return 0;
}
