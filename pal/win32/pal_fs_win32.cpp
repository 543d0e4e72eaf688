// pal_fs_win32.cpp: the authoring program's file and folder calls on
// Windows, mirroring pal_fs_posix.cpp function for function (see pal_fs.h).
// Files are opened with CreateFileW, shared for reading, writing and
// deleting (an open file can be removed or renamed over, as on POSIX
// systems), and handed out as C runtime descriptors in binary mode. Paths
// reach the W calls as wide strings: read as UTF-8 when they are valid
// UTF-8, else in the ANSI code page (the program's system text on Windows).
// Left out on purpose: the execute bit, folder syncing and interrupted calls.
#include "pal/pal_fs.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have defined it already
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The path as the W calls take it; empty for a null or empty path.
std::wstring widePath(const char* path) {
  if (path == nullptr || path[0] == '\0') return std::wstring();
  for (UINT page : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
    const DWORD strict = page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    const int n = MultiByteToWideChar(page, strict, path, -1, nullptr, 0);
    if (n <= 0) continue;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(page, strict, path, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
  }
  return std::wstring();
}

// A name the W calls gave back, in the form widePath reads back to the same
// name: the ANSI code page when it holds every character, else UTF-8.
std::string narrowName(const wchar_t* name) {
  BOOL lost = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lost);
  const UINT page = n > 0 && !lost ? CP_ACP : CP_UTF8;
  n = WideCharToMultiByte(page, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(page, 0, name, -1, &text[0], n, nullptr, nullptr);
  text.resize(static_cast<size_t>(n - 1));
  return text;
}

// Sets errno from the last Win32 error, as the POSIX call would have set it.
void setErrno() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: errno = ENOENT; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_DIR_NOT_EMPTY: errno = ENOTEMPTY; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: errno = ENOSYS; break;
    default: errno = EIO;
  }
}

int failed() {
  setErrno();
  return -1;
}

bool refused() {
  setErrno();
  return false;
}

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// One runtime call's count: the runtime takes unsigned int counts.
unsigned chunk(size_t n) { return static_cast<unsigned>(std::min<size_t>(n, INT_MAX)); }

