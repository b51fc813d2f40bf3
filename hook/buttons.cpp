// The button group window: a popup owned by its frame, lying over the
// frame's title bar, whose children are owner-drawn push buttons, one per
// action. It keeps no data of its own: everything is in the frame's record.
#include "share.h"
#include "../common/actions.h"
#include "caption.h"
#include "look.h"

static bool IsRightPlacement()
{
    return PlacementOf(&Sh->Op) == PLACEMENT_RIGHT;
}

// Where the group belongs on its frame. It never reaches left of the
// caption's start: when the frame is too narrow the group is cut short
// (right placement: starting at the caption's start; left: at its place).
static RECT GroupPlace(const WinRecord &rec, HWND frameHwnd, bool *cut)
{
    RECT frame;
    GetWindowRect(frameHwnd, &frame);
    int width = rec.nButtons * rec.cxButton;
    int left = frame.left + rec.xLeft, top = frame.top + rec.yTop;
    int available;
    if (IsRightPlacement()) {
        available = (frame.right - rec.xRight + width) - left;
        if (width <= available)
            left = frame.right - rec.xRight;
    } else {
        available = (frame.right - rec.xRight) - left;
    }
    *cut = width > available;
    RECT place = {left, top, left + (*cut ? available : width), top + rec.cyButton};
    if (IsZoomed(frameHwnd)) {
        RECT monitor, work;
        MonitorAreas(frameHwnd, &monitor, &work);
        place = KeepInArea(place, work);
    }
    return place;
}

// A cloaked frame is visible, on another virtual desktop.
static bool IsOnScreen(HWND frame)
{
    return IsWindowVisible(frame) && !IsIconic(frame) && !IsCloaked(frame);
}

