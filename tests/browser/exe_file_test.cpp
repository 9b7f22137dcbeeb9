// Program files built byte by byte: PE/COFF and NE recognition, the
// import lists, the renaming of the socket import (only its name's bytes
// change), hostile offsets, and the error texts.
#include "browser/exe_file.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void Put16(Bytes& b, size_t at, uint32_t v) {
    b[at] = (uint8_t)v;
    b[at + 1] = (uint8_t)(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}
void PutText(Bytes& b, size_t at, const std::string& text) { memcpy(&b[at], text.c_str(), text.size() + 1); }

// A PE file: headers at 0x80, one section whose raw data (at 0x400, RVA
// 0x2000) holds the import descriptors and, from 0x500, the names.
struct PeFile {
    std::vector<std::string> imports = {"KERNEL32.dll", "WSOCK32.DLL", "msvcrt.dll"};
    std::string section = ".idata";  // "/N" names go to the string table
    uint32_t pe_offset = 0x80;
    uint32_t raw_pointer = 0x400;

    Bytes Build() const {
        Bytes b(0x600, 0);
        b[0] = 'M', b[1] = 'Z';
        Put32(b, 0x3C, pe_offset);
        if ((size_t)pe_offset + 24 > b.size()) return b;
        memcpy(&b[pe_offset], "PE\0\0", 4);
        size_t file_header = pe_offset + 4;
        Put16(b, file_header, 0x14C);
        Put16(b, file_header + 2, 1);
        Put32(b, file_header + 8, 0x5C0);  // symbols: none, so the strings start here
        Put16(b, file_header + 16, 0xE0);
        size_t header = file_header + 20 + 0xE0;
        if (section[0] == '/') {
            memcpy(&b[header], section.c_str(), section.size());
            PutText(b, 0x5C0 + 4, ".idata");
        } else {
            memcpy(&b[header], section.c_str(), section.size() < 8 ? section.size() : 8);
        }
        Put32(b, header + 8, 0x200);
        Put32(b, header + 12, 0x2000);
        Put32(b, header + 16, 0x200);
        Put32(b, header + 20, raw_pointer);
        for (size_t i = 0; i < imports.size(); ++i) {
            Put32(b, 0x400 + 20 * i + 12, (uint32_t)(0x2100 + 0x10 * i));
            PutText(b, 0x500 + 0x10 * i, imports[i]);
        }
        return b;
    }
};

// An NE file: header at 0x40, module references at +0x40, imported names
// at +0x50.
Bytes NeFile(const std::vector<std::string>& modules, uint32_t ne_offset = 0x40) {
    Bytes b(0x200, 0);
    b[0] = 'M', b[1] = 'Z';
    Put32(b, 0x3C, ne_offset);
    if (ne_offset + 0x60 > b.size()) return b;
    b[ne_offset] = 'N', b[ne_offset + 1] = 'E';
    Put16(b, ne_offset + 0x1E, (uint32_t)modules.size());
    Put16(b, ne_offset + 0x28, 0x40);
    Put16(b, ne_offset + 0x2A, 0x50);
    size_t at = 1;  // offset 0 of the names table is the module's own entry
    for (size_t i = 0; i < modules.size(); ++i) {
        Put16(b, ne_offset + 0x40 + 2 * i, (uint32_t)at);
        b[ne_offset + 0x50 + at] = (uint8_t)modules[i].size();
        memcpy(&b[ne_offset + 0x50 + at + 1], modules[i].data(), modules[i].size());
        at += 1 + modules[i].size();
    }
    return b;
}

std::vector<std::string> Imports(AExe& exe) {
    std::vector<std::string> names;
    std::unique_ptr<AImport_iter> it(exe.NewImportIter());
    for (; it->More(); it->Next()) {
        ImportName n = it->Current();
        names.push_back(n.chars ? std::string((const char*)n.chars, n.length) : "<none>");
    }
    return names;
}

// Where `after` differs from `before`, as one text.
std::string Changed(const Bytes& before, const Bytes& after) {
    std::string changed;
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i]) changed += (char)after[i];
    return changed;
}

}  // namespace

