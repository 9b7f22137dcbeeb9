// The annotation dialog on a real workspace: what it shows when it opens,
// the refusal of an empty title (the message box comes and the dialog
// stays), what OK stores, and that Cancel and closing store nothing.
#include "app/annotation_dialog.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "res/resource.h"
#include "res/strings.h"
#include "store/nodedb.h"
#include "tests/support/dialog_user_win32.h"
#include "tests/support/temp_dir.h"

namespace {

class AnnotationDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db_.Create(dir_.File("a.sk1").c_str()));
        page_ = db_.FindNode("http://h/reading.html", true);
        NodeRef(db_, page_).SetTitleText("Reading list", false);
        note_ = db_.NewAnnotation();
        ASSERT_NE(0u, note_);
        NodeRef(db_, page_).LinkTo(db_, note_, Attach);
    }

    int Run(std::vector<UserStep> steps) {
        DialogUser user(steps);
        int result = RunAnnotationDialog(GetModuleHandleA(0), 0, NodeRef(db_, note_));
        EXPECT_EQ("", user.Finish());
        return result;
    }
    // The note titled as the program titles it, with a body.
    void Titled(const char* body) {
        NodeRef(db_, note_).SetTitleText("annotation to Reading list", false);
        ASSERT_EQ(1, db_.SetBodyBytes(note_, body, (uint32_t)strlen(body)));
    }
    std::string Title() { return db_.Title(note_) ? db_.Text(db_.Title(note_)) : ""; }
    std::string Body() { return db_.Body(note_) ? db_.Text(db_.Body(note_)) : ""; }

    TempDir dir_;
    NodeDb db_;
    NodeId page_ = 0, note_ = 0;
};

const char kDialog[] = "Annotation - Skeindle";

// The texts typed into the title and the content, and `button` pressed.
UserStep Edit(const char* title, const char* content, int button) {
    return {kDialog, [=](HWND d) {
                if (title) Type(d, IDC_ANNOTATION_TITLE, title);
                if (content) Type(d, IDC_ANNOTATION_CONTENT, content);
                Answer(d, button);
                return true;
            }};
}

// The program's message box over the dialog, read and answered OK.
UserStep ReadMessage(std::string* text) {
    return {"Skeindle", [=](HWND box) {
                *text = BoxText(box);
                Answer(box, IDOK);
                return true;
            }};
}

TEST_F(AnnotationDialogTest, AnEmptyTitleIsRefusedThenTheFieldsAreStored) {
    ASSERT_TRUE(db_.TestFlags(note_, Untitled));
    std::string shown_to, shown_content, message;
    uint32_t stamp = db_.Stamp(note_);
    UserStep look = {kDialog, [&](HWND d) {
                         shown_to = Text(d, IDC_ANNOTATION_TO);
                         shown_content = Text(d, IDC_ANNOTATION_CONTENT);
                         return true;
                     }};
    // The dialog comes back after the message, still open.
    int result = Run({look, Edit("", 0, IDOK), ReadMessage(&message),
                      Edit("Books to borrow", "The first one\r\nand the second", IDOK)});
    EXPECT_EQ("Reading list", shown_to);
    EXPECT_EQ("", shown_content);
    EXPECT_EQ(AppString(IDS_ANNOTATION_NEEDS_TITLE), message);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("Books to borrow", Title());
    EXPECT_FALSE(db_.TestFlags(note_, Untitled));
    EXPECT_GT(db_.Stamp(note_), stamp);
    EXPECT_EQ("The first one\r\nand the second", Body());
}

// Then OK with the content emptied removes the body, the title kept.
TEST_F(AnnotationDialogTest, TheOwnTitleAndContentAreShownAndCancelStoresNothing) {
    Titled("kept");
    uint32_t stamp = db_.Stamp(note_);
    std::string shown_title, shown_content;
    int result = Run({{kDialog,
                       [&](HWND d) {
                           shown_title = Text(d, IDC_ANNOTATION_TITLE);
                           shown_content = Text(d, IDC_ANNOTATION_CONTENT);
                           return true;
                       }},
                      Edit("changed", "changed too", IDCANCEL)});
    EXPECT_EQ("annotation to Reading list", shown_title);
    EXPECT_EQ("kept", shown_content);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("annotation to Reading list", Title());
    EXPECT_EQ("kept", Body());
    EXPECT_EQ(stamp, db_.Stamp(note_));

    // Closing the window is a Cancel as well.
    result = Run({{kDialog, [](HWND d) {
                       Type(d, IDC_ANNOTATION_TITLE, "changed");
                       PostMessageA(d, WM_CLOSE, 0, 0);
                       return true;
                   }}});
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("annotation to Reading list", Title());

    EXPECT_EQ(IDOK, Run({Edit(0, "", IDOK)}));
    EXPECT_EQ(0u, db_.Body(note_));
    EXPECT_EQ("annotation to Reading list", Title());
}

// When the file can no longer grow, OK says that the edit could not be
// stored and the dialog stays open with the new texts; the annotation keeps
// its old title and body.
TEST_F(AnnotationDialogTest, AnEditThatCannotBeStoredIsReportedAndLosesNothing) {
    Titled("kept");
    db_.SetSizeLimit((uint32_t)db_.size());
    while (db_.AllocOrder(5) != 0) {
    }
    const std::string long_text(100, 'x');  // no room left for it
    std::string message, title_after, content_after;
    int result = Run({Edit(long_text.c_str(), long_text.c_str(), IDOK),
                      ReadMessage(&message),
                      {kDialog, [&](HWND d) {  // still open, texts as typed
                           title_after = Text(d, IDC_ANNOTATION_TITLE);
                           content_after = Text(d, IDC_ANNOTATION_CONTENT);
                           Answer(d, IDCANCEL);
                           return true;
                       }}});
    EXPECT_EQ(AppString(IDS_ANNOTATION_NOT_STORED), message);
    EXPECT_EQ(long_text, title_after);
    EXPECT_EQ(long_text, content_after);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("annotation to Reading list", Title());
    EXPECT_EQ("kept", Body());
}

}  // namespace
