// Sets the scene for a screenshot of Kov at work: rolls up Notepad's window
// and opens Kov's task-list menu over the other window on the desktop, as
// Kov's own buttons would. Used by scripts/run.sh with KOV_DEMO=1.
#include <windows.h>
#include <stdio.h>

#define KM_ACTION        0x6F09
#define ACTION_TASKLIST  0x700E
#define ACTION_ROLLUP    0x7046
#define SOURCE_BUTTON    1

static HWND WaitForWindow(const char *cls)
{
    for (int i = 0; i < 200; i++) {
        HWND hwnd = FindWindowA(cls, NULL);
        if (hwnd && IsWindowVisible(hwnd))
            return hwnd;
        Sleep(50);
    }
    return NULL;
}

int main()
{
    HWND notepad = WaitForWindow("Notepad");
    HWND other = WaitForWindow("WineMine");
    if (!notepad || !other) {
        fprintf(stderr, "kovdemo: the windows are not there\n");
        return 1;
    }
    PostMessageA(notepad, KM_ACTION, ACTION_ROLLUP, SOURCE_BUTTON);
    SetWindowPos(other, HWND_TOP, 380, 120, 0, 0, SWP_NOSIZE);
    Sleep(1000);
    SetCursorPos(560, 260);
    PostMessageA(other, KM_ACTION, ACTION_TASKLIST, SOURCE_BUTTON);
    return 0;
}
