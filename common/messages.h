// Message numbers, registered message names, mutex and class names: the
// vocabulary every process that maps kovhook speaks.
#ifndef KOV_MESSAGES_H
#define KOV_MESSAGES_H

#define KM_NULL          0x6F00
#define KM_ADDBUTTONS    0x6F01
#define KM_MOVEBUTTONS   0x6F03
#define KM_SHOWBUTTONS   0x6F05
#define KM_NEWWINDOW     0x6F08   // lParam KM_NEWWINDOW_LATE: its thread was hooked after it came
#define KM_NEWWINDOW_LATE 1
#define KM_ACTION        0x6F09
#define KM_SHOWKOV       0x6F0A
#define KM_TRAYICON      0x6F0B
#define KM_SNAPFOCUS     0x6F0D

// Task-list menu entries carry command ids from here on, one per entry.
#define TASKLIST_FIRST_ID   0x6E00
#define TASKLIST_MAX_ENTRIES 60
#define TASKLIST_MARK_MINALL   ((HWND)(LONG_PTR)-20)
#define TASKLIST_MARK_UNDOMIN  ((HWND)(LONG_PTR)-21)

#define MSG_CREATEALLBTNS   "KovCreateAllBtns"
#define MSG_DESTROYALLBTNS  "KovDestroyAllBtns"
#define MSG_SYSTASKBARINIT  "KovSysTaskbarInit"
#define MSG_ROLLUPALL       "KovRollupAll"     // to a controller: roll its frames (wParam up,
                                               // lParam the source as 32 bits)
#define MSG_COMPANION       "KovCompanion"     // main to companion: wParam a COMPANION_ command

// Each architecture's own, as are the tables they guard: on a 64-bit Windows
// the thread that owns the main's global hooks also runs them for programs
// of the other architecture, and a lock the two shared could hold it up
// behind such a program, itself waiting on that thread to hear its hook.
#define MUTEX_WININDEX      "KovWinIndexMutex" KOV_ARCH_TEXT
#define MUTEX_DESTROYBTNS   "KovDestroyBtnsMutex" KOV_ARCH_TEXT
#define WININDEX_ALLOC_TIMEOUT 5000
#define WININDEX_FREE_TIMEOUT  3000
#define DESTROYBTNS_TIMEOUT    5000
#define HOOK_THREAD_WAIT_MS    20     // the most the hooks' own thread waits for one
#define OFFER_LATER_MS         100    // and then offers the window again
#define OFFER_LATER_MAX        8

#define KOV_MAIN_CLASS      "KovMainWin"
#define KOV_BUTTONS_CLASS   "KovButtons"
// The 32-bit and the 64-bit Kov live side by side in one folder, each
// finding its own parts by these names.
#ifdef _WIN64
#define KOV_HOOK_FILE       "KOVHOOK64.DLL"
#define KOV_CONTROLLER_FILE "kovw64.exe"
#define KOV_OTHER_CONTROLLER_FILE "kovw.exe"
#define KOV_ARCH_TEXT       "64bit"
#define KOV_OTHER_ARCH_TEXT "32-bit"
#else
#define KOV_HOOK_FILE       "KOVHOOK.DLL"
#define KOV_CONTROLLER_FILE "kovw.exe"
#define KOV_OTHER_CONTROLLER_FILE "kovw64.exe"
#define KOV_ARCH_TEXT       "32bit"
#define KOV_OTHER_ARCH_TEXT "64-bit"
#endif

#endif
