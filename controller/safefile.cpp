// Writing a settings file so that no failure costs the user the file that
// was there: the bytes go to a temporary file beside it, every write checked
// and flushed, which then takes the real file's place in one rename. A crash
// or a full disk at any moment leaves either the old or the new file whole.
#include "kovw.h"
#include "../common/strutil.h"

#include <string.h>

// The temporary name is as long as the real one ("kovopt.ini" gives
// "kovopt.new"), so it fits wherever the real name does.
static bool TempNameOf(const char *path, char *temp, int size)
{
    CopyString(temp, size, path);
    char *dot = strrchr(temp, '.');
    if (!dot || strchr(dot, '\\') || strlen(dot) != 4 || strcmp(temp, path) != 0)
        return false;
    memcpy(dot + 1, "new", 3);
    return true;
}

static bool WriteAndClose(HANDLE file, const void *bytes, DWORD size, bool truncate)
{
    DWORD written = 0;
    bool ok = WriteFile(file, bytes, size, &written, NULL) && written == size &&
              (!truncate || SetEndOfFile(file)) && FlushFileBuffers(file);
    return CloseHandle(file) && ok;
}

BOOL (WINAPI *MoveFileExCS)(LPCSTR from, LPCSTR to, DWORD flags) = MoveFileExA;
BOOL (WINAPI *MoveFileCS)(LPCSTR from, LPCSTR to) = MoveFileA;

// Windows 95 has no replacing rename (its MoveFileEx says it is not
// implemented): there the old file goes first and the whole new one takes
// its name. Should that rename fail, the new file keeps the temporary name,
// the one complete copy left, which the next start takes back.
static bool PutInPlace(const char *temp, const char *path)
{
    if (MoveFileExCS(temp, path, MOVEFILE_REPLACE_EXISTING))
        return true;
    if (GetLastError() == ERROR_CALL_NOT_IMPLEMENTED &&
        (DeleteFileA(path) || GetLastError() == ERROR_FILE_NOT_FOUND))
        return MoveFileCS(temp, path) != 0;
    DeleteFileA(temp);
    return false;
}

int WriteWholeFile(const char *path, const void *bytes, DWORD size)
{
    // A read-only file is not to be changed. Windows refuses a rename over
    // it; Wine does not, so it is asked first.
    DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return -1;
    char temp[MAX_PATH];
    if (!TempNameOf(path, temp, sizeof(temp)))
        return -1;
    HANDLE file = CreateFileA(temp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              NULL);
    if (file != INVALID_HANDLE_VALUE) {
        if (!WriteAndClose(file, bytes, size, false)) {
            DeleteFileA(temp);
            return -1;
        }
        return PutInPlace(temp, path) ? 0 : -1;
    }
    // A shared folder may let its files be written but no new file be made
    // there; then the file itself is rewritten, which is the best left.
    if (GetLastError() != ERROR_ACCESS_DENIED)
        return -1;
    file = CreateFileA(path, GENERIC_WRITE, 0, NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    return WriteAndClose(file, bytes, size, true) ? 0 : -1;
}

void RecoverWholeFile(const char *path)
{
    char temp[MAX_PATH];
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND ||
        !TempNameOf(path, temp, sizeof(temp)))
        return;
    DWORD attributes = GetFileAttributesA(temp);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        MoveFileA(temp, path);
}
