// The taskbar subclass, running in the shell's process and taskbar thread,
// and the recognition of the shell's shut-down dialog.
#include "share.h"

#include <stdlib.h>
#include <string.h>

#define SHUTDOWN_TITLE_SIZE  60
#define SHUTDOWN_CLASS_SIZE  64
#define SHUTDOWN_OPTION_ITEM 0x3800
#define DIALOG_CLASS_NUMBER  32770

LRESULT CALLBACK SysTaskbarSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RegisterKovMessages();
    WNDPROC old = SysTaskbarOldFrameProc;
    if (msg == SysTaskbarInitMsg) {
        if (wParam == 0 && old) {
            SetWindowProcCS(hwnd, old, IsWindowUnicode(hwnd));
            SysTaskbarOldFrameProc = 0;
        }
        return 0;
    }
    return CallWindowProcCS(old, IsWindowUnicode(hwnd), hwnd, msg, wParam, lParam);
}

static bool StartsWith(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

BOOL IsShutdownDialog(HWND hwnd)
{
    char title[SHUTDOWN_TITLE_SIZE] = "", className[SHUTDOWN_CLASS_SIZE] = "";
    GetWindowTextA(hwnd, title, sizeof(title));
    GetClassNameA(hwnd, className, sizeof(className));
    if (SysShutdownSelected) {
        bool topmost = (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        bool dialog = className[0] && atoi(className + 1) == DIALOG_CLASS_NUMBER;
        if (!topmost || !dialog)
            SysShutdownSelected = 0;
    }
    if (SysShutdownSelected || StartsWith(title, "Shut Down Windows") ||
        StartsWith(title, "Exit Win")) {
        SysShutdownSelected = 0;
        return TRUE;
    }
    return FALSE;
}

BOOL BypassShutdown(HWND hwnd)
{
    bool userHolds = (GetAsyncKeyState(VK_SHIFT) & 0x8000) || (GetAsyncKeyState(VK_CONTROL) & 0x8000);
    if (!Op.BypassShutdownConfirm || userHolds) {
        SysShutdownSelected = 0;
        return FALSE;
    }
    if (!IsShutdownDialog(hwnd))
        return FALSE;
    CheckDlgButton(hwnd, SHUTDOWN_OPTION_ITEM, BST_CHECKED);
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}
