// The frame's word on its caption. Since Vista a frame says where its boxes
// are (WM_GETTITLEBARINFOEX); a composited frame's boxes are known to the
// DWM; every frame from Windows 95 on answers hit-tests, and so do programs
// that draw their own title bars and want the system's snap layouts. The
// metrics are right only for the classic frames they were made for.
#include "caption.h"

void PrefillTitleBarInfo(TitleBarInfoEx *info)
{
    ZeroMemory(info, sizeof(*info));
    info->cbSize = sizeof(*info);
    SetRect(&info->rcTitleBar, TITLEBAR_UNANSWERED, TITLEBAR_UNANSWERED, TITLEBAR_UNANSWERED,
            TITLEBAR_UNANSWERED);
    for (RECT &part : info->rgrect)
        part = info->rcTitleBar;
}

// A rectangle that could be part of the window's caption: an answer with
// anything else is not used.
static bool IsWithin(const RECT &part, const RECT &window, bool mayBeEmpty)
{
    bool sized = mayBeEmpty ? part.right >= part.left : part.right > part.left;
    return sized && part.bottom > part.top && part.left >= window.left &&
           part.right <= window.right && part.top >= window.top && part.bottom <= window.bottom;
}

bool BoxesFromTitleBarInfo(const TitleBarInfoEx &info, const RECT &window, RECT *box)
{
    bool found = false;
    for (int i = TITLEBAR_FIRST_BOX; i < TITLEBAR_PARTS; i++) {
        const RECT &part = info.rgrect[i];
        if ((info.rgstate[i] & (KOV_STATE_INVISIBLE | KOV_STATE_OFFSCREEN)) ||
            !IsWithin(part, window, false))
            continue;
        if (!found || part.left < box->left)
            *box = part;
        found = true;
    }
    if (found)
        return true;
    // Answered without a box: the group goes to the caption band's end.
    const RECT &band = info.rcTitleBar;
    if (band.left == TITLEBAR_UNANSWERED || !IsWithin(band, window, false))
        return false;
    SetRect(box, band.right, band.top, band.right, band.bottom);
    return true;
}

bool BoxesFromDwm(const RECT &bounds, const RECT &window, RECT *box)
{
    RECT screen = {window.left + bounds.left, window.top + bounds.top, window.left + bounds.right,
                   window.top + bounds.bottom};
    if (!IsWithin(screen, window, false))
        return false;
    *box = screen;
    return true;
}

static bool IsBox(LRESULT hit)
{
    return hit == HTMINBUTTON || hit == HTMAXBUTTON || hit == HTHELP || hit == HTCLOSE;
}

// How many pixels past (x, y), along (dx, dy) and at most limit, still answer
// code, where they answer it up to some pixel and not beyond: in steps, then
// by halving. A hit-test can be a round trip to the window server (about
// 0.2 ms under Wine), and a walk pixel by pixel made a new frame's group
// some 20 ms late.
static int RunLength(HitTestFn hitTest, void *context, int x, int y, int dx, int dy, int limit,
                     int step, LRESULT code)
{
    int good = 0, bad = limit + 1;
    for (int n = step; n <= limit; n += step) {
        if (hitTest(context, x + n * dx, y + n * dy) != code) {
            bad = n;
            break;
        }
        good = n;
    }
    while (bad - good > 1) {
        int mid = good + (bad - good) / 2;
        if (hitTest(context, x + mid * dx, y + mid * dy) == code)
            good = mid;
        else
            bad = mid;
    }
    return good;
}

// Boxes are wider than the gap allowed between two, so steps of the gap
// pass over none.
bool BoxesFromHitTests(HitTestFn hitTest, void *context, const RECT &window, int row, int reach,
                       int gap, RECT *box)
{
    int step = gap > 0 ? gap : 1;
    bool found = false;
    LRESULT code = 0;
    int left = 0, seen = 0, after = 0;   // the box: a pixel of it, and the first right of it not known
    for (int x = window.right - 1, last = window.right; x >= window.left;) {
        LRESULT hit = hitTest(context, x, row);
        if (IsBox(hit)) {
            found = true, code = hit, seen = x, after = last;
            left = x - RunLength(hitTest, context, x, row, -1, 0, x - window.left, step, hit);
            // The next box may end within the gap: if it does, it covers this pixel.
            last = left, x = left - gap - 1;
        } else if (found || window.right - x >= reach) {
            break;
        } else {
            last = x, x -= step;
        }
    }
    if (!found)
        return false;
    int right = seen + 1 + RunLength(hitTest, context, seen, row, 1, 0, after - seen - 1, step, code);
    int top = row - RunLength(hitTest, context, left, row, 0, -1, row - window.top, step, code);
    int bottom = row + 1 + RunLength(hitTest, context, left, row, 0, 1, window.bottom - row - 1, step, code);
    SetRect(box, left, top, right, bottom);
    return true;
}

bool IsClassicPlace(const RECT &box, int classicLeft, int cxClassic, int cyClassic)
{
    int height = box.bottom - box.top;
    int dy = height > cyClassic ? height - cyClassic : cyClassic - height;
    return box.left >= classicLeft - cxClassic / 4 && dy <= cyClassic / 4;
}

static LRESULT HitTestFrame(void *context, int x, int y)
{
    return SendMessageA((HWND)context, WM_NCHITTEST, 0, MAKELPARAM((WORD)x, (WORD)y));
}

CaptionReport MeasureCaption(HWND hwnd, const RECT &window, int row, int reach, int gap)
{
    CaptionReport report = {CAPTION_TITLEBARINFO, {}};
    TitleBarInfoEx info;
    PrefillTitleBarInfo(&info);
    SendMessageA(hwnd, KOV_WM_GETTITLEBARINFOEX, 0, (LPARAM)&info);
    if (BoxesFromTitleBarInfo(info, window, &report.box))
        return report;
    RECT bounds;
    report.source = CAPTION_DWM;
    if (DwmAttribute(hwnd, KOV_DWMWA_CAPTION_BUTTON_BOUNDS, &bounds, sizeof(bounds)) &&
        BoxesFromDwm(bounds, window, &report.box))
        return report;
    report.source = CAPTION_HITTEST;
    if (BoxesFromHitTests(HitTestFrame, hwnd, window, row, reach, gap, &report.box))
        return report;
    report.source = CAPTION_CLASSIC;
    return report;
}

RECT KeepInArea(RECT group, const RECT &area)
{
    int dx = 0, dy = 0;
    if (group.right > area.right)
        dx = area.right - group.right;
    if (group.left + dx < area.left)
        dx = area.left - group.left;
    if (group.top < area.top)
        dy = area.top - group.top;
    OffsetRect(&group, dx, dy);
    return group;
}
