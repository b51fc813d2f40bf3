// The frame subclass: places the button group on a frame's title bar and
// makes it follow the frame; carries the frame's half of the roll-up.
// SubclassProc sees every message of every subclassed frame, so it does a
// lookup and a compare; everything else is posted to the group window.
#include "share.h"
#include "../common/actions.h"
#include "caption.h"
#include "look.h"

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
    DestroyButtons(Tb->Win[index].hwndButtons);
    FreeWindowIndex(hwnd, FALSE);
    UnregisterClassA(szKovButtons, (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
    if (mutex)
        ReleaseMutexCS(mutex);
}

static void RemeasureGroup(HWND hwnd, int index);
static void ShowButtonsLater(int index);

static void OnAddButtons(HWND hwnd, int index)
{
    char className[FRAME_CLASS_SIZE];
    if (GetClassNameA(hwnd, className, sizeof(className)) && strcmp(className, "tty") == 0) {
        // A console window gets its size only after it is created.
        RECT client;
        GetClientRect(hwnd, &client);
        if (!client.left && !client.top && !client.right && !client.bottom) {
            Tb->Win[index].AddPending = TRUE;
            return;
        }
    }
    if (Tb->Win[index].hwndButtons) {
        // A minimized frame's rectangle is its icon's: nothing to measure.
        if (!IsIconic(hwnd))
            RemeasureGroup(hwnd, index);
        ShowButtonsLater(index);   // a frame shown again after it was cloaked
    } else if (AddKovButtons(hwnd, index) < 0)
        FreeWindowIndex(hwnd, FALSE);
}

static void OnPositionChanged(HWND hwnd, int index, LPARAM lParam)
{
    if (Tb->Win[index].AddPending) {
        Tb->Win[index].AddPending = FALSE;
        PostMessageA(hwnd, KM_ADDBUTTONS, (WPARAM)hwnd, 0);
    }
    if (lParam && Tb->Win[index].hwndButtons)
        PostMessageA(Tb->Win[index].hwndButtons, KM_MOVEBUTTONS, (WPARAM)hwnd, 0);
}

// The roll-up's half of the hand-over: the application may keep the frame
// taller than its title bar through its minimum tracking size; for the
// resize of a roll-up, the system's proposal is put back.
static LRESULT OnGetMinMaxInfo(HWND hwnd, WNDPROC old, BOOL unicode, WPARAM wParam, LPARAM lParam)
{
    MINMAXINFO *info = (MINMAXINFO *)lParam;
    LONG minTrackHeight = info->ptMinTrackSize.y;
    LRESULT result = CallWindowProcCS(old, unicode, hwnd, WM_GETMINMAXINFO, wParam, lParam);
    if (hwnd == St->hwndTrapRollup) {
        info->ptMinTrackSize.y = minTrackHeight;
        St->hwndTrapRollup = 0;
        St->hwndTrapWMsize = hwnd;
    }
    return result;
}

static void ShowButtonsLater(int index)
{
    if (Tb->Win[index].hwndButtons)
        PostMessageA(Tb->Win[index].hwndButtons, KM_SHOWBUTTONS, 0, 0);
}

// Measured in the frame's own thread, after what changed it is done.
static void MeasureLater(HWND hwnd, int index)
{
    if (Tb->Win[index].ButtonsCreated)
        PostMessageA(hwnd, KM_ADDBUTTONS, (WPARAM)hwnd, 0);
}

// The classic place does not change with the size; a reported one may, and
// a frame without a group may name its boxes once it has its size.
static void OnSize(HWND hwnd, int index)
{
    const WinRecord &rec = Tb->Win[index];
    ShowButtonsLater(index);
    if (rec.Source != CAPTION_CLASSIC || !rec.hwndButtons)
        MeasureLater(hwnd, index);
}

// Some programs answer for their caption only once their frame was active;
// and the caption is painted anew, which the group must lie over.
static void OnNcActivate(HWND hwnd, OwnFrame *own, int index, WPARAM active)
{
    own->CaptionActive = active != 0;   // the group's look follows it
    ShowButtonsLater(index);
    if (active && !Tb->Win[index].NcActivated && Tb->Win[index].ButtonsCreated) {
        Tb->Win[index].NcActivated = TRUE;
        MeasureLater(hwnd, index);
    }
}

// A frame whose shared record is gone (another program may have wiped it)
// still reaches its own procedure, and lets go of ours at the release.
static LRESULT Unrecorded(HWND hwnd, OwnFrame *own, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC old = own->OldWndProc;
    BOOL unicode = own->IsUnicode;
    RegisterKovMessages();
    if (msg == WM_NCDESTROY || msg == DestroyAllBtnsMsg) {
        DropOwnGroup(hwnd, own);
        UnchainFrame(hwnd);
        if (msg == WM_NCDESTROY)
            ZeroMemory(own, sizeof(*own));   // a Passing record must not meet the handle's next window
        if (msg == DestroyAllBtnsMsg)
            return 0;
    }
    return CallWindowProcCS(old, unicode, hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    OwnFrame *own = OwnFrameCS(hwnd);
    if (!own)
        return PassThroughCS(hwnd, msg, wParam, lParam);
    WNDPROC old = own->OldWndProc;
    BOOL unicode = own->IsUnicode;
    // Any program may have moved the shared record since: the place is checked.
    int index = own->Index;
    if ((unsigned)index >= WIN_TABLE_SIZE || Tb->Win[index].hwnd != hwnd)
        index = own->Index = GetWindowIndex(hwnd);
    if (index < 0)
        return Unrecorded(hwnd, own, msg, wParam, lParam);

    LRESULT keyed;
    if (IsKeyedInput(msg) && KeyedGroupInput(own, msg, wParam, lParam, &keyed))
        return keyed;
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
        if (hwnd == St->hwndTrapWMsize) {
            St->hwndTrapWMsize = 0;
            return 0;
        }
        OnSize(hwnd, index);
        break;
    case WM_NCACTIVATE:
        OnNcActivate(hwnd, own, index, wParam);
        break;
    case WM_SETTINGCHANGE:   // the colour set, light or dark
    case WM_SYSCOLORCHANGE:
        ShowButtonsLater(index);
        break;
    case KOV_WM_DPICHANGED:
        Tb->Win[index].Dpi = LOWORD(wParam);
        MeasureLater(hwnd, index);
        break;
    case WM_STYLECHANGED:
    case KOV_WM_THEMECHANGED:
    case KOV_WM_DWMCOMPOSITIONCHANGED:
        MeasureLater(hwnd, index);
        break;
    case WM_SHOWWINDOW:
        ShowButtonsLater(index);
        break;
    case WM_ACTIVATE:
        // Under Wine an activated frame may be raised once more afterwards,
        // without a word to its window procedure: more looks put the group
        // back on top of it. One of them that saw the frame still in front
        // may have put the group over a window activated just then: the
        // look that deactivation asks for comes after it.
        if (LOWORD(wParam) == WA_INACTIVE)
            ShowButtonsLater(index);
        else if (Tb->Win[index].hwndButtons)
            RestackLater(index, Tb->Win[index].hwndButtons);
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
            ReleaseFrame(Tb->Win[index].hwnd, index);
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
    UINT dpi;   // 0: the metrics kovw captured
    bool dialogFrame;
    bool tool;
    bool isKov;
    const char *programName;
};

static SHORT MetricAt(const FrameFacts &frame, int index, SHORT captured)
{
    return (SHORT)MetricForDpi(index, frame.dpi, captured);
}

// A captioned frame that is neither sizable nor a dialog frame has the fixed
// frame (as wide as a dialog's): two borders would put the group one pixel
// over the first box.
static void MeasureBorder(WinRecord &rec, const FrameFacts &frame)
{
    if (frame.dialogFrame) {
        rec.xLeft = (SHORT)(2 * MetricAt(frame, SM_CXBORDER, Tb->cxSysBorder) +
                            MetricAt(frame, SM_CXDLGFRAME, Tb->cxSysDlgFrame));
        rec.yTop = MetricAt(frame, SM_CYDLGFRAME, Tb->cySysDlgFrame);
    } else if (frame.style & WS_THICKFRAME) {
        rec.xLeft = MetricAt(frame, SM_CXFRAME, Tb->cxSysFrame);
        rec.yTop = MetricAt(frame, SM_CYFRAME, Tb->cySysFrame);
    } else {
        rec.xLeft = MetricAt(frame, SM_CXDLGFRAME, Tb->cxSysDlgFrame);
        rec.yTop = MetricAt(frame, SM_CYDLGFRAME, Tb->cySysDlgFrame);
    }
}

static void MeasureButtonSize(WinRecord &rec, const FrameFacts &frame)
{
    rec.cxButton = frame.tool ? MetricAt(frame, SM_CXSMSIZE, Tb->cxSmallTbarBtnSize)
                              : MetricAt(frame, SM_CXSIZE, Tb->cxSysTbarBtnSize);
    rec.cyButton = frame.tool ? MetricAt(frame, SM_CYSMSIZE, Tb->cySmallTbarBtnSize)
                              : MetricAt(frame, SM_CYSIZE, Tb->cySysTbarBtnSize);
}

// Space the frame's own boxes take at the right end of the caption, as the
// classic frame has them.
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
    if (!IsOldShell())
        rec.xRight += rec.cxButton;   // the close box
}

// A program that draws its own title bar lays its client area over it.
static bool ClientCovers(HWND hwnd, int row)
{
    RECT client;
    GetClientRect(hwnd, &client);
    POINT top = {client.left, client.top};
    ClientToScreen(hwnd, &top);
    return top.y <= row;
}

// Takes the place of the boxes the frame reports over the classic one;
// false when the frame draws its own caption and names nothing in it: where
// its own controls are is unknown, and the group would lie over them.
static bool FollowCaption(HWND hwnd, WinRecord &rec, const FrameFacts &frame)
{
    int row = frame.rect.top + rec.yTop + rec.cyButton / 2;
    int reach = 2 * (rec.cxButton + rec.xLeft) + MulDiv(16, frame.dpi ? frame.dpi : KOV_DPI_CLASSIC,
                                                       KOV_DPI_CLASSIC);
    // The old shell's frames are all classic ones.
    CaptionReport report = {CAPTION_CLASSIC, {}};
    bool iconic = IsIconic(hwnd) != FALSE;
    if (!IsOldShell() && !iconic)
        report = MeasureCaption(hwnd, frame.rect, row, reach, rec.cxButton / 2);
    const RECT &box = report.box;
    if (report.source == CAPTION_HITTEST &&
        IsClassicPlace(box, frame.rect.right - rec.xRight, rec.cxButton, rec.cyButton))
        report.source = CAPTION_CLASSIC;
    rec.Source = (BYTE)report.source;
    if (report.source == CAPTION_CLASSIC)
        return iconic || !ClientCovers(hwnd, row);
    // As high as the frame's boxes, as wide as a classic button that high.
    SHORT height = (SHORT)(box.bottom - box.top);
    rec.cxButton = (SHORT)MulDiv(height, rec.cxButton, rec.cyButton);
    rec.cyButton = height;
    rec.yTop = (SHORT)(box.top - frame.rect.top);
    rec.xRight = (SHORT)(frame.rect.right - box.left);
    return true;
}

// An offset that any program could have written: never past the frame's
// own monitor.
static SHORT EdgeOffset(int32_t offset, HWND hwnd)
{
    RECT monitor, work;
    MonitorAreas(hwnd, &monitor, &work);
    int widest = monitor.right - monitor.left;
    return (SHORT)(offset < 0 ? 0 : offset > widest ? widest : offset);
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
        x = (SHORT)(frame.rect.right - rec.xRight);
    } else {
        x = (SHORT)(frame.rect.left + rec.xLeft);
    }
    SHORT y = (SHORT)(frame.rect.top + rec.yTop);
    RECT group = {x, y, x + width, y + rec.cyButton};
    return group;
}

