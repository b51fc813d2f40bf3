// Minimize-all: every ordinary top-level window of the desktop goes to the
// taskbar in one step, and the windows it took are remembered in the shared
// St->UnMinAll so that any process can bring exactly those back.
#include "share.h"
#include "sysapi.h"
#include "../common/handles.h"

int SetAnimation(int enable)
{
    ANIMATIONINFO info = {sizeof(info), 0};
    SystemParametersInfoA(SPI_GETANIMATION, sizeof(info), &info, 0);
    int previous = info.iMinAnimate;
    if ((previous != 0) != (enable != 0)) {
        ANIMATIONINFO change = {sizeof(change), enable};
        SystemParametersInfoA(SPI_SETANIMATION, sizeof(change), &change, 0);
    }
    return previous;
}

static bool Qualifies(HWND hwnd)
{
    HWND parent = GetParent(hwnd);
    if (parent && !IsWindowEnabled(parent))
        return false;   // behind a modal dialog, or the dialog of a blocked owner
    if (IsIconic(hwnd) || !IsWindowEnabled(hwnd))
        return false;
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    if ((style & WS_CAPTION) != WS_CAPTION || !(style & WS_VISIBLE) || IsCloaked(hwnd))
        return false;
    return !(GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
}

// Once the record is full, further windows are left as they are: undo then
// still brings back everything that minimize-all took away. The count is
// read once and the entry written where it was checked: any program may
// write the record, and a second minimize-all may run at once.
BOOL CALLBACK MinimizeWindow(HWND hwnd, LPARAM)
{
    int32_t count = *(volatile int32_t *)&St->UnMinAll.Count;
    if (!Qualifies(hwnd) || count >= UNMINALL_MAX || count < 0)
        return TRUE;
    // Recorded before it goes: an undo as soon as the window is seen minimized brings it back.
    St->UnMinAll.Hwnd[count] = HandleTo32(hwnd);
    St->UnMinAll.Count = count + 1;
    ShowWindow(hwnd, SW_MINIMIZE);
    return TRUE;
}

void MinimizeAllWindows(HWND)
{
    int animation = SetAnimation(0);
    St->UnMinAll.Count = 0;
    St->IgnoreSnapWindow = 1;
    EnumWindows(MinimizeWindow, 0);
    St->IgnoreSnapWindow = 0;
    SetAnimation(animation);
}
