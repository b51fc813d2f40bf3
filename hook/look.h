// How a group's buttons look, chosen per frame so that they sit among the
// frame's own boxes (look.cpp): the deciding steps take the system's answers
// as values, so that they can be tried with answers no system here gives.
#ifndef KOV_LOOK_H
#define KOV_LOOK_H

#include <windows.h>

enum ButtonLook {
    LOOK_CLASSIC,      // the raised face of Windows 95, as always
    LOOK_THEMED,       // the visual style's caption-button background
    LOOK_COMPOSITED,   // flat: the caption shows through, the glyph in its text's colour
};

struct LookFacts {
    bool     themed;     // visual styles on, and the frame has the WINDOW parts
    bool     composed;   // desktop composition on
    int      darkMode;   // the frame's dark-mode attribute: 1, 0, or -1 where unanswered
    COLORREF caption;    // the caption's colour, where the attribute is not answered
};

ButtonLook ChooseLook(const LookFacts &facts);
bool IsDarkCaption(const LookFacts &facts);

// What a flat button is made of: the background stays the caption's (the
// group's colour key) unless the pointer is over it or it is pressed.
struct FlatColours {
    COLORREF glyph;
    COLORREF fill;   // LOOK_KEY: the caption shows through
};
#define LOOK_KEY RGB(255, 0, 255)
FlatColours FlatButtonColours(bool dark, bool active, bool hot, bool pressed);
// A rectangle in one colour (draw.cpp).
void Fill(HDC hdc, int left, int top, int right, int bottom, COLORREF colour);

struct OwnFrame;
// The look the group was drawn in last (LOOK_CLASSIC before its first).
int  LookOf(const OwnFrame *own);
// The frame's messages a composited group's buttons may take: KeyedGroupInput is asked about these alone.
inline bool IsKeyedInput(UINT msg)
{
    return msg == WM_NCHITTEST || msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK || msg == WM_SETCURSOR;
}
bool LookIsDark(const OwnFrame *own);
bool LookIsActive(const OwnFrame *own);

// The facts of this frame, asked of the system.
LookFacts FrameLookFacts(HWND frame, bool active);

// The look this frame's group has now, in the frame's process: follows the
// system's settings, the frame's theme and whether the caption is active,
// and redraws the group when any of them changed.
void FollowLook(HWND frame, HWND group);
// Whether the pointer is over this button of a themed or composited group:
// those track it, as the system's own boxes there do.
void TrackHover(HWND group, HWND button);
bool OnHoverTimer(HWND group, UINT msg, WPARAM wParam);
// A composited group's caption pixels let the mouse through to its frame;
// the frame's subclass hands a click there to the button it belongs to.
bool KeyedGroupInput(OwnFrame *own, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT *result);

#endif
