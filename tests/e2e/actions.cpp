// The window actions on real windows of other programs: the command executor, roll-up, minimize-all and its undo.
#include "kt.h"

using namespace kt;

// As tall as asked (a window of its own may end a pixel taller).
static bool Tall(HWND hwnd, int height) { return Height(hwnd) >= height && Height(hwnd) <= height + 2 * OwnWindows(); }

TEST_CASE("the executor's window commands")
{
    Desk desk;
    HWND frame = desk.Probe(), plain = desk.Probe("--style 00C80000 --rect 500,100,300,200");
    const struct { HWND hwnd; int action; std::function<bool()> done; /* none: nothing happens */ } rows[] = {
        {frame, ACTION_MAXRESTORE, [&] { return IsZoomed(frame) != FALSE; }},
        {frame, ACTION_MAXRESTORE, [&] { return !IsZoomed(frame); }},
        {plain, ACTION_MAXRESTORE, {}},   // no maximize box
        {plain, ACTION_MINIMIZE, {}},     // no minimize box
        {frame, ACTION_MINIMIZE, [&] { return IsIconic(frame) != FALSE; }},
        {plain, ACTION_HIDE, [&] { return !IsWindowVisible(plain); }},
        {frame, ACTION_CLOSE, [&] { return !IsWindow(frame); }}};
    for (const auto &row : rows) {
        CAPTURE(row.action);
        Act(row.hwnd, row.action);
        if (row.done)
            CHECK(WaitFor(row.done));
        else
            CHECK((Ping(row.hwnd) && !IsZoomed(row.hwnd) && !IsIconic(row.hwnd)));
    }
}

TEST_CASE("the user command gets its parameters as they stand, or says why it cannot run")
{
    Desk desk;
    HWND frame = desk.Probe();
    std::string line = Bin() + "probe.exe --class KovArgs --cmdline-title  one two\tthree";
    strcpy(UserCommandOf(desk.op), line.c_str()), Act(frame, ACTION_USERCMD);
    HWND started = WaitTop("KovArgs");
    REQUIRE(started);
    const std::string title = Text(started), args = " --class KovArgs --cmdline-title  one two\tthree";
    CHECK(title.rfind(args) + args.size() == title.size());   // the whole command line
    PostMessageA(started, WM_CLOSE, 0, 0);
    strcpy(UserCommandOf(desk.op), "C:\\nowhere\\missing.exe with arguments"), Act(frame, ACTION_USERCMD);
    CHECK(Answer("Kov Error", PidOf(frame)) ==
          "Error 2\r\nCannot run C:\\nowhere\\missing.exe\r\nFile or path not found.");
}

