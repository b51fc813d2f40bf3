// The library's window table, its mutexes and its log, linked in and run against real windows and threads.
#include <doctest.h>
#include "common/actions.h"
#include "common/handles.h"
#include "hook/debuglog.h"
#include "hook/caption.h"
#include "hook/look.h"
#include "hook/share.h"

#include <aclapi.h>
#include <sddl.h>
#include <string.h>
#include <string>

static const UINT WM_PROBE = WM_APP + 1;
static int Probed;

static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return msg == WM_PROBE ? ++Probed : DefWindowProcA(hwnd, msg, wParam, lParam);
}

static HWND Frame(HWND parent = NULL)
{
    static WNDCLASSA wc = {0, FrameProc, 0, 0, 0, 0, 0, 0, 0, "KovUnitFrame"};
    static const bool registered = RegisterClassA(&wc) != 0;
    REQUIRE(registered);
    HWND hwnd = CreateWindowExA(0, "KovUnitFrame", "", parent ? WS_CHILD : WS_POPUP, 0, 0, 50, 20,
                                parent, NULL, NULL, NULL);
    REQUIRE(hwnd);
    return hwnd;
}

static bool Runs(HWND w, WNDPROC proc) { return GetWindowLongPtrA(w, GWLP_WNDPROC) == (LONG_PTR)proc; }

TEST_CASE("the window table")
{
    HWND a = Frame(), b = Frame(), c = Frame();
    int id = -1;
    for (HWND hwnd : {a, b, c})
        CHECK((AllocWindowIndex(hwnd, &id) == 0 && id == Tb->HookedWindowCnt - 1));
    CHECK(Runs(a, SubclassProc));
    CHECK(SendMessageA(a, WM_PROBE, 0, 0) == 1);   // its own procedure, once
    // A released record is the next one taken.
    REQUIRE(FreeWindowIndex(b, FALSE) == 0);
    CHECK((Runs(b, FrameProc) && Tb->HookedWindowCnt == 2 && FreeWindowIndex(b, FALSE) == -1));
    CHECK((AllocWindowIndex(b, &id) == 0 && id == 1));
    // A group's buttons are found through the group.
    HWND group = Frame(), button = Frame(group);
    Tb->Win[0].hwndButtons = group;
    CHECK((GetButtonWindowIndex(button, TRUE) == 0 && GetButtonWindowIndex(button, FALSE) == -1));
    // A destroyed frame releases its record; releasing all restores all.
    DestroyWindow(c);
    CHECK(GetWindowIndex(c) == -1);
    REQUIRE(FreeWindowIndex(0, TRUE) == 0);
    CHECK((Tb->HookedWindowCnt == 0 && Runs(a, FrameProc)));
}

// Another thread's try for the mutex, the result of its wait; it ends owning it (abandoning it) or gives it back.
struct Try { const char *name; bool abandon; DWORD wait; };

