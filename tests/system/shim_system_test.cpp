// A browser of the old kind (tools/retrobrowser, importing wsock32.dll)
// registered through Add Web Browser, started from Start Web Browser with
// qmrsk32.dll beside its doctored copy, browsing the bundled site served
// on loopback: every page it fetched reaches the workspace with its
// content type, title and links. Run undoctored, the same program fetches
// the same bytes.
#include <windows.h>

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "browser/browser_registry_win32.h"
#include "observe/content_type.h"
#include "observe/settings.h"
#include "res/resource.h"
#include "store/layout.h"
#include "store/nodedb.h"
#include "tests/support/dialog_user_win32.h"
#include "tests/support/temp_dir.h"
#include "tests/system/skeind_run.h"
#include "tools/uiprobe/probe.h"

namespace {

const char kBrowserFolder[] = "Old Web";

// The fetches of a finished log, as the browser logs them: "<status>
// <content-type> <bytes> <url>"; waited for until its "done" line is there.
std::vector<std::string> WaitForFetches(const std::string& log) {
    for (int i = 0; i < 600; ++i, Sleep(100)) {
        std::string text = FileText(log);
        size_t done = text.find("done ");
        if (done != std::string::npos && (done == 0 || text[done - 1] == '\n')) {
            std::vector<std::string> lines;
            std::istringstream in(text.substr(0, done));
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            return lines;
        }
    }
    return {};
}

class ShimSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        had_x_factor_ = SettingsKey::Program().ReadNumber("x-factor", -1);
        // Any browser may be added; the list starts empty.
        SettingsKey::Program().WriteNumber("x-factor", 1);
        ForgetBrowsers();
        ASSERT_TRUE(site_.Start(BesideThisProgram("sitehost.exe"),
                                std::string("--root \"") + SKEIND_DEMO_SITE + "\" --port 0 --port-file port.txt",
                                dir_.path()));
        for (int i = 0; i < 100 && port_.empty(); ++i, Sleep(100)) {
            port_ = FileText(dir_.File("port.txt"));
            port_.erase(std::remove_if(port_.begin(), port_.end(), ::isspace), port_.end());
        }
        ASSERT_FALSE(port_.empty()) << "the site server gave no port";
        folder_ = dir_.File(kBrowserFolder);
        CreateDirectoryA(folder_.c_str(), 0);
        ASSERT_TRUE(CopyFileA(BesideThisProgram("retrobrowser.exe").c_str(), Browser().c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(SKEIND_SHIM_DLL, (folder_ + "\\qmrsk32.dll").c_str(), FALSE));
    }
    void TearDown() override {
        ForgetBrowsers();
        if (had_x_factor_ < 0)
            RegDeleteValueA(SettingsKey::Program().handle(), "x-factor");
        else
            SettingsKey::Program().WriteNumber("x-factor", (uint32_t)had_x_factor_);
    }
    static void ForgetBrowsers() {
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, kBrowsersKeyPath);
        SHDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kAppPathsKeyPath) + "\\doctored retrobrowser.exe").c_str());
    }

    std::string Browser() const { return folder_ + "\\retrobrowser.exe"; }
    std::string Doctored() const { return folder_ + "\\doctored retrobrowser.exe"; }
    std::string Url(const char* host, const char* path) const {
        return std::string("http://") + host + ":" + port_ + path;
    }
    // Runs `program` to its end with `args`.
    void Run(const std::string& program, const std::string& args) {
        EXPECT_EQ(0, ExitCodeOf(program, args, folder_, 60000)) << program << " " << args;
    }

    // The user at the offer the program makes as it starts: Add..., the
    // browser's program file and a description, OK; then the new entry
    // chosen and started.
    void AddAndStartTheBrowser(DWORD pid) {
        HWND start = ProbeWaitForWindow("#32770", "Start Web Browser", pid, kSystemTimeout);
        ASSERT_TRUE(start != 0) << "no offer to start a browser";
        PostMessageA(start, WM_COMMAND, MAKEWPARAM(IDC_ADD_BROWSER, BN_CLICKED), 0);
        HWND add = ProbeWaitForWindow("#32770", "Add Web Browser", pid, kSystemTimeout);
        ASSERT_TRUE(add != 0);
        Type(add, IDC_PROGRAM_FILE, Browser().c_str());
        Type(add, IDC_BROWSER_DESCRIPTION, "Old Web");
        PostMessageA(add, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        bool listed = false;
        for (int i = 0; i < 100 && !listed; ++i, Sleep(100)) listed = ClickItem(start, IDC_BROWSER_LIST, "Old Web");
        ASSERT_TRUE(listed) << "the new browser is not in the list";
        PostMessageA(start, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }

    TempDir dir_;
    Program site_;
    std::string port_;
    std::string folder_;
    int32_t had_x_factor_ = -1;
};

}  // namespace