// Everything about the group's place that the frame decides: the record's
// geometry; false when the frame gets no group.
static bool MeasureFrame(HWND hwnd, WinRecord &rec, FrameFacts &frame)
{
    frame.style = GetWindowLongA(hwnd, GWL_STYLE);
    frame.exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
    frame.instance = (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE);
    GetWindowRect(hwnd, &frame.rect);
    if (!rec.Dpi)
        rec.Dpi = (WORD)WindowDpi(hwnd);
    frame.dpi = rec.Dpi;
    char program[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, program, sizeof(program));
    program[n < sizeof(program) ? n : sizeof(program) - 1] = 0;
    frame.programName = getBaseNameCS(program, (int)strlen(program));
    frame.dialogFrame = (frame.style & DS_MODALFRAME) || (frame.exStyle & WS_EX_DLGMODALFRAME);
    frame.tool = (frame.exStyle & WS_EX_TOOLWINDOW) != 0;
    frame.isKov = hwnd == Sh->hwndKov;

    MeasureBorder(rec, frame);
    MeasureButtonSize(rec, frame);
    MeasureRightSpace(rec, frame);
    if (!FollowCaption(hwnd, rec, frame))
        return false;
    if (PlacementOf(&Sh->Op) == PLACEMENT_RIGHT)
        rec.xRight += EdgeOffset(Sh->Op.EdgeOffsetRight, hwnd);
    else
        rec.xLeft += EdgeOffset(Sh->Op.EdgeOffsetLeft, hwnd);
    if (frame.style & WS_SYSMENU) {
        rec.xLeft += MetricAt(frame, SM_CXSIZE, Tb->sysmenuWidth);
        if ((frame.style & WS_THICKFRAME) || frame.dialogFrame)
            rec.xLeft += MetricAt(frame, SM_CYBORDER, Tb->cySysBorder);
    }
    rec.nButtons = CountButtons(frame);
    return true;
}