// Seconds since 1970 of a file time (100 ns steps since 1601).
int64_t unixSeconds(const FILETIME& t) {
  const int64_t ticks = (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  return ticks / 10000000 - INT64_C(11644473600);
}

void fillInfo(const WIN32_FILE_ATTRIBUTE_DATA& a, bool reportLink, pal_FsInfo* info) {
  if (info == nullptr) return;
  const bool link = reportLink && (a.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool folder = (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info->link = link;
  info->folder = folder && !link;
  info->file = !folder && !link;
  info->size = (static_cast<int64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
  info->modified = unixSeconds(a.ftLastWriteTime);
}

}  // namespace

// The handle is not inherited (null security attributes, _O_NOINHERIT).
// Windows files carry no mode bits: mode is not used.
int pal_FsOpen(const char* path, unsigned flags, unsigned /*mode*/) {
  const unsigned accessMode = flags & 3u;
  const DWORD access = accessMode == PAL_FS_WRITE       ? GENERIC_WRITE
                       : accessMode == PAL_FS_READWRITE ? GENERIC_READ | GENERIC_WRITE
                                                        : GENERIC_READ;
  DWORD disposition = (flags & PAL_FS_TRUNCATE) != 0 ? TRUNCATE_EXISTING : OPEN_EXISTING;
  if ((flags & PAL_FS_CREATE) != 0)
    disposition = (flags & PAL_FS_EXCLUSIVE) != 0  ? CREATE_NEW
                  : (flags & PAL_FS_TRUNCATE) != 0 ? CREATE_ALWAYS
                                                   : OPEN_ALWAYS;
  const std::wstring wide = widePath(path);
  HANDLE file = CreateFileW(wide.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return failed();
  int runtime = _O_BINARY | _O_NOINHERIT;
  if ((flags & PAL_FS_APPEND) != 0) runtime |= _O_APPEND;
  if (access == GENERIC_READ) runtime |= _O_RDONLY;
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), runtime);
  if (fd < 0) {
    CloseHandle(file);
    errno = EMFILE;
    return -1;
  }
  return fd;
}

int pal_FsDescriptorOf(std::FILE* f) { return ::_fileno(f); }

int64_t pal_FsRead(int fd, void* buf, size_t n) { return ::_read(fd, buf, chunk(n)); }

// The position is put back afterwards, as pread leaves it.
int64_t pal_FsReadAt(int fd, void* buf, size_t n, int64_t offset) {
  const int64_t was = ::_lseeki64(fd, 0, SEEK_CUR);
  if (was < 0 || ::_lseeki64(fd, offset, SEEK_SET) != offset) return -1;
  const int got = ::_read(fd, buf, chunk(n));
  if (::_lseeki64(fd, was, SEEK_SET) != was) return -1;
  return got;
}

int64_t pal_FsWrite(int fd, const void* buf, size_t n) { return ::_write(fd, buf, chunk(n)); }

// Two writes; a failure of the second after the first reports the first's count.
int64_t pal_FsWriteTwo(int fd, const void* a, size_t na, const void* b, size_t nb) {
  const int64_t first = na == 0 ? 0 : pal_FsWrite(fd, a, na);
  if (first < 0 || static_cast<size_t>(first) < na || nb == 0) return first;
  const int64_t second = pal_FsWrite(fd, b, nb);
  return second < 0 ? (first > 0 ? first : -1) : first + second;
}

// Windows has no copy between descriptors: the bytes pass through a buffer here.
int64_t pal_FsCopyRange(int in, int64_t* from, int out, size_t n) {
  std::vector<char> part(std::min<size_t>(n, size_t{1} << 20));
  int64_t copied = 0;
  while (static_cast<size_t>(copied) < n) {
    const int64_t got = pal_FsReadAt(in, part.data(), std::min(part.size(), n - static_cast<size_t>(copied)), *from);
    if (got <= 0) return copied > 0 ? copied : got;
    for (int64_t put = 0; put < got;) {
      const int64_t wrote = pal_FsWrite(out, part.data() + put, static_cast<size_t>(got - put));
      if (wrote <= 0) return copied > 0 ? copied : -1;
      put += wrote;
      *from += wrote;
      copied += wrote;
    }
  }
  return copied;
}

int64_t pal_FsSeekEnd(int fd) { return ::_lseeki64(fd, 0, SEEK_END); }

int64_t pal_FsSize(int fd) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handleOf(fd), &size)) return failed();
  return size.QuadPart;
}

int pal_FsTruncate(int fd, int64_t length) {
  const errno_t error = ::_chsize_s(fd, length);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

// Windows has no execute bit: a program runs by its ".exe" name.
int pal_FsMakeRunnable(int /*fd*/, unsigned /*mode*/) { return 0; }

int pal_FsSync(int fd) { return FlushFileBuffers(handleOf(fd)) ? 0 : failed(); }

int pal_FsClose(int fd) { return ::_close(fd); }

bool pal_FsIsTerminal(int fd) { return ::_isatty(fd) != 0; }

// A link is followed by opening what it names and asking the open file.
bool pal_FsStat(const char* path, pal_FsInfo* info) {
  const std::wstring wide = widePath(path);
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &a)) return refused();
  if ((a.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    HANDLE h = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return refused();
    BY_HANDLE_FILE_INFORMATION target;
    const bool known = GetFileInformationByHandle(h, &target) != 0;
    if (!known) setErrno();
    CloseHandle(h);
    if (!known) return false;
    a.dwFileAttributes = target.dwFileAttributes;
    a.ftLastWriteTime = target.ftLastWriteTime;
    a.nFileSizeHigh = target.nFileSizeHigh;
    a.nFileSizeLow = target.nFileSizeLow;
  }
  fillInfo(a, false, info);
  return true;
}

