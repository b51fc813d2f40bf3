#include "kt.h"

#include <stdio.h>

#include <fstream>

namespace kt {

std::string Bin()
{
    char path[MAX_PATH];
    std::string dir(path, GetModuleFileNameA(NULL, path, sizeof(path)));
    return dir.substr(0, dir.rfind('\\') + 1);
}

std::string Programs() { return Bin() + "..\\..\\bin\\"; }   // build/x64/bin against build/bin

std::string Slurp(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void Spit(const std::string &path, const std::string &bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes << std::flush;
    REQUIRE_MESSAGE(file.good(), "cannot write " << path);
}

bool WaitFor(const std::function<bool()> &cond, DWORD ms)
{
    for (DWORD start = GetTickCount(); !cond();) {
        if (GetTickCount() - start >= ms)
            return cond();
        MSG msg;   // keeps this thread's own windows, if any, answering
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(20);
    }
    return true;
}

static std::string Class(HWND hwnd) { char cls[256]; return std::string(cls, GetClassNameA(hwnd, cls, sizeof(cls))); }
std::string Text(HWND hwnd) { char text[1024]; return std::string(text, GetWindowTextA(hwnd, text, sizeof(text))); }

static BOOL CALLBACK Collect(HWND hwnd, LPARAM param) { return ((std::vector<HWND> *)param)->push_back(hwnd), TRUE; }

std::vector<HWND> Tops(const std::string &cls, const std::string &title, DWORD pid)
{
    std::vector<HWND> all, found;
    EnumWindows(Collect, (LPARAM)&all);
    for (HWND hwnd : all)
        if ((!pid || PidOf(hwnd) == pid) && (cls.empty() || Class(hwnd) == cls) &&
            (title.empty() || Text(hwnd) == title))
            found.push_back(hwnd);
    return found;
}

HWND WaitTop(const std::string &cls, const std::string &title, DWORD pid, DWORD ms)
{
    std::vector<HWND> all;
    WaitFor([&] { return !(all = Tops(cls, title, pid)).empty(); }, ms);
    return all.empty() ? nullptr : all[0];
}

HWND WaitBox(const std::string &title, DWORD pid, DWORD ms)
{
    HWND box = nullptr;
    WaitFor([&] { return (box = WaitTop("#32770", title, pid, 0)) && IsWindowVisible(box); }, ms);
    return box && IsWindowVisible(box) ? box : nullptr;
}

std::string BoxText(HWND box)
{
    std::vector<HWND> children;
    std::string text;
    EnumChildWindows(box, Collect, (LPARAM)&children);
    for (HWND child : children)
        if (!_stricmp(Class(child).c_str(), "Static") && !Text(child).empty())
            text += (text.empty() ? "" : "\n") + Text(child);
    return text;
}

void Press(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    REQUIRE_MESSAGE(button, "no button " << id << " in " << Text(dialog));
    DWORD_PTR result;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

std::string Answer(const std::string &title, DWORD pid, int button)
{
    HWND box = WaitBox(title, pid);
    std::string text = box ? BoxText(box) : "";
    if (box)
        Press(box, button), WaitFor([&] { return !IsWindow(box); });
    return text;
}

int Ask(HWND probe, int what)
{
    DWORD_PTR result = 0;
    UINT query = RegisterWindowMessageA(PROBE_QUERY_MSG);
    return SendMessageTimeoutA(probe, query, what, 0, SMTO_ABORTIFHUNG, 5000, &result) ? (int)result : -1;
}

int ExitCode(HANDLE process, DWORD ms)
{
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    return (int)code;
}

bool Ping(HWND probe)
{
    static unsigned cookie;
    unsigned id = ++cookie + GetCurrentProcessId() * 1000;
    char name[64];
    snprintf(name, sizeof(name), PROBE_PONG_EVENT, id);
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, name);
    PostMessageA(probe, RegisterWindowMessageA(PROBE_PING_MSG), id, 0);
    bool answered = WaitFor([&] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; });
    return CloseHandle(event), answered;
}

static volatile SpyInputLog *Inputs()
{
    static volatile SpyInputLog *log;
    if (!log) {   // before Kov's hooks, for the scene's first move
        HMODULE spy = LoadLibraryA((Bin() + "spy.dll").c_str());
        REQUIRE((spy && ((BOOL(*)(DWORD))GetProcAddress(spy, "SpyOnInput"))(0)));
        log = ((volatile SpyInputLog * (*)(void)) GetProcAddress(spy, "SpyInputs"))();
    }
    return log;
}

static bool Newest(const std::function<bool(const SpyInput &)> &match, SpyInput *found)
{
    volatile SpyInputLog *log = Inputs();
    for (long last = log->next, n = last; n > 0 && n > last - SPY_INPUTS; n--) {
        volatile SpyInput *e = &log->at[n % SPY_INPUTS];
        SpyInput copy = {e->serial, e->thread, e->hwnd, e->message, e->x, e->y, e->hit, e->tag};
        if (copy.serial == n && e->serial == n && match(copy))
            return *found = copy, true;
    }
    return false;
}

static std::string Described(HWND hwnd) { return "class " + (hwnd ? Class(hwnd) : std::string("(none)")); }

static std::string Described(const SpyInput &e)
{
    static const char *names[] = {"MOUSEMOVE", "LBUTTONDOWN", "LBUTTONUP", "LBUTTONDBLCLK", "RBUTTONDOWN",
                                  "RBUTTONUP", "RBUTTONDBLCLK", "MBUTTONDOWN", "MBUTTONUP", "MBUTTONDBLCLK"};
    bool nc = e.message < WM_MOUSEFIRST;
    UINT i = e.message - (nc ? WM_NCMOUSEMOVE : WM_MOUSEFIRST);
    char text[160];
    snprintf(text, sizeof(text), " as WM_%s%s (hit-test %d) at (%d, %d) in thread %u", nc ? "NC" : "",
             i < 10 ? names[i] : std::to_string(e.message).c_str(), e.hit, e.x, e.y, e.thread);
    return Described(HwndFrom32(e.hwnd)) + text;
}

static POINT Aim;   // where the pointer was last put: where presses go

void MoveTo(POINT at, HWND want)
{
    SpyInput last = {};
    // The newest move there: one made before, by another thread, can be taken after it.
    auto taken = [&](long after) {
        return Newest([&](const SpyInput &e) { return (e.message == WM_MOUSEMOVE || e.message == WM_NCMOUSEMOVE) && e.x == at.x && e.y == at.y; }, &last) &&
               last.serial > after && (!want || HwndFrom32(last.hwnd) == want);
    };
    bool there = taken(0) && PointerAt(at);
    long after = there ? 0 : Inputs()->next;
    if (!there)
        // The display's origin is the top left of all monitors, the primary's is the system's.
        Xdo("mousemove " + std::to_string(at.x - GetSystemMetrics(SM_XVIRTUALSCREEN)) + " " +
            std::to_string(at.y - GetSystemMetrics(SM_YVIRTUALSCREEN)));
    // Over the bare display around windows of their own no program hears the pointer: the display's word then.
    // Else the thread under it has taken the move (or a window on top of it since: a crossing is a move too).
    bool silent = OwnWindows() && WindowFromPoint(at) == GetDesktopWindow();
    REQUIRE_MESSAGE(WaitFor([&] { return silent ? PointerAt(at) : taken(after); }, 10000),
                    "the pointer did not reach (" << at.x << ", " << at.y << ") over "
                    << Described(want ? want : WindowFromPoint(at)) << "; the last move there went to " << (last.serial ? Described(last) : "nothing"));
    Aim = at;
}

std::string Send(int button, bool down, bool doubleClick)
{
    static DWORD pressed[3];   // stamped
    static HWND took[3]; static unsigned tags;
    HWND want = WindowFromPoint(Aim), desktop = GetDesktopWindow();
    char where[64];
    snprintf(where, sizeof(where), "(%d, %d)", (int)Aim.x, (int)Aim.y);
    if (down && want == desktop)
        return std::string("no window at ") + where + " to take the press";
    // The stamp decides what the system takes for a double click, whatever the scheduling.
    DWORD time = GetTickCount(), gap = GetDoubleClickTime();
    if (down)
        time = pressed[button] = doubleClick ? pressed[button] + 1 : std::max(time, pressed[button] + gap + 1);
    INPUT input = {INPUT_MOUSE};
    input.mi.dx = (Aim.x * 65536 + GetSystemMetrics(SM_CXSCREEN) - 1) / GetSystemMetrics(SM_CXSCREEN);
    input.mi.dy = (Aim.y * 65536 + GetSystemMetrics(SM_CYSCREEN) - 1) / GetSystemMetrics(SM_CYSCREEN);
    // The right and the middle button's flags are the left one's, two and four bits up.
    DWORD flag = (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP) << 2 * button;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flag;
    input.mi.time = time, input.mi.dwExtraInfo = 0x4B540000 | (++tags & 0xFFFF);
    const char *what = down ? "the press at " : "the release at ";
    if (SendInput(1, &input, sizeof(INPUT)) != 1)
        return std::string("SendInput refused ") + what + where;
    SpyInput e;
    if (!WaitFor([&] { return Newest([&](const SpyInput &e) { return e.tag == input.mi.dwExtraInfo; }, &e); }, 10000))
        return what + std::string(where) + " for " + Described(want) + " reached no window";
    HWND to = HwndFrom32(e.hwnd);
    GUITHREADINFO gui = {sizeof(gui)};   // or the window that holds the mouse
    bool held = GetGUIThreadInfo(e.thread, &gui) && (to == gui.hwndCapture || to == gui.hwndMenuOwner);
    if (to != want && !held && (down || to != took[button]))
        return what + std::string(where) + " for " + Described(want) + " went to " + Described(e);
    took[button] = down ? to : took[button];
    return "";
}

void Button(int button, bool down, bool doubleClick)
{
    std::string problem = Send(button, down, doubleClick);
    REQUIRE_MESSAGE(problem.empty(), problem);
}

void Click(POINT at, int button, int times)
{
    MoveTo(at);
    for (int i = 0; i < 2 * times; i++)
        Button(button, i % 2 == 0, i > 0);
}

std::string Xdo(const std::string &words, bool check)
{
    // Wine starts a Linux program without a process handle to wait on (and the thread handle is whatever
    // lay in Wine's own variable: closed, it could be one of this process's). A shell says when it is done.
    static int calls;
    const char *prefix = getenv("WINEPREFIX");
    REQUIRE_MESSAGE(prefix, "no WINEPREFIX for xdotool's answers");
    std::string done = std::string(prefix) + "/xdo" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++calls);
    std::string line = "/bin/sh -c \"/usr/bin/xdotool " + words + " >'" + done + ".out' 2>&1; echo $? >'" + done +
                       ".new' && mv '" + done + ".new' '" + done + "'\"";
    std::string answer = "Z:" + done, code;
    std::replace(answer.begin(), answer.end(), '/', '\\');
    std::string out = answer + ".out";
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    REQUIRE(CreateProcessA("Z:\\bin\\sh", &line[0], NULL, NULL, 0, 0, NULL, NULL, &si, &pi));
    if (pi.hProcess)
        CloseHandle(pi.hThread), CloseHandle(pi.hProcess);
    REQUIRE_MESSAGE(WaitFor([&] { return !(code = Slurp(answer)).empty(); }, 10000), "xdotool " << words << " did not finish");
    std::string said = Slurp(out);
    DeleteFileA(answer.c_str()), DeleteFileA(out.c_str());
    REQUIRE_MESSAGE((!check || code == "0\n"), "xdotool " << words << " failed (" << code << "): " << said);
    return said;
}

