// The window table and the helpers every process calls. The table lives in
// the shared section, so each test starts from an empty table and leaves
// one behind, whatever it did to it.
#include <doctest.h>
#include "hook/share.h"

#include <string.h>
#include <string>
#include <vector>

namespace {

const UINT WM_PROBE = WM_APP + 0x21;
const LRESULT PROBE_REPLY = 0x4B6F76;
int ProbeCount = 0;
int DestroyCount = 0;

// The frames' own procedures: count what arrives so that a test can tell
// whether the subclass passed a message on, and exactly once.
LRESULT CALLBACK ProbeProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PROBE) {
        ProbeCount++;
        return PROBE_REPLY;
    }
    if (msg == WM_DESTROY)
        DestroyCount++;
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK ProbeProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_PROBE) {
        ProbeCount++;
        return PROBE_REPLY;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

const char FrameClassA[] = "KovUnitFrameA";
const wchar_t FrameClassW[] = L"KovUnitFrameW";

void RegisterFrameClasses()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSA a = {};
    a.lpfnWndProc = ProbeProcA;
    a.hInstance = GetModuleHandleA(NULL);
    a.lpszClassName = FrameClassA;
    REQUIRE(RegisterClassA(&a));
    WNDCLASSW w = {};
    w.lpfnWndProc = ProbeProcW;
    w.hInstance = GetModuleHandleA(NULL);
    w.lpszClassName = FrameClassW;
    REQUIRE(RegisterClassW(&w));
    registered = true;
}

// Procedures as numbers, which the test framework can print.
uintptr_t P(WNDPROC proc)
{
    return (uintptr_t)proc;
}

uintptr_t ProcOf(HWND hwnd)
{
    return (uintptr_t)(IsWindowUnicode(hwnd) ? GetWindowLongPtrW(hwnd, GWLP_WNDPROC)
                                             : GetWindowLongPtrA(hwnd, GWLP_WNDPROC));
}

bool IsZero(const void *bytes, size_t size)
{
    for (size_t i = 0; i < size; i++)
        if (((const unsigned char *)bytes)[i])
            return false;
    return true;
}

int RecordsOf(HWND hwnd)
{
    int n = 0;
    for (const WinRecord &record : Win)
        n += record.hwnd == hwnd;
    return n;
}

struct TableFixture {
    std::vector<HWND> windows;

    TableFixture()
    {
        RegisterFrameClasses();
        FreeWindowIndex(0, TRUE);
        HookedWindowCnt = 0;
        ProbeCount = 0;
        DestroyCount = 0;
    }
    ~TableFixture()
    {
        FreeWindowIndex(0, TRUE);
        HookedWindowCnt = 0;
        for (HWND hwnd : windows)
            DestroyWindow(hwnd);
    }
    HWND Frame(HWND parent = 0, const char *className = FrameClassA)
    {
        DWORD style = parent ? WS_CHILD : WS_POPUP;
        HWND hwnd = CreateWindowExA(0, className, "frame", style, 0, 0, 120, 40, parent,
                                    parent ? (HMENU)1 : 0, GetModuleHandleA(NULL), NULL);
        REQUIRE(hwnd);
        windows.push_back(hwnd);
        return hwnd;
    }
};

}   // namespace

