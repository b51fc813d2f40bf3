#include "harness.h"
#include "probeapi.h"
#include "tests/unit/unit_support.h"

#include <doctest.h>

#include <shellapi.h>
#include <algorithm>
#include <stdio.h>

namespace kt {

static const DWORD PollMs = 20;

std::string BinDir()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, sizeof(path));
    std::string dir(path, n);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

std::string ReadFileBytes(const std::string &path)
{
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read;
    while (ReadFile(file, buffer, sizeof(buffer), &read, NULL) && read)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    REQUIRE_MESSAGE(file != INVALID_HANDLE_VALUE, "cannot write " << path);
    DWORD written = 0;
    WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    REQUIRE(written == bytes.size());
}

bool FileExists(const std::string &path)
{
    return kovtest::Exists(path);
}

FILETIME FileWriteTime(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

FILETIME AgeConfigurationFiles(const std::string &homeDir)
{
    FILETIME old = {0x2AC18000, 0x01BF53EB};
    for (const char *name : {"kovopt.ini", "kovxcept.ini"}) {
        HANDLE file = CreateFileA((homeDir + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, NULL,
                                  OPEN_EXISTING, 0, NULL);
        REQUIRE(SetFileTime(file, NULL, NULL, &old));
        CloseHandle(file);
    }
    return old;
}

// --- Home ---

static void CopyInto(const std::string &dir, const char *name, bool required)
{
    std::string from = BinDir() + name;
    BOOL ok = CopyFileA(from.c_str(), (dir + name).c_str(), FALSE);
    if (required)
        REQUIRE_MESSAGE(ok, "cannot copy " << from);
}

Home::Home(bool withDocuments)
{
    static int counter;
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    char name[MAX_PATH];
    snprintf(name, sizeof(name), "%skovhome-%lu-%d-%lu\\", temp, GetCurrentProcessId(),
             ++counter, GetTickCount());
    dir_ = name;
    REQUIRE(CreateDirectoryA(dir_.c_str(), NULL));
    CopyInto(dir_, "kovw.exe", true);
    CopyInto(dir_, "kovhook.dll", true);
    if (withDocuments) {
        CopyInto(dir_, "readme.kov", true);
        CopyInto(dir_, "HISTORY.DOC", true);
    }
}

Home::~Home()
{
    // A library still mapped by a process that is ending can keep its file
    // busy for a moment.
    WaitFor([&] {
        kovtest::RemoveTree(dir_);
        return !FileExists(dir_);
    }, 3000);
}

void Home::Write(const std::string &name, const std::string &bytes) const
{
    WriteFileBytes(Path(name), bytes);
}

void Home::Remove(const std::string &name) const
{
    DeleteFileA(Path(name).c_str());
}

bool WaitFor(const std::function<bool()> &cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return cond();
        // Keep this thread's own windows (if any) responsive while waiting.
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(PollMs);
    }
}

// --- Processes ---

PROCESS_INFORMATION Processes::Start(const std::string &exe, const std::string &args,
                                     const std::string &cwd)
{
    std::string line = "\"" + exe + "\"";
    if (!args.empty())
        line += " " + args;
    std::string dir = cwd.empty() ? exe.substr(0, exe.find_last_of('\\') + 1) : cwd;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    BOOL ok = CreateProcessA(exe.c_str(), buffer.data(), NULL, NULL, FALSE, 0, NULL,
                             dir.c_str(), &si, &pi);
    REQUIRE_MESSAGE(ok, "cannot start " << exe << " (" << GetLastError() << ")");
    started_.push_back(pi);
    return pi;
}

bool Processes::WaitExit(HANDLE process, DWORD timeoutMs, DWORD *exitCode)
{
    if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(process, exitCode);
    return true;
}

bool Processes::Running(HANDLE process)
{
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

struct CloseContext {
    DWORD pid;
    int closed;
};

static BOOL CALLBACK CloseWindowsOf(HWND hwnd, LPARAM param)
{
    CloseContext *context = (CloseContext *)param;
    if (ProcessOf(hwnd) == context->pid && IsWindowVisible(hwnd)) {
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        context->closed++;
    }
    return TRUE;
}

void Processes::EndAll()
{
    for (PROCESS_INFORMATION &pi : started_) {
        if (Running(pi.hProcess)) {
            CloseContext context = {pi.dwProcessId, 0};
            EnumWindows(CloseWindowsOf, (LPARAM)&context);
            HWND main = FindTop("KovMainWin", "", pi.dwProcessId);
            if (main)
                PostMessageA(main, WM_CLOSE, 0, 0);
            if (!WaitExit(pi.hProcess, (context.closed || main) ? 3000 : 0)) {
                TerminateProcess(pi.hProcess, 1);
                WaitExit(pi.hProcess, 5000);
            }
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    started_.clear();
}

Processes::~Processes()
{
    EndAll();
}

// --- Windows ---

std::string ClassOf(HWND hwnd)
{
    char name[256] = "";
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::string TextOf(HWND hwnd)
{
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof(text));
    return text;
}

DWORD ProcessOf(HWND hwnd)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

struct FindContext {
    const std::string *cls;
    const std::string *title;
    DWORD pid;
    HWND found;
    int count;
};

static BOOL CALLBACK MatchTop(HWND hwnd, LPARAM param)
{
    FindContext *c = (FindContext *)param;
    if (c->pid && ProcessOf(hwnd) != c->pid)
        return TRUE;
    if (!c->cls->empty() && ClassOf(hwnd) != *c->cls)
        return TRUE;
    if (!c->title->empty() && TextOf(hwnd) != *c->title)
        return TRUE;
    if (!c->found)
        c->found = hwnd;
    c->count++;
    return TRUE;
}

HWND FindTop(const std::string &cls, const std::string &title, DWORD pid)
{
    FindContext context = {&cls, &title, pid, nullptr, 0};
    EnumWindows(MatchTop, (LPARAM)&context);
    return context.found;
}

int CountTop(const std::string &cls, DWORD pid)
{
    std::string any;
    FindContext context = {&cls, &any, pid, nullptr, 0};
    EnumWindows(MatchTop, (LPARAM)&context);
    return context.count;
}

HWND WaitTop(const std::string &cls, const std::string &title, DWORD pid, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTop(cls, title, pid)) != nullptr; }, timeoutMs);
    return found;
}

HWND WaitMessageBox(const std::string &title, DWORD pid, DWORD timeoutMs)
{
    HWND box = nullptr;
    WaitFor([&] {
        box = FindTop("#32770", title, pid);
        return box != nullptr && IsWindowVisible(box);
    }, timeoutMs);
    return box;
}

static BOOL CALLBACK CollectStatic(HWND child, LPARAM param)
{
    std::string *text = (std::string *)param;
    if (_stricmp(ClassOf(child).c_str(), "Static") == 0) {
        std::string part = TextOf(child);
        if (!part.empty()) {
            if (!text->empty())
                *text += "\n";
            *text += part;
        }
    }
    return TRUE;
}

std::string MessageBoxText(HWND box)
{
    std::string text;
    EnumChildWindows(box, CollectStatic, (LPARAM)&text);
    return text;
}

void PressButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    REQUIRE_MESSAGE(button != nullptr, "no button " << id << " in " << TextOf(dialog));
    DWORD_PTR result;
    SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

bool TrayIconExists(HWND owner, UINT id)
{
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = id;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

// --- kovw ---

Kovw::Kovw(Processes &processes, const Home &home, const std::string &args)
{
    pi_ = processes.Start(home.Path("kovw.exe"), args, home.Dir());
}

HWND Kovw::MainWindow(DWORD timeoutMs)
{
    if (!main_ || !IsWindow(main_))
        main_ = WaitTop("KovMainWin", "", pi_.dwProcessId, timeoutMs);
    return main_;
}

bool Kovw::Settle()
{
    const WPARAM aboutCommand = 103;
    HWND main = MainWindow();
    if (!main)
        return false;
    for (int round = 0; round < 2; round++) {
        PostMessageA(main, WM_COMMAND, aboutCommand, 0);
        HWND about = WaitMessageBox("About", pi_.dwProcessId);
        if (!about)
            return false;
        PressButton(about, IDOK);
        if (!WaitFor([&] { return !IsWindow(about); }))
            return false;
    }
    return true;
}

int Kovw::Close(DWORD timeoutMs)
{
    HWND main = MainWindow(2000);
    if (main)
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD code = 0;
    if (!Processes::WaitExit(pi_.hProcess, timeoutMs, &code))
        return -1;
    return (int)code;
}

// --- HookView ---

static char *SectionOf(HMODULE module, const char *name)
{
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)module;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)((char *)module + dos->e_lfanew);
    IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
    for (int i = 0; i < nt->FileHeader.NumberOfSections; i++, section++) {
        if (strncmp((const char *)section->Name, name, IMAGE_SIZEOF_SHORT_NAME) == 0)
            return (char *)module + section->VirtualAddress;
    }
    return nullptr;
}