static bool ManagerFocused(HWND hwnd)
{
    if (!OwnWindows())
        return true;
    std::string want = std::to_string((UINT_PTR)GetPropA(hwnd, "__wine_x11_whole_window")) + "\n";
    return WaitFor([&] { return Xdo("getactivewindow", false) == want; });   // none active yet: an error
}

bool Activate(HWND hwnd)
{
    if (!OwnWindows())
        return SetForegroundWindow(hwnd) != FALSE;
    // As a user does, through the manager: Wine's own word for the focus leaves
    // the manager focusing another window later, when it gets to it.
    Xdo("windowactivate " + std::to_string((UINT_PTR)GetPropA(hwnd, "__wine_x11_whole_window")));
    return ManagerFocused(hwnd);
}

COLORREF Pixel(int x, int y)
{
    HDC screen = GetDC(NULL);
    COLORREF color = GetPixel(screen, x, y);
    return ReleaseDC(NULL, screen), color;
}

static volatile SpyMenu *SpyData(HMODULE dll) { return ((volatile SpyMenu * (*)(void)) GetProcAddress(dll, "SpyLast"))(); }

Spy::Spy(DWORD thread) : dll(LoadLibraryA((Bin() + "spy.dll").c_str()))
{
    REQUIRE(dll);
    seen = SpyData(dll)->serial;
    hook = ((HHOOK(*)(DWORD))GetProcAddress(dll, "SpyOn"))(thread);
    REQUIRE(hook);
}

