// A test library that records, inside the process that opens them, the popup menus (or, when asked, the
// menu bar) of one thread, and counts what a mouse hook of its own sees.
#include <windows.h>

#include "probe.h"

#define EXPORT extern "C" __declspec(dllexport)

static SpyMenu Last __attribute__((section("SPYSHARE"), shared)) = {};
static HINSTANCE Module;

// The texts of a dialog's controls that overflow them, measured in its font and dpi as they draw:
// statics wrap at their width; a check box's text has the box beside it, a caption the frame's insets.
static void Fit(HWND dialog)
{
    Last.count = 0;
    for (HWND c = GetWindow(dialog, GW_CHILD); c && Last.count < SPY_ITEMS; c = GetWindow(c, GW_HWNDNEXT)) {
        char cls[8] = "", text[512];
        RECT room, need;
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageA(c, WM_GETFONT, 0, 0));
        bool button = GetClassNameA(c, cls, sizeof(cls)) && !lstrcmpiA(cls, "Button");
        LONG type = GetWindowLongA(c, GWL_STYLE) & (button ? BS_TYPEMASK : SS_TYPEMASK);
        GetClientRect(c, &room);
        room.right -= button ? GetSystemMetrics(SM_CXMENUCHECK) + 2 * GetSystemMetrics(SM_CXEDGE) : 0;
        need = room;
        DrawTextA(dc, text, GetWindowTextA(c, text, sizeof(text)), &need,
                  DT_CALCRECT | (button ? DT_SINGLELINE : DT_WORDBREAK | DT_EXPANDTABS));
        if ((button ? type >= BS_CHECKBOX && type <= BS_AUTORADIOBUTTON && type != BS_USERBUTTON
                    : !lstrcmpiA(cls, "Static") && type <= SS_RIGHT) && (need.right > room.right || need.bottom > room.bottom))
            lstrcpynA(Last.texts[Last.count++], text, sizeof(Last.texts[0]));
        Last.defaultId = GetDeviceCaps(dc, LOGPIXELSY);
        SelectObject(dc, old), ReleaseDC(c, dc);
    }
}

static LRESULT CALLBACK SpyProc(int code, WPARAM wParam, LPARAM lParam)
{
    CWPSTRUCT *call = (CWPSTRUCT *)lParam;
    if (code == HC_ACTION && call->message == WM_NULL && call->wParam == SPY_FIT)
        Fit(call->hwnd), InterlockedIncrement(&Last.serial);
    bool bar = call->message == WM_NULL && call->wParam == SPY_MENUBAR;   // asked for a window's menu bar
    if (code == HC_ACTION && (call->message == WM_INITMENUPOPUP || bar)) {
        HMENU menu = bar ? GetMenu(call->hwnd) : (HMENU)call->wParam;
        int count = GetMenuItemCount(menu);
        Last.count = count < SPY_ITEMS ? count : SPY_ITEMS;
        Last.defaultId = (int)GetMenuDefaultItem(menu, FALSE, 0);
        for (int i = 0; i < Last.count; i++) {
            Last.texts[i][0] = 0;
            GetMenuStringA(menu, i, Last.texts[i], sizeof(Last.texts[i]), MF_BYPOSITION);
        }
        InterlockedIncrement(&Last.serial);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

EXPORT HHOOK SpyOn(DWORD thread) { return SetWindowsHookExA(WH_CALLWNDPROC, SpyProc, Module, thread); }

static LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        InterlockedIncrement(&Last.mouseSeen);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

EXPORT HHOOK SpyOnMouse(void) { return SetWindowsHookExA(WH_MOUSE, MouseProc, Module, 0); }
EXPORT volatile SpyMenu *SpyLast(void) { return &Last; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    Module = reason == DLL_PROCESS_ATTACH ? instance : Module;
    return TRUE;
}
