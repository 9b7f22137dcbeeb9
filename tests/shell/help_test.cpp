// SHelp over a recording viewer: which WinHelp commands go out, when the
// marker is set and the help told to quit, and where the HTML help opens
// when WinHelp cannot show anything. Then the system viewer itself, and the
// help pages the build installs beside the test programs.
#include "shell/help.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "shell/about_box.h"
#include "shell/view_page.h"
#include "tests/shell/recording_viewer.h"

namespace {

class HelpTest : public ::testing::Test {
protected:
    void SetUp() override {
        help_.SetHelpViewer(&viewer_);
        help_.SetHelpOwner(owner_);
    }

    HWND owner_ = (HWND)0x1234;  // never touched, only passed along
    RecordingViewer viewer_;
    SHelp help_;
};

// Help shown only as a page leaves no quit for the end.
TEST_F(HelpTest, TopicsGoToWinHelpAndMarkHelpShownOnlyWhenItWorks) {
    viewer_.winhelp_works = true;
    EXPECT_TRUE(help_.HelpTopic(8));
    ASSERT_EQ(1u, viewer_.calls.size());
    EXPECT_EQ(owner_, viewer_.calls[0].window);
    EXPECT_EQ("skeind.hlp", viewer_.calls[0].file);
    EXPECT_EQ((UINT)HELP_CONTEXT, viewer_.calls[0].command);
    EXPECT_EQ(8u, viewer_.calls[0].data);
    EXPECT_TRUE(help_.help_shown());
    EXPECT_TRUE(viewer_.pages.empty()) << "WinHelp showed it; no page as well";

    RecordingViewer failing;
    {
        SHelp other;
        other.SetHelpViewer(&failing);
        EXPECT_TRUE(other.HelpContents());
        EXPECT_TRUE(other.HelpIndex());
        EXPECT_FALSE(other.help_shown()) << "a page in the browser leaves nothing to quit";
    }
    ASSERT_EQ(2u, failing.calls.size()) << "no call at exit";
    EXPECT_EQ((UINT)HELP_CONTENTS, failing.calls[0].command);
    EXPECT_EQ((UINT)HELP_FINDER, failing.calls[1].command);
    EXPECT_EQ((std::vector<std::string>{"contents", "index"}), failing.pages);
}

TEST_F(HelpTest, QuitAtDestructionOnlyAfterWinHelpShowedSomething) {
    RecordingViewer used;
    {
        SHelp help;
        help.SetHelpViewer(&used);
        used.winhelp_works = true;
        help.HelpIndex();
    }
    ASSERT_EQ(2u, used.calls.size());
    EXPECT_EQ((UINT)HELP_QUIT, used.calls[1].command);
    EXPECT_EQ("skeind.hlp", used.calls[1].file);

    viewer_.winhelp_works = true;
    help_.HelpContents();
    help_.HelpQuit();
    EXPECT_FALSE(help_.help_shown()) << "quit once, not again at exit";
}

TEST_F(HelpTest, PopUpHelpFindsTheControlsTopicWhenWinHelpCannot) {
    HWND dialog = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, 0, 0, 0, 0);
    HWND picture = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, dialog, (HMENU)1000, 0, 0);
    HWND stranger = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 5, 5, dialog, (HMENU)777, 0, 0);

    EXPECT_TRUE(help_.HelpContextMenu(picture, kAboutHelpTable));
    ASSERT_EQ(1u, viewer_.calls.size());
    EXPECT_EQ(picture, viewer_.calls[0].window) << "WinHelp pops up beside the control";
    EXPECT_EQ((UINT)HELP_CONTEXTMENU, viewer_.calls[0].command);
    EXPECT_EQ((ULONG_PTR)kAboutHelpTable, viewer_.calls[0].data);

    HELPINFO info = {sizeof info, HELPINFO_WINDOW, 1004, 0, 0, {0, 0}};
    info.hItemHandle = picture;  // the window WinHelp is given, whatever the id says
    EXPECT_TRUE(help_.HelpForRequest(&info, kAboutHelpTable));
    EXPECT_EQ(picture, viewer_.calls[1].window);
    EXPECT_EQ((UINT)HELP_WM_HELP, viewer_.calls[1].command);
    EXPECT_EQ((std::vector<std::string>{"topic-2", "topic-1"}), viewer_.pages);

    EXPECT_FALSE(help_.HelpContextMenu(stranger, kAboutHelpTable)) << "no topic, nothing opens";
    EXPECT_EQ(2u, viewer_.pages.size());

    viewer_.winhelp_works = true;
    EXPECT_TRUE(help_.HelpContextMenu(picture, kAboutHelpTable));
    EXPECT_FALSE(help_.help_shown()) << "pop-ups leave nothing to quit";
    EXPECT_FALSE(help_.HelpForRequest(0, kAboutHelpTable));
    DestroyWindow(dialog);
}

