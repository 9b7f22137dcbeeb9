// AGraphHost: what the graph model needs from the window that shows it and
// from the main window around it. The model itself never draws and never
// touches a window; the graph window implements this, and the tests
// implement it with a recorder.
#ifndef SKEIND_DISPLAY_GRAPH_HOST_H
#define SKEIND_DISPLAY_GRAPH_HOST_H

class AGraphHost {
public:
    // Width in pixels of a label drawn in the graph font.
    virtual int MeasureLabel(const char* text) = 0;
    // A long operation: wait cursor and a disabled frame until the matching
    // EndBusy. Sections nest.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // The simple status-bar text (the host switches the bar to simple mode).
    virtual void ShowStatusText(const char* text) = 0;
    // Brings `target` into view, keeping it where `anchor` was on the screen
    // when the anchor was visible; -1 as anchor means the target itself.
    // A target of -1 changes nothing. Repaints.
    virtual void ScrollToRow(int anchor, int target) = 0;
    // Draws or removes the focus rectangle of the model's current row.
    virtual void ToggleFocusMark() = 0;
    // Repaints the whole window.
    virtual void Repaint() = 0;

protected:
    ~AGraphHost() {}
};

// Marks the host busy for as long as it lives.
class Busy_section {
public:
    explicit Busy_section(AGraphHost& host) : host_(host) { host_.BeginBusy(); }
    ~Busy_section() { host_.EndBusy(); }

private:
    Busy_section(const Busy_section&);
    Busy_section& operator=(const Busy_section&);
    AGraphHost& host_;
};

#endif
