// The buttons' look on frames of each kind: flat on a composited caption (light or dark, active or not, under the
// pointer, pressed), and the visual style's caption-button background on a themed one.
#include "kt.h"

using namespace kt;

struct Shot {   // a rectangle of the screen as it is now, read back at once
    explicit Shot(RECT r) : w(r.right - r.left), h(r.bottom - r.top), px(w * h)
    {
        HDC screen = GetDC(NULL), dc = CreateCompatibleDC(screen);
        BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB}};
        void *bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        for (int i = 0; i < w * h; i++) {
            DWORD c = ((DWORD *)bits)[i];
            px[i] = RGB(c >> 16 & 255, c >> 8 & 255, c & 255);
        }
        SelectObject(dc, old), DeleteObject(bitmap), DeleteDC(dc), ReleaseDC(NULL, screen);
    }
    COLORREF At(int x, int y) const { return px.at(y * w + x); }
    int Count(COLORREF c) const { return (int)std::count(px.begin(), px.end(), c); }
    int w, h;
    std::vector<COLORREF> px;
};

static COLORREF Hex(const char *rgb)
{
    DWORD v = strtoul(rgb, NULL, 16);
    return RGB(v >> 16, v >> 8 & 255, v & 255);
}

// A program whose DWM composes its frame (the test's own dwmapi.dll) and says whether it is dark.
static HWND Composed(Desk &desk, const std::string &args)
{
    const char *native = "native,builtin";
    REQUIRE(!RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\cloakprobe.exe\\DllOverrides",
                             "dwmapi", REG_SZ, native, (DWORD)strlen(native) + 1));
    return desk.Probes(args, 1, Bin() + "cloak\\cloakprobe.exe")[0];
}

TEST_CASE("flat buttons on a composited caption")
{
    struct { const char *paint, *dark; COLORREF active, inactive; } cases[] = {
        {"FFFFC8", "0", RGB(0, 0, 0), RGB(153, 153, 153)},   // a light caption: dark glyphs
        {"202040", "1", RGB(255, 255, 255), RGB(128, 128, 128)},
    };
    Desk desk;
    HWND other = desk.Probe("--rect 600,450,300,200");
    for (const auto &c : cases) {
        CAPTURE(c.paint);
        const COLORREF caption = Hex(c.paint);
        HWND frame = Composed(desk, std::string("--caption 46,30,7,o --paint ") + c.paint + " --dark " + c.dark);
        HWND group = desk.Group(frame);
        REQUIRE((group && Activate(frame)));
        RECT b = Buttons(group)[0].second;
        // The caption's own colour between the strokes, the glyph in the contrasting one, dimmer when inactive.
        CHECK(WaitFor([&] { Shot s(b); return s.At(1, 1) == caption && s.Count(c.active) > 8; }, 5000));
        REQUIRE(Activate(other));
        CHECK(WaitFor([&] { Shot s(b); return s.Count(c.active) == 0 && s.Count(c.inactive) > 8; }, 5000));
        REQUIRE(Activate(frame));
        CHECK(WaitFor([&] { return Shot(b).Count(c.active) > 8; }, 5000));
        // Where the caption shows through, the mouse reaches the frame: it hands the press to the button.
        POINT gap = {b.left + 1, b.top + 1};
        CHECK(SendMessageA(frame, WM_NCHITTEST, 0, MAKELPARAM(gap.x, gap.y)) == HTCLIENT);
        MoveTo(gap);
        CHECK(WaitFor([&] { return Shot(b).At(1, 1) != caption; }, 5000));   // the veil under the pointer
        const COLORREF hot = Shot(b).At(1, 1);
        POINT in = gap;
        ScreenToClient(frame, &in);
        PostMessageA(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(in.x, in.y));
        CHECK(WaitFor([&] { COLORREF p = Shot(b).At(1, 1); return p != caption && p != hot; }, 5000));
        Button(0, false);   // released over it: a click, and the frame rolls up
        CHECK(WaitFor([&] { return Height(frame) < 60; }, 5000));
        MoveTo({gap.x, gap.y + 300});
        CHECK(WaitFor([&] { return Shot(b).At(1, 1) == caption; }, 5000));
        PostMessageA(frame, WM_CLOSE, 0, 0);
    }
    // A frame whose non-client area the DWM leaves to the old drawing keeps the raised face.
    HWND old = Composed(desk, "--old-frame --rect 100,400,400,200"), group = desk.Group(old);
    REQUIRE(group);
    RECT b = Buttons(group)[0].second;
    auto raised = [&] { Shot s(b); return s.At(0, 0) == RGB(255, 255, 255) && s.At(s.w - 1, 0) == RGB(128, 128, 128); };
    CHECK(WaitFor(raised, 5000));
}

