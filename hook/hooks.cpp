// The system-wide hook procedures. They never work on a window at the moment
// the system calls them: they post one of the library's messages to the
// window, and the get-message hook, in the window's own thread, does the
// work and turns the message into KM_NULL so that the window never sees it.
// A call about a window of another process (a hook of the other
// architecture, called out of context in its controller's thread) is passed
// on untouched: the other architecture's library handles that window.
#include "share.h"
#include "../common/actions.h"

#include <string.h>

#define SNAP_CLASS_SIZE 20

UINT CreateAllBtnsMsg, DestroyAllBtnsMsg, SysTaskbarInitMsg, RollupAllMsg;

void RegisterKovMessages(void)
{
    if (CreateAllBtnsMsg)
        return;
    DestroyAllBtnsMsg = RegisterWindowMessageA(MSG_DESTROYALLBTNS);
    SysTaskbarInitMsg = RegisterWindowMessageA(MSG_SYSTASKBARINIT);
    RollupAllMsg = RegisterWindowMessageA(MSG_ROLLUPALL);
    CreateAllBtnsMsg = RegisterWindowMessageA(MSG_CREATEALLBTNS);
}

LRESULT CALLBACK CBTHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    AttachSharedCS();
    bool window = code == HCBT_CREATEWND || code == HCBT_SETFOCUS;
    if (code < 0 || Sh->Suspend || (window && IsForeignCall((HWND)wParam)))
        return CallNextHookEx(HookHandle(HOOK_CBT), code, wParam, lParam);
    if (code == HCBT_CREATEWND) {
        CBT_CREATEWNDA *create = (CBT_CREATEWNDA *)lParam;
        LONG style = create && create->lpcs && wParam ? create->lpcs->style : WS_CHILD;
        if ((style & WS_CAPTION) == WS_CAPTION)
            PostMessageA((HWND)wParam, KM_NEWWINDOW, wParam, 0);
        else if (!(style & WS_CHILD))
            ClaimNewTaskbar((HWND)wParam);
    } else if (code == HCBT_SETFOCUS) {
        // A push button takes the focus when pressed, and with it would
        // activate our group and so deactivate the frame; the frame, made
        // active again by the action, comes up over its group, and the next
        // quick click lands on its title bar. Our buttons never take it.
        if (wParam && GetButtonWindowIndex((HWND)wParam, TRUE) >= 0)
            return 1;
        if (wParam && !St->IgnoreSnapWindow)
            PostMessageA((HWND)wParam, KM_SNAPFOCUS, wParam, 0);
    }
    return CallNextHookEx(HookHandle(HOOK_CBT), code, wParam, lParam);
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

// Told late, its focus may have come before the hook did; one dressed
// already (its creation seen, or the offer first) is new no more, nor one
// told already that Kov leaves undressed (it would be snapped onto twice).
static void OnNewWindow(HWND hwnd, bool late)
{
    static HWND told;   // this process's last
    if (GetWindowIndex(hwnd) >= 0 || (late && hwnd == told))
        return;
    told = hwnd;
    CreateSubclassing(hwnd, TRUE);
    if (late && GetActiveWindow() == hwnd)
        OnSnapFocus(hwnd);
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
    AttachSharedCS();
    // Peeked messages come round again when removed: act once, on removal.
    if (code < 0 || wParam != PM_REMOVE || Sh->Suspend || !msg || IsForeignCall(msg->hwnd))
        return CallNextHookEx(HookHandle(HOOK_GETMSG), code, wParam, lParam);

    switch (msg->message) {
    case KM_NEWWINDOW:
        OnNewWindow(msg->hwnd, msg->lParam == KM_NEWWINDOW_LATE);
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
        if (TakeScrollTick(msg))
            return 0;
        break;
    default:
        RegisterKovMessages();
        if (msg->message == CreateAllBtnsMsg) {
            ClaimProgramManager(msg->hwnd);
            // A window made while the hooks went in is offered twice: as new
            // and by the enumeration. One record, one group. A frame dressed
            // already is a new Kov's now: an earlier one's late release leaves it.
            int index = GetWindowIndex(msg->hwnd);
            if (index < 0 && msg->lParam == KM_NEWWINDOW_LATE)
                OnNewWindow(msg->hwnd, true);
            else if (index < 0)
                CreateSubclassing(msg->hwnd, FALSE);
            else
                Tb->Win[index].Instance = Sh->Instance;
        } else if (msg->message == SysTaskbarInitMsg && msg->wParam == 1)
            SubclassTaskbar(msg->hwnd);
        else if (msg->message == RollupAllMsg && msg->hwnd == Sh->Controller[KOV_ARCH_SLOT]) {
            RollupTable(HwndFrom32((uint32_t)msg->lParam), (BOOL)msg->wParam);
            msg->message = KM_NULL;
        }
        break;
    }
    return CallNextHookEx(HookHandle(HOOK_GETMSG), code, wParam, lParam);
}