HookView::HookView(const Home &home)
{
    module_ = LoadLibraryA(home.Path("kovhook.dll").c_str());
    REQUIRE_MESSAGE(module_ != nullptr, "cannot load " << home.Path("kovhook.dll"));
    char loaded[MAX_PATH] = "";
    GetModuleFileNameA(module_, loaded, sizeof(loaded));
    REQUIRE_MESSAGE(_stricmp(loaded, home.Path("kovhook.dll").c_str()) == 0,
                    "another copy of the library came back: " << loaded);
    typedef int(WINAPI * GetHookDataFn)(OptionsRecord **, ExceptionList **);
    GetHookDataFn getHookData = (GetHookDataFn)Proc("GetHookData");
    getHookData(&options_, &exceptions_);
    suspend_ = (int *)Proc("_SuspendKovTemp");
    unMinAll_ = (UnMinAllRecord *)Proc("_UnMinAll");

    // The window table opens the shared section; the mirrors must meet the
    // addresses the library hands out, or the layout is not what it claims.
    table_ = (const WinRecord *)SectionOf(module_, "MY_SHARE");
    REQUIRE(table_ != nullptr);
    REQUIRE((char *)options_ == (char *)(table_ + WIN_TABLE_SIZE));
    REQUIRE((char *)exceptions_ == (char *)options_ + sizeof(OptionsRecord));
    // hwndKov follows the exception list at its own (4-byte) alignment.
    uintptr_t afterXceptions = (uintptr_t)exceptions_ + sizeof(ExceptionList);
    middle_ = (const SharedAfterXceptions *)((afterXceptions + 3) & ~(uintptr_t)3);
    REQUIRE((char *)(middle_ + 1) == (char *)unMinAll_);
    tail_ = (const SharedFromUnMinAll *)unMinAll_;
    REQUIRE(&tail_->SuspendKovTemp == suspend_);
}

