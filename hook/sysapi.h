// Functions of systems newer than Windows 4 (sysapi.cpp), and the few
// declarations of theirs that the library needs: each answers as the system
// did before them where the system lacks them.
#ifndef KOV_SYSAPI_H
#define KOV_SYSAPI_H

#include <windows.h>

#define KOV_WM_DPICHANGED           0x02E0
#define KOV_WM_THEMECHANGED         0x031A
#define KOV_WM_DWMCOMPOSITIONCHANGED 0x031E
#define KOV_WM_GETTITLEBARINFOEX    0x033F
#define KOV_DWMWA_CAPTION_BUTTON_BOUNDS 5
#define KOV_DWMWA_EXTENDED_FRAME_BOUNDS 9
#define KOV_DWMWA_CLOAKED           14
#define KOV_STATE_INVISIBLE         0x00008000
#define KOV_STATE_OFFSCREEN         0x00010000
#define KOV_DPI_CLASSIC             96
#define KOV_EVENT_OBJECT_CLOAKED    0x8017
#define KOV_EVENT_OBJECT_UNCLOAKED  0x8018
#define KOV_EVENT_OBJECT_CREATE     0x8000
#define KOV_EVENT_OBJECT_DESTROY    0x8001
#define KOV_EVENT_OBJECT_SHOW       0x8002
#define KOV_DWMWA_NCRENDERING_ENABLED 1
#define KOV_DWMWA_DARK_MODE_OLD     19   // before Windows 10 20H1
#define KOV_DWMWA_DARK_MODE         20
#define KOV_DWMWA_CAPTION_COLOR     35
#define KOV_DWMWA_COLOR_DEFAULT     0xFFFFFFFF
#define KOV_WS_EX_LAYERED           0x00080000

// WM_GETTITLEBARINFOEX's record (Windows Vista): the title bar and, from
// index 2, the minimize, maximize, help and close boxes, in screen
// coordinates.
#define TITLEBAR_PARTS   6
#define TITLEBAR_FIRST_BOX 2
struct TitleBarInfoEx {
    DWORD cbSize;
    RECT  rcTitleBar;
    DWORD rgstate[TITLEBAR_PARTS];
    RECT  rgrect[TITLEBAR_PARTS];
};
static_assert(sizeof(TitleBarInfoEx) == 140, "TITLEBARINFOEX layout");

struct MonitorInfo {   // MONITORINFO (Windows 98 and 2000)
    DWORD cbSize;
    RECT  rcMonitor;
    RECT  rcWork;
    DWORD dwFlags;
};
static_assert(sizeof(MonitorInfo) == 40, "MONITORINFO layout");

// The window's DPI; 0 where the system does not say (then the metrics
// kovw captured hold).
UINT WindowDpi(HWND hwnd);
// A system metric at dpi, or captured where dpi is 0 or the system has no
// metrics per DPI.
int  MetricForDpi(int index, UINT dpi, int captured);
// A DWM attribute, only while composition is on; false where it is not, or
// the system has no DWM, or it does not answer.
bool DwmAttribute(HWND hwnd, DWORD attribute, void *value, DWORD size);
// Not shown on the current desktop although visible (another virtual
// desktop, a suspended program).
bool IsCloaked(HWND hwnd);
// A window that only receives messages (Windows 2000), never shown; false
// where the system has none.
bool IsMessageOnly(HWND hwnd);
// The monitor the window is on (nearest) and its work area; false, with the
// screen and the desktop's work area, where the system knows one monitor.
bool MonitorAreas(HWND hwnd, RECT *monitor, RECT *work);

// Called in this thread, from its message loop, for the events first to
// last of any window (cloaked or shown again, created);
// 0 where the system has no such events (Windows 95).
typedef void(CALLBACK *WinEventFn)(HANDLE watch, DWORD event, HWND hwnd, LONG object,
                                   LONG child, DWORD thread, DWORD time);
HANDLE WatchEvents(DWORD first, DWORD last, WinEventFn proc);
void   StopWatching(HANDLE watch);

// Visual styles (Windows XP): whether they are on for this program, and the
// frame's caption-button parts; NULL where they are off or missing.
bool   ThemeActive(void);
HANDLE OpenFrameTheme(HWND frame);
void   CloseFrameTheme(HANDLE theme);
bool   DrawThemePart(HANDLE theme, HDC hdc, int part, int state, const RECT *rect);
// Desktop composition on (Windows Vista; always on from Windows 8).
bool   CompositionEnabled(void);
// Makes the window's pixels of colour key show what lies under them, or
// draws it whole again (key CLR_INVALID); false where the system cannot.
bool   SetColourKey(HWND hwnd, COLORREF key);

#endif
