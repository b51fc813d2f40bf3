#include "kt.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>

namespace kt {

bool OwnWindows()
{
    const char *mode = getenv("KOV_WINE_DESKTOP");
    return mode && !strcmp(mode, "none");
}

std::string Bin()
{
    char path[MAX_PATH];
    std::string dir(path, GetModuleFileNameA(NULL, path, sizeof(path)));
    return dir.substr(0, dir.rfind('\\') + 1);
}

std::string Slurp(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    char chunk[4096];
    DWORD got;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, chunk, sizeof(chunk), &got, NULL) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void Spit(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    REQUIRE_MESSAGE(written == bytes.size(), "cannot write " << path);
}

uint32_t U32(const std::string &bytes, size_t offset)
{
    uint32_t value = 0;
    memcpy(&value, bytes.data() + offset, offset + 4 <= bytes.size() ? 4 : 0);
    return value;
}

void Put32(std::string &bytes, size_t offset, uint32_t value)
{
    memcpy(&bytes[offset], &value, 4);
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

std::string Class(HWND hwnd)
{
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::string Text(HWND hwnd)
{
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

RECT Rect(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

int Height(HWND hwnd)
{
    RECT rc = Rect(hwnd);
    return rc.bottom - rc.top;
}

DWORD PidOf(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct TopQuery {
    std::string cls, title;
    DWORD pid;
    std::vector<HWND> found;
};

static BOOL CALLBACK MatchTop(HWND hwnd, LPARAM param)
{
    TopQuery *q = (TopQuery *)param;
    if ((!q->pid || PidOf(hwnd) == q->pid) && (q->cls.empty() || Class(hwnd) == q->cls) &&
        (q->title.empty() || Text(hwnd) == q->title))
        q->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> Tops(const std::string &cls, const std::string &title, DWORD pid)
{
    TopQuery q = {cls, title, pid, {}};
    EnumWindows(MatchTop, (LPARAM)&q);
    return q.found;
}

HWND WaitTop(const std::string &cls, const std::string &title, DWORD pid, DWORD ms)
{
    HWND found = nullptr;
    WaitFor([&] {
        std::vector<HWND> all = Tops(cls, title, pid);
        found = all.empty() ? nullptr : all[0];
        return found != nullptr;
    }, ms);
    return found;
}

HWND WaitBox(const std::string &title, DWORD pid, DWORD ms)
{
    HWND box = nullptr;
    WaitFor([&] { return (box = WaitTop("#32770", title, pid, 0)) && IsWindowVisible(box); }, ms);
    return box && IsWindowVisible(box) ? box : nullptr;
}

static BOOL CALLBACK JoinStatic(HWND child, LPARAM param)
{
    std::string *text = (std::string *)param;
    if (!_stricmp(Class(child).c_str(), "Static") && !Text(child).empty())
        *text += (text->empty() ? "" : "\n") + Text(child);
    return TRUE;
}

std::string BoxText(HWND box)
{
    std::string text;
    EnumChildWindows(box, JoinStatic, (LPARAM)&text);
    return text;
}

void Press(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    REQUIRE_MESSAGE(button, "no button " << id << " in " << Text(dialog));
    DWORD_PTR result;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

int Ask(HWND probe, int what)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(probe, RegisterWindowMessageA(PROBE_QUERY_MSG), what, 0,
                             SMTO_ABORTIFHUNG, 5000, &result))
        return -1;
    return (int)result;
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
    CloseHandle(event);
    return answered;
}

// --- Input ---

void MoveTo(POINT at)
{
    INPUT move = {INPUT_MOUSE};
    move.mi.dx = at.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    move.mi.dy = at.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof(INPUT));
    WaitFor([&] {
        POINT now;
        GetCursorPos(&now);
        return now.x == at.x && now.y == at.y;
    }, 2000);
}

void Button(int button, bool down)
{
    static const DWORD flags[3][2] = {{MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN},
                                      {MOUSEEVENTF_RIGHTUP, MOUSEEVENTF_RIGHTDOWN},
                                      {MOUSEEVENTF_MIDDLEUP, MOUSEEVENTF_MIDDLEDOWN}};
    INPUT press = {INPUT_MOUSE};
    press.mi.dwFlags = flags[button][down];
    SendInput(1, &press, sizeof(INPUT));
}

void Click(POINT at, int button, int times)
{
    MoveTo(at);
    for (int i = 0; i < times; i++) {
        Button(button, true);
        Button(button, false);
    }
}

void Xdo(const std::string &words)
{
    std::string line = "/usr/bin/xdotool " + words;
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi;
    REQUIRE_MESSAGE(CreateProcessA("Z:\\usr\\bin\\xdotool", &line[0], NULL, NULL, FALSE, 0, NULL,
                                   NULL, &si, &pi),
                    "cannot run xdotool");
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

COLORREF Pixel(int x, int y)
{
    HDC screen = GetDC(NULL);
    COLORREF color = GetPixel(screen, x, y);
    ReleaseDC(NULL, screen);
    return color;
}

// --- Menus ---

typedef HHOOK(SpyOnFn)(DWORD);
typedef volatile SpyMenu *(SpyLastFn)(void);

static volatile SpyMenu *SpyData(HMODULE dll)
{
    return ((SpyLastFn *)GetProcAddress(dll, "SpyLast"))();
}

Spy::Spy(DWORD thread) : dll(LoadLibraryA((Bin() + "spy.dll").c_str()))
{
    REQUIRE(dll);
    seen = SpyData(dll)->serial;
    hook = ((SpyOnFn *)GetProcAddress(dll, "SpyOn"))(thread);
    REQUIRE(hook);
}

Spy::~Spy()
{
    UnhookWindowsHookEx(hook);
    FreeLibrary(dll);
}

bool Spy::Next(Menu *menu, DWORD ms)
{
    volatile SpyMenu *last = SpyData(dll);
    if (!WaitFor([&] { return last->serial != seen; }, ms))
        return false;
    seen = last->serial;
    *menu = Menu();
    menu->count = last->count;
    menu->defaultId = last->defaultId;
    for (int i = 0; i < last->count; i++) {
        menu->ids.push_back((UINT)last->ids[i]);
        menu->texts.push_back((const char *)last->texts[i]);
    }
    return true;
}

// --- Scenes ---

static std::string FreshHome()
{
    static int counter;
    char temp[MAX_PATH], dir[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    snprintf(dir, sizeof(dir), "%skov%lu-%d\\", temp, GetCurrentProcessId(), ++counter);
    REQUIRE(CreateDirectoryA(dir, NULL));
    for (const char *name : {"kovw.exe", "kovhook.dll", "readme.kov", "HISTORY.DOC"})
        REQUIRE(CopyFileA((Bin() + name).c_str(), (std::string(dir) + name).c_str(), FALSE));
    return dir;
}

std::string Defaults()
{
    static std::string bytes;
    if (bytes.empty()) {
        Desk desk("", "", false);
        desk.StartKovw("/S");
        REQUIRE(desk.Settle());
        bytes = desk.Read("kovopt.ini");
        REQUIRE(bytes.size() == sizeof(OptionsRecord));
        memset(&bytes[offsetof(OptionsRecord, TitleButton[0].Command)], 0, USER_COMMAND_SIZE);
    }
    return bytes;
}

Desk::Desk(const std::string &options, const std::string &args, bool start) : home(FreshHome())
{
    // Every scene starts with the pointer over bare desktop.
    MoveTo({GetSystemMetrics(SM_CXSCREEN) - 30, GetSystemMetrics(SM_CYSCREEN) / 2});
    lib = LoadLibraryA(Path("kovhook.dll").c_str());
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(lib, loaded, sizeof(loaded));
    REQUIRE_MESSAGE(!_stricmp(loaded, Path("kovhook.dll").c_str()), "another copy: " << loaded);
    ((int(WINAPI *)(OptionsRecord **, ExceptionList **))Proc("GetHookData"))(&op, &xc);
    // The section opens with the window table; the mirrors must meet the
    // addresses the library exports, or the layout is not what they say.
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)((char *)lib + ((IMAGE_DOS_HEADER *)lib)->e_lfanew);
    IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
    while (strncmp((const char *)section->Name, "MY_SHARE", 8))
        section++;
    win = (volatile WinRecord *)((char *)lib + section->VirtualAddress);
    REQUIRE((char *)op == (char *)(win + WIN_TABLE_SIZE));
    mid = (volatile Mid *)(((uintptr_t)(xc + 1) + 3) & ~(uintptr_t)3);
    tail = (volatile Tail *)Proc("_UnMinAll");
    REQUIRE((char *)(mid + 1) == (char *)tail);
    REQUIRE((char *)&tail->SuspendKovTemp == (char *)Proc("_SuspendKovTemp"));
    if (!options.empty())
        Write("kovopt.ini", options);
    if (start) {
        StartKovw(args);
        REQUIRE(Settle());
    }
}

Desk::~Desk()
{
    for (auto pi = procs.rbegin(); pi != procs.rend(); ++pi) {
        if (WaitForSingleObject(pi->hProcess, 0) == WAIT_TIMEOUT) {
            for (HWND hwnd : Tops("", "", pi->dwProcessId))
                PostMessageA(hwnd, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(pi->hProcess, 3000) != WAIT_OBJECT_0) {
                TerminateProcess(pi->hProcess, 1);
                WaitForSingleObject(pi->hProcess, 5000);
            }
        }
        CloseHandle(pi->hThread);
        CloseHandle(pi->hProcess);
    }
    // The home lies in the test's own prefix, which goes with the test.
    FreeLibrary(lib);
}

void Desk::Write(const std::string &name, const std::string &bytes) const
{
    Spit(Path(name), bytes);
}

PROCESS_INFORMATION Desk::Run(const std::string &exe, const std::string &args,
                              const std::string &cwd)
{
    std::string line = "\"" + exe + "\" " + args;
    std::string dir = cwd.empty() ? exe.substr(0, exe.rfind('\\') + 1) : cwd;
    STARTUPINFOA si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    REQUIRE_MESSAGE(CreateProcessA(exe.c_str(), &line[0], NULL, NULL, FALSE, 0, NULL, dir.c_str(),
                                   &si, &pi),
                    "cannot start " << exe);
    procs.push_back(pi);
    return pi;
}

void Desk::StartKovw(const std::string &args)
{
    kovw = Run(Path("kovw.exe"), args, home);
    main = WaitTop(KOV_MAIN_CLASS, "", kovw.dwProcessId);
}

bool Desk::Settle()
{
    // Sent messages are no barrier while kovw waits on the shell during its
    // start-up: the About command is dispatched by its message loop only.
    // The second round lets what kovw posted itself before its loop be
    // handled as well.
    for (int round = 0; round < 2; round++) {
        PostMessageA(main, WM_COMMAND, 103, 0);
        HWND about = WaitBox("About", kovw.dwProcessId);
        if (!about)
            return false;
        Press(about, IDOK);
        if (!WaitFor([&] { return !IsWindow(about); }))
            return false;
    }
    return true;
}

int Desk::CloseKovw()
{
    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = (DWORD)-1;
    if (WaitForSingleObject(kovw.hProcess, 15000) == WAIT_OBJECT_0)
        GetExitCodeProcess(kovw.hProcess, &code);
    return (int)code;
}

std::vector<HWND> Desk::Probes(const std::string &args, int count, const std::string &exe)
{
    std::string program = exe.empty() ? Bin() + "probe.exe" : exe;
    DWORD pid = Run(program, args).dwProcessId;
    std::string cls = args.find("--class ") == 0 ? args.substr(8, args.find(' ', 8) - 8)
                                                 : "KovProbe";
    std::vector<HWND> windows;
    REQUIRE(WaitFor([&] { return (windows = Tops(cls, "", pid)).size() >= (size_t)count; }));
    std::reverse(windows.begin(), windows.end());   // the oldest is lowest
    bool hidden = args.find("--hidden") != std::string::npos;
    for (HWND hwnd : windows)
        REQUIRE((hidden || WaitFor([&] { return IsWindowVisible(hwnd) != FALSE; })));
    return windows;
}

HWND Desk::Probe(const std::string &args, const std::string &exe)
{
    return Probes(args, 1, exe)[0];
}

int Desk::Index(HWND frame) const
{
    for (int i = 0; frame && i < WIN_TABLE_SIZE; i++)
        if (win[i].hwnd == frame)
            return i;
    return -1;
}

volatile WinRecord &Desk::Rec(HWND frame) const
{
    int index = Index(frame);
    REQUIRE(index >= 0);
    return win[index];
}

HWND Desk::Group(HWND frame, DWORD ms) const
{
    HWND group = nullptr;
    WaitFor([&] {
        int i = Index(frame);
        group = i >= 0 ? win[i].hwndButtons : nullptr;
        return group && IsWindowVisible(group);
    }, ms);
    return group && IsWindowVisible(group) ? group : nullptr;
}

FARPROC Desk::Proc(const char *name) const
{
    FARPROC proc = GetProcAddress(lib, name);
    REQUIRE_MESSAGE((void *)proc, "kovhook.dll does not export " << name);
    return proc;
}

static BOOL CALLBACK AddButton(HWND child, LPARAM param)
{
    ((std::vector<std::pair<int, RECT>> *)param)->push_back({GetDlgCtrlID(child), Rect(child)});
    return TRUE;
}

std::vector<std::pair<int, RECT>> Buttons(HWND group)
{
    std::vector<std::pair<int, RECT>> buttons;
    EnumChildWindows(group, AddButton, (LPARAM)&buttons);
    std::sort(buttons.begin(), buttons.end(),
              [](const auto &a, const auto &b) { return a.second.left < b.second.left; });
    return buttons;
}

}  // namespace kt