TEST(CoffFile, TheSocketImportIsRenamedInAnyCaseAndNothingElseChanges) {
    for (const char* socket : {"WSOCK32.DLL", "wsock32.dll", "WSock32.Dll"}) {
        PeFile pe;
        pe.imports[1] = socket;
        Bytes before = pe.Build(), after = before;
        std::unique_ptr<Coff> file(Coff::OverMemory(after.data(), after.size()));
        ASSERT_EQ(0u, file->Error());
        EXPECT_EQ((std::vector<std::string>{"KERNEL32.dll", socket, "msvcrt.dll"}), Imports(*file));
        EXPECT_TRUE(file->RenameSocketImport());
        EXPECT_EQ(0, memcmp(&after[0x510], "qmrsk32.dll\0", 12));
        for (size_t i = 0; i < before.size(); ++i) {
            if (i < 0x510 || i >= 0x510 + 11) {
                EXPECT_EQ(before[i], after[i]) << i;
            }
        }
        EXPECT_STREQ("COFF", file->FormatName());
    }
}

struct CoffCase {
    const char* what;
    PeFile pe;
    uint32_t open_error;
    uint32_t rename_error;  // when the open succeeds
};

PeFile With(void (*change)(PeFile&)) {
    PeFile pe;
    change(pe);
    return pe;
}

TEST(CoffFile, FormatsAndImportListsThatDoNotServe) {
    const CoffCase cases[] = {
        {"no socket import", With([](PeFile& p) { p.imports = {"KERNEL32.dll", "ws2_32.dll"}; }), 0, kExeImportNotFound},
        {"a longer name", With([](PeFile& p) { p.imports = {"wsock32.dll.bak"}; }), 0, kExeImportNotFound},
        {"long section name", With([](PeFile& p) { p.section = "/4"; }), 0, 0},
        {"imports elsewhere", With([](PeFile& p) { p.section = ".rdata"; }), 0, kExeImportNotFound},
        {"header offset below 0x40", With([](PeFile& p) { p.pe_offset = 0x3C; }), kExeWrongFormat, 0},
        {"header at the end", With([](PeFile& p) { p.pe_offset = 0x5F0; }), kExeWrongFormat, 0},
        {"header past the end", With([](PeFile& p) { p.pe_offset = 0xFFFFFFF0; }), kExeWrongFormat, 0},
        {"raw data outside the file", With([](PeFile& p) { p.raw_pointer = 0x5F8; }), 0, kExeImportNotFound},
        {"raw data far away", With([](PeFile& p) { p.raw_pointer = 0xFFFFFF00; }), 0, kExeImportNotFound},
    };
    for (const CoffCase& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes b = c.pe.Build();
        std::unique_ptr<Coff> file(Coff::OverMemory(b.data(), b.size()));
        EXPECT_EQ(c.open_error, file->Error());
        if (c.open_error) continue;
        EXPECT_EQ(c.rename_error == 0, file->RenameSocketImport());
        EXPECT_EQ(c.rename_error, file->Error());
    }
    Bytes text(100, 'x');
    EXPECT_EQ(kExeWrongFormat, std::unique_ptr<Coff>(Coff::OverMemory(text.data(), text.size()))->Error());
}

TEST(CoffFile, HostileImportDescriptorsAreReadWithinTheFile) {
    PeFile pe;
    Bytes b = pe.Build();
    // Descriptors without an end: names everywhere up to the section's end.
    for (size_t at = 0x400; at + 20 <= 0x600; at += 20) Put32(b, at + 12, 0x2100);
    Put32(b, 0x400 + 12, 0x7FFFFFF0);  // outside every section
    Put32(b, 0x414 + 12, 0x21FF);      // the last byte of the file, no terminator
    b[0x5FF] = 'w';
    std::unique_ptr<Coff> file(Coff::OverMemory(b.data(), b.size()));
    std::vector<std::string> names = Imports(*file);
    EXPECT_EQ(0x200u / 20, names.size());
    EXPECT_EQ("<none>", names[0]);
    EXPECT_EQ("w", names[1]);
    EXPECT_FALSE(file->RenameSocketImport());
    // A long name whose offset runs past the string table.
    pe.section = "/9999999";
    b = pe.Build();
    file.reset(Coff::OverMemory(b.data(), b.size()));
    EXPECT_EQ(-1, file->FindSection(".idata"));
}

