// A Windows-95-style shell: at the bottom of the screen a taskbar with a Start button and a Start menu,
// opened in the taskbar's thread, and a shut-down dialog that only records its answer. Put at the bottom of
// the z-order, it is the last taskbar Kov meets, the one it takes. (shell --class NAME SUBMENU...)
#include <windows.h>

#include "probe.h"

static int Rec[R_COUNT];
static HMENU Start, Subs[8];
static WNDPROC Saved;   // what another module's subclass found

static INT_PTR CALLBACK ShutDownProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    static LONG_PTR own, hops;
    static char title[64];   // the taskbar's
    if (msg == WM_INITDIALOG && GetWindowTextA(GetWindow(dialog, GW_OWNER), title, sizeof(title)))
        SetWindowTextA(dialog, title), own = GetWindowLongPtrA(dialog, GWLP_WNDPROC), hops = 0;
    // Three hops through the queue: by then what Kov posted to offer the dialog
    // buttons, and what that posted in turn, is handled. Then the user cancels.
    if (msg == WM_INITDIALOG || (msg == WM_APP && ++hops < 3))
        PostMessageA(dialog, WM_APP, 0, 0);
    else if (msg == WM_APP && PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0))
        Rec[R_TAKEN] = GetWindowLongPtrA(dialog, GWLP_WNDPROC) != own;   // kept: with buttons
    if (msg == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL))
        Rec[R_ITEM] = IsDlgButtonChecked(dialog, 0x3800), Rec[R_ANSWER] = (int)wParam, EndDialog(dialog, 0);
    return msg == WM_INITDIALOG;
}

static LRESULT CALLBACK OtherProc(HWND h, UINT m, WPARAM w, LPARAM l) { return CallWindowProcA(Saved, h, m, w, l); }

// The user's keys, waiting for the menu: Escape, Shut Down chosen, or highlighted and left.
static void Keys(HWND hwnd, WPARAM user)
{
    if (user != S_MENU)
        PostMessageA(hwnd, WM_KEYDOWN, VK_UP, 0);
    PostMessageA(hwnd, WM_KEYDOWN, user == S_SHUTDOWN || user == S_CHOOSE ? VK_RETURN : VK_ESCAPE, 0);
}

static LRESULT CALLBACK TaskbarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    static const UINT query = RegisterWindowMessageA(PROBE_QUERY_MSG);
    if (msg == query && wParam == S_SUBCLASS) {
        Saved = (WNDPROC)(lParam ? SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)OtherProc)
                                 : SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)Saved));
        return 0;
    }
    if (msg == query && wParam >= S_MENU) {
        RECT bar;
        GetWindowRect(hwnd, &bar);
        UINT chosen = Rec[R_ANSWER] = 0;
        if (wParam != S_DIALOG) {
            Keys(hwnd, wParam);
            chosen = TrackPopupMenu(Start, TPM_RETURNCMD | TPM_BOTTOMALIGN, bar.left, bar.top, 0, hwnd, NULL);
        }
        if (wParam == S_DIALOG || wParam == S_ESCAPE || (wParam != S_CHOOSE && chosen == 506))
            DialogBoxParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(1), hwnd, ShutDownProc, 0);
    }
    if (msg == query) {   // bit j of R_SUBMENUS: the j-th submenu is in the Start menu
        Rec[R_SUBMENUS] = Rec[R_LIVE] = 0;
        for (int j = 0; Subs[j]; j++) {
            Rec[R_LIVE] |= IsMenu(Subs[j]) ? 1 << j : 0;
            for (int i = 0; i < GetMenuItemCount(Start); i++)
                Rec[R_SUBMENUS] |= GetSubMenu(Start, i) == Subs[j] ? 1 << j : 0;
        }
        Rec[R_OWN] = GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == (LONG_PTR)TaskbarProc;
        return Rec[wParam == S_MENU ? +R_OPENINGS : wParam > S_MENU ? +R_ANSWER : wParam % R_COUNT];
    }
    Rec[R_OPENINGS] += msg == WM_INITMENU;
    if (msg == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int main(int argc, char **argv)
{
    Start = CreatePopupMenu();
    for (int j = 3; j < argc && j < 10; j++)
        AppendMenuA(Start, MF_POPUP, (UINT_PTR)(Subs[j - 3] = CreatePopupMenu()), argv[j]);
    AppendMenuA(Start, MF_STRING, 401, "&Run..."), AppendMenuA(Start, MF_STRING, 506, "Sh&ut Down...");
    WNDCLASSA wc = {0, TaskbarProc, 0, 0, GetModuleHandleA(NULL), 0, 0, 0, 0, argv[2]};
    RegisterClassA(&wc);
    DWORD style = WS_POPUP | (argv[2][0] == 'P' ? WS_CAPTION : 0);   // Progman: offered buttons
    // Just above Wine's own taskbar where it shows: overlapping it, ours would not stay below.
    RECT wine = {0, GetSystemMetrics(SM_CYSCREEN)};
    if (HWND other = FindWindowA("Shell_TrayWnd", NULL); other && IsWindowVisible(other))
        GetWindowRect(other, &wine);
    int width = GetSystemMetrics(SM_CXSCREEN), height = 40;
    HWND bar = CreateWindowExA(0, argv[2], "", style, 0, wine.top - height, width, height, 0, 0, wc.hInstance, 0);
    CreateWindowExA(0, "BUTTON", "Start", WS_CHILD | WS_VISIBLE, 2, 2, 60, 20, bar, 0, 0, 0);
    SetWindowPos(bar, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    for (MSG msg; GetMessageA(&msg, NULL, 0, 0) > 0;)
        DispatchMessageA(&msg);
}
