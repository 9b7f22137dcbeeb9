// Shim scripts: lines made into datagrams, checked by decoding them again.
#include "tools/shimsend/script.h"

#include <gtest/gtest.h>

#include "observe/datagram.h"
#include "tests/support/recording_client.h"

namespace {

std::string Replay(const std::vector<ScriptDatagram>& datagrams) {
    RecordingClient client;
    for (const ScriptDatagram& d : datagrams)
        EXPECT_NE(0, DispatchDatagram(d.bytes.data(), d.bytes.size(), client));
    std::string all;
    for (const std::string& call : client.calls) all += call + "\n";
    return all;
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
        "7 Open(\"shim 1.0\")\n7 Request(\"http://h/index.html\",0)\n7 Status(200)\n7 ContentType(\"text/html\")\n"
        "7 Title(\"Home  page \",1)\n7 Base(\"http://h/\")\n7 Link(\"about.html\",0,\"About us\")\n"
        "7 Link(\"logo.gif\",1,\"image\")\n7 Link(\"http://h/new/\",3,none)\n8 Request(\"http://h/x\",1)\n"
        "8 Title(\"X\",2)\n8 Close()\n",
        Replay(out));
    RecordingClient client;
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
