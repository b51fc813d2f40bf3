// The About box and the read-me viewer.
#include "kovw.h"
#include "resource.h"
#include "strings.h"
#include "../common/messages.h"
#include "../common/strutil.h"

#include <shellapi.h>

#define VERSION_LINE_SIZE 64

int DisplayHelpFile(HWND owner)
{
    static char editor[MAX_PATH];
    static bool haveEditor;
    if (!haveEditor)
        haveEditor = GetWindowsDirectoryPath(editor, sizeof(editor), "NOTEPAD.EXE") != 0;
    if (haveEditor && GetFileAttributesA(szHelpFile) != INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesA(editor) != INVALID_FILE_ATTRIBUTES) {
        ShellExecuteA(owner, "open", editor, szHelpFile, "", SW_SHOW);
    } else {
        StringMessageBox(NULL, SID_MB_NOHELP, SID_MBTBAR_WARNING,
                         MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
    }
    return 0;
}

INT_PTR CALLBACK AboutDlgBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: {
        RememberOpenDialog(IDD_ABOUT, dialog);
        char line[VERSION_LINE_SIZE];
        FormatString(line, sizeof(line), "Version %s", KOV_VERSION_TEXT);
        AppendString(line, sizeof(line), " " KOV_ARCH_TEXT);
        SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, line);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_HELPBUTTON:
            DisplayHelpFile(dialog);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
