// Measures what Kov costs the programs it runs in, as ratios against the same
// work with Kov not running, in one run:
//   1. SendMessage to a frame (subclassed by Kov, or not)
//   2. a post-and-get message loop in a thread (hooked by Kov, or not; and
//      Kov's get-message hook against an empty one of our own, and against
//      itself suspended)
//   3. a mouse move delivered with SendInput to the frame, until the frame
//      has it (Kov's mouse hook with the middle button on the scroll action,
//      no button held; and the same two comparisons of the hook)
//   4. the tick intervals of auto-scroll against AutoScrollInterval
//   5. how soon a new frame's button group is visible: message-loop turns
//      and milliseconds from CreateWindow, median of many windows, and
//      whether it was visible before the frame's first idle turn ended.
//   6. how soon the group follows a move of its frame: turns and
//      milliseconds from SetWindowPos until the group has moved as far.
//   7. with /looks, composition on (the tests' DWM, cloak\dwmapi.dll, loaded
//      before Kov's library asks for one): how soon a flat group is visible
//      against a classic one, frames of each look in turn, as the median of
//      the pairs' ratios.
//
// Rounds alternate: without Kov, with Kov, with, without, without, with, ...
// (each pair is one round of each, their order flipping from pair to pair,
// so that a drift of the machine's speed falls on both sides alike). Kov is
// really started and ended between rounds; the frame stays the same. Each
// measure is reported as the median of its per-pair ratios, with the
// smallest and largest and the middle half.
//
// Kov is started from a temporary copy of kovw.exe and kovhook.dll (or the
// 64-bit kovw64.exe and kovhook64.dll), taken from the build's program folder
// or from the one given. With /companion, Kov is the other architecture's
// kovw, with all four files, and this program's frame is dressed by the
// companion it starts (on a 64-bit system running the 32-bit Kov, what a
// 64-bit program gets).
//
//   kovbench [/pairs:N] [/kov:DIR] [/windows:N] [/companion] [/looks]
#include <windows.h>

#include "../common/actions.h"
#include "../common/messages.h"
#include "../common/options.h"
#include "../controller/resource.h"
#include "../hook/share.h"

#include <algorithm>
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#define WM_BENCH (WM_APP + 7)

#ifdef _WIN64
#define OTHER_HOOK_FILE "KOVHOOK.DLL"
#else
#define OTHER_HOOK_FILE "KOVHOOK64.DLL"
#endif
#define COMPANION_CLASS "KovCompanion"

// Work per round: each figure of a round is the best of REPEATS short runs
// of this many operations, the runs of all measures taking turns. The
// machine is shared: short runs, many of them, are the likeliest to catch
// stretches in which nothing else ran.
#define SENDS 5000
#define POSTS 200
#define MOVES 25
#define REPEATS 24

// Post-and-get messages per run. On an idle machine a loop that keeps the
// Wine server busy without a pause ran at a quarter of its speed after some
// 50 ms, with Kov or without, until it paused; a run of 200 messages of a
// 64-bit frame under the 32-bit Kov (over 200 us each) took longer than that,
// and only a round's first run was spared. With /companion a run is a
// quarter as long, as long as the others' runs.
static int posts = POSTS;

static volatile LONG moveCount, middleDowns, linesUp;
static LPARAM awaitedMove;
static bool awaitedSeen;
static long movesSent, movesLost;
static bool recordTicks;
static std::vector<double> ticks;

static double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / frequency.QuadPart;
}