int HookView::WindowIndex(HWND hwnd) const
{
    for (int i = 0; hwnd && i < WIN_TABLE_SIZE; i++)
        if (((const volatile WinRecord *)table_)[i].hwnd == hwnd)
            return i;
    return -1;
}

int HookView::SetKovHook(HWND main, int isDBCS, int level) const
{
    typedef int(WINAPI * Fn)(HWND, int, int);
    return ((Fn)Proc("SetKovHook"))(main, isDBCS, level);
}

int HookView::FreeKovHook(BOOL force) const
{
    typedef int(WINAPI * Fn)(BOOL);
    return ((Fn)Proc("FreeKovHook"))(force);
}

int HookView::HookInstalled() const
{
    typedef int(WINAPI * Fn)(void);
    return ((Fn)Proc("HookInstalled"))();
}

HookView::~HookView()
{
    if (module_)
        FreeLibrary(module_);
}

FARPROC HookView::Proc(const char *name) const
{
    FARPROC proc = GetProcAddress(module_, name);
    REQUIRE_MESSAGE((void *)proc != nullptr, "kovhook.dll does not export " << name);
    return proc;
}

// --- Probe ---

Probe::Probe(Processes &processes, const std::string &args, bool windows31,
             const std::string &cls, const std::string &exe)
    : cls_(cls)
{
    std::string program = exe.empty() ? BinDir() + (windows31 ? "probe31.exe" : "probe.exe") : exe;
    pi_ = processes.Start(program, "--class " + cls + " " + args);
}

