#include "app/annotation_dialog.h"

#include "res/resource.h"
#include "res/strings.h"

namespace {

// An edit control as the workspace reads texts.
class EditText : public ATextSource {
public:
    explicit EditText(HWND control) : control_(control) {}
    size_t TextLength() const override {
        int n = GetWindowTextLengthA(control_);
        return n > 0 ? (size_t)n : 0;
    }
    size_t CopyText(char* out, size_t room) const override {
        if (room == 0) return 0;
        int n = GetWindowTextA(control_, out, room > 0x7FFFFFFF ? 0x7FFFFFFF : (int)room);
        return n > 0 ? (size_t)n : 0;
    }

private:
    HWND control_;
};

void FillFields(HWND dialog, NodeRef& note) {
    AWorkspace& w = note.workspace();
    LinkId in = w.FirstIn(note.node());
    if (in != 0) {
        NodeRef page(w, w.LinkNode(in));
        SetDlgItemTextA(dialog, IDC_ANNOTATION_TO, page.DisplayTitle());
    }
    SetDlgItemTextA(dialog, IDC_ANNOTATION_TITLE, note.DisplayTitle());
    uint32_t body = w.Body(note.node());
    SetDlgItemTextA(dialog, IDC_ANNOTATION_CONTENT, body ? w.Text(body) : "");
}

// False, after saying why, when the fields cannot be stored.
bool StoreFields(HWND dialog, NodeRef& note) {
    HWND title = GetDlgItem(dialog, IDC_ANNOTATION_TITLE);
    if (GetWindowTextLengthA(title) == 0) {
        MessageBoxA(dialog, AppString(IDS_ANNOTATION_NEEDS_TITLE), AppString(IDS_PROGRAM_TITLE),
                    MB_OK | MB_ICONEXCLAMATION);
        SetFocus(title);
        return false;
    }
    // A text that finds no room (the file cannot grow) leaves the old one
    // in place; the dialog then stays open with what was typed.
    AWorkspace& w = note.workspace();
    bool stored = w.SetTitleFromControl(note.node(), EditText(title)) != 0;
    if (stored) {
        w.Touch(note.node());
        w.ClearFlags(note.node(), Untitled);
        stored = w.SetBodyFromControl(note.node(), EditText(GetDlgItem(dialog, IDC_ANNOTATION_CONTENT))) != 0;
    }
    if (!stored) {
        MessageBoxA(dialog, AppString(IDS_ANNOTATION_NOT_STORED), AppString(IDS_PROGRAM_TITLE),
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return true;
}

INT_PTR CALLBACK AnnotationProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, DWLP_USER, lparam);
        FillFields(dialog, *(NodeRef*)lparam);
        return 1;
    }
    NodeRef* note = (NodeRef*)GetWindowLongPtrA(dialog, DWLP_USER);
    if (!note) return 0;
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            if (StoreFields(dialog, *note)) EndDialog(dialog, IDOK);
            return 1;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return 1;
        }
        return 0;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return 1;
    default: return 0;
    }
}

}  // namespace

int RunAnnotationDialog(HINSTANCE instance, HWND parent, NodeRef annotation) {
    return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ANNOTATION), parent, AnnotationProc,
                                (LPARAM)&annotation);
}
