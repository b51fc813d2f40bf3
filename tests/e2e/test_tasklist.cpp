// The task-list menu and the mouse gestures, used as a user does: real
// clicks at the display, with modifier keys held there.
#include <doctest.h>
#include "harness.h"

#include <algorithm>
#include <memory>

using namespace kt;

static const UINT KmAction = 0x6F09;
static const int ActClose = 0x7001, ActTaskList = 0x700E;

static POINT Centre(HWND hwnd)
{
    RECT r = RectOf(hwnd);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// Opens the task list as a user does (Ctrl + right click on a window) and
// returns the menu as its owner sees it.
static bool CtrlRightClick(Probe &probe, HWND frame, MenuSpy &spy, SpyMenu *menu)
{
    HeldKey ctrl("ctrl");
    WaitFor([&] { return probe.Query(frame, PROBE_QUERY_CTRL) == 1; });
    ClickAt(Centre(frame), true);
    return spy.Next(menu);
}

// Every probe's window still takes posted messages (but the one given,
// whose thread is in a menu). Under Wine, threads left waiting through a
// series of activations and menus elsewhere can stop hearing posted
// messages; a ping each keeps them awake.
static void AllAnswer(Desk &desk, HWND except = nullptr)
{
    for (auto &probe : desk.probes) {
        HWND hwnd = probe->Window();
        if (hwnd != except)
            REQUIRE(probe->Ping(hwnd));
    }
}

// Closes an open menu with Escape. Under Wine the next press of a mouse
// button after that is lost, so a plain click on the owner's client area
// follows, as a user's would.
static void DismissMenu(Probe &probe, HWND owner)
{
    PostKey(owner, VK_ESCAPE);
    REQUIRE(probe.Ping(owner));
    ClickAt(Centre(owner));
    REQUIRE(probe.Ping(owner));
}

static std::vector<std::string> Entries(const SpyMenu &menu)
{
    std::vector<std::string> entries;
    for (int i = 0; i < menu.count; i++)
        entries.push_back((menu.items[i].type & MFT_SEPARATOR) ? "-" : menu.items[i].text);
    return entries;
}

static DWORD ThreadOf(HWND hwnd)
{
    return GetWindowThreadProcessId(hwnd, NULL);
}

// Three windows titled Mail, Mum and Notes, Mail on top, and the task
// list opened over Mail.
struct MailMumNotes {
    Desk desk;
    HWND notes, mum, mail;
    Probe *mailProbe;
    std::unique_ptr<MenuSpy> spy;
    SpyMenu menu;
    MailMumNotes()
    {
        notes = desk.Frame("--title Notes --rect 40,40,300,200");
        mum = desk.Frame("--title Mum --rect 120,120,300,200");
        mail = desk.Frame("--title Mail --rect 200,200,300,200");
        mailProbe = desk.probes[2].get();
        REQUIRE(WaitGroup(*desk.view, mail));
        spy.reset(new MenuSpy(ThreadOf(mail)));
        REQUIRE(CtrlRightClick(*mailProbe, mail, *spy, &menu));
    }
};

TEST_CASE("the task list: one entry per window with a letter of its own")
{
    MailMumNotes scene;
    const SpyMenu &menu = scene.menu;
    CHECK(Entries(menu) ==
          std::vector<std::string>{"M&ail", "Mum", "&Notes", "-", "&Minimize all"});
    for (int i = 0; i < 3; i++)
        CHECK(menu.items[i].id == 0x6E00u + i);
    CHECK(menu.items[4].id == 0x6E03u);
    // Picked with its letter, that window comes forward; the owner of the
    // menu sees neither the menu nor the pick.
    PostChar(scene.mail, 'n');
    CHECK(WaitFor([&] { return GetForegroundWindow() == scene.notes; }));
    CHECK(scene.mailProbe->Query(scene.mail, PROBE_QUERY_MENUPOPUPS) == 0);
    CHECK(scene.mailProbe->Query(scene.mail, PROBE_QUERY_COMMANDS) == 0);
}

TEST_CASE("the task list: picked with the mouse, a minimized window is restored first")
{
    MailMumNotes scene;
    Desk &desk = scene.desk;
    HWND mail = scene.mail, mum = scene.mum;
    DismissMenu(*scene.mailProbe, mail);
    PostMessageA(mum, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    REQUIRE(WaitFor([&] { return IsIconic(mum) != FALSE; }));
    AllAnswer(desk);
    SpyMenu menu;
    REQUIRE(CtrlRightClick(*scene.mailProbe, mail, *scene.spy, &menu));
    REQUIRE(Entries(menu)[1] == "Mum");
    AllAnswer(desk, mail);
    RECT item;
    REQUIRE(scene.spy->ItemOnScreen(1, &item));
    ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    CHECK(WaitFor([&] { return !IsIconic(mum) && GetForegroundWindow() == mum; }));
    CHECK(scene.mailProbe->Query(mail, PROBE_QUERY_COMMANDS) == 0);
}

TEST_CASE("the task list: its Minimize all entry, and then the undo entry")
{
    MailMumNotes scene;
    HWND mail = scene.mail, mum = scene.mum, notes = scene.notes;
    PostChar(mail, 'm');
    CHECK(WaitFor([&] { return IsIconic(notes) && IsIconic(mum) && IsIconic(mail); }));
    ShowWindow(mail, SW_RESTORE);
    REQUIRE(WaitFor([&] { return !IsIconic(mail); }));
    ClickAt(Centre(mail));
    REQUIRE(scene.mailProbe->Ping(mail));
    SpyMenu menu;
    REQUIRE(CtrlRightClick(*scene.mailProbe, mail, *scene.spy, &menu));
    CHECK(Entries(menu).back() == "&Undo minimize all");
    PostChar(mail, 'u');
    CHECK(WaitFor([&] { return !IsIconic(notes) && !IsIconic(mum); }));
}

TEST_CASE("letters for titles with punctuation and blanks; dialogs under their owner")
{
    Desk desk("", "/NM");   // kovw's own window shows, and is never listed
    HWND untitled = desk.Frame("--title (untitled) --rect 40,40,300,200");
    HWND editor = desk.Frame("--title \"  Editor\" --rect 120,120,300,200");
    Probe &blocked = desk.Start("--title \"Blocked App\" --owned-dialog Dialog --rect 500,300,300,200");
    HWND owner = blocked.Window(0), dialog = blocked.Window(1);
    REQUIRE((owner && dialog));
    REQUIRE(WaitFor([&] { return !IsWindowEnabled(owner) && IsWindowVisible(dialog); }));
    HWND clicked = desk.Frame("--title Zed --rect 600,40,300,200");
    REQUIRE(WaitGroup(*desk.view, clicked));
    MenuSpy spy(ThreadOf(clicked));
    SpyMenu menu;
    REQUIRE(CtrlRightClick(*desk.probes.back(), clicked, spy, &menu));
    std::vector<std::string> entries = Entries(menu);
    auto has = [&](const std::string &entry) {
        return std::find(entries.begin(), entries.end(), entry) != entries.end();
    };
    CHECK(has("&Zed"));
    CHECK(has("(u&ntitled)"));
    CHECK(has(" &Editor"));
    CHECK(has("&Blocked App"));
    CHECK_FALSE(has("Kov 1.2"));
    CHECK_FALSE(has("&Kov 1.2"));
    CHECK(std::count(entries.begin(), entries.end(), std::string("&Blocked App")) == 1);
    PostChar(clicked, 'b');
    CHECK(WaitFor([&] { return GetForegroundWindow() == dialog; }));
    (void)untitled;
    (void)editor;
}

TEST_CASE("no listable window: no menu at all")
{
    Desk desk;
    Probe &hidden = desk.Start("--hidden");
    HWND frame = hidden.Window();
    REQUIRE(WaitFor([&] { return desk.view->WindowIndex(frame) >= 0; }));
    MenuSpy spy(ThreadOf(frame));
    PostMessageA(frame, KmAction, ActTaskList, 1);
    REQUIRE(hidden.Ping(frame));
    SpyMenu menu;
    CHECK_FALSE(spy.Next(&menu, 500));
}

TEST_CASE("mouse gestures")
{
    Desk desk;
    Probe &probe = desk.Start("--title Target --rect 100,100,400,300");
    HWND frame = probe.Window();
    REQUIRE(WaitGroup(*desk.view, frame));

    SUBCASE("a right click without Ctrl reaches the window untouched")
    {
        DisplayClick(Centre(frame), 3);
        CHECK(WaitFor([&] { return probe.Query(frame, PROBE_QUERY_RIGHTCLICKS) == 1; }));
        CHECK(probe.Query(frame, PROBE_QUERY_ACTIONS) == 0);
    }
    SUBCASE("the middle button set to close closes the window under the mouse")
    {
        desk.view->Options()->MouseAction[10].ActionId = ActClose;
        DisplayClick(Centre(frame), 2);
        CHECK(WaitFor([&] { return !IsWindow(frame); }));
    }
    SUBCASE("a scroll click acts where it was pressed and released, and not across windows")
    {
        desk.view->Options()->ScrollSensitivity = 1000;   // no line scrolls on the way
        Probe &other = desk.Start("--title Other --rect 550,100,300,300");
        HWND second = other.Window();
        REQUIRE(WaitGroup(*desk.view, second));
        DisplayClick(Centre(frame), 2);
        CHECK(WaitFor([&] { return probe.Query(frame, PROBE_QUERY_ACTIONS) == 1; }));
        CHECK(probe.Query(frame, PROBE_QUERY_MIDDLECLICKS) == 1);   // it saw the press

        POINT a = Centre(frame), b = Centre(second);
        std::string drag = "mousemove " + std::to_string(a.x) + " " + std::to_string(a.y) +
                           " mousedown 2 mousemove " + std::to_string(b.x) + " " +
                           std::to_string(b.y) + " mouseup 2";
        RunDisplayInput(drag);
        REQUIRE(probe.Ping(frame));
        REQUIRE(other.Ping(second));
        CHECK(probe.Query(frame, PROBE_QUERY_ACTIONS) == 1);
        CHECK(other.Query(second, PROBE_QUERY_ACTIONS) == 0);
    }
    SUBCASE("while suspended nothing is taken")
    {
        PostMessageA(desk.kovw->MainWindow(), WM_COMMAND, 101, 0);
        REQUIRE(desk.kovw->Settle());
        MenuSpy spy(ThreadOf(frame));
        {
            HeldKey ctrl("ctrl");
            WaitFor([&] { return probe.Query(frame, PROBE_QUERY_CTRL) == 1; });
            DisplayClick(Centre(frame), 3);
            CHECK(WaitFor([&] { return probe.Query(frame, PROBE_QUERY_RIGHTCLICKS) == 1; }));
        }
        SpyMenu menu;
        CHECK_FALSE(spy.Next(&menu, 500));
    }
}
