// The options record and the exception list: defaults, loading with the
// version upgrade, and saving.
#include "kovw.h"
#include "strings.h"
#include "../common/actions.h"
#include "../common/strutil.h"

#include <shellapi.h>
#include <stdlib.h>

#define XCEPT_READ_LIMIT   840
#define XCEPT_BUFFER_SIZE  1000
#define EDITOR_FILE        "NOTEPAD.EXE"
#define HISTORY_FILE       "HISTORY.DOC"
#define USERCMD_FILE       "USERCMD.TXT"

struct DefaultSlot {
    uint32_t ActionId;
    uint32_t ActionFlags;
    uint16_t SlotKeys;
};

static const DefaultSlot DefaultSlots[MOUSE_SLOT_COUNT] = {
    {ACTION_NONE, 0, 0},     {ACTION_NONE, 0, 0},     {ACTION_NONE, 0, 0},
    {ACTION_NONE, 0, 0},     {ACTION_NONE, 0, 0},
    {ACTION_NONE, 0xF00, 0}, {ACTION_ROLLUP, 0xF00, 4}, {ACTION_TASKLIST, 0xF00, 2},
    {ACTION_TASKLIST, 0xF00, 1}, {ACTION_NONE, 0, 0},
    {ACTION_SCROLLPAGE, 0xF00, 0}, {ACTION_NONE, 0xF00, 4}, {0x7031, 0x700, 2},
    {0x704E, 0xF00, 1},      {ACTION_NONE, 0, 0},
};

struct DefaultTitleButton {
    char     Name[4];
    uint32_t Action;
};

static const DefaultTitleButton DefaultTitleButtons[TITLE_BUTTON_COUNT] = {
    {"Ro", ACTION_ROLLUP}, {"Ta", ACTION_STARTMENU}, {"Cl", ACTION_CLOSE},
};

static const char *const DefaultXceptions[] = {
    "WINMSD.EXE", "RASMON.EXE", "LEGACY.EXE", "TMGMAINW.EXE",
};

static bool FileExists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// The Windows directory joined with file; 0 when it does not fit.
int GetWindowsDirectoryPath(char *path, int size, const char *file)
{
    UINT n = GetWindowsDirectoryA(path, size);
    if (n == 0 || (int)n >= size)
        return 0;
    if (path[n - 1] != '\\' && AppendString(path, size, "\\") >= size - 1)
        return 0;
    return AppendString(path, size, file) < size - 1;
}

static int32_t DisplayPixelsPerInchY(void)
{
    HDC ic = CreateICA("DISPLAY", NULL, NULL, NULL);
    int dpi = ic ? GetDeviceCaps(ic, LOGPIXELSY) : 0;
    if (ic)
        DeleteDC(ic);
    return dpi;
}

void SetDefaultUserCmd(OptionsRecord *options)
{
    char *command = UserCommandOf(options);
    command[0] = 0;
    char windows[MAX_PATH], editor[MAX_PATH];
    UINT n = GetWindowsDirectoryA(windows, sizeof(windows));
    if (n == 0 || n >= sizeof(windows))
        return;
    if ((INT_PTR)FindExecutableA(EDITOR_FILE, windows, editor) <= 32)
        return;
    // A command that would not fit the field is left empty rather than cut.
    if (strlen(editor) >= USER_COMMAND_SIZE)
        return;
    CopyString(command, USER_COMMAND_SIZE, editor);

    char document[MAX_PATH];
    if (FormatString(document, sizeof(document), "%s" USERCMD_FILE, HomePath) >= MAX_PATH - 1)
        return;
    if (!FileExists(document))
        return;
    // Without room for the document the editor alone is the command.
    if (strlen(editor) + 1 + strlen(document) < USER_COMMAND_SIZE) {
        AppendString(command, USER_COMMAND_SIZE, " ");
        AppendString(command, USER_COMMAND_SIZE, document);
    }
}

