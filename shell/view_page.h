// The view options sheet: one property page, View_page, on which the user
// chooses which kinds of links the map shows and how showing and hiding
// links behaves. The page edits a working copy of the map's view flags and
// hands it to the map on OK or Apply. Windows only.
#ifndef SKEIND_SHELL_VIEW_PAGE_H
#define SKEIND_SHELL_VIEW_PAGE_H

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>
#include <stdint.h>

class GraphWindow;
class SHelp;

// A property sheet page driven by an object: its dialog procedure turns
// the page's messages and the sheet's notifications into these calls.
class VPropsheet_page {
public:
    // A check box or button was clicked; 1 when it is one of the page's.
    virtual int Command(int control) = 0;
    // Whether the page's values differ from what they edit.
    virtual bool IsChanged() = 0;
    // Sets the controls from the values (the page is being shown).
    virtual void Show() = 0;
    // 0 lets the user leave the page.
    virtual int MayLeave() = 0;
    // Stores the values; 1 when that went well.
    virtual int Apply() = 0;
    virtual void ContextMenu(HWND control) = 0;
    virtual void HelpRequest(const HELPINFO* info) = 0;
    virtual void HelpButton() = 0;
    // Fills in the page's template and title.
    virtual void Describe(PROPSHEETPAGEA* page) = 0;
    virtual HPROPSHEETPAGE CreatePage(HINSTANCE instance) = 0;

protected:
    ~VPropsheet_page() {}
};

// The page's help table: each check box and its topic.
extern const DWORD kViewPageHelpTable[];
// The Help button's topic.
const DWORD kViewPageHelpTopic = 8;
// The view flags the page edits: the link kinds and the behaviours.
const uint32_t kViewPageFlags = 0xFF3F;

class View_page : public VPropsheet_page {
public:
    // `help` may be none: the page then offers no help.
    View_page(GraphWindow* graph, SHelp* help);

    int Command(int control) override;
    bool IsChanged() override;
    void Show() override;
    int MayLeave() override;
    int Apply() override;
    void ContextMenu(HWND control) override;
    void HelpRequest(const HELPINFO* info) override;
    void HelpButton() override;
    void Describe(PROPSHEETPAGEA* page) override;
    HPROPSHEETPAGE CreatePage(HINSTANCE instance) override;

    uint32_t working_flags() const { return working_; }
    HWND page_window() const { return page_; }
    HWND sheet_window() const { return sheet_; }

    static INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

private:
    View_page(const View_page&);
    View_page& operator=(const View_page&);

    INT_PTR Notify(const NMHDR& header);

    uint32_t working_;  // the map's view flags AND kViewPageFlags when opened
    HWND page_;
    HWND sheet_;
    PROPSHEETPAGEA description_;
    GraphWindow* graph_;
    SHelp* help_;
};

// Runs the sheet modally over `parent` for the map `graph`: PropertySheet's
// result (-1 when the page could not be made).
INT_PTR ShowViewOptions(HINSTANCE instance, HWND parent, GraphWindow* graph, SHelp* help);

#endif
