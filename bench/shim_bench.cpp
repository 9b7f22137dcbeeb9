// What the shim's portable core costs a browser per page, without the
// system under it: a keep-alive connection fetching pages like those of
// scripts/bench-shim.sh (some 20 KB of text, a dozen links), the responses
// read in 16 KB pieces as retrobrowser reads them, every record packed
// into datagrams that a sink drops. The send of each datagram is the
// other part of the cost; bench/README.md has both.
#include <benchmark/benchmark.h>

#include <string>

#include "shim/std_lock.h"
#include "shim/watch_table.h"

namespace {

class DroppingSink final : public ADatagramSink {
public:
    void Send(const uint8_t*, size_t) override { ++datagrams; }
    int64_t datagrams = 0;
};

uint32_t NoClock() {
    return 0;
}

std::string PageResponse(int i) {
    std::string para;
    for (int k = 0; k < 6; ++k)
        para += "Skeins are wound by hand from the spinning wheel's bobbin, counted in turns of the niddy-noddy. ";
    std::string body = "<html><head><title>Page " + std::to_string(i) +
                       "</title><link rel=\"stylesheet\" href=\"s.css\"></head>\n<body><h1>Page " + std::to_string(i) +
                       "</h1><img src=\"a.gif\" alt=\"A\"><img src=\"b.gif\">\n<ul>";
    for (int k = 1; k < 9; ++k)
        body += "<li><a href=\"p" + std::to_string(i + k) + ".html\">Page " + std::to_string(i + k) + "</a>\n";
    body += "</ul>\n";
    for (int k = 0; k < 25; ++k) body += "<p>" + para + "</p>\n";
    body += "<a href=\"index.html\">Home</a></body></html>\n";
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nConnection: Keep-Alive\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

void BM_KeepAlivePages(benchmark::State& state) {
    const int kPages = 100;
    std::vector<std::string> requests, responses;
    size_t bytes = 0;
    for (int i = 0; i < kPages; ++i) {
        requests.push_back("GET /p" + std::to_string(i) +
                           ".html HTTP/1.0\r\nHost: 127.0.0.1:8080\r\nUser-Agent: retrobrowser/1.0\r\n"
                           "Accept: */*\r\nConnection: Keep-Alive\r\n\r\n");
        responses.push_back(PageResponse(i));
        bytes += requests.back().size() + responses.back().size();
    }
    StdLock lock;
    ExchangeIds ids(0x80000000u);
    DroppingSink sink;
    WatchTable table(&lock, &ids, &sink, NoClock);
    const size_t kPiece = 16384;
    for (auto _ : state) {
        table.Connected(7, "127.0.0.1", 8080);
        for (int i = 0; i < kPages; ++i) {
            table.Sent(7, (const uint8_t*)requests[i].data(), requests[i].size());
            const std::string& r = responses[i];
            for (size_t at = 0; at < r.size(); at += kPiece) {
                size_t n = r.size() - at < kPiece ? r.size() - at : kPiece;
                table.Received(7, (const uint8_t*)r.data() + at, n);
            }
        }
        table.Closed(7);
    }
    state.SetItemsProcessed(state.iterations() * kPages);
    state.SetBytesProcessed(state.iterations() * (int64_t)bytes);
    state.counters["datagrams/page"] =
        benchmark::Counter((double)sink.datagrams / ((double)state.iterations() * kPages));
}
BENCHMARK(BM_KeepAlivePages);

}  // namespace

BENCHMARK_MAIN();
