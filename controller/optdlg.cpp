// The options dialog: the one place where the user edits the options record
// and the exception list. It works on copies; OK validates, writes back
// whichever record changed into the shared section (every process sees it at
// once) and saves that record's file.
#include "kovw.h"
#include "resource.h"
#include "strings.h"
#include "../common/actions.h"
#include "../common/strutil.h"

#include <commdlg.h>

#define ACTION_OFFERED      0x02     // the row is offered as a mouse action
#define TITLE_READ_SIZE     41
#define TITLE_SIZE          128
#define XCEPT_TEXT_SIZE     1000
#define XCEPT_LINE_CHARS    21
#define FIND_FILE_SIZE      128

struct ActionRow {
    int code;
    unsigned flags;
    int glyph;
    const char *shortName;
    const char *caption;
};

// The actions the mouse buttons can be given, in the order the lists show.
static const ActionRow Action[] = {
    {ACTION_NONE, 0xF07, 0, "No", "<No action>"},
    {ACTION_CLOSE, 0xF07, 0x7001, "Cl", "Close window"},
    {ACTION_TASKLIST, 0xF07, 0x700E, "Ta", "Kov task list"},
    {ACTION_STARTMENU, 0xF07, 0x7003, "St", "Task list / Start menu"},
    {ACTION_ROLLUP, 0xF07, 0x7046, "Ro", "Rollup window"},
    {ACTION_SCROLLPAGE, 0xF02, 0, "Sc", "Scroll (line & page)"},
    {ACTION_MAXRESTORE, 0xF06, 0x7008, "Mx", "Maximize/Restore"},
    {ACTION_MINIMIZE, 0xF06, 0x7009, "Mn", "Minimize"},
};
static const int ActionCount = sizeof(Action) / sizeof(Action[0]);

// The dialog's working copies: not on the stack, refilled at each opening.
static OptionsRecord WorkOptions;
static ExceptionList WorkXcept;

struct FlagBox {
    int id;
    uint32_t bit;
};

static const FlagBox FlagBoxes[] = {
    {IDC_SNAPSTARTMENU, FLAG_SNAPSTARTMENU},   {IDC_REMOVEDOCUMENTS, FLAG_REMOVEDOCUMENTS},
    {IDC_SNAPFOCUS, FLAG_SNAPFOCUSWINDOW},     {IDC_SNAPBUTTONSONLY, FLAG_SNAPBUTTONWINDOWSONLY},
    {IDC_SNAPNEWONLY, FLAG_SNAPNEWWINDOWSONLY}, {IDC_SCROLLWITHKEYS, FLAG_SCROLLWITHKEYS},
};

static void Check(HWND dialog, int id, bool on)
{
    CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED);
}

