// Scroll emulation: the three scroll actions, posted to the window under the
// mouse as scroll-bar messages or as cursor keys, and the auto-scroll timer.
// Everything here runs in the thread of the window being scrolled, which is
// also the thread that owns the timer, but for the stop at the release,
// which the thread under the pointer hears.
#include "share.h"
#include "sysapi.h"
#include "../common/actions.h"

#include <string.h>

#define SCROLLBAR_CLASS_SIZE 20    // 19 characters are compared at most
#define AUTOSCROLL_SLACK     6     // pixels the pointer may stray outside the window
#define SCROLL_END_FALLBACK  9000  // the end, for a bar that tells no range
// More pages than any window scrolls in one go; a count from a damaged or
// hand-made options file must not flood the window's queue for minutes.
#define SCROLL_PAGES_MAX     1000

// Scan codes (set 1) of the keys a stroke emulates; extended keys all.
static BYTE ScanCode(int key)
{
    switch (key) {
    case VK_LEFT:  return 0x4B;
    case VK_UP:    return 0x48;
    case VK_RIGHT: return 0x4D;
    case VK_DOWN:  return 0x50;
    case VK_PRIOR: return 0x49;
    case VK_NEXT:  return 0x51;
    }
    return 0;
}

// One press and one release, as the keyboard driver would report them.
static void PostKeyStroke(HWND hwnd, int key)
{
    LPARAM press = 0x01000001 | ((LPARAM)ScanCode(key) << 16);
    PostMessageA(hwnd, WM_KEYDOWN, key, press);
    PostMessageA(hwnd, WM_KEYUP, key, press | 0xC0000000);
}

// The auto-scroll timer this process started and the thread it belongs to:
// a thread timer can be stopped only by its own thread, and its number
// means something only there (every thread's first one has the same).
static UINT_PTR OwnTimer;
static DWORD OwnTimerThread;

static BOOL CALLBACK ScrollbarsProc(HWND child, LPARAM param)
{
    SCROLLCACHE *cache = (SCROLLCACHE *)param;
    char className[SCROLLBAR_CLASS_SIZE] = "";
    GetClassNameA(child, className, sizeof(className));
    if (_strnicmp(className, "Scrollbar", 9) != 0 || !IsWindowEnabled(child))
        return TRUE;
    if (GetWindowLongA(child, GWL_STYLE) & SBS_VERT)
        cache->hwndVert = child;
    else
        cache->hwndHorz = child;
    return TRUE;
}

void CheckScrollbarHwnd(HWND hwnd, SCROLLCACHE *cache)
{
    if (cache->hwnd == hwnd)
        return;
    cache->hwnd = hwnd;
    cache->hwndVert = cache->hwndHorz = 0;
    EnumChildWindows(hwnd, ScrollbarsProc, (LPARAM)cache);
}

// A control destroyed since the look-up is no target (its handle may be
// another window's by now).
static HWND LiveBar(HWND hwnd, HWND bar)
{
    return bar && IsChild(hwnd, bar) ? bar : NULL;
}

// The zone is set in the main controller's pixels; a window on a monitor of
// another scaling (or one the system scales for it) has pixels of its own.
int ZoneAtDpi(int zone, UINT windowDpi, int screenDpi)
{
    return windowDpi && screenDpi > 0 ? MulDiv(zone, (int)windowDpi, screenDpi) : zone;
}

// Only while the scroll button is held: a line scroll that was queued before
// the release must not start the timer after it.
void CheckAutoScrollStart(HWND hwnd)
{
    if (St->autoScroll.TimerId || !(St->TrappedMBtnDown || St->TrappedRBtnDown))
        return;
    St->autoScroll.hwnd = hwnd;
    GetWindowRect(hwnd, &St->autoScroll.rc);
    St->autoScroll.Direction = St->MouseDirection;
    POINT pt = {};
    GetCursorPos(&pt);
    const RECT &rc = St->autoScroll.rc;
    int zone = ZoneAtDpi(Sh->Op.AutoScrollZone, WindowDpi(hwnd), Sh->ScreenDpi);
    bool inTopBand = St->MouseDirection == VK_UP && pt.y > rc.top && pt.y < rc.top + zone;
    bool inBottomBand = St->MouseDirection == VK_DOWN && pt.y > rc.bottom - zone && pt.y < rc.bottom;
    if (!inTopBand && !inBottomBand)
        return;
    if (OwnTimer && OwnTimerThread == GetCurrentThreadId())
        KillTimer(NULL, OwnTimer);   // one left by a stop in another thread
    OwnTimer = SetTimer(NULL, 0, Sh->Op.AutoScrollInterval, NULL);
    OwnTimerThread = GetCurrentThreadId();
    St->autoScroll.ThreadId = OwnTimerThread;
    St->autoScroll.TimerId = OwnTimer;
}

// Another thread only clears the record; the owner stops its timer at the
// next tick, which the record no longer names.
void StopScrollTimer(void)
{
    if (!St->autoScroll.TimerId)
        return;
    if (St->autoScroll.ThreadId == GetCurrentThreadId() && St->autoScroll.TimerId == OwnTimer) {
        KillTimer(NULL, OwnTimer);
        OwnTimer = 0;
    }
    ZeroMemory((void *)&St->autoScroll, sizeof(St->autoScroll));
}

