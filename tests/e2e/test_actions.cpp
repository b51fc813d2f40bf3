// The window actions, carried out on real windows of other programs: the
// command executor, roll-up, minimize-all and its undo.
#include <doctest.h>
#include "harness.h"

#include <stdlib.h>

using namespace kt;

static const UINT KmAction = 0x6F09;
static const int ActClose = 0x7001, ActStartMenu = 0x7003, ActMaxRestore = 0x7008;
static const int ActMinimize = 0x7009, ActHide = 0x700A, ActUserCmd = 0x7010;
static const int ActRollup = 0x7046, ActMinAll = 0x7053, ActUndoMinAll = 0x7054;

// Asks the frame's own thread to perform an action, as a button or kovw does.
static void Act(HWND frame, int action)
{
    PostMessageA(frame, KmAction, action, 1);
}

// The caption-button height the library captured, in its metrics.
static const int SysmenuHeight = 12;

static int Height(HWND hwnd)
{
    RECT r = RectOf(hwnd);
    return r.bottom - r.top;
}

TEST_CASE("the command executor's window commands")
{
    Desk desk;
    SUBCASE("close")
    {
        HWND frame = desk.Frame("");
        Act(frame, ActClose);
        CHECK(WaitFor([&] { return !IsWindow(frame); }));
    }
    SUBCASE("maximize and restore, only with a maximize box")
    {
        Probe &probe = desk.Start("");
        HWND frame = probe.Window();
        Act(frame, ActMaxRestore);
        CHECK(WaitFor([&] { return IsZoomed(frame) != FALSE; }));
        Act(frame, ActMaxRestore);
        CHECK(WaitFor([&] { return !IsZoomed(frame); }));
        Probe &boxless = desk.Start("--style 00C80000");
        HWND plain = boxless.Window();
        Act(plain, ActMaxRestore);
        Act(plain, ActMinimize);
        REQUIRE(boxless.Ping(plain));
        CHECK_FALSE(IsZoomed(plain));
        CHECK_FALSE(IsIconic(plain));
    }
    SUBCASE("minimize and hide")
    {
        HWND frame = desk.Frame("");
        Act(frame, ActMinimize);
        CHECK(WaitFor([&] { return IsIconic(frame) != FALSE; }));
        HWND other = desk.Frame("--title Other");
        Act(other, ActHide);
        CHECK(WaitFor([&] { return !IsWindowVisible(other); }));
    }
    SUBCASE("the Start menu arms the mouse snap only when that option is on")
    {
        Probe &probe = desk.Start("");
        HWND frame = probe.Window();
        desk.view->Options()->Flags &= ~0x01u;
        Act(frame, ActStartMenu);
        REQUIRE(probe.Ping(frame));
        CHECK(desk.view->Tail()->DoSnapStartMenu == 0);
        desk.view->Options()->Flags |= 0x01u;
        Act(frame, ActStartMenu);
        REQUIRE(probe.Ping(frame));
        CHECK(desk.view->Tail()->DoSnapStartMenu == 1);
    }
}

TEST_CASE("the user command")
{
    Desk desk;
    Probe &probe = desk.Start("");
    HWND frame = probe.Window();
    char *command = desk.view->Options()->TitleButton[0].Command;

    SUBCASE("the program gets the rest of the line as it stands")
    {
        std::string program = desk.home.Path("p.exe");
        REQUIRE(CopyFileA((BinDir() + "probe.exe").c_str(), program.c_str(), FALSE));
        std::string line = program + " --class KovArgs --cmdline-title  one two\tthree";
        REQUIRE(line.size() < 128);
        strcpy(command, line.c_str());
        Act(frame, ActUserCmd);
        HWND started = WaitTop("KovArgs", "");
        REQUIRE(started);
        CHECK(TextOf(started) == "--class KovArgs --cmdline-title  one two\tthree");
        PostMessageA(started, WM_CLOSE, 0, 0);
    }
    SUBCASE("a program that is not there: the error and its reason")
    {
        strcpy(command, "C:\\nowhere\\missing.exe with arguments");
        Act(frame, ActUserCmd);
        HWND box = WaitMessageBox("Kov Error", probe.Pid());
        REQUIRE(box);
        CHECK(MessageBoxText(box) ==
              "Error 2\r\nCannot run C:\\nowhere\\missing.exe\r\nFile or path not found.");
        PressButton(box, IDOK);
    }
}

