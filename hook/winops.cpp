// Minimize-all and the animation switch around it.
#include "share.h"

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

BOOL CALLBACK MinimizeWindow(HWND, LPARAM)
{
    return TRUE;
}

void MinimizeAllWindows(HWND)
{
}
