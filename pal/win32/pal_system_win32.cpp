// pal_system_win32.cpp: the program's own paths, creating folders, the
// folder primitives that deleting uses (listed with FindFirstFileA), on
// Windows.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have defined it already
#define NOMINMAX
#endif
#include <windows.h>

#include <io.h>

#include <cstring>
#include <string>

namespace {

// A real folder: a symbolic link or junction to one is a reparse point,
// removed as a link and never entered.
bool isRealDirectory(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool isSelfOrParent(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

}  // namespace

// A folder with no entries at all, not even "." (a drive's root), is listed
// as empty, not as an error.
bool palListFolder(const std::string& folder, const std::function<bool(const std::string&, bool)>& visit) {
  WIN32_FIND_DATAA e;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &e);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  do {
    if (!isSelfOrParent(e.cFileName) && !visit(folder + "\\" + e.cFileName, isRealDirectory(e.dwFileAttributes)))
      break;
  } while (FindNextFileA(find, &e));
  FindClose(find);
  return true;
}

// A read-only file is made writable first, as unlinking on POSIX systems
// ignores the file's own mode; a link to a folder is removed as a folder,
// which leaves its target alone.
bool palDeleteEntry(const std::string& entry) {
  const DWORD attributes = GetFileAttributesA(entry.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return RemoveDirectoryA(entry.c_str()) != 0;
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesA(entry.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return DeleteFileA(entry.c_str()) != 0;
}

bool palRemoveFolder(const std::string& folder) { return RemoveDirectoryA(folder.c_str()) != 0; }

int pal_FindOrCreateDirectory(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
  CreateDirectoryA(path, nullptr);
  const DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 1 : -1;
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

