// The notification-area icon and its two popup menus.
#include "kovw.h"
#include "resource.h"
#include "strings.h"
#include "../common/messages.h"
#include "../common/strutil.h"

#include <shellapi.h>

// The notification-icon record of Windows 4, which every later system takes.
#define TRAY_RECORD_SIZE NOTIFYICONDATAA_V1_SIZE
#define TRAY_TIP_SIZE    64

void MakeTrayIcon(HWND hwnd, UINT id, HICON icon)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = TRAY_RECORD_SIZE;
    data.hWnd = hwnd;
    data.uID = id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = KM_TRAYICON;
    data.hIcon = icon;
    CopyString(data.szTip, TRAY_TIP_SIZE, "Kov");
    Shell_NotifyIconA(NIM_ADD, &data);
    if (icon)
        DestroyIcon(icon);
}

BOOL DeleteTrayIcon(HWND hwnd, UINT id)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = TRAY_RECORD_SIZE;
    data.hWnd = hwnd;
    data.uID = id;
    return Shell_NotifyIconA(NIM_DELETE, &data);
}

static HMENU BuildTrayMenu(BOOL full)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, IDM_OPTIONS, SID_OPTIONS);
    if (!full)
        return menu;
    SetMenuDefaultItem(menu, IDM_OPTIONS, FALSE);
    AppendMenuA(menu, MF_STRING, IDM_SHOWKOV, SID_SHOWKOV);
    AppendMenuA(menu, MF_STRING, IDM_SUSPEND, Shared->Suspend ? SID_ENABLE : SID_SUSPEND);
    AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(menu, MF_STRING, ACTION_MINALL, SID_MINALL);
    if (Shared->State.UnMinAll.Count)
        AppendMenuA(menu, MF_STRING, ACTION_UNDOMINALL, SID_UNMINALL);
    return menu;
}

// full: the right-button menu; otherwise the left-button menu with Options.
void ShowTrayMenu(HWND hwnd, BOOL full)
{
    HMENU menu = BuildTrayMenu(full);
    POINT cursor;
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close on a click elsewhere.
    SetForegroundWindow(hwnd);
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                   hwnd, NULL);
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
