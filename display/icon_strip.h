// IconStrip: a row of equal cells cut from a bitmap resource and drawn
// with transparency. The resource holds the pictures twice, on two
// different backgrounds, one row above the other; the pixels that differ
// between the rows are the transparent ones. Windows only.
#ifndef SKEIND_DISPLAY_ICON_STRIP_H
#define SKEIND_DISPLAY_ICON_STRIP_H

#include <windows.h>

class IconStrip {
public:
    IconStrip() : colour_(0), mask_(0), cells_(0), cell_width_(0), cell_height_(0) {}
    ~IconStrip() { Free(); }

    // Builds the strip from bitmap resource `id` with memory device
    // contexts compatible with `like`; false when the bitmap or the memory
    // cannot be had.
    bool Load(HINSTANCE instance, int id, int cell_width, int cell_height, HDC like);
    void Free();

    // Draws cell `index` with its top left at (x, y): the mask with AND
    // (white background, black text), then the picture with OR.
    void Draw(HDC dc, int index, int x, int y) const;

    int cells() const { return cells_; }
    int cell_width() const { return cell_width_; }
    int cell_height() const { return cell_height_; }

private:
    IconStrip(const IconStrip&);
    IconStrip& operator=(const IconStrip&);

    HBITMAP colour_;  // black where transparent, the picture elsewhere
    HBITMAP mask_;    // monochrome: 1 where transparent
    int cells_, cell_width_, cell_height_;
};

#endif
