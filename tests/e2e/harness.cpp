#include "harness.h"

#include <doctest.h>

#include <shellapi.h>
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
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

FILETIME FileWriteTime(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
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

static void RemoveTree(const std::string &dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

Home::~Home()
{
    // A library still mapped by a process that is ending can keep its file
    // busy for a moment.
    WaitFor([&] {
        RemoveTree(dir_);
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

HookView::HookView(const Home &home)
{
    module_ = LoadLibraryA(home.Path("kovhook.dll").c_str());
    REQUIRE_MESSAGE(module_ != nullptr, "cannot load " << home.Path("kovhook.dll"));
    typedef int(WINAPI * GetHookDataFn)(OptionsRecord **, ExceptionList **);
    GetHookDataFn getHookData = (GetHookDataFn)Proc("GetHookData");
    getHookData(&options_, &exceptions_);
    suspend_ = (int *)Proc("_SuspendKovTemp");
    unMinAll_ = (UnMinAllRecord *)Proc("_UnMinAll");
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
    Home home;
    Kovw kovw(processes, home);
    REQUIRE(kovw.MainWindow() != nullptr);
    std::string bytes = home.Read("kovopt.ini");
    REQUIRE(kovw.Close() == 0);
    return bytes;
}

}  // namespace kt
