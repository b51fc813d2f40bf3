// The mappings, the per-process data, the window table and the small
// helpers that are safe to call from any process.
#include "share.h"
#include "../common/strutil.h"
#include "debuglog.h"

// The exports of these names are kept for programs that bind to them; Kov's
// own records of both live in the desktop-wide mapping.
UnMinAllRecord _UnMinAll = {};   // extern "C" through kovhook.h
int   _SuspendKovTemp = 0;       // extern "C" through kovhook.h

// Per-process data.
int      KovIsHooked = 0;
DWORD    HookThreadId = 0;
DWORD    OwnInstance = 0;
HMODULE  hiKovDll = 0;
HMENU    hwndKovTaskListMenu = 0;
HWND     hwndSwitchHwnd[TASKLIST_MAX_ENTRIES] = {};
HOOKPROC NewCBTProc = 0, NewGetMsgProc = 0, NewMouseProc = 0, NewSysMsgProc = 0;
const char *szKovButtons = KOV_BUTTONS_CLASS;
HINSTANCE hInstKovDll = 0;
SCROLLCACHE ScrollCache = {};
WNDPROC SysTaskbarOldFrameProc = 0;
BOOL  SysTaskbarIsUnicode = 0;
HWND  SysTaskbarHwnd = 0;
int   SysTaskbarActive = 0;

// --- The desktop-wide mapping ---

// Until this process finds the mapping: Kov is not running, as far as it
// can tell.
static KovShared Dormant = {0, 0, {}, {}, {}, 1};
const KovShared *Sh = &Dormant;
KovHostState *St = &Dormant.State;
static KovShared *Writable = &Dormant;
static KovShared HostCopy;
static bool ReadOnly;   // the controllers' part of the view, in a host
static DWORD LastAttempt;
static HANDLE Mapping;
#define ATTACH_RETRY_MS 1000

// "Local\KovShared4-<desktop>": a second desktop, or (where the system has
// sessions, Windows 2000 on) a second user's session, has a Kov of its own,
// and a Kov of another layout a record of its own, so that an upgrade starts
// while programs still hold the old one. Windows 95 has no desktop objects to
// name.
int WINAPI KovObjectName(char *name, int size, const char *base, BOOL versioned)
{
    typedef HDESK(WINAPI * GetDesktop)(DWORD);
    typedef BOOL(WINAPI * GetInfo)(HANDLE, int, void *, DWORD, DWORD *);
    HMODULE user = GetModuleHandleA("user32.dll");
    GetDesktop thread = (GetDesktop)GetProcAddress(user, "GetThreadDesktop");
    GetInfo info = (GetInfo)GetProcAddress(user, "GetUserObjectInformationA");
    char desktop[KOV_SHARED_NAME_SIZE / 2] = "";
    DWORD needed = 0;
    if (!thread || !info ||
        !info(thread(GetCurrentThreadId()), UOI_NAME, desktop, sizeof(desktop) - 1, &needed))
        CopyString(desktop, sizeof(desktop), "Default");
    DWORD version = GetVersion();
    bool sessions = !(version & 0x80000000) && LOBYTE(LOWORD(version)) >= 5;
    char layout[16] = "";
    if (versioned)
        FormatString(layout, sizeof(layout), "%u", (unsigned)KOV_SHARED_VERSION);
    return FormatString(name, size, "%s%s%s-%s", sessions ? "Local\\" : "", base, layout, desktop);
}

static bool Matches(const KovShared *view)
{
    return view->Version == KOV_SHARED_VERSION && view->Size == sizeof(KovShared);
}

// This architecture's tables: until the mapping is found, this process's own.
static KovTable DormantTable;
KovTable *Tb = &DormantTable;
static HANDLE TableMapping;

