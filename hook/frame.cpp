// The frame subclass: places the button group on a frame's title bar and
// makes it follow the frame; carries the frame's half of the roll-up.
// SubclassProc sees every message of every subclassed frame, so it does a
// lookup and a compare; everything else is posted to the group window.
#include "share.h"
#include "../common/actions.h"

#include <string.h>

#define FRAME_CLASS_SIZE     65
#define BUTTON_CLASS_SIZE    33
#define TASKMAN_PREFIX       "TASKMAN"

static bool IsOnlyCaption(LONG style)
{
    return (style & WS_CAPTION) == WS_CAPTION;
}

// Removes a frame's buttons and gives the frame its own procedure back;
// the frame's own thread does this when the frame goes or on release.
static void ReleaseFrame(HWND hwnd, int index)
{
    HANDLE mutex;
    GetMutexCS(&mutex, MUTEX_DESTROYBTNS, DESTROYBTNS_TIMEOUT);   // carries on without it
    if (IsRolledUp(hwnd))
        Rollup(hwnd, TRUE);
    DestroyButtons(Win[index].hwndButtons);
    FreeWindowIndex(hwnd, FALSE);
    UnregisterClassA(szKovButtons, (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    if (mutex)
        ReleaseMutexCS(mutex);
}

static void OnAddButtons(HWND hwnd, int index)
{
    char className[FRAME_CLASS_SIZE];
    if (GetClassNameA(hwnd, className, sizeof(className)) && strcmp(className, "tty") == 0) {
        // A console window gets its size only after it is created.
        RECT client;
        GetClientRect(hwnd, &client);
        if (!client.left && !client.top && !client.right && !client.bottom) {
            Win[index].AddPending = TRUE;
            return;
        }
    }
    if (AddKovButtons(hwnd, index) != 0)
        FreeWindowIndex(hwnd, FALSE);
}

static void OnPositionChanged(HWND hwnd, int index, LPARAM lParam)
{
    if (Win[index].AddPending) {
        Win[index].AddPending = FALSE;
        PostMessageA(hwnd, KM_ADDBUTTONS, (WPARAM)hwnd, 0);
    }
    if (lParam && Win[index].hwndButtons)
        PostMessageA(Win[index].hwndButtons, KM_MOVEBUTTONS, (WPARAM)hwnd, 0);
}

// The roll-up's half of the hand-over: the application may keep the frame
// taller than its title bar through its minimum tracking size; for the
// resize of a roll-up, the system's proposal is put back.
static LRESULT OnGetMinMaxInfo(HWND hwnd, WNDPROC old, BOOL unicode, WPARAM wParam, LPARAM lParam)
{
    MINMAXINFO *info = (MINMAXINFO *)lParam;
    LONG minTrackHeight = info->ptMinTrackSize.y;
    LRESULT result = CallWindowProcCS(old, unicode, hwnd, WM_GETMINMAXINFO, wParam, lParam);
    if (hwnd == Sh->hwndTrapRollup) {
        info->ptMinTrackSize.y = minTrackHeight;
        Sh->hwndTrapRollup = 0;
        Sh->hwndTrapWMsize = hwnd;
    }
    return result;
}

static void ShowButtonsLater(int index)
{
    if (Win[index].hwndButtons)
        PostMessageA(Win[index].hwndButtons, KM_SHOWBUTTONS, 0, 0);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    int index = FindWindowIndexCS(hwnd);
    if (index < 0)
        return PassThroughCS(hwnd, msg, wParam, lParam);
    WNDPROC old = Win[index].OldWndProc;
    BOOL unicode = Win[index].IsUnicode;

    switch (msg) {
    case WM_DESTROY:
        ReleaseFrame(hwnd, index);
        break;
    case KM_ADDBUTTONS:
        OnAddButtons(hwnd, index);
        return 0;
    case WM_WINDOWPOSCHANGED:
        OnPositionChanged(hwnd, index, lParam);
        break;
    case WM_SIZE:
        if (hwnd == Sh->hwndTrapWMsize) {
            Sh->hwndTrapWMsize = 0;
            return 0;
        }
        ShowButtonsLater(index);
        break;
    case WM_SHOWWINDOW:
        ShowButtonsLater(index);
        break;
    case WM_ACTIVATE:
        // Under Wine an activated frame may be raised once more afterwards,
        // without a word to its window procedure: a second look puts the
        // group back on top of it.
        if (LOWORD(wParam) != WA_INACTIVE && Win[index].hwndButtons)
            RestackLater(index, Win[index].hwndButtons);
        break;
    case WM_GETMINMAXINFO:
        if (lParam)
            return OnGetMinMaxInfo(hwnd, old, unicode, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if (wParam == SC_CLOSE && IsRolledUp(hwnd))
            Rollup(hwnd, TRUE);
        break;
    case WM_INITMENUPOPUP:
        // The library's own task-list menu is none of the application's business.
        if (hwndKovTaskListMenu && (HMENU)wParam == hwndKovTaskListMenu)
            return 0;
        break;
    default:
        RegisterKovMessages();
        if (msg == DestroyAllBtnsMsg) {
            ReleaseFrame(Win[index].hwnd, index);
            return 0;
        }
        break;
    }
    return CallWindowProcCS(old, unicode, hwnd, msg, wParam, lParam);
}

// --- Placing the group ---

struct FrameFacts {
    LONG style;
    LONG exStyle;
    HINSTANCE instance;
    RECT rect;
    bool dialogFrame;
    bool isKov;
    const char *programName;
};

static void MeasureBorder(WinRecord &rec, const FrameFacts &frame)
{
    if (frame.dialogFrame) {
        rec.xLeft = (SHORT)(2 * cxSysBorder + cxSysDlgFrame);
        rec.yTop = cySysDlgFrame;
    } else if (frame.style & WS_THICKFRAME) {
        rec.xLeft = cxSysFrame;
        rec.yTop = cySysFrame;
    } else {
        rec.xLeft = (SHORT)(2 * cxSysBorder);
        rec.yTop = (SHORT)GetSystemMetrics(SM_CYDLGFRAME);
    }
}

// Space the frame's own boxes take at the right end of the caption.
static void MeasureRightSpace(WinRecord &rec, const FrameFacts &frame)
{
    rec.xRight = rec.xLeft;
    if (frame.style & WS_MINIMIZEBOX) {
        rec.xRight += rec.cxButton;
        if (!(frame.style & WS_MAXIMIZEBOX))
            rec.xRight += rec.cxButton;
    }
    if (frame.style & WS_MAXIMIZEBOX)
        rec.xRight += rec.cxButton;
    if (frame.exStyle & WS_EX_CONTEXTHELP)
        rec.xRight += rec.cxButton;
}

static bool IsTaskManager(const char *programName)
{
    return strncmp(programName, TASKMAN_PREFIX, sizeof(TASKMAN_PREFIX) - 1) == 0;
}

static SHORT CountButtons(const FrameFacts &frame)
{
    SHORT count = IsTaskManager(frame.programName) ? 3 : 4;
    if (frame.isKov)
        count++;
    if (UserCommandOf(&Sh->Op)[0])
        count++;
    if (!IsOldShell())
        count--;   // the frame has its own close box
    return count;
}

// The group's rectangle in screen coordinates; all record fields are 16-bit
// and wrap like the rest of the title-bar arithmetic.
static RECT PlaceGroup(WinRecord &rec, const FrameFacts &frame)
{
    SHORT width = (SHORT)(rec.nButtons * rec.cxButton);
    SHORT x;
    if (PlacementOf(&Sh->Op) == PLACEMENT_RIGHT) {
        rec.xRight += width;
        if (!IsOldShell())
            rec.xRight += rec.cxButton;
        x = (SHORT)(frame.rect.right - rec.xRight);
    } else {
        x = (SHORT)(frame.rect.left + rec.xLeft);
    }
    SHORT y = (SHORT)(frame.rect.top + rec.yTop);
    RECT group = {x, y, x + width, y + rec.cyButton};
    return group;
}

static HWND CreateGroupWindow(HWND hwnd, int index, const FrameFacts &frame, const RECT &group)
{
    int width = group.right - group.left, height = group.bottom - group.top;
    WNDCLASSA known;
    if (!GetClassInfoA(frame.instance, szKovButtons, &known)) {
        WNDCLASSA wc = {};
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = ButtonsProc;
        wc.hInstance = frame.instance;
        wc.hbrBackground = (HBRUSH)(COLOR_ACTIVECAPTION + 1);
        wc.lpszClassName = szKovButtons;
        if (!RegisterClassA(&wc)) {
            // No class of our own: a system button window serves as the group.
            HWND fallback = CreateWindowExA(WS_EX_TOOLWINDOW, "button", NULL,
                                            WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, group.left,
                                            group.top, width, height, hwnd, NULL, frame.instance,
                                            NULL);
            if (!fallback)
                return NULL;
            Win[index].OldButtonsProc = (WNDPROC)SetWindowLongPtrA(
                fallback, GWLP_WNDPROC, (LONG_PTR)SubclassButtonProc);
            return fallback;
        }
    }
    return CreateWindowExA(0, szKovButtons, NULL, WS_POPUP | WS_CLIPCHILDREN, group.left,
                           group.top, width, height, hwnd, NULL, frame.instance, NULL);
}

static void CreateButtons(HWND group, const WinRecord &rec, const FrameFacts &frame)
{
    struct Candidate {
        int action;
        bool wanted;
        bool limited;   // only while the running position is below nButtons
    };
    const Candidate candidates[] = {
        {ACTION_ROLLUP, true, false},
        {ACTION_STARTMENU, !IsTaskManager(frame.programName), true},
        {ACTION_TASKLIST, true, true},
        {ACTION_USERCMD, UserCommandOf(&Sh->Op)[0] != 0, false},
        {ACTION_CLOSE, IsOldShell(), true},
        {ACTION_HIDE, frame.isKov, false},
    };
    int position = 0;
    for (const Candidate &c : candidates) {
        if (!c.wanted || (c.limited && position >= rec.nButtons))
            continue;
        CreateWindowExA(0, "button", NULL, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | BS_OWNERDRAW,
                        position * rec.cxButton, 0, rec.cxButton, rec.cyButton, group,
                        (HMENU)(INT_PTR)c.action, frame.instance, NULL);
        position++;
    }
}

int AddKovButtons(HWND hwnd, int index)
{
    if (!hwnd)
        return -1;
    HWND focus = GetFocus();
    WinRecord &rec = Win[index];
    FrameFacts frame = {};
    frame.style = GetWindowLongA(hwnd, GWL_STYLE);
    if (!IsOnlyCaption(frame.style))
        return -1;
    rec.ButtonsCreated = TRUE;
    // The shut-down dialog never gets buttons; confirming it may clear the
    // state that recognises it, so that comes first.
    if (BypassShutdown(hwnd) || IsShutdownDialog(hwnd))
        return -1;

    frame.exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    char className[BUTTON_CLASS_SIZE] = "";
    GetClassNameA(hwnd, className, sizeof(className));
    frame.instance = (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE);
    GetWindowRect(hwnd, &frame.rect);
    rec.IsConsole = strcmp(className, "tty") == 0;
    rec.IsChild = (frame.style & WS_CHILD) != 0;
    if (rec.IsChild)
        return -1;

    char program[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, program, sizeof(program));
    program[n < sizeof(program) ? n : sizeof(program) - 1] = 0;
    frame.programName = getBaseNameCS(program, (int)strlen(program));
    frame.dialogFrame = (frame.style & DS_MODALFRAME) || (frame.exStyle & WS_EX_DLGMODALFRAME);
    frame.isKov = hwnd == Sh->hwndKov;

    MeasureBorder(rec, frame);
    bool tool = (frame.exStyle & WS_EX_TOOLWINDOW) != 0;
    rec.cxButton = tool ? cxSmallTbarBtnSize : cxSysTbarBtnSize;
    rec.cyButton = tool ? cySmallTbarBtnSize : cySysTbarBtnSize;
    MeasureRightSpace(rec, frame);
    if (PlacementOf(&Sh->Op) == PLACEMENT_RIGHT)
        rec.xRight += (SHORT)Sh->Op.EdgeOffsetRight;
    else
        rec.xLeft += (SHORT)Sh->Op.EdgeOffsetLeft;
    if (frame.style & WS_SYSMENU) {
        rec.xLeft += sysmenuWidth;
        if ((frame.style & WS_THICKFRAME) || frame.dialogFrame)
            rec.xLeft += cySysBorder;
    }
    rec.nButtons = CountButtons(frame);
    RECT group = PlaceGroup(rec, frame);

    if (!rec.hwndButtons)
        rec.hwndButtons = CreateGroupWindow(hwnd, index, frame, group);
    if (!rec.hwndButtons)
        return -1;
    CreateButtons(rec.hwndButtons, rec, frame);
    PostMessageA(rec.hwndButtons, KM_SHOWBUTTONS, 0, 0);
    // A program that raises its window once more while starting up, in a
    // way its window procedure never hears of (seen under Wine), would cover
    // the new group; a second look a moment later puts the group back on top.
    RestackLater(index, rec.hwndButtons);
    if (focus && GetFocus() != focus)
        SetFocus(focus);
    return 0;
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