struct ProbeWindows {
    DWORD pid;
    const std::string *cls;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectProbeWindow(HWND hwnd, LPARAM param)
{
    ProbeWindows *windows = (ProbeWindows *)param;
    if (ProcessOf(hwnd) == windows->pid && ClassOf(hwnd) == *windows->cls)
        windows->found.push_back(hwnd);
    return TRUE;
}

HWND Probe::Window(int n, DWORD timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] {
        ProbeWindows windows = {pi_.dwProcessId, &cls_, {}};
        EnumWindows(CollectProbeWindow, (LPARAM)&windows);
        // Enumeration runs from the top of the z-order: the oldest is last.
        if ((int)windows.found.size() > n)
            found = windows.found[windows.found.size() - 1 - n];
        return found != nullptr;
    }, timeoutMs);
    return found;
}

bool Probe::Ping(HWND hwnd, DWORD timeoutMs)
{
    static unsigned cookie;
    char name[64];
    unsigned id = ++cookie + (unsigned)GetCurrentProcessId() * 1000;
    snprintf(name, sizeof(name), PROBE_PONG_EVENT, id);
    HANDLE event = CreateEventA(NULL, TRUE, FALSE, name);
    PostMessageA(hwnd, RegisterWindowMessageA(PROBE_PING_MSG), id, 0);
    bool answered = WaitFor([&] { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; },
                            timeoutMs);
    CloseHandle(event);
    return answered;
}

int Probe::Query(HWND hwnd, int what)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, RegisterWindowMessageA(PROBE_QUERY_MSG), what, 0,
                             SMTO_ABORTIFHUNG, 5000, &result))
        return -1;
    return (int)result;
}

int Probe::Subclassed(HWND hwnd)
{
    return Query(hwnd, PROBE_QUERY_SUBCLASSED);
}

void Probe::Freeze(HWND hwnd, DWORD ms)
{
    PostMessageA(hwnd, RegisterWindowMessageA(PROBE_FREEZE_MSG), ms, 0);
}

// --- Desk ---

Desk::Desk(const std::string &options, const std::string &args)
{
    // Every scene starts with the pointer out of the way, over bare desktop.
    MoveTo({GetSystemMetrics(SM_CXSCREEN) - 40, GetSystemMetrics(SM_CYSCREEN) / 2});
    home.Write("kovopt.ini", options.empty() ? OptionsWithoutUserCommand(processes) : options);
    kovw.reset(new Kovw(processes, home, args));
    REQUIRE(kovw->Settle());
    view.reset(new HookView(home));
}

Probe &Desk::Start(const std::string &args, bool windows31, const std::string &cls,
                   const std::string &exe)
{
    probes.emplace_back(new Probe(processes, args, windows31, cls, exe));
    return *probes.back();
}

HWND Desk::Frame(const std::string &args, const std::string &exe)
{
    HWND hwnd = Start(args, false, "KovProbe", exe).Window();
    REQUIRE(hwnd);
    // A window is found as soon as it exists; most tests need it shown.
    if (args.find("--hidden") == std::string::npos)
        REQUIRE(WaitFor([&] { return IsWindowVisible(hwnd) != FALSE; }));
    return hwnd;
}

const volatile WinRecord &Desk::Record(HWND frame) const
{
    int index = view->WindowIndex(frame);
    REQUIRE(index >= 0);
    return ((const volatile WinRecord *)view->Table())[index];
}

// --- Menu spy ---

MenuSpy::MenuSpy(DWORD threadId)
{
    module_ = LoadLibraryA((BinDir() + "menuspy.dll").c_str());
    REQUIRE(module_ != nullptr);
    SpyOnThreadFn *spyOn = (SpyOnThreadFn *)GetProcAddress(module_, "SpyOnThread");
    SpyLastMenuFn *lastMenu = (SpyLastMenuFn *)GetProcAddress(module_, "SpyLastMenu");
    REQUIRE((spyOn && lastMenu));
    last_ = lastMenu();
    seen_ = last_->serial;
    hook_ = spyOn(threadId);
    REQUIRE(hook_ != nullptr);
}

