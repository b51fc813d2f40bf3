// Start-up helpers of kovw: the home directory, the system parameters the
// library needs, the Recent-documents clean-up.
#include "kovw.h"
#include "../common/strutil.h"

#include <stdlib.h>

#define RECENT_PATH_SIZE   256

// A name cut to fit would be another file, which would then be read,
// deleted and written as if it were ours.
static bool HomeName(char *name, const char *home, const char *file)
{
    if (strlen(home) + strlen(file) >= HOME_PATH_SIZE)
        return false;
    FormatString(name, HOME_PATH_SIZE, "%s%s", home, file);
    return true;
}

int SaveHomePath(HINSTANCE instance)
{
    char module[MAX_PATH], full[MAX_PATH];
    DWORD n = GetModuleFileNameA(instance, module, sizeof(module));
    if (n == 0 || n >= sizeof(module) || !_fullpath(full, module, sizeof(full)))
        return -1;
    char *slash = strrchr(full, '\\');   // a full path always has one
    if (!slash)
        return -1;
    slash[1] = 0;
    CopyString(HomePath, sizeof(HomePath), full);
    return HomeName(szOptIniName, full, "kovopt.ini") &&
                   HomeName(szXceptIniName, full, "kovxcept.ini") &&
                   HomeName(szHelpFile, full, "readme.kov")
               ? 0
               : -1;
}

void InitSystemParams(void)
{
    SetSystemParameters(GetDoubleClickTime());
}

// Deletes the shortcuts directly in the Windows directory's Recent folder.
void RemoveRecentDocuments(void)
{
    char folder[RECENT_PATH_SIZE], pattern[RECENT_PATH_SIZE], file[RECENT_PATH_SIZE];
    UINT n = GetWindowsDirectoryA(folder, RECENT_PATH_SIZE);
    if (n == 0 || n >= RECENT_PATH_SIZE)
        return;
    if (AppendString(folder, sizeof(folder), "\\Recent") >= RECENT_PATH_SIZE - 1)
        return;
    DWORD attributes = GetFileAttributesA(folder);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    if (FormatString(pattern, sizeof(pattern), "%s\\*.LNK", folder) >= RECENT_PATH_SIZE - 1)
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        // A name that would not fit is skipped rather than cut, so that a
        // different file is never deleted by a shortened name.
        if (strlen(folder) + 1 + strlen(found.cFileName) >= RECENT_PATH_SIZE)
            continue;
        FormatString(file, sizeof(file), "%s\\%s", folder, found.cFileName);
        DeleteFileA(file);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}
