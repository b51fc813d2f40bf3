// The record every program of the desktop agrees on, 32-bit and 64-bit
// alike: one named file mapping, created by the main controller and opened
// by the companion and by the library in every process it enters. Its
// layout is fixed-width and the same in both builds (handles as 32-bit
// values); a reader checks the version and the size in its head and takes
// nothing from a mapping of another layout.
#ifndef KOV_SHARED_H
#define KOV_SHARED_H

#include <windows.h>
#include <stddef.h>
#include <stdint.h>

#include "handles.h"
#include "options.h"

#define KOV_SHARED_VERSION  4
#define KOV_SHARED_NAME     "KovShared"    // then the version, "-" and the desktop's name; "Local\" before it
#define KOV_INSTANCE_NAME   "KovInstance"  // one running Kov per desktop, of whatever layout
                                           // where the system has sessions
#define KOV_SHARED_NAME_SIZE 128
#define KOV_ARCHS           2              // the architectures' slots: 32-bit, 64-bit
#define KOV_ARCH_SLOT       (sizeof(void *) == 8)
#define KOV_HOOK_COUNT      4              // computer-based training, get-message, mouse, message filter

#pragma pack(push, 1)

// A window handle as 32 bits, which is what a handle carries between 32-
// and 64-bit programs; read and written as an HWND.
struct Hwnd32 {
    uint32_t value;
    operator HWND() const { return HwndFrom32(value); }
    Hwnd32 &operator=(HWND hwnd)
    {
        value = HandleTo32(hwnd);
        return *this;
    }
};

// The running auto-scroll: a thread timer of ThreadId, the thread of hwnd.
struct AutoScrollRecord {
    Hwnd32   hwnd;
    uint32_t TimerId;   // a thread timer's number, which fits 16 bits
    int32_t  Direction;
    RECT     rc;
    uint32_t ThreadId;
};

// What hosts write: data only, never a command, a procedure or anything a
// controller runs, since every program the library enters may write it.
struct KovHostState {
    // The shell.
    Hwnd32   hwndShutdownManager;
    Hwnd32   hwndWin3PopupPatch;
    int32_t  SysShutdownSelected;
    int32_t  DoSnapStartMenu;
    // Snapping.
    Hwnd32   hwndSnapNewWindow;
    Hwnd32   hwndOldSnapWindow;
    int32_t  IgnoreSnapWindow;
    // Gestures and scrolling: a press and its release may come to programs
    // of either architecture.
    int32_t  MouseDirection;
    POINT    LastMousePos;
    int32_t  LastMsgTime;
    int32_t  TrappedRBtnDown, TrappedMBtnDown;
    Hwnd32   hwndScroll;
    int32_t  ScrollActionId;
    AutoScrollRecord autoScroll;
    // Roll-up's hand-over to the frame's own procedure.
    Hwnd32   hwndTrapRollup, hwndTrapWMsize;
    UnMinAllRecord UnMinAll;
};

// Everything before State is the controllers' to write: hosts map those
// pages read-only. State starts on a page of its own (a page is 4 KB on
// every system Kov runs on).
#define KOV_STATE_OFFSET 8192

struct KovShared {
    uint32_t Version;
    uint32_t Size;
    // The controllers: the main's window (the one a user sees), and the
    // window of the controller of each architecture (the main's or the
    // companion's), to which either side forwards what concerns the other's
    // windows. Each architecture's hooks, kept here so that a controller
    // that was killed can have them removed by the next one.
    Hwnd32   hwndKov;
    Hwnd32   Controller[KOV_ARCHS];
    uint32_t Hooks[KOV_ARCHS][KOV_HOOK_COUNT];
    int32_t  Suspend;
    int32_t  ReleaseOverride;   // the user let one side's release go on: the other asks no more
    int32_t  DebugLevel;
    int32_t  IsDBCS;
    uint32_t DoubleClickTime;
    int32_t  WinMajorVer, WinMinorVer;
    ExceptionList  Xception;
    int32_t  ScreenDpi;   // the DPI the options' pixel sizes are meant at: the main controller's
    OptionsRecord  Op;   // its size is no multiple of 4
    // Counts the main controller's starts: a controller's release touches
    // only what its own start dressed, so that a late one never undoes a
    // newer Kov.
    uint32_t Instance;
    uint8_t  Unused[KOV_STATE_OFFSET - 4466];
    KovHostState State;
};

#pragma pack(pop)

static_assert(sizeof(Hwnd32) == 4, "Hwnd32 layout");
static_assert(sizeof(POINT) == 8 && sizeof(RECT) == 16, "POINT and RECT are fixed-width");
static_assert(sizeof(AutoScrollRecord) == 32, "AutoScrollRecord layout");
static_assert(offsetof(KovHostState, hwndSnapNewWindow) == 16, "KovHostState layout");
static_assert(offsetof(KovHostState, MouseDirection) == 28, "KovHostState layout");
static_assert(offsetof(KovHostState, autoScroll) == 60, "KovHostState layout");
static_assert(offsetof(KovHostState, hwndTrapRollup) == 92, "KovHostState layout");
static_assert(offsetof(KovHostState, UnMinAll) == 100, "KovHostState layout");
static_assert(sizeof(KovHostState) == 100 + sizeof(UnMinAllRecord), "KovHostState size");
static_assert(offsetof(KovShared, hwndKov) == 8, "KovShared layout");
static_assert(offsetof(KovShared, Controller) == 12, "KovShared layout");
static_assert(offsetof(KovShared, Hooks) == 20, "KovShared layout");
static_assert(offsetof(KovShared, Suspend) == 52, "KovShared layout");
static_assert(offsetof(KovShared, Xception) == 80, "KovShared layout");
static_assert(offsetof(KovShared, ScreenDpi) == 924, "KovShared layout");
static_assert(offsetof(KovShared, Op) == 928, "KovShared layout");
static_assert(offsetof(KovShared, Instance) == 928 + OPTIONS_FILE_SIZE, "KovShared layout");
static_assert(offsetof(KovShared, State) == KOV_STATE_OFFSET, "KovShared layout");
static_assert(sizeof(KovShared) == KOV_STATE_OFFSET + sizeof(KovHostState), "KovShared size");

#endif
