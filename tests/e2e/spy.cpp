// A test library that records, inside the process that opens them, the
// popup menus (or, when asked, the menu bar) of one thread, and counts what a
// mouse hook of its own sees.
#include <windows.h>

#include "probe.h"

static SpyMenu Last __attribute__((section("SPYSHARE"), shared)) = {};
static HINSTANCE Module;

static LRESULT CALLBACK SpyProc(int code, WPARAM wParam, LPARAM lParam)
{
    CWPSTRUCT *call = (CWPSTRUCT *)lParam;
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

extern "C" __declspec(dllexport) HHOOK SpyOn(DWORD thread)
{
    return SetWindowsHookExA(WH_CALLWNDPROC, SpyProc, Module, thread);
}

static LRESULT CALLBACK MouseProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION)
        InterlockedIncrement(&Last.mouseSeen);
    return CallNextHookEx(NULL, code, wParam, lParam);
}

extern "C" __declspec(dllexport) HHOOK SpyOnMouse(void)
{
    return SetWindowsHookExA(WH_MOUSE, MouseProc, Module, 0);
}

extern "C" __declspec(dllexport) volatile SpyMenu *SpyLast(void)
{
    return &Last;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH)
        Module = instance;
    return TRUE;
}
