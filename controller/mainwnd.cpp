// The main window: a small captioned window with a menu bar, usually hidden;
// the tray icon stands for it.
#include "kovw.h"
#include "resource.h"
#include "strings.h"
#include "../common/messages.h"
#include "../hook/debuglog.h"

#define MAIN_WIDTH_CHARS       32
#define NONCLIENTMETRICS_V4    340   // the record without the padded border

// Our modal dialogs that are open, one slot each: either may be asked for
// from the tray while the other is open.
static HWND OpenAbout, OpenOptions;

static HWND *DialogSlot(int dialogId)
{
    return dialogId == IDD_ABOUT ? &OpenAbout : &OpenOptions;
}

static void SetMainMenu(HWND hwnd, int menuId)
{
    HMENU old = GetMenu(hwnd);
    SetMenu(hwnd, LoadMenuA(hInst, MAKEINTRESOURCEA(menuId)));
    if (old)
        DestroyMenu(old);
}

static int MenuFontUnitWidth(HWND hwnd)
{
    NONCLIENTMETRICSA metrics = {};
    metrics.cbSize = NONCLIENTMETRICS_V4;
    int width = 0;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, NONCLIENTMETRICS_V4, &metrics, 0))
        width = metrics.lfMenuFont.lfWidth;
    if (width == 0) {
        HDC dc = GetDC(hwnd);
        TEXTMETRICA tm = {};
        GetTextMetricsA(dc, &tm);
        ReleaseDC(hwnd, dc);
        width = tm.tmAveCharWidth;
    }
    return width < 0 ? -width : width;
}

static void OnCreate(HWND hwnd)
{
    RECT rc;
    GetWindowRect(hwnd, &rc);
    SetWindowPos(hwnd, NULL, 0, 0, MAIN_WIDTH_CHARS * MenuFontUnitWidth(hwnd),
                 rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HMENU system = GetSystemMenu(hwnd, FALSE);
    AppendMenuA(system, MF_SEPARATOR, 0, NULL);
    AppendMenuA(system, MF_STRING, IDM_OPTIONS, SID_OPTIONS);
    AppendMenuA(system, MF_STRING, IDM_ABOUT, "&About");
    AppendMenuA(system, MF_STRING, ACTION_HIDE, "&Hide");
}

static void ToggleSuspend(HWND hwnd)
{
    if (Shared->Suspend) {
        // Enabled before the hooks go in: installing offers every existing
        // window to its own thread at once, and a thread that took the offer
        // while the flag was still up would ignore it. The companion follows
        // the same flag, and installs its hooks when first told.
        Shared->Suspend = 0;
        if (!HookIsLoaded && SetKovHook(hwndKov, IsDBCS, DebugLevelCS) == 1)
            HookIsLoaded = 1;
        TellCompanion(COMPANION_ENABLE_COMMAND);
        SetMainMenu(hwnd, IDR_MENU_ENABLED);
    } else {
        SetMainMenu(hwnd, IDR_MENU_SUSPENDED);
        Shared->Suspend = 1;
    }
}

// One copy of each dialog at a time: a second request brings it forward.
static void RunDialog(HWND hwnd, int dialogId, DLGPROC proc)
{
    HWND *slot = DialogSlot(dialogId);
    if (*slot && IsWindow(*slot)) {
        SetForegroundWindow(*slot);
        return;
    }
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(dialogId), hwnd, proc, 0);
    *slot = NULL;
}

void RememberOpenDialog(int dialogId, HWND dialog)
{
    *DialogSlot(dialogId) = dialog;
}

static void OnCommand(HWND hwnd, int id)
{
    switch (id) {
    case IDM_SUSPEND:
        ToggleSuspend(hwnd);
        break;
    case IDM_ABOUT:
        RunDialog(hwnd, IDD_ABOUT, AboutDlgBoxProc);
        break;
    case IDM_OPTIONS:
        RunDialog(hwnd, IDD_OPTIONS, OptionsDlgBoxProc);
        break;
    case ACTION_MINALL:
    case ACTION_UNDOMINALL:
        // Taken out of the queue and performed by the library's message hook.
        PostMessageA(hwnd, KM_ACTION, id, SOURCE_BUTTON);
        break;
    case IDM_SHOWKOV:
        PostMessageA(hwnd, KM_SHOWKOV, 0, 0);
        break;
    }
}

static LRESULT OnSysCommand(HWND hwnd, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case IDM_ABOUT:
    case IDM_OPTIONS:
        PostMessageA(hwnd, WM_COMMAND, wParam, 0);
        return 0;
    case ACTION_HIDE:
        ShowWindow(hwnd, SW_HIDE);
        return 0;
    }
    if ((wParam & 0xFFF0) == SC_CLOSE && !ReleaseAll(FALSE))
        return 0;
    return DefWindowProcA(hwnd, WM_SYSCOMMAND, wParam, lParam);
}

static void OnTrayIcon(HWND hwnd, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
        ShowTrayMenu(hwnd, FALSE);
        break;
    case WM_LBUTTONDBLCLK:
        PostMessageA(hwnd, KM_SHOWKOV, 0, 0);
        break;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(hwnd, TRUE);
        break;
    }
}

static void OnPaint(HWND hwnd)
{
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        OnPaint(hwnd);
        break;
    case WM_ENDSESSION:
        ReleaseAll(TRUE);
        break;
    case WM_TIMER:
        if (OnWatchTimer(hwnd, wParam))
            return 0;
        break;
    case WM_SETTINGCHANGE:
        InitSystemParams();
        return 0;
    case WM_COMMAND:
        OnCommand(hwnd, LOWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        return OnSysCommand(hwnd, wParam, lParam);
    case KM_SHOWKOV:
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        ActivateWindowCS(hwndKov);
        return 0;
    case KM_TRAYICON:
        OnTrayIcon(hwnd, lParam);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