static HWND CreateGroupWindow(HWND hwnd, const FrameFacts &frame, const RECT &group)
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
            OwnFrame *own = OwnFrameCS(hwnd);
            if (!own)
                return DestroyWindow(fallback), (HWND)NULL;
            own->group = fallback;
            own->OldButtonsProc = (WNDPROC)SetWindowLongPtrA(fallback, GWLP_WNDPROC,
                                                             (LONG_PTR)SubclassButtonProc);
            return fallback;
        }
    }
    HWND made = CreateWindowExA(0, szKovButtons, NULL, WS_POPUP | WS_CLIPCHILDREN, group.left,
                                group.top, width, height, hwnd, NULL, frame.instance, NULL);
    OwnFrame *own = OwnFrameCS(hwnd);
    if (made && own) {
        own->group = made;
        own->CaptionActive = GetForegroundWindow() == hwnd;
    }
    return made;
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
    WinRecord &rec = Tb->Win[index];
    if (!IsOnlyCaption(GetWindowLongA(hwnd, GWL_STYLE)))
        return -1;
    rec.ButtonsCreated = TRUE;
    // The shut-down dialog never gets buttons; confirming it may clear the
    // state that recognises it, so that comes first.
    if (BypassShutdown(hwnd) || IsShutdownDialog(hwnd))
        return -1;

    char className[BUTTON_CLASS_SIZE] = "";
    GetClassNameA(hwnd, className, sizeof(className));
    rec.IsConsole = strcmp(className, "tty") == 0;
    rec.IsChild = (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD) != 0;
    if (rec.IsChild)
        return -1;
    FrameFacts frame = {};
    if (!MeasureFrame(hwnd, rec, frame))
        return 1;   // kept: measured again when the frame may have changed
    RECT group = PlaceGroup(rec, frame);

    if (!rec.hwndButtons)
        rec.hwndButtons = CreateGroupWindow(hwnd, frame, group);
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