HWND GetHwndForAction(HWND hwnd, int action)
{
    if (action == ACTION_TASKLIST && HIWORD(GetProcessVersion(0)) < 4)
        return St->hwndWin3PopupPatch;
    return hwnd;
}

// --- Mouse gestures ---

// A key or button is down if it was with the mouse message being taken, or
// is down on the keyboard now: a thread that did not have the keyboard
// focus when the key went down does not see it in its own state.
static bool KeyDown(int key)
{
    return ((GetKeyState(key) | GetAsyncKeyState(key)) & 0x8000) != 0;
}

// A code the executor does not know (a file may hold any) is no action:
// taking the click for it would only lose the click.
static int SlotAction(int slot)
{
    int action = (int)Sh->Op.MouseAction[slot].ActionId;
    return IsKnownAction(action) ? action : ACTION_NONE;
}

static void PostGesture(HWND hwnd, int action)
{
    PostMessageA(GetHwndForAction(hwnd, action), KM_ACTION, action, SOURCE_MOUSE);
}

// Tracks the direction the mouse moves in; with the scroll button held it
// scrolls line by line (and cancels the click the release would make).
static void OnMouseMove(POINT pt, HWND under)
{
    int d = Sh->Op.ScrollSensitivity;
    int direction;
    if (pt.y > St->LastMousePos.y + d)
        direction = VK_DOWN;
    else if (pt.y < St->LastMousePos.y - d)
        direction = VK_UP;
    else if (pt.x > St->LastMousePos.x + d)
        direction = VK_RIGHT;
    else if (pt.x < St->LastMousePos.x - d)
        direction = VK_LEFT;
    else
        return;
    St->MouseDirection = direction;
    St->LastMousePos = pt;
    if (St->autoScroll.TimerId)
        return;
    bool middleScrolls = SlotAction(SLOT_MIDDLE) == ACTION_SCROLLPAGE && KeyDown(VK_MBUTTON);
    bool rightScrolls = SlotAction(SLOT_CTRL_RIGHT) == ACTION_SCROLLPAGE && KeyDown(VK_RBUTTON) &&
                        KeyDown(VK_CONTROL);
    if (middleScrolls || rightScrolls) {
        PostMessageA(under, KM_ACTION, ACTION_SCROLLLINE, SOURCE_MOUSE);
        St->hwndScroll = 0;
    }
}

// Returns whether the press is taken from the window.
static bool OnRightPress(HWND under)
{
    if (GetButtonWindowIndex(under, TRUE) >= 0) {
        PostMessageA(Sh->hwndKov, KM_SHOWKOV, 0, 0);
        return false;
    }
    int action = SlotAction(KeyDown(VK_CONTROL) ? SLOT_CTRL_RIGHT : SLOT_RIGHT);
    if (action == ACTION_NONE)
        return false;
    St->TrappedRBtnDown = 1;
    St->hwndScroll = 0;
    if (action != ACTION_SCROLLPAGE) {
        PostGesture(under, action);
        return true;
    }
    St->hwndScroll = under;
    St->ScrollActionId = ACTION_SCROLLPAGE;
    ForgetScrollbars();
    LONG time = GetMessageTime();
    if (time > St->LastMsgTime) {
        if ((DWORD)(time - St->LastMsgTime) < Sh->DoubleClickTime)
            St->ScrollActionId = ACTION_SCROLLPAGES;
        else
            St->LastMsgTime = time;
    }
    return true;
}

