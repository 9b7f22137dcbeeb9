#include "browser/exe_file.h"

#include <stdio.h>
#include <string.h>

#include "res/resource.h"
#include "res/strings.h"

namespace {

// Headers and their fields, as offsets.
const uint64_t kDosHeaderOffsetField = 0x3C;
const uint64_t kDosHeaderSize = 0x40;
const uint64_t kCoffFileHeaderSize = 20;
const uint64_t kSectionHeaderSize = 40;
const uint64_t kSymbolSize = 18;
const uint64_t kNeHeaderSize = 64;
const uint64_t kImportDescriptorSize = 20;

char LowerAscii(uint8_t c) { return (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

}  // namespace

AExe::~AExe() { UnmapExeFile(&view_); }

uint16_t AExe::U16(uint64_t offset) const {
    if (!Inside(offset, 2)) return 0;
    const uint8_t* p = view_.base + offset;
    return (uint16_t)(p[0] | p[1] << 8);
}

uint32_t AExe::U32(uint64_t offset) const {
    if (!Inside(offset, 4)) return 0;
    const uint8_t* p = view_.base + offset;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

bool AExe::RenameImport(const char* from, const char* to) {
    size_t length = strlen(from);
    AImport_iter* it = NewImportIter();
    for (; it->More(); it->Next()) {
        ImportName name = it->Current();
        if (!name.chars || name.length != length) continue;
        bool same = true;
        for (size_t i = 0; i < length && same; ++i) same = LowerAscii(name.chars[i]) == from[i];
        if (!same) continue;
        memcpy(name.chars, to, length);  // no terminator: the old one stays valid
        delete it;
        return true;
    }
    delete it;
    SetError(kExeImportNotFound);
    return false;
}

// --- PE/COFF

Coff::Coff(const ExeView& view)
    : AExe(view), dos_(0), file_header_(0), optional_header_(0), sections_(0), strings_(0) {}

Coff* Coff::Open(const char* name, bool write) {
    ExeView view;
    uint32_t error = MapExeFile(name, write, &view);
    Coff* file = new Coff(view);
    if (error)
        file->SetError(error);
    else
        file->Validate();
    return file;
}

Coff* Coff::OverMemory(uint8_t* bytes, size_t size) {
    ExeView view;
    view.base = bytes;
    view.size = size;
    Coff* file = new Coff(view);
    file->Validate();
    return file;
}

void Coff::Validate() {
    if (!Inside(0, 2) || memcmp(view_.base, "MZ", 2) != 0) {
        SetError(kExeWrongFormat);
        return;
    }
    uint64_t pe = U32(kDosHeaderOffsetField);
    // Every later read is checked again: a file header cut by the end of
    // the file reads as zeros.
    if (!Inside(kDosHeaderOffsetField, 4) || pe < kDosHeaderSize || !Inside(pe, kCoffFileHeaderSize + 1)) {
        SetError(kExeWrongFormat);
        return;
    }
    if (memcmp(view_.base + pe, "PE\0\0", 4) != 0) {
        SetError(kExeWrongFormat);
        return;
    }
    dos_ = 0;
    file_header_ = pe + 4;
    optional_header_ = file_header_ + kCoffFileHeaderSize;
    sections_ = optional_header_ + U16(file_header_ + 16);
    strings_ = (uint64_t)U32(file_header_ + 8) + (uint64_t)U32(file_header_ + 12) * kSymbolSize;
}

uint16_t Coff::SectionCount() const { return U16(file_header_ + 2); }

int Coff::FindSection(const char* name) const {
    size_t wanted = strlen(name);
    for (int i = 0; i < SectionCount(); ++i) {
        uint64_t header = SectionHeader(i);
        if (!Inside(header, kSectionHeaderSize)) return -1;
        const uint8_t* field = view_.base + header;
        if (field[0] == '/') {
            // The rest of the field is the decimal offset of the long name.
            uint64_t offset = 0;
            for (int k = 1; k < 8 && field[k] >= '0' && field[k] <= '9'; ++k) offset = offset * 10 + (field[k] - '0');
            uint64_t at = strings_ + offset;
            if (!Inside(at, wanted + 1)) continue;
            if (memcmp(view_.base + at, name, wanted) == 0 && view_.base[at + wanted] == 0) return i;
        } else {
            size_t n = wanted < 8 ? wanted : 8;
            if (memcmp(field, name, n) == 0 && (n == 8 || field[n] == 0)) return i;
        }
    }
    return -1;
}

bool Coff::RvaToOffset(uint32_t rva, uint64_t* offset) const {
    for (int i = 0; i < SectionCount(); ++i) {
        uint64_t header = SectionHeader(i);
        if (!Inside(header, kSectionHeaderSize)) return false;
        uint64_t virtual_size = U32(header + 8);
        uint64_t virtual_address = U32(header + 12);
        if (rva < virtual_address || rva >= virtual_address + virtual_size) continue;
        uint64_t at = (uint64_t)U32(header + 20) + (rva - virtual_address);
        if (!Inside(at, 1)) return false;
        *offset = at;
        return true;
    }
    return false;
}

bool Coff::SectionData(int index, uint64_t* offset, uint64_t* size) const {
    uint64_t header = SectionHeader(index);
    if (index < 0 || !Inside(header, kSectionHeaderSize)) return false;
    uint64_t at = U32(header + 20);
    uint64_t raw = U32(header + 16);
    if (at > view_.size) return false;
    *offset = at;
    *size = raw < view_.size - at ? raw : view_.size - at;
    return true;
}

AImport_iter* Coff::NewImportIter() { return new Coff_iter(this); }

Coff_iter::Coff_iter(Coff* file)
    : file_(file), section_(file->Error() ? -1 : file->FindSection(".idata")), data_(0), data_size_(0), descriptor_(0) {
    if (section_ >= 0 && !file_->SectionData(section_, &data_, &data_size_)) section_ = -1;
}

bool Coff_iter::More() {
    if (section_ < 0) return false;
    // Descriptors without an end stop at the end of their section.
    if ((descriptor_ + 1) * kImportDescriptorSize > data_size_) return false;
    const ExeView& v = file_->view();
    const uint8_t* d = v.base + DescriptorOffset();
    return (d[12] | d[13] | d[14] | d[15]) != 0;
}

ImportName Coff_iter::Current() {
    ImportName name = {0, 0};
    const ExeView& v = file_->view();
    const uint8_t* d = v.base + DescriptorOffset();
    uint32_t rva = (uint32_t)d[12] | (uint32_t)d[13] << 8 | (uint32_t)d[14] << 16 | (uint32_t)d[15] << 24;
    uint64_t at;
    if (!file_->RvaToOffset(rva, &at)) return name;
    name.chars = v.base + at;
    // A name that runs to the end of the file ends there.
    const void* end = memchr(name.chars, 0, v.size - at);
    name.length = end ? (size_t)((const uint8_t*)end - name.chars) : v.size - at;
    return name;
}

// --- NE

Nef::Nef(const ExeView& view) : AExe(view), ne_(0), module_refs_(0), imported_names_(0) {}

Nef* Nef::Open(const char* name, bool write) {
    ExeView view;
    uint32_t error = MapExeFile(name, write, &view);
    Nef* file = new Nef(view);
    if (error)
        file->SetError(error);
    else
        file->Validate();
    return file;
}

Nef* Nef::OverMemory(uint8_t* bytes, size_t size) {
    ExeView view;
    view.base = bytes;
    view.size = size;
    Nef* file = new Nef(view);
    file->Validate();
    return file;
}

void Nef::Validate() {
    if (!Inside(0, 2) || memcmp(view_.base, "MZ", 2) != 0) {
        SetError(kExeWrongFormat);
        return;
    }
    uint64_t ne = U32(kDosHeaderOffsetField);
    if (!Inside(kDosHeaderOffsetField, 4) || ne < kDosHeaderSize || !Inside(ne, kNeHeaderSize + 1) ||
        memcmp(view_.base + ne, "NE", 2) != 0) {
        SetError(kExeWrongFormat);
        return;
    }
    ne_ = ne;
    module_refs_ = ne + U16(ne + 0x28);
    imported_names_ = ne + U16(ne + 0x2A);
}

ImportName Nef::ModuleName(uint16_t index) {
    ImportName name = {0, 0};
    uint64_t entry = module_refs_ + 2u * index;
    if (Error() || !Inside(entry, 2)) return name;
    uint64_t at = imported_names_ + U16(entry);
    if (!Inside(at, 1)) return name;
    uint8_t length = view_.base[at];
    if (!Inside(at + 1, length)) return name;
    name.chars = view_.base + at + 1;
    name.length = length;
    return name;
}

AImport_iter* Nef::NewImportIter() { return new Nef_iter(this); }

// --- Error texts

std::string ErrorText(uint32_t code) {
    int id = 0;
    switch (code) {
    case 0: id = IDS_ERR_NONE; break;
    case 32: id = IDS_ERR_FILE_IN_USE; break;
    case kExeFileInvalid: id = IDS_ERR_MISSING_OR_DAMAGED; break;
    case kExeWrongFormat: id = IDS_ERR_WRONG_FORMAT; break;
    case kExeImportNotFound: id = IDS_ERR_IMPORT_NOT_FOUND; break;
    case 80: id = IDS_ERR_FILE_EXISTS; break;
    case 3: id = IDS_ERR_NO_DIRECTORY; break;
    case 2: id = IDS_ERR_NO_FILE; break;
    case 161: id = IDS_ERR_BAD_NAME; break;
    default: break;
    }
    if (id) return AppString(id);
    char number[16];
    snprintf(number, sizeof number, "%lu", (unsigned long)code);
    return number;
}
