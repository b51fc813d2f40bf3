// The command executor: every window action of the system ends here,
// whether it comes from a title-bar button, a mouse gesture, the
// auto-scroll timer or an entry of the task-list menu.
#include "share.h"
#include "../common/actions.h"
#include "../common/handles.h"
#include "../common/strutil.h"

#include <shellapi.h>

#define RUN_ERROR_SIZE 300

bool IsKnownAction(int action)
{
    switch (action) {
    case ACTION_CLOSE:
    case ACTION_STARTMENU:
    case ACTION_MAXRESTORE:
    case ACTION_MINIMIZE:
    case ACTION_HIDE:
    case ACTION_TASKLIST:
    case ACTION_USERCMD:
    case ACTION_ROLLUP:
    case ACTION_MINALL:
    case ACTION_UNDOMINALL:
    case ACTION_SCROLLPAGE:
    case ACTION_SCROLLPAGES:
    case ACTION_SCROLLLINE:
        return true;
    }
    return false;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

static const char *RunFailureReason(INT_PTR result)
{
    switch (result) {
    case 0:
        return "Out of memory.";
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return "File or path not found.";
    case ERROR_ACCESS_DENIED:
    case SE_ERR_SHARE:
        return "Access denied.";
    case ERROR_BAD_FORMAT:
        return "The file is invalid/corrupted.";
    }
    return "";
}

// Runs the user command: its first blank- or tab-separated word is the
// program, the rest of the line as stored its parameters.
static void RunUserCommand(HWND owner)
{
    char line[USER_COMMAND_SIZE];
    CopyString(line, sizeof(line), UserCommandOf(&Sh->Op));
    char *program = line;
    while (IsBlank(*program))
        program++;
    if (!*program)
        return;
    char *end = program;
    while (*end && !IsBlank(*end))
        end++;
    char *parameters = end;
    while (IsBlank(*parameters))
        parameters++;
    *end = 0;

    INT_PTR result = (INT_PTR)ShellExecuteA(owner, "open", program,
                                            *parameters ? parameters : NULL, NULL, SW_SHOWNORMAL);
    if (result > 32)
        return;
    char text[RUN_ERROR_SIZE];
    FormatString(text, sizeof(text), "Error %d\r\nCannot run %s\r\n", (int)result, program);
    AppendString(text, sizeof(text), RunFailureReason(result));
    MessageBoxA(owner, text, "Kov Error", MB_OK | MB_ICONERROR);
}

// Any program may have written the record: its count and handles are read
// once, and only a window that is still minimized is brought back (a hidden
// window of another program named there stays hidden). The record is taken
// first, so that two undos at once bring nothing back twice.
static void UndoMinimizeAll(void)
{
    volatile UnMinAllRecord &record = St->UnMinAll;
    int32_t count = record.Count;
    record.Count = 0;
    if (count <= 0)
        return;
    if (count > UNMINALL_MAX)
        count = UNMINALL_MAX;
    HWND taken[UNMINALL_MAX];
    int n = 0;
    for (int i = 0; i < count; i++) {
        HWND hwnd = HwndFrom32(record.Hwnd[i]);
        if (IsWindow(hwnd) && IsIconic(hwnd))
            taken[n++] = hwnd;
    }
    int animation = SetAnimation(0);
    St->IgnoreSnapWindow = 1;
    for (int i = 0; i < n; i++)
        ShowWindow(taken[i], SW_SHOWNOACTIVATE);
    St->IgnoreSnapWindow = 0;
    if (n > 0)
        ActivateWindowCS(taken[0]);
    SetAnimation(animation);
}

int ExecuteSystemCommand(HWND hwnd, int index, int action, int source)
{
    if (!IsKnownAction(action))
        return 0;
    HWND target = index >= 0 ? Tb->Win[index].hwnd : hwnd;
    LONG style = GetWindowLongA(target, GWL_STYLE);
    switch (action) {
    case ACTION_CLOSE:
        PostMessageA(target, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case ACTION_STARTMENU:
        if (Sh->Op.Flags & FLAG_SNAPSTARTMENU)
            St->DoSnapStartMenu = 1;
        PostMessageA(target, WM_SYSCOMMAND, SC_TASKLIST, 0);
        break;
    case ACTION_MAXRESTORE:
        if (style & WS_MAXIMIZEBOX)
            PostMessageA(target, WM_SYSCOMMAND, IsZoomed(target) ? SC_RESTORE : SC_MAXIMIZE, 0);
        break;
    case ACTION_MINIMIZE:
        if (style & WS_MINIMIZEBOX)
            PostMessageA(target, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        break;
    case ACTION_HIDE:
        ShowWindow(target, SW_HIDE);
        break;
    case ACTION_TASKLIST:
        KovTaskList(hwnd);
        break;
    case ACTION_USERCMD:
        RunUserCommand(hwnd);
        break;
    case ACTION_ROLLUP: {
        int rolledUp = Rollup(target, FALSE);
        if (source == SOURCE_BUTTON)
            DoRollupAll(target, rolledUp);
        break;
    }
    case ACTION_MINALL:
        MinimizeAllWindows(hwnd);
        break;
    case ACTION_UNDOMINALL:
        UndoMinimizeAll();
        break;
    default:
        ScrollAction(hwnd, action);
        break;
    }
    return 1;
}