TEST(HelpTables, TopicsOfControls) {
    EXPECT_EQ(1u, HelpTopicOfControl(kAboutHelpTable, 1004));
    EXPECT_EQ(3u, HelpTopicOfControl(kAboutHelpTable, 1001));
    EXPECT_EQ(0u, HelpTopicOfControl(kAboutHelpTable, 0)) << "the end mark is no entry";
    EXPECT_EQ(0u, HelpTopicOfControl(kAboutHelpTable, 1002));
    EXPECT_EQ(0u, HelpTopicOfControl(0, 1004));
    EXPECT_EQ(11u, HelpTopicOfControl(kViewPageHelpTable, 1024));
    EXPECT_EQ(9u, HelpTopicOfControl(kViewPageHelpTable, 1025));
    EXPECT_EQ(16u, HelpTopicOfControl(kViewPageHelpTable, 1027));
}

TEST(BrowserCommandLine, TheDocumentTakesThePlaceOfTheArgument) {
    EXPECT_EQ("\"C:\\b\\winebrowser.exe\" \"C:\\x y\\t.html\"",
              BrowserCommandLine("\"C:\\b\\winebrowser.exe\" \"%1\"", "C:\\x y\\t.html"));
    EXPECT_EQ("b.exe -url \"C:\\x y\\t.html\" -new", BrowserCommandLine("b.exe -url %1 -new", "C:\\x y\\t.html"));
    EXPECT_EQ("b.exe \"C:\\t.html\"", BrowserCommandLine("b.exe %L", "C:\\t.html"));
    EXPECT_EQ("b.exe -nohome \"C:\\t.html\"", BrowserCommandLine("b.exe -nohome", "C:\\t.html"));
}

// The system viewer: without a help file WinHelp is not asked at all (it
// would wait in its "where is the file?" dialog), and a place that has no
// page opens nothing.
TEST(SystemHelpViewer, NoHelpFileAndNoPageShowNothing) {
    AHelpViewer& viewer = SystemHelpViewer();
    DWORD start = GetTickCount();
    EXPECT_FALSE(viewer.WinHelp(0, "no-such-help-file.hlp", HELP_CONTEXT, 8));
    EXPECT_FALSE(viewer.WinHelp(0, "", HELP_CONTENTS, 0));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_TRUE(FindWindowA("MS_WINHELP", 0) == 0) << "WinHelp was started";
    EXPECT_FALSE(viewer.OpenPage(0, "no-such-place"));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every place the program opens help at has its page beside the program,
// and the page it forwards to has that place.
TEST(InstalledHelp, EveryPlaceHasItsPageAndItsAnchor) {
    std::string contents_page = HelpPagePath("contents");
    char program[MAX_PATH];
    GetModuleFileNameA(0, program, sizeof program);
    std::string folder(program);
    folder.erase(folder.find_last_of('\\') + 1);
    EXPECT_EQ(folder + "skeind-help\\contents.html", contents_page);

    std::string whole = ReadFile(folder + "skeind-help\\skeindle.html");
    ASSERT_FALSE(whole.empty()) << "the help page is not installed";
    std::vector<std::string> places = {"contents", "index", "topic-8"};
    for (const DWORD* t = kAboutHelpTable; t[0] != 0; t += 2) places.push_back("topic-" + std::to_string(t[1]));
    for (const DWORD* t = kViewPageHelpTable; t[0] != 0; t += 2) places.push_back("topic-" + std::to_string(t[1]));
    ASSERT_EQ(3u + 3u + 8u, places.size());
    for (const std::string& place : places) {
        std::string page = ReadFile(HelpPagePath(place.c_str()));
        EXPECT_NE(std::string::npos, page.find("url=skeindle.html#" + place + "\"")) << place;
        EXPECT_NE(std::string::npos, whole.find("id=\"" + place + "\"")) << place;
    }
}

}  // namespace
