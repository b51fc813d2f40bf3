// Faults injected from outside: kovw killed and started again, programs that crash, freeze or subclass our frames,
// a task-list menu dismissed, a quick double click. Whatever happens, the other programs go on working.
#include "kt.h"

using namespace kt;

TEST_CASE("kovw killed and started again: one live group per frame, following it; nothing of the killed run's gesture")
{
    Desk desk;
    // Offered both as new and by the enumeration: one set of buttons.
    CHECK(Buttons(desk.Group(desk.Probe("--offer-twice --rect 300,450,400,200"))).size() == 3);
    std::vector<HWND> frames = {desk.Probe("--rect 50,100,400,300"), desk.Probe("--rect 500,100,400,300")};
    for (HWND frame : frames)
        REQUIRE(desk.Group(frame));
    Kill(desk.kovw.hProcess);
    // killed amid a right-button gesture over frames[0]: that release is not the next one's
    desk.sh->State.TrappedRBtnDown = 1, desk.sh->State.hwndScroll = frames[0], desk.sh->State.ScrollActionId = ACTION_SCROLLPAGE;
    REQUIRE(desk.StartKovw());
    Click(Centre(Rect(frames[0])), 1);
    CHECK((WaitFor([&] { return Ask(frames[0], Q_RCLICKS) == 1; }) && Ping(frames[0]) && !Ask(frames[0], Q_ACTIONS)));
    for (HWND frame : frames) {
        REQUIRE((Ping(frame) && GroupsOf(frame).size() == 1));
        HWND group = GroupsOf(frame)[0];
        RECT before = Rect(group);
        SetWindowPos(frame, NULL, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        CHECK((WaitFor([&] { return Rect(group).left != before.left; }) && desk.Group(frame) == group));
    }
}

TEST_CASE("programs that crash leave nothing behind: no question, no full table")
{
    Desk desk;
    auto crash = [&] {
        HWND frame = desk.Probe();
        REQUIRE(desk.Group(frame));
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, PidOf(frame));
        Kill(process), CloseHandle(process);
    };
    for (int i = 0; i < 10; i++)
        crash();
    CHECK(desk.CloseKovw() == 0);   // not a word about the windows that are gone
    REQUIRE(desk.StartKovw());
    // kovw's own window; with windows of their own, Wine's tray window too
    const int dressed = 1 + OwnWindows();
    CHECK(desk.tb->HookedWindowCnt == dressed);
    crash();   // its record is dead when the table fills up
    std::vector<HWND> many = desk.Probes("--count 130 --rect 10,10,200,100", 130);
    REQUIRE(WaitFor([&] { return desk.tb->HookedWindowCnt == WIN_TABLE_SIZE; }));
    for (int i = 0; i < WIN_TABLE_SIZE; i++)
        CHECK(IsWindow(desk.win[i].hwnd));
    for (HWND hwnd : many)
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    REQUIRE(WaitFor([&] { return desk.tb->HookedWindowCnt == dressed; }));
    many = desk.Probes("--count 100 --rect 10,10,300,100", 100);
    for (HWND hwnd : many)
        CHECK(desk.Group(hwnd));
}

TEST_CASE("another module subclasses a frame after us; it unhooks before the release, after it, or after the next offer")
{
    UINT subclass = RegisterWindowMessageA(PROBE_SUBCLASS_MSG);
    enum { BEFORE_RELEASE, BEFORE_OFFER, AFTER_OFFER };
    for (int unhook : {BEFORE_RELEASE, BEFORE_OFFER, AFTER_OFFER}) {
        CAPTURE(unhook);
        Desk desk;
        HWND frame = desk.Probe("--unicode");
        REQUIRE(desk.Group(frame));
        SendMessageA(frame, subclass, 1, 0);   // an ANSI subclass over the Unicode frame
        if (unhook == BEFORE_RELEASE)
            SendMessageA(frame, subclass, 0, 0);
        REQUIRE(desk.CloseKovw() == 0);
        // A property any program may set, where an earlier release kept the procedure it passed to.
        SetPropA(frame, "KovPassProc", (HANDLE)1), SetPropA(frame, "KovPassCharset", (HANDLE)2);
        CHECK(Ask(frame, Q_SUBCLASSED) == (unhook == BEFORE_RELEASE ? 0 : 1));   // the program answers
        if (unhook == BEFORE_OFFER)
            SendMessageA(frame, subclass, 0, 0);
        // The program's own procedure still gets every message, as sent.
        REQUIRE(Ping(frame));
        SetWindowTextW(frame, L"Hello");
        wchar_t text[16] = L"";
        CHECK(std::wstring(text, GetWindowTextW(frame, text, 16)) == L"Hello");
        // Offered again: a group, and a program that keeps working.
        REQUIRE(desk.StartKovw());
        CHECK((desk.Group(frame) && Ask(frame, Q_SUBCLASSED) == 1));
        if (unhook == AFTER_OFFER) {
            SendMessageA(frame, subclass, 0, 0);
            CHECK(Ask(frame, Q_SUBCLASSED) == 1);
            REQUIRE(desk.CloseKovw() == 0);
            CHECK(WaitFor([&] { return Ask(frame, Q_SUBCLASSED) == 0 && Ping(frame); }));
        }
    }
}

