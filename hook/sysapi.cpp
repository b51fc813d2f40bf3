// Functions of systems newer than Windows 4, looked up once per process: the
// library must load on Windows 95 and NT 4 (its imports are those of
// Windows 4), and where a function is missing it does what it always did.
#include "sysapi.h"

typedef UINT(WINAPI *GetDpiForWindowFn)(HWND);
typedef int(WINAPI *GetSystemMetricsForDpiFn)(int, UINT);
typedef HANDLE(WINAPI *MonitorFromWindowFn)(HWND, DWORD);
typedef BOOL(WINAPI *GetMonitorInfoFn)(HANDLE, MonitorInfo *);
typedef HRESULT(WINAPI *DwmGetWindowAttributeFn)(HWND, DWORD, void *, DWORD);
typedef HRESULT(WINAPI *DwmIsCompositionEnabledFn)(BOOL *);
typedef HANDLE(WINAPI *SetWinEventHookFn)(DWORD, DWORD, HMODULE, WinEventFn, DWORD, DWORD, DWORD);
typedef BOOL(WINAPI *UnhookWinEventFn)(HANDLE);
typedef HWND(WINAPI *GetAncestorFn)(HWND, UINT);
typedef BOOL(WINAPI *IsThemeActiveFn)(void);
typedef HANDLE(WINAPI *OpenThemeDataFn)(HWND, LPCWSTR);
typedef HRESULT(WINAPI *CloseThemeDataFn)(HANDLE);
typedef HRESULT(WINAPI *DrawThemeBackgroundFn)(HANDLE, HDC, int, int, const RECT *, const RECT *);
typedef BOOL(WINAPI *SetLayeredWindowAttributesFn)(HWND, COLORREF, BYTE, DWORD);

#define MONITOR_DEFAULTTONEAREST_ 2
#define WINEVENT_OUTOFCONTEXT_   0
#define LWA_COLORKEY_            1
#define GA_PARENT_               1

static struct {
    volatile LONG looked;
    GetDpiForWindowFn GetDpiForWindow;
    GetSystemMetricsForDpiFn GetSystemMetricsForDpi;
    MonitorFromWindowFn MonitorFromWindow;
    GetMonitorInfoFn GetMonitorInfo;
    DwmGetWindowAttributeFn DwmGetWindowAttribute;
    DwmIsCompositionEnabledFn DwmIsCompositionEnabled;
    SetWinEventHookFn SetWinEventHook;
    UnhookWinEventFn UnhookWinEvent;
    volatile LONG themeLooked;
    IsThemeActiveFn IsThemeActive, IsAppThemed;
    OpenThemeDataFn OpenThemeData;
    CloseThemeDataFn CloseThemeData;
    DrawThemeBackgroundFn DrawThemeBackground;
    SetLayeredWindowAttributesFn SetLayeredWindowAttributes;
    GetAncestorFn GetAncestor;
} Newer;

// Two threads that look at once find the same addresses: no lock needed.
static void LookUp(void)
{
    if (Newer.looked)
        return;
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user) {
        Newer.GetDpiForWindow = (GetDpiForWindowFn)GetProcAddress(user, "GetDpiForWindow");
        Newer.GetSystemMetricsForDpi =
            (GetSystemMetricsForDpiFn)GetProcAddress(user, "GetSystemMetricsForDpi");
        Newer.MonitorFromWindow = (MonitorFromWindowFn)GetProcAddress(user, "MonitorFromWindow");
        Newer.GetMonitorInfo = (GetMonitorInfoFn)GetProcAddress(user, "GetMonitorInfoA");
        Newer.SetWinEventHook = (SetWinEventHookFn)GetProcAddress(user, "SetWinEventHook");
        Newer.UnhookWinEvent = (UnhookWinEventFn)GetProcAddress(user, "UnhookWinEvent");
        Newer.GetAncestor = (GetAncestorFn)GetProcAddress(user, "GetAncestor");
        Newer.SetLayeredWindowAttributes = (SetLayeredWindowAttributesFn)GetProcAddress(
            user, "SetLayeredWindowAttributes");
    }
    // Stays loaded for the life of the process, as the system's own users
    // of it keep it.
    HMODULE dwm = LoadLibraryA("dwmapi.dll");
    if (dwm) {
        Newer.DwmGetWindowAttribute =
            (DwmGetWindowAttributeFn)GetProcAddress(dwm, "DwmGetWindowAttribute");
        Newer.DwmIsCompositionEnabled =
            (DwmIsCompositionEnabledFn)GetProcAddress(dwm, "DwmIsCompositionEnabled");
    }
    Newer.looked = 1;
}

UINT WindowDpi(HWND hwnd)
{
    LookUp();
    return Newer.GetDpiForWindow ? Newer.GetDpiForWindow(hwnd) : 0;
}

int MetricForDpi(int index, UINT dpi, int captured)
{
    LookUp();
    if (!dpi || !Newer.GetSystemMetricsForDpi)
        return captured;
    int value = Newer.GetSystemMetricsForDpi(index, dpi);
    return value > 0 ? value : captured;
}