static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_BENCH:
        return wParam + 1;
    case WM_MOUSEMOVE:
        moveCount++;
        awaitedSeen = awaitedSeen || lParam == awaitedMove;
        return 0;
    case WM_MBUTTONDOWN:
        middleDowns++;
        return 0;
    case WM_VSCROLL:
        if (LOWORD(wParam) == SB_LINEUP) {
            linesUp++;
            if (recordTicks)
                ticks.push_back(Now());
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Runs the message loop for a while (sent messages are answered too).
static void Idle(double seconds)
{
    double end = Now() + seconds;
    while (Now() < end) {
        Pump();
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    Pump();
}

// Runs the message loop until done() holds or the time is up.
template <class Cond> static bool PumpUntil(Cond done, double seconds)
{
    double end = Now() + seconds;
    for (;;) {
        Pump();
        if (done())
            return true;
        if (Now() >= end)
            return false;
        MsgWaitForMultipleObjects(0, NULL, FALSE, 5, QS_ALLINPUT);
    }
}

// oldFrame: the test DWM of /looks draws this frame the old way (the
// property its DwmGetWindowAttribute reads), so that its group is classic.
static HWND NewFrame(int n, bool oldFrame = false)
{
    HWND hwnd = CreateWindowExA(0, "KovBench", "Bench", WS_OVERLAPPEDWINDOW, 100 + n % 20 * 10,
                                100 + n % 20 * 10, 400, 300, NULL, NULL, GetModuleHandleA(NULL),
                                NULL);
    if (oldFrame)
        SetPropA(hwnd, "KovProbeOldFrame", (HANDLE)1);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

static bool Subclassed(HWND frame)
{
    return GetWindowLongPtrA(frame, GWLP_WNDPROC) != (LONG_PTR)FrameProc;
}

// Nanoseconds per SendMessage to the frame.
static double SendCost(HWND frame, int count)
{
    double start = Now();
    LRESULT sum = 0;
    for (int i = 0; i < count; i++)
        sum += SendMessageA(frame, WM_BENCH, i, 0);
    double elapsed = Now() - start;
    if (sum == 42)
        printf(" ");
    return elapsed * 1e9 / count;
}

// Nanoseconds per message posted to the frame and taken from the queue.
static double PostGetCost(HWND frame, int count)
{
    double start = Now();
    MSG msg;
    for (int i = 0; i < count; i++) {
        PostMessageA(frame, WM_BENCH, i, 0);
        GetMessageA(&msg, NULL, 0, 0);
        DispatchMessageA(&msg);
    }
    return (Now() - start) * 1e9 / count;
}

static LRESULT CALLBACK EmptyHook(int code, WPARAM wParam, LPARAM lParam)
{
    return CallNextHookEx(NULL, code, wParam, lParam);
}

static void SendMove(POINT at)
{
    INPUT move = {INPUT_MOUSE};
    move.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof(INPUT));
}

// Moves the pointer and waits until the frame has seen it there; false when
// that never came (the system may drop a move while the active window
// changes). In a virtual desktop Wine echoes a move back, sometimes late
// and with an earlier position: the frame then sees more moves than were
// sent, and the last one it sees need not be the one awaited.
static bool MoveAndWait(HWND frame, POINT at)
{
    POINT client = at;
    ScreenToClient(frame, &client);
    awaitedMove = MAKELPARAM(client.x, client.y);
    awaitedSeen = false;
    SendMove(at);
    movesSent++;
    bool seen = PumpUntil([&] { return awaitedSeen; }, 0.2);
    movesLost += !seen;
    return seen;
}

// xdotool, at the display: what a hand on the mouse does there. Its handle
// under Wine says nothing about its end: the caller waits for the effect.
static bool Xdo(const std::string &words)
{
    std::string line = "/usr/bin/xdotool " + words;
    STARTUPINFOA si = {sizeof(si)};
    // Wine starts a Linux program without a process handle, and its thread
    // handle is garbage: closed, it could be one of this process's.
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA("Z:\\usr\\bin\\xdotool", &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &si,
                        &pi))
        return false;
    if (pi.hProcess) {
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    return true;
}

static bool XMoveAndWait(HWND frame, POINT at)
{
    POINT client = at;
    ScreenToClient(frame, &client);
    awaitedMove = MAKELPARAM(client.x, client.y);
    awaitedSeen = false;
    return Xdo("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y)) &&
           PumpUntil([&] { return awaitedSeen; }, 2.0);
}

static POINT ClientCentre(HWND frame)
{
    RECT rc;
    GetClientRect(frame, &rc);
    POINT centre = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(frame, &centre);
    return centre;
}

// Where the next move goes: 20 pixels up or down from the last, more than
// any scroll sensitivity, so that the mouse hook does all its work for
// each; and a pixel or more sideways, along a cycle that goes on from run to
// run, so that no move is aimed where the pointer already is (the system
// makes no move of that, and a late echo may have left it at an earlier
// place).
static POINT NextMove(POINT centre)
{
    static int step;
    int i = step++;
    POINT at = {centre.x - 8 + i % 17, centre.y + (i % 2 ? -10 : 10)};
    return at;
}

// Nanoseconds per mouse move over the frame, from SendInput until the frame
// has it. NAN when a move got lost: its wait would stand in the figure.
static double MoveCost(HWND frame, int count)
{
    POINT centre = ClientCentre(frame);
    if (!MoveAndWait(frame, NextMove(centre)))
        return NAN;
    double start = Now();
    for (int i = 0; i < count; i++)
        if (!MoveAndWait(frame, NextMove(centre)))
            return NAN;
    return (Now() - start) * 1e9 / count;
}

static double Best(double a, double b)
{
    return isnan(a) ? b : isnan(b) ? a : std::min(a, b);
}

struct GroupSearch {
    HWND frame;
    HWND group;
};

static BOOL CALLBACK FindGroup(HWND hwnd, LPARAM param)
{
    GroupSearch *search = (GroupSearch *)param;
    char cls[32];
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (GetWindow(hwnd, GW_OWNER) == search->frame && strcmp(cls, "KovButtons") == 0 &&
        IsWindowVisible(hwnd)) {
        search->group = hwnd;
        return FALSE;
    }
    return TRUE;
}

static bool GroupVisible(HWND frame)
{
    GroupSearch search = {frame, NULL};
    EnumThreadWindows(GetCurrentThreadId(), FindGroup, (LPARAM)&search);
    return search.group != NULL;
}

struct Appearance {
    int turns;
    double ms;
    bool beforeFirstIdle;
};

// Creates a frame and runs its message loop until its group shows. A turn
// is one message taken and dispatched; the first idle turn is the first
// time the queue is found empty.
static Appearance GroupAppears(int n, bool oldFrame = false)
{
    Appearance result = {0, 0, false};
    double start = Now();
    HWND frame = NewFrame(n, oldFrame);
    bool idleSeen = false;
    while (Now() - start < 5.0) {
        MSG msg;
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            result.turns++;
            if (GroupVisible(frame)) {
                result.beforeFirstIdle = !idleSeen;
                break;
            }
        } else {
            if (GroupVisible(frame)) {
                result.beforeFirstIdle = !idleSeen;
                break;
            }
            idleSeen = true;
            MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        }
    }
    result.ms = (Now() - start) * 1000;
    if (!GroupVisible(frame))
        result.turns = -1;
    DestroyWindow(frame);
    Pump();
    return result;
}

// Frames with a flat group and with a classic one in turn, the order
// flipping from pair to pair.
static void CompareLooks(int windows)
{
    std::vector<double> ratios, flatMs, classicMs;
    for (int i = 0; i < windows; i++) {
        bool classicFirst = i % 2 == 0;
        Appearance first = GroupAppears(2 * i + 2, classicFirst);
        Pump();
        Appearance second = GroupAppears(2 * i + 3, !classicFirst);
        Pump();
        const Appearance &flat = classicFirst ? second : first;
        const Appearance &classic = classicFirst ? first : second;
        if (flat.turns < 0 || classic.turns < 0)
            continue;
        ratios.push_back(flat.ms / classic.ms);
        flatMs.push_back(flat.ms), classicMs.push_back(classic.ms);
    }
    if (ratios.empty()) {
        printf("7. flat against classic group: never visible\n");
        return;
    }
    std::sort(ratios.begin(), ratios.end());
    std::sort(flatMs.begin(), flatMs.end());
    std::sort(classicMs.begin(), classicMs.end());
    size_t n = ratios.size();
    printf("7. flat group visible after %.1f ms, classic after %.1f ms: median ratio %.3f "
           "(%.3f-%.3f; %.3f-%.3f), %d pairs\n",
           flatMs[n / 2], classicMs[n / 2], ratios[n / 2], ratios[0], ratios[n - 1], ratios[n / 4],
           ratios[3 * n / 4], (int)n);
}

// Moves the frame 20 pixels right or left and runs its message loop until
// its group has moved as far; -1 turns where it did not within 5 s.
static Appearance GroupFollows(HWND frame, int step)
{
    Appearance result = {0, 0, false};
    GroupSearch search = {frame, NULL};
    EnumThreadWindows(GetCurrentThreadId(), FindGroup, (LPARAM)&search);
    if (!search.group)
        return result.turns = -1, result;
    RECT f, g;
    GetWindowRect(frame, &f), GetWindowRect(search.group, &g);
    int dx = step % 2 ? -20 : 20, want = g.left + dx;
    double start = Now();
    SetWindowPos(frame, NULL, f.left + dx, f.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    bool idleSeen = false;
    for (;;) {
        GetWindowRect(search.group, &g);
        if (g.left == want || Now() - start > 5.0)
            break;
        MSG msg;
        if (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            result.turns++;
        } else {
            idleSeen = true;
            MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        }
    }
    result.ms = (Now() - start) * 1000;
    result.beforeFirstIdle = !idleSeen;
    if (g.left != want)
        result.turns = -1;
    return result;
}

// The medians of a measure's windows, and how many came before the first
// idle turn ended.
static void ReportAppearances(const char *name, const std::vector<Appearance> &appear)
{
    std::vector<int> turns;
    std::vector<double> ms;
    int beforeIdle = 0, missing = 0;
    for (const Appearance &a : appear) {
        if (a.turns < 0) {
            missing++;
            continue;
        }
        turns.push_back(a.turns);
        ms.push_back(a.ms);
        beforeIdle += a.beforeFirstIdle;
    }
    std::sort(turns.begin(), turns.end());
    std::sort(ms.begin(), ms.end());
    if (!turns.empty())
        printf("%s median %d loop turns, %.1f ms; before the first idle turn ended in %d of %d "
               "(%d never)\n", name, turns[turns.size() / 2], ms[ms.size() / 2], beforeIdle,
               (int)turns.size(), missing);
    else if (!appear.empty())
        printf("%s never, in %d tries\n", name, (int)appear.size());
}

static bool ReadFileBytes(const std::string &path, std::string *bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0,
                              NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(file, NULL), got = 0;
    bytes->assign(size, '\0');
    bool ok = size != INVALID_FILE_SIZE && (size == 0 || ReadFile(file, &(*bytes)[0], size, &got, NULL)) &&
              got == size;
    CloseHandle(file);
    return ok;
}

static bool WriteFileBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &put, NULL) && put == bytes.size();
    CloseHandle(file);
    return ok;
}

// kovw in a temporary home, started and ended as often as the rounds ask,
// as a user does (its own close, which releases every frame). With
// companion, the main is the other architecture's kovw, and this
// architecture's frames are Kov's companion's, as on a 64-bit system where
// the user runs the 32-bit Kov. A Kov from before the desktop-wide record
// has no companion: its main's hooks are still called for this frame, but
// nothing dresses it, and there is no switch of its to read from here.
struct Kov {
    std::string home;
    bool companion = false;
    bool undressed = false;
    PROCESS_INFORMATION pi = {};
    HANDLE companionProcess = NULL;
    HMODULE dll = NULL;
    HWND main = NULL;
    OptionsRecord options = {};
    volatile int32_t *suspended = NULL;   // Kov's switch, where the running Kov keeps it

    bool Setup(const std::string &bin, bool withCompanion)
    {
        companion = withCompanion;
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        home = std::string(temp) + "kovbench-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(home.c_str(), NULL);
        for (const char *file :
             {KOV_CONTROLLER_FILE, KOV_HOOK_FILE, KOV_OTHER_CONTROLLER_FILE, OTHER_HOOK_FILE}) {
            bool needed = companion || !strcmp(file, KOV_CONTROLLER_FILE) ||
                          !strcmp(file, KOV_HOOK_FILE);
            if (needed && !CopyFileA((bin + file).c_str(), (home + file).c_str(), FALSE)) {
                fprintf(stderr, "kovbench: cannot copy %s%s\n", bin.c_str(), file);
                return false;
            }
        }
        // Kept in this process from start to end, so that no round pays
        // for the hooks bringing the library in.
        dll = LoadLibraryA((home + KOV_HOOK_FILE).c_str());
        if (!dll) {
            fprintf(stderr, "kovbench: cannot load %s%s\n", home.c_str(), KOV_HOOK_FILE);
            return false;
        }
        undressed = companion && !GetProcAddress(dll, "OpenKovShared");
        return true;
    }

    // Kov's switch: in the desktop-wide record, which the main makes at its
    // start and this process then holds open through its copy of the
    // library (so that every later start finds the same one); in a Kov from
    // before that record, the flag the library exports.
    bool FindSwitch()
    {
        if (suspended || undressed)
            return true;
        auto open = (decltype(&OpenKovShared))GetProcAddress(dll, "OpenKovShared");
        auto get = (decltype(&GetKovShared))GetProcAddress(dll, "GetKovShared");
        if (!open || !get) {
            suspended = (volatile int32_t *)GetProcAddress(dll, "_SuspendKovTemp");
            if (!suspended)
                fprintf(stderr, "kovbench: %s exports no suspend flag\n", KOV_HOOK_FILE);
            return suspended != NULL;
        }
        int opened = open(0);
        KovShared *shared = get();
        // The switch has kept its place since the record's first layout: a
        // Kov of an earlier one is measured as well.
        if (opened != SHARED_OPEN || !shared || shared->Version < 1 ||
            shared->Version > KOV_SHARED_VERSION || shared->Size < offsetof(KovShared, Suspend) + 4) {
            fprintf(stderr, "kovbench: Kov's desktop-wide record is not one this benchmark reads "
                    "(open %d, version %u, size %u)\n", opened, shared ? shared->Version : 0,
                    shared ? shared->Size : 0);
            return false;
        }
        suspended = &shared->Suspend;
        return true;
    }

    // Kov's Suspend and Enable, as its menu gives them. A switch that does
    // not move ends the run: its rounds would lack the comparison with Kov
    // suspended, and each would wait for it.
    bool Suspend(bool on)
    {
        if ((*suspended != 0) == on)
            return true;
        PostMessageA(main, WM_COMMAND, IDM_SUSPEND, 0);
        if (PumpUntil([&] { return (*suspended != 0) == on; }, 5))
            return true;
        fprintf(stderr, "kovbench: Kov's %s did not take within 5 s (the switch still reads %d)\n",
                on ? "Suspend" : "Enable", (int)*suspended);
        return false;
    }

    // Kov's first start writes its default options; the middle button then
    // gets the scroll action, so that the mouse hook has its real work to do
    // on every move from the next start on.
    bool Configure(HWND frame)
    {
        if (!Start(frame) || !Stop(frame))
            return false;
        std::string bytes;
        if (!ReadFileBytes(home + "kovopt.ini", &bytes) || bytes.size() != sizeof(OptionsRecord)) {
            fprintf(stderr, "kovbench: Kov wrote no options file\n");
            return false;
        }
        memcpy(&options, bytes.data(), sizeof(options));
        options.MouseAction[SLOT_MIDDLE].ActionId = ACTION_SCROLLPAGE;
        bytes.assign((const char *)&options, sizeof(options));
        return WriteFileBytes(home + "kovopt.ini", bytes);
    }

    // Started, and done with the frame: subclassed, its group shown, and
    // the start-up's own work given time to end.
    bool Start(HWND frame)
    {
        if (pi.hProcess)
            return true;
        const char *controller = companion ? KOV_OTHER_CONTROLLER_FILE : KOV_CONTROLLER_FILE;
        std::string line = "\"" + home + controller + "\"";
        STARTUPINFOA si = {sizeof(si)};
        if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, home.c_str(), &si, &pi)) {
            fprintf(stderr, "kovbench: kovw did not start\n");
            return false;
        }
        bool ready = PumpUntil(
            [&] {
                DWORD pid = 0;
                main = FindWindowA(KOV_MAIN_CLASS, NULL);
                GetWindowThreadProcessId(main, &pid);
                bool dressed = Subclassed(frame) && GroupVisible(frame);
                return main && pid == pi.dwProcessId &&
                       (undressed || (dressed && (!companion || FindCompanion())));
            },
            20);
        if (!ready) {
            fprintf(stderr, "kovbench: Kov did not dress the frame (window %d, subclass %d, "
                    "group %d%s)\n", main != NULL, Subclassed(frame), GroupVisible(frame),
                    companion && !companionProcess ? ", no companion" : "");
            return false;
        }
        if (!FindSwitch())
            return false;
        // Undressed, nothing tells when the main's hooks are in: they go in
        // from its message loop's first turns.
        Idle(undressed ? 1.0 : 0.3);
        return true;
    }

    // The companion's process, by its window: the main started it, and a
    // round without Kov waits for it to end too.
    bool FindCompanion()
    {
        if (companionProcess)
            return true;
        HWND window = FindWindowExA(HWND_MESSAGE, NULL, COMPANION_CLASS, NULL);
        DWORD pid = 0;
        if (window && GetWindowThreadProcessId(window, &pid))
            companionProcess = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        return companionProcess != NULL;
    }

    // Ended as the user ends it (the main, which ends its companion); the
    // frame back to its own procedure.
    bool Stop(HWND frame)
    {
        if (!pi.hProcess)
            return true;
        if (main)
            PostMessageA(main, WM_CLOSE, 0, 0);
        // kovw sends each frame its release: the loop must keep running.
        auto over = [](HANDLE process) {
            return !process || WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        };
        bool ended = PumpUntil([&] { return over(pi.hProcess) && over(companionProcess); }, 20);
        if (!ended) {
            TerminateProcess(pi.hProcess, 1);
            if (companionProcess)
                TerminateProcess(companionProcess, 1);
        }
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);
        if (companionProcess)
            CloseHandle(companionProcess);
        pi = PROCESS_INFORMATION();
        companionProcess = NULL;
        main = NULL;
        if (!ended || (frame && !PumpUntil([&] { return !Subclassed(frame); }, 5))) {
            fprintf(stderr, "kovbench: Kov did not end cleanly\n");
            return false;
        }
        Idle(0.3);
        return true;
    }

    ~Kov()
    {
        Stop(NULL);
        if (dll)
            FreeLibrary(dll);
        for (const char *file : {KOV_CONTROLLER_FILE, KOV_HOOK_FILE, KOV_OTHER_CONTROLLER_FILE,
                                 OTHER_HOOK_FILE, "kovopt.ini", "kovxcept.ini"})
            DeleteFileA((home + file).c_str());
        RemoveDirectoryA(home.c_str());
    }
};

