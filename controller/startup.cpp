// Start-up helpers of kovw: the home directory, the system parameters the
// library needs, the Recent-documents clean-up.
#include "kovw.h"
#include "../common/strutil.h"

#include <stdlib.h>

#define RECENT_PATH_SIZE   256

int SaveHomePath(HINSTANCE instance)
{
    char module[MAX_PATH], full[MAX_PATH];
    char drive[_MAX_DRIVE], dir[_MAX_DIR], name[_MAX_FNAME], ext[_MAX_EXT];
    DWORD n = GetModuleFileNameA(instance, module, sizeof(module));
    if (n == 0 || n >= sizeof(module))
        module[0] = 0;
    if (!_fullpath(full, module, sizeof(full)))
        CopyString(full, sizeof(full), module);
    _splitpath(full, drive, dir, name, ext);
    FormatString(HomePath, sizeof(HomePath), "%s%s", drive, dir);
    FormatString(szOptIniName, sizeof(szOptIniName), "%s%skovopt.ini", drive, dir);
    FormatString(szXceptIniName, sizeof(szXceptIniName), "%s%skovxcept.ini", drive, dir);
    FormatString(szHelpFile, sizeof(szHelpFile), "%s%sreadme.kov", drive, dir);
    return 0;
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
