// Minimize-all and its undo.
#include "share.h"

BOOL CALLBACK MinimizeWindow(HWND, LPARAM)
{
    return TRUE;
}