// A mapping of Kov's name (create: made when there is none), the user's own,
// with a view of size bytes; a SHARED_* result.
static int OpenMapping(const char *name, DWORD size, bool create, HANDLE *mapping, void **view, bool *fresh)
{
    HANDLE handle;
    DWORD error;
    if (create) {
        SECURITY_ATTRIBUTES sa;
        handle = CreateFileMappingA(INVALID_HANDLE_VALUE, KovObjectSecurity(&sa), PAGE_READWRITE, 0, size, name);
        error = GetLastError();
        LocalFree(sa.lpSecurityDescriptor);
    } else {
        handle = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name);
        error = ERROR_ALREADY_EXISTS;
    }
    if (!handle)
        return create ? SHARED_CANNOT_CREATE : SHARED_MISSING;
    *fresh = error != ERROR_ALREADY_EXISTS;
    if (!*fresh && !KovIsOwnObject(handle)) {
        CloseHandle(handle);
        return SHARED_NOT_OWN;
    }
    // A mapping of another layout may be smaller than ours: then no view.
    *view = MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!*view) {
        CloseHandle(handle);
        return SHARED_OTHER_LAYOUT;
    }
    *mapping = handle;
    return SHARED_OPEN;
}

static void CloseMapping(HANDLE mapping, void *view)
{
    UnmapViewOfFile(view);
    CloseHandle(mapping);
}

// The table is made by whichever program of this architecture comes first,
// the controller or a host: all zeros until its head is written, and two
// that come at once write the same head.
static int OpenTable(HANDLE *mapping, KovTable **table)
{
    char name[KOV_SHARED_NAME_SIZE];
    KovObjectName(name, sizeof(name), KOV_TABLE_NAME, TRUE);
    void *view;
    bool fresh;
    int status = OpenMapping(name, sizeof(KovTable), true, mapping, &view, &fresh);
    if (status != SHARED_OPEN)
        return status;
    KovTable *t = (KovTable *)view;
    if (!t->Version && !t->Size) {
        t->Size = sizeof(KovTable);
        t->Version = KOV_SHARED_VERSION;
    }
    if (t->Version != KOV_SHARED_VERSION || t->Size != sizeof(KovTable)) {
        CloseMapping(*mapping, view);
        return SHARED_OTHER_LAYOUT;
    }
    *table = t;
    return SHARED_OPEN;
}

static bool Protect(KovShared *view, DWORD protection)
{
    DWORD was;
    return VirtualProtect(view, KOV_STATE_OFFSET, protection, &was) != 0;
}

KovShared *ControllerView(void)
{
    return Writable;
}

// create: the main controller makes the mapping (or takes the one programs
// still hold from an earlier run); otherwise only an existing one is opened.
// A host (not a controller) gets the controllers' part read-only.
static int OpenShared(int create, bool host)
{
    if (Sh != &Dormant) {
        if (!host && Writable == &HostCopy) {   // a controller's process the hooks reached first
            if (ReadOnly && !Protect((KovShared *)Sh, PAGE_READWRITE))
                return SHARED_CANNOT_CREATE;
            ReadOnly = false;
            Writable = (KovShared *)Sh;
        }
        return Matches(Sh) ? SHARED_OPEN : SHARED_OTHER_LAYOUT;
    }
    char name[KOV_SHARED_NAME_SIZE];
    KovObjectName(name, sizeof(name), KOV_SHARED_NAME, TRUE);
    HANDLE mapping, tableMapping;
    void *found;
    bool fresh;
    int status = OpenMapping(name, sizeof(KovShared), create != 0, &mapping, &found, &fresh);
    if (status != SHARED_OPEN)
        return status;
    KovShared *view = (KovShared *)found;
    if (fresh) {
        view->Suspend = 1;
        view->Size = sizeof(KovShared);
        view->Version = KOV_SHARED_VERSION;
    }
    if (!Matches(view)) {
        CloseMapping(mapping, view);
        return SHARED_OTHER_LAYOUT;
    }
    KovTable *table;
    status = OpenTable(&tableMapping, &table);
    if (status != SHARED_OPEN) {
        CloseMapping(mapping, view);
        return status;
    }
    // The handles stay open for the process's life: under Wine a view alone
    // does not keep the name, by which the others find the mapping.
    Tb = table;
    TableMapping = tableMapping;
    // Where the system cannot protect the view, the host's writes still
    // go only to State.
    ReadOnly = host && Protect(view, PAGE_READONLY);
    Writable = host ? &HostCopy : view;
    St = &view->State;
    Sh = view;
    Mapping = mapping;
    DebugLevelCS = Sh->DebugLevel;
    return SHARED_OPEN;
}

