// The task-list popup menu.
#include "share.h"

BOOL CALLBACK AddTaskListProc(HWND, LPARAM)
{
    return TRUE;
}

void KovTaskList(HWND)
{
}

int WINAPI ActivateWindowCS(HWND hwnd)
{
    SetForegroundWindow(hwnd);
    return 0;
}