// One round's figures, in nanoseconds. Without Kov, also with an empty hook
// of our own; with Kov, also with Kov's hooks suspended (Kov's own switch:
// its hooks stay installed and pass everything on at once), which is an
// empty hook of exactly the kind Kov's is.
struct Round {
    double send, postGet, postGetEmpty, postGetIdle, move, moveEmpty, moveIdle;
};

// False when Kov's switch did not move (the reason is printed).
static bool Measure(HWND frame, Kov *kov, Round *round)
{
    Round best = {NAN, NAN, NAN, NAN, NAN, NAN, NAN};
    for (int i = 0; i < REPEATS; i++) {
        best.send = Best(best.send, SendCost(frame, SENDS));
        best.postGet = Best(best.postGet, PostGetCost(frame, posts));
        best.move = Best(best.move, MoveCost(frame, MOVES));
        if (kov && kov->undressed)
            continue;
        if (kov) {
            // Turn about with Kov's own work, a run at a time.
            if (!kov->Suspend(true))
                return false;
            best.postGetIdle = Best(best.postGetIdle, PostGetCost(frame, posts));
            best.moveIdle = Best(best.moveIdle, MoveCost(frame, MOVES));
            if (!kov->Suspend(false))
                return false;
            continue;
        }
        // What any hook of the kind costs here: the system's part.
        HHOOK empty = SetWindowsHookExA(WH_GETMESSAGE, EmptyHook, NULL, GetCurrentThreadId());
        best.postGetEmpty = Best(best.postGetEmpty, PostGetCost(frame, posts));
        UnhookWindowsHookEx(empty);
        empty = SetWindowsHookExA(WH_MOUSE, EmptyHook, NULL, GetCurrentThreadId());
        best.moveEmpty = Best(best.moveEmpty, MoveCost(frame, MOVES));
        UnhookWindowsHookEx(empty);
    }
    *round = best;
    return true;
}