TEST_CASE("a frame whose shared record another program wiped keeps its own procedure, and gets it back")
{
    Desk desk;
    HWND frame = desk.Probe(), group = desk.Group(frame);
    REQUIRE(group);
    memset((void *)&desk.Rec(frame), 0, sizeof(WinRecord));   // as any program the library enters could
    CHECK(Ask(frame, Q_SUBCLASSED) == 1);   // the program's own procedure answers, behind ours
    REQUIRE(desk.CloseKovw() == 0);   // that kovw knows the frame no more
    CHECK(Ask(frame, Q_SUBCLASSED) == 1);
    REQUIRE(desk.StartKovw());   // dressed again: one group, the old one gone
    CHECK((desk.Group(frame) && WaitFor([&] { return GroupsOf(frame).size() == 1 && !IsWindow(group); })));
    REQUIRE(desk.CloseKovw() == 0);
    CHECK(WaitFor([&] { return Ask(frame, Q_SUBCLASSED) == 0; }));
}

TEST_CASE("a program frozen during release holds kovw up no longer than its wait")
{
    Desk desk;
    HWND hung = desk.Probe();
    REQUIRE(desk.Group(hung));
    PostMessageA(hung, RegisterWindowMessageA(PROBE_FREEZE_MSG), 8000, 0);
    DWORD frozen = GetTickCount();
    DWORD_PTR result;
    REQUIRE(WaitFor([&] { return !SendMessageTimeoutA(hung, WM_NULL, 0, 0, 0, 100, &result); }));
    CHECK((desk.CloseKovw() == 0 && GetTickCount() - frozen < 8000));
    CHECK(desk.Index(hung) >= 0);   // kept while the program cannot answer
    REQUIRE(Ping(hung));   // awake: it lets go itself
    CHECK(WaitFor([&] { return Ask(hung, Q_SUBCLASSED) == 0 && desk.Index(hung) < 0; }));
}

TEST_CASE("a dismissed task list does not take the other menu commands of its program")
{
    Desk desk;
    std::vector<HWND> two = desk.Probes("--count 2", 2);   // the menu's mark is the process's own
    HWND a = two[0], b = two[1];
    Spy spy(GetWindowThreadProcessId(a, NULL));
    Act(a, ACTION_TASKLIST);
    Menu menu;
    REQUIRE(spy.Next(&menu));
    PostMessageA(a, WM_KEYDOWN, VK_ESCAPE, 1);
    REQUIRE(Ping(a));
    PostMessageA(b, WM_COMMAND, TASKLIST_FIRST_ID, 0);
    CHECK(WaitFor([&] { return Ask(b, Q_COMMANDS) == 1; }));
}

TEST_CASE("a second click on roll-up counts however soon it follows the first one's effect")
{
    Desk desk;
    HWND frame = desk.Probe("--rect 150,150,400,300");
    POINT rollup = ButtonAt(desk.Group(frame), 0);
    // A button taking the focus deactivates its frame, raised then over its group: a click lost now and then.
    int sizes = Ask(frame, Q_SIZES), activates = Ask(frame, Q_ACTIVATES);
    for (int i = 1; i <= 4; i++) {
        MoveTo(rollup), Button(0, true), Button(0, false);
        REQUIRE(WaitFor([&] { return Height(frame) < 100; }));
        Button(0, true, true), Button(0, false);   // at once: a double click for the button
        CHECK(WaitFor([&] { return Ask(frame, Q_SIZES) == sizes + i && Height(frame) == 300; }));
    }
    CHECK(Ask(frame, Q_ACTIVATES) == activates);
}

