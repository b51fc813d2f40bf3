// The system-wide hook procedures. They never work on a window at the moment
// the system calls them: they post one of the library's messages to the
// window, and the get-message hook, in the window's own thread, does the
// work and turns the message into KM_NULL so that the window never sees it.
#include "share.h"
#include "../common/actions.h"

#include <string.h>

#define SNAP_CLASS_SIZE 20

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
    } else if (code == HCBT_SETFOCUS) {
        if (wParam && !IgnoreSnapWindow)
            PostMessageA((HWND)wParam, KM_SNAPFOCUS, wParam, 0);
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

static void OnSnapFocus(HWND hwnd)
{
    if (!hwnd)
        return;
    HWND frame = FindFrameHwnd(hwnd);
    char className[SNAP_CLASS_SIZE] = "";
    GetClassNameA(frame, className, sizeof(className));
    if (!strstr(className, "utton") && IsWindow(frame) && !IsIconic(frame))
        CheckMouseSnap(frame);
}

static bool IsScrollAction(int action)
{
    return action >= ACTION_SCROLLPAGE && action <= ACTION_SCROLLLINE;
}

static void OnAction(const MSG *msg)
{
    int action = LOWORD(msg->wParam);
    int source = LOWORD(msg->lParam);
    HWND frame = FindFrameHwnd(msg->hwnd);
    HWND target = frame;
    if (source == SOURCE_MOUSE) {
        ActivateWindowCS(frame);
        // Scrolling goes to the child window under the mouse.
        if (IsScrollAction(action))
            target = msg->hwnd;
    }
    ExecuteSystemCommand(target, GetWindowIndex(target), action, source);
}

// A pick from the library's task-list menu, which arrives as a menu command
// in the queue of the window that owned the menu. Returns whether it was one.
static bool OnTaskListPick(const MSG *msg)
{
    if (!hwndKovTaskListMenu || HIWORD(msg->wParam) != 0)
        return false;
    int entry = (int)LOWORD(msg->wParam) - TASKLIST_FIRST_ID;
    if (entry < 0 || entry >= TASKLIST_MAX_ENTRIES)
        return false;
    HWND frame = FindFrameHwnd(msg->hwnd);
    HWND chosen = hwndSwitchHwnd[entry];
    if (chosen == TASKLIST_MARK_MINALL) {
        ExecuteSystemCommand(frame, GetWindowIndex(frame), ACTION_MINALL, SOURCE_BUTTON);
    } else if (chosen == TASKLIST_MARK_UNDOMIN) {
        ExecuteSystemCommand(frame, GetWindowIndex(frame), ACTION_UNDOMINALL, SOURCE_BUTTON);
    } else {
        if (IsIconic(chosen))
            ShowWindow(chosen, SW_SHOWNOACTIVATE);
        ActivateWindowCS(chosen);
    }
    hwndKovTaskListMenu = 0;
    return true;
}

LRESULT CALLBACK GetMsgHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *msg = (MSG *)lParam;
    // Peeked messages come round again when removed: act once, on removal.
    if (code < 0 || wParam != PM_REMOVE || _SuspendKovTemp || !msg)
        return CallNextHookEx(GetMsghandle, code, wParam, lParam);

    switch (msg->message) {
    case KM_NEWWINDOW:
        if (GetWindowIndex(msg->hwnd) < 0)
            CreateSubclassing(msg->hwnd, TRUE);
        msg->message = KM_NULL;
        break;
    case KM_SNAPFOCUS:
        OnSnapFocus(msg->hwnd);
        msg->message = KM_NULL;
        break;
    case KM_ACTION:
        OnAction(msg);
        msg->message = KM_NULL;
        break;
    case WM_COMMAND:
        if (OnTaskListPick(msg))
            msg->message = KM_NULL;
        break;
    case WM_TIMER:
        if (autoScroll.TimerId && autoScroll.TimerId == msg->wParam) {
            PostMessageA(autoScroll.hwnd, KM_ACTION, ACTION_SCROLLLINE, SOURCE_MOUSE);
            return 0;
        }
        break;
    default:
        RegisterKovMessages();
        if (msg->message == CreateAllBtnsMsg)
            CreateSubclassing(msg->hwnd, FALSE);
        else if (msg->message == SysTaskbarInitMsg && msg->wParam == 1)
            SubclassTaskbar();
        break;
    }
    return CallNextHookEx(GetMsghandle, code, wParam, lParam);
}

HWND GetHwndForAction(HWND hwnd, int action)
{
    if (action == ACTION_TASKLIST && HIWORD(GetProcessVersion(0)) < 4)
        return hwndWin3PopupPatch;
    return hwnd;
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code < 0 || code == HC_NOREMOVE || _SuspendKovTemp)
        return CallNextHookEx(Mousehandle, code, wParam, lParam);
    MOUSEHOOKSTRUCT *mouse = (MOUSEHOOKSTRUCT *)lParam;
    if ((wParam == WM_RBUTTONDOWN || wParam == WM_NCRBUTTONDOWN) && mouse &&
        GetButtonWindowIndex(mouse->hwnd, TRUE) >= 0)
        PostMessageA(hwndKov, KM_SHOWKOV, 0, 0);
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
