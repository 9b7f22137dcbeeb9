// burstsend: sends a burst of a site's pages to the program as its shim
// would, as fast as the socket takes them or at a given rate.
//
//   burstsend [--pages N] [--links N] [--rate DATAGRAMS_PER_SECOND] [--port N]
//
// At a rate, the datagrams due are sent every millisecond (a few at a time
// rather than one every 50 µs, so that the sender does not spin a core that
// the program needs). Prints the datagrams sent and the time they took.
// The sender first: on Windows it brings winsock2.h before windows.h.
#include "tools/common/udp_sender.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <chrono>

#include "observe/datagram.h"
#include "tools/burst/burst_site.h"

namespace {

typedef std::chrono::steady_clock Clock;

void SleepAMillisecond() {
#ifdef _WIN32
    Sleep(1);
#else
    timespec t = {0, 1000000};
    nanosleep(&t, 0);
#endif
}

int Usage() {
    fprintf(stderr, "usage: burstsend [--pages N] [--links N] [--rate PER_SECOND] [--port N]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    BurstSite site;
    double rate = 0;  // 0: as fast as the socket takes them
    int port = kShimPort;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 >= argc) return Usage();
        if (!strcmp(argv[i], "--pages"))
            site.pages = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--links"))
            site.links = atoi(argv[++i]);
        else if (!strcmp(argv[i], "--rate"))
            rate = atof(argv[++i]);
        else if (!strcmp(argv[i], "--port"))
            port = atoi(argv[++i]);
        else
            return Usage();
    }
    if (site.pages < 1 || site.links < 0 || rate < 0) return Usage();
    std::vector<Datagram> datagrams = BurstDatagrams(site);

    UdpSender sender;
    if (!sender.Open("127.0.0.1", port)) {
        fprintf(stderr, "burstsend: no socket\n");
        return 1;
    }
    size_t failed = 0, sent = 0;
    Clock::time_point start = Clock::now();
    while (sent < datagrams.size()) {
        size_t due = datagrams.size();
        if (rate > 0) {
            double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            due = (size_t)(seconds * rate) + 1;
            if (due > datagrams.size()) due = datagrams.size();
            if (due <= sent) {
                SleepAMillisecond();
                continue;
            }
        }
        for (; sent < due; ++sent) {
            const Datagram& d = datagrams[sent];
            if (!sender.Send(d.data(), d.size())) ++failed;
        }
    }
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    printf("burstsend: %zu datagrams of %d pages in %.3f s (%.0f a second), %zu failed\n", datagrams.size(), site.pages,
           seconds, seconds > 0 ? datagrams.size() / seconds : 0.0, failed);
    return failed ? 1 : 0;
}
