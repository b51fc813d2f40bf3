// The task-list menu: a popup with one entry per switchable window, each
// with a keyboard letter of its own where one can be found, and the entries
// to minimize all windows and to undo that. A pick reaches the owner's queue
// after the menu has closed and is taken there by the get-message hook.
#include "share.h"
#include "sysapi.h"

#include <string.h>

#define MAX_LETTERS        37
#define TITLE_SIZE         256
// One spare leading position, the title, one inserted '&' and the NUL.
#define ENTRY_SIZE         (1 + (TITLE_SIZE - 1) + 1 + 1)
// Both fixed entries always fit behind the windows.
#define MAX_WINDOW_ENTRIES (TASKLIST_MAX_ENTRIES - 2)

int WINAPI ActivateWindowCS(HWND hwnd)
{
    SetForegroundWindow(hwnd);
    return 0;
}

// The window to list for a top-level window, and the window whose title the
// entry shows: for a modal dialog, the application window it blocks.
static void FindTopFrameHwnd(HWND *window, HWND *titleWindow)
{
    HWND desktop = GetDesktopWindow();
    *titleWindow = *window;
    HWND parent = GetParent(*window);
    while (parent && parent != desktop && (GetWindowLongA(parent, GWL_STYLE) & WS_CHILD)) {
        *window = *titleWindow = parent;
        parent = GetParent(parent);
    }
    while (parent && parent != desktop && !IsWindowEnabled(parent)) {
        *titleWindow = parent;
        parent = GetParent(parent);
    }
}

// Characters outside 7-bit ASCII are none of these.
static bool IsAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

static bool IsAsciiAlnum(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

static bool IsAsciiPunct(char c)
{
    return c > ' ' && c < 0x7F && !IsAsciiAlnum(c);
}

static char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

static bool Taken(const TaskListContext *context, char upper)
{
    return memchr(context->Letters, upper, context->LetterCount) != NULL;
}

static void Take(TaskListContext *context, char upper)
{
    if (context->LetterCount < MAX_LETTERS)
        context->Letters[context->LetterCount++] = upper;
}

// In a double-byte code page a lead byte and its trail byte are one
// character, which is neither letter nor digit: the trail byte may look
// like an ASCII letter, and a '&' between the two would split it.
static int CharLength(const char *c)
{
    return Sh->IsDBCS && IsDBCSLeadByte((BYTE)*c) && c[1] ? 2 : 1;
}

// Gives the entry its keyboard letter; returns where the entry's text starts
// (the spare leading position when the '&' went in front of the title).
char *AddMnemonic(char *entry, TaskListContext *context)
{
    char *text = entry + 1;
    char *first = text;
    while (IsAsciiSpace(*first))
        first++;
    if (!*first)
        return text;
    if (!Taken(context, Upper(*first)) && !IsAsciiPunct(*first)) {
        Take(context, Upper(*first));
        if (first > text) {
            first[-1] = '&';
            return text;
        }
        entry[0] = '&';
        return entry;
    }
    for (char *c = first + CharLength(first); *c; c += CharLength(c)) {
        if (CharLength(c) == 1 && IsAsciiAlnum(*c) && !Taken(context, Upper(*c))) {
            Take(context, Upper(*c));
            memmove(c + 1, c, strlen(c) + 1);
            *c = '&';
            break;
        }
    }
    return text;
}

static bool IsKovWindow(HWND hwnd)
{
    return Sh->hwndKov && (hwnd == Sh->hwndKov || GetParent(hwnd) == Sh->hwndKov || IsChild(Sh->hwndKov, hwnd));
}

BOOL CALLBACK AddTaskListProc(HWND hwnd, LPARAM param)
{
    TaskListContext *context = (TaskListContext *)param;
    if (IsKovWindow(hwnd))
        return TRUE;
    HWND titleWindow;
    FindTopFrameHwnd(&hwnd, &titleWindow);
    LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    // A cloaked window is on another virtual desktop, or not there at all.
    if ((style & WS_CAPTION) != WS_CAPTION || !(style & WS_VISIBLE) || IsCloaked(hwnd))
        return TRUE;
    if (!IsWindowEnabled(hwnd))
        return TRUE;
    RECT rc;
    GetWindowRect(hwnd, &rc);
    if (rc.right == rc.left && rc.bottom == rc.top)
        return TRUE;
    if (context->ItemCount >= MAX_WINDOW_ENTRIES)
        return TRUE;
    char entry[ENTRY_SIZE];
    entry[0] = ' ';
    if (GetWindowTextA(titleWindow, entry + 1, TITLE_SIZE) == 0)
        return TRUE;
    char *text = AddMnemonic(entry, context);
    AppendMenuA(hwndKovTaskListMenu, MF_STRING, TASKLIST_FIRST_ID + context->ItemCount, text);
    hwndSwitchHwnd[context->ItemCount++] = hwnd;
    return TRUE;
}

static void AppendFixedEntry(HMENU menu, TaskListContext *context, const char *text, HWND marker)
{
    AppendMenuA(menu, MF_STRING, TASKLIST_FIRST_ID + context->ItemCount, text);
    hwndSwitchHwnd[context->ItemCount++] = marker;
}

void KovTaskList(HWND owner)
{
    HMENU menu = CreatePopupMenu();
    hwndKovTaskListMenu = menu;
    TaskListContext context = {};
    context.Letters[0] = 'M';
    context.Letters[1] = 'U';
    context.LetterCount = 2;
    ZeroMemory(hwndSwitchHwnd, sizeof(hwndSwitchHwnd));
    EnumWindows(AddTaskListProc, (LPARAM)&context);
    if (context.ItemCount == 0) {
        DestroyMenu(menu);
        return;
    }
    AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    AppendFixedEntry(menu, &context, "&Minimize all", TASKLIST_MARK_MINALL);
    if (St->UnMinAll.Count)
        AppendFixedEntry(menu, &context, "&Undo minimize all", TASKLIST_MARK_UNDOMIN);
    POINT cursor;
    GetCursorPos(&cursor);
    UINT pick = TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD,
                               cursor.x, cursor.y, 0, owner, NULL);
    // The pick goes the way a menu's command goes, through the owner's queue
    // to the message hook; the handle says that one is on its way. Without
    // a pick it must not stay set, or other programs' commands with the
    // same numbers would be taken for picks.
    if (pick)
        PostMessageA(owner, WM_COMMAND, pick, 0);
    else
        hwndKovTaskListMenu = 0;
    PostMessageA(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