struct Spread {
    double median, min, max, low, high;   // low and high: the middle half
    int n;
};

// The value below which a fraction q of the sorted values lie.
static double Quantile(const std::vector<double> &sorted, double q)
{
    double at = q * (sorted.size() - 1);
    size_t i = (size_t)at;
    if (i + 1 >= sorted.size())
        return sorted.back();
    return sorted[i] + (at - i) * (sorted[i + 1] - sorted[i]);
}

static Spread Summarize(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return isnan(v); }),
                 values.end());
    Spread s = {NAN, NAN, NAN, NAN, NAN, (int)values.size()};
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    s.median = Quantile(values, 0.5);
    s.low = Quantile(values, 0.25);
    s.high = Quantile(values, 0.75);
    s.min = values.front();
    s.max = values.back();
    return s;
}

static void Report(const char *name, const std::vector<Round> &without, double Round::*base,
                   const std::vector<Round> &with, double Round::*kov, double scale,
                   const char *unit)
{
    std::vector<double> ratios, a, b;
    for (size_t i = 0; i < with.size(); i++) {
        a.push_back(without[i].*base);
        b.push_back(with[i].*kov);
        ratios.push_back(with[i].*kov / (without[i].*base));
    }
    Spread r = Summarize(ratios), x = Summarize(a), y = Summarize(b);
    printf("%-38s %9.2f %-2s %9.2f %-2s   ratio %.3f (%.3f-%.3f, %d pairs)\n", name,
           x.median / scale, unit, y.median / scale, unit, r.median, r.min, r.max, r.n);
    printf("%-38s middle half of the pairs %.3f-%.3f; per pair:", "", r.low, r.high);
    for (double v : ratios)
        printf(" %.3f", v);
    printf("\n");
}