TEST_F(ShimSystemTest, ADoctoredBrowsersPagesReachTheWorkspace) {
    // Undoctored first: the program by itself, its fetches the reference.
    std::string options = "--keep-alive --pipeline";
    Run(Browser(), options + " --log plain.txt " + Url("127.0.0.1", "/index.html"));
    std::vector<std::string> plain = WaitForFetches(folder_ + "\\plain.txt");
    ASSERT_GE(plain.size(), 8u);

    std::ofstream(folder_ + "\\homepage.txt") << Url("127.0.0.1", "/index.html") << "\n"
                                              << options << " --log doctored.txt\n";
    std::string workspace = dir_.File("map.sk1");
    ASSERT_TRUE(MakeWorkspace(workspace));
    SkeindRun program;
    ASSERT_TRUE(program.StartOn("map.sk1", dir_.path(), false));
    AddAndStartTheBrowser(program.pid());
    std::vector<std::string> doctored = WaitForFetches(folder_ + "\\doctored.txt");
    ASSERT_EQ(plain, doctored) << "the doctored copy fetched otherwise";
    // The same program, event-driven and without keep-alive, on another
    // name of the host: a second set of pages.
    Run(Doctored(), "--async --log async.txt " + Url("localhost", "/index.html"));
    std::vector<std::string> async = WaitForFetches(folder_ + "\\async.txt");
    ASSERT_EQ(plain.size(), async.size());
    Sleep(1500);  // the last datagrams reach the map

    EXPECT_EQ(0u, program.Close());
    NodeDb db;
    ASSERT_TRUE(db.OpenWorkspace(workspace.c_str()));
    for (const std::vector<std::string>* run : {&doctored, &async}) {
        for (const std::string& line : *run) {
            SCOPED_TRACE(line);
            std::istringstream fields(line);
            std::string status, mime, bytes, url;
            ASSERT_TRUE(fields >> status >> mime >> bytes >> url);
            NodeId page = db.FindNode(url.c_str(), false);
            ASSERT_NE(0u, page) << "not in the workspace";
            EXPECT_EQ(ContentTypeOfMime(mime.c_str()), db.ContentType(page));
        }
    }
    // Titles and links exactly as the site's pages say (demo/site).
    struct Expected {
        const char* path;
        const char* title;
        std::vector<std::string> links;  // "<kind> <path or URL>", sorted; a site is named without its "/"
    } pages[] = {
        {"/index.html",
         "The Hank & Skein Society of Quillmere",
         {"1 /about.html", "1 /join.html", "1 /meetings/", "1 /patterns.html", "1 http://www.yarnworks.example/",
          "1 mailto:secretary@hankandskein.example", "2 /images/logo.gif", "2 /images/wool.gif"}},
        {"/meetings/",
         "Meetings and workshops",
         {"1 ", "1 /about.html", "1 /join.html", "1 /notes.txt", "2 /images/skein.gif"}},
        {"/patterns.html",
         "The pattern library",
         {"1 /pattern-list.html", "18 /pattern-list.html", "18 /pattern-scarf.html"}},
    };
    for (const char* host : {"127.0.0.1", "localhost"}) {
        for (const Expected& e : pages) {
            SCOPED_TRACE(Url(host, e.path));
            NodeId page = db.FindNode(Url(host, e.path).c_str(), false);
            ASSERT_NE(0u, page);
            ASSERT_NE(0u, db.Title(page));
            EXPECT_STREQ(e.title, db.Text(db.Title(page)));
            std::vector<std::string> links;
            for (const std::string& link : e.links) {
                size_t space = link.find(' ');
                std::string target = link.substr(space + 1);
                if (target.empty() || target[0] == '/') target = Url(host, target.c_str());
                links.push_back(link.substr(0, space + 1) + target);
            }
            EXPECT_EQ(links, LinksOf(db, page));
        }
    }
}