Spy::~Spy() { UnhookWindowsHookEx(hook), FreeLibrary(dll); }

bool Spy::Next(Menu *menu, DWORD ms)
{
    volatile SpyMenu *last = SpyData(dll);
    if (!WaitFor([&] { return last->serial != seen; }, ms))
        return false;
    seen = last->serial, *menu = {{}, last->defaultId};
    for (int i = 0; i < last->count; i++)
        menu->texts.push_back((const char *)last->texts[i]);
    return true;
}

bool Spy::Bar(HWND hwnd, Menu *menu, WPARAM what)
{
    DWORD_PTR result;
    SendMessageTimeoutA(hwnd, WM_NULL, what, 0, SMTO_ABORTIFHUNG, 5000, &result);
    return Next(menu, 2000);
}

std::string Defaults()
{
    static std::string bytes;
    if (bytes.empty()) {
        Desk desk("", "/S");
        bytes = desk.Read("kovopt.ini");
        REQUIRE(bytes.size() == sizeof(OptionsRecord));
        memset(&bytes[offsetof(OptionsRecord, TitleButton[0].Command)], 0, USER_COMMAND_SIZE);
        const size_t flags = offsetof(OptionsRecord, Flags);
        Put32(bytes, flags, U32(bytes, flags) & ~FLAG_SNAPFOCUSWINDOW);
    }
    return bytes;
}