// Auto-scroll: the middle button held in the lower part of the frame, the
// pointer moved up into the top band and left there; the ticks are the line
// scrolls the frame then gets, one per timer period.
static void AutoScrollTicks(HWND frame, const OptionsRecord &options)
{
    RECT outer;
    GetWindowRect(frame, &outer);
    POINT top = {0, 0};
    ClientToScreen(frame, &top);
    POINT at = ClientCentre(frame);
    at.y = outer.bottom - (outer.bottom - outer.top) / 4;
    int bandEnd = outer.top + options.AutoScrollZone;
    LONG goal = std::min<LONG>(top.y + 10, bandEnd - 2);
    unsigned interval = options.AutoScrollInterval;
    const double listen = 3.0;

    // The drag at the display, as a hand makes it: under Wine a middle
    // button held by SendInput did not stay held through the moves of a
    // drag (two line scrolls for sixteen moves), as keys do not either.
    LONG downs = middleDowns;
    const char *failed = NULL;
    if (!XMoveAndWait(frame, at))
        failed = "the pointer did not get to the frame";
    LONG linesBefore = linesUp;
    if (!failed && !(Xdo("mousedown 2") && PumpUntil([&] { return middleDowns != downs; }, 2.0)))
        failed = "the frame did not get the middle button's press";
    while (!failed && at.y > goal) {
        at.y = std::max<LONG>(at.y - 12, goal);
        if (!XMoveAndWait(frame, at))
            failed = "a move of the drag did not reach the frame";
    }
    Idle(0.05);
    LONG dragLines = linesUp - linesBefore;
    ticks.clear();
    recordTicks = true;
    Idle(listen);
    recordTicks = false;
    std::vector<double> held = ticks;
    Xdo("mouseup 2");
    PumpUntil([] { return !(GetAsyncKeyState(VK_MBUTTON) & 0x8000); }, 2.0);
    ticks.clear();
    recordTicks = true;
    Idle(0.5);
    recordTicks = false;
    size_t after = ticks.size();
    MoveAndWait(frame, ClientCentre(frame));

    printf("4. auto-scroll ticks (interval %u ms, band %d px, pointer %ld px below the top edge)\n",
           interval, options.AutoScrollZone, at.y - outer.top);
    if (failed) {
        printf("   not measured: %s\n", failed);
        return;
    }
    if (held.size() < 2) {
        printf("   no ticks: auto-scroll did not start (%ld line scrolls during the drag, %d in "
               "the %.1f s after it)\n", dragLines, (int)held.size(), listen);
        return;
    }
    std::vector<double> gaps;
    for (size_t i = 1; i < held.size(); i++)
        gaps.push_back((held[i] - held[i - 1]) * 1000);
    Spread g = Summarize(gaps);
    printf("   %d ticks in %.1f s: interval median %.1f ms, shortest %.1f, worst %.1f ms "
           "(%.2f and %.2f times the setting); %d after the release\n",
           (int)held.size(), listen, g.median, g.min, g.max, g.median / interval,
           g.max / interval, (int)after);
}

