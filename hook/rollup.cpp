// Roll-up: shrinks a frame to its title bar, keeping its width and place,
// and gives it its height back. The state lives in the frame's record, so
// any process can roll any window and tell whether it is rolled up.
#include "share.h"

#include <stdlib.h>

// How far the system may move a rolled window's height on its own, after the
// resize has returned (a window of its own on an X display ends a pixel
// taller): such a window is still rolled up. A user who drags it taller
// moves it further than this.
#define ROLLED_SLACK 3

BOOL IsRolledUp(HWND hwnd)
{
    int index = GetWindowIndex(hwnd);
    return index >= 0 && Tb->Win[index].cyUnrolled != 0;
}

static int RolledUpHeight(const WinRecord &rec)
{
    return Tb->sysmenuHeight + 2 * rec.yTop;
}

int Rollup(HWND hwnd, BOOL noActivate)
{
    int index = GetWindowIndex(hwnd);
    if (index < 0)
        return 0;
    WinRecord &rec = Tb->Win[index];
    RECT rc;
    GetWindowRect(hwnd, &rc);
    int height = rc.bottom - rc.top, width = rc.right - rc.left;
    int rolledHeight = RolledUpHeight(rec);
    int newHeight, result;
    // A rolled window the user has enlarged since counts as unrolled: it is
    // rolled up again and its new height is the one to restore.
    bool rolled = rec.cyUnrolled && abs(height - rec.cyRolled) <= ROLLED_SLACK;
    if (!rolled && height > rolledHeight && height > Tb->cySysMin) {
        rec.cyUnrolled = (SHORT)height;
        rec.cxRolled = (SHORT)width;
        newHeight = rolledHeight;
        St->hwndTrapRollup = hwnd;
        result = 1;
    } else {
        // A window never rolled up has no width recorded: it keeps its own.
        if (!rec.cyUnrolled && !rec.cxRolled)
            rec.cxRolled = (SHORT)width;
        newHeight = rec.cyUnrolled ? rec.cyUnrolled : width * 10 / 16;
        rec.cyRolled = rec.cyUnrolled = 0;
        rec.RolledByAll = FALSE;
        result = 0;
    }
    SetWindowPos(hwnd, NULL, 0, 0, rec.cxRolled, newHeight,
                 SWP_NOMOVE | SWP_NOZORDER | (noActivate ? SWP_NOACTIVATE : 0));
    if (result) {
        GetWindowRect(hwnd, &rc);
        rec.cyRolled = (SHORT)(rc.bottom - rc.top);
    }
    return result;
}

void RollupTable(HWND source, BOOL rolledUp)
{
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        HWND hwnd = Tb->Win[i].hwnd;
        if (!hwnd)
            continue;
        if (hwnd == source) {
            if (rolledUp)
                Tb->Win[i].RolledByAll = TRUE;
            continue;
        }
        if (!IsWindowVisible(hwnd) || IsIconic(hwnd))
            continue;
        if (IsOldShell() && hwnd == St->hwndShutdownManager)
            continue;
        bool rolled = Tb->Win[i].cyUnrolled != 0;
        if (rolledUp && !rolled) {
            Tb->Win[i].RolledByAll = TRUE;
            Rollup(hwnd, TRUE);
        } else if (!rolledUp && rolled && Tb->Win[i].RolledByAll) {
            Rollup(hwnd, TRUE);
        }
    }
}

// The other architecture's frames are in its own table: its controller rolls
// them, told through its window.
void DoRollupAll(HWND source, BOOL rolledUp)
{
    if (!(GetAsyncKeyState(VK_SHIFT) & 0x8000))
        return;
    RollupTable(source, rolledUp);
    HWND other = Sh->Controller[!KOV_ARCH_SLOT];
    if (other) {
        RegisterKovMessages();
        PostMessageA(other, RollupAllMsg, rolledUp, HandleTo32(source));
    }
}