int WINAPI OpenKovShared(int create)
{
    return OpenShared(create, false);
}

void DetachSharedCS(void)
{
    if (Sh == &Dormant)
        return;
    KovShared *view = (KovShared *)Sh;
    KovTable *table = Tb;
    Sh = Writable = &Dormant;
    St = &Dormant.State;
    ReadOnly = false;
    Tb = &DormantTable;
    CloseMapping(Mapping, view);
    CloseMapping(TableMapping, table);
    Mapping = TableMapping = NULL;
}

KovTable *WINAPI GetKovTable(void)
{
    return IsAttachedCS() ? Tb : NULL;
}

void AttachSharedCS(void)
{
    if (Sh != &Dormant || GetTickCount() - LastAttempt < ATTACH_RETRY_MS)
        return;
    LastAttempt = GetTickCount();
    if (OpenShared(0, true) == SHARED_OPEN)
        OfferOwnWindows();
}

bool IsAttachedCS(void)
{
    return Sh != &Dormant;
}

KovShared *WINAPI GetKovShared(void)
{
    return IsAttachedCS() && Writable != &HostCopy ? Writable : NULL;
}

bool IsOwnWindow(HWND hwnd)
{
    DWORD pid = 0;
    return hwnd && GetWindowThreadProcessId(hwnd, &pid) && pid == GetCurrentProcessId();
}

bool IsForeignCall(HWND hwnd)
{
    // No window, or one already gone, may be any program's: none of ours to act on.
    return KovIsHooked && !IsOwnWindow(hwnd);
}

int GetMutexCS(HANDLE *mutex, const char *name, DWORD timeoutMs)
{
    // On 64-bit Windows the thread that put the global hooks in also runs
    // the other architecture's hook calls: a long wait there stalls every
    // program whose call is on its way to it, perhaps the very one holding
    // the mutex. It waits briefly; what it could not do is posted again.
    if (IsHookThread() && timeoutMs > HOOK_THREAD_WAIT_MS)
        timeoutMs = HOOK_THREAD_WAIT_MS;
    *mutex = CreateMutexA(NULL, FALSE, name);
    if (!*mutex)
        return -1;
    if (WaitForSingleObject(*mutex, timeoutMs) == WAIT_OBJECT_0)
        return 0;
    // An abandoned wait hands us ownership; give it back so that the next
    // caller gets a clean mutex. After a time-out this release just fails.
    ReleaseMutex(*mutex);
    return -1;
}

int ReleaseMutexCS(HANDLE mutex)
{
    int result = ReleaseMutex(mutex) ? 0 : -1;
    CloseHandle(mutex);
    return result;
}

char *getBaseNameCS(char *path, int length)
{
    for (int i = length - 2; i >= 0; i--) {
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            return path + i + 1;
    }
    return path;
}

// The record this process looked up last: a frame's messages come in runs.
static int LastIndex = -1;

int FindWindowIndexCS(HWND hwnd)
{
    int last = LastIndex;
    if (last >= 0 && hwnd && Tb->Win[last].hwnd == hwnd)
        return last;
    int index = GetWindowIndex(hwnd);
    if (index >= 0)
        LastIndex = index;
    return index;
}

int GetWindowIndex(HWND hwnd)
{
    if (!hwnd)
        return -1;
    for (int i = 0; i < WIN_TABLE_SIZE; i++)
        if (Tb->Win[i].hwnd == hwnd)
            return i;
    return -1;
}

