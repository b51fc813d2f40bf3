// The look of a group: classic, themed or composited, chosen per frame and
// followed as the system's settings and the frame's state change. Only the
// frame's own thread asks and draws, so what it knows stays in the
// process's record of the frame.
#include "share.h"
#include "look.h"
#include "sysapi.h"

#define LOOK_STATE_KNOWN  0x80
#define LOOK_STATE_DARK   0x04
#define LOOK_STATE_ACTIVE 0x08
#define HOVER_TIMER       0x4B48
#define HOVER_POLL_MS     50

ButtonLook ChooseLook(const LookFacts &facts)
{
    // Composition draws the frame flat from Windows 8 on, with or without a
    // visual style (the high-contrast set has none).
    if (facts.composed)
        return LOOK_COMPOSITED;
    return facts.themed ? LOOK_THEMED : LOOK_CLASSIC;
}

// Perceived lightness, as the eye weighs the three primaries.
static int Lightness(COLORREF colour)
{
    return (299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour)) / 1000;
}

bool IsDarkCaption(const LookFacts &facts)
{
    if (facts.darkMode >= 0)
        return facts.darkMode != 0;
    return Lightness(facts.caption) < 128;
}

// The system's own flat boxes: black or white glyphs, grey when the frame is
// inactive, a light veil under the pointer and a stronger one while pressed.
FlatColours FlatButtonColours(bool dark, bool active, bool hot, bool pressed)
{
    FlatColours colours;
    if (dark) {
        colours.glyph = active ? RGB(255, 255, 255) : RGB(128, 128, 128);
        colours.fill = pressed ? RGB(102, 102, 102) : hot ? RGB(64, 64, 64) : LOOK_KEY;
    } else {
        colours.glyph = active ? RGB(0, 0, 0) : RGB(153, 153, 153);
        colours.fill = pressed ? RGB(204, 204, 204) : hot ? RGB(229, 229, 229) : LOOK_KEY;
    }
    return colours;
}

LookFacts FrameLookFacts(HWND frame, bool active)
{
    LookFacts facts = {};
    HANDLE theme = OpenFrameTheme(frame);
    facts.themed = theme != NULL;
    CloseFrameTheme(theme);
    // A frame may have its non-client area drawn the old way even so.
    BOOL drawnByDwm = TRUE;
    facts.composed = CompositionEnabled() &&
                     (!DwmAttribute(frame, KOV_DWMWA_NCRENDERING_ENABLED, &drawnByDwm,
                                    sizeof(drawnByDwm)) ||
                      drawnByDwm);
    // Only a composed caption's darkness decides anything.
    DWORD dark = 0;
    facts.darkMode = -1;
    if (facts.composed && (DwmAttribute(frame, KOV_DWMWA_DARK_MODE, &dark, sizeof(dark)) ||
                           DwmAttribute(frame, KOV_DWMWA_DARK_MODE_OLD, &dark, sizeof(dark))))
        facts.darkMode = dark != 0;
    COLORREF colour = KOV_DWMWA_COLOR_DEFAULT;
    if (!facts.composed || !DwmAttribute(frame, KOV_DWMWA_CAPTION_COLOR, &colour, sizeof(colour)) ||
        colour == KOV_DWMWA_COLOR_DEFAULT)
        colour = GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
    facts.caption = colour;
    return facts;
}

