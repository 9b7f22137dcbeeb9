// GraphWindow: the child window that shows the map. It draws the rows of
// its Graph_model (icons, labels, connectors, tree lines, the open page's
// highlight, selection marks and the focus rectangle) flicker-free through
// an off-screen bitmap, keeps the scroll bars, and turns mouse, keys and
// the clipboard into operations of the model. Windows only.
#ifndef SKEIND_DISPLAY_GRAPH_WINDOW_H
#define SKEIND_DISPLAY_GRAPH_WINDOW_H

#include <windows.h>

#include <vector>

#include "display/graph_host.h"
#include "display/graph_model.h"
#include "display/icon_strip.h"
#include "display/subwin.h"

// Geometry of a row, in pixels.
const int kIndent = 24;       // per level of depth
const int kIconOffset = 3;    // icon cell from the row's indentation
const int kLabelOffset = 33;  // label from the row's indentation
const int kMinRowHeight = 16;

// Drag modes.
const int DragNone = 0;
const int DragTrack = 1;     // the current row follows the pointer
const int DragSelect = 2;    // selecting the rows passed over
const int DragDeselect = 3;  // deselecting them

const UINT_PTR kAutoScrollTimer = 1;
const UINT kAutoScrollPeriod = 50;

// Commands the main window passes on to the graph window.
const int kCommandPinDown = 35;
const int kCommandCopyAddress = 45;
const int kCommandPasteAddress = 46;

class GraphWindow : public Subwin, public AGraphHost {
public:
    GraphWindow();
    ~GraphWindow() override;

    Graph_model& model() { return model_; }

    // --- Subwin
    void PrepareClass(WNDCLASSA* wc) override;
    HWND Create(int left, int top, int right, int bottom, Topwin* parent) override;
    const char* TypeName() override;
    int Paint(HDC dc, BOOL erase, const RECT& update) override;
    int EraseBackground(HDC dc) override;
    int Size(WPARAM kind, int width, int height) override;
    int LButtonDown(WPARAM keys, int x, int y) override;
    int LButtonUp(WPARAM keys, int x, int y) override;
    int MouseMove(WPARAM keys, int x, int y) override;
    int LButtonDblClk(WPARAM keys, int x, int y) override;
    int HScroll(int code, int position) override;
    int VScroll(int code, int position) override;
    int KeyDown(WPARAM key, bool was_down, LPARAM lparam) override;
    int Timer(WPARAM id) override;
    int Command(int id, HWND control, int code) override;
    // Opens a page the user double-clicked (the main window's Open).
    virtual void OpenPage(AWorkspace* workspace, NodeId node) = 0;

    // --- AGraphHost. Busy sections and the status text belong to the main
    // window; by themselves these only show the wait cursor and drop the text.
    int MeasureLabel(const char* text) override;
    void BeginBusy() override;
    void EndBusy() override;
    void ShowStatusText(const char* text) override;
    void ScrollToRow(int anchor, int target) override;
    // Brings a row into view with as many of the rows beneath it as fit,
    // moving the display no further than that and never past the row.
    void ScrollToShowChildren(int row);
    void ToggleFocusMark() override;
    void Repaint() override;

    // --- Drawing
    void SetGraphFont(const LOGFONTA& font);
    void DrawSelectionMark(int row);
    int row_height() const { return row_height_; }
    int unit() const { return unit_; }
    // Horizontal extent of the display, in units.
    int Extent();
    // A row counts as selected by its flag, or by the range of a selecting
    // or deselecting drag while it lasts.
    bool IsSelected(int row) const;

    // --- Clipboard
    void CopyAddresses();
    void PasteAddresses();

    // What a point hits (the popup menu and the tests).
    int RowAt(int y) const;
    int drag_mode() const { return drag_mode_; }

private:
    // Document x of a row's indentation, and its right edge R.
    int RowLeft(int row) const { return model_.Row(row).depth * kIndent; }
    int RowRight(int row);
    void DrawRow(HDC dc, int row, int ox, int oy);
    void DrawConnector(HDC dc, int x0, int top, LinkKind kind);
    int DrawTreeLines(HDC dc, int from, int to, int ox, int oy);
    // Row height and horizontal unit from the font, on the window's own
    // device context; nothing before the window exists.
    void MeasureFont();
    void UpdateScrollBars(bool repaint_if_moved);
    // Sets the vertical position, kept within the rows; gives it.
    int SetVerticalPosition(int position);
    // The horizontal bar after the rows changed, then a repaint.
    void FinishScroll();
    int VerticalPosition() const { return GetScrollPos(window_, SB_VERT); }
    int HorizontalPosition() const { return GetScrollPos(window_, SB_HORZ); }
    int ClientHeight() const;
    int ClientWidth() const;
    void AutoScrollStep();
    void StopTimer();
    void MarkRange(int from, int to);
    void ClearSelection();

    Graph_model model_;
    IconStrip icons_, glyphs_;
    HBITMAP mark_;
    HFONT font_;
    int unit_, row_height_;
    int busy_;
    // Interaction
    int drag_mode_;
    bool timer_running_;
    int scroll_direction_;
    int drag_anchor_, drag_extent_;
};

#endif
