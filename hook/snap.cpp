// Mouse snapping onto windows that get the focus: onto their default push
// button, else a plain one, else their middle. Runs in the thread of the
// window that got the focus.
#include "share.h"

#include <string.h>

#define BUTTON_CLASS_SIZE 20   // 19 characters are compared at most

// Push buttons whose style's low word carries nothing but the kind: a
// button with any other bit there (multi-line text, a bitmap, owner drawing)
// is no button the pointer is meant for, and neither is one that cannot be
// seen or pressed.
static BOOL CALLBACK MouseSnapNewWindowProc(HWND child, LPARAM param)
{
    HWND *found = (HWND *)param;
    char className[BUTTON_CLASS_SIZE] = "";
    GetClassNameA(child, className, sizeof(className));
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (_strnicmp(className, "Button", 6) != 0 || !(style & WS_CHILD) || !(style & WS_VISIBLE) ||
        !IsWindowEnabled(child))
        return TRUE;
    if (LOWORD(style) == BS_DEFPUSHBUTTON) {
        *found = child;
        return FALSE;
    }
    if (LOWORD(style) == BS_PUSHBUTTON && !*found)
        *found = child;
    return TRUE;
}

static bool Contains(const RECT &rc, POINT pt)
{
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y <= rc.bottom;
}

// Focus on the taskbar or the desktop pulls the pointer neither to them nor
// to a button of theirs, such as the taskbar's Start button.
static bool IsShellWindow(HWND hwnd)
{
    return hwnd == St->hwndShutdownManager || hwnd == GetDesktopWindow();
}

void CheckMouseSnap(HWND frame)
{
    DWORD flags = Sh->Op.Flags;
    if (!(flags & FLAG_SNAPFOCUSWINDOW))
        return;
    bool isNew = frame == St->hwndSnapNewWindow;
    if (isNew)
        St->hwndSnapNewWindow = 0;
    else if ((flags & FLAG_SNAPNEWWINDOWSONLY) || !IsWindowVisible(frame))
        return;

    HWND target = 0;
    EnumChildWindows(frame, MouseSnapNewWindowProc, (LPARAM)&target);
    RECT frameRect = {};
    GetWindowRect(frame, &frameRect);
    if (!target && (flags & FLAG_SNAPBUTTONWINDOWSONLY))
        return;
    if (!target)
        target = frame;
    RECT rc = {};
    GetWindowRect(target, &rc);

    if (!isNew) {
        // Not pulled back to the same place twice in a row.
        if (target == St->hwndOldSnapWindow)
            return;
        St->hwndOldSnapWindow = target;
        POINT pt = {};
        GetCursorPos(&pt);
        if (IsShellWindow(frame) || IsShellWindow(target) || Contains(frameRect, pt))
            return;
    }
    SetCursorPos(rc.left + (rc.right - rc.left) / 2, rc.top + (rc.bottom - rc.top) / 2);
    St->hwndOldSnapWindow = target;
}