// What any program the library enters could write where the hosts write, and in the table beside it: counts out
// of range, a gesture half done over another program's window, a record for a window Kov never dressed; and
// from the controllers' side, a user command with no end and an exception count past its list.
TEST_CASE("garbage in the shared state: the programs go on, no other window is touched, kovw closes and starts clean")
{
    Desk desk;
    HWND frame = desk.Probe("--rect 50,100,400,300"), dead = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, 0, 0, 0, 0);
    REQUIRE((desk.Group(frame) && DestroyWindow(dead)));
    HWND hidden = desk.Probe("--hidden --title Hidden --rect 500,100,300,200");
    HWND bare = desk.Probe("--title Bare --style 90800000 --rect 500,350,300,200");   // no caption: never dressed
    const RECT bareAt = Rect(bare), frameAt = Rect(frame);
    auto untouched = [&] { RECT now = Rect(bare); return EqualRect(&now, &bareAt) && !IsWindowVisible(hidden); };
    memset(UserCommandOf(desk.op), 'x', sizeof(UserCommandOf(desk.op))), desk.xc->Count = 0x7FFFFFFF;
    KovHostState &st = desk.sh->State;
    const uint32_t others[] = {HandleTo32(hidden), HandleTo32(bare), HandleTo32(dead), 0xFFFFFFFF};
    const int32_t counts[] = {-5, 0x7FFFFFFF, UNMINALL_MAX, -1};
    for (int round = 0; round < 4; round++) {
        CAPTURE(round);
        const uint32_t other = others[round];
        for (Hwnd32 *hwnd : {&st.hwndShutdownManager, &st.hwndWin3PopupPatch, &st.hwndSnapNewWindow, &st.hwndOldSnapWindow,
                             &st.hwndScroll, &st.autoScroll.hwnd, &st.hwndTrapRollup, &st.hwndTrapWMsize})
            hwnd->value = other;
        st.SysShutdownSelected = st.DoSnapStartMenu = st.TrappedRBtnDown = st.TrappedMBtnDown = 1;
        st.ScrollActionId = round % 2 ? ACTION_CLOSE : ACTION_HIDE;
        st.autoScroll.TimerId = 0xFFFFFFFF, st.autoScroll.Direction = st.MouseDirection = counts[round];
        st.UnMinAll.Count = desk.tb->HookedWindowCnt = counts[round];
        std::fill(std::begin(st.UnMinAll.Hwnd), std::end(st.UnMinAll.Hwnd), other);
        for (int i = WIN_TABLE_SIZE - 4; i < WIN_TABLE_SIZE; i++) {   // the last slots are free
            volatile WinRecord &rec = desk.win[i];
            rec.hwnd = i % 2 ? bare : HwndFrom32(other), rec.hwndButtons = i % 2 ? hidden : bare;
            rec.ButtonsCreated = TRUE, rec.nButtons = (SHORT)counts[round], rec.Instance = desk.sh->Instance;
        }
        Act(frame, ACTION_UNDOMINALL);
        MoveTo(Centre(bareAt), bare), Button(2, false);   // a release whose press no hook saw
        // A user at work over the frame and the bare window: each press reads the gesture's state.
        for (int button : {2, 1})
            Click(Centre(Rect(frame)), button), Click(Centre(bareAt), button);
        SetWindowPos(frame, NULL, frameAt.left + round, frameAt.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        CHECK((Ping(frame) && Ping(bare) && Ping(hidden) && IsWindowVisible(frame) && IsWindowVisible(bare)));
        CHECK((untouched() && Ask(bare, Q_SUBCLASSED) == 0));
    }
    CHECK(desk.CloseKovw() == 0);
    CHECK((WaitFor([&] { return Ask(frame, Q_SUBCLASSED) == 0; }) && !Ask(bare, Q_SUBCLASSED) && untouched()));
    REQUIRE(desk.StartKovw());
    CHECK((desk.Group(frame) && GroupsOf(frame).size() == 1 && GroupsOf(bare).empty() && Ask(bare, Q_SUBCLASSED) == 0));
    auto live = [](volatile WinRecord &rec) { return rec.hwnd != NULL; };
    CHECK((desk.tb->HookedWindowCnt == std::count_if(desk.win, desk.win + WIN_TABLE_SIZE, live) && !st.TrappedRBtnDown && !st.hwndScroll && !st.UnMinAll.Count));
}

// The thread that put the hooks in answers while another program holds Kov's table (on 64-bit Windows it also runs
// the other architecture's hook calls, and the holder may be waiting on one), and dresses its window once it is free.
TEST_CASE("kovw answers while another program holds its table, and dresses its new window after")
{
    Desk desk;
    HANDLE table = CreateMutexA(NULL, FALSE, MUTEX_WININDEX);
    REQUIRE((table && WaitForSingleObject(table, 0) == WAIT_OBJECT_0));
    PostMessageA(desk.main, WM_COMMAND, IDM_ABOUT, 0);
    DWORD_PTR result;
    bool answered = true;
    for (DWORD start = GetTickCount(); answered && GetTickCount() - start < 1500;)   // a wait there would last seconds
        answered = SendMessageTimeoutA(desk.main, WM_NULL, 0, 0, 0, 1000, &result) != 0;
    CHECK(answered);
    HWND about = WaitBox("About", desk.kovw.dwProcessId);
    REQUIRE(about);
    CHECK(desk.Index(about) < 0);
    ReleaseMutex(table), CloseHandle(table);
    CHECK(desk.Group(about, 5000));
    Press(about, IDOK);
}
