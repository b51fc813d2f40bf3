// The frame subclass: follows each subclassed frame and its button group.
#include "share.h"

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int index = GetWindowIndex(hwnd);
    if (index < 0)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    WNDPROC old = Win[index].OldWndProc;
    if (msg == WM_DESTROY) {
        DestroyButtons(Win[index].hwndButtons);
        FreeWindowIndex(hwnd, FALSE);
    }
    return CallWindowProcCS(old, hwnd, msg, wParam, lParam);
}

int DestroyButtons(HWND hwndButtons)
{
    int index = GetButtonWindowIndex(hwndButtons, FALSE);
    if (index < 0)
        return 0;
    if (IsValidProcCS(Win[index].OldButtonsProc))
        SetWindowLongPtrA(hwndButtons, GWLP_WNDPROC, (LONG_PTR)Win[index].OldButtonsProc);
    int result = DestroyWindow(hwndButtons);
    Win[index].hwndButtons = 0;
    return result;
}