Desk::Desk(const std::string &options, const std::string &args, bool start)
{
    static int counter;
    char dir[MAX_PATH];
    home = std::string(dir, GetTempPathA(sizeof(dir), dir)) + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter) + "\\";
    REQUIRE(CreateDirectoryA(home.c_str(), NULL));
    for (const char *name : {KOVW, KOVHOOK, "readme.kov", "HISTORY.DOC"})
        REQUIRE(CopyFileA((Programs() + name).c_str(), Path(name).c_str(), FALSE));
    for (const char *name : {OTHER_KOVW, OTHER_KOVHOOK})   // the companion, where it runs
        CopyFileA((Programs() + name).c_str(), Path(name).c_str(), FALSE);
    if (!options.empty())
        Write("kovopt.ini", options);
    // Every scene starts with the pointer over bare desktop.
    MoveTo({GetSystemMetrics(SM_CXSCREEN) - 30, GetSystemMetrics(SM_CYSCREEN) / 2});
    lib = LoadLibraryA(Path(KOVHOOK).c_str());
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(lib, loaded, sizeof(loaded));
    REQUIRE_MESSAGE(!_stricmp(loaded, Path(KOVHOOK).c_str()), "another copy: " << loaded);
    if (start)
        REQUIRE(StartKovw(args));
}

Desk::~Desk()
{
    for (auto pi = procs.rbegin(); pi != procs.rend(); ++pi) {
        for (HWND hwnd : Tops("", "", pi->dwProcessId))
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi->hProcess, 3000) != WAIT_OBJECT_0)
            TerminateProcess(pi->hProcess, 1);
        WaitForSingleObject(pi->hProcess, 5000), CloseHandle(pi->hThread), CloseHandle(pi->hProcess);
    }
    FreeLibrary(lib);   // the home lies in the test's own prefix, which goes with the test
}

PROCESS_INFORMATION Desk::Run(const std::string &exe, const std::string &args, const std::string &cwd, const char *desktop)
{
    std::string line = "\"" + exe + "\" " + args, dir = cwd.empty() ? exe.substr(0, exe.rfind('\\') + 1) : cwd;
    STARTUPINFOA si = {sizeof(si), NULL, (char *)desktop};
    PROCESS_INFORMATION pi = {};
    REQUIRE_MESSAGE(CreateProcessA(exe.c_str(), &line[0], NULL, NULL, 0, 0, NULL, dir.c_str(), &si, &pi),
                    "cannot start " << exe << " (error " << GetLastError() << ")");
    procs.push_back(pi);
    return pi;
}

