// The taskbar subclass, running in the shell's process and taskbar thread,
// and the recognition of the shell's shut-down dialog.
#include "share.h"

#include <stdlib.h>
#include <string.h>

#define SHUTDOWN_TITLE_SIZE  60
#define SHUTDOWN_CLASS_SIZE  64
#define SHUTDOWN_OPTION_ITEM 0x3800
#define DIALOG_CLASS_NUMBER  32770
#define START_MENU_SHUTDOWN_ID 506   // the entry by which the Start menu is known
#define START_MENU_FEW_SUBMENUS 3    // a menu with no more submenus is never changed
#define SHELL_CLASS_SIZE     20
#define TASKBAR_CLASS        "Shell_TrayW"   // Shell_TrayWnd, compared as far as this
#define MENU_CLASS           "#32768"
#define SHUTDOWN_HIGHLIGHTED 1

// The number of submenus the Start menu had when this process first saw it.
static int StartMenuSubmenus;

// The old shell's Program Manager stands in for the taskbar. Its program is
// known by its file name, which only its own process can read (a module
// handle names nothing in another process), so its own thread claims it.
void ClaimProgramManager(HWND hwnd)
{
    if (!IsOldShell() || St->hwndShutdownManager)
        return;
    char module[MAX_PATH];
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(hwnd, GWLP_HINSTANCE);
    DWORD n = GetModuleFileNameA(instance, module, sizeof(module));
    if (n == 0 || n >= sizeof(module) || !strstr(module, "PROGMAN"))
        return;
    St->hwndShutdownManager = hwnd;
    PostMessageA(hwnd, SysTaskbarInitMsg, 1, 0);
}

// Only a window's own process can replace its procedure, and only the window
// taken for the taskbar is wanted: any other that hears the message is left
// alone. A subclass of ours still in the chain of that window (left behind
// another module's at a release) needs no second one: it acts again.
void SubclassTaskbar(HWND hwnd)
{
    if (hwnd != St->hwndShutdownManager || GetWindowThreadProcessId(hwnd, NULL) != GetCurrentThreadId())
        return;
    // The window of a shell that ended is gone with our subclass: free.
    if (SysTaskbarOldFrameProc && IsWindow(SysTaskbarHwnd)) {
        if (SysTaskbarHwnd == hwnd)
            SysTaskbarActive = 1;
        return;
    }
    PinLibraryCS();
    // Recorded now: a later subclass may change the window's character set.
    SysTaskbarIsUnicode = IsWindowUnicode(hwnd);
    SysTaskbarHwnd = hwnd;
    SysTaskbarOldFrameProc = SetWindowProcCS(hwnd, SysTaskbarSubclassProc, SysTaskbarIsUnicode);
    SysTaskbarActive = 1;
}

void ClaimNewTaskbar(HWND hwnd)
{
    if (IsOldShell() || (St->hwndShutdownManager && IsWindow(St->hwndShutdownManager)))
        return;
    char className[SHELL_CLASS_SIZE];
    if (!GetClassNameA(hwnd, className, sizeof(className)) ||
        strncmp(className, TASKBAR_CLASS, sizeof(TASKBAR_CLASS) - 1) != 0)
        return;
    St->hwndShutdownManager = hwnd;
    RegisterKovMessages();
    PostMessageA(hwnd, SysTaskbarInitMsg, 1, 0);
}

// The taskbar's own procedure goes back only while ours is in front; over a
// later subclass it would cut that one out, so ours stays in the chain and
// from then on only passes messages on.
static void ReleaseTaskbar(HWND hwnd)
{
    SysTaskbarActive = 0;
    WNDPROC old = SysTaskbarOldFrameProc;
    if (!old || GetWindowProcCS(hwnd, SysTaskbarIsUnicode) != SysTaskbarSubclassProc)
        return;
    SetWindowProcCS(hwnd, old, SysTaskbarIsUnicode);
    SysTaskbarOldFrameProc = 0;
    SysTaskbarHwnd = 0;
}

static bool IsStartMenu(HMENU menu)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; i++)
        if (GetMenuItemID(menu, i) == START_MENU_SHUTDOWN_ID)
            return true;
    return false;
}

// Onto the Start button, which sits at the taskbar's left end.
static void SnapToStartButton(HWND taskbar)
{
    RECT r;
    int m = GetSystemMetrics(SM_CYMENU);
    if (GetWindowRect(taskbar, &r))
        SetCursorPos(r.left + m, r.top + m / 2);
    St->DoSnapStartMenu = 0;
}

