// The subclass chain of the frames: where a mistake costs another program its
// life, so every step keeps these invariants.
//
// - The procedures are this process's own (OwnFrame, never the shared
//   table): any program the library enters can write shared memory, and a
//   procedure read from there would be its code run in ours.
// - A record's OldWndProc is the procedure that was in front of the frame
//   before SubclassProc, read in the frame's character set of that moment
//   (IsUnicode): never SubclassProc itself, so the chain never reaches round
//   to us again.
// - Messages reach OldWndProc, and DefWindowProc when there is none, in that
//   recorded character set, whatever a later subclass did to the window's.
// - A frame gets OldWndProc back only while SubclassProc is in front. When
//   another module subclassed it after us, SubclassProc stays where it is as
//   a pass-through: the OwnFrame is kept, marked Passing, and SubclassProc
//   forwards to it for a frame without a record. The next offer of such a
//   frame takes it up again instead of putting a second SubclassProc in
//   front. (Never a window property: any program can set one, and what it
//   set would be called here.) A Passing record goes with its window.
// - The library is pinned in every process where SubclassProc is in a chain.
#include "share.h"

BOOL IsValidProcCS(WNDPROC proc)
{
    if (!proc)
        return FALSE;
    // A procedure read in the other character set comes back as a handle in
    // the 0xFFFFxxxx range: valid for CallWindowProc, not unmapped code.
    if (((ULONG_PTR)proc >> 16) == 0xFFFF)
        return TRUE;
    return !IsBadCodePtr((FARPROC)proc);
}

// Windows 4 has no way to pin a module: a reference of our own, taken by the
// library's own file name and never given back, does the same. Built into a
// program (unit tests) there is no library to hold.
void PinLibraryCS(void)
{
    static bool pinned;
    char path[MAX_PATH];
    DWORD n = hInstKovDll ? GetModuleFileNameA(hInstKovDll, path, sizeof(path)) : 0;
    if (!pinned && n > 0 && n < sizeof(path))
        LoadLibraryA(path);
    pinned = true;
}

WNDPROC GetWindowProcCS(HWND hwnd, BOOL unicode)
{
    return (WNDPROC)(unicode ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC)
                             : GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

WNDPROC SetWindowProcCS(HWND hwnd, WNDPROC proc, BOOL unicode)
{
    return (WNDPROC)(unicode ? SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)proc)
                             : SetWindowLongPtrA(hwnd, GWLP_WNDPROC, (LONG_PTR)proc));
}

LRESULT DefWindowProcCS(BOOL unicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return unicode ? DefWindowProcW(hwnd, msg, wParam, lParam)
                   : DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CallWindowProcCS(WNDPROC proc, BOOL unicode, HWND hwnd, UINT msg, WPARAM wParam,
                         LPARAM lParam)
{
    if (!IsValidProcCS(proc))
        return DefWindowProcCS(unicode, hwnd, msg, wParam, lParam);
    // A plain address is a procedure of the character set it was read in, so
    // it is called directly: this runs for every message of every frame.
    if (((ULONG_PTR)proc >> 16) != 0xFFFF)
        return proc(hwnd, msg, wParam, lParam);
    return unicode ? CallWindowProcW(proc, hwnd, msg, wParam, lParam)
                   : CallWindowProcA(proc, hwnd, msg, wParam, lParam);
}

static OwnFrame Own[WIN_TABLE_SIZE];
static int LastOwn;   // a frame's messages come in runs

OwnFrame *OwnFrameCS(HWND frame)
{
    if (!frame)
        return NULL;
    if (Own[LastOwn].hwnd == frame)
        return &Own[LastOwn];
    for (int i = 0; i < WIN_TABLE_SIZE; i++)
        if (Own[i].hwnd == frame)
            return &Own[LastOwn = i];
    return NULL;
}

OwnFrame *OwnGroupCS(HWND group)
{
    for (int i = 0; group && i < WIN_TABLE_SIZE; i++)
        if (Own[i].hwnd && Own[i].group == group)
            return &Own[i];
    return NULL;
}

void ForgetOwnGroup(OwnFrame *own)
{
    if (own->group && IsValidProcCS(own->OldButtonsProc))
        SetWindowLongPtrA(own->group, GWLP_WNDPROC, (LONG_PTR)own->OldButtonsProc);
    own->group = NULL, own->OldButtonsProc = NULL;
    own->LookState = 0, own->Hot = NULL;
}

void DropOwnGroup(HWND frame, OwnFrame *own)
{
    HWND group = own ? own->group : NULL;
    if (!group || !IsWindow(group) || GetWindow(group, GW_OWNER) != frame)
        return;
    ForgetOwnGroup(own);
    DestroyWindow(group);
}

// Only the window's own thread chains or unchains it, so the table needs no lock
// beyond the one AllocWindowIndex holds.
BOOL ChainFrame(HWND hwnd)
{
    OwnFrame *own = OwnFrameCS(hwnd);
    for (int i = 0; !own && i < WIN_TABLE_SIZE; i++)
        if (!Own[i].hwnd || !IsWindow(Own[i].hwnd))
            own = &Own[i];
    if (!own)
        return FALSE;
    PinLibraryCS();
    if (own->hwnd == hwnd && own->Passing) {
        own->Passing = FALSE;   // still behind another module's procedure, which calls us
        return TRUE;
    }
    if (own->hwnd == hwnd && GetWindowProcCS(hwnd, own->IsUnicode) == SubclassProc) {
        DropOwnGroup(hwnd, own);   // a group whose record was lost; a new one comes
        return TRUE;   // still in front, with what it had found
    }
    ZeroMemory(own, sizeof(*own));
    own->hwnd = hwnd;
    own->IsUnicode = IsWindowUnicode(hwnd);
    // In front already without a record (a release that could not put the
    // frame's procedure back): the procedure behind it is lost.
    if (GetWindowProcCS(hwnd, own->IsUnicode) != SubclassProc)
        own->OldWndProc = SetWindowProcCS(hwnd, SubclassProc, own->IsUnicode);
    return TRUE;
}

BOOL UnchainFrame(HWND hwnd)
{
    if (!IsOwnWindow(hwnd))
        return FALSE;   // no process may change another's window procedure
    OwnFrame *own = OwnFrameCS(hwnd);
    if (!own)
        return TRUE;
    // Without a procedure to go back to, SubclassProc passes messages on by default.
    if (!IsValidProcCS(own->OldWndProc)) {
    } else if (GetWindowProcCS(hwnd, own->IsUnicode) == SubclassProc) {
        SetWindowProcCS(hwnd, own->OldWndProc, own->IsUnicode);
    } else {
        // Behind a later subclass, which calls us still: keep passing on.
        ForgetOwnGroup(own);
        own->Passing = TRUE;
        return TRUE;
    }
    ZeroMemory(own, sizeof(*own));
    return TRUE;
}

// Only a frame this process has no record of: its procedure is not known.
LRESULT PassThroughCS(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcCS(IsWindowUnicode(hwnd), hwnd, msg, wParam, lParam);
}
