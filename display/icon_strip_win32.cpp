#include "display/icon_strip.h"

bool IconStrip::Load(HINSTANCE instance, int id, int cell_width, int cell_height, HDC like) {
    Free();
    HBITMAP source = LoadBitmapA(instance, MAKEINTRESOURCEA(id));
    if (!source) return false;
    BITMAP info;
    GetObjectA(source, sizeof info, &info);
    int width = info.bmWidth;
    HDC src = CreateCompatibleDC(like);
    HDC dst = CreateCompatibleDC(like);
    HDC msk = CreateCompatibleDC(like);
    colour_ = CreateCompatibleBitmap(like, width, cell_height);
    mask_ = CreateBitmap(width, cell_height, 1, 1, 0);
    bool ok = src && dst && msk && colour_ && mask_;
    if (ok) {
        HGDIOBJ old_src = SelectObject(src, source);
        HGDIOBJ old_dst = SelectObject(dst, colour_);
        HGDIOBJ old_msk = SelectObject(msk, mask_);
        // Top row XOR bottom row: black where the rows agree.
        BitBlt(dst, 0, 0, width, cell_height, src, 0, 0, SRCCOPY);
        BitBlt(dst, 0, 0, width, cell_height, src, 0, cell_height, SRCINVERT);
        // Colour to monochrome: pixels of the background colour (black)
        // become 1, the rest 0; inverted, 1 marks the transparent pixels.
        SetBkColor(dst, RGB(0, 0, 0));
        BitBlt(msk, 0, 0, width, cell_height, dst, 0, 0, NOTSRCCOPY);
        // The picture: the top row with the transparent pixels made black
        // (a monochrome source blits 1 as the background colour, 0 as the
        // text colour).
        BitBlt(dst, 0, 0, width, cell_height, src, 0, 0, SRCCOPY);
        SetBkColor(dst, RGB(0, 0, 0));
        SetTextColor(dst, RGB(255, 255, 255));
        BitBlt(dst, 0, 0, width, cell_height, msk, 0, 0, SRCAND);
        SelectObject(src, old_src);
        SelectObject(dst, old_dst);
        SelectObject(msk, old_msk);
    }
    if (src) DeleteDC(src);
    if (dst) DeleteDC(dst);
    if (msk) DeleteDC(msk);
    DeleteObject(source);
    if (!ok) {
        Free();
        return false;
    }
    cell_width_ = cell_width;
    cell_height_ = cell_height;
    cells_ = width / cell_width;
    return true;
}

void IconStrip::Free() {
    if (colour_) DeleteObject(colour_);
    if (mask_) DeleteObject(mask_);
    colour_ = 0;
    mask_ = 0;
    cells_ = 0;
}

void IconStrip::Draw(HDC dc, int index, int x, int y) const {
    if (!colour_ || index < 0 || index >= cells_) return;
    HDC mem = CreateCompatibleDC(dc);
    if (!mem) return;
    COLORREF old_bk = SetBkColor(dc, RGB(255, 255, 255));
    COLORREF old_text = SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ old = SelectObject(mem, mask_);
    BitBlt(dc, x, y, cell_width_, cell_height_, mem, index * cell_width_, 0, SRCAND);
    SelectObject(mem, colour_);
    BitBlt(dc, x, y, cell_width_, cell_height_, mem, index * cell_width_, 0, SRCPAINT);
    SelectObject(mem, old);
    SetBkColor(dc, old_bk);
    SetTextColor(dc, old_text);
    DeleteDC(mem);
}