TEST_CASE_FIXTURE(TableFixture, "AllocWindowIndex subclasses a window into the first free record")
{
    SUBCASE("only live windows are taken")
    {
        HWND dead = Frame();
        DestroyWindow(dead);
        int index = 77;
        CHECK(AllocWindowIndex(0, &index) == -1);
        CHECK(AllocWindowIndex(dead, &index) == -1);
        CHECK(index == 77);
        CHECK(HookedWindowCnt == 0);
        CHECK(IsZero(Win, sizeof(Win)));
    }
    SUBCASE("the record is cleared before it is filled")
    {
        memset(&Win[0], 0xA5, sizeof(Win[0]));   // left-overs of an earlier owner
        Win[0].hwnd = 0;
        HWND hwnd = Frame();
        int index = -1;
        REQUIRE(AllocWindowIndex(hwnd, &index) == 0);
        CHECK(index == 0);
        CHECK(ProcOf(hwnd) == P(SubclassProc));
        CHECK(HookedWindowCnt == 1);
        CHECK(GetWindowIndex(hwnd) == 0);
        WinRecord expected;
        memset(&expected, 0, sizeof(expected));
        expected.hwnd = hwnd;
        expected.OldWndProc = ProbeProcA;
        CHECK(memcmp(&Win[0], &expected, sizeof(expected)) == 0);
    }
    SUBCASE("messages still reach the window's own procedure, once")
    {
        HWND hwnd = Frame();
        int index = -1;
        REQUIRE(AllocWindowIndex(hwnd, &index) == 0);
        CHECK(SendMessageA(hwnd, WM_PROBE, 0, 0) == PROBE_REPLY);
        CHECK(ProbeCount == 1);
    }
    SUBCASE("a released record is the next one taken")
    {
        HWND a = Frame(), b = Frame(), c = Frame(), d = Frame();
        int ia = -1, ib = -1, ic = -1, id = -1;
        REQUIRE(AllocWindowIndex(a, &ia) == 0);
        REQUIRE(AllocWindowIndex(b, &ib) == 0);
        REQUIRE(AllocWindowIndex(c, &ic) == 0);
        CHECK(ia == 0);
        CHECK(ib == 1);
        CHECK(ic == 2);
        REQUIRE(FreeWindowIndex(b, FALSE) == 0);
        REQUIRE(AllocWindowIndex(d, &id) == 0);
        CHECK(id == 1);
        CHECK(HookedWindowCnt == 3);
    }
    SUBCASE("a second allocation replaces the first record")
    {
        HWND hwnd = Frame();
        int first = -1, second = -1;
        REQUIRE(AllocWindowIndex(hwnd, &first) == 0);
        REQUIRE(AllocWindowIndex(hwnd, &second) == 0);
        CHECK(RecordsOf(hwnd) == 1);
        CHECK(HookedWindowCnt == 1);
        // Had the subclass not been undone first, the record would chain to
        // SubclassProc itself and every message would loop.
        CHECK(P(Win[second].OldWndProc) == P(ProbeProcA));
        CHECK(SendMessageA(hwnd, WM_PROBE, 0, 0) == PROBE_REPLY);
        CHECK(ProbeCount == 1);
    }
    SUBCASE("a Unicode window stays Unicode")
    {
        HWND hwnd = CreateWindowExW(0, FrameClassW, L"frame", WS_POPUP, 0, 0, 120, 40, 0, 0,
                                    GetModuleHandleA(NULL), NULL);
        REQUIRE(hwnd);
        windows.push_back(hwnd);
        int index = -1;
        REQUIRE(AllocWindowIndex(hwnd, &index) == 0);
        CHECK(IsWindowUnicode(hwnd));
        CHECK(P(Win[index].OldWndProc) == P(ProbeProcW));
        CHECK(SendMessageW(hwnd, WM_PROBE, 0, 0) == PROBE_REPLY);
        REQUIRE(FreeWindowIndex(hwnd, FALSE) == 0);
        CHECK(IsWindowUnicode(hwnd));
        CHECK((uintptr_t)GetWindowLongPtrW(hwnd, GWLP_WNDPROC) == P(ProbeProcW));
    }
}

TEST_CASE_FIXTURE(TableFixture, "a full table refuses the next window and leaves it alone")
{
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        int index = -1;
        REQUIRE(AllocWindowIndex(Frame(), &index) == 0);
        REQUIRE(index == i);
    }
    CHECK(HookedWindowCnt == WIN_TABLE_SIZE);

    HWND extra = Frame();
    int index = 77;
    CHECK(AllocWindowIndex(extra, &index) == -1);
    CHECK(index == 77);
    CHECK(ProcOf(extra) == P(ProbeProcA));
    CHECK(GetWindowIndex(extra) == -1);
    CHECK(HookedWindowCnt == WIN_TABLE_SIZE);

    CHECK(FreeWindowIndex(0, TRUE) == 0);
    CHECK(IsZero(Win, sizeof(Win)));
    CHECK(HookedWindowCnt == 0);
    int restored = 0;
    for (HWND hwnd : windows)
        restored += ProcOf(hwnd) == P(ProbeProcA);
    CHECK(restored == WIN_TABLE_SIZE + 1);
}

