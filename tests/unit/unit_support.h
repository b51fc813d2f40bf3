// Small helpers the unit tests and the end-to-end harness share: a private
// temporary directory, whole-file reads and writes, removing a tree.
#ifndef KOV_UNIT_SUPPORT_H
#define KOV_UNIT_SUPPORT_H

#include <windows.h>

#include <stdexcept>
#include <string>

namespace kovtest {

inline bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The whole file; throws when it cannot be read, so that a missing file
// never compares equal to an expected empty one.
inline std::string ReadAll(const std::string &path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot open " + path);
    std::string bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, NULL) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

inline void WriteAll(const std::string &path, const std::string &bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path);
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, NULL);
    CloseHandle(file);
    if (!ok || written != bytes.size())
        throw std::runtime_error("cannot write " + path);
}

inline void RemoveTree(const std::string &dir)   // dir ends in a backslash
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(dir + name + "\\");
            } else {
                SetFileAttributesA((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA((dir + name).c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

// A fresh, empty directory under the temp folder, removed with everything
// in it. Names stay short so that tests can build long paths on top.
class TempDir {
public:
    TempDir()
    {
        char base[MAX_PATH];
        DWORD n = GetTempPathA(sizeof(base), base);
        if (n == 0 || n >= sizeof(base))
            throw std::runtime_error("no temp folder");
        static int serial = 0;
        for (int attempt = 0; attempt < 100; attempt++) {
            path_ = std::string(base) + "ku" + std::to_string(GetCurrentProcessId()) + "_" +
                    std::to_string(serial++) + "\\";
            if (CreateDirectoryA(path_.c_str(), NULL))
                return;
        }
        throw std::runtime_error("cannot create a temp directory");
    }
    ~TempDir() { RemoveTree(path_); }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + name; }

private:
    std::string path_;
};

}   // namespace kovtest

#endif
