// One Kov across 32- and 64-bit programs: the main controller, its hidden companion of the other architecture and
// windows of both; run in the 64-bit suite where 32-bit programs run too (a 32-bit probe is the 32-bit build's).
#include "kt.h"

#include <tlhelp32.h>

using namespace kt;

static const std::string Probe32 = Bin() + "..\\..\\x86\\bin\\probe.exe";
// Where the other architecture's programs run beside this one's (test.sh says).
#define BOTH doctest::skip(!(sizeof(void *) == 8 && strstr(getenv("KOV_ARCHS_RUN") ?: "", "x86")))

// A probe of each architecture: 64-bit first; each logs its own input, whichever Kov is the main.
static std::vector<HWND> Pair(Desk &desk, const std::string &args)
{
    return {desk.Probe(args + " --spy --rect 40,120,400,300"), desk.Probe(args + " --spy --rect 520,120,400,300", Probe32)};
}

static HWND GroupOf(HWND frame)
{
    std::vector<HWND> groups;
    return WaitFor([&] { return (groups = GroupsOf(frame)).size() == 1; }) ? groups[0] : nullptr;
}

// The companion: its window and process.
static HWND Companion(Desk &desk) { return desk.sh->Controller[0]; }
static HANDLE CompanionProcess(Desk &desk)
{
    HWND companion = nullptr;
    REQUIRE(WaitFor([&] { return (companion = Companion(desk)) != nullptr && IsWindow(companion); }));
    return OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, PidOf(companion));
}

TEST_CASE("a window of each architecture gets the same group, whose buttons act, whichever "
          "controller is the main; a second start of either shows the main" * BOTH)
{
    for (const char *main : {KOVW, OTHER_KOVW}) {
        CAPTURE(main);
        Desk desk(Defaults(), "", false);
        desk.exe = main;
        REQUIRE(desk.StartKovw());
        std::vector<HWND> frames = Pair(desk, "");
        std::vector<std::string> layouts;   // each button's id and place on its frame
        for (HWND frame : frames) {
            HWND group = GroupOf(frame);
            REQUIRE(group);
            RECT f = Rect(frame);
            layouts.push_back("");
            for (auto &[id, r] : Buttons(group))
                layouts.back() += std::to_string(id) + " " + std::to_string(r.left - f.left) + "," +
                                  std::to_string(r.top - f.top) + "," + std::to_string(r.right - f.left) + " ";
            Click(ButtonAt(group, 0));   // roll-up
            CHECK(WaitFor([&] { return Height(frame) < 100; }));
            Click(ButtonAt(group, 0));
            CHECK(WaitFor([&] { return Height(frame) == 300; }));
            Click(ButtonAt(group, 1));   // the Start menu
            CHECK(WaitFor([&] { return Ask(frame, Q_TASKLISTS) == 1; }));
        }
        CHECK((layouts[0] == layouts[1] && layouts[0].size() > 20));   // the same place and buttons
        REQUIRE_FALSE(IsWindowVisible(desk.main));
        for (const char *other : {KOVW, OTHER_KOVW})
            CHECK(ExitCode(desk.Run(desk.Path(other), "").hProcess, 10000) == 0);
        CHECK(WaitFor([&] { return IsWindowVisible(desk.main) != FALSE; }));
    }
}

TEST_CASE("minimize-all and undo, the task list and Suspend reach windows of both" * BOTH)
{
    Desk desk;
    std::vector<HWND> frames = {desk.Probe("--title Wide --rect 40,120,400,300"),
                                desk.Probe("--title Narrow --rect 520,120,400,300", Probe32)};
    REQUIRE((GroupOf(frames[0]) && GroupOf(frames[1])));
    Act(frames[0], ACTION_MINALL);
    CHECK((WaitFor([&] { return IsIconic(frames[0]) && IsIconic(frames[1]); }) && Ping(frames[0])));   // all done
    Act(frames[1], ACTION_UNDOMINALL);
    CHECK(WaitFor([&] { return !IsIconic(frames[0]) && !IsIconic(frames[1]); }));
    // The task list of each: the other's letter activates the other.
    for (int i : {0, 1}) {
        REQUIRE(GroupOf(frames[i]));
        Act(frames[i], ACTION_TASKLIST);
        REQUIRE(WaitTop("#32768", "", PidOf(frames[i])));
        PostMessageA(frames[i], WM_CHAR, i ? 'w' : 'n', 1);
        CHECK(WaitFor([&] { return GetForegroundWindow() == frames[1 - i]; }));
    }
    // Suspended, neither acts; enabled again, both do.
    for (int command : {IDM_SUSPEND, IDM_SUSPEND}) {
        REQUIRE(desk.Command(command));
        for (HWND frame : frames) {
            Act(frame, ACTION_MAXRESTORE);
            CHECK((desk.sh->Suspend ? Ping(frame) && !IsZoomed(frame) : WaitFor([&] { return IsZoomed(frame) != FALSE; })));
        }
    }
}

