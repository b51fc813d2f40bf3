// A test library that records, inside the process that opens them, the popup menus (or, when asked, the
// menu bar) of one thread, and logs the mouse input of every program (see SpyInputLog).
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
        for (int i = 0; i < Last.count; i++)
            Last.texts[i][0] = 0, GetMenuStringA(menu, i, Last.texts[i], sizeof(Last.texts[i]), MF_BYPOSITION);
        InterlockedIncrement(&Last.serial);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

EXPORT HHOOK SpyOn(DWORD thread) { return SetWindowsHookExA(WH_CALLWNDPROC, SpyProc, Module, thread); }

static SpyInputLog *Log;

static void Record(UINT message, const MOUSEHOOKSTRUCT *m)
{
    bool mouse = (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                 (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
    if (!Log || !m || !mouse)
        return;
    long n = InterlockedIncrement(&Log->next);
    SpyInput *e = &Log->at[n % SPY_INPUTS];
    InterlockedExchange(&e->serial, 0);   // being written
    *e = {0, GetCurrentThreadId(), (uint32_t)(UINT_PTR)m->hwnd, message, m->pt.x, m->pt.y,
          (int32_t)m->wHitTestCode, (uint32_t)m->dwExtraInfo};
    InterlockedExchange(&e->serial, n);
}

static LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        Record((UINT)wParam, (MOUSEHOOKSTRUCT *)lParam);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// A newer mouse hook that swallows a message skips the older ones; the system tells CBT hooks.
static LRESULT CALLBACK SkippedProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CLICKSKIPPED)
        Record((UINT)wParam, (MOUSEHOOKSTRUCT *)lParam);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

// Every thread's (0), or one thread's: the system ends a chain at a global hook it cannot call, one of
// the other architecture, so a program of the other one beside its Kov logs its own thread's.
EXPORT BOOL SpyOnInput(DWORD thread)
{
    return Log && SetWindowsHookExA(WH_MOUSE, MouseProc, Module, thread) &&
           SetWindowsHookExA(WH_CBT, SkippedProc, Module, thread);
}
EXPORT SpyInputLog *SpyInputs(void) { return Log; }
EXPORT volatile SpyMenu *SpyLast(void) { return &Last; }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH) {
        Module = instance;
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, sizeof(SpyInputLog), SPY_INPUT_LOG);
        Log = mapping ? (SpyInputLog *)MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : NULL;
    }
    return TRUE;
}
