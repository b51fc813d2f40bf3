// What the test programs tell the tests. Probe windows (probe.cpp) answer a query (sent) with one of these in wParam; a
// ping (posted) sets the named event once all posted before it is handled; a freeze (posted) hangs the thread.
#ifndef KOV_PROBE_H
#define KOV_PROBE_H

#include <stdint.h>

#define PROBE_QUERY_MSG  "KovProbeQuery"
#define PROBE_PING_MSG   "KovProbePing"
#define PROBE_FREEZE_MSG "KovProbeFreeze"
#define PROBE_SUBCLASS_MSG "KovProbeSubclass"
#define PROBE_PONG_EVENT "KovProbePong%u"
// A window with this property is cloaked to the programs beside the test's DWM library (dwmapi.cpp).
#define PROBE_CLOAKED "KovProbeCloaked"
#define PROBE_OLD_FRAME "KovProbeOldFrame"   // its frame not drawn by the DWM
#define PROBE_DARK "KovProbeDark"   // 1 + the dark-mode attribute the DWM answers

enum ProbeQuery {
    Q_SUBCLASSED = 1,   // the window procedure is no longer the probe's own
    Q_SIZES,            // WM_SIZE messages the probe's procedure saw
    Q_MENUPOPUPS, Q_COMMANDS, Q_RCLICKS, Q_MCLICKS, Q_ACTIVATES,   // WM_INITMENUPOPUP, WM_COMMAND, ..., WM_ACTIVATE
    Q_ACTIONS,          // spent library actions (KM_NULL carrying an action code)
    Q_LASTHEIGHT,       // the height in the last WM_SIZE
    Q_TASKLISTS,        // WM_SYSCOMMAND asking for the system's task list
    Q_BOX,              // the answer to the last message box
};

// The test shell (shell.cpp) answers from its record (R_LIVE: bit j, the j-th submenu is still a
// menu); or as the user leaves the Start menu (with its openings), chooses Shut Down (S_CHOOSE: the
// shell shows nothing then), highlights it and presses Escape, or gets the dialog titled as the
// taskbar (with the dialog's answer); S_SUBCLASS: another module's subclass in front (1) or gone (0).
enum ShellRecord { R_OPENINGS, R_SUBMENUS, R_ANSWER, R_ITEM, R_TAKEN, R_OWN, R_LIVE, R_COUNT };
enum ShellUser { S_MENU = 16, S_SHUTDOWN, S_DIALOG, S_ESCAPE, S_CHOOSE, S_SUBCLASS };

// The last popup menu a spied-on thread opened (spy.cpp, in its shared section): no process reads another's menus.
#define SPY_ITEMS 64
#define SPY_MENUBAR 0x5350   // WM_NULL with this wParam: record the window's menu bar
#define SPY_FIT 0x5346       // ... or the texts of a dialog's controls that overflow them, and the dpi
struct SpyMenu {
    long serial;   // counts the menus recorded
    int count, defaultId;
    char texts[SPY_ITEMS][96];
};

// Every mouse message a thread of either architecture takes (or a mouse hook newer than the log's swallows), as
// delivered: after double-click processing, with its window, hit-test result and SendInput's tag; in a named mapping,
// so that 32- and 64-bit programs share the log. An entry is whole once its serial is its place in the log.
#define SPY_INPUT_LOG "KovTestInputLog"
#define SPY_INPUTS 1024
struct SpyInput { long serial; uint32_t thread, hwnd, message; int32_t x, y, hit; uint32_t tag; };
struct SpyInputLog { long next; SpyInput at[SPY_INPUTS]; };

#endif
