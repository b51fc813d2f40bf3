// kovhook's data: the section every process shares, the data each process
// keeps for itself, and the helpers every part of the library uses.
#ifndef KOV_SHARE_H
#define KOV_SHARE_H

#include <windows.h>
#include "../common/options.h"
#include "../common/messages.h"
#include "../common/kovhook.h"

#define WIN_TABLE_SIZE 120

// One subclassed top-level frame, in any process. Geometry fields are 16-bit
// and wrap like the rest of the title-bar arithmetic.
struct WinRecord {
    HWND    hwnd;             // 0 = free
    WNDPROC OldWndProc;
    WNDPROC OldButtonsProc;   // only when a system button window is the group
    SHORT   cxButton;
    SHORT   cyButton;
    SHORT   xLeft;
    SHORT   xRight;
    SHORT   yTop;
    BOOL    IsChild;
    BOOL    ButtonsCreated;
    BOOL    IsConsole;
    BOOL    AddPending;
    BOOL    RolledByAll;
    SHORT   nButtons;
    SHORT   cxRolled;
    SHORT   cyUnrolled;
    SHORT   cyRolled;
    HWND    hwndButtons;
    BOOL    IsUnicode;        // the character set OldWndProc was read in
};

// The running auto-scroll: a thread timer of ThreadId, the thread of hwnd.
struct AUTOSCROLL {
    HWND hwnd;
    UINT_PTR TimerId;
    int  Direction;
    RECT rc;
    DWORD ThreadId;
};

struct SCROLLCACHE {
    HWND hwnd;
    HWND hwndVert;
    HWND hwndHorz;
};

// --- Shared section (one copy for the whole desktop) ---
extern WinRecord     Win[WIN_TABLE_SIZE];
extern OptionsRecord Op;
extern ExceptionList Xception;
extern HWND  hwndKov;
extern int   HookedWindowCnt;
extern SHORT cxSysBorder, cySysBorder, cxSysFrame, cySysFrame;
extern SHORT cxSysDlgFrame, cySysDlgFrame, cxSysTbarBtnSize, cySysTbarBtnSize;
extern SHORT cxSmallTbarBtnSize, cySmallTbarBtnSize, cySysMin;
extern SHORT sysmenuWidth, sysmenuHeight, screenWidth;
extern int   WinMajorVer, WinMinorVer;
extern HWND  hwndTrapRollup, hwndTrapWMsize;
extern HMENU hwndKovTaskListMenu;
extern HWND  hwndSwitchHwnd[TASKLIST_MAX_ENTRIES];
extern HWND  hwndSnapNewWindow;
extern WNDPROC SysTaskbarOldFrameProc;
extern int   IsDBCS;
extern int   IsShutdown;
extern int   SysShutdownSelected;
extern int   DoSnapStartMenu;
extern int   IgnoreSnapWindow;
extern int   MouseDirection;
extern AUTOSCROLL autoScroll;
extern UINT  DoubleClickTime;
extern int   DebugLevelShare;
extern HHOOK CBThandle, CWPhandle, GetMsghandle, Mousehandle, SysMsghandle;
extern HMODULE hiKovDll;
extern HWND  hwndShutdownManager;
extern HWND  hwndWin3PopupPatch;
extern HWND  hwndOldSnapWindow;
extern HWND  hwndScroll;
extern int   ScrollActionId;
extern int   TrappedRBtnDown, TrappedMBtnDown;
extern POINT LastMousePos;
extern LONG  LastMsgTime;
extern BOOL  SysTaskbarIsUnicode;   // the character set SysTaskbarOldFrameProc was read in
extern HWND  SysTaskbarHwnd;        // the window SysTaskbarOldFrameProc belongs to
extern int   SysTaskbarActive;      // 0: released, the subclass only passes messages on

// --- Per process ---
extern int      KovIsHooked;
extern HOOKPROC NewCBTProc, NewGetMsgProc, NewMouseProc, NewSysMsgProc;
extern const char *szKovButtons;
extern HINSTANCE hInstKovDll;     // this copy of the library in this process
extern SCROLLCACHE ScrollCache;

// An old shell is one whose version is at most 3.49.
inline bool IsOldShell() { return WinMajorVer <= 3 && WinMinorVer < 50; }

// Window table (share.cpp).
int  AllocWindowIndex(HWND hwnd, int *index);
int  FreeWindowIndex(HWND hwnd, BOOL all);
int  GetWindowIndex(HWND hwnd);
// GetWindowIndex for the hot paths: remembers the last record found.
int  FindWindowIndexCS(HWND hwnd);
int  GetButtonWindowIndex(HWND hwnd, BOOL orParent);

// Releases the records of windows that are gone (their programs ended
// without releasing them), so that the table never fills with the dead.
void SweepDeadRecords(void);