// The frame's caption may have changed (its size, style, theme or DPI, or
// it answers only now that it was active): the group takes the new place
// and size, with the buttons it has.
static void RemeasureGroup(HWND hwnd, int index)
{
    WinRecord &rec = Tb->Win[index];
    HWND group = rec.hwndButtons;
    const WinRecord before = rec;
    SHORT oldCx = rec.cxButton > 0 ? rec.cxButton : 1;
    FrameFacts frame = {};
    if (!MeasureFrame(hwnd, rec, frame)) {
        DestroyButtons(group);
        return;
    }
    rec.nButtons = before.nButtons;
    RECT place = PlaceGroup(rec, frame);
    // Most frames say the same again (every classic one at its first
    // activation): the group stays as it is, its stacking untouched.
    if (rec.xLeft == before.xLeft && rec.xRight == before.xRight && rec.yTop == before.yTop &&
        rec.cxButton == before.cxButton && rec.cyButton == before.cyButton)
        return;
    for (HWND b = GetWindow(group, GW_CHILD); b; b = GetWindow(b, GW_HWNDNEXT)) {
        RECT r;
        GetWindowRect(b, &r);
        MapWindowPoints(NULL, group, (POINT *)&r, 2);
        SetWindowPos(b, NULL, r.left / oldCx * rec.cxButton, 0, rec.cxButton, rec.cyButton,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SetWindowPos(group, NULL, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    PostMessageA(group, KM_MOVEBUTTONS, (WPARAM)hwnd, 0);
}

int DestroyButtons(HWND hwndButtons)
{
    int index = GetButtonWindowIndex(hwndButtons, FALSE);
    if (index < 0)
        return 0;
    if (OwnFrame *own = OwnGroupCS(hwndButtons))
        ForgetOwnGroup(own);
    int result = DestroyWindow(hwndButtons);
    Tb->Win[index].hwndButtons = 0;
    return result;
}