void SetDefaultOptions(OptionsRecord *options)
{
    ZeroMemory(options, sizeof(*options));
    CopyString(options->Version, sizeof(options->Version), KOV_VERSION_TEXT);
    memcpy(options->EndMarker, END_MARKER_TEXT, sizeof(END_MARKER_TEXT));
    options->Reserved006 = 1;
    options->BypassShutdownConfirm = 1;
    options->AppearInTaskList = 1;
    options->SuspendOnLoad = 0;
    options->Reserved01A = 1;
    options->StartMode = 1;
    options->Reserved026 = 1;
    options->Reserved02A = 27;
    options->Reserved02E = 3;
    options->Reserved032 = 1;
    options->Reserved036 = 1;
    options->Reserved03A = 1;
    options->Reserved042 = 91;
    options->Reserved044 = 3;
    options->Reserved04E = 632;
    options->Reserved052 = 7;
    options->Reserved056 = 29;
    options->Reserved05A = 6;
    options->Reserved05E = 7;
    options->Flags = FLAGS_DEFAULT;
    options->ScrollSensitivity = 4;
    options->ScrollPages = 6;
    options->AutoScrollZone = DisplayPixelsPerInchY();
    options->AutoScrollInterval = 60;
    for (int i = 0; i < MOUSE_SLOT_COUNT; i++) {
        ActionSlot &slot = options->MouseAction[i];
        slot.ActionId = DefaultSlots[i].ActionId;
        slot.ActionFlags = DefaultSlots[i].ActionFlags;
        slot.SlotNumber = (uint16_t)(i % 5 + 1);
        slot.SlotKeys = DefaultSlots[i].SlotKeys;
    }
    for (int i = 0; i < TITLE_BUTTON_COUNT; i++) {
        TitleButtonDef &button = options->TitleButton[i];
        memcpy(button.Name, DefaultTitleButtons[i].Name, sizeof(button.Name));
        button.BitmapId = DefaultTitleButtons[i].Action;
        button.ActionId = DefaultTitleButtons[i].Action;
        button.ActionFlags = ACTIONFLAGS_MASK;
        button.Placement = PLACEMENT_RIGHT;
    }
    SetDefaultUserCmd(options);
}

void SetDefaultXceptions(ExceptionList *list)
{
    ZeroMemory(list, sizeof(*list));
    for (const char *name : DefaultXceptions)
        CopyString(list->Name[list->Count++], XCEPT_NAME_SIZE, name);
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

static void StoreXception(ExceptionList *list, const char *name, int length)
{
    char *slot = list->Name[list->Count++];
    ZeroMemory(slot, XCEPT_NAME_SIZE);
    memcpy(slot, name, length < XCEPT_NAME_CHARS ? length : XCEPT_NAME_CHARS);
}

// One name per line: leading white space dropped, the rest of the line kept
// as typed, the first 20 characters stored, at most 40 names.
void ParseXceptions(const char *bytes, int length, ExceptionList *list)
{
    const char *start = 0;
    for (int i = 0; i < length && list->Count < XCEPT_MAX_NAMES; i++) {
        char c = bytes[i];
        if (!start) {
            if (!IsBlank(c))
                start = bytes + i;
        } else if (c == '\r' || c == '\n') {
            StoreXception(list, start, (int)(bytes + i - start));
            start = 0;
        }
    }
    if (start && list->Count < XCEPT_MAX_NAMES)
        StoreXception(list, start, (int)(bytes + length - start));
}

enum Loaded { LOAD_MISSING, LOAD_UNREADABLE, LOAD_INVALID, LOAD_ACCEPTED };

// Read and write sharing, so that a file another program holds open for
// writing (an editor, say) can still be read.
static HANDLE OpenForReading(const char *path, Loaded *state)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE)
        *state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LOAD_MISSING
                                                                                : LOAD_UNREADABLE;
    return file;
}

static Loaded LoadOptionsFile(void)
{
    Loaded state;
    HANDLE file = OpenForReading(szOptIniName, &state);
    if (file == INVALID_HANDLE_VALUE)
        return state;
    DWORD read = 0, more = 0;
    char extra;   // one byte more than the record means the file is too long
    bool ok = ReadFile(file, Opt, sizeof(*Opt), &read, NULL) &&
              (read != sizeof(*Opt) || ReadFile(file, &extra, 1, &more, NULL));
    CloseHandle(file);
    if (!ok)
        return LOAD_UNREADABLE;
    return read == sizeof(*Opt) && more == 0 && memcmp(Opt->EndMarker, END_MARKER_TEXT, 3) == 0
               ? LOAD_ACCEPTED
               : LOAD_INVALID;
}

static Loaded LoadXceptionsFile(void)
{
    Loaded state;
    HANDLE file = OpenForReading(szXceptIniName, &state);
    if (file == INVALID_HANDLE_VALUE)
        return state;
    char *buffer = (char *)malloc(XCEPT_BUFFER_SIZE);
    DWORD read = 0;
    bool ok = buffer && ReadFile(file, buffer, XCEPT_READ_LIMIT, &read, NULL);
    CloseHandle(file);
    if (ok) {
        Xcept->Count = 0;
        ParseXceptions(buffer, (int)read, Xcept);
    }
    free(buffer);
    return ok ? LOAD_ACCEPTED : LOAD_UNREADABLE;
}

int32_t MaxEdgeOffset(void)
{
    return GetSystemMetrics(SM_CXSCREEN);
}