TEST_CASE("themed buttons have the visual style's caption-button background")
{
    const char *theme = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";
    REQUIRE(!RegSetKeyValueA(HKEY_CURRENT_USER, theme, "ThemeActive", REG_SZ, "1", 2));
    Desk desk;
    HWND frame = desk.Probe("--rect 100,100,400,300"), group = desk.Group(frame);
    REQUIRE((group && Activate(frame)));
    RECT b = Buttons(group)[0].second;
    const int cx = b.right - b.left, cy = b.bottom - b.top;
    // The same parts drawn here (uxtheme loaded now that the style is on): caption, then minimize box, normal state.
    HMODULE ux = LoadLibraryA("uxtheme.dll");
    REQUIRE(ux);
    auto open = (HANDLE(WINAPI *)(HWND, LPCWSTR))GetProcAddress(ux, "OpenThemeData");
    auto draw = (HRESULT(WINAPI *)(HANDLE, HDC, int, int, const RECT *, const RECT *))GetProcAddress(ux, "DrawThemeBackground");
    HANDLE parts = open(frame, L"WINDOW");
    REQUIRE(parts);
    HDC screen = GetDC(NULL), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, cx, cy);
    SelectObject(dc, bitmap);
    RECT r = {0, 0, cx, cy};
    SetBkColor(dc, GetSysColor(COLOR_ACTIVECAPTION)), ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, NULL, 0, NULL);
    draw(parts, dc, 1, 1, &r, NULL), draw(parts, dc, 15, 1, &r, NULL);
    const COLORREF inside = GetPixel(dc, cx / 2, cy / 3);
    auto drawn = [&] {   // the background's two outer pixels all round as drawn here; inside, Kov's glyph, not the style's
        for (auto &button : Buttons(group)) {
            Shot s(button.second);
            for (int y = 0; y < cy; y++)
                for (int x = 0; x < cx; x++) {
                    bool ring = x < 2 || y < 2 || x >= cx - 2 || y >= cy - 2;
                    if (ring ? s.At(x, y) != GetPixel(dc, x, y)
                             : GetPixel(dc, x, y) != inside && s.At(x, y) == GetPixel(dc, x, y))
                        return false;
                }
        }
        return Shot(b).Count(RGB(0, 0, 128)) > 4;   // the roll-up glyph's navy arrow
    };
    CHECK(WaitFor(drawn, 5000));
    DeleteDC(dc), DeleteObject(bitmap), ReleaseDC(NULL, screen);
    RegSetKeyValueA(HKEY_CURRENT_USER, theme, "ThemeActive", REG_SZ, "0", 2);
}

// The library's glyph pictures of 16 and 24 pixels, by action.
static const struct { int action, id16, id24; } Pictures[] = {
    {ACTION_ROLLUP, 0x7046, 0x7061}, {ACTION_STARTMENU, 0x7003, 0x7062}, {ACTION_TASKLIST, 0x700E, 0x7063},
    {ACTION_USERCMD, 0x7010, 0x7065}, {ACTION_CLOSE, 0x7001, 0x7060}, {ACTION_HIDE, 0x700A, 0x7064},
};

TEST_CASE("flat glyphs are their pictures' own pixels, not stretched, at 96 and 144 dpi")
{
    for (DWORD dpi : {96, 144}) {
        CAPTURE(dpi);
        REQUIRE(!RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi, 4));
        Desk desk;
        const int size = dpi == 144 ? 24 : 16;   // the picture for the caption's size: 1.5 times as large
        std::string caption = std::to_string(46 * dpi / 96) + "," + std::to_string(30 * dpi / 96) + "," +
                              std::to_string(7 * dpi / 96);
        HWND frame = Composed(desk, "--caption " + caption + ",o --paint FFFFFF --dark 0"), group = desk.Group(frame);
        REQUIRE((group && Activate(frame)));
        HMODULE dll = GetModuleHandleA(desk.Path(KOVHOOK).c_str());
        REQUIRE(Buttons(group).size() == 3);
        for (const auto &button : Buttons(group)) {
            CAPTURE(button.first);
            const RECT r = button.second;
            const auto *picture = std::find_if(std::begin(Pictures), std::end(Pictures),
                                               [&](const auto &p) { return p.action == button.first; });
            REQUIRE(picture != std::end(Pictures));
            HBITMAP bitmap = LoadBitmapA(dll, MAKEINTRESOURCEA(size == 24 ? picture->id24 : picture->id16));
            HDC dc = CreateCompatibleDC(NULL);
            SelectObject(dc, bitmap);
            const int x0 = (r.right - r.left - size) / 2, y0 = (r.bottom - r.top - size) / 2;
            auto same = [&] {   // black exactly where the picture has a mark (neither silver nor white)
                Shot s(r);
                for (int y = 0; y < size; y++)
                    for (int x = 0; x < size; x++) {
                        COLORREF p = GetPixel(dc, x, y);
                        if ((p != RGB(192, 192, 192) && p != RGB(255, 255, 255)) != (s.At(x0 + x, y0 + y) == 0))
                            return false;
                    }
                return true;
            };
            CHECK(WaitFor(same, 5000));
            DeleteDC(dc), DeleteObject(bitmap);
        }
        PostMessageA(frame, WM_CLOSE, 0, 0);
    }
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
}
