// Drawing a group's buttons in the look of their frame (look.cpp chooses
// it). The glyphs are the same pictures in every look: their pixels are
// only ever repeated whole, never stretched.
#include "share.h"
#include "../common/actions.h"
#include "look.h"
#include "sysapi.h"

#define FACE_PRESSED   0x7041
#define FACE_UP        0x7052
#define GLYPH_SMALL    13
#define GLYPH_MEDIUM   16
#define GLYPH_LARGE    24
#define MEDIUM_FROM    18   // button heights from here get the 16-pixel set
#define LARGE_FROM     26   // and from here the 24-pixel set

struct GlyphSet {
    int action;
    int small, medium, large;
};

// Glyph resources by action and size; in the 16-pixel set the id is the
// action code. There is no 13-pixel close glyph.
static const GlyphSet Glyphs[] = {
    {ACTION_CLOSE, 0x7001, 0x7001, 0x7060},
    {ACTION_ROLLUP, 0x7070, 0x7046, 0x7061},
    {ACTION_STARTMENU, 0x7071, 0x7003, 0x7062},
    {ACTION_TASKLIST, 0x7072, 0x700E, 0x7063},
    {ACTION_HIDE, 0x7073, 0x700A, 0x7064},
    {ACTION_USERCMD, 0x7074, 0x7010, 0x7065},
};

static int GlyphSize(int cyButton)
{
    if (cyButton < MEDIUM_FROM)
        return GLYPH_SMALL;
    return cyButton < LARGE_FROM ? GLYPH_MEDIUM : GLYPH_LARGE;
}

static int GlyphId(int action, int size)
{
    for (const GlyphSet &set : Glyphs) {
        if (set.action == action)
            return size == GLYPH_SMALL ? set.small : size == GLYPH_MEDIUM ? set.medium : set.large;
    }
    return 0;
}

