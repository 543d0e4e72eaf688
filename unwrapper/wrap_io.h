// wrap_io.h: the few file and path calls of the unwrapper that Linux and
// Windows spell differently, so that the reader and the screen read the
// same on both. On Linux each is the POSIX call as it stands. On Windows
// (mingw-w64) files are C runtime descriptors, always in binary mode (text
// mode would turn bytes 10 and 26 of the payload into something else), with
// 64-bit offsets and sizes. Windows has no execute bit and the runtime does
// not refuse symbolic links: both are left out there. The three calls that
// need Win32 itself (opening, own path, rename over a file) are defined in
// wrap_reader.cpp, so that windows.h stays out of this header.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>

#include <algorithm>
#include <climits>
#include <functional>

// Open flags the Windows runtime lacks. O_CLOEXEC: a descriptor that child
// processes do not inherit, the runtime's nearest flag. O_NOFOLLOW: none.
#ifndef O_CLOEXEC
#define O_CLOEXEC _O_NOINHERIT
#endif
#ifndef O_NOFOLLOW
#define O_NOFOLLOW 0
#endif

// What a program file's name ends with; the final line feed of the
// closing message on standard output.
constexpr const char* WRAP_PROGRAM_EXTENSION = ".exe";
constexpr const char* WRAP_CLOSING_LINE_END = "\n";
// Characters that separate folders in a path.
constexpr const char* WRAP_PATH_SEPARATORS = "/\\";

// True for "X:\...", "X:/..." and "\\server\...".
inline bool wrapPathIsAbsolute(const char* path) {
  const auto sep = [](char c) { return c == '/' || c == '\\'; };
  const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
  return (drive && sep(path[2])) || (sep(path[0]) && sep(path[1]));
}

// Opens path with open(2) flags as a runtime descriptor in binary mode; a
// new file is readable and writable (Windows knows no other mode bits).
// The file is shared for deleting: an output the worker still writes can
// be removed when the window closes, and vanishes when it is closed.
int wrapOpen(const char* path, int flags, unsigned mode);

// Reads up to n bytes at offset, leaving the file position where it was
// (as pread does: the expansion reads rows back from an output it is
// still writing at its position); the count read, or -1.
inline int64_t wrapReadAt(int fd, void* buf, size_t n, int64_t offset) {
  const int64_t was = ::_lseeki64(fd, 0, SEEK_CUR);
  if (was < 0 || ::_lseeki64(fd, offset, SEEK_SET) != offset) return -1;
  const int got = ::_read(fd, buf, static_cast<unsigned>(std::min<size_t>(n, INT_MAX)));
  if (::_lseeki64(fd, was, SEEK_SET) != was) return -1;
  return got;
}

// Moves the file position; the new position, or -1.
inline int64_t wrapSeek(int fd, int64_t offset, int whence) { return ::_lseeki64(fd, offset, whence); }

// Stores the file's size and whether it is a regular file; false when fstat fails.
inline bool wrapFileInfo(int fd, int64_t* size, bool* regular) {
  struct _stati64 st;
  if (::_fstati64(fd, &st) != 0) return false;
  *size = static_cast<int64_t>(st.st_size);
  *regular = (st.st_mode & _S_IFMT) == _S_IFREG;
  return true;
}

// Cuts the file to length bytes; false on failure.
inline bool wrapTruncate(int fd, int64_t length) { return ::ftruncate64(fd, length) == 0; }

// Windows has no execute bit: a program runs by its ".exe" name.
inline bool wrapMakeRunnable(int /*fd*/, unsigned /*mode*/) { return true; }

// The first occurrence of needle in haystack, or null (the runtime has no memmem).
inline const void* wrapFindBytes(const void* haystack, size_t n, const void* needle, size_t m) {
  const auto* h = static_cast<const unsigned char*>(haystack);
  const auto* p = static_cast<const unsigned char*>(needle);
  const auto* hit = std::search(h, h + n, std::boyer_moore_horspool_searcher(p, p + m));
  return hit == h + n ? nullptr : hit;
}

// The running program file's full path (GetModuleFileNameA), found once.
const char* wrapOwnProgramFile();
// Copies the running program file's path into buffer (size bytes), NUL
// terminated; its length, or 0 with the buffer empty when unknown. A path
// that fills the whole buffer may have been cut short.
size_t wrapOwnProgramPath(char* buffer, size_t size);
// Renames from over to, replacing an existing file (MoveFileExA); false on failure.
bool wrapRenameOver(const char* from, const char* to);

#else  // Linux

constexpr const char* WRAP_PROGRAM_EXTENSION = "";
constexpr const char* WRAP_CLOSING_LINE_END = "";
constexpr const char* WRAP_PATH_SEPARATORS = "/";

inline bool wrapPathIsAbsolute(const char* path) { return path[0] == '/'; }

inline int wrapOpen(const char* path, int flags, unsigned mode) {
  return ::open(path, flags, static_cast<mode_t>(mode));
}

inline int64_t wrapReadAt(int fd, void* buf, size_t n, int64_t offset) { return ::pread(fd, buf, n, offset); }

inline int64_t wrapSeek(int fd, int64_t offset, int whence) { return ::lseek(fd, offset, whence); }

inline bool wrapFileInfo(int fd, int64_t* size, bool* regular) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return false;
  *size = static_cast<int64_t>(st.st_size);
  *regular = S_ISREG(st.st_mode);
  return true;
}

inline bool wrapTruncate(int fd, int64_t length) { return ::ftruncate(fd, length) == 0; }

// Gives the program file its mode (rwx for all the mask allows).
inline bool wrapMakeRunnable(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)) == 0; }

inline const void* wrapFindBytes(const void* haystack, size_t n, const void* needle, size_t m) {
  return ::memmem(haystack, n, needle, m);
}

// The running program file, read through the kernel's link to it.
constexpr const char* wrapOwnProgramFile() { return "/proc/self/exe"; }

inline size_t wrapOwnProgramPath(char* buffer, size_t size) {
  const ssize_t n = ::readlink("/proc/self/exe", buffer, size - 1);
  buffer[n > 0 ? n : 0] = '\0';
  return n > 0 ? static_cast<size_t>(n) : 0;
}

inline bool wrapRenameOver(const char* from, const char* to) { return ::rename(from, to) == 0; }

#endif