TEST_CASE("a new program of the companion's is new to it: the pointer snaps onto its button" * BOTH)
{
    Desk desk;
    REQUIRE(GroupOf(desk.Probe("--rect 40,120,400,300", Probe32)));   // the companion follows threads by now
    desk.op->Flags = FLAGS_DEFAULT, MoveTo({900, 650});
    HWND button = GetDlgItem(desk.Probe("--buttons 1 --rect 300,300,400,300", Probe32), 1);
    CHECK(WaitFor([&] { return PointerAt(Centre(Rect(button))) && desk.sh->State.hwndOldSnapWindow == button; }));
}

TEST_CASE("closing the main releases the frames of both; a companion killed is started again; "
          "the main killed ends the companion, which lets its frames go" * BOTH)
{
    Desk desk;
    std::vector<HWND> frames = Pair(desk, "");
    for (HWND frame : frames)
        REQUIRE(WaitFor([&] { return Ask(frame, Q_SUBCLASSED) == 1; }));
    HANDLE companion = CompanionProcess(desk);
    Kill(companion), CloseHandle(companion);
    CHECK(Ping(frames[1]));   // its program goes on
    REQUIRE(WaitFor([&] { return IsWindow(Companion(desk)); }));
    HWND later = desk.Probe("--rect 300,400,300,200", Probe32);
    CHECK((GroupOf(later) && desk.CloseKovw() == 0));
    for (HWND frame : {frames[0], frames[1], later})
        CHECK(WaitFor([&] { return Ask(frame, Q_SUBCLASSED) == 0; }));
    CHECK(WaitFor([&] { return !IsWindow(Companion(desk)); }));

    REQUIRE(desk.StartKovw());
    REQUIRE(WaitFor([&] { return Ask(frames[1], Q_SUBCLASSED) == 1; }));
    companion = CompanionProcess(desk);
    TerminateProcess(desk.kovw.hProcess, 1);
    CHECK(WaitForSingleObject(companion, 10000) == WAIT_OBJECT_0);
    CHECK(WaitFor([&] { return Ask(frames[1], Q_SUBCLASSED) == 0; }));
    CloseHandle(companion);
}

// Holds every thread of a process still, or lets them go on.
static void HoldProcess(DWORD pid, bool hold)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {sizeof(entry)};
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        HANDLE thread = entry.th32OwnerProcessID == pid ? OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID) : NULL;
        if (thread)
            hold ? SuspendThread(thread) : ResumeThread(thread), CloseHandle(thread);
    }
    CloseHandle(snapshot);
}

TEST_CASE("Kov started again after its main was killed, before the old companion noticed: the old one's late end "
          "leaves the new Kov's frames of its architecture dressed and its new windows dressed" * BOTH)
{
    Desk desk;
    HWND frame = desk.Probe("--rect 520,120,400,300", Probe32), first = GroupOf(frame);
    REQUIRE(first);
    HANDLE old = CompanionProcess(desk);
    const DWORD oldId = GetProcessId(old);
    HoldProcess(oldId, true);
    Kill(desk.kovw.hProcess);
    REQUIRE(desk.StartKovw());
    REQUIRE(WaitFor([&] { return Companion(desk) && PidOf(Companion(desk)) != oldId; }));
    // The new companion follows: the frame's thread had its offer before this probe's.
    HWND later = desk.Probe("--rect 300,400,300,200", Probe32);
    REQUIRE((GroupOf(later) && Ping(frame)));
    HoldProcess(oldId, false);
    CHECK(WaitForSingleObject(old, 10000) == WAIT_OBJECT_0);
    CloseHandle(old);
    for (HWND dressed : {frame, later})
        CHECK((Ask(dressed, Q_SUBCLASSED) == 1 && GroupOf(dressed) && IsWindowVisible(GroupOf(dressed))));
    CHECK(GroupOf(desk.Probe("--rect 40,400,300,200", Probe32)));
}
