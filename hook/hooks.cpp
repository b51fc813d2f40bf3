// The system-wide hook procedures.
#include "share.h"

LRESULT CALLBACK CBTHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(CBThandle, code, wParam, lParam);
}

LRESULT CALLBACK GetMsgHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(GetMsghandle, code, wParam, lParam);
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(Mousehandle, code, wParam, lParam);
}

LRESULT CALLBACK SysMsgHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(SysMsghandle, code, wParam, lParam);
}

HWND WINAPI FindFrameHwnd(HWND hwnd)
{
    HWND desktop = GetDesktopWindow();
    HWND current = hwnd;
    while (current != desktop && (GetWindowLongA(current, GWL_STYLE) & WS_CHILD)) {
        HWND parent = GetParent(current);
        if (!parent)
            return hwnd;
        current = parent;
    }
    return current;
}