static DWORD WINAPI TryMutex(void *param)
{
    Try *t = (Try *)param;
    HANDLE mutex = CreateMutexA(NULL, FALSE, t->name);
    t->wait = WaitForSingleObject(mutex, 2000);
    if (!t->abandon)
        ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

static DWORD Other(const char *name, bool abandon)
{
    Try t = {name, abandon, WAIT_FAILED};
    HANDLE thread = CreateThread(NULL, 0, TryMutex, &t, 0, NULL);
    WaitForSingleObject(thread, 10000), CloseHandle(thread);
    return t.wait;
}

TEST_CASE("the mutexes: released for others; an abandoned one reported once, then clean")
{
    const char *name = "KovUnitMutex";
    HANDLE keep = CreateMutexA(NULL, FALSE, name), mutex;   // the name outlives its owners
    REQUIRE((GetMutexCS(&mutex, name, 0) == 0 && ReleaseMutexCS(mutex) == 0));
    CHECK((Other(name, false) == WAIT_OBJECT_0 && Other(name, true) == WAIT_OBJECT_0));
    CHECK(GetMutexCS(&mutex, name, 1000) == -1);
    CHECK(Other(name, false) == WAIT_OBJECT_0);
    ReleaseMutexCS(mutex);
    CHECK((GetMutexCS(&mutex, name, 0) == 0 && ReleaseMutexCS(mutex) == 0));
    CloseHandle(keep);
}

TEST_CASE("the log writes the messages within its level")
{
    char temp[MAX_PATH];
    std::string file = std::string(temp, GetTempPathA(sizeof(temp), temp)) + "kovlog.txt";
    DebugFileCS = file.c_str(), DebugLevelCS = 2;
    for (int level = -1; level <= 4; level++)
        DebugMessageCS(level, "level %d", level);
    char text[128] = "";
    FILE *log = fopen(file.c_str(), "rb");
    REQUIRE(log);
    text[fread(text, 1, sizeof(text) - 1, log)] = 0, fclose(log);
    CHECK(std::string(text) == "level -1\r\nlevel 0\r\nlevel 1\r\nlevel 2\r\n");
}

TEST_CASE("a group made of a system button stacks itself once, not every half second")
{
    HWND frame = Frame(), group = CreateWindowExA(0, "button", "", WS_POPUP, 0, 0, 50, 20, frame,
                                                  NULL, GetModuleHandleA(NULL), NULL);
    int index;
    REQUIRE(AllocWindowIndex(frame, &index) == 0);
    Tb->Win[index].hwndButtons = group;
    OwnFrameCS(frame)->group = group;
    OwnFrameCS(frame)->OldButtonsProc = (WNDPROC)SetWindowLongPtrA(group, GWLP_WNDPROC, (LONG_PTR)SubclassButtonProc);
    SetTimer(group, RESTACK_TIMER, 10, NULL);
    MSG msg;
    REQUIRE(GetMessageA(&msg, group, WM_TIMER, WM_TIMER) > 0);
    DispatchMessageA(&msg);
    CHECK_FALSE(KillTimer(group, RESTACK_TIMER));   // gone with the first tick
    FreeWindowIndex(0, TRUE), DestroyWindow(frame);
}

TEST_CASE("task-list letters never split a double-byte character")
{
    REQUIRE(IsDBCSLeadByte(0x83));   // Shift-JIS
    ControllerView()->IsDBCS = 1;
    TaskListContext context = {{'M', 'U'}, 2, 0};
    const char *rows[][2] = {{" \x83\x41\x83\x43", "&\x83\x41\x83\x43"},   // katakana first
                             {" \x83\x41" "Bc", "\x83\x41" "&Bc"},          // the same: B is free
                             {" \x83\x41\x83\x43", "\x83\x41\x83\x43"}};     // nothing free
    for (const auto &row : rows) {
        char entry[32];
        CHECK(std::string(AddMnemonic(strcpy(entry, row[0]), &context)) == row[1]);
    }
    ControllerView()->IsDBCS = 0;
}

TEST_CASE("handles through 32 bits: the low half in, sign-extended out")
{
    const struct { uint64_t handle; uint32_t stored; } rows[] = {
        {0x10020, 0x10020}, {0x7FFFFFFE, 0x7FFFFFFE},
        {(uint64_t)(int64_t)(int32_t)0x80001234, 0x80001234}, {~0ull, 0xFFFFFFFF}};
    for (const auto &row : rows) {
        HWND hwnd = (HWND)(ULONG_PTR)row.handle;   // in 32 bits, the low half of each
        CAPTURE(row.stored);
        CHECK((HandleTo32(hwnd) == row.stored && HwndFrom32(row.stored) == hwnd));
    }
}

// Another program rewrites the undo record's count, now in range, now 2 GB past it, while minimize-all fills it.
static volatile LONG Flipping;
static DWORD WINAPI FlipCount(void *)
{
    for (int32_t n = 0; Flipping; n ^= 0x20000000) *(volatile int32_t *)&St->UnMinAll.Count = n;
    return 0;
}

TEST_CASE("minimize-all under a count another program rewrites: a window is recorded where the count was checked")
{
    HWND frame = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, 0, 0, 0, 0);
    HANDLE flipper = (Flipping = 1, CreateThread(NULL, 0, FlipCount, NULL, 0, NULL));
    int taken = 0, passed = 0;   // a busy machine seldom runs both threads at once: many tries
    for (DWORD start = GetTickCount(); taken < 1000 && GetTickCount() - start < 20000;)
        MinimizeWindow(frame, 0), IsIconic(frame) ? taken++, ShowWindow(frame, SW_RESTORE) : passed++;
    Flipping = 0, WaitForSingleObject(flipper, 5000), CloseHandle(flipper), DestroyWindow(frame);
    CHECK((taken > 0 && passed > 0));   // both counts were met
}

