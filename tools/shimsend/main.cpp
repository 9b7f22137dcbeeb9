// shimsend: sends a shim script's observations as datagrams, as the socket
// shim in a browser would.
//
//   shimsend [--port N] [--host ADDRESS] [SCRIPT | -]
// The sender first: on Windows it brings winsock2.h before windows.h.
#include "tools/common/udp_sender.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "observe/datagram.h"
#include "tools/shimsend/script.h"

namespace {

void PauseFor(int ms) {
#ifdef _WIN32
    Sleep((DWORD)ms);
#else
    usleep((useconds_t)ms * 1000);
#endif
}

bool ReadAll(FILE* f, std::string* out) {
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out->append(chunk, n);
    return !ferror(f);
}

int Usage() {
    fprintf(stderr, "usage: shimsend [--port N] [--host ADDRESS] [SCRIPT | -]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = kShimPort;
    const char* host = "127.0.0.1";
    const char* path = "-";
    for (int i = 1; i < argc; ++i) {
        if (!strcmp(argv[i], "--port") && i + 1 < argc)
            port = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--host") && i + 1 < argc)
            host = argv[++i];
        else if (argv[i][0] == '-' && argv[i][1] != 0)
            return Usage();
        else
            path = argv[i];
    }
    std::string script;
    FILE* f = strcmp(path, "-") ? fopen(path, "rb") : stdin;
    if (f == 0 || !ReadAll(f, &script)) {
        fprintf(stderr, "shimsend: cannot read %s\n", path);
        return 1;
    }
    if (f != stdin) fclose(f);
    std::vector<ScriptDatagram> datagrams;
    std::string error;
    if (!BuildShimScript(script, &datagrams, &error)) {
        fprintf(stderr, "shimsend: %s: %s\n", path, error.c_str());
        return 1;
    }

    UdpSender sender;
    if (!sender.Open(host, port)) {
        fprintf(stderr, "shimsend: no socket\n");
        return 1;
    }
    int failed = 0;
    for (const ScriptDatagram& d : datagrams) {
        if (d.bytes.size() > kDatagramHead && !sender.Send(d.bytes.data(), d.bytes.size())) ++failed;
        if (d.pause_ms > 0) PauseFor(d.pause_ms);
    }
    printf("shimsend: %u datagrams sent to %s:%d%s\n", (unsigned)(datagrams.size() - failed), host, port,
           failed ? ", some failed" : "");
    return failed ? 1 : 0;
}
