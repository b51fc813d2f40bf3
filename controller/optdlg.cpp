// The options dialog.
#include "kovw.h"
#include "resource.h"

extern "C" INT_PTR CALLBACK OptionsDlgBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam) == IDOK);
        return TRUE;
    }
    return FALSE;
}