static bool Checked(HWND dialog, int id)
{
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

static void EnableSnapOptions(HWND dialog)
{
    bool on = Checked(dialog, IDC_SNAPFOCUS);
    EnableWindow(GetDlgItem(dialog, IDC_SNAPBUTTONSONLY), on);
    EnableWindow(GetDlgItem(dialog, IDC_SNAPNEWONLY), on);
}

static void FillActionLists(HWND dialog)
{
    HWND middle = GetDlgItem(dialog, IDC_MIDDLEACTION);
    HWND ctrlRight = GetDlgItem(dialog, IDC_CTRLRIGHTACTION);
    for (const ActionRow &row : Action) {
        if (!(row.flags & ACTION_OFFERED))
            continue;
        int item = (int)SendMessageA(middle, CB_ADDSTRING, 0, (LPARAM)row.caption);
        SendMessageA(ctrlRight, CB_ADDSTRING, 0, (LPARAM)row.caption);
        if ((uint32_t)row.code == WorkOptions.MouseAction[SLOT_MIDDLE].ActionId)
            SendMessageA(middle, CB_SETCURSEL, item, 0);
        if ((uint32_t)row.code == WorkOptions.MouseAction[SLOT_CTRL_RIGHT].ActionId)
            SendMessageA(ctrlRight, CB_SETCURSEL, item, 0);
    }
}

static void FillExceptions(HWND dialog)
{
    char text[XCEPT_TEXT_SIZE] = "";
    int count = WorkXcept.Count < XCEPT_MAX_NAMES ? WorkXcept.Count : XCEPT_MAX_NAMES;
    for (int i = 0; i < count; i++) {
        char name[XCEPT_NAME_SIZE];
        CopyString(name, sizeof(name), WorkXcept.Name[i]);
        AppendString(text, sizeof(text), name);
        AppendString(text, sizeof(text), "\r\n");
    }
    SetDlgItemTextA(dialog, IDC_XCEPTLIST, text);
}

// "Kov Options   (1024x768, 18:1)": the screen, the caption-button height
// and the border height.
static void ExtendTitle(HWND dialog)
{
    char title[TITLE_READ_SIZE] = "";
    GetWindowTextA(dialog, title, sizeof(title));
    char extended[TITLE_SIZE];
    FormatString(extended, sizeof(extended), "%s   (%dx%d, %d:%d)", title,
                 GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 GetSystemMetrics(SM_CYSIZE), GetSystemMetrics(SM_CYBORDER));
    SetWindowTextA(dialog, extended);
}

static void OnInitDialog(HWND dialog)
{
    RememberOpenDialog(IDD_OPTIONS, dialog);
    WorkOptions = *Opt;
    WorkXcept = *Xcept;
    if (WorkOptions.StartMode == 0)
        Check(dialog, IDC_STARTSHOWN, true);
    else if (WorkOptions.StartMode == 1)
        Check(dialog, IDC_STARTMINIMIZED, true);
    Check(dialog, IDC_APPEARINTASKLIST, WorkOptions.AppearInTaskList != 0);
    Check(dialog, IDC_SUSPENDONLOAD, WorkOptions.SuspendOnLoad != 0);
    Check(dialog, IDC_BYPASSSHUTDOWN, WorkOptions.BypassShutdownConfirm != 0);
    SendDlgItemMessageA(dialog, IDC_USERCMD, EM_LIMITTEXT, USER_COMMAND_SIZE - 1, 0);
    char command[USER_COMMAND_SIZE];
    CopyString(command, sizeof(command), UserCommandOf(&WorkOptions));
    SetDlgItemTextA(dialog, IDC_USERCMD, command);
    SetDlgItemInt(dialog, IDC_EDGEOFFSET, WorkOptions.EdgeOffsetRight, TRUE);
    Check(dialog, IDC_LEFTSIDE, PlacementOf(&WorkOptions) == PLACEMENT_LEFT);
    EnableWindow(GetDlgItem(dialog, IDC_LEFTSIDE), FALSE);
    FillActionLists(dialog);
    for (const FlagBox &box : FlagBoxes)
        Check(dialog, box.id, (WorkOptions.Flags & box.bit) != 0);
    EnableSnapOptions(dialog);
    SetDlgItemInt(dialog, IDC_SENSITIVITY, WorkOptions.ScrollSensitivity, TRUE);
    SetDlgItemInt(dialog, IDC_SCROLLPAGES, WorkOptions.ScrollPages, TRUE);
    FillExceptions(dialog);
    ExtendTitle(dialog);
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The first blank- or tab-separated word of text, into word.
static void FirstWord(const char *text, char *word, int size)
{
    while (IsBlank(*text))
        text++;
    int n = 0;
    while (text[n] && !IsBlank(text[n]) && n < size - 1) {
        word[n] = text[n];
        n++;
    }
    word[n] = 0;
}

static void FindUserCommand(HWND dialog)
{
    char current[USER_COMMAND_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_USERCMD, current, sizeof(current));
    char file[FIND_FILE_SIZE];
    FirstWord(current, file, sizeof(file));
    OPENFILENAMEA ofn = {};
    // The record of Windows 4: Windows 95 and NT 4 refuse the longer one of
    // later headers, and later systems take this one too.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = "Programs (*.exe,*.com,*.pif,*.bat)\0*.exe;*.com;*.pif;*.bat\0"
                      "All files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof(file);
    ofn.lpstrTitle = "Select User Command";
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NODEREFERENCELINKS;
    if (GetOpenFileNameA(&ofn))
        SetDlgItemTextA(dialog, IDC_USERCMD, file);
}

static bool IsExistingFile(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

static void Warn(const char *text)
{
    StringMessageBox(NULL, text, SID_MBTBAR_WARNING, MB_OK | MB_ICONERROR);
}

static void ReadSlot(HWND dialog, int listId, ActionSlot &slot)
{
    int item = (int)SendDlgItemMessageA(dialog, listId, CB_GETCURSEL, 0, 0);
    int row = -1;
    for (int i = 0, shown = 0; i < ActionCount; i++) {
        if (!(Action[i].flags & ACTION_OFFERED))
            continue;
        if (shown++ == item)
            row = i;
    }
    if (row < 0)
        return;
    slot.ActionId = Action[row].code;
    slot.ActionFlags = Action[row].flags & ACTIONFLAGS_MASK;
}

static void ReadNumber(HWND dialog, int id, int32_t *field)
{
    BOOL valid = FALSE;
    int value = (int)GetDlgItemInt(dialog, id, &valid, TRUE);
    if (valid)
        *field = value;
}

// One name per line: at most 21 characters of a line are read, leading
// blanks dropped, the first 20 of the rest kept as typed; blank lines vanish.
static void ReadExceptions(HWND dialog)
{
    ZeroMemory(&WorkXcept, sizeof(WorkXcept));
    HWND edit = GetDlgItem(dialog, IDC_XCEPTLIST);
    int lines = (int)SendMessageA(edit, EM_GETLINECOUNT, 0, 0);
    for (int i = 0; i < lines && WorkXcept.Count < XCEPT_MAX_NAMES; i++) {
        char line[XCEPT_LINE_CHARS + 1];
        *(WORD *)line = XCEPT_LINE_CHARS;
        int length = (int)SendMessageA(edit, EM_GETLINE, i, (LPARAM)line);
        if (length < 0 || length > XCEPT_LINE_CHARS)
            length = 0;
        line[length] = 0;
        const char *name = line;
        while (*name == ' ' || *name == '\t')
            name++;
        if (*name)
            CopyString(WorkXcept.Name[WorkXcept.Count++], XCEPT_NAME_CHARS + 1, name);
    }
}

static void OnOk(HWND dialog)
{
    WorkOptions.StartMode = Checked(dialog, IDC_STARTMINIMIZED) ? 1 : 0;
    WorkOptions.AppearInTaskList = Checked(dialog, IDC_APPEARINTASKLIST);
    WorkOptions.SuspendOnLoad = Checked(dialog, IDC_SUSPENDONLOAD);
    if (WorkOptions.SuspendOnLoad && !WorkOptions.AppearInTaskList && WorkOptions.StartMode == 1) {
        Warn(SID_MB_ACCESS);
        return;
    }
    PlacementOf(&WorkOptions) = Checked(dialog, IDC_LEFTSIDE) ? PLACEMENT_LEFT : PLACEMENT_RIGHT;

    char command[USER_COMMAND_SIZE] = "";
    GetDlgItemTextA(dialog, IDC_USERCMD, command, sizeof(command));
    char program[USER_COMMAND_SIZE];
    FirstWord(command, program, sizeof(program));
    if (program[0] && !IsExistingFile(program)) {
        Warn(SID_MB_CMDNOTFOUND);
        return;
    }
    CopyString(UserCommandOf(&WorkOptions), USER_COMMAND_SIZE, command);

    // Past the screen's width the buttons would sit off every window.
    BOOL valid = FALSE;
    int offset = (int)GetDlgItemInt(dialog, IDC_EDGEOFFSET, &valid, TRUE);
    if (!valid || offset < 0 || offset > MaxEdgeOffset()) {
        char text[SMB_TEXT_SIZE];
        FormatString(text, sizeof(text), SID_MB_EDGEOFFSET, (int)MaxEdgeOffset());
        Warn(text);
        return;
    }
    WorkOptions.EdgeOffsetLeft = WorkOptions.EdgeOffsetRight = offset;
    ReadSlot(dialog, IDC_MIDDLEACTION, WorkOptions.MouseAction[SLOT_MIDDLE]);
    ReadSlot(dialog, IDC_CTRLRIGHTACTION, WorkOptions.MouseAction[SLOT_CTRL_RIGHT]);
    WorkOptions.BypassShutdownConfirm = Checked(dialog, IDC_BYPASSSHUTDOWN);
    for (const FlagBox &box : FlagBoxes) {
        if (Checked(dialog, box.id))
            WorkOptions.Flags |= box.bit;
        else
            WorkOptions.Flags &= ~box.bit;
    }
    ReadNumber(dialog, IDC_SENSITIVITY, &WorkOptions.ScrollSensitivity);
    ReadNumber(dialog, IDC_SCROLLPAGES, &WorkOptions.ScrollPages);
    if (memcmp(&WorkOptions, Opt, sizeof(WorkOptions)) != 0) {
        *Opt = WorkOptions;
        SaveOptions();
    }

    ReadExceptions(dialog);
    if (memcmp(&WorkXcept, Xcept, sizeof(WorkXcept)) != 0) {
        *Xcept = WorkXcept;
        SaveXceptions();
    }
    EndDialog(dialog, 1);
}

static void OnCommand(HWND dialog, int id, int notification)
{
    switch (id) {
    case IDC_SNAPFOCUS:
        if (notification == BN_CLICKED)
            EnableSnapOptions(dialog);
        break;
    case IDC_XCEPTLIST:
        // Tabbing in selects everything; the list is for editing, not replacing.
        if (notification == EN_SETFOCUS) {
            PostMessageA(GetDlgItem(dialog, IDC_XCEPTLIST), EM_SETSEL, (WPARAM)-1, 0);
            PostMessageA(GetDlgItem(dialog, IDC_XCEPTLIST), EM_SETSEL, 0, 0);
        }
        break;
    case IDC_FIND:
        FindUserCommand(dialog);
        break;
    case IDC_HELPBUTTON:
        DisplayHelpFile(dialog);
        break;
    case IDOK:
        OnOk(dialog);
        break;
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    }
}

extern "C" INT_PTR CALLBACK OptionsDlgBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    }
    return FALSE;
}
