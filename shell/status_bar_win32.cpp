#include "shell/status_bar.h"

#include <commctrl.h>
#include <math.h>

void StatusBar::ShowSimpleText(const char* text) {
    if (!(*flags_ & kStatusSimple)) {
        SendMessageA(bar_, SB_SIMPLE, TRUE, 0);
        *flags_ |= kStatusSimple;
    }
    if (text == 0 || text[0] == 0)
        *flags_ |= kStatusEmpty;
    else
        *flags_ &= ~kStatusEmpty;
    SendMessageA(bar_, SB_SETTEXTA, 255, (LPARAM)(text ? text : ""));
}

bool StatusBar::Progress(uint32_t done, uint32_t total, const char* text) {
    if (total == 0) {
        ShowSimpleText("");
        return true;
    }
    if (*flags_ & kStatusSimple) {
        SendMessageA(bar_, SB_SIMPLE, FALSE, 0);
        int borders[3] = {0, 0, 0};
        SendMessageA(bar_, SB_GETBORDERS, 0, (LPARAM)borders);
        int parts[2] = {borders[0] + 104, -1};
        SendMessageA(bar_, SB_SETPARTS, 2, (LPARAM)parts);
        *flags_ &= ~kStatusSimple;
    }
    if (text != 0 && text[0] != 0) {
        SendMessageA(bar_, SB_SETTEXTA, 1, (LPARAM)text);
        *flags_ &= ~kStatusEmpty;
    }
    uint32_t thousandths = (uint32_t)((uint64_t)done * 1000 / total);
    if (!SendMessageA(bar_, SB_SETTEXTA, 0 | SBT_OWNERDRAW, (LPARAM)thousandths)) return false;
    if (frame_) UpdateWindow(frame_);
    UpdateWindow(bar_);
    return true;
}

// Ten blocks fill the part when the work is done, 2 pixels apart.
void StatusBar::DrawProgressPart(HDC dc, const RECT& item, uintptr_t thousandths) {
    double fraction = (double)thousandths * 0.001;
    int start = item.left + 2;
    int end = start + (int)lround((item.right - 2 - start) * fraction);
    int pitch = (item.right - item.left - 2) / 10;
    if (pitch <= 0) return;
    HBRUSH brush = CreateSolidBrush(kProgressColour);
    for (int x = start; x < end; x += pitch) {
        RECT block = {x, item.top + 3, x + pitch - 2 < end ? x + pitch - 2 : end, item.bottom - 3};
        FillRect(dc, &block, brush);
        FrameRect(dc, &block, brush);
    }
    DeleteObject(brush);
}
