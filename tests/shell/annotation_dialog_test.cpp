// The annotation dialog on a real workspace: what it shows when it opens,
// the refusal of an empty title (the message box comes and the dialog
// stays), what OK stores, and that Cancel and closing store nothing.
#include "app/annotation_dialog.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "res/resource.h"
#include "res/strings.h"
#include "store/nodedb.h"
#include "tests/shell/modal_driver.h"
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

    int Run(std::vector<ModalDriver::Step> steps) {
        ModalDriver driver(steps);
        int result = RunAnnotationDialog(GetModuleHandleA(0), 0, NodeRef(db_, note_));
        EXPECT_TRUE(driver.finished());
        return result;
    }
    std::string Title() { return db_.Title(note_) ? db_.Text(db_.Title(note_)) : ""; }
    std::string Body() { return db_.Body(note_) ? db_.Text(db_.Body(note_)) : ""; }

    TempDir dir_;
    NodeDb db_;
    NodeId page_ = 0, note_ = 0;
    HWND dialog_ = 0;

    // The step that reads the message box over the dialog and closes it.
    std::function<bool()> ReadMessageAndPressOk(std::string* text, std::string* caption) {
        return [=] {
            HWND box = ActiveDialog();
            if (box == dialog_ || box == 0) return false;
            *text = StaticTexts(box);
            *caption = WindowText(box);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            return true;
        };
    }
};

TEST_F(AnnotationDialogTest, AnEmptyTitleIsRefusedThenTheFieldsAreStored) {
    ASSERT_TRUE(db_.TestFlags(note_, Untitled));
    std::string shown_to, shown_content, caption, message, message_caption;
    uint32_t stamp = db_.Stamp(note_);
    int result = Run({
        [&] {
            dialog_ = ActiveDialog();
            if (!dialog_) return false;
            caption = WindowText(dialog_);
            shown_to = ItemText(dialog_, IDC_ANNOTATION_TO);
            shown_content = ItemText(dialog_, IDC_ANNOTATION_CONTENT);
            SetDlgItemTextA(dialog_, IDC_ANNOTATION_TITLE, "");
            PostMessageA(GetDlgItem(dialog_, IDOK), BM_CLICK, 0, 0);
            return true;
        },
        ReadMessageAndPressOk(&message, &message_caption),
        [&] {
            if (ActiveDialog() != dialog_) return false;  // the dialog is back, still open
            SetDlgItemTextA(dialog_, IDC_ANNOTATION_TITLE, "Books to borrow");
            SetDlgItemTextA(dialog_, IDC_ANNOTATION_CONTENT, "The first one\r\nand the second");
            PostMessageA(GetDlgItem(dialog_, IDOK), BM_CLICK, 0, 0);
            return true;
        },
    });
    EXPECT_EQ("Annotation - Skeindle", caption);
    EXPECT_EQ("Reading list", shown_to);
    EXPECT_EQ("", shown_content);
    EXPECT_EQ(AppString(IDS_ANNOTATION_NEEDS_TITLE), message);
    EXPECT_EQ("Skeindle", message_caption);
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ("Books to borrow", Title());
    EXPECT_FALSE(db_.TestFlags(note_, Untitled));
    EXPECT_GT(db_.Stamp(note_), stamp);
    EXPECT_EQ("The first one\r\nand the second", Body());
}

TEST_F(AnnotationDialogTest, TheOwnTitleAndContentAreShownAndCancelStoresNothing) {
    NodeRef(db_, note_).SetTitleText("annotation to Reading list", false);
    ASSERT_EQ(1, db_.SetBodyBytes(note_, "kept", 4));
    uint32_t stamp = db_.Stamp(note_);
    std::string shown_title, shown_content;
    int result = Run({[&] {
        dialog_ = ActiveDialog();
        if (!dialog_) return false;
        shown_title = ItemText(dialog_, IDC_ANNOTATION_TITLE);
        shown_content = ItemText(dialog_, IDC_ANNOTATION_CONTENT);
        SetDlgItemTextA(dialog_, IDC_ANNOTATION_TITLE, "changed");
        SetDlgItemTextA(dialog_, IDC_ANNOTATION_CONTENT, "changed too");
        PostMessageA(GetDlgItem(dialog_, IDCANCEL), BM_CLICK, 0, 0);
        return true;
    }});
    EXPECT_EQ("annotation to Reading list", shown_title);
    EXPECT_EQ("kept", shown_content);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("annotation to Reading list", Title());
    EXPECT_EQ("kept", Body());
    EXPECT_EQ(stamp, db_.Stamp(note_));

    // Closing the window is a Cancel as well.
    result = Run({[&] {
        dialog_ = ActiveDialog();
        if (!dialog_) return false;
        SetDlgItemTextA(dialog_, IDC_ANNOTATION_TITLE, "changed");
        PostMessageA(dialog_, WM_CLOSE, 0, 0);
        return true;
    }});
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("annotation to Reading list", Title());
}

TEST_F(AnnotationDialogTest, AnEmptiedContentRemovesTheBody) {
    NodeRef(db_, note_).SetTitleText("annotation to Reading list", false);
    ASSERT_EQ(1, db_.SetBodyBytes(note_, "to be cleared", 13));
    int result = Run({[&] {
        dialog_ = ActiveDialog();
        if (!dialog_) return false;
        SetDlgItemTextA(dialog_, IDC_ANNOTATION_CONTENT, "");
        PostMessageA(GetDlgItem(dialog_, IDOK), BM_CLICK, 0, 0);
        return true;
    }});
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(0u, db_.Body(note_));
    EXPECT_EQ("annotation to Reading list", Title()) << "the title as it was shown";
}

// When the file can no longer grow, OK says that the edit could not be
// stored and the dialog stays open with the new texts; the annotation keeps
// its old title and body.
TEST_F(AnnotationDialogTest, AnEditThatCannotBeStoredIsReportedAndLosesNothing) {
    NodeRef(db_, note_).SetTitleText("annotation to Reading list", false);
    ASSERT_EQ(1, db_.SetBodyBytes(note_, "kept", 4));
    db_.SetSizeLimit((uint32_t)db_.size());
    while (db_.AllocOrder(5) != 0) {
    }
    const std::string long_text(100, 'x');  // no room left for it
    std::string message, message_caption, title_after, content_after;
    int result = Run({
        [&] {
            dialog_ = ActiveDialog();
            if (!dialog_) return false;
            SetDlgItemTextA(dialog_, IDC_ANNOTATION_TITLE, long_text.c_str());
            SetDlgItemTextA(dialog_, IDC_ANNOTATION_CONTENT, long_text.c_str());
            PostMessageA(GetDlgItem(dialog_, IDOK), BM_CLICK, 0, 0);
            return true;
        },
        ReadMessageAndPressOk(&message, &message_caption),
        [&] {
            if (ActiveDialog() != dialog_) return false;  // still open, texts as typed
            title_after = ItemText(dialog_, IDC_ANNOTATION_TITLE);
            content_after = ItemText(dialog_, IDC_ANNOTATION_CONTENT);
            PostMessageA(GetDlgItem(dialog_, IDCANCEL), BM_CLICK, 0, 0);
            return true;
        },
    });
    EXPECT_EQ(AppString(IDS_ANNOTATION_NOT_STORED), message);
    EXPECT_EQ("Skeindle", message_caption);
    EXPECT_EQ(long_text, title_after);
    EXPECT_EQ(long_text, content_after);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_EQ("annotation to Reading list", Title());
    EXPECT_EQ("kept", Body());
}

}  // namespace
