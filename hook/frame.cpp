// The frame subclass: follows each subclassed frame and its button group.
#include "share.h"

// Removes a frame's buttons and gives the frame its own procedure back;
// the frame's own thread does this when the frame goes or on release.
static void ReleaseFrame(HWND hwnd, int index)
{
    HANDLE mutex;
    GetMutexCS(&mutex, MUTEX_DESTROYBTNS, DESTROYBTNS_TIMEOUT);   // carries on without it
    DestroyButtons(Win[index].hwndButtons);
    FreeWindowIndex(hwnd, FALSE);
    UnregisterClassA(szKovButtons, (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    if (mutex)
        ReleaseMutexCS(mutex);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int index = GetWindowIndex(hwnd);
    if (index < 0)
        return DefWindowProcCS(hwnd, msg, wParam, lParam);
    RegisterKovMessages();
    WNDPROC old = Win[index].OldWndProc;

    switch (msg) {
    case WM_DESTROY:
        ReleaseFrame(hwnd, index);
        break;
    case KM_ADDBUTTONS:
        return 0;
    default:
        if (msg == DestroyAllBtnsMsg) {
            ReleaseFrame(Win[index].hwnd, index);
            return 0;
        }
        break;
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
