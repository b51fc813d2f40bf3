// The library's window table, its mutexes and its log, linked in and run
// against real windows and threads.
#include <doctest.h>
#include "hook/debuglog.h"
#include "hook/share.h"

#include <string.h>
#include <string>
#include <vector>

static const UINT WM_PROBE = WM_APP + 1;
static int Probed;

static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PROBE)
        return ++Probed;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

static HWND Frame(HWND parent = NULL)
{
    static ATOM atom;
    if (!atom) {
        WNDCLASSA wc = {0, FrameProc, 0, 0, GetModuleHandleA(NULL)};
        wc.lpszClassName = "KovUnitFrame";
        atom = RegisterClassA(&wc);
    }
    HWND hwnd = CreateWindowExA(0, "KovUnitFrame", "", parent ? WS_CHILD : WS_POPUP, 0, 0, 50, 20,
                                parent, NULL, GetModuleHandleA(NULL), NULL);
    REQUIRE(hwnd);
    return hwnd;
}

static bool Runs(HWND hwnd, WNDPROC proc)
{
    return GetWindowLongPtrA(hwnd, GWLP_WNDPROC) == (LONG_PTR)proc;
}

TEST_CASE("the window table")
{
    HWND a = Frame(), b = Frame(), c = Frame();
    int ia = -1, ib = -1, ic = -1;
    REQUIRE(AllocWindowIndex(a, &ia) == 0);
    REQUIRE(AllocWindowIndex(b, &ib) == 0);
    REQUIRE(AllocWindowIndex(c, &ic) == 0);
    CHECK((ia == 0 && ib == 1 && ic == 2));
    CHECK(HookedWindowCnt == 3);
    CHECK(Runs(a, SubclassProc));
    CHECK(SendMessageA(a, WM_PROBE, 0, 0) == 1);   // its own procedure, once

    // A released record is the next one taken.
    REQUIRE(FreeWindowIndex(b, FALSE) == 0);
    CHECK(Runs(b, FrameProc));
    CHECK(HookedWindowCnt == 2);
    CHECK(FreeWindowIndex(b, FALSE) == -1);
    int id = -1;
    REQUIRE(AllocWindowIndex(b, &id) == 0);
    CHECK(id == 1);

    // A group's buttons are found through the group.
    HWND group = Frame(), button = Frame(group);
    Win[ia].hwndButtons = group;
    CHECK(GetButtonWindowIndex(button, TRUE) == ia);
    CHECK(GetButtonWindowIndex(button, FALSE) == -1);

    // A destroyed frame releases its record, and the record of a window that
    // went without a word is taken again; a full table refuses the next
    // window and leaves it alone.
    DestroyWindow(c);
    CHECK(GetWindowIndex(c) == -1);
    HWND gone = Frame();
    DestroyWindow(gone);
    Win[WIN_TABLE_SIZE - 1].hwnd = gone;
    HookedWindowCnt++;
    std::vector<HWND> more;
    int index = 0;
    while (index >= 0 && more.size() < WIN_TABLE_SIZE) {
        more.push_back(Frame());
        index = AllocWindowIndex(more.back(), &index) == 0 ? index : -1;
    }
    CHECK(more.size() == WIN_TABLE_SIZE - 1);
    CHECK(Runs(more.back(), FrameProc));
    CHECK(HookedWindowCnt == WIN_TABLE_SIZE);

    REQUIRE(FreeWindowIndex(0, TRUE) == 0);
    CHECK(HookedWindowCnt == 0);
    CHECK(Runs(a, FrameProc));
    for (HWND hwnd : more)
        DestroyWindow(hwnd);
}

// Takes a named mutex on a thread of its own; lets go when told, or ends
// still owning it (abandoned).
struct Holder {
    const char *name;
    bool abandon;
    HANDLE letGo = CreateEventA(NULL, TRUE, FALSE, NULL), thread;
    DWORD wait = WAIT_FAILED;
    Holder(const char *name, bool abandon) : name(name), abandon(abandon)
    {
        thread = CreateThread(NULL, 0, Run, this, 0, NULL);
        if (abandon)
            WaitForSingleObject(thread, 5000);
        else
            while (wait == WAIT_FAILED)
                Sleep(10);
    }
    ~Holder()
    {
        SetEvent(letGo);
        WaitForSingleObject(thread, 5000);
    }
    static DWORD WINAPI Run(void *param)
    {
        Holder *me = (Holder *)param;
        HANDLE mutex = CreateMutexA(NULL, FALSE, me->name);
        me->wait = WaitForSingleObject(mutex, 5000);
        if (!me->abandon) {
            WaitForSingleObject(me->letGo, INFINITE);
            ReleaseMutex(mutex);
        }
        CloseHandle(mutex);
        return 0;
    }
};

TEST_CASE("the mutexes: a time-out, a release, an abandoned owner")
{
    const char *name = "KovUnitMutex";
    HANDLE keep = CreateMutexA(NULL, FALSE, name), mutex;   // the name outlives the holders
    {
        Holder other(name, false);
        CHECK(GetMutexCS(&mutex, name, 50) == -1);
        ReleaseMutexCS(mutex);
    }
    REQUIRE(GetMutexCS(&mutex, name, 0) == 0);
    CHECK(ReleaseMutexCS(mutex) == 0);
    CHECK(Holder(name, false).wait == WAIT_OBJECT_0);   // released, so free to others
    {
        Holder gone(name, true);
        CHECK(gone.wait == WAIT_OBJECT_0);
    }
    CHECK(GetMutexCS(&mutex, name, 1000) == -1);   // abandoned: reported once
    CHECK(Holder(name, false).wait == WAIT_OBJECT_0);
    ReleaseMutexCS(mutex);
    CHECK(GetMutexCS(&mutex, name, 0) == 0);   // then clean
    CHECK(ReleaseMutexCS(mutex) == 0);
    CloseHandle(keep);
}

TEST_CASE("the log writes the messages within its level")
{
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string file = std::string(temp) + "kovlog.txt";
    DebugFileCS = file.c_str();
    DebugLevelCS = 2;
    for (int level = -1; level <= 4; level++)
        DebugMessageCS(level, "level %d", level);
    char text[128] = "";
    FILE *log = fopen(file.c_str(), "rb");
    REQUIRE(log);
    text[fread(text, 1, sizeof(text) - 1, log)] = 0;
    fclose(log);
    CHECK(std::string(text) == "level -1\r\nlevel 0\r\nlevel 1\r\nlevel 2\r\n");
}
