// Mouse snapping onto windows that get the focus.
#include "share.h"

void CheckMouseSnap(HWND)
{
}
