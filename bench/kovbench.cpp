// Measures what Kov costs the programs it runs in, against the same work
// with Kov not running, in one run:
//   1. SendMessage to a frame (subclassed by Kov, or not)
//   2. a post-and-get message loop in a thread (hooked by Kov, or not)
//   3. how soon a new frame's button group is visible: message-loop turns
//      and milliseconds from CreateWindow, median of many windows, and
//      whether it was visible before the frame's first idle turn ended.
// Kov is started from a temporary copy of kovw.exe and kovhook.dll beside
// this program and ended again.
//
//   kovbench [messages] [windows]
#include <windows.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

#define WM_BENCH (WM_APP + 7)

static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_BENCH)
        return wParam + 1;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static double Now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart / frequency.QuadPart;
}

static void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

static HWND NewFrame(int n)
{
    HWND hwnd = CreateWindowExA(0, "KovBench", "Bench", WS_OVERLAPPEDWINDOW, 100 + n % 20 * 10,
                                100 + n % 20 * 10, 400, 300, NULL, NULL, GetModuleHandleA(NULL),
                                NULL);
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
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
static Appearance GroupAppears(int n)
{
    Appearance result = {0, 0, false};
    double start = Now();
    HWND frame = NewFrame(n);
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

// The library's shared section, which opens with its window table.
static void *SharedSection(HMODULE module)
{
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)module;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)((char *)module + dos->e_lfanew);
    IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; i++, section++)
        if (strncmp((const char *)section->Name, "MY_SHARE", 8) == 0)
            return (char *)module + section->VirtualAddress;
    return NULL;
}

// kovw started from a temporary home, enabled, and ended at the end.
struct Kov {
    std::string home;
    PROCESS_INFORMATION pi = {};
    HMODULE dll = NULL;

    bool Start(const std::string &bin)
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof(temp), temp);
        home = std::string(temp) + "kovbench-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(home.c_str(), NULL);
        for (const char *file : {"kovw.exe", "kovhook.dll"})
            if (!CopyFileA((bin + file).c_str(), (home + file).c_str(), FALSE))
                return false;
        std::string line = "\"" + home + "kovw.exe\"";
        STARTUPINFOA si = {sizeof(si)};
        if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, home.c_str(), &si, &pi))
            return false;
        // The same library file as kovw's, to see its window table: Kov is
        // ready once kovw's own window has its record.
        dll = LoadLibraryA((home + "kovhook.dll").c_str());
        const volatile HWND *table = dll ? (const volatile HWND *)SharedSection(dll) : NULL;
        double start = Now();
        while (table && Now() - start < 20) {
            HWND main = FindWindowA("KovMainWin", NULL);
            if (main && table[0] == main)
                return true;
            Pump();
            Sleep(20);
        }
        return false;
    }
    ~Kov()
    {
        HWND main = FindWindowA("KovMainWin", NULL);
        if (main)
            PostMessageA(main, WM_CLOSE, 0, 0);
        if (pi.hProcess) {
            if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0)
                TerminateProcess(pi.hProcess, 1);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        if (dll)
            FreeLibrary(dll);
        for (const char *file : {"kovw.exe", "kovhook.dll", "kovopt.ini", "kovxcept.ini"})
            DeleteFileA((home + file).c_str());
        RemoveDirectoryA(home.c_str());
    }
};

struct Costs {
    double send, postGet;
};

// Best of a few rounds: the least disturbed measurement of the same work.
static Costs Measure(HWND frame, int messages)
{
    Costs best = {1e30, 1e30};
    for (int round = 0; round < 5; round++) {
        best.send = std::min(best.send, SendCost(frame, messages));
        best.postGet = std::min(best.postGet, PostGetCost(frame, messages));
    }
    return best;
}

int main(int argc, char **argv)
{
    int messages = argc > 1 ? atoi(argv[1]) : 20000;
    int windows = argc > 2 ? atoi(argv[2]) : 30;
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof(path));
    std::string bin(path);
    bin = bin.substr(0, bin.find_last_of('\\') + 1);

    WNDCLASSA wc = {};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = "KovBench";
    RegisterClassA(&wc);

    HWND plain = NewFrame(0);
    Pump();
    Costs without = Measure(plain, messages);
    // What any get-message hook costs here: the system's part of (2).
    HHOOK empty = SetWindowsHookExA(WH_GETMESSAGE, EmptyHook, NULL, GetCurrentThreadId());
    double emptyHook = Measure(plain, messages).postGet;
    UnhookWindowsHookEx(empty);
    DestroyWindow(plain);
    Pump();

    Kov kov;
    if (!kov.Start(bin)) {
        fprintf(stderr, "kovbench: Kov did not start\n");
        return 1;
    }
    // A thread notices hooks installed while it was busy only once it takes
    // a message from its queue again (seen under Wine).
    PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0);
    MSG wake;
    GetMessageA(&wake, NULL, 0, 0);
    HWND frame = NewFrame(1);
    double start = Now();
    while (GetWindowLongPtrA(frame, GWLP_WNDPROC) == (LONG_PTR)FrameProc && Now() - start < 10) {
        Pump();
        Sleep(5);
    }
    if (GetWindowLongPtrA(frame, GWLP_WNDPROC) == (LONG_PTR)FrameProc) {
        fprintf(stderr, "kovbench: the frame was not subclassed\n");
        return 1;
    }
    Pump();
    Costs with = Measure(frame, messages);
    DestroyWindow(frame);
    Pump();

    std::vector<Appearance> appear;
    for (int i = 0; i < windows; i++)
        appear.push_back(GroupAppears(i + 2));
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

    printf("Kov benchmark: %d messages per measurement (best of 5), %d windows\n", messages,
           windows);
    printf("1. SendMessage to a frame      %8.0f ns without Kov, %8.0f ns subclassed: ratio %.3f\n",
           without.send, with.send, with.send / without.send);
    printf("2. post and get in a thread    %8.0f ns without Kov, %8.0f ns hooked:     ratio %.3f\n",
           without.postGet, with.postGet, with.postGet / without.postGet);
    printf("   with an empty hook instead  %8.0f ns: Kov's hook against it:            ratio %.3f\n",
           emptyHook, with.postGet / emptyHook);
    if (!turns.empty())
        printf("3. group visible after         median %d loop turns, %.1f ms; before the first idle "
               "turn ended in %d of %d windows (%d without a group)\n",
               turns[turns.size() / 2], ms[ms.size() / 2], beforeIdle, (int)turns.size(), missing);
    else
        printf("3. no group appeared in %d windows\n", windows);
    return 0;
}
