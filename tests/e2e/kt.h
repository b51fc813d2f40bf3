// End-to-end harness: kovw and probe programs run as separate processes in a fresh home directory, in a
// Wine prefix and display of the test's own, and are looked at as a user sees them.
#ifndef KOV_KT_H
#define KOV_KT_H

#include <windows.h>
#include <doctest.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/actions.h"
#include "common/handles.h"
#include "controller/resource.h"
#include "hook/share.h"
#include "probe.h"

// Menus and lists compared whole say what they held when they differ.
template <> struct doctest::StringMaker<std::vector<std::string>> {
    static doctest::String convert(const std::vector<std::string> &texts)
    {
        std::string all = "{";
        for (const std::string &text : texts)
            all += "\"" + text + "\" ";
        return (all + "}").c_str();
    }
};

namespace kt {

// Windows of their own on the display (no virtual desktop, no taskbar).
inline bool OwnWindows() { return !strcmp(getenv("KOV_WINE_DESKTOP") ?: "", "none"); }
std::string Bin();   // the test program's directory, ending in a backslash
std::string Programs();   // the build's folder of Kov's programs (both architectures')
#define KOVW KOV_CONTROLLER_FILE   // this architecture's Kov, by file name
#define KOVHOOK KOV_HOOK_FILE
#define OTHER_KOVW KOV_OTHER_CONTROLLER_FILE
#define OTHER_KOVHOOK (sizeof(void *) == 8 ? "kovhook.dll" : "kovhook64.dll")
std::string Slurp(const std::string &path);
void Spit(const std::string &path, const std::string &bytes);
// Bounds-checked, as Put32.
inline uint32_t U32(const std::string &bytes, size_t at) { uint32_t v; return memcpy(&v, &bytes.at(at + 3) - 3, 4), v; }
inline void Put32(std::string &bytes, size_t at, uint32_t value) { memcpy(&bytes.at(at), &value, 4); }

// Polls until cond holds or the time is up; returns its last answer.
bool WaitFor(const std::function<bool()> &cond, DWORD ms = 20000);

std::string Text(HWND hwnd);
inline RECT Rect(HWND hwnd) { RECT rc = {}; return GetWindowRect(hwnd, &rc), rc; }
inline int Height(HWND hwnd) { return Rect(hwnd).bottom - Rect(hwnd).top; }
inline POINT Centre(RECT r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
inline DWORD PidOf(HWND hwnd) { DWORD pid = 0; return GetWindowThreadProcessId(hwnd, &pid), pid; }
inline bool PointerAt(POINT p) { POINT now; return GetCursorPos(&now) && now.x == p.x && now.y == p.y; }
// Top-level windows of a class and title (any when empty) of a process (any when 0), from the top of the z-order down.
std::vector<HWND> Tops(const std::string &cls, const std::string &title = "", DWORD pid = 0);
HWND WaitTop(const std::string &cls, const std::string &title = "", DWORD pid = 0, DWORD ms = 20000);
// A visible dialog (message box) with this title; its static texts, one a line; a button of it pressed as by a click.
HWND WaitBox(const std::string &title, DWORD pid = 0, DWORD ms = 20000);
std::string BoxText(HWND box);
void Press(HWND dialog, int id);
// The text of that message box once it is answered with button; empty when none came.
std::string Answer(const std::string &title, DWORD pid, int button = IDOK);

// Asks the window's own thread for an action, as a button or kovw does.
inline void Act(HWND hwnd, int action) { PostMessageA(hwnd, KM_ACTION, action, SOURCE_BUTTON); }
// Ends a process at once (as a crash does) and waits for it.
inline void Kill(HANDLE process) { TerminateProcess(process, 1), WaitForSingleObject(process, 5000); }
// The exit code of a process that ends within ms; -1 when it runs on.
int ExitCode(HANDLE process, DWORD ms);

// Probe windows answer these (see probe.h).
int Ask(HWND probe, int what);
bool Ping(HWND probe);   // returns once everything posted before is handled

// Input as a user gives it, each confirmed where it lands by every program's input log (spy.dll): the pointer moved at
// the display (xdotool, waited for), presses and releases where it was put, stamped to be double clicks exactly when
// meant. MoveTo returns once the thread under the pointer (want's, if given) took the move, Button once the window
// under it (for a release: or the one pressed, or the one holding the mouse) took the input.
void MoveTo(POINT at, HWND want = NULL);
std::string Send(int button, bool down, bool doubleClick = false);   // what went wrong, if anything
void Button(int button, bool down, bool doubleClick = false);   // 0 left, 1 right, 2 middle
void Click(POINT at, int button = 0, int times = 1);
std::string Xdo(const std::string &words, bool check = true);   // xdotool's output, once it has ended
// With windows of their own, the window manager focuses a window when it gets to it, and Wine then activates
// that window once more: a test that activates windows itself does it through the manager, and waits for it.
bool Activate(HWND hwnd);   // made the active window, where there is a manager by it: whether it became so
// "shift" or "ctrl" till the block ends, at the display and for Wine at once (the display's key reaches
// Wine through the program with the display's focus, which may be none); waited for both ways.
struct Hold {
    explicit Hold(const char *key) : key(key) { Key(false); CHECK(WaitFor([&] { return Down(); })); }
    ~Hold() { Key(true); CHECK(WaitFor([&] { return !Down(); })); }
    WORD Vk() const { return key[0] == 's' ? VK_SHIFT : VK_CONTROL; }
    bool Down() const { return GetAsyncKeyState(Vk()) < 0; }
    void Key(bool up)
    {
        Xdo((up ? "keyup " : "keydown ") + key);
        INPUT input = {INPUT_KEYBOARD};
        input.ki.wVk = Vk(), input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &input, sizeof(input));
    }
    std::string key;
};
COLORREF Pixel(int x, int y);

// Popup menus (or a menu bar) of a thread of another process, read inside that process by spy.dll.
struct Menu { std::vector<std::string> texts; /* separators are empty */ int defaultId = -1; };
class Spy {
public:
    explicit Spy(DWORD thread);
    ~Spy();
    bool Next(Menu *menu, DWORD ms = 20000);   // the next menu the thread opens
    bool Bar(HWND hwnd, Menu *menu, WPARAM what = SPY_MENUBAR);   // a window's menu bar (or see SPY_FIT)
private:
    HMODULE dll; HHOOK hook; long seen;
};

// The options file kovw writes for a fresh home, without a user command and without snapping:
// every new window (the About box Settle opens, too) would pull the pointer from where it was put.
std::string Defaults();

// A scene: a fresh home with KOVW, KOVHOOK and the documents, kovw started in it (with
// the options file given, none when empty) and its library loaded here, so that the shared
// section is in view; probes and other programs started beside it. All ends with the scene.
class Desk {
public:
    explicit Desk(const std::string &options = Defaults(), const std::string &args = "", bool start = true);
    ~Desk();
    std::string home;
    std::string Path(const std::string &name) const { return home + name; }
    std::string Read(const std::string &name) const { return Slurp(Path(name)); }
    void Write(const std::string &name, const std::string &bytes) const { Spit(Path(name), bytes); }