// Utilities (share.cpp).
char *getBaseNameCS(char *path, int length);
int  GetMutexCS(HANDLE *mutex, const char *name, DWORD timeoutMs);
int  ReleaseMutexCS(HANDLE mutex);

// The subclass chain (chain.cpp; its invariants are stated there).
BOOL IsValidProcCS(WNDPROC proc);
// Keeps this library loaded in the calling process for the rest of its life:
// once a window procedure of a process points into it, no release of the
// hooks may unload it from under that window.
void PinLibraryCS(void);
WNDPROC GetWindowProcCS(HWND hwnd, BOOL unicode);
WNDPROC SetWindowProcCS(HWND hwnd, WNDPROC proc, BOOL unicode);
LRESULT DefWindowProcCS(BOOL unicode, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcCS(WNDPROC proc, BOOL unicode, HWND hwnd, UINT msg, WPARAM wParam,
                         LPARAM lParam);
// Puts SubclassProc in front of the frame's procedure (or takes back a
// pass-through it left), filling the record's OldWndProc and IsUnicode.
void ChainFrame(HWND hwnd, WinRecord *rec);
// Gives the frame its procedure back, or leaves a pass-through behind a
// later subclass; FALSE for a window of another process.
BOOL UnchainFrame(HWND hwnd, const WinRecord *rec);
// SubclassProc's answer for a frame without a record.
LRESULT PassThroughCS(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Installation (install.cpp).
int  IsException(HWND hwnd);
int  CreateSubclassing(HWND hwnd, BOOL isNew);

// Registered message numbers, looked up once per process (hooks.cpp).
extern UINT CreateAllBtnsMsg, DestroyAllBtnsMsg, SysTaskbarInitMsg;
void RegisterKovMessages(void);

// The shell's taskbar, or the old shell's Program Manager (taskbar.cpp):
// found by the enumeration, or by the Program Manager's own thread, and
// subclassed only in its own thread.
void ClaimProgramManager(HWND hwnd);
// A top-level window just made: a taskbar in place of one that is gone
// (the shell started again) takes the subclass.
void ClaimNewTaskbar(HWND hwnd);
void SubclassTaskbar(HWND hwnd);
// The shut-down choice (SysShutdownSelected): marked when the Start menu's
// shut-down entry is highlighted, kept when the menu then closes, cleared
// when another entry is highlighted or the menu is left with Escape or a
// click elsewhere (NoteMenuInput, from the menu loop's message filter).
void NoteMenuSelect(HWND hwnd, WPARAM wParam);
void NoteMenuInput(const MSG *msg);

// Frame subclass (frame.cpp).
int  AddKovButtons(HWND hwnd, int index);
int  DestroyButtons(HWND hwndButtons);

// Button group (buttons.cpp).
#define RESTACK_TIMER     0x6F10
#define RESTACK_DELAY_MS  500
int  ProcessButtonsProcMsg(int index, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                           LRESULT *result);
void DrawBitmap(HDC hdc, HBITMAP bitmap, short x, short y, short cx, short cy);

// Hooks (hooks.cpp).
HWND GetHwndForAction(HWND hwnd, int action);

// Command executor (execute.cpp).
int  ExecuteSystemCommand(HWND hwnd, int index, int action, int source);
bool IsKnownAction(int action);   // one ExecuteSystemCommand carries out

// Window operations (winops.cpp, rollup.cpp, tasklist.cpp).
int  SetAnimation(int enable);
void MinimizeAllWindows(HWND hwnd);
BOOL IsRolledUp(HWND hwnd);
int  Rollup(HWND hwnd, BOOL noActivate);
void DoRollupAll(HWND source, BOOL rolledUp);
void KovTaskList(HWND owner);
struct TaskListContext {
    char Letters[37];   // taken letters, in upper case
    int  LetterCount;
    int  ItemCount;
};
// Puts the '&' into a task-list entry: entry holds a spare position, then
// the title; returns where the entry's text starts.
char *AddMnemonic(char *entry, TaskListContext *context);

// Shell (taskbar.cpp) and mouse snapping (snap.cpp).
BOOL IsShutdownDialog(HWND hwnd);
BOOL BypassShutdown(HWND hwnd);
void CheckMouseSnap(HWND frame);

// Scroll emulation (scroll.cpp).
void CheckScrollbarHwnd(HWND hwnd, SCROLLCACHE *cache);
// A scroll button pressed in this process: the scroll bars are looked up afresh.
inline void ForgetScrollbars() { ScrollCache.hwnd = 0; }
void CheckAutoScrollStart(HWND hwnd);
void CheckAutoScrollStop(void);
void StopScrollTimer(void);
// Whether msg is a tick of this thread's auto-scroll timer (then taken).
bool TakeScrollTick(MSG *msg);
void PostScrollMsg(HWND hwnd, UINT message, WORD code, WORD position, LPARAM bar);
void ScrollAction(HWND hwnd, int action);

#endif
