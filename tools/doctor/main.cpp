// doctor PROGRAM COPY: copies a program and makes the copy import the
// socket shim in place of the system socket library, as Add Web Browser
// does, for scripts (the demonstration, the shim's benchmark) that have no
// user at the dialogue. Exit code 0 when the copy was doctored.
#include <stdio.h>

#include <fstream>
#include <memory>

#include "browser/exe_file.h"

namespace {

bool CopyFile(const char* from, const char* to) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    if (!in || !out) return false;
    out << in.rdbuf();
    return (bool)out;
}

// The program as one format or the other; none when it is neither.
AExe* OpenProgram(const char* name) {
    Coff* coff = Coff::Open(name, true);
    if (coff && coff->Error() == 0) return coff;
    delete coff;
    Nef* ne = Nef::Open(name, true);
    if (ne && ne->Error() == 0) return ne;
    delete ne;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: doctor PROGRAM COPY\n");
        return 2;
    }
    if (!CopyFile(argv[1], argv[2])) {
        fprintf(stderr, "doctor: cannot copy %s to %s\n", argv[1], argv[2]);
        return 1;
    }
    std::unique_ptr<AExe> copy(OpenProgram(argv[2]));
    if (!copy) {
        fprintf(stderr, "doctor: %s is not a program file\n", argv[2]);
        return 1;
    }
    if (!copy->RenameSocketImport()) {
        fprintf(stderr, "doctor: %s does not import the socket library\n", argv[1]);
        return 1;
    }
    return 0;
}
