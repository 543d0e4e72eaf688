// pal_system_win32.cpp: the program's own paths, creating and deleting
// folders, and starting threads, on Windows; folders are listed with
// FindFirstFileA.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have defined it already
#define NOMINMAX
#endif
#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr size_t kPathCap = 298;

// A real folder: a symbolic link or junction to one is a reparse point,
// removed as a link and never entered.
bool isRealDirectory(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool isSelfOrParent(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// Calls visit(entry path, attributes) for each entry of folder until it
// returns false; false when the folder cannot be listed. A folder with no
// entries at all, not even "." (a drive's root), is not an error.
template <typename Visit>
bool forEachEntry(const std::string& folder, Visit visit) {
  WIN32_FIND_DATAA e;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &e);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  do {
    if (!isSelfOrParent(e.cFileName) && !visit(folder + "\\" + e.cFileName, e.dwFileAttributes)) break;
  } while (FindNextFileA(find, &e));
  FindClose(find);
  return true;
}

// Deletes one entry that is not a real folder. A read-only file is made
// writable first, as unlinking on POSIX systems ignores the file's own mode;
// a link to a folder is removed as a folder, which leaves its target alone.
bool deleteEntry(const std::string& entry, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return RemoveDirectoryA(entry.c_str()) != 0;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesA(entry.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return DeleteFileA(entry.c_str()) != 0;
}

// Deletes every entry of folder that is not a real folder; -7 when it cannot
// be opened, -6 when an entry cannot be deleted.
int deleteFilesIn(const std::string& folder) {
  int result = 1;
  const bool listed = forEachEntry(folder, [&](const std::string& entry, DWORD attributes) {
    if (!isRealDirectory(attributes) && !deleteEntry(entry, attributes)) result = -6;
    return true;
  });
  return listed ? result : -7;
}

// The first real subfolder of folder, or empty; -7 in *error when the
// folder cannot be opened.
std::string firstSubfolder(const std::string& folder, int* error) {
  std::string found;
  const bool listed = forEachEntry(folder, [&](const std::string& entry, DWORD attributes) {
    if (isRealDirectory(attributes)) found = entry;
    return found.empty();
  });
  if (!listed) *error = -7;
  return found;
}

// Removes the tree at root depth first: descend to a folder without
// subfolders, empty it, remove it, start again from the root.
int deleteTree(const std::string& root) {
  for (;;) {
    std::string folder = root;
    int error = 0;
    for (std::string sub = firstSubfolder(folder, &error); !sub.empty(); sub = firstSubfolder(folder, &error))
      folder = sub;
    if (error != 0) return error;
    const int emptied = deleteFilesIn(folder);
    if (emptied != 1) return emptied;
    if (!RemoveDirectoryA(folder.c_str())) return -1;
    if (folder == root) return 1;
  }
}

}  // namespace

int pal_FindOrCreateDirectory(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
  CreateDirectoryA(path, nullptr);
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : -1;
}

int pal_DeleteDirectory(const char* path, int mode) {
  std::string p(path, strnlen(path, kPathCap));
  if (!p.empty() && (p.back() == '/' || p.back() == '\\')) {
    if (p.size() == 1) return -8;
    p.pop_back();
  }
  if (!p.empty() && (p.back() == '/' || p.back() == '\\')) return -9;
  if (mode >= 2) return deleteTree(p);
  if (mode == 1) {
    const int emptied = deleteFilesIn(p);
    if (emptied == -7) return -7;
  }
  return RemoveDirectoryA(p.c_str()) ? 1 : -1;
}

// The longest program path read, in characters (the NUL comes on top).
constexpr DWORD kProgramPathChars = 295;

// The running program file and its folder from the module's file name, at
// most 295 characters of it.
int palStartPlatform() {
  // A path longer than the buffer comes back cut short, and older systems
  // leave it without a NUL: terminate it here in every case.
  const DWORD n = GetModuleFileNameA(nullptr, gpal_ExePath, kProgramPathChars + 1);
  gpal_ExePath[n < kProgramPathChars ? n : kProgramPathChars] = '\0';
  std::memcpy(gpal_AppPath, gpal_ExePath, PAL_PATH_LEN);
  std::memcpy(gpal_ProgPath, gpal_ExePath, PAL_PATH_LEN);
  char* slash = std::strrchr(gpal_ProgPath, '\\');
  if (char* other = std::strrchr(gpal_ProgPath, '/'); other != nullptr && (slash == nullptr || other > slash))
    slash = other;
  if (slash != nullptr) *slash = '\0';
  return 10;  // the Windows build's platform flag
}

void pal_BeginThread(void (*fn)()) { std::thread(fn).detach(); }

void pal_ForfeitThreadExecution() { std::this_thread::yield(); }
