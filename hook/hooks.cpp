// The system-wide hook procedures. They never work on a window at the moment
// the system calls them: they post one of the library's messages to the
// window, and the get-message hook, in the window's own thread, does the
// work and turns the message into KM_NULL so that the window never sees it.
#include "share.h"

UINT CreateAllBtnsMsg, DestroyAllBtnsMsg, SysTaskbarInitMsg;

void RegisterKovMessages(void)
{
    if (CreateAllBtnsMsg)
        return;
    DestroyAllBtnsMsg = RegisterWindowMessageA(MSG_DESTROYALLBTNS);
    SysTaskbarInitMsg = RegisterWindowMessageA(MSG_SYSTASKBARINIT);
    CreateAllBtnsMsg = RegisterWindowMessageA(MSG_CREATEALLBTNS);
}

LRESULT CALLBACK CBTHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0 || _SuspendKovTemp)
        return CallNextHookEx(CBThandle, code, wParam, lParam);
    if (code == HCBT_CREATEWND) {
        CBT_CREATEWNDA *create = (CBT_CREATEWNDA *)lParam;
        if (create && create->lpcs && (create->lpcs->style & WS_CAPTION) == WS_CAPTION && wParam)
            PostMessageA((HWND)wParam, KM_NEWWINDOW, wParam, 0);
    }
    return CallNextHookEx(CBThandle, code, wParam, lParam);
}

static void SubclassTaskbar(void)
{
    if (SysTaskbarOldFrameProc || !hwndShutdownManager)
        return;
    PinLibraryCS();
    SysTaskbarOldFrameProc = SetWindowProcCS(hwndShutdownManager, SysTaskbarSubclassProc);
}

LRESULT CALLBACK GetMsgHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *msg = (MSG *)lParam;
    // Peeked messages come round again when removed: act once, on removal.
    if (code < 0 || wParam != PM_REMOVE || _SuspendKovTemp || !msg)
        return CallNextHookEx(GetMsghandle, code, wParam, lParam);
    RegisterKovMessages();

    switch (msg->message) {
    case KM_NEWWINDOW:
        if (GetWindowIndex(msg->hwnd) < 0)
            CreateSubclassing(msg->hwnd, TRUE);
        msg->message = KM_NULL;
        break;
    default:
        if (msg->message == CreateAllBtnsMsg)
            CreateSubclassing(msg->hwnd, FALSE);
        else if (msg->message == SysTaskbarInitMsg && msg->wParam == 1)
            SubclassTaskbar();
        break;
    }
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
