// The exports of kovhook.dll, by undecorated name (see hook/kovhook.def).
#ifndef KOV_KOVHOOK_H
#define KOV_KOVHOOK_H

#include <windows.h>
#include "options.h"
#include "shared.h"

#if defined(KOVHOOK_BUILD) || defined(KOVHOOK_STATIC)
#define KOVHOOK_IMPORT
#else
#define KOVHOOK_IMPORT __declspec(dllimport)
#endif

extern "C" {

// The desktop-wide record (common/shared.h): made by the main controller
// (create 1), opened by the others. A result of these:
#define SHARED_OPEN          0
#define SHARED_MISSING       1   // none to open: no main controller runs
#define SHARED_OTHER_LAYOUT  2   // one of another version of Kov
#define SHARED_CANNOT_CREATE 3
#define SHARED_NOT_OWN       4   // one made by another user: not to be trusted

// What kovw binds to.
KOVHOOK_IMPORT int  WINAPI OpenKovShared(int create);
KOVHOOK_IMPORT KovShared *WINAPI GetKovShared(void);   // NULL before it is open
// The name of an object of this session and desktop ("Local\<base>[version]-<desktop>").
KOVHOOK_IMPORT int  WINAPI KovObjectName(char *name, int size, const char *base, BOOL versioned);
// The security for such an object, made in sa: the user's alone; NULL (the
// default security, no descriptor) where the system cannot say. The caller
// frees sa->lpSecurityDescriptor with LocalFree. An object that existed
// already is trusted only if it is the user's own.
KOVHOOK_IMPORT SECURITY_ATTRIBUTES *WINAPI KovObjectSecurity(SECURITY_ATTRIBUTES *sa);
KOVHOOK_IMPORT BOOL WINAPI KovIsOwnObject(HANDLE object);
// This architecture's tables (hook/share.h), NULL before they are open.
struct KovTable;
KOVHOOK_IMPORT KovTable *WINAPI GetKovTable(void);
KOVHOOK_IMPORT int  WINAPI GetHookData(OptionsRecord **options, ExceptionList **exceptions);
KOVHOOK_IMPORT void WINAPI SetSystemParameters(UINT doubleClickTime);
KOVHOOK_IMPORT int  WINAPI SetKovHook(HWND hwndMain, int isDBCS, int debugLevel);
// The companion's install: hooks per thread of its architecture, followed
// by FollowKovThreads every moment (see hook/threads.cpp); KOV_THREADS_WATCHED
// where new windows are told as they come, and a slow look is enough.
#define KOV_THREADS_WATCHED 2
KOVHOOK_IMPORT int  WINAPI SetKovThreadHooks(HWND hwndCompanion, int isDBCS, int debugLevel);
KOVHOOK_IMPORT void WINAPI FollowKovThreads(void);
KOVHOOK_IMPORT int  WINAPI FreeKovHook(BOOL force);
KOVHOOK_IMPORT int  WINAPI ActivateWindowCS(HWND hwnd);
KOVHOOK_IMPORT extern int _SuspendKovTemp;
KOVHOOK_IMPORT extern UnMinAllRecord _UnMinAll;

// Found by name by the library itself or by the system.
KOVHOOK_IMPORT int  WINAPI HookInstalled(void);
KOVHOOK_IMPORT BOOL CALLBACK CreateAllButtonsProc(HWND hwnd, LPARAM message);
KOVHOOK_IMPORT LRESULT CALLBACK CBTHookProc(int code, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT LRESULT CALLBACK GetMsgHookProc(int code, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT LRESULT CALLBACK MouseHookProc(int code, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT LRESULT CALLBACK SysMsgHookProc(int code, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT HWND WINAPI FindFrameHwnd(HWND hwnd);
KOVHOOK_IMPORT LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT LRESULT CALLBACK ButtonsProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT LRESULT CALLBACK SubclassButtonProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT LRESULT CALLBACK SysTaskbarSubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
KOVHOOK_IMPORT BOOL CALLBACK MinimizeWindow(HWND hwnd, LPARAM lParam);
KOVHOOK_IMPORT BOOL CALLBACK AddTaskListProc(HWND hwnd, LPARAM context);

}

#endif
