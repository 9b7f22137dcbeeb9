// Program files opened in place through a writable mapping: PE/COFF
// programs (32- and 64-bit) and 16-bit NE programs, the list of libraries
// they import, and the one surgery made on them: the socket library's
// name replaced by the shim's, of the same length, so that the file never
// changes size and only the name's bytes differ.
//
// Every offset the headers give is checked against the view before it is
// used: a hostile file can make an open fail or a name not be found,
// never a read or write outside the file.
#ifndef SKEIND_BROWSER_EXE_FILE_H
#define SKEIND_BROWSER_EXE_FILE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// The program's own error codes, beside the system's.
const uint32_t kExeWrongFormat = 0x20000001;
const uint32_t kExeImportNotFound = 0x20000002;
// The system's code for a file that cannot be mapped (an empty one).
const uint32_t kExeFileInvalid = 1006;

// The mapped bytes of a program file and the platform's handles for them;
// a view over memory has no handles.
struct ExeView {
    uint8_t* base = 0;
    size_t size = 0;
    intptr_t file = 0;
    intptr_t mapping = 0;
};

// Opens and maps `name` (read-write opens create a missing file, which
// then cannot be mapped). Answers 0 or the system's error code.
uint32_t MapExeFile(const char* name, bool write, ExeView* view);
// Unmaps the view, then closes the mapping and the file: changes reach
// the disk.
void UnmapExeFile(ExeView* view);

// One imported library's name: its characters inside the view (no
// terminator counted), or none.
struct ImportName {
    uint8_t* chars;
    size_t length;
};

class AImport_iter {
public:
    virtual ~AImport_iter() {}
    virtual bool More() = 0;
    virtual void Next() = 0;
    virtual ImportName Current() = 0;
    virtual const char* FormatName() const { return "*ABSTRACT*"; }
};

class AExe {
public:
    virtual void SetError(uint32_t code) = 0;
    // A new iterator over the imports, owned by the caller.
    virtual AImport_iter* NewImportIter() = 0;
    virtual ~AExe();
    virtual uint32_t Error() const = 0;
    virtual const char* FormatName() const { return "*ABSTRACT*"; }
    // True when the socket import now names the shim; else false with
    // kExeImportNotFound.
    virtual bool RenameSocketImport() = 0;

    const ExeView& view() const { return view_; }

protected:
    explicit AExe(const ExeView& view) : view_(view), error_(0) {}
    // The first import equal to `from` (ASCII case ignored) becomes `to`,
    // which has the same length.
    bool RenameImport(const char* from, const char* to);
    // Whether `count` bytes from `offset` lie inside the view.
    bool Inside(uint64_t offset, uint64_t count) const { return offset <= view_.size && count <= view_.size - offset; }
    uint16_t U16(uint64_t offset) const;
    uint32_t U32(uint64_t offset) const;

    ExeView view_;
    uint32_t error_;

private:
    AExe(const AExe&);
    AExe& operator=(const AExe&);
};

class Coff : public AExe {
public:
    // Never null; Error() tells whether the file is an open PE/COFF one.
    static Coff* Open(const char* name, bool write);
    // Over bytes in memory, which are neither unmapped nor freed.
    static Coff* OverMemory(uint8_t* bytes, size_t size);

    void SetError(uint32_t code) override { error_ = code; }
    AImport_iter* NewImportIter() override;
    uint32_t Error() const override { return error_; }
    const char* FormatName() const override { return "COFF"; }
    bool RenameSocketImport() override { return RenameImport("wsock32.dll", "qmrsk32.dll"); }

    uint16_t SectionCount() const;
    // The first section whose name is `name`: a "/N" name is the string
    // table's name at offset N, compared in full; any other at most its 8
    // characters. -1 when none matches.
    int FindSection(const char* name) const;
    // The file offset of `rva` through the first section that holds it;
    // false when no section does or the place is outside the file.
    bool RvaToOffset(uint32_t rva, uint64_t* offset) const;
    // The offset of section `index`'s raw data and how much of it lies in
    // the file.
    bool SectionData(int index, uint64_t* offset, uint64_t* size) const;

private:
    explicit Coff(const ExeView& view);
    void Validate();
    uint64_t SectionHeader(int index) const { return sections_ + 40u * (uint64_t)index; }

    // Offsets into the view of what the headers locate.
    uint64_t dos_;
    uint64_t file_header_;
    uint64_t optional_header_;
    uint64_t sections_;
    uint64_t strings_;
};

class Coff_iter : public AImport_iter {
public:
    explicit Coff_iter(Coff* file);
    bool More() override;
    void Next() override { ++descriptor_; }
    ImportName Current() override;
    const char* FormatName() const override { return "COFF"; }

private:
    uint64_t DescriptorOffset() const { return data_ + 20u * descriptor_; }
    Coff* file_;
    int section_;    // ".idata", -1 when there is none
    uint64_t data_;  // its raw data: the import descriptors
    uint64_t data_size_;
    uint64_t descriptor_;
};

class Nef : public AExe {
public:
    static Nef* Open(const char* name, bool write);
    static Nef* OverMemory(uint8_t* bytes, size_t size);

    void SetError(uint32_t code) override { error_ = code; }
    AImport_iter* NewImportIter() override;
    uint32_t Error() const override { return error_; }
    const char* FormatName() const override { return "NEF"; }
    bool RenameSocketImport() override { return RenameImport("winsock", "qmrsock"); }

    uint16_t ModuleCount() const { return U16(ne_ + 0x1E); }
    // Module reference `index`'s name in the imported-names table.
    ImportName ModuleName(uint16_t index);

private:
    explicit Nef(const ExeView& view);
    void Validate();

    uint64_t ne_;
    uint64_t module_refs_;
    uint64_t imported_names_;
};

class Nef_iter : public AImport_iter {
public:
    explicit Nef_iter(Nef* file) : file_(file), index_(0) {}
    bool More() override { return index_ < file_->ModuleCount(); }
    void Next() override { ++index_; }
    ImportName Current() override { return file_->ModuleName((uint16_t)index_); }
    const char* FormatName() const override { return "NEF"; }

private:
    Nef* file_;
    uint32_t index_;
};

// The text shown for an error code: the string table's text for the codes
// it has, else the number in decimal.
std::string ErrorText(uint32_t code);

#endif
