// kovhook's data: the section every process shares, the data each process
// keeps for itself, and the helpers every part of the library uses.
#ifndef KOV_SHARE_H
#define KOV_SHARE_H

#include <windows.h>
#include "../common/options.h"
#include "../common/messages.h"
#include "../common/kovhook.h"
#include "../common/shared.h"

#define WIN_TABLE_SIZE 120

// One subclassed top-level frame, in any process. Geometry fields are 16-bit
// and wrap like the rest of the title-bar arithmetic.
// Data only: the procedures behind our subclass are the frame's process's
// own (OwnFrame), since every program the library enters can write here.
struct WinRecord {
    HWND    hwnd;             // 0 = free
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
    WORD    Dpi;              // the frame's, as last measured (0: the system does not say)
    BYTE    Source;           // where the group's place came from (a CaptionSource)
    BYTE    NcActivated;      // the frame was active once since its group was placed
    DWORD   Instance;         // the Kov start that dressed it (Sh->Instance)
};

struct SCROLLCACHE {
    HWND hwnd;
    HWND hwndVert;
    HWND hwndHorz;
};

// Where each piece of Kov's state lives, and why. A change that adds state
// starts here.
//
// Desktop-wide (the mapping, KovShared in common/shared.h): whatever a
// program of one architecture writes and one of the other reads. Its first
// part ("Sh->", read-only in every host; a controller writes it through
// ControllerView()) is the controllers'; State ("St->") is what the hosts write.
//   Op, Xception, Suspend          the configuration and the switch, one for all
//   hwndKov, Controller[]          the main window; each architecture's controller
//   Hooks[][]                      each architecture's hooks, removable after a kill
//   DoubleClickTime, DebugLevel, IsDBCS, WinMajorVer, WinMinorVer, ScreenDpi
//                                  the system as the main controller sees it
//   Instance                       the main's starts: whose frames a release may touch
// State, data only:
//   UnMinAll                       minimize-all from any window, undone from any other
//   DoSnapStartMenu                set by a button of any program, read in the shell
//   hwndShutdownManager, hwndWin3PopupPatch, SysShutdownSelected
//                                  the shell, found by either side, read in the shell
//   hwndSnapNewWindow, hwndOldSnapWindow, IgnoreSnapWindow
//                                  snapping across programs of both
//   MouseDirection, LastMousePos, LastMsgTime, Trapped*BtnDown, hwndScroll,
//   ScrollActionId, autoScroll     a gesture pressed over one program and let go
//                                  over another
//   hwndTrapRollup, hwndTrapWMsize set by the rolling thread, read by the frame's
// Per architecture (KovTable below, "Tb->"; a mapping of the session and
// desktop too): what concerns only the windows of one architecture. Never a
// code address: any program the library enters can write it, and would have
// every dressed program call its code.
//   Win[], HookedWindowCnt         the frames and their groups
//   IsShutdown                     this side's release
//   ThreadHooks[], ThreadMode, ThreadOwner
//                                  the companion's hooks per thread, removable
//                                  after a kill, and the start it serves
//   metrics (cxSysBorder ...)      captured by each side's install (the same values)
// Both mappings are the user's own (security.cpp): one another user made
// first is refused.
// Per process: below, among them every procedure our subclasses pass
// messages on to (the frames', the system button groups', the taskbar's):
// each subclass runs in the window's own process, and so does its release.

// --- Desktop-wide: this process's view of the mapping; never NULL (a
// record of its own, suspended, until the mapping is found) ---
// What a host only reads is mapped read-only there: Sh is const, and hosts
// write State (St) alone.
extern const KovShared *Sh;
extern KovHostState *St;
// The record as the controllers write it; in a host, a copy of its own that
// nobody reads, so that no write of ours ever meets a read-only page.
KovShared *ControllerView(void);
// Attaches this process to the mapping when it is not yet (tried again
// after a while, not at every call); the hook procedures call it first.
void AttachSharedCS(void);
bool IsAttachedCS(void);
// Lets go of the mapping: the library leaves this process, and a record no
// program holds any more goes, with whatever a crashed run left in it.
void DetachSharedCS(void);

// The companion's hooks, one set per thread of its architecture (threads.cpp).
#define THREAD_HOOKS_MAX 128
struct ThreadHookSet {
    DWORD tid;   // 0 = free
    HHOOK hooks[KOV_HOOK_COUNT];
    BOOL  seen;  // at the last look at the desktop's windows
};

// --- Per architecture: this architecture's tables, a named mapping of the
// session and desktop like the desktop-wide record, so that a Kov of another
// user or desktop never meets them. Native layout: only programs of this
// architecture map it. Never NULL: a table of this process's own until the
// mapping is found. ---
#define KOV_TABLE_NAME "KovTable-" KOV_ARCH_TEXT "-"   // then the layout's version
struct KovTable {
    uint32_t Version;
    uint32_t Size;
    int   HookedWindowCnt;
    int   IsShutdown;   // this side's release is under way
    int   ThreadMode;   // this architecture hooks per thread (the companion's)
    DWORD ThreadOwner;  // the Kov start whose companion that is
    SHORT cxSysBorder, cySysBorder, cxSysFrame, cySysFrame;
    SHORT cxSysDlgFrame, cySysDlgFrame, cxSysTbarBtnSize, cySysTbarBtnSize;
    SHORT cxSmallTbarBtnSize, cySmallTbarBtnSize, cySysMin;
    SHORT sysmenuWidth, sysmenuHeight, screenWidth;
    ThreadHookSet ThreadHooks[THREAD_HOOKS_MAX];
    WinRecord Win[WIN_TABLE_SIZE];
};
extern KovTable *Tb;

