#include "menuspy.h"

#include <string.h>

static SpyMenu LastMenu __attribute__((section("SPYSHARE"), shared)) = {};
static HINSTANCE Module;
static HMENU LastHandle;

static void Record(HMENU menu)
{
    SpyMenu *m = &LastMenu;
    int count = GetMenuItemCount(menu);
    m->count = count < SPY_MAX_ITEMS ? count : SPY_MAX_ITEMS;
    m->defaultId = (int)GetMenuDefaultItem(menu, FALSE, 0);
    for (int i = 0; i < m->count; i++) {
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = m->items[i].text;
        info.cch = SPY_TEXT_SIZE;
        m->items[i].text[0] = 0;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        m->items[i].id = info.wID;
        SetRectEmpty(&m->items[i].rect);
        m->items[i].type = info.fType;
        m->items[i].state = info.fState;
    }
    LastHandle = menu;
    InterlockedIncrement(&m->serial);
}

// The menu is on the screen once its loop goes idle: its items have places.
static void RecordPlaces(HWND owner)
{
    SpyMenu *m = &LastMenu;
    if (!LastHandle)
        return;
    // Asked again at every idle turn: the first answer may come before the
    // menu has its final place.
    for (int i = 0; i < m->count; i++)
        GetMenuItemRect(owner, LastHandle, i, &m->items[i].rect);
    m->shown = m->serial;
}

static LRESULT CALLBACK SpyProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        CWPSTRUCT *call = (CWPSTRUCT *)lParam;
        if (call->message == WM_INITMENUPOPUP)
            Record((HMENU)call->wParam);
        else if (call->message == WM_ENTERIDLE && call->wParam == MSGF_MENU)
            RecordPlaces(call->hwnd);
    }
    return CallNextHookEx(NULL, code, wParam, lParam);
}

extern "C" __declspec(dllexport) HHOOK SpyOnThread(DWORD threadId)
{
    return SetWindowsHookExA(WH_CALLWNDPROC, SpyProc, Module, threadId);
}

extern "C" __declspec(dllexport) const volatile SpyMenu *SpyLastMenu(void)
{
    return &LastMenu;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void *)
{
    if (reason == DLL_PROCESS_ATTACH)
        Module = instance;
    return TRUE;
}
