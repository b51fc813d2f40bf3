// The configuration records shared by kovw and kovhook. Both live in
// kovhook's shared section; the options record is also the exact byte image
// of kovopt.ini, so its layout is a file format: packed, little-endian,
// sizes and offsets pinned by static_assert.
#ifndef KOV_OPTIONS_H
#define KOV_OPTIONS_H

#include <stddef.h>
#include <stdint.h>

#include "version.h"

#define OPTIONS_FILE_SIZE     3534
#define END_MARKER_TEXT       "EOS"

#define MOUSE_SLOT_COUNT      15
#define TITLE_BUTTON_COUNT    3
#define USER_COMMAND_SIZE     128

// Slots the hook library reads: right button, Ctrl + right button, middle.
#define SLOT_RIGHT            5
#define SLOT_CTRL_RIGHT       7
#define SLOT_MIDDLE           10

// Flags bits.
#define FLAG_SNAPSTARTMENU         0x01
#define FLAG_REMOVEDOCUMENTS       0x02
#define FLAG_SCROLLWITHKEYS        0x08
#define FLAG_SNAPFOCUSWINDOW       0x10
#define FLAG_SNAPBUTTONWINDOWSONLY 0x20
#define FLAG_SNAPNEWWINDOWSONLY    0x40
#define FLAGS_DEFAULT              0x51

#define ACTIONFLAGS_MASK      0xF00

// Placement of the button group (first title-button definition).
#define PLACEMENT_LEFT        1
#define PLACEMENT_RIGHT       2

#define XCEPT_MAX_NAMES       40
#define XCEPT_NAME_SIZE       21   // 20 characters and a NUL
#define XCEPT_NAME_CHARS      20

#define UNMINALL_MAX          60

#pragma pack(push, 1)

struct ActionSlot {
    uint32_t ActionId;
    uint32_t ActionFlags;
    uint16_t SlotNumber;
    uint16_t SlotKeys;
    uint8_t  Reserved[44];
    char     Command[USER_COMMAND_SIZE];
};

// A 12-byte head, then the action-slot layout with a 32-bit placement where
// a slot keeps its number and keys.
struct TitleButtonDef {
    char     Name[4];
    uint32_t BitmapId;
    uint32_t Reserved8;
    uint32_t ActionId;
    uint32_t ActionFlags;
    uint32_t Placement;
    uint8_t  Reserved[44];
    char     Command[USER_COMMAND_SIZE];
};

struct OptionsRecord {
    char       Version[6];
    uint32_t   Reserved006;
    uint32_t   BypassShutdownConfirm;
    uint32_t   AppearInTaskList;
    uint32_t   SuspendOnLoad;
    uint32_t   Reserved016;
    uint32_t   Reserved01A;
    uint32_t   StartMode;
    uint32_t   Reserved022;
    uint32_t   Reserved026;
    uint32_t   Reserved02A;
    uint32_t   Reserved02E;
    uint32_t   Reserved032;
    uint32_t   Reserved036;
    uint32_t   Reserved03A;
    uint32_t   Reserved03E;
    uint16_t   Reserved042;
    uint16_t   Reserved044;
    int32_t    EdgeOffsetLeft;
    int32_t    EdgeOffsetRight;
    uint32_t   Reserved04E;
    uint32_t   Reserved052;
    uint32_t   Reserved056;
    uint32_t   Reserved05A;
    uint32_t   Reserved05E;
    uint32_t   Flags;
    uint32_t   Reserved066;
    int32_t    ScrollSensitivity;
    int32_t    ScrollPages;
    int32_t    AutoScrollZone;
    uint32_t   AutoScrollInterval;
    uint8_t    Reserved07A[60];
    ActionSlot MouseAction[MOUSE_SLOT_COUNT];
    TitleButtonDef TitleButton[TITLE_BUTTON_COUNT];
    char       EndMarker[4];
};

struct ExceptionList {
    int32_t Count;
    char    Name[XCEPT_MAX_NAMES][XCEPT_NAME_SIZE];
};

// Windows minimized by the last "minimize all"; handles kept as 32-bit
// values so the layout is the same whatever includes it.
struct UnMinAllRecord {
    int32_t  Count;
    uint32_t Hwnd[UNMINALL_MAX];
};

#pragma pack(pop)

static_assert(sizeof(ActionSlot) == 184, "ActionSlot layout");
static_assert(offsetof(ActionSlot, ActionFlags) == 4, "ActionSlot layout");
static_assert(offsetof(ActionSlot, SlotNumber) == 8, "ActionSlot layout");
static_assert(offsetof(ActionSlot, SlotKeys) == 10, "ActionSlot layout");
static_assert(offsetof(ActionSlot, Command) == 56, "ActionSlot layout");

static_assert(sizeof(TitleButtonDef) == 196, "TitleButtonDef layout");
static_assert(offsetof(TitleButtonDef, BitmapId) == 4, "TitleButtonDef layout");
static_assert(offsetof(TitleButtonDef, ActionId) == 12, "TitleButtonDef layout");
static_assert(offsetof(TitleButtonDef, ActionFlags) == 16, "TitleButtonDef layout");
static_assert(offsetof(TitleButtonDef, Placement) == 20, "TitleButtonDef layout");
static_assert(offsetof(TitleButtonDef, Command) == 68, "TitleButtonDef layout");

static_assert(sizeof(OptionsRecord) == OPTIONS_FILE_SIZE, "OptionsRecord size");
static_assert(offsetof(OptionsRecord, Reserved006) == 0x006, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, BypassShutdownConfirm) == 0x00A, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, AppearInTaskList) == 0x00E, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, SuspendOnLoad) == 0x012, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, StartMode) == 0x01E, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, Reserved042) == 0x042, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, Reserved044) == 0x044, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, EdgeOffsetLeft) == 0x046, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, EdgeOffsetRight) == 0x04A, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, Reserved04E) == 0x04E, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, Flags) == 0x062, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, ScrollSensitivity) == 0x06A, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, ScrollPages) == 0x06E, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, AutoScrollZone) == 0x072, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, AutoScrollInterval) == 0x076, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, Reserved07A) == 0x07A, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, MouseAction) == 0x0B6, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, TitleButton) == 0xB7E, "OptionsRecord layout");
static_assert(offsetof(OptionsRecord, TitleButton) + offsetof(TitleButtonDef, Command) == 3010,
              "UserCommand offset");
static_assert(offsetof(OptionsRecord, EndMarker) == 0xDCA, "OptionsRecord layout");

static_assert(sizeof(ExceptionList) == 844, "ExceptionList size");
static_assert(sizeof(UnMinAllRecord) == 4 + 60 * 4, "UnMinAllRecord size");

// The user command is the first title-button definition's command line.
#define UserCommandOf(op) ((op)->TitleButton[0].Command)
#define PlacementOf(op)   ((op)->TitleButton[0].Placement)

#endif
