// fuzz_exe: any bytes as a program file, opened as PE/COFF and as NE, its
// imports walked, its sections looked up and its socket import renamed.
// The bytes sit in a heap block of exactly their length, so that
// AddressSanitizer sees any read or write past the file; a renaming may
// change nothing but the name's bytes.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <vector>

#include "browser/exe_file.h"

namespace {

void Walk(AExe& exe, const std::vector<uint8_t>& original) {
    std::unique_ptr<AImport_iter> it(exe.NewImportIter());
    const ExeView& v = exe.view();
    size_t count = 0;
    for (; it->More() && count < 100000; it->Next(), ++count) {
        ImportName name = it->Current();
        if (name.chars && (name.chars < v.base || name.length > v.size - (size_t)(name.chars - v.base))) abort();
    }
    if (!exe.RenameSocketImport()) {
        if (memcmp(v.base, original.data(), v.size) != 0) abort();
        return;
    }
    size_t first = 0, last = 0, differing = 0;
    for (size_t i = 0; i < v.size; ++i) {
        if (v.base[i] == original[i]) continue;
        if (differing++ == 0) first = i;
        last = i;
    }
    if (differing && last - first >= 11) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> original(data, data + size);
    std::vector<uint8_t> bytes(original);
    {
        std::unique_ptr<Coff> coff(Coff::OverMemory(bytes.data(), bytes.size()));
        if (coff->Error() == 0) {
            coff->FindSection(".idata");
            coff->FindSection(".text");
            uint64_t offset;
            coff->RvaToOffset((uint32_t)size * 7, &offset);
            Walk(*coff, original);
        }
    }
    bytes = original;
    std::unique_ptr<Nef> nef(Nef::OverMemory(bytes.data(), bytes.size()));
    if (nef->Error() == 0) Walk(*nef, original);
    return 0;
}