bool DwmAttribute(HWND hwnd, DWORD attribute, void *value, DWORD size)
{
    LookUp();
    BOOL composed = FALSE;
    if (!Newer.DwmGetWindowAttribute || !Newer.DwmIsCompositionEnabled ||
        FAILED(Newer.DwmIsCompositionEnabled(&composed)) || !composed)
        return false;
    return SUCCEEDED(Newer.DwmGetWindowAttribute(hwnd, attribute, value, size));
}

bool IsCloaked(HWND hwnd)
{
    DWORD cloaked = 0;
    return DwmAttribute(hwnd, KOV_DWMWA_CLOAKED, &cloaked, sizeof(cloaked)) && cloaked != 0;
}

bool IsMessageOnly(HWND hwnd)
{
    LookUp();
    return Newer.GetAncestor && Newer.GetAncestor(hwnd, GA_PARENT_) != GetDesktopWindow();
}

bool MonitorAreas(HWND hwnd, RECT *monitor, RECT *work)
{
    LookUp();
    MonitorInfo info = {sizeof(info)};
    HANDLE handle = Newer.MonitorFromWindow && Newer.GetMonitorInfo
                        ? Newer.MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST_)
                        : NULL;
    if (handle && Newer.GetMonitorInfo(handle, &info)) {
        *monitor = info.rcMonitor;
        *work = info.rcWork;
        return true;
    }
    // One monitor: the screen, and the desktop's work area.
    SetRect(monitor, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, work, 0))
        *work = *monitor;
    return false;
}

// Out of context: the events come to this thread, and no program loads the
// library for them.
HANDLE WatchEvents(DWORD first, DWORD last, WinEventFn proc)
{
    LookUp();
    if (!Newer.SetWinEventHook || !Newer.UnhookWinEvent)
        return NULL;
    return Newer.SetWinEventHook(first, last, NULL, proc, 0, 0, WINEVENT_OUTOFCONTEXT_);
}

void StopWatching(HANDLE watch)
{
    if (watch && Newer.UnhookWinEvent)
        Newer.UnhookWinEvent(watch);
}

// Loaded only where a group is drawn, from its window procedure: never in a
// hook procedure, whose program may be anywhere in its own start-up, nor in
// a program that has no group at all (the library's loading runs code of
// its own there, which other threads of the program may be waiting on).
static void LookUpTheme(void)
{
    if (Newer.themeLooked)
        return;
    HMODULE theme = LoadLibraryA("uxtheme.dll");
    if (theme) {
        Newer.IsThemeActive = (IsThemeActiveFn)GetProcAddress(theme, "IsThemeActive");
        Newer.IsAppThemed = (IsThemeActiveFn)GetProcAddress(theme, "IsAppThemed");
        Newer.OpenThemeData = (OpenThemeDataFn)GetProcAddress(theme, "OpenThemeData");
        Newer.CloseThemeData = (CloseThemeDataFn)GetProcAddress(theme, "CloseThemeData");
        Newer.DrawThemeBackground =
            (DrawThemeBackgroundFn)GetProcAddress(theme, "DrawThemeBackground");
    }
    Newer.themeLooked = 1;
}

bool ThemeActive(void)
{
    LookUpTheme();
    return Newer.IsThemeActive && Newer.IsAppThemed && Newer.OpenThemeData &&
           Newer.CloseThemeData && Newer.DrawThemeBackground && Newer.IsThemeActive() &&
           Newer.IsAppThemed();
}

HANDLE OpenFrameTheme(HWND frame)
{
    static const WCHAR window[] = {'W', 'I', 'N', 'D', 'O', 'W', 0};
    return ThemeActive() ? Newer.OpenThemeData(frame, window) : NULL;
}

void CloseFrameTheme(HANDLE theme)
{
    if (theme && Newer.CloseThemeData)
        Newer.CloseThemeData(theme);
}

bool DrawThemePart(HANDLE theme, HDC hdc, int part, int state, const RECT *rect)
{
    return theme && Newer.DrawThemeBackground &&
           SUCCEEDED(Newer.DrawThemeBackground(theme, hdc, part, state, rect, NULL));
}

bool CompositionEnabled(void)
{
    LookUp();
    BOOL composed = FALSE;
    return Newer.DwmIsCompositionEnabled && SUCCEEDED(Newer.DwmIsCompositionEnabled(&composed)) &&
           composed;
}

bool SetColourKey(HWND hwnd, COLORREF key)
{
    LookUp();
    LONG ex = GetWindowLongA(hwnd, GWL_EXSTYLE);
    if (key == CLR_INVALID) {
        if (ex & KOV_WS_EX_LAYERED)
            SetWindowLongA(hwnd, GWL_EXSTYLE, ex & ~KOV_WS_EX_LAYERED);
        return true;
    }
    if (!Newer.SetLayeredWindowAttributes)
        return false;
    if (!(ex & KOV_WS_EX_LAYERED))
        SetWindowLongA(hwnd, GWL_EXSTYLE, ex | KOV_WS_EX_LAYERED);
    return Newer.SetLayeredWindowAttributes(hwnd, key, 0, LWA_COLORKEY_) != 0;
}