TEST_CASE_FIXTURE(TableFixture, "FreeWindowIndex")
{
    SUBCASE("one window: procedure restored, record zeroed")
    {
        HWND hwnd = Frame();
        int index = -1;
        REQUIRE(AllocWindowIndex(hwnd, &index) == 0);
        Win[index].cxButton = 18;
        Win[index].nButtons = 3;
        CHECK(FreeWindowIndex(hwnd, FALSE) == 0);
        CHECK(ProcOf(hwnd) == P(ProbeProcA));
        CHECK(IsZero(&Win[index], sizeof(Win[index])));
        CHECK(HookedWindowCnt == 0);
        CHECK(GetWindowIndex(hwnd) == -1);
    }
    SUBCASE("a window without a record")
    {
        HWND other = Frame();
        int index = -1;
        REQUIRE(AllocWindowIndex(Frame(), &index) == 0);
        CHECK(FreeWindowIndex(other, FALSE) == -1);
        CHECK(FreeWindowIndex(0, FALSE) == -1);   // must not match a free record
        CHECK(HookedWindowCnt == 1);
    }
    SUBCASE("all: every record zero, the count never below zero")
    {
        HWND a = Frame(), b = Frame(), c = Frame();
        int index = -1;
        REQUIRE(AllocWindowIndex(a, &index) == 0);
        REQUIRE(AllocWindowIndex(b, &index) == 0);
        REQUIRE(AllocWindowIndex(c, &index) == 0);
        // A record of a window that died without telling anyone, and not
        // counted: four releases against a count of three.
        HWND dead = Frame();
        DestroyWindow(dead);
        Win[40].hwnd = dead;
        Win[40].OldWndProc = ProbeProcA;
        Win[40].yTop = 9;

        CHECK(FreeWindowIndex(0, TRUE) == 0);
        CHECK(IsZero(Win, sizeof(Win)));
        CHECK(HookedWindowCnt == 0);
        CHECK(ProcOf(a) == P(ProbeProcA));
        CHECK(ProcOf(b) == P(ProbeProcA));
        CHECK(ProcOf(c) == P(ProbeProcA));

        CHECK(FreeWindowIndex(0, TRUE) == 0);
        CHECK(HookedWindowCnt == 0);
    }
    SUBCASE("destroying a subclassed window releases its record")
    {
        HWND hwnd = Frame();
        int index = -1;
        REQUIRE(AllocWindowIndex(hwnd, &index) == 0);
        REQUIRE(DestroyWindow(hwnd));
        CHECK(DestroyCount == 1);   // the window's own procedure still saw it
        CHECK(GetWindowIndex(hwnd) == -1);
        CHECK(IsZero(Win, sizeof(Win)));
        CHECK(HookedWindowCnt == 0);
    }
}

TEST_CASE_FIXTURE(TableFixture, "GetWindowIndex and GetButtonWindowIndex")
{
    HWND frame = Frame();
    int index = -1;
    REQUIRE(AllocWindowIndex(frame, &index) == 0);

    SUBCASE("a null handle matches nothing")
    {
        // The table holds free records and a record without a button group,
        // both of which hold zero handles.
        CHECK(GetWindowIndex(0) == -1);
        CHECK(GetButtonWindowIndex(0, TRUE) == -1);
        CHECK(GetButtonWindowIndex(0, FALSE) == -1);
    }
    SUBCASE("the group window, or with orParent one of its children")
    {
        HWND group = Frame();
        HWND button = CreateWindowExA(0, "BUTTON", "b", WS_CHILD, 0, 0, 16, 16, group, (HMENU)1,
                                      GetModuleHandleA(NULL), NULL);
        REQUIRE(button);
        HWND stranger = Frame();
        Win[index].hwndButtons = group;

        CHECK(GetButtonWindowIndex(group, FALSE) == index);
        CHECK(GetButtonWindowIndex(group, TRUE) == index);
        CHECK(GetButtonWindowIndex(button, TRUE) == index);
        CHECK(GetButtonWindowIndex(button, FALSE) == -1);
        CHECK(GetButtonWindowIndex(stranger, TRUE) == -1);
        CHECK(GetButtonWindowIndex(frame, TRUE) == -1);
        CHECK(GetWindowIndex(frame) == index);
        CHECK(GetWindowIndex(group) == -1);
    }
}