TEST_CASE("a thread the companion passed over is known by its process too: its id may come back in another program")
{
    RememberForeign(0x1234, 100);
    CHECK((IsForeignThread(0x1234, 100) && !IsForeignThread(0x1234, 200) && !IsForeignThread(0x1238, 100)));
}

TEST_CASE("a process that lets go of the desktop-wide record leaves it to the others, and the last one ends it")
{
    char name[KOV_SHARED_NAME_SIZE];
    KovObjectName(name, sizeof(name), KOV_SHARED_NAME, TRUE);
    REQUIRE((OpenKovShared(1) == SHARED_OPEN && IsAttachedCS()));
    HANDLE other = OpenFileMappingA(FILE_MAP_READ, FALSE, name);   // another program's hold
    REQUIRE(other);
    DetachSharedCS();
    HANDLE again = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
    CHECK((!IsAttachedCS() && Sh->Suspend && again));
    CloseHandle(again), CloseHandle(other);
    CHECK(!OpenFileMappingA(FILE_MAP_READ, FALSE, name));
}

TEST_CASE("a host sees the controllers' part of the record read-only, and a controller that comes later may write it")
{
    auto Protection = [](const void *at) {
        MEMORY_BASIC_INFORMATION m = {}; return VirtualQuery(at, &m, sizeof(m)) ? m.Protect : 0; };
    char name[KOV_SHARED_NAME_SIZE];
    KovObjectName(name, sizeof(name), KOV_SHARED_NAME, TRUE);
    REQUIRE(OpenKovShared(1) == SHARED_OPEN);
    HANDLE hold = OpenFileMappingA(FILE_MAP_READ, FALSE, name);   // the main's, meanwhile
    REQUIRE(hold);
    DetachSharedCS();
    HWND frame = CreateWindowA("STATIC", "", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 99, 50, 0, 0, 0, 0);
    HWND bare = CreateWindowA("STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 99, 50, 0, 0, 0, 0);
    AttachSharedCS();   // as the hooks do, entering a program: its windows made meanwhile are offered
    ControllerView()->Suspend = 0;   // what a host's stray write would do
    CHECK((IsAttachedCS() && Protection(Sh) == PAGE_READONLY && Protection(&St->hwndScroll) == PAGE_READWRITE &&
           Sh->Suspend == 1 && !GetKovShared()));
    MSG offer;
    CHECK((PeekMessageA(&offer, frame, CreateAllBtnsMsg, CreateAllBtnsMsg, PM_REMOVE) &&
           !PeekMessageA(&offer, bare, CreateAllBtnsMsg, CreateAllBtnsMsg, PM_REMOVE)));
    DestroyWindow(frame), DestroyWindow(bare);
    REQUIRE(OpenKovShared(0) == SHARED_OPEN);
    CHECK((Protection(Sh) == PAGE_READWRITE && GetKovShared() == Sh && ControllerView() == Sh));
    DetachSharedCS(), CloseHandle(hold);
}

// What another user's program could do first: make Kov's objects, with room for everyone.
TEST_CASE("the record and the tables are the user's alone; ones another user made first are refused, not used")
{
    char record[KOV_SHARED_NAME_SIZE], table[KOV_SHARED_NAME_SIZE];
    KovObjectName(record, sizeof(record), KOV_SHARED_NAME, TRUE);
    KovObjectName(table, sizeof(table), KOV_TABLE_NAME, TRUE);
    PSECURITY_DESCRIPTOR foreign = NULL;
    REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorA("O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &foreign, NULL));
    SECURITY_ATTRIBUTES sa = {sizeof(sa), foreign, FALSE};
    for (const char *name : {record, table}) {
        CAPTURE(name);
        HANDLE squat = CreateFileMappingA(INVALID_HANDLE_VALUE, &sa, PAGE_READWRITE, 0, sizeof(KovTable), name);
        REQUIRE(squat);
        HANDLE other = name == table ? CreateFileMappingA(INVALID_HANDLE_VALUE, NULL, PAGE_READWRITE, 0, 4096, record) : NULL;
        CHECK((OpenKovShared(0) == SHARED_NOT_OWN && OpenKovShared(1) == SHARED_NOT_OWN && !IsAttachedCS()));
        CloseHandle(other), CloseHandle(squat);
    }
    LocalFree(foreign);
    REQUIRE((OpenKovShared(1) == SHARED_OPEN && IsAttachedCS()));
    BYTE buffer[256];
    DWORD needed;
    HANDLE token;
    REQUIRE((OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
             GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &needed)));
    CloseHandle(token);
    for (const char *name : {record, table}) {
        CAPTURE(name);
        HANDLE made = OpenFileMappingA(READ_CONTROL, FALSE, name);
        PSID owner = NULL;
        PACL dacl = NULL;
        PSECURITY_DESCRIPTOR sd = NULL;
        REQUIRE((made && GetSecurityInfo(made, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                         &owner, NULL, &dacl, NULL, &sd) == ERROR_SUCCESS));
        ACCESS_ALLOWED_ACE *ace = NULL;
        CHECK((KovIsOwnObject(made) && dacl && dacl->AceCount == 1 && GetAce(dacl, 0, (void **)&ace) &&
               EqualSid((PSID)&ace->SidStart, ((TOKEN_USER *)buffer)->User.Sid)));
        LocalFree(sd), CloseHandle(made);
    }
    DetachSharedCS();
}

TEST_CASE("in a controller, the hooks pass on calls about another process's windows, none or a dead one untouched")
{
    HWND other = FindWindowA("Shell_TrayWnd", NULL);   // the shell's, another process's
    REQUIRE(other);
    HWND dead = Frame();
    DestroyWindow(dead);
    KovShared *w = ControllerView();
    KovIsHooked = 1, w->Suspend = 0;   // as in a controller, Kov enabled
    w->Op.MouseAction[SLOT_MIDDLE].ActionId = ACTION_SCROLLPAGE;
    for (HWND hwnd : {other, (HWND)NULL, dead}) {
        CAPTURE(hwnd);
        MSG msg = {hwnd, KM_NEWWINDOW};
        GetMsgHookProc(HC_ACTION, PM_REMOVE, (LPARAM)&msg);
        CHECK(msg.message == KM_NEWWINDOW);   // not taken
        MOUSEHOOKSTRUCT mouse = {{1, 1}, hwnd};
        CHECK((MouseHookProc(HC_ACTION, WM_MBUTTONDOWN, (LPARAM)&mouse) == 0 && !St->TrappedMBtnDown && !St->hwndScroll));
    }
    St->hwndShutdownManager = other;
    MSG select = {other, WM_MENUSELECT, MAKEWPARAM(506, MF_HILITE)};
    SysMsgHookProc(MSGF_MENU, 0, (LPARAM)&select);
    CHECK(!St->SysShutdownSelected);
    KovIsHooked = 0, w->Suspend = 1, St->hwndShutdownManager = 0;
}

// The caption's boxes from the frame's answers: what a frame of today's Windows or a buggy program could say.
TEST_CASE("the boxes a frame reports through WM_GETTITLEBARINFOEX")
{
    const RECT window = {100, 100, 500, 400};
    auto box = [](int left, int right) { return RECT{left, 101, right, 131}; };
    const RECT minimize = box(309, 355), help = box(263, 309), outside = box(480, 520);
    const DWORD hidden = KOV_STATE_INVISIBLE, off = KOV_STATE_OFFSCREEN;
    const struct { bool answered; RECT parts[4]; DWORD states[4]; bool found; RECT expected; } rows[] = {
        {false, {}, {}, false, {}},   // came back as it was sent
        {true, {minimize, box(355, 401), help, box(401, 447)}, {0, 0, 0, 0}, true, help},
        {true, {minimize, box(355, 401), help, box(401, 447)}, {0, 0, hidden, 0}, true, minimize},
        {true, {minimize, box(355, 401), help, box(401, 447)}, {off, 0, hidden, 0}, true, box(355, 401)},
        {true, {outside, minimize, {}, {}}, {0, 0, hidden, hidden}, true, minimize},   // one not in the window
        {true, {minimize, {}, {}, {}}, {hidden, hidden, hidden, hidden}, true, {493, 101, 493, 131}},   // the band's end
    };
    for (const auto &row : rows) {
        CAPTURE(&row - rows);
        TitleBarInfoEx info;
        PrefillTitleBarInfo(&info);
        if (row.answered) {
            info.rcTitleBar = {107, 101, 493, 131};
            for (int i = 0; i < 4; i++)
                info.rgrect[TITLEBAR_FIRST_BOX + i] = row.parts[i], info.rgstate[TITLEBAR_FIRST_BOX + i] = row.states[i];
        }
        RECT found = {};
        CHECK(BoxesFromTitleBarInfo(info, window, &found) == row.found);
        CHECK(EqualRect(&found, &row.expected));
    }
    RECT dwm = {}, area = {355, 101, 493, 131};   // the bounds are the window's own coordinates
    CHECK((BoxesFromDwm({255, 1, 393, 31}, window, &dwm) && EqualRect(&dwm, &area)));
    CHECK(!BoxesFromDwm({255, 1, 420, 31}, window, &dwm));   // past the window's edge
}

// A caption as hit-testing sees it: spans from the right edge, each (from, to, code), rows 4 to 21; the rest caption.
struct Span { int from, to; LRESULT code; };
static const Span *Spans;
static LRESULT HitTestSpans(void *, int x, int y)
{
    for (const Span *s = Spans; s->code; s++)
        if (500 - x >= s->from && 500 - x <= s->to && (s->code == HTRIGHT || (y >= 104 && y < 122)))
            return s->code;
    return HTCAPTION;
}

TEST_CASE("the leftmost box found by hit-testing along the caption, from the right edge")
{
    const RECT window = {100, 100, 500, 400};
    const Span wine[] = {{1, 4, HTRIGHT}, {5, 22, HTCLOSE}, {23, 40, HTMAXBUTTON}, {41, 58, HTMINBUTTON}, {}};
    const Span gapped[] = {{1, 4, HTRIGHT}, {5, 22, HTCLOSE}, {25, 42, HTMAXBUTTON}, {43, 60, HTMINBUTTON}, {}};
    const Span apart[] = {{5, 22, HTCLOSE}, {23, 40, HTMINBUTTON}, {60, 77, HTHELP}, {}};   // help past the gap
    const Span distant[] = {{90, 107, HTCLOSE}, {}};   // out of reach
    const struct { const Span *spans; bool found; RECT expected; } rows[] = {
        {wine, true, {442, 104, 460, 122}}, {gapped, true, {440, 104, 458, 122}},
        {apart, true, {460, 104, 478, 122}}, {distant, false, {}}};
    for (const auto &row : rows) {
        CAPTURE(&row - rows);
        Spans = row.spans;
        RECT found = {};
        CHECK(BoxesFromHitTests(HitTestSpans, NULL, window, 113, 80, 9, &found) == row.found);
        CHECK(EqualRect(&found, &row.expected));
    }
    // The classic place stands for the classic boxes, a quarter button either way; not for wider or taller ones.
    const struct { RECT box; int classicLeft; bool classic; } places[] = {
        {{442, 104, 460, 122}, 442, true}, {{478, 104, 493, 119}, 481, true}, {{477, 104, 493, 119}, 481, false},
        {{477, 104, 493, 119}, 457, true}, {{355, 101, 401, 131}, 442, false}, {{442, 104, 460, 134}, 442, false}};
    for (const auto &p : places)
        CHECK(IsClassicPlace(p.box, p.classicLeft, p.box.left >= 477 ? 15 : 18, p.box.left >= 477 ? 15 : 18) == p.classic);
}

TEST_CASE("a maximized frame's group within its monitor's work area, on any monitor")
{
    const RECT left = {-1280, 0, 0, 984}, above = {0, -1024, 1280, -40};   // beside and above the primary
    const struct { RECT group, area, expected; } rows[] = {
        {{-300, -4, -246, 14}, left, {-300, 0, -246, 18}}, {{-40, 4, 14, 22}, left, {-54, 4, 0, 22}},
        {{-1290, 4, -1236, 22}, left, {-1280, 4, -1226, 22}}, {{1200, -1032, 1290, -1014}, above, {1190, -1024, 1280, -1006}},
        {{10, 10, 64, 28}, above, {10, 10, 64, 28}}};   // below the area: a frame not maximized there is not moved up
    for (const auto &row : rows) {
        RECT kept = KeepInArea(row.group, row.area);
        CHECK(EqualRect(&kept, &row.expected));
    }
    // The auto-scroll zone, set at the main controller's DPI, in the window's pixels; as set where either is unknown.
    const int zones[][4] = {{144, 144, 144, 144}, {144, 96, 144, 96}, {96, 192, 96, 192}, {96, 0, 96, 96}, {96, 144, 0, 96}};
    for (const auto &z : zones)
        CHECK(ZoneAtDpi(z[0], z[1], z[2]) == z[3]);
}

TEST_CASE("the look a frame's group takes, and its glyph's colour on a flat caption")
{
    struct { bool themed, composed; int dark; COLORREF caption; ButtonLook look; bool darkCaption; } cases[] = {
        {false, false, -1, RGB(0, 0, 128), LOOK_CLASSIC, true},        // Windows 95 to 2000, or the classic theme
        {true, false, -1, RGB(10, 36, 106), LOOK_THEMED, true},        // XP, Vista and 7 without composition
        {true, true, -1, RGB(153, 180, 209), LOOK_COMPOSITED, false},  // 10: the caption colour's lightness decides
        {false, true, -1, RGB(20, 20, 20), LOOK_COMPOSITED, true},     // high contrast, composed all the same
        {true, true, 1, RGB(255, 255, 255), LOOK_COMPOSITED, true},    // the frame's dark-mode attribute wins
        {true, true, 0, RGB(0, 0, 0), LOOK_COMPOSITED, false},
        {true, true, -1, RGB(128, 128, 128), LOOK_COMPOSITED, false},  // the middle counts as light
        {true, true, -1, RGB(127, 127, 127), LOOK_COMPOSITED, true},
    };
    for (const auto &c : cases) {
        CAPTURE(c.caption);
        LookFacts facts = {c.themed, c.composed, c.dark, c.caption};
        CHECK(ChooseLook(facts) == c.look);
        CHECK(IsDarkCaption(facts) == c.darkCaption);
    }
    auto light = [](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
    for (bool dark : {false, true}) {
        FlatColours active = FlatButtonColours(dark, true, false, false);
        FlatColours inactive = FlatButtonColours(dark, false, false, false);
        FlatColours hot = FlatButtonColours(dark, true, true, false), pressed = FlatButtonColours(dark, true, true, true);
        CHECK((active.fill == LOOK_KEY && inactive.fill == LOOK_KEY));   // the caption shows through
        CHECK((dark ? light(active.glyph) > light(inactive.glyph) : light(active.glyph) < light(inactive.glyph)));
        CHECK((hot.fill != LOOK_KEY && pressed.fill != LOOK_KEY && pressed.fill != hot.fill));
        CHECK((dark ? light(active.glyph) > 600 : light(active.glyph) < 100));
    }
}