MenuSpy::~MenuSpy()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    if (module_)
        FreeLibrary(module_);
}

bool MenuSpy::Next(SpyMenu *menu, DWORD timeoutMs)
{
    if (!WaitFor([&] { return last_->serial != seen_; }, timeoutMs))
        return false;
    seen_ = last_->serial;
    memcpy(menu, (const void *)last_, sizeof(*menu));
    return true;
}

bool MenuSpy::ItemOnScreen(int i, RECT *item, DWORD timeoutMs)
{
    HWND popup = nullptr;
    if (!WaitFor([&] {
            popup = FindTop("#32768", "");
            return last_->shown == seen_ && popup && IsWindowVisible(popup);
        }, timeoutMs))
        return false;
    RECT window = RectOf(popup);
    SpyMenu menu;
    memcpy(&menu, (const void *)last_, sizeof(menu));
    RECT first = menu.items[0].rect, wanted = menu.items[i].rect;
    int inset = ((window.right - window.left) - (first.right - first.left)) / 2;
    int x = window.left + inset + (wanted.left - first.left);
    int y = window.top + inset + (wanted.top - first.top);
    *item = {x, y, x + (wanted.right - wanted.left), y + (wanted.bottom - wanted.top)};
    return true;
}

// --- Input ---

static void RunXdotool(const std::string &args)
{
    std::string line = "/usr/bin/xdotool " + args;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    REQUIRE_MESSAGE(CreateProcessA("Z:\\usr\\bin\\xdotool", buffer.data(), NULL, NULL, FALSE, 0,
                                   NULL, NULL, &si, &pi),
                    "cannot run xdotool");
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void RunDisplayInput(const std::string &words)
{
    RunXdotool(words);
}

void DisplayClick(POINT screen, int button)
{
    RunXdotool("mousemove " + std::to_string(screen.x) + " " + std::to_string(screen.y) +
               " click " + std::to_string(button));
}

HeldKey::HeldKey(const char *xkey) : key_(xkey)
{
    RunXdotool("keydown " + key_);
}

HeldKey::~HeldKey()
{
    RunXdotool("keyup " + key_);
}

void MoveTo(POINT screen)
{
    int cx = GetSystemMetrics(SM_CXSCREEN) - 1, cy = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dx = screen.x * 65535 / cx;
    move.mi.dy = screen.y * 65535 / cy;
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &move, sizeof(INPUT));
    WaitFor([&] {
        POINT now;
        GetCursorPos(&now);
        return now.x == screen.x && now.y == screen.y;
    }, 2000);
}

void ClickHere(bool right, bool middle)
{
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = middle ? MOUSEEVENTF_MIDDLEDOWN : right ? MOUSEEVENTF_RIGHTDOWN
                                                                  : MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = middle ? MOUSEEVENTF_MIDDLEUP : right ? MOUSEEVENTF_RIGHTUP
                                                                : MOUSEEVENTF_LEFTUP;
    SendInput(2, press, sizeof(INPUT));
}

void ClickAt(POINT screen, bool right, bool doubleClick)
{
    MoveTo(screen);
    for (int i = 0; i < (doubleClick ? 2 : 1); i++)
        ClickHere(right);
}