// Keeps the group on its frame after a move.
static void MoveButtons(int index, HWND group)
{
    const WinRecord &rec = Tb->Win[index];
    bool cut;
    RECT place = GroupPlace(rec, rec.hwnd, &cut);
    UINT keepSize = (cut && IsRightPlacement()) ? 0 : SWP_NOSIZE;
    SetWindowPos(group, NULL, place.left, place.top, place.right - place.left, rec.cyButton,
                 keepSize | SWP_NOZORDER | SWP_NOACTIVATE);
    bool shown = IsOnScreen(rec.hwnd);
    SetWindowPos(group, NULL, 0, 0, 0, 0,
                 (shown ? SWP_SHOWWINDOW : SWP_HIDEWINDOW) | SWP_NOMOVE | SWP_NOSIZE |
                     SWP_NOZORDER | SWP_NOACTIVATE);
    // A frame brought forward by another program does not always take its
    // group along (Wine does not keep owned windows above their owner):
    // the group goes back right above it.
    HWND above = GetWindow(rec.hwnd, GW_HWNDPREV);
    if (shown && above != group)
        SetWindowPos(group, above ? above : HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// Shows, hides or re-stacks the group after the frame was sized, shown or
// hidden, and gives a group that was cut short its width back.
static void ShowButtons(int index, HWND group)
{
    const WinRecord &rec = Tb->Win[index];
    HWND frame = rec.hwnd;
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    HWND above = GetWindow(frame, GW_HWNDPREV);
    if (GetForegroundWindow() == frame) {
        // Wine stacks the display's windows as its own only for a move to
        // the top: a group put back right above its active frame from under
        // another group keeps its old display place, under the frame, and
        // the screen shows the bare caption. The active frame's group is
        // put on top, where it belongs, even when it seems to lie there.
        above = HWND_TOP;
    } else if (above == group) {
        flags |= SWP_NOZORDER;
        above = NULL;
    } else if (!above) {
        // The frame on top of everything, its own group below it: a system
        // that does not keep owned windows above their owner allows that.
        above = HWND_TOP;
    }
    // A maximized frame's group is stacked like any other: on top only while
    // its frame is active, or it would lie over the window the user brought
    // over that frame (it was looked at again as the frame lost activation).
    LONG style = GetWindowLongA(frame, GWL_STYLE);
    if (!IsOnScreen(frame) || (style & WS_CAPTION) != WS_CAPTION)
        SetWindowPos(group, NULL, 0, 0, 0, 0, flags | SWP_NOZORDER | SWP_HIDEWINDOW);
    else if (rec.ButtonsCreated)
        SetWindowPos(group, above, 0, 0, 0, 0, flags | SWP_SHOWWINDOW);

    bool cut;
    RECT place = GroupPlace(rec, frame, &cut);
    UINT keepPlace = IsRightPlacement() ? 0 : SWP_NOMOVE;
    SetWindowPos(group, NULL, place.left, place.top, place.right - place.left, rec.cyButton,
                 keepPlace | SWP_NOZORDER | SWP_NOACTIVATE);
}

int ProcessButtonsProcMsg(int index, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                          LRESULT *result)
{
    *result = 0;
    switch (msg) {
    case WM_COMMAND:
        if (Sh->Suspend)
            return 0;
        // An owner-drawn button reports a quick second click as a double
        // click: for these buttons it is one more click.
        if (HIWORD(wParam) == BN_DOUBLECLICKED)
            wParam = LOWORD(wParam);
        return ExecuteSystemCommand(hwnd, index, (int)wParam, SOURCE_BUTTON) == 1;
    case WM_DRAWITEM:
        if (lParam) {
            DrawButton(Tb->Win[index], hwnd, (const DRAWITEMSTRUCT *)lParam);
            *result = TRUE;
        }
        return 1;
    case KM_MOVEBUTTONS:
        MoveButtons(index, hwnd);
        return 1;
    case KM_SHOWBUTTONS:
        FollowLook(Tb->Win[index].hwnd, hwnd);
        ShowButtons(index, hwnd);
        return 1;
    case WM_ERASEBKGND:
        // A flat group's background is the caption under it.
        if (LookOf(OwnGroupCS(hwnd)) != LOOK_COMPOSITED)
            return 0;
        RECT all;
        GetClientRect(hwnd, &all);
        Fill((HDC)wParam, all.left, all.top, all.right, all.bottom, LOOK_KEY);
        *result = TRUE;
        return 1;
    case WM_SETCURSOR:
        if ((HWND)wParam != hwnd)
            TrackHover(hwnd, (HWND)wParam);
        return 0;
    }
    return 0;
}

// Looks left for each group of this process's frames: a timer fires in the
// thread that set it, so they need not be shared.
static BYTE RestackLooks[WIN_TABLE_SIZE];

// The second looks at the stacking that creation and activation ask for (see
// AddKovButtons): the raise they make up for comes when the window manager
// gets to it, later on a busy machine, so a few looks half a second apart.
void RestackLater(int index, HWND group)
{
    RestackLooks[index] = RESTACK_LOOKS;
    SetTimer(group, RESTACK_TIMER, RESTACK_DELAY_MS, NULL);
}

// Whichever procedure the group has.
static bool OnRestackTimer(int index, HWND group, UINT msg, WPARAM wParam)
{
    if (msg != WM_TIMER || wParam != RESTACK_TIMER)
        return false;
    if (RestackLooks[index] <= 1)
        KillTimer(group, RESTACK_TIMER);
    RestackLooks[index] -= RestackLooks[index] > 0;
    ShowButtons(index, group);
    return true;
}

// A click on the group is a click on its frame's title bar: the frame is
// activated, not the group.
static LRESULT OnMouseActivate(int index, HWND group)
{
    HWND frame = Tb->Win[index].hwnd;
    if (GetForegroundWindow() != frame) {
        SetForegroundWindow(frame);
        // Under Wine the frame is raised above its group as it becomes
        // active: the group goes back on top before the click is done, or
        // the next click would land on the title bar.
        ShowButtons(index, group);
    }
    return MA_NOACTIVATE;
}

LRESULT CALLBACK ButtonsProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int index = GetButtonWindowIndex(hwnd, FALSE);
    if (index < 0)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_MOUSEACTIVATE)
        return OnMouseActivate(index, hwnd);
    LRESULT result = 0;
    if (OnRestackTimer(index, hwnd, msg, wParam) || OnHoverTimer(hwnd, msg, wParam) ||
        ProcessButtonsProcMsg(index, hwnd, msg, wParam, lParam, &result))
        return result;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SubclassButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const OwnFrame *own = OwnGroupCS(hwnd);
    WNDPROC old = own ? own->OldButtonsProc : NULL;
    int index = GetButtonWindowIndex(hwnd, TRUE);
    if (index < 0)
        return IsValidProcCS(old) ? CallWindowProcA(old, hwnd, msg, wParam, lParam)
                                  : DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    if (OnRestackTimer(index, Tb->Win[index].hwndButtons, msg, wParam) ||
        OnHoverTimer(Tb->Win[index].hwndButtons, msg, wParam) ||
        ProcessButtonsProcMsg(index, Tb->Win[index].hwndButtons, msg, wParam, lParam, &result))
        return result;
    if (IsValidProcCS(old))
        return CallWindowProcA(old, hwnd, msg, wParam, lParam);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