// Documents is the entry two above the last submenu of the full Start menu.
// A menu that has lost it has one submenu fewer than first seen and is left
// alone, so nothing is ever removed twice. The entry is taken out, not
// destroyed: its submenu is the shell's, which may still hold it.
static void RemoveDocuments(HMENU menu)
{
    int count = GetMenuItemCount(menu), submenus = 0, last = -1;
    for (int i = 0; i < count; i++) {
        if (GetMenuItemID(menu, i) == (UINT)-1) {
            submenus++;
            last = i;
        }
    }
    if (!StartMenuSubmenus)
        StartMenuSubmenus = submenus;
    if (submenus == StartMenuSubmenus && submenus > START_MENU_FEW_SUBMENUS)
        RemoveMenu(menu, last - 2, MF_BYPOSITION);
}

// Heard from the message-filter hook, where a menu loop passes the selection
// through it, and from the subclass, where a loop only sends it to the
// taskbar (as Wine's does). A menu closing keeps the choice.
void NoteMenuSelect(HWND hwnd, WPARAM wParam)
{
    if (hwnd == St->hwndShutdownManager && LOWORD(wParam) == START_MENU_SHUTDOWN_ID)
        St->SysShutdownSelected = SHUTDOWN_HIGHLIGHTED;
    else if (HIWORD(wParam) != 0xFFFF)
        St->SysShutdownSelected = 0;
}

static bool IsMenuWindow(POINT pt)
{
    char className[SHELL_CLASS_SIZE] = "";
    GetClassNameA(WindowFromPoint(pt), className, sizeof(className));
    return strcmp(className, MENU_CLASS) == 0;
}

// A highlighted Shut Down is not chosen when the menu is left without it:
// Escape, the keys that leave a menu bar, or a press outside every menu.
void NoteMenuInput(const MSG *msg)
{
    if (!St->SysShutdownSelected)
        return;
    switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (msg->wParam == VK_ESCAPE || msg->wParam == VK_MENU || msg->wParam == VK_F10)
            St->SysShutdownSelected = 0;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        if (!IsMenuWindow(msg->pt))
            St->SysShutdownSelected = 0;
        break;
    }
}

static void OnInitMenu(HWND hwnd, HMENU menu)
{
    if (!IsStartMenu(menu))
        return;
    if (St->DoSnapStartMenu)
        SnapToStartButton(hwnd);
    if (Sh->Op.Flags & FLAG_REMOVEDOCUMENTS)
        RemoveDocuments(menu);
}

LRESULT CALLBACK SysTaskbarSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    RegisterKovMessages();
    if (msg == SysTaskbarInitMsg) {
        if (wParam == 0)
            ReleaseTaskbar(hwnd);
        return 0;
    }
    if (SysTaskbarActive) {
        if (msg == WM_INITMENU)
            OnInitMenu(hwnd, (HMENU)wParam);
        else if (msg == WM_MENUSELECT && !Sh->Suspend)
            NoteMenuSelect(hwnd, wParam);
    }
    return CallWindowProcCS(SysTaskbarOldFrameProc, SysTaskbarIsUnicode, hwnd, msg, wParam,
                            lParam);
}

static bool StartsWith(const char *text, const char *prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

// Only the shell's own dialogs: a dialog-class window of the process of the
// taskbar (or of the old shell's Program Manager).
static bool IsShellDialog(HWND hwnd, const char *className)
{
    DWORD shell = 0, owner = 0;
    if (!St->hwndShutdownManager || !GetWindowThreadProcessId(St->hwndShutdownManager, &shell))
        return false;
    GetWindowThreadProcessId(hwnd, &owner);
    return owner == shell && className[0] == '#' && atoi(className + 1) == DIALOG_CLASS_NUMBER;
}

// The shut-down dialog: the shell's topmost dialog that follows the choice
// of Shut Down, or a dialog of the shell known by its title. The choice
// holds for the next window offered buttons only.
BOOL IsShutdownDialog(HWND hwnd)
{
    char title[SHUTDOWN_TITLE_SIZE] = "", className[SHUTDOWN_CLASS_SIZE] = "";
    GetWindowTextA(hwnd, title, sizeof(title));
    GetClassNameA(hwnd, className, sizeof(className));
    bool shell = IsShellDialog(hwnd, className);
    bool chosen = St->SysShutdownSelected && shell &&
                  (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    St->SysShutdownSelected = 0;
    return chosen || (shell && (StartsWith(title, "Shut Down Windows") ||
                                (IsOldShell() && StartsWith(title, "Exit Win"))));
}

BOOL BypassShutdown(HWND hwnd)
{
    bool userHolds = (GetAsyncKeyState(VK_SHIFT) & 0x8000) || (GetAsyncKeyState(VK_CONTROL) & 0x8000);
    if (!Sh->Op.BypassShutdownConfirm || userHolds) {
        St->SysShutdownSelected = 0;
        return FALSE;
    }
    if (!IsShutdownDialog(hwnd))
        return FALSE;
    CheckDlgButton(hwnd, SHUTDOWN_OPTION_ITEM, BST_CHECKED);
    PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    return TRUE;
}