void PostKey(HWND hwnd, UINT vk)
{
    UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
    PostMessageA(hwnd, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(hwnd, WM_KEYUP, vk, 1 | (scan << 16) | 0xC0000000);
}

void PostChar(HWND hwnd, char c)
{
    PostMessageA(hwnd, WM_CHAR, (unsigned char)c, 1);
}

// --- Screen ---

Screenshot CaptureScreen()
{
    Screenshot shot;
    shot.width = GetSystemMetrics(SM_CXSCREEN);
    shot.height = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = GetDC(NULL);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void *bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, shot.width, shot.height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    shot.pixels.resize(shot.width * shot.height);
    const DWORD *src = (const DWORD *)bits;
    for (size_t i = 0; i < shot.pixels.size(); i++)
        shot.pixels[i] = RGB((src[i] >> 16) & 0xFF, (src[i] >> 8) & 0xFF, src[i] & 0xFF);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(NULL, screen);
    return shot;
}

bool Screenshot::SaveBmp(const std::string &path) const
{
    std::string data;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = -height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + width * height * 4;
    data.append((const char *)&file, sizeof(file));
    data.append((const char *)&info, sizeof(info));
    for (COLORREF c : pixels) {
        DWORD bgra = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        data.append((const char *)&bgra, 4);
    }
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    WriteFile(out, data.data(), (DWORD)data.size(), &written, NULL);
    CloseHandle(out);
    return written == data.size();
}

// The icon's pixels drawn on black and on white: where both agree the icon
// is opaque.
static std::vector<int> IconPixels(HICON icon, int size)
{
    std::vector<int> result(size * size, -1);
    HDC screen = GetDC(NULL);
    COLORREF drawn[2][64 * 64];
    for (int pass = 0; pass < 2; pass++) {
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, size, size);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all = {0, 0, size, size};
        FillRect(dc, &all, (HBRUSH)GetStockObject(pass ? WHITE_BRUSH : BLACK_BRUSH));
        DrawIconEx(dc, 0, 0, icon, size, size, 0, NULL, DI_NORMAL);
        for (int y = 0; y < size; y++)
            for (int x = 0; x < size; x++)
                drawn[pass][y * size + x] = GetPixel(dc, x, y);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    ReleaseDC(NULL, screen);
    for (int i = 0; i < size * size; i++)
        if (drawn[0][i] == drawn[1][i])
            result[i] = (int)drawn[0][i];
    return result;
}

bool FindIcon(const Screenshot &screen, HICON icon, int size, RECT area, POINT *center)
{
    REQUIRE(size <= 64);
    std::vector<int> want = IconPixels(icon, size);
    for (int y = area.top; y + size <= area.bottom && y + size <= screen.height; y++) {
        for (int x = area.left; x + size <= area.right && x + size <= screen.width; x++) {
            bool match = true;
            for (int i = 0; match && i < size * size; i++)
                if (want[i] >= 0 && screen.At(x + i % size, y + i / size) != (COLORREF)want[i])
                    match = false;
            if (match) {
                *center = {x + size / 2, y + size / 2};
                return true;
            }
        }
    }
    return false;
}

HICON LoadKovIcon(const Home &home, int size)
{
    HMODULE exe = LoadLibraryExA(home.Path("kovw.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(exe != nullptr);
    HICON icon = (HICON)LoadImageA(exe, MAKEINTRESOURCEA(1), IMAGE_ICON, size, size, 0);
    FreeLibrary(exe);
    REQUIRE(icon != nullptr);
    return icon;
}

std::string ArtifactDir()
{
    std::string dir = BinDir() + "..\\test-artifacts\\";
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

// --- Patched binaries ---

struct PeImage {
    std::string bytes;
    IMAGE_NT_HEADERS32 *nt;
    // File offset of a relative virtual address.
    size_t Offset(DWORD rva)
    {
        IMAGE_SECTION_HEADER *section = IMAGE_FIRST_SECTION(nt);
        for (int i = 0; i < nt->FileHeader.NumberOfSections; i++, section++) {
            if (rva >= section->VirtualAddress &&
                rva < section->VirtualAddress + section->Misc.VirtualSize)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        FAIL("no section holds rva " << rva);
        return 0;
    }
};

static PeImage LoadImageFile(const std::string &path)
{
    PeImage image;
    image.bytes = ReadFileBytes(path);
    REQUIRE(image.bytes.size() > sizeof(IMAGE_DOS_HEADER));
    IMAGE_DOS_HEADER *dos = (IMAGE_DOS_HEADER *)&image.bytes[0];
    image.nt = (IMAGE_NT_HEADERS32 *)&image.bytes[dos->e_lfanew];
    return image;
}

static void Rename(PeImage &image, size_t offset, const char *name, const char *newName)
{
    REQUIRE(strlen(name) == strlen(newName));
    REQUIRE(_stricmp(&image.bytes[offset], name) == 0);
    memcpy(&image.bytes[offset], newName, strlen(newName));
}

void PatchExportName(const std::string &dll, const char *name, const char *newName)
{
    PeImage image = LoadImageFile(dll);
    IMAGE_DATA_DIRECTORY dir = image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    IMAGE_EXPORT_DIRECTORY *exports =
        (IMAGE_EXPORT_DIRECTORY *)&image.bytes[image.Offset(dir.VirtualAddress)];
    DWORD *names = (DWORD *)&image.bytes[image.Offset(exports->AddressOfNames)];
    for (DWORD i = 0; i < exports->NumberOfNames; i++) {
        size_t offset = image.Offset(names[i]);
        if (strcmp(&image.bytes[offset], name) == 0) {
            Rename(image, offset, name, newName);
            WriteFileBytes(dll, image.bytes);
            return;
        }
    }
    FAIL("no export " << name);
}

void PatchImportName(const std::string &exe, const char *dll, const char *newDll)
{
    PeImage image = LoadImageFile(exe);
    IMAGE_DATA_DIRECTORY dir = image.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    IMAGE_IMPORT_DESCRIPTOR *import =
        (IMAGE_IMPORT_DESCRIPTOR *)&image.bytes[image.Offset(dir.VirtualAddress)];
    for (; import->Name; import++) {
        size_t offset = image.Offset(import->Name);
        if (_stricmp(&image.bytes[offset], dll) == 0) {
            Rename(image, offset, dll, newDll);
            WriteFileBytes(exe, image.bytes);
            return;
        }
    }
    FAIL("no import from " << dll);
}

// --- Button groups ---

HWND WaitGroup(const HookView &view, HWND frame, DWORD timeoutMs)
{
    HWND group = nullptr;
    WaitFor([&] {
        int index = view.WindowIndex(frame);
        group = index >= 0 ? ((const volatile WinRecord *)view.Table())[index].hwndButtons : nullptr;
        return group && IsWindowVisible(group);
    }, timeoutMs);
    return group && IsWindowVisible(group) ? group : nullptr;
}

RECT RectOf(HWND hwnd)
{
    RECT rc = {};
    GetWindowRect(hwnd, &rc);
    return rc;
}

static BOOL CALLBACK CollectButton(HWND child, LPARAM param)
{
    std::vector<GroupButton> *buttons = (std::vector<GroupButton> *)param;
    buttons->push_back({GetDlgCtrlID(child), RectOf(child)});
    return TRUE;
}

std::vector<GroupButton> ButtonsOf(HWND group)
{
    std::vector<GroupButton> buttons;
    EnumChildWindows(group, CollectButton, (LPARAM)&buttons);
    std::sort(buttons.begin(), buttons.end(),
              [](const GroupButton &a, const GroupButton &b) { return a.rect.left < b.rect.left; });
    return buttons;
}

std::string OptionsWithoutUserCommand(Processes &processes)
{
    std::string options = DefaultOptionsFile(processes);
    std::fill(options.begin() + 3010, options.begin() + 3010 + 128, '\0');
    return options;
}

// --- Bytes ---

uint32_t U32At(const std::string &bytes, size_t offset)
{
    REQUIRE(offset + 4 <= bytes.size());
    uint32_t value;
    memcpy(&value, bytes.data() + offset, 4);
    return value;
}

uint16_t U16At(const std::string &bytes, size_t offset)
{
    REQUIRE(offset + 2 <= bytes.size());
    uint16_t value;
    memcpy(&value, bytes.data() + offset, 2);
    return value;
}

void PutU32(std::string &bytes, size_t offset, uint32_t value)
{
    REQUIRE(offset + 4 <= bytes.size());
    memcpy(&bytes[offset], &value, 4);
}

std::string DefaultOptionsFile(Processes &processes)
{
    // The same for every fresh home: made once per test program.
    static std::string cached;
    if (!cached.empty())
        return cached;
    Home home;
    Kovw kovw(processes, home);
    REQUIRE(kovw.MainWindow() != nullptr);
    std::string bytes = home.Read("kovopt.ini");
    REQUIRE(kovw.Close() == 0);
    REQUIRE(bytes.size() == sizeof(OptionsRecord));
    cached = bytes;
    return bytes;
}

}  // namespace kt