namespace {

// Takes a named mutex on a thread of its own and holds it until told to let
// go, or ends while still owning it (the mutex is then abandoned).
class MutexHolder {
public:
    MutexHolder(const char *name, bool abandon) : name_(name), abandon_(abandon)
    {
        held_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        letGo_ = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = CreateThread(NULL, 0, Run, this, 0, NULL);
        REQUIRE(thread_);
        REQUIRE(WaitForSingleObject(held_, 10000) == WAIT_OBJECT_0);
    }
    ~MutexHolder()
    {
        SetEvent(letGo_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(held_);
        CloseHandle(letGo_);
    }
    // Whether the thread owned the mutex within its 5 s deadline.
    bool Owned() const { return wait_ == WAIT_OBJECT_0; }
    bool Ended(DWORD timeoutMs) { return WaitForSingleObject(thread_, timeoutMs) == WAIT_OBJECT_0; }
    void LetGo() { SetEvent(letGo_); }

private:
    static DWORD WINAPI Run(void *self)
    {
        MutexHolder *me = (MutexHolder *)self;
        // Initial ownership would be ignored for a name that already exists.
        HANDLE mutex = CreateMutexA(NULL, FALSE, me->name_);
        me->wait_ = mutex ? WaitForSingleObject(mutex, 5000) : WAIT_FAILED;
        SetEvent(me->held_);
        if (!me->abandon_) {
            WaitForSingleObject(me->letGo_, INFINITE);
            ReleaseMutex(mutex);
        }
        CloseHandle(mutex);   // ownership belongs to the thread, not the handle
        return 0;
    }
    const char *name_;
    bool abandon_;
    DWORD wait_ = WAIT_FAILED;
    HANDLE held_, letGo_, thread_;
};

std::string UniqueMutexName()
{
    static int serial = 0;
    return "KovUnitMutex" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(serial++);
}

}   // namespace

TEST_CASE("GetMutexCS and ReleaseMutexCS")
{
    std::string name = UniqueMutexName();
    // Keeps the named object alive across the holders' lifetimes.
    HANDLE keep = CreateMutexA(NULL, FALSE, name.c_str());
    REQUIRE(keep);
    HANDLE mutex = 0;

    SUBCASE("a free mutex is owned at once")
    {
        CHECK(GetMutexCS(&mutex, name.c_str(), 0) == 0);
        REQUIRE(mutex);
        CHECK(ReleaseMutexCS(mutex) == 0);
    }
    SUBCASE("held by another thread: the wait times out")
    {
        MutexHolder holder(name.c_str(), false);
        REQUIRE(holder.Owned());
        CHECK(GetMutexCS(&mutex, name.c_str(), 50) == -1);
        REQUIRE(mutex);
        ReleaseMutexCS(mutex);
        holder.LetGo();
        REQUIRE(holder.Ended(5000));
        CHECK(GetMutexCS(&mutex, name.c_str(), 1000) == 0);
        CHECK(ReleaseMutexCS(mutex) == 0);
    }
    SUBCASE("abandoned: reported once, then clean")
    {
        {
            MutexHolder holder(name.c_str(), true);
            REQUIRE(holder.Owned());
            REQUIRE(holder.Ended(5000));
        }
        CHECK(GetMutexCS(&mutex, name.c_str(), 1000) == -1);
        REQUIRE(mutex);
        {
            // Free already, before the caller's ReleaseMutexCS.
            MutexHolder other(name.c_str(), false);
            CHECK(other.Owned());
        }
        ReleaseMutexCS(mutex);
        CHECK(GetMutexCS(&mutex, name.c_str(), 0) == 0);
        CHECK(ReleaseMutexCS(mutex) == 0);
    }
    CloseHandle(keep);
}

TEST_CASE_FIXTURE(TableFixture, "AllocWindowIndex gives up when the table lock stays taken")
{
    HWND hwnd = Frame();
    MutexHolder holder(MUTEX_WININDEX, false);
    REQUIRE(holder.Owned());
    int index = 77;
    DWORD start = GetTickCount();
    CHECK(AllocWindowIndex(hwnd, &index) == -1);
    DWORD waited = GetTickCount() - start;
    CHECK(waited >= 4500);
    CHECK(waited < 20000);
    CHECK(index == 77);
    CHECK(ProcOf(hwnd) == P(ProbeProcA));
    CHECK(GetWindowIndex(hwnd) == -1);
    CHECK(HookedWindowCnt == 0);
}

TEST_CASE("getBaseNameCS returns the part after the last separator")
{
    struct Case {
        const char *path;
        int length;   // -1: the whole string
        int offset;
    };
    const Case cases[] = {
        {"C:\\DIR\\APP.EXE", -1, 7},
        {"C:APP.EXE", -1, 2},
        {"APP.EXE", -1, 0},
        {"DIR/SUB/APP.EXE", -1, 8},
        {"C:\\DIR\\", -1, 3},   // the last character is never the separator
        {"C:\\DIR\\APP.EXE", 0, 0},
        {"C:\\DIR\\APP.EXE", 6, 3},   // only the first length characters count
        {"\\", -1, 0},
    };
    for (const Case &c : cases) {
        std::string buffer = c.path;
        int length = c.length < 0 ? (int)buffer.size() : c.length;
        CAPTURE(c.path);
        CAPTURE(length);
        CHECK(getBaseNameCS(&buffer[0], length) - &buffer[0] == c.offset);
    }
}

TEST_CASE("IsValidProcCS")
{
    CHECK_FALSE(IsValidProcCS(NULL));
    CHECK(IsValidProcCS(ProbeProcA));
    CHECK(IsValidProcCS(DefWindowProcA));
    CHECK(IsValidProcCS((WNDPROC)0xFFFF0123));
    CHECK(IsValidProcCS((WNDPROC)0xFFFFFFFE));
    CHECK_FALSE(IsValidProcCS((WNDPROC)0x10));

    // The handle the system gives when a Unicode procedure is read through
    // the ANSI call must count as valid, whatever its value.
    RegisterFrameClasses();
    HWND hwnd = CreateWindowExW(0, FrameClassW, L"w", WS_POPUP, 0, 0, 10, 10, 0, 0,
                                GetModuleHandleA(NULL), NULL);
    REQUIRE(hwnd);
    CHECK(IsValidProcCS((WNDPROC)GetWindowLongPtrA(hwnd, GWLP_WNDPROC)));
    DestroyWindow(hwnd);
}