bool Desk::StartKovw(const std::string &args, bool settle)
{
    kovw = Run(Path(exe), args, home), main = nullptr;   // known once its start-up questions are answered
    return !settle || Settle();
}

void Desk::Attach()
{
    if (sh)
        return;
    REQUIRE(((int(WINAPI *)(int))Proc("OpenKovShared"))(0) == SHARED_OPEN);
    sh = ((KovShared * (WINAPI *)(void)) Proc("GetKovShared"))(), op = &sh->Op, xc = &sh->Xception;
    tb = ((KovTable * (WINAPI *)(void)) Proc("GetKovTable"))(), win = tb->Win;
}

bool Desk::Settle()
{
    // Sent messages are no barrier while kovw waits on the shell at start-up; the About command is
    // handled by its message loop only. A second round for what kovw posted before its loop.
    main = main ? main : WaitTop(KOV_MAIN_CLASS, "", kovw.dwProcessId);
    Attach();
    for (int round = 0; round < 2; round++) {
        PostMessageA(main, WM_COMMAND, IDM_ABOUT, 0);
        HWND about = WaitBox("About", kovw.dwProcessId);
        if (!about || (Press(about, IDOK), !WaitFor([&] { return !IsWindow(about); })))
            return false;
    }
    return true;
}

int Desk::CloseKovw(bool ask)
{
    if (ask)
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    return ExitCode(kovw.hProcess, 15000);
}

std::vector<HWND> Desk::Probes(const std::string &args, int count, const std::string &exe)
{
    DWORD pid = Run(exe.empty() ? Bin() + "probe.exe" : exe, args).dwProcessId;
    std::string cls = args.find("--class ") == 0 ? args.substr(8, args.find(' ', 8) - 8) : "KovProbe";
    std::vector<HWND> windows;
    REQUIRE(WaitFor([&] { return (windows = Tops(cls, "", pid)).size() >= (size_t)count; }));
    std::reverse(windows.begin(), windows.end());   // the oldest is lowest
    bool hidden = args.find("--hidden") != std::string::npos;
    for (HWND hwnd : windows)
        REQUIRE((hidden || WaitFor([&] { return IsWindowVisible(hwnd) != FALSE; })));
    return windows;
}

int Desk::Index(HWND frame) const
{
    for (int i = 0; win && frame && i < WIN_TABLE_SIZE; i++)
        if (win[i].hwnd == frame)
            return i;
    return -1;
}

volatile WinRecord &Desk::Rec(HWND frame) const { REQUIRE(Index(frame) >= 0); return win[Index(frame)]; }

HWND Desk::Group(HWND frame, DWORD ms) const
{
    HWND group = nullptr;
    WaitFor([&] { int i = Index(frame); return i >= 0 && (group = win[i].hwndButtons) && IsWindowVisible(group); }, ms);
    return group && IsWindowVisible(group) ? group : nullptr;
}

FARPROC Desk::Proc(const char *name) const
{
    FARPROC proc = GetProcAddress(lib, name);
    REQUIRE_MESSAGE((void *)proc, KOVHOOK " does not export " << name);
    return proc;
}

std::vector<HWND> GroupsOf(HWND frame)
{
    std::vector<HWND> groups;
    for (HWND group : Tops(KOV_BUTTONS_CLASS, "", PidOf(frame)))
        if (GetWindow(group, GW_OWNER) == frame && IsWindowVisible(group))
            groups.push_back(group);
    return groups;
}

std::vector<std::pair<int, RECT>> Buttons(HWND group)
{
    std::vector<HWND> children;
    std::vector<std::pair<int, RECT>> buttons;
    EnumChildWindows(group, Collect, (LPARAM)&children);
    for (HWND child : children)
        buttons.push_back({GetDlgCtrlID(child), Rect(child)});
    std::sort(buttons.begin(), buttons.end(),
              [](const auto &a, const auto &b) { return a.second.left < b.second.left; });
    return buttons;
}

POINT ButtonAt(HWND group, int i)
{
    auto [id, rect] = Buttons(group).at(i);
    return MoveTo(Centre(rect), GetDlgItem(group, id)), Centre(rect);
}

}  // namespace kt