int GetButtonWindowIndex(HWND hwnd, BOOL orParent)
{
    if (!hwnd)
        return -1;
    HWND parent = orParent ? GetParent(hwnd) : 0;
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        if (!Tb->Win[i].hwnd || !Tb->Win[i].hwndButtons)
            continue;
        if (Tb->Win[i].hwndButtons == hwnd || (parent && Tb->Win[i].hwndButtons == parent))
            return i;
    }
    return -1;
}

static void ReleaseRecord(int index)
{
    ZeroMemory(&Tb->Win[index], sizeof(Tb->Win[index]));
    if (Tb->HookedWindowCnt > 0)
        Tb->HookedWindowCnt--;
}

// Any program may have written the count: it becomes what the table holds.
static void SweepLocked(void)
{
    int live = 0;
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        if (!Tb->Win[i].hwnd)
            continue;
        if (IsWindow(Tb->Win[i].hwnd))
            live++;
        else
            ZeroMemory(&Tb->Win[i], sizeof(Tb->Win[i]));
    }
    Tb->HookedWindowCnt = live;
}

void SweepDeadRecords(void)
{
    HANDLE mutex;
    GetMutexCS(&mutex, MUTEX_WININDEX, WININDEX_FREE_TIMEOUT);   // carries on without it
    SweepLocked();
    if (mutex)
        ReleaseMutexCS(mutex);
}

int AllocWindowIndex(HWND hwnd, int *index)
{
    if (!IsWindow(hwnd))
        return -1;
    HANDLE mutex;
    if (GetMutexCS(&mutex, MUTEX_WININDEX, WININDEX_ALLOC_TIMEOUT) != 0) {
        if (!mutex)
            return -1;   // no lock to wait for, now or later
        ReleaseMutexCS(mutex);
        return ALLOC_BUSY;
    }
    int old = GetWindowIndex(hwnd);
    if (old >= 0) {
        // Taken over afresh: its group goes first (this is the frame's own
        // thread), or it would stay on the screen, dead.
        DestroyButtons(Tb->Win[old].hwndButtons);
        FreeWindowIndex(hwnd, FALSE);
    }
    // A record left behind by a window that is gone is free again; keeping it
    // could hand its stale procedure to a new window with the same handle.
    SweepLocked();
    int free = -1;
    for (int i = 0; i < WIN_TABLE_SIZE && free < 0; i++)
        if (!Tb->Win[i].hwnd)
            free = i;
    if (free < 0) {
        ReleaseMutexCS(mutex);
        return -1;
    }
    Tb->HookedWindowCnt++;
    ZeroMemory(&Tb->Win[free], sizeof(Tb->Win[free]));
    if (!ChainFrame(hwnd)) {
        Tb->HookedWindowCnt--;
        ReleaseMutexCS(mutex);
        return -1;
    }
    Tb->Win[free].hwnd = hwnd;
    Tb->Win[free].Instance = Sh->Instance;
    *index = free;
    ReleaseMutexCS(mutex);
    return 0;
}

// Releases every record. A frame of another process that is still there
// cannot get its procedure back from here; its record stays so that the
// frame keeps reaching its own procedure through SubclassProc, and its own
// thread releases it on the release message still waiting in its queue.
static void ForceReleaseAll()
{
    for (int i = 0; i < WIN_TABLE_SIZE; i++) {
        HWND hwnd = Tb->Win[i].hwnd;
        if (!hwnd)
            continue;
        if (IsWindow(hwnd)) {
            if (!UnchainFrame(hwnd))
                continue;
            DestroyButtons(Tb->Win[i].hwndButtons);
        }
        ReleaseRecord(i);
    }
}

int FreeWindowIndex(HWND hwnd, BOOL all)
{
    HANDLE mutex;
    GetMutexCS(&mutex, MUTEX_WININDEX, WININDEX_FREE_TIMEOUT);   // carries on without it
    int result = 0;
    if (all) {
        ForceReleaseAll();
    } else {
        int index = GetWindowIndex(hwnd);
        if (index >= 0 && UnchainFrame(hwnd))
            ReleaseRecord(index);
        else
            result = -1;
    }
    if (mutex)
        ReleaseMutexCS(mutex);
    return result;
}
