// The subclass chain of the frames: where a mistake costs another program its
// life, so every step keeps these invariants.
//
// - A record's OldWndProc is the procedure that was in front of the frame
//   before SubclassProc, read in the frame's character set of that moment
//   (IsUnicode): never SubclassProc itself, so the chain never reaches round
//   to us again.
// - Messages reach OldWndProc, and DefWindowProc when there is none, in that
//   recorded character set, whatever a later subclass did to the window's.
// - A frame gets OldWndProc back only while SubclassProc is in front. When
//   another module subclassed it after us, SubclassProc stays where it is as
//   a pass-through: the saved procedure and character set go to two window
//   properties, and SubclassProc forwards to them for a frame without a
//   record. The next offer of such a frame takes the saved procedure back
//   into a record instead of putting a second SubclassProc in front.
// - The library is pinned in every process where SubclassProc is in a chain.
#include "share.h"

#define PASS_PROC    "KovPassProc"
#define PASS_CHARSET "KovPassCharset"   // 1 ANSI, 2 Unicode

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

void ChainFrame(HWND hwnd, WinRecord *rec)
{
    PinLibraryCS();
    HANDLE passed = GetPropA(hwnd, PASS_PROC);
    if (passed) {
        // Still behind another module's procedure, which calls us.
        rec->OldWndProc = (WNDPROC)passed;
        rec->IsUnicode = (LONG_PTR)GetPropA(hwnd, PASS_CHARSET) == 2;
        RemovePropA(hwnd, PASS_PROC);
        RemovePropA(hwnd, PASS_CHARSET);
        return;
    }
    rec->IsUnicode = IsWindowUnicode(hwnd);
    // In front already without a record (a release that could not put the
    // frame's procedure back): the procedure behind it is lost.
    if (GetWindowProcCS(hwnd, rec->IsUnicode) == SubclassProc)
        rec->OldWndProc = NULL;
    else
        rec->OldWndProc = SetWindowProcCS(hwnd, SubclassProc, rec->IsUnicode);
}

BOOL UnchainFrame(HWND hwnd, const WinRecord *rec)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId())
        return FALSE;   // no process may change another's window procedure
    if (!IsValidProcCS(rec->OldWndProc))
        return TRUE;    // nothing to go back to: SubclassProc passes messages on by default
    if (GetWindowProcCS(hwnd, rec->IsUnicode) == SubclassProc) {
        SetWindowProcCS(hwnd, rec->OldWndProc, rec->IsUnicode);
    } else {
        SetPropA(hwnd, PASS_PROC, (HANDLE)rec->OldWndProc);
        SetPropA(hwnd, PASS_CHARSET, (HANDLE)(LONG_PTR)(rec->IsUnicode ? 2 : 1));
    }
    return TRUE;
}

LRESULT PassThroughCS(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    WNDPROC passed = (WNDPROC)GetPropA(hwnd, PASS_PROC);
    BOOL unicode = passed ? (LONG_PTR)GetPropA(hwnd, PASS_CHARSET) == 2 : IsWindowUnicode(hwnd);
    if (passed && msg == WM_NCDESTROY) {
        RemovePropA(hwnd, PASS_PROC);
        RemovePropA(hwnd, PASS_CHARSET);
    }
    return CallWindowProcCS(passed, unicode, hwnd, msg, wParam, lParam);
}