TEST_CASE("rolling a window up and down")
{
    Desk desk;
    SUBCASE("twice on a 400 high window: up to the title bar, back to 400")
    {
        Probe &probe = desk.Start("--rect 120,130,420,400");
        HWND frame = probe.Window();
        REQUIRE(WaitGroup(*desk.view, frame));
        const volatile WinRecord &rec = desk.Record(frame);
        int rolled = desk.view->Middle()->metrics[SysmenuHeight] + 2 * rec.yTop;   // sysmenuHeight
        int sizesBefore = probe.Query(frame, PROBE_QUERY_SIZES);
        Act(frame, ActRollup);
        // The system may keep a window a pixel or so taller than asked.
        CHECK(WaitFor([&] { return Height(frame) >= rolled && Height(frame) <= rolled + 2; }));
        RECT r = RectOf(frame);
        CHECK(r.left == 120);
        CHECK(r.top == 130);
        CHECK(r.right - r.left == 420);
        CHECK(rec.cyUnrolled == 400);
        CHECK(rec.cyRolled == Height(frame));
        // The program never lays itself out for the rolled size.
        CHECK(probe.Query(frame, PROBE_QUERY_SIZES) == sizesBefore);
        Act(frame, ActRollup);
        CHECK(WaitFor([&] { return Height(frame) == 400; }));
        CHECK(rec.cyUnrolled == 0);
        CHECK(rec.cyRolled == 0);
        CHECK(probe.Query(frame, PROBE_QUERY_SIZES) == sizesBefore + 1);
        CHECK(probe.Query(frame, PROBE_QUERY_LASTHEIGHT) > 300);
    }
    SUBCASE("a program that wants to stay tall is rolled up all the same")
    {
        Probe &probe = desk.Start("--rect 120,130,420,400 --min-track-height 250");
        HWND frame = probe.Window();
        REQUIRE(WaitGroup(*desk.view, frame));
        Act(frame, ActRollup);
        CHECK(WaitFor([&] { return Height(frame) < 100; }));
    }
    SUBCASE("a rolled window the user made taller is rolled up again, to come back that tall")
    {
        Probe &probe = desk.Start("--rect 120,130,420,400");
        HWND frame = probe.Window();
        REQUIRE(WaitGroup(*desk.view, frame));
        Act(frame, ActRollup);
        REQUIRE(WaitFor([&] { return Height(frame) < 100; }));
        int rolled = Height(frame);
        SetWindowPos(frame, NULL, 0, 0, 420, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Act(frame, ActRollup);
        CHECK(WaitFor([&] { return Height(frame) == rolled; }));
        CHECK(desk.Record(frame).cyUnrolled == 200);
        Act(frame, ActRollup);
        CHECK(WaitFor([&] { return Height(frame) == 200; }));
    }
    SUBCASE("a window never rolled up and already that low gets 10/16 of its width")
    {
        Probe &probe = desk.Start("--rect 120,130,320,400");
        HWND frame = probe.Window();
        REQUIRE(WaitGroup(*desk.view, frame));
        int low = desk.view->Middle()->metrics[SysmenuHeight] + 2 * desk.Record(frame).yTop;
        SetWindowPos(frame, NULL, 0, 0, 320, low, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        REQUIRE(probe.Ping(frame));
        Act(frame, ActRollup);
        CHECK(WaitFor([&] { return Height(frame) == 200; }));
        CHECK(RectOf(frame).right - RectOf(frame).left == 320);
    }
    SUBCASE("closing a rolled window rolls it down first")
    {
        std::string report = desk.home.Path("destroyed.txt");
        Probe &probe = desk.Start("--rect 120,130,420,400 --report-destroy \"" + report + "\"");
        HWND frame = probe.Window();
        REQUIRE(WaitGroup(*desk.view, frame));
        Act(frame, ActRollup);
        REQUIRE(WaitFor([&] { return Height(frame) < 100; }));
        PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        REQUIRE(WaitFor([&] { return !IsWindow(frame); }));
        CHECK(atoi(ReadFileBytes(report).c_str()) == 400);
    }
}

TEST_CASE("Shift with the roll-up button rolls every window; a gesture only its own")
{
    Desk desk;
    std::vector<HWND> frames;
    for (int i = 0; i < 3; i++) {
        frames.push_back(desk.Frame("--rect " + std::to_string(60 + 320 * i) + ",120,300,300"));
        REQUIRE(WaitGroup(*desk.view, frames.back()));
    }
    auto allRolled = [&](bool up) {
        for (HWND f : frames)
            if ((Height(f) < 100) != up)
                return false;
        return true;
    };
    // Shift is pressed before the click and held until the windows have
    // changed, as a hand does; the program checks it when the click is done.
    auto shiftClickRollup = [&](HWND frame, bool up) {
        HWND group = WaitGroup(*desk.view, frame);
        RECT b = ButtonsOf(group)[0].rect;
        HeldKey shift("shift");
        DisplayClick({(b.left + b.right) / 2, (b.top + b.bottom) / 2});
        return WaitFor([&] { return allRolled(up); });
    };

    SUBCASE("Shift + click rolls all three up; again, exactly those down")
    {
        // One rolled up on its own stays up.
        HWND loner = desk.Frame("--rect 200,500,300,200 --title Loner");
        REQUIRE(WaitGroup(*desk.view, loner));
        Act(loner, ActRollup);
        REQUIRE(WaitFor([&] { return Height(loner) < 100; }));
        CHECK(shiftClickRollup(frames[1], true));
        DWORD clicked = GetTickCount();
        WaitFor([&] { return GetTickCount() - clicked > GetDoubleClickTime() + 100; });
        CHECK(shiftClickRollup(frames[1], false));
        CHECK(Height(loner) < 100);
    }
    SUBCASE("a roll-up gesture with Shift rolls only the window under the mouse")
    {
        desk.view->Options()->MouseAction[10].ActionId = ActRollup;
        RECT r = RectOf(frames[0]);
        POINT inside = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        {
            HeldKey shift("shift");
            DisplayClick(inside, 2);
            CHECK(WaitFor([&] { return Height(frames[0]) < 100; }));
            for (int i = 1; i < 3; i++)
                REQUIRE(desk.probes[i]->Ping(frames[i]));
        }
        for (int i = 1; i < 3; i++)
            CHECK(Height(frames[i]) == 300);
    }
    SUBCASE("releasing Kov rolls every window down")
    {
        for (HWND f : frames)
            Act(f, ActRollup);
        REQUIRE(WaitFor([&] { return allRolled(true); }));
        REQUIRE(desk.kovw->Close() == 0);
        CHECK(WaitFor([&] { return allRolled(false); }));
    }
}

static int Recorded(const Desk &desk)
{
    return desk.view->UnMinAll()->Count;
}

TEST_CASE("minimize all and undo")
{
    Desk desk;
    HWND main = desk.kovw->MainWindow();
    SUBCASE("only what qualifies is minimized; undo brings back exactly that")
    {
        HWND plain = desk.Frame("--title Plain --rect 50,50,300,200");
        HWND already = desk.Frame("--title Already --rect 380,50,300,200");
        ShowWindow(already, SW_MINIMIZE);
        HWND tool = desk.Frame("--title Tool --exstyle 80 --rect 50,300,300,200");
        HWND bare = desk.Frame("--title Bare --style 90800000 --rect 380,300,300,200");
        Probe &modal = desk.Start("--title Owner --owned-dialog Dialog --rect 600,400,300,200");
        HWND owner = modal.Window(0), dialog = modal.Window(1);
        REQUIRE((owner && dialog));
        REQUIRE(modal.Ping(owner));
        REQUIRE(WaitFor([&] { return IsIconic(already) != FALSE; }));

        Act(main, ActMinAll);
        CHECK(WaitFor([&] { return IsIconic(plain) != FALSE; }));
        REQUIRE(desk.kovw->Settle());
        CHECK(Recorded(desk) == 1);
        CHECK(desk.view->UnMinAll()->Hwnd[0] == (uint32_t)(ULONG_PTR)plain);
        for (HWND left : {tool, bare, owner, dialog})
            CHECK_FALSE(IsIconic(left));

        Act(main, ActUndoMinAll);
        CHECK(WaitFor([&] { return !IsIconic(plain); }));
        CHECK(WaitFor([&] { return GetForegroundWindow() == plain; }));
        REQUIRE(desk.kovw->Settle());
        CHECK(Recorded(desk) == 0);
        CHECK(IsIconic(already));
    }
    SUBCASE("undo with nothing recorded does nothing; a second minimize-all starts afresh")
    {
        HWND first = desk.Frame("--title First --rect 50,50,300,200");
        Act(main, ActUndoMinAll);
        REQUIRE(desk.kovw->Settle());
        CHECK_FALSE(IsIconic(first));
        Act(main, ActMinAll);
        REQUIRE(WaitFor([&] { return IsIconic(first) != FALSE; }));
        HWND second = desk.Frame("--title Second --rect 380,50,300,200");
        Act(main, ActMinAll);
        CHECK(WaitFor([&] { return IsIconic(second) != FALSE; }));
        REQUIRE(desk.kovw->Settle());
        CHECK(Recorded(desk) == 1);
        CHECK(desk.view->UnMinAll()->Hwnd[0] == (uint32_t)(ULONG_PTR)second);
    }
    SUBCASE("more than 60 windows: 60 are minimized and recorded, the rest left alone")
    {
        Probe &many = desk.Start("--count 65 --rect 10,10,200,150");
        REQUIRE(many.Window(64));
        WNDPROC after = desk.view->Tail()->SysTaskbarOldFrameProc;
        Act(main, ActMinAll);
        REQUIRE(desk.kovw->Settle());
        CHECK(Recorded(desk) == 60);
        int minimized = 0;
        for (int i = 0; i < 65; i++)
            minimized += IsIconic(many.Window(i)) ? 1 : 0;
        CHECK(minimized == 60);
        CHECK((void *)desk.view->Tail()->SysTaskbarOldFrameProc == (void *)after);
        Act(main, ActUndoMinAll);
        REQUIRE(desk.kovw->Settle());
        for (int i = 0; i < 65; i++)
            CHECK_FALSE(IsIconic(many.Window(i)));
    }
    SUBCASE("from the tray menu, which then offers the undo")
    {
        HWND frame = desk.Frame("--title Tray --rect 50,50,300,200");
        MenuSpy spy(GetWindowThreadProcessId(main, NULL));
        SpyMenu menu;
        PostMessageA(main, 0x6F0B, 0, WM_RBUTTONDOWN);
        REQUIRE(spy.Next(&menu));
        PostChar(main, 'm');
        CHECK(WaitFor([&] { return IsIconic(frame) != FALSE; }));
        PostMessageA(main, 0x6F0B, 0, WM_RBUTTONDOWN);
        REQUIRE(spy.Next(&menu));
        REQUIRE(menu.count == 6);
        CHECK(std::string(menu.items[5].text) == "&Undo minimize all");
        PostChar(main, 'u');
        CHECK(WaitFor([&] { return !IsIconic(frame); }));
        PostMessageA(main, 0x6F0B, 0, WM_RBUTTONDOWN);
        REQUIRE(spy.Next(&menu));
        CHECK(menu.count == 5);
        PostKey(main, VK_ESCAPE);
    }
    SUBCASE("minimize all from the tray does nothing while suspended")
    {
        HWND frame = desk.Frame("--title Suspended --rect 50,50,300,200");
        PostMessageA(main, WM_COMMAND, 101, 0);
        REQUIRE(desk.kovw->Settle());
        PostMessageA(main, WM_COMMAND, ActMinAll, 0);
        REQUIRE(desk.kovw->Settle());
        CHECK_FALSE(IsIconic(frame));
    }
}