TEST(NefFile, TheSocketModuleIsRenamedWithItsLengthByteKept) {
    Bytes before = NeFile({"KERNEL", "WINSOCK", "USER"}), after = before;
    std::unique_ptr<Nef> file(Nef::OverMemory(after.data(), after.size()));
    ASSERT_EQ(0u, file->Error());
    EXPECT_EQ((std::vector<std::string>{"KERNEL", "WINSOCK", "USER"}), Imports(*file));
    EXPECT_TRUE(file->RenameSocketImport());
    EXPECT_EQ("qmrsock", Changed(before, after));
    EXPECT_EQ((std::vector<std::string>{"KERNEL", "qmrsock", "USER"}), Imports(*file));
    EXPECT_STREQ("NEF", file->FormatName());

    Bytes none = NeFile({"KERNEL", "WINSOCKX"});
    file.reset(Nef::OverMemory(none.data(), none.size()));
    EXPECT_FALSE(file->RenameSocketImport());
    EXPECT_EQ(kExeImportNotFound, file->Error());

    Bytes late = NeFile({"WINSOCK"}, 0x200 - 64);  // within 64 bytes of the end
    EXPECT_EQ(kExeWrongFormat, std::unique_ptr<Nef>(Nef::OverMemory(late.data(), late.size()))->Error());
}

TEST(NefFile, ModuleReferencesOutsideTheFileAreSkipped) {
    Bytes b = NeFile({"KERNEL", "WINSOCK"});
    Put16(b, 0x40 + 0x1E, 0xFFFF);    // far more references than the table holds
    Put16(b, 0x40 + 0x40, 0xFFF0);    // the first one points past the end
    Put16(b, 0x40 + 0x42, 0x16F);     // the second's name runs past the end
    b[0x1FF] = 5;
    std::unique_ptr<Nef> file(Nef::OverMemory(b.data(), b.size()));
    std::vector<std::string> names = Imports(*file);
    EXPECT_EQ(0xFFFFu, names.size());
    EXPECT_EQ("<none>", names[0]);
    EXPECT_EQ("<none>", names[1]);
    EXPECT_FALSE(file->RenameSocketImport());
}

TEST(ExeFile, RenamingReachesTheDiskAndAMissingFileIsCreatedEmpty) {
    TempDir dir;
    std::string path = dir.File("prog.exe");
    Bytes before = PeFile().Build();
    ASSERT_TRUE(WriteWholeFile(path, before.data(), before.size()));
    {
        std::unique_ptr<Coff> file(Coff::Open(path.c_str(), true));
        ASSERT_EQ(0u, file->Error());
        EXPECT_TRUE(file->RenameSocketImport());
    }
    std::vector<unsigned char> after = ReadWholeFile(path);
    ASSERT_EQ(before.size(), after.size());
    // "32" and the dot stay; "WSOCK" and "DLL" become lower-case.
    EXPECT_EQ("qmrskdll", Changed(before, Bytes(after.begin(), after.end())));

    std::string missing = dir.File("missing.exe");
    EXPECT_EQ(kExeFileInvalid, std::unique_ptr<Coff>(Coff::Open(missing.c_str(), true))->Error());
    EXPECT_TRUE(FileExists(missing));
    EXPECT_EQ(2u, std::unique_ptr<Nef>(Nef::Open(dir.File("nowhere.exe").c_str(), false))->Error());
}

TEST(ExeFile, ErrorTexts) {
    const struct {
        uint32_t code;
        const char* text;
    } cases[] = {
        {0, "No error."},
        {32, "That file is in use by another process."},
        {1006, "The file is missing or is damaged."},
        {0x20000001, "The file is of the wrong format."},
        {0x20000002, "The dynamic library name being replaced was not found in the imports list."},
        {80, "There is already a file with that name."},
        {3, "There is no directory (folder) with that name."},
        {161, "The name is not valid."},
        {2, "There is no file with that name."},
        {5, "5"},
        {0xFFFFFFFF, "4294967295"},
    };
    for (auto& c : cases) EXPECT_EQ(c.text, ErrorText(c.code));
}