// A symbolic link or junction is a reparse point: reported as a link.
bool pal_FsStatLink(const char* path, pal_FsInfo* info) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  if (!GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &a)) return refused();
  fillInfo(a, true, info);
  return true;
}

bool pal_FsReadable(const char* path) { return ::_waccess(widePath(path).c_str(), 4) == 0; }

// Written through: the rename is on the disk when the call returns, as
// fsync of the folder makes it on POSIX systems.
// A folder renamed over an empty folder replaces it, as rename does on
// POSIX systems: Windows replaces files only, so the empty one goes first.
int pal_FsRename(const char* from, const char* to) {
  const std::wstring a = widePath(from), b = widePath(to);
  constexpr DWORD kHow = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
  if (MoveFileExW(a.c_str(), b.c_str(), kHow)) return 0;
  const DWORD error = GetLastError();
  const DWORD source = GetFileAttributesW(a.c_str()), target = GetFileAttributesW(b.c_str());
  const bool folders = source != INVALID_FILE_ATTRIBUTES && target != INVALID_FILE_ATTRIBUTES &&
                       (source & target & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (folders && RemoveDirectoryW(b.c_str()) && MoveFileExW(a.c_str(), b.c_str(), kHow)) return 0;
  SetLastError(folders ? GetLastError() : error);
  return failed();
}

int pal_FsLink(const char* from, const char* to) {
  const std::wstring a = widePath(from), b = widePath(to);
  return CreateHardLinkW(b.c_str(), a.c_str(), nullptr) ? 0 : failed();
}

// A folder cannot be opened for syncing on Windows; renames are written
// through (pal_FsRename) instead.
void pal_FsSyncFolder(const char* /*path*/) {}

int pal_FsMakeFolder(const char* path, unsigned /*mode*/) {
  return CreateDirectoryW(widePath(path).c_str(), nullptr) ? 0 : failed();
}

int pal_FsRemoveFolder(const char* path) { return RemoveDirectoryW(widePath(path).c_str()) ? 0 : failed(); }

// A link to a folder (a directory junction or symbolic link) is removed as
// a folder, which leaves its target alone; a read-only file is made
// writable first.
int pal_FsRemove(const char* path) {
  const std::wstring wide = widePath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failed();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      errno = EISDIR;
      return -1;
    }
    return RemoveDirectoryW(wide.c_str()) ? 0 : failed();
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
    SetFileAttributesW(wide.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  return DeleteFileW(wide.c_str()) ? 0 : failed();
}

// A folder with no entries at all, not even "." (a drive's root), is listed
// as empty, not as an error.
bool pal_FsList(const char* folder, const std::function<bool(const char* name, bool folder, bool link)>& visit) {
  const std::wstring wide = widePath(folder);
  WIN32_FIND_DATAW e;
  HANDLE find = FindFirstFileW((wide + L"\\*").c_str(), &e);
  if (find == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return refused();
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  do {
    if (std::wcscmp(e.cFileName, L".") == 0 || std::wcscmp(e.cFileName, L"..") == 0) continue;
    const bool link = (e.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const bool isFolder = (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !link;
    if (!visit(narrowName(e.cFileName).c_str(), isFolder, link)) break;
  } while (FindNextFileW(find, &e));
  FindClose(find);
  return true;
}

// The C runtime's copy of the environment, which getenv reads, and the
// process's own, which programs started later inherit, both change.
int pal_SetEnvironment(const char* name, const char* value) {
  if (::_putenv_s(name, value) != 0) return -1;
  return SetEnvironmentVariableA(name, value) ? 0 : failed();
}

bool pal_LocalTime(int64_t seconds, std::tm* out) {
  const __time64_t t = seconds;
  return ::_localtime64_s(out, &t) == 0;
}

// The shell's "open" verb on a folder opens it in the file manager (Explorer).
bool pal_FsShowFolder(const char* path) {
  const std::wstring wide = widePath(path);
  const HINSTANCE done = ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(done) > 32;
}