void DrawBitmap(HDC hdc, HBITMAP bitmap, short x, short y, short cx, short cy)
{
    HDC memory = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetMapMode(memory, GetMapMode(hdc));
    BITMAP info;
    GetObjectA(bitmap, sizeof(info), &info);
    POINT size = {info.bmWidth, info.bmHeight};
    DPtoLP(hdc, &size, 1);
    POINT origin = {0, 0};
    DPtoLP(memory, &origin, 1);
    POINT target = {cx, cy};
    DPtoLP(hdc, &target, 1);
    if ((cx == 0 && cy == 0) || (cx == info.bmWidth && cy == info.bmHeight))
        BitBlt(hdc, x, y, size.x, size.y, memory, origin.x, origin.y, SRCCOPY);
    else
        StretchBlt(hdc, x, y, target.x, target.y, memory, origin.x, origin.y, size.x, size.y,
                   SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

// The face stretched over the whole button, the glyph centred inside the
// button's 1-pixel border, one pixel further down and right while pressed.
static void DrawClassic(const WinRecord &rec, const DRAWITEMSTRUCT *item)
{
    int size = GlyphSize(rec.cyButton);
    int glyphId = GlyphId((int)item->CtlID, size);
    bool pressed = (item->itemState & ODS_SELECTED) != 0;
    HBITMAP face = LoadBitmapA(hInstKovDll, MAKEINTRESOURCEA(pressed ? FACE_PRESSED : FACE_UP));
    HBITMAP glyph = glyphId ? LoadBitmapA(hInstKovDll, MAKEINTRESOURCEA(glyphId)) : NULL;
    int offset = pressed ? 2 : 1;
    int x = offset, y = offset;
    if (rec.cxButton - 2 > size)
        x += (rec.cxButton - 2 - size) / 2;
    if (rec.cyButton - 2 > size)
        y += (rec.cyButton - 2 - size) / 2;
    if (face)
        DrawBitmap(item->hDC, face, 0, 0, rec.cxButton, rec.cyButton);
    if (glyph) {
        // Shifted while pressed, the glyph would cover the face's edge.
        int saved = SaveDC(item->hDC);
        IntersectClipRect(item->hDC, 1, 1, rec.cxButton - 1, rec.cyButton - 1);
        DrawBitmap(item->hDC, glyph, (short)x, (short)y, 0, 0);
        RestoreDC(item->hDC, saved);
    }
    if (face)
        DeleteObject(face);
    if (glyph)
        DeleteObject(glyph);
}

// The visual style's caption-button parts (WINDOW class).
#define PART_CAPTION   1
#define PART_MINBUTTON 15
#define STATE_NORMAL   1
#define STATE_HOT      2
#define STATE_PUSHED   3
#define STATES_INACTIVE 4   // the same states again, for an inactive frame
#define GLYPH_MOST     24   // the largest picture; larger glyphs repeat its pixels
#define SILVER         RGB(192, 192, 192)

// The glyph for a flat or themed button: the largest picture that leaves
// the caption's margin around it; from 200 % on, where the pictures run
// out, a whole multiple of one.
#define GLYPH_SCALED_FROM 32
static int GlyphScale(int cyButton, int *base)
{
    static const int bases[] = {GLYPH_SMALL, GLYPH_MEDIUM, GLYPH_LARGE};
    int limit = cyButton * 3 / 5, best = GLYPH_SMALL, scale = 1;
    for (int k = 1; k <= 4; k++)
        for (int b : bases)
            if (b * k <= limit && b * k > best * scale && (k == 1 || b * k >= GLYPH_SCALED_FROM))
                best = b, scale = k;
    *base = best;
    return scale;
}

struct GlyphPixels {
    int size;
    COLORREF px[GLYPH_MOST * GLYPH_MOST];
};

static bool ReadGlyph(HDC hdc, int action, int base, GlyphPixels *glyph)
{
    int id = GlyphId(action, base);
    HBITMAP bitmap = id ? LoadBitmapA(hInstKovDll, MAKEINTRESOURCEA(id)) : NULL;
    if (!bitmap)
        return false;
    BITMAP info;
    // There is no small close picture: the medium one serves.
    bool ok = GetObjectA(bitmap, sizeof(info), &info) && info.bmWidth == info.bmHeight &&
              info.bmWidth <= GLYPH_MOST;
    if (ok) {
        base = info.bmWidth;
        BITMAPINFO bits = {};
        bits.bmiHeader.biSize = sizeof(bits.bmiHeader);
        bits.bmiHeader.biWidth = base;
        bits.bmiHeader.biHeight = -base;   // top row first
        bits.bmiHeader.biPlanes = 1;
        bits.bmiHeader.biBitCount = 32;
        bits.bmiHeader.biCompression = BI_RGB;
        ok = GetDIBits(hdc, bitmap, 0, base, glyph->px, &bits, DIB_RGB_COLORS) == base;
        glyph->size = base;
        // The DIB's order is blue, green, red: a COLORREF's the other way round.
        for (int i = 0; ok && i < base * base; i++) {
            COLORREF c = glyph->px[i] & 0xFFFFFF;
            glyph->px[i] = RGB(GetBValue(c), GetGValue(c), GetRValue(c));
        }
    }
    DeleteObject(bitmap);
    return ok;
}

void Fill(HDC hdc, int left, int top, int right, int bottom, COLORREF colour)
{
    RECT r = {left, top, right, bottom};
    SetBkColor(hdc, colour);
    ExtTextOutA(hdc, 0, 0, ETO_OPAQUE, &r, NULL, 0, NULL);
}

// Each pixel of the picture as a scale-by-scale square, runs of one colour
// at once; silver is the picture's background, and a flat glyph (ink) is
// only its outline and marks: white is left out too.
static void DrawGlyph(HDC hdc, const GlyphPixels &glyph, int x, int y, int scale, COLORREF ink,
                      bool flat)
{
    for (int row = 0; row < glyph.size; row++) {
        const COLORREF *line = glyph.px + row * glyph.size;
        for (int col = 0; col < glyph.size;) {
            COLORREF c = line[col];
            bool blank = c == SILVER || (flat && c == RGB(255, 255, 255));
            int end = col + 1;
            while (end < glyph.size && line[end] == c)
                end++;
            if (!blank)
                Fill(hdc, x + col * scale, y + row * scale, x + end * scale,
                     y + (row + 1) * scale, flat ? ink : c);
            col = end;
        }
    }
}

// Flat: the caption itself behind the glyph (the group's colour key), a
// veil under the pointer and while pressed.
static void DrawFlat(const OwnFrame *own, const DRAWITEMSTRUCT *item, const GlyphPixels &glyph,
                     int scale)
{
    const RECT &r = item->rcItem;
    bool pressed = (item->itemState & ODS_SELECTED) != 0;
    FlatColours colours = FlatButtonColours(LookIsDark(own), LookIsActive(own),
                                            own->Hot == item->hwndItem, pressed);
    Fill(item->hDC, r.left, r.top, r.right, r.bottom, colours.fill);
    int size = glyph.size * scale;
    DrawGlyph(item->hDC, glyph, r.left + (r.right - r.left - size) / 2,
              r.top + (r.bottom - r.top - size) / 2, scale, colours.glyph, true);
}

// Themed: the style's caption behind its caption-button background, whose
// own glyph Kov's covers with the button's inside colour. Drawn off the
// screen first: the inside is read back from it.
static bool DrawThemed(HWND frame, const OwnFrame *own, const DRAWITEMSTRUCT *item,
                       const GlyphPixels &glyph, int scale)
{
    HANDLE theme = OpenFrameTheme(frame);
    if (!theme)
        return false;
    int cx = item->rcItem.right - item->rcItem.left, cy = item->rcItem.bottom - item->rcItem.top;
    bool pressed = (item->itemState & ODS_SELECTED) != 0;
    int state = pressed ? STATE_PUSHED : own->Hot == item->hwndItem ? STATE_HOT : STATE_NORMAL;
    bool active = LookIsActive(own);
    if (!active)
        state += STATES_INACTIVE;
    HDC memory = CreateCompatibleDC(item->hDC);
    HBITMAP canvas = CreateCompatibleBitmap(item->hDC, cx, cy);
    HGDIOBJ old = canvas ? SelectObject(memory, canvas) : NULL;
    RECT r = {0, 0, cx, cy};
    bool ok = canvas && memory;
    if (ok) {
        Fill(memory, 0, 0, cx, cy, GetSysColor(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        DrawThemePart(theme, memory, PART_CAPTION, active ? 1 : 2, &r);
        ok = DrawThemePart(theme, memory, PART_MINBUTTON, state, &r);
    }
    if (ok) {
        int size = glyph.size * scale;
        int x = (cx - size) / 2 + pressed, y = (cy - size) / 2 + pressed;
        COLORREF inside = GetPixel(memory, cx / 2, cy / 3);
        if (inside != CLR_INVALID)
            Fill(memory, x, y, x + size, y + size, inside);
        DrawGlyph(memory, glyph, x, y, scale, 0, false);
        BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, cx, cy, memory, 0, 0, SRCCOPY);
    }
    if (old)
        SelectObject(memory, old);
    if (canvas)
        DeleteObject(canvas);
    if (memory)
        DeleteDC(memory);
    CloseFrameTheme(theme);
    return ok;
}

void DrawButton(const WinRecord &rec, HWND group, const DRAWITEMSTRUCT *item)
{
    const OwnFrame *own = OwnGroupCS(group);
    int look = LookOf(own);
    if (look != LOOK_CLASSIC) {
        GlyphPixels glyph;
        int base, scale = GlyphScale(rec.cyButton, &base);
        if (ReadGlyph(item->hDC, (int)item->CtlID, base, &glyph) &&
            (look == LOOK_COMPOSITED ? (DrawFlat(own, item, glyph, scale), true)
                                     : DrawThemed(rec.hwnd, own, item, glyph, scale)))
            return;
    }
    DrawClassic(rec, item);
}