TEST_CASE("rolling a window up and down")
{
    Desk desk;
    HWND frame = desk.Probe("--rect 120,130,420,400 --keep");
    REQUIRE(desk.Group(frame));
    volatile WinRecord &rec = desk.Rec(frame);
    const int rolled = desk.tb->sysmenuHeight + 2 * rec.yTop;   // sysmenuHeight and the frame
    auto isRolled = [&] { return Height(frame) >= rolled && Height(frame) <= rolled + 2; };
    // With windows of their own, the window manager's answer to a resize can come after the next one and put the old
    // size back: a user never rolls that fast, so each roll waits until the size has held for a moment.
    auto roll = [&](std::function<bool()> done) {
        Act(frame, ACTION_ROLLUP);
        return WaitFor([&] { return done() && (!OwnWindows() || (Sleep(300), done())); });
    };
    RECT before = Rect(frame);
    int sizes = Ask(frame, Q_SIZES);
    CHECK(roll(isRolled));
    RECT after = Rect(frame);
    CHECK((after.left == before.left && after.top == before.top && after.right == before.right && rec.cyUnrolled == 400));
    // The program never lays itself out for it (with windows of their own, the system's added pixel is a size change).
    CHECK((Ask(frame, Q_SIZES) == sizes || OwnWindows()));
    CHECK(roll([&] { return Height(frame) == 400; }));
    CHECK(Ask(frame, Q_LASTHEIGHT) > 300);
    // Made taller by the user while rolled up: rolled up again, to come back that tall.
    REQUIRE(roll(isRolled));
    SetWindowPos(frame, NULL, 0, 0, 420, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(roll(isRolled));
    CHECK((rec.cyUnrolled >= 200 && rec.cyUnrolled <= 200 + 2 * OwnWindows()));
    CHECK(roll([&] { return Tall(frame, 200); }));
    // Closed through its system menu while rolled up: rolled down first.
    REQUIRE(roll(isRolled));
    PostMessageA(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    CHECK(WaitFor([&] { return Tall(frame, 200); }));
    // A low window never rolled up rolls down to 10/16 of its width (a window manager keeps the sizes programs allow).
    HWND low = desk.Probe("--rect 500,500,320,200");
    SetWindowPos(low, NULL, 0, 0, 320, rolled - 2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    REQUIRE(Ping(low));
    Act(low, ACTION_ROLLUP);
    CHECK((OwnWindows() || WaitFor([&] { return Height(low) == 200; })));
}

// With windows of their own, Shift at the display focuses the frame and the window manager raises it over its group.
TEST_CASE("Shift rolls every window, a gesture only its own; release rolls all down" *
          doctest::skip(OwnWindows()))
{
    Desk desk;
    std::vector<HWND> frames;
    for (int i = 0; i < 3; i++)
        frames.push_back(desk.Probe("--rect " + std::to_string(30 + 330 * i) + ",120,300,300"));
    HWND loner = desk.Probe("--rect 200,500,300,200");
    auto up = [&](HWND hwnd) { return Height(hwnd) < 100; };
    auto all = [&](bool rolled) {
        return std::all_of(frames.begin(), frames.end(), [&](HWND f) { return up(f) == rolled; });
    };
    Act(loner, ACTION_ROLLUP);
    REQUIRE(WaitFor([&] { return up(loner); }));
    for (bool rolled : {true, false}) {
        // The pointer first, then Shift at the display, then the click where the pointer is: the display keeps the key.
        MoveTo(ButtonAt(desk.Group(frames[1]), 0));
        Hold shift("shift");
        Button(0, true), Button(0, false);
        CHECK(WaitFor([&] { return all(rolled); }));
    }
    CHECK(up(loner));   // rolled up on its own, not by Shift
    desk.op->MouseAction[SLOT_MIDDLE].ActionId = ACTION_ROLLUP;
    {
        Hold shift("shift");
        // Rolled up at the press: a release the system had meant for the frame would be dropped.
        MoveTo({180, 270}), Button(2, true);
        CHECK(WaitFor([&] { return up(frames[0]); }));
        Button(2, false);
        CHECK((Ping(frames[1]) && Ping(frames[2]) && !up(frames[1]) && !up(frames[2])));
    }
    CHECK(desk.CloseKovw() == 0);
    CHECK(WaitFor([&] { return !up(frames[0]) && !up(loner); }));
}

TEST_CASE("minimize all and undo")
{
    Desk desk;
    HWND plain = desk.Probe("--title Plain --rect 50,50,300,200");
    HWND already = desk.Probe("--title Already --rect 380,50,300,200");
    ShowWindow(already, SW_MINIMIZE);
    std::vector<HWND> left = desk.Probes("--title Owner --owned-dialog Dialog", 2);
    left.push_back(desk.Probe("--title Tool --exstyle 80 --rect 50,300,300,200"));
    left.push_back(desk.Probe("--title Bare --style 90800000 --rect 380,300,300,200"));
    REQUIRE(WaitFor([&] { return IsIconic(already) != FALSE; }));
    volatile UnMinAllRecord &record = desk.sh->State.UnMinAll;
    Act(desk.main, ACTION_MINALL);
    CHECK(WaitFor([&] { return IsIconic(plain) != FALSE; }));
    REQUIRE(desk.Settle());
    // With windows of their own, Wine's tray window is one of the desktop's.
    CHECK((record.Count == 1 + OwnWindows() && HwndFrom32(record.Hwnd[0]) == plain));
    for (HWND hwnd : left)
        CHECK_FALSE(IsIconic(hwnd));
    // Any program may add to the record: only windows still minimized come back.
    HWND hidden = desk.Probe("--hidden --title Hidden");
    record.Hwnd[record.Count] = HandleTo32(hidden), record.Count = record.Count + 1;
    Act(desk.main, ACTION_UNDOMINALL);
    // With windows of their own, the display has the last word on which is in front.
    CHECK(WaitFor([&] { return !IsIconic(plain) && (OwnWindows() || GetForegroundWindow() == plain); }));
    REQUIRE(desk.Settle());
    CHECK((record.Count == 0 && IsIconic(already) && !IsWindowVisible(hidden)));
    // More than the record holds: the rest are left alone, nothing spills.
    std::vector<HWND> many = desk.Probes("--count 65 --rect 10,10,200,150", 65);
    volatile ExceptionList &next = desk.sh->Xception;   // what follows the record
    char before[sizeof(ExceptionList)];
    memcpy(before, (const void *)&next, sizeof(before));
    Act(desk.main, ACTION_MINALL);
    REQUIRE(desk.Settle());
    CHECK((record.Count == 60 && !memcmp(before, (const void *)&next, sizeof(before))));
    Act(desk.main, ACTION_UNDOMINALL);
    CHECK(WaitFor([&] { return std::none_of(many.begin(), many.end(), IsIconic); }));
}