void FollowLook(HWND frame, HWND group)
{
    OwnFrame *own = OwnFrameCS(frame);
    if (!own || own->group != group || !group)
        return;
    LookFacts facts = FrameLookFacts(frame, own->CaptionActive != 0);
    BYTE look = (BYTE)ChooseLook(facts);
    // Without colour keys (Windows 95, NT 4) the caption cannot show through.
    if (look == LOOK_COMPOSITED && !SetColourKey(group, LOOK_KEY))
        look = LOOK_CLASSIC;
    if (look != LOOK_COMPOSITED)
        SetColourKey(group, CLR_INVALID);
    BYTE state = LOOK_STATE_KNOWN | look;
    // The classic face is the same whether the frame is active or not.
    if (look != LOOK_CLASSIC && own->CaptionActive)
        state |= LOOK_STATE_ACTIVE;
    if (look == LOOK_COMPOSITED && IsDarkCaption(facts))
        state |= LOOK_STATE_DARK;
    if (state == own->LookState)
        return;
    own->LookState = state;
    RedrawWindow(group, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

int LookOf(const OwnFrame *own)
{
    return own && (own->LookState & LOOK_STATE_KNOWN) ? (own->LookState & 3) : LOOK_CLASSIC;
}

bool LookIsDark(const OwnFrame *own) { return own && (own->LookState & LOOK_STATE_DARK); }
bool LookIsActive(const OwnFrame *own) { return own && (own->LookState & LOOK_STATE_ACTIVE); }

static void SetHot(OwnFrame *own, HWND button)
{
    if (own->Hot == button)
        return;
    if (own->Hot)
        InvalidateRect(own->Hot, NULL, FALSE);
    own->Hot = button;
    if (button)
        InvalidateRect(button, NULL, FALSE);
}

// The group hears of the pointer through its buttons' WM_SETCURSOR; a short
// poll while it is over one says when it left, on every system alike.
void TrackHover(HWND group, HWND button)
{
    OwnFrame *own = OwnGroupCS(group);
    if (!own || LookOf(own) == LOOK_CLASSIC || GetParent(button) != group)
        return;
    if (own->Hot != button)
        SetTimer(group, HOVER_TIMER, HOVER_POLL_MS, NULL);
    SetHot(own, button);
}

// The group's button at a screen point, or NULL.
static HWND ButtonAt(HWND group, POINT at)
{
    RECT place;
    GetWindowRect(group, &place);
    if (!PtInRect(&place, at))
        return NULL;
    POINT inGroup = {at.x - place.left, at.y - place.top};
    HWND button = ChildWindowFromPoint(group, inGroup);
    return button != group ? button : NULL;
}

bool OnHoverTimer(HWND group, UINT msg, WPARAM wParam)
{
    if (msg != WM_TIMER || wParam != HOVER_TIMER)
        return false;
    OwnFrame *own = OwnGroupCS(group);
    POINT at;
    GetCursorPos(&at);
    HWND under = WindowFromPoint(at);
    // Over a caption pixel between the glyph's strokes, the frame is under
    // the pointer; the button there is still the one it is over.
    if (own && under == own->hwnd)
        under = ButtonAt(group, at);
    if (!own || under != own->Hot) {
        if (own)
            SetHot(own, NULL);
        KillTimer(group, HOVER_TIMER);
    }
    return true;
}

// The button of a composited group at a screen point, or NULL.
static HWND KeyedButtonAt(const OwnFrame *own, POINT at)
{
    if (!own || !own->group || LookOf(own) != LOOK_COMPOSITED || !IsWindowVisible(own->group))
        return NULL;
    return ButtonAt(own->group, at);
}

bool KeyedGroupInput(OwnFrame *own, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT *result)
{
    if (LookOf(own) != LOOK_COMPOSITED)
        return false;
    POINT at;
    at.x = (short)LOWORD(lParam), at.y = (short)HIWORD(lParam);
    if (msg == WM_SETCURSOR)
        GetCursorPos(&at);
    else if (msg != WM_NCHITTEST)
        ClientToScreen(own->hwnd, &at);
    HWND button = KeyedButtonAt(own, at);
    if (!button)
        return false;
    switch (msg) {
    case WM_NCHITTEST:
        // The client's messages come to the frame, which passes them on.
        *result = HTCLIENT;
        return true;
    case WM_SETCURSOR:
        SetCursor(LoadCursorA(NULL, IDC_ARROW));
        TrackHover(own->group, button);
        *result = TRUE;
        return true;
    default: {
        // The button takes the mouse from here, as after a press on itself.
        POINT inButton = at;
        ScreenToClient(button, &inButton);
        SendMessageA(button, msg, wParam, MAKELPARAM(inButton.x, inButton.y));
        *result = 0;
        return true;
    }
    }
}
