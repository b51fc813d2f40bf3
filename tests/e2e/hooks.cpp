// Which windows of other programs the library takes over, how it installs itself, and how it lets go again.
#include "kt.h"

using namespace kt;

static bool Taken(const Desk &desk, HWND w) { return Ask(w, Q_SUBCLASSED) == 1 && desk.Index(w) >= 0; }

TEST_CASE("enabling takes over visible captioned windows, every new one, one shown later, and no others")
{
    Desk desk(Defaults(), "", false);
    desk.Write("kovxcept.ini", "WINMSD.EXE\r\neXcEpT\r\n");
    std::string excepted = desk.Path("EXCEPTED.EXE");
    REQUIRE(CopyFileA((Bin() + "probe.exe").c_str(), excepted.c_str(), FALSE));
    HWND shown = desk.Probe(), hidden = desk.Probe("--hidden");
    REQUIRE(desk.StartKovw());
    CHECK((desk.sh->hwndKov == desk.main && WaitFor([&] { return Taken(desk, shown); })));
    HWND later = desk.Probe("--hidden");
    CHECK(WaitFor([&] { return Taken(desk, later); }));
    HWND popup = desk.Probe("--style 80800000"), old = desk.Probe("", Bin() + "probe31.exe");
    HWND exempt = desk.Probe("", excepted);
    for (HWND hwnd : {hidden, popup, old, exempt})
        CHECK((Ping(hwnd) && Ask(hwnd, Q_SUBCLASSED) == 0 && desk.Index(hwnd) < 0));
    CHECK(desk.tb->HookedWindowCnt == 3);   // kovw's own window too
    ShowWindow(hidden, SW_SHOWNA);   // made before the start, shown after it
    CHECK(WaitFor([&] { return Taken(desk, hidden); }));

    // Suspended, the hooks stay but do nothing; the menu bar offers Enable.
    uint32_t cbt = desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT];
    Spy spy(GetWindowThreadProcessId(desk.main, NULL));
    Menu bar;
    for (const char *state : {"&Enable", "&Suspend"}) {
        REQUIRE(desk.Command(IDM_SUSPEND));
        CHECK(desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT] == cbt);
        REQUIRE(spy.Bar(desk.main, &bar));
        CHECK(bar.texts[0] == state);
        HWND fresh = desk.Probe();
        CHECK((state[1] == 'S' ? WaitFor([&] { return Taken(desk, fresh); }) : Ping(fresh) && !Taken(desk, fresh)));
    }
}

TEST_CASE("installed once however often asked; every hook or none")
{
    Desk desk(Defaults(), "", false);
    HWND owner = desk.Probe();
    auto set = (int(WINAPI *)(HWND, int, int))desk.Proc("SetKovHook");
    auto release = (int(WINAPI *)(BOOL))desk.Proc("FreeKovHook");
    CHECK(release(FALSE) == 1);   // nothing installed: nothing to do
    REQUIRE(set(owner, 0, 0) == 1);
    desk.Attach();
    uint32_t cbt = desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT], sys = desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_SYSMSG];
    CHECK((set(owner, 0, 0) == 1 && cbt && desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT] == cbt &&
           desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_SYSMSG] == sys));
    CHECK(WaitFor([&] { return Taken(desk, owner); }));
    CHECK(release(TRUE) == 1);
    CHECK((!desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT] && !desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_SYSMSG] && Ask(owner, Q_SUBCLASSED) == 0));
    // A library without one of its hook procedures says which.
    std::string dir = desk.Path("broken\\"), dll = Slurp(desk.Path(KOVHOOK));
    size_t at = dll.find(std::string("MinimizeWindow\0MouseHookProc", 28));   // the export names
    REQUIRE(at != std::string::npos);
    dll[at + 27] = 'X';
    CreateDirectoryA(dir.c_str(), NULL), Spit(dir + KOVHOOK, dll);
    REQUIRE(CopyFileA(desk.Path(KOVW).c_str(), (dir + KOVW).c_str(), FALSE));
    DWORD pid = desk.Run(dir + KOVW, "").dwProcessId;
    CHECK(Answer("Error", pid) == KOVHOOK ": Error getting MouseHookProc address");
    CHECK(!desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT]);   // the hook put in before is gone with the failure
}

TEST_CASE("closing with disabled windows asks once; No keeps kovw running")
{
    // Disabled windows (behind a modal dialog) and an open one, all taken over.
    Desk desk;
    std::vector<HWND> windows = desk.Probes("--title Blocked --disabled --count 2", 2);
    windows.push_back(desk.Probe("--title Open"));
    for (HWND hwnd : windows)
        REQUIRE(WaitFor([&] { return Taken(desk, hwnd); }));
    for (int answer : {IDNO, IDYES}) {
        PostMessageA(desk.main, WM_SYSCOMMAND, SC_CLOSE, 0);
        HWND box = WaitBox("Release Kov", desk.kovw.dwProcessId);
        REQUIRE(box);
        CHECK(BoxText(box) == "\"Blocked\" window is disabled.\n"
                              "Cannot release Kov safely. Override? ('No' recommended)");
        CHECK((GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_DEFPUSHBUTTON) != 0);
        Press(box, answer);
        if (answer == IDNO) {
            REQUIRE(desk.Settle());
            CHECK((desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT] && desk.tb->IsShutdown == 0 && Taken(desk, windows[0])));
            CHECK(WaitFor([&] { return desk.Index(desk.main) >= 0; }));   // dressed again
        }
    }
    REQUIRE(desk.CloseKovw(false) == 0);
    for (HWND hwnd : windows)
        CHECK((Ask(hwnd, Q_SUBCLASSED) == 0 && desk.Index(hwnd) < 0));
    CHECK((desk.tb->HookedWindowCnt == 0 && !desk.sh->Hooks[KOV_ARCH_SLOT][HOOK_CBT]));
}