    PROCESS_INFORMATION Run(const std::string &exe, const std::string &args, const std::string &cwd = "",
                            const char *desktop = nullptr);
    // Starts kovw and, unless told not to, Settles: whether it did.
    bool StartKovw(const std::string &args = "", bool settle = true);
    std::string exe = KOVW;   // the controller StartKovw starts: the main
    bool Settle();    // kovw's start-up is over and all it was sent is handled
    bool Command(int id) { PostMessageA(main, WM_COMMAND, id, 0); return Settle(); }   // a menu command, then Settle
    int CloseKovw(bool ask = true);   // as the user closes it (or it closes); exit code, -1 on time-out
    PROCESS_INFORMATION kovw = {};
    HWND main = nullptr;

    // Starts probe.exe (or exe) with args; its windows, oldest first.
    std::vector<HWND> Probes(const std::string &args, int count = 1, const std::string &exe = "");
    HWND Probe(const std::string &args = "", const std::string &exe = "") { return Probes(args, 1, exe)[0]; }

    // The home's library: the desktop-wide record and this architecture's tables (once kovw made
    // them: Settle attaches).
    KovShared *sh = nullptr; OptionsRecord *op = nullptr; ExceptionList *xc = nullptr;
    void Attach();
    volatile KovTable *tb = nullptr;
    volatile WinRecord *win = nullptr;
    int Index(HWND frame) const;
    volatile WinRecord &Rec(HWND frame) const;
    HWND Group(HWND frame, DWORD ms = 20000) const;   // its visible button group
    FARPROC Proc(const char *name) const;

private:
    std::vector<PROCESS_INFORMATION> procs;
    HMODULE lib = nullptr;
};

// kovw started after the test shell (shell.cpp) with args, which is the last taskbar it meets.
struct Shell : Desk {
    HWND bar;
    Shell(const std::string &args, const std::string &exe = Bin() + "shell.exe")
        : Desk(Defaults(), "", false), bar(Probe(args, exe))
    {
        REQUIRE((StartKovw() && WaitFor([&] { return Ask(bar, R_OWN) == 0; })));
    }
};

// The visible button groups of a frame of either architecture.
std::vector<HWND> GroupsOf(HWND frame);

// The group's buttons left to right: control id and screen rectangle.
std::vector<std::pair<int, RECT>> Buttons(HWND group);
// The pointer put on button i, once that button takes the move: under Wine a frame that becomes
// active is raised over its group until the group restacks itself; where it is.
POINT ButtonAt(HWND group, int i);

}  // namespace kt

#endif
