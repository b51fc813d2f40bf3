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

bool BoxesFromHitTests(HitTestFn hitTest, void *context, const RECT &window, int row, int reach,
                       int gap, RECT *box)
{
    bool found = false;
    LRESULT code = 0;
    int left = 0, right = 0, quiet = 0;
    for (int x = window.right - 1; x >= window.left; x--) {
        LRESULT hit = hitTest(context, x, row);
        if (IsBox(hit)) {
            if (!found || hit != code || quiet)
                right = x + 1;
            found = true, code = hit, left = x, quiet = 0;
        } else if (found ? ++quiet > gap : window.right - x >= reach) {
            break;
        }
    }
    if (!found)
        return false;
    int top = row, bottom = row + 1;
    while (top > window.top && hitTest(context, left, top - 1) == code)
        top--;
    while (bottom < window.bottom && hitTest(context, left, bottom) == code)
        bottom++;
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