static int32_t ClampEdgeOffset(int32_t offset)
{
    return offset < 0 ? 0 : offset > MaxEdgeOffset() ? MaxEdgeOffset() : offset;
}

int InitializeOptions(void)
{
    GetHookData(&Opt, &Xcept);
    ZeroMemory(Opt, sizeof(*Opt));
    RecoverWholeFile(szOptIniName);
    RecoverWholeFile(szXceptIniName);

    // Only a file that was read and found wrong is deleted; one that cannot
    // be read now is the user's all the same, and stays until they save.
    switch (LoadOptionsFile()) {
    case LOAD_ACCEPTED:
        CheckForOptionsVersionUpdate(Opt);
        // Any offset passes the file's checks; one past the screen would
        // put the buttons off the window. In memory only: the file stays.
        Opt->EdgeOffsetLeft = ClampEdgeOffset(Opt->EdgeOffsetLeft);
        Opt->EdgeOffsetRight = ClampEdgeOffset(Opt->EdgeOffsetRight);
        break;
    case LOAD_UNREADABLE:
        SetDefaultOptions(Opt);
        break;
    case LOAD_INVALID:
        DeleteFileA(szOptIniName);
        SetDefaultOptions(Opt);
        SaveOptions();
        break;
    case LOAD_MISSING:
        SetDefaultOptions(Opt);
        SaveOptions();
        break;
    }

    switch (LoadXceptionsFile()) {
    case LOAD_MISSING:
        SetDefaultXceptions(Xcept);
        SaveXceptions();
        break;
    case LOAD_UNREADABLE:
        SetDefaultXceptions(Xcept);
        break;
    default:
        break;
    }
    return 0;
}

static void OfferHistory(void)
{
    char editor[MAX_PATH], history[MAX_PATH];
    bool found = GetWindowsDirectoryPath(editor, sizeof(editor), EDITOR_FILE) &&
                 FormatString(history, sizeof(history), "%s" HISTORY_FILE, HomePath) <
                     MAX_PATH - 1 &&
                 FileExists(editor) && FileExists(history);
    if (!found) {
        StringMessageBox(NULL, SID_MB_NOHISTORY, SID_MBTBAR_WARNING,
                         MB_OK | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        return;
    }
    ShellExecuteA(hwndKov, "open", editor, history, "", SW_SHOW);
}

void CheckForOptionsVersionUpdate(OptionsRecord *options)
{
    int order = memcmp(options->Version, KOV_VERSION_TEXT, 3);
    if (order == 0)
        return;
    if (StringMessageBox(NULL, SID_MB_NEWOPTIONS, SID_MBTBAR_NEWOPTIONS,
                         MB_YESNO | MB_SYSTEMMODAL) == IDYES)
        OfferHistory();
    if (order < 0) {
        options->Flags |= FLAGS_DEFAULT;
        options->ScrollSensitivity = 4;
        options->ScrollPages = 6;
        options->AutoScrollZone = DisplayPixelsPerInchY();
        options->AutoScrollInterval = 60;
        ActionSlot &slot = options->MouseAction[SLOT_CTRL_RIGHT];
        slot.ActionId = ACTION_TASKLIST;
        slot.ActionFlags = ACTIONFLAGS_MASK;
        slot.SlotKeys = 2;
        SetDefaultUserCmd(options);
    }
    ZeroMemory(options->Version, sizeof(options->Version));
    CopyString(options->Version, sizeof(options->Version), KOV_VERSION_TEXT);
    SaveOptions();
}

int SaveOptions(void)
{
    if (WriteWholeFile(szOptIniName, Opt, sizeof(*Opt)) != 0)
        MessageBoxA(NULL, "Error: Cannot save options to file.", "Save Kov Options", MB_OK);
    return 0;
}

// The whole text is made first, so that it is written in one piece.
int SaveXceptions(void)
{
    char text[XCEPT_MAX_NAMES * (XCEPT_NAME_SIZE + 2)];
    int count = Xcept->Count < 0 ? 0 : Xcept->Count > XCEPT_MAX_NAMES ? XCEPT_MAX_NAMES : Xcept->Count;
    DWORD length = 0;
    for (int i = 0; i < count; i++) {
        size_t name = strnlen(Xcept->Name[i], XCEPT_NAME_SIZE);
        memcpy(text + length, Xcept->Name[i], name);
        memcpy(text + length + name, "\r\n", 2);
        length += (DWORD)name + 2;
    }
    if (WriteWholeFile(szXceptIniName, text, length) != 0)
        MessageBoxA(NULL, "Error: Cannot save exceptions to file.", "Save Kov Options", MB_OK);
    return 0;
}
