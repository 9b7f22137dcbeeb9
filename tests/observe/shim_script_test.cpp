// Shim scripts: lines made into datagrams, checked by decoding them again.
#include "tools/shimsend/script.h"

#include <gtest/gtest.h>

#include "observe/datagram.h"
#include "tools/scanreplay/call_log.h"

namespace {

// The calls the datagrams make, written for connection 7.
std::string Replay(const std::vector<ScriptDatagram>& datagrams) {
    CallLog client(7);
    for (const ScriptDatagram& d : datagrams)
        EXPECT_NE(0, DispatchDatagram(d.bytes.data(), d.bytes.size(), client));
    return client.Text();
}

TEST(ShimScriptTest, EveryLineKindBecomesItsRecord) {
    const char* script =
        "# a page and its links\n"
        "\n"
        "id 7\n"
        "open shim 1.0\n"
        "request http://h/index.html\r\n"
        "status 200\n"
        "type text/html\n"
        "title title  Home  page \n"
        "base http://h/\n"
        "link anchor about.html About us\n"
        "link include logo.gif image\n"
        "link redirect http://h/new/\n"
        "id 8\n"
        "request http://h/x HEAD\n"
        "title h1 X\n"
        "close\n"
        "resync\n";
    std::vector<ScriptDatagram> out;
    std::string error;
    ASSERT_TRUE(BuildShimScript(script, &out, &error)) << error;
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(
        "Open(\"shim 1.0\")\nRequest(http://h/index.html,0)\nStatus(200)\nContentType(text/html)\n"
        "Title(\"Home  page \",1)\nBase(http://h/)\nLink(about.html,0,\"About us\")\n"
        "Link(logo.gif,1,\"image\")\nLink(http://h/new/,3,null)\n[8] Request(http://h/x,1)\n"
        "[8] Title(\"X\",2)\n[8] Close()\n",
        Replay(out));
    CallLog client;
    EXPECT_EQ(DatagramDispatched | DatagramResync, DispatchDatagram(out[0].bytes.data(), out[0].bytes.size(), client));
}

TEST(ShimScriptTest, RecordsArePackedIntoDatagramsOfAtMost512Bytes) {
    std::string script = "request http://h/\n";
    for (int i = 0; i < 100; ++i) script += "link anchor page" + std::to_string(i) + ".html Page number " + std::to_string(i) + "\n";
    script += "send\nclose\npause 250\n";
    std::vector<ScriptDatagram> out;
    std::string error;
    ASSERT_TRUE(BuildShimScript(script, &out, &error)) << error;
    ASSERT_GT(out.size(), 5u);
    size_t records = 0;
    for (const ScriptDatagram& d : out) EXPECT_LE(d.bytes.size(), kDatagramMax);
    std::string calls = Replay(out);
    for (size_t at = 0; (at = calls.find('\n', at)) != std::string::npos; ++at) ++records;
    EXPECT_EQ(102u, records);
    EXPECT_EQ(250, out.back().pause_ms);
    EXPECT_EQ(0, out[out.size() - 2].pause_ms);
}

TEST(ShimScriptTest, LinesThatCannotBeReadAreNamed) {
    const char* bad[] = {"status abc", "title big Home", "link sideways x.html", "request", "frobnicate",
                         "request http://h/ POST", "pause -5", "id"};
    for (const char* line : bad) {
        std::vector<ScriptDatagram> out;
        std::string error;
        EXPECT_FALSE(BuildShimScript(std::string("close\n") + line + "\n", &out, &error)) << line;
        EXPECT_EQ(0u, error.find("line 2: ")) << error;
    }
}

}  // namespace