int main(int argc, char **argv)
{
    int pairs = 16, windows = 30;
    bool companion = false, askedLooks = false, looks = false;
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof(path));
    std::string bin(path);
    // The programs of the build lie in the top's bin/, this one in the
    // architecture's (build/x64/bin against build/bin).
    bin = bin.substr(0, bin.find_last_of('\\') + 1) + "..\\..\\bin\\";
    for (int i = 1; i < argc; i++) {
        if (!strncmp(argv[i], "/pairs:", 7))
            pairs = std::max(1, atoi(argv[i] + 7));
        else if (!strncmp(argv[i], "/windows:", 9))
            windows = atoi(argv[i] + 9);
        else if (!strcmp(argv[i], "/companion"))
            companion = true;
        else if (!strcmp(argv[i], "/looks"))
            askedLooks = true, looks = LoadLibraryA((std::string(path).substr(0, std::string(path).find_last_of('\\')) +
                                  "\\cloak\\dwmapi.dll").c_str()) != NULL;
        else if (!strncmp(argv[i], "/kov:", 5)) {
            bin = argv[i] + 5;
            if (!bin.empty() && bin.back() != '\\')
                bin += '\\';
        } else {
            fprintf(stderr, "usage: kovbench [/pairs:N] [/kov:DIR] [/windows:N] [/companion] [/looks]\n");
            return 2;
        }
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "KovBench";
    RegisterClassA(&wc);

    HWND frame = NewFrame(0);
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Idle(0.3);
    POINT centre = ClientCentre(frame);
    if (WindowFromPoint(centre) != frame)
        fprintf(stderr, "kovbench: another window covers the frame; mouse moves go there\n");

    Kov kov;
    if (companion)
        posts = POSTS / 4;
    if (!kov.Setup(bin, companion) || !kov.Configure(frame))
        return 1;
    // Not counted: the first round pays for what is done once.
    Round round;
    Measure(frame, NULL, &round);

    std::vector<Round> without, with;
    double started = Now();
    for (int p = 0; p < pairs; p++) {
        // W K | K W | W K | ...: one start or end of Kov per pair.
        bool kovFirst = p % 2 == 1;
        for (int half = 0; half < 2; half++) {
            bool withKov = (half == 0) == kovFirst;
            bool switched = withKov ? kov.Start(frame) : kov.Stop(frame);
            if (!switched)
                return 1;
            // Every round after the same pause: on an idle machine a round
            // that followed another at once ran up to four times slower than
            // one after a start or end of Kov (which pause), in both states.
            Idle(0.3);
            if (!Measure(frame, withKov ? &kov : NULL, &round))
                return 1;
            (withKov ? with : without).push_back(round);
        }
    }
    double elapsed = Now() - started;

    printf("Kov benchmark, a %d-bit frame; Kov: %s\n", (int)sizeof(void *) * 8,
           kov.undressed ? KOV_OTHER_CONTROLLER_FILE " of a Kov without a companion (the frame "
                           "not dressed, no Suspend)"
           : companion   ? KOV_OTHER_CONTROLLER_FILE " as the main, " KOV_CONTROLLER_FILE
                           " its companion"
                         : KOV_CONTROLLER_FILE " alone");
    if (looks)
        printf("Composition on (the tests' DWM): the frame's group is flat\n");
    printf("%d pairs of rounds (without Kov / with Kov, order alternating), %.0f s; each round "
           "the best of %d runs of %d SendMessage, %d post-and-get, %d moves\n",
           pairs, elapsed, REPEATS, SENDS, posts, MOVES);
    printf("%-38s %12s %12s   %s\n", "", "without", "with Kov", "median ratio (min-max)");
    Report("1. SendMessage to a frame", without, &Round::send, with, &Round::send, 1, "ns");
    Report("2. post and get in a thread", without, &Round::postGet, with, &Round::postGet, 1000,
           "us");
    Report("   Kov's hook against an empty hook", without, &Round::postGetEmpty, with,
           &Round::postGet, 1000, "us");
    Report("   Kov's hook against itself suspended", with, &Round::postGetIdle, with,
           &Round::postGet, 1000, "us");
    Report("3. mouse move to a frame (SendInput)", without, &Round::move, with, &Round::move, 1000,
           "us");
    Report("   Kov's hook against an empty hook", without, &Round::moveEmpty, with, &Round::move,
           1000, "us");
    Report("   Kov's hook against itself suspended", with, &Round::moveIdle, with, &Round::move,
           1000, "us");
    printf("   the frame saw %.2f moves for each move sent; %ld of %ld moves lost (their runs "
           "left out)\n", (double)moveCount / movesSent, movesLost, movesSent);

    if (kov.undressed) {
        printf("4., 5. not measured: nothing of Kov's dresses this frame\n");
        return 0;
    }
    if (!kov.Start(frame))
        return 1;
    AutoScrollTicks(frame, kov.options);

    std::vector<Appearance> appear, follow;
    for (int i = 0; i < windows; i++)
        appear.push_back(GroupAppears(i + 2));
    ReportAppearances("5. group visible after        ", appear);
    Pump();
    for (int i = 0; i < windows; i++)
        follow.push_back(GroupFollows(frame, i));
    ReportAppearances("6. group followed a move after", follow);
    if (looks)
        CompareLooks(windows);
    else if (askedLooks)
        printf("7. not measured: the tests' DWM (cloak\\dwmapi.dll) did not load\n");
    kov.Stop(frame);
    DestroyWindow(frame);
    return 0;
}