// Per process, too: made and read in the thread that shows the task list.
extern HMENU hwndKovTaskListMenu;
extern HWND  hwndSwitchHwnd[TASKLIST_MAX_ENTRIES];
extern HMODULE hiKovDll;   // a controller's handle on this library

bool FollowThreadsFrom(HWND controller);
void RemoveThreadHooks(void);
// The threads the companion need not ask about again, known by thread and process.
bool IsForeignThread(DWORD tid, DWORD pid);
void RememberForeign(DWORD tid, DWORD pid);

// --- Per process ---
extern int      KovIsHooked;   // this process installed the hooks (a controller)
extern DWORD    HookThreadId;  // the thread that installed them
inline bool IsHookThread() { return HookThreadId == GetCurrentThreadId(); }
extern DWORD    OwnInstance;   // a controller's: the Kov start it serves
extern HOOKPROC NewCBTProc, NewGetMsgProc, NewMouseProc, NewSysMsgProc;
extern const char *szKovButtons;
extern HINSTANCE hInstKovDll;     // this copy of the library in this process
extern SCROLLCACHE ScrollCache;
extern WNDPROC SysTaskbarOldFrameProc;
extern BOOL  SysTaskbarIsUnicode;   // the character set SysTaskbarOldFrameProc was read in
extern HWND  SysTaskbarHwnd;        // the window SysTaskbarOldFrameProc belongs to
extern int   SysTaskbarActive;      // 0: released, the subclass only passes messages on

// A frame of this process behind SubclassProc: what its messages go on to.
struct OwnFrame {
    HWND    hwnd;             // 0 = free
    HWND    group;            // its group
    WNDPROC OldWndProc;
    WNDPROC OldButtonsProc;   // a system button window's, when that is the group
    BOOL    IsUnicode;        // the character set OldWndProc was read in
    BOOL    Passing;          // released behind a later subclass: only passes messages on
    // The group's look, as it was drawn last (look.cpp): only the frame's
    // own thread draws it, so it stays here.
    BYTE    LookState;        // LOOK_STATE_KNOWN | look | dark | active
    BYTE    CaptionActive;    // as the frame's last WM_NCACTIVATE said
    HWND    Hot;              // the button the pointer is over, themed and composited only
    int     Index;            // where its shared record lay when last looked for
};
// This process's record of a frame, or NULL; quick for the one asked last.
OwnFrame *OwnFrameCS(HWND frame);
OwnFrame *OwnGroupCS(HWND group);
// Gives a system button group its own procedure back and forgets the group.
void ForgetOwnGroup(OwnFrame *own);
// Destroys the frame's group kept there, if it is still the frame's.
void DropOwnGroup(HWND frame, OwnFrame *own);

// This architecture's hooks, by their place in Sh->Hooks.
enum { HOOK_CBT, HOOK_GETMSG, HOOK_MOUSE, HOOK_SYSMSG };
inline HHOOK HookHandle(int which) { return (HHOOK)(ULONG_PTR)Sh->Hooks[KOV_ARCH_SLOT][which]; }

// A hook called for a window of another process, which happens in a
// controller when the system calls a hook of the other architecture out of
// context: none of ours, passed on untouched.
bool IsForeignCall(HWND hwnd);
// A window of this process (none, or one gone, is no one's).
bool IsOwnWindow(HWND hwnd);

// An old shell is one whose version is at most 3.49.
inline bool IsOldShell() { return Sh->WinMajorVer <= 3 && Sh->WinMinorVer < 50; }

// Window table (share.cpp).
#define ALLOC_BUSY (-2)   // the table's mutex was not had: try again later
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
// pass-through it left), recording what it found in this process's
// OwnFrame; FALSE when this process has no room for it.
BOOL ChainFrame(HWND hwnd);
// Gives the frame its procedure back, or leaves a pass-through behind a
// later subclass, and forgets the OwnFrame; FALSE for a window of another
// process.
BOOL UnchainFrame(HWND hwnd);
// SubclassProc's answer for a frame without a record.
LRESULT PassThroughCS(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Installation (install.cpp).
int  IsException(HWND hwnd);
int  CreateSubclassing(HWND hwnd, BOOL isNew);
void OfferOwnWindows(void);

// Registered message numbers, looked up once per process (hooks.cpp).
extern UINT CreateAllBtnsMsg, DestroyAllBtnsMsg, SysTaskbarInitMsg, RollupAllMsg;
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
#define RESTACK_LOOKS     4
void RestackLater(int index, HWND group);
int  ProcessButtonsProcMsg(int index, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                           LRESULT *result);
void DrawBitmap(HDC hdc, HBITMAP bitmap, short x, short y, short cx, short cy);
void DrawButton(const WinRecord &rec, HWND group, const DRAWITEMSTRUCT *item);

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
void DoRollupAll(HWND source, BOOL rolledUp);   // with Shift held; both architectures
void RollupTable(HWND source, BOOL rolledUp);   // this architecture's frames
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
int  ZoneAtDpi(int zone, UINT windowDpi, int screenDpi);
void CheckAutoScrollStop(void);
void StopScrollTimer(void);
// Whether msg is a tick of this thread's auto-scroll timer (then taken).
bool TakeScrollTick(MSG *msg);
void PostScrollMsg(HWND hwnd, UINT message, WORD code, WORD position, LPARAM bar);
void ScrollAction(HWND hwnd, int action);

#endif