static bool OnMiddlePress(HWND under)
{
    int action = SlotAction(SLOT_MIDDLE);
    if (action == ACTION_NONE)
        return false;
    St->TrappedMBtnDown = 1;
    St->hwndScroll = 0;
    if (action == ACTION_SCROLLPAGE) {
        // The window sees this press; the release decides.
        St->hwndScroll = under;
        St->ScrollActionId = ACTION_SCROLLPAGE;
        ForgetScrollbars();
        return false;
    }
    PostGesture(under, action);
    return true;
}

static bool OnMiddleDoubleClick(HWND under)
{
    if (SlotAction(SLOT_MIDDLE) != ACTION_SCROLLPAGE)
        return false;
    St->hwndScroll = under;
    St->ScrollActionId = ACTION_SCROLLPAGES;
    St->TrappedMBtnDown = 1;
    ForgetScrollbars();
    return true;
}

// A release is taken when its press was; a scroll click acts only when the
// button is let go over the window it was pressed on.
static bool OnRelease(int *trapped, HWND under)
{
    if (!*trapped)
        return false;
    // Any program may have written the press's record: only a scroll, only of the window under the release.
    HWND scroll = St->hwndScroll;
    int action = St->ScrollActionId;
    if (scroll && under == scroll && (action == ACTION_SCROLLPAGE || action == ACTION_SCROLLPAGES))
        PostMessageA(scroll, KM_ACTION, action, SOURCE_MOUSE);
    St->hwndScroll = 0;
    StopScrollTimer();
    *trapped = 0;
    return true;
}

LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    MOUSEHOOKSTRUCT *mouse = (MOUSEHOOKSTRUCT *)lParam;
    AttachSharedCS();
    if (code < 0 || code == HC_NOREMOVE || Sh->Suspend || !mouse || IsForeignCall(mouse->hwnd))
        return CallNextHookEx(HookHandle(HOOK_MOUSE), code, wParam, lParam);
    bool take = false;
    switch (wParam) {
    case WM_MOUSEMOVE:
        OnMouseMove(mouse->pt, mouse->hwnd);
        break;
    case WM_RBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        take = OnRightPress(mouse->hwnd);
        break;
    case WM_MBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
        take = OnMiddlePress(mouse->hwnd);
        break;
    case WM_MBUTTONDBLCLK:
        take = OnMiddleDoubleClick(mouse->hwnd);
        break;
    case WM_RBUTTONUP:
    case WM_NCRBUTTONUP:
        take = OnRelease(&St->TrappedRBtnDown, mouse->hwnd);
        break;
    case WM_MBUTTONUP:
    case WM_NCMBUTTONUP:
        take = OnRelease(&St->TrappedMBtnDown, mouse->hwnd);
        break;
    }
    if (take)
        return 1;
    return CallNextHookEx(HookHandle(HOOK_MOUSE), code, wParam, lParam);
}

// Watches the Start menu for its shut-down entry, and how the menu is left
// (read when the shut-down dialog is offered buttons).
LRESULT CALLBACK SysMsgHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    MSG *msg = (MSG *)lParam;
    AttachSharedCS();
    if (code < 0 || Sh->Suspend || !msg || IsForeignCall(msg->hwnd))
        return CallNextHookEx(HookHandle(HOOK_SYSMSG), code, wParam, lParam);
    if (code == MSGF_MENU && msg->message == WM_MENUSELECT)
        NoteMenuSelect(msg->hwnd, msg->wParam);
    else if (code == MSGF_MENU)
        NoteMenuInput(msg);
    return CallNextHookEx(HookHandle(HOOK_SYSMSG), code, wParam, lParam);
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