bool TakeScrollTick(MSG *msg)
{
    if (msg->hwnd || !OwnTimer || msg->wParam != OwnTimer || OwnTimerThread != GetCurrentThreadId())
        return false;
    if (St->autoScroll.TimerId == OwnTimer && St->autoScroll.ThreadId == OwnTimerThread) {
        PostMessageA(St->autoScroll.hwnd, KM_ACTION, ACTION_SCROLLLINE, SOURCE_MOUSE);
    } else {
        KillTimer(NULL, OwnTimer);
        OwnTimer = 0;
    }
    msg->message = KM_NULL;
    return true;
}

void CheckAutoScrollStop(void)
{
    if (!St->autoScroll.TimerId)
        return;
    POINT pt = {};
    GetCursorPos(&pt);
    const RECT &rc = St->autoScroll.rc;
    bool outside = pt.y < rc.top - AUTOSCROLL_SLACK || pt.y > rc.bottom + AUTOSCROLL_SLACK ||
                   pt.x < rc.left - AUTOSCROLL_SLACK || pt.x > rc.right + AUTOSCROLL_SLACK;
    if (St->MouseDirection != St->autoScroll.Direction || outside)
        StopScrollTimer();
}

void PostScrollMsg(HWND hwnd, UINT message, WORD code, WORD position, LPARAM bar)
{
    PostMessageA(hwnd, message, MAKEWPARAM(code, position), bar);
}

// A scroll step and the end of the scroll, as a scroll bar sends them.
static void PostScrollStep(HWND hwnd, UINT message, WORD code, WORD position, HWND bar)
{
    PostScrollMsg(hwnd, message, code, position, (LPARAM)bar);
    PostScrollMsg(hwnd, message, SB_ENDSCROLL, 0, (LPARAM)bar);
}

static void ScrollLine(HWND hwnd)
{
    CheckScrollbarHwnd(hwnd, &ScrollCache);
    CheckAutoScrollStart(hwnd);
    CheckAutoScrollStop();
    int direction = St->MouseDirection;
    if (direction < VK_LEFT || direction > VK_DOWN)
        return;
    if (Sh->Op.Flags & FLAG_SCROLLWITHKEYS) {
        PostKeyStroke(hwnd, direction);
        return;
    }
    HWND vert = LiveBar(hwnd, ScrollCache.hwndVert), horz = LiveBar(hwnd, ScrollCache.hwndHorz);
    switch (direction) {
    case VK_DOWN:
        PostScrollStep(hwnd, WM_VSCROLL, SB_LINEDOWN, 0, vert);
        break;
    case VK_UP:
        PostScrollStep(hwnd, WM_VSCROLL, SB_LINEUP, 0, vert);
        break;
    case VK_RIGHT:
        PostScrollStep(hwnd, WM_HSCROLL, SB_LINERIGHT, 0, horz);
        break;
    case VK_LEFT:
        PostScrollStep(hwnd, WM_HSCROLL, SB_LINELEFT, 0, horz);
        break;
    }
}

// The end of the vertical range: of the scroll-bar control when there is one
// (a control keeps its range as SB_CTL; asked for SB_VERT it has none), else
// of the window's own bar. The message carries 16 bits: a longer range ends
// as far as they reach, not wherever its end wraps to.
static WORD VerticalEnd(HWND hwnd, HWND bar)
{
    int low = 0, high = 0;
    if (bar)
        GetScrollRange(bar, SB_CTL, &low, &high);
    else
        GetScrollRange(hwnd, SB_VERT, &low, &high);
    if (high == 0)
        return SCROLL_END_FALLBACK;
    return (WORD)(high > 0xFFFF ? 0xFFFF : high);
}

// n pages up or down, or with n 0 to the top or the end; never sideways.
static void ScrollPages(HWND hwnd, int pages)
{
    int direction = St->MouseDirection;
    if ((direction != VK_UP && direction != VK_DOWN) || pages < 0)
        return;
    bool down = direction == VK_DOWN;
    if (pages > SCROLL_PAGES_MAX)
        pages = SCROLL_PAGES_MAX;
    CheckScrollbarHwnd(hwnd, &ScrollCache);
    if (Sh->Op.Flags & FLAG_SCROLLWITHKEYS) {
        for (int i = 0; i < pages; i++)
            PostKeyStroke(hwnd, down ? VK_NEXT : VK_PRIOR);
        return;
    }
    HWND bar = LiveBar(hwnd, ScrollCache.hwndVert);
    if (pages == 0) {
        WORD position = down ? VerticalEnd(hwnd, bar) : 0;
        PostScrollStep(hwnd, WM_VSCROLL, SB_THUMBPOSITION, position, bar);
        return;
    }
    for (int i = 0; i < pages; i++)
        PostScrollMsg(hwnd, WM_VSCROLL, down ? SB_PAGEDOWN : SB_PAGEUP, 0, (LPARAM)bar);
    PostScrollMsg(hwnd, WM_VSCROLL, SB_ENDSCROLL, 0, (LPARAM)bar);
}

void ScrollAction(HWND hwnd, int action)
{
    switch (action) {
    case ACTION_SCROLLLINE:
        ScrollLine(hwnd);
        break;
    case ACTION_SCROLLPAGE:
        ScrollPages(hwnd, 1);
        break;
    case ACTION_SCROLLPAGES:
        ScrollPages(hwnd, Sh->Op.ScrollPages);
        break;
    }
}
