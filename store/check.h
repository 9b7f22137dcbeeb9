// The start-up check of a workspace file, and its repairs.
//
// A mapped file changed in place can be left half-updated by a crash, and a
// file on disc can hold anything at all. Before anything else uses the
// workspace, the check validates the file header, walks the free lists and
// the name tree, checks every node's texts, body and link lists, gives
// leaked storage back, and purges deleted nodes. Every offset it reads from
// the file is validated before it is followed, and every walk is bounded by
// the maps below, so no damage can lead it outside the mapping or round a
// cycle forever. It refuses a file only when its header is not a workspace
// header (or the file is too short to be one).
#ifndef SKEIND_STORE_CHECK_H
#define SKEIND_STORE_CHECK_H

#include <stdint.h>

#include <vector>

#include "store/large_array.h"
#include "store/progress.h"

class NodeDb;

// One bit per unit of the file: 32-byte granules (shift 5), 8-byte link
// cells (shift 3) or 64-byte node records (shift 6). The bit of the unit
// at offset g is bit (g >> shift) & 31 of word g >> (shift + 5). Offsets
// beyond the map read as clear and are never set.
struct OffsetMap {
    LargeArray<uint32_t> words;
    unsigned shift;

    OffsetMap() : shift(5) {}
    void Reset(uint32_t bytes, unsigned unit_shift);
    bool Test(uint32_t offset) const;
    void Set(uint32_t offset);
    void SetRange(uint32_t offset, uint32_t bytes);
    bool AnyInRange(uint32_t offset, uint32_t bytes) const;
};

// Repair flags of VRStatus::flags.
const uint32_t VRHeaderInvalid = 0x01;     // not a workspace header: refused
const uint32_t VRTreeCut = 0x02;           // a child link of the name tree was cut
const uint32_t VRSessionsRootKept = 0x04;  // the sessions root is in the tree, or there is none
const uint32_t VRFreeListCut = 0x08;       // a free list was cut
const uint32_t VRTextTerminated = 0x10;    // a text lacked its 0 and got one
const uint32_t VRNameReplaced = 0x20;      // a node was given a lost name
const uint32_t VRNameCleared = 0x40;       // a node's name reference was invalid

// Repairs that have no flag of their own, in VRStatus::fixes. Together with
// the flags they tell whether a check changed anything beyond its routine
// work (display marks, Busy cleared, Untitled set where there is no title,
// deleted nodes purged).
const uint32_t VRFixStorage = 0x01;  // free lists and bitmaps rebuilt from the storage in use
const uint32_t VRFixTexts = 0x02;    // a label, title or body dropped
const uint32_t VRFixLinks = 0x04;    // a link list cut, a tail corrected or unpaired cells dropped
const uint32_t VRFixCells = 0x08;    // the spare cell list cut or lost cells put back on it
const uint32_t VRFixTree = 0x10;     // the name tree rebuilt in URL order with true heights
const uint32_t VRFixViews = 0x20;    // a host end or directory end worked out again from its text

// The check's context, made for one check. It is itself a progress bar that
// passes every report on to its sink, which may be null (no display yet).
class VRStatus : public AProgressbar {
public:
    explicit VRStatus(AProgressbar* progress_sink);
    int Progress(uint32_t done, uint32_t total, const char* text) override;

    // True when the check found nothing to repair. VRSessionsRootKept is
    // then set: it is a finding, not a repair, and only its absence (a
    // sessions root was forgotten) means that something was changed.
    bool FoundNothing() const { return flags == VRSessionsRootKept && fixes == 0; }

    uint32_t flags;
    AProgressbar* sink;
    OffsetMap used;      // storage found in use, by granule
    OffsetMap free_map;  // storage found on a free list, by granule
    uint32_t node_count; // nodes reached in the name tree

    uint32_t mark;   // stored as every node's display mark; CheckMarkNow() at first
    uint32_t fixes;  // VRFix* bits
};

// The display mark of a check started now: thread id × 65,536 + seconds ×
// 1,024 + milliseconds of the current time (check_mark_*.cpp).
uint32_t CheckMarkNow();

// The name a node gets when its own is lost; %ld is a stamp.
extern const char kLostNameFormat[];  // "x-skeind-1/lost-name-%ld"

// Checks and repairs the open workspace. 1: the file may be used; 0: it
// may not (status.flags says why), and nothing has been written to it.
int CheckWorkspaceFile(NodeDb& db, VRStatus& status);

#endif
