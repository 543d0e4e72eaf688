// pal_fs.h: the authoring program's file, folder and process calls, one
// function per operation its callers need, so that no file outside the
// platform layer names a system call. Files are numbered descriptors (on Windows those of
// the C runtime, always binary, with 64-bit offsets), so a descriptor from
// std::fopen's stream (pal_FsDescriptorOf) works with every call here.
// Failures come back as -1 (or false) with errno set, as the POSIX calls set
// it; a call that a signal interrupted fails with EINTR and the caller
// decides whether to try again. Paths are the program's system text (see
// pal_SystemText): on Windows the ANSI code page's, as the C runtime's
// calls read them, and a name listed that the code page cannot hold comes
// back in UTF-8, which these calls (and only these) read back to the same
// name. Every folder and file call of the platform layer goes through
// here, so a path means the same file to all of them. Windows has no execute bit, no folder to sync and no
// signal to interrupt a call: those calls succeed there doing nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>

// How pal_FsOpen opens: one access mode, with any of the flags after it.
// Every descriptor is closed in programs this one starts.
enum : unsigned {
  PAL_FS_READ = 0,        // reading only
  PAL_FS_WRITE = 1,       // writing only
  PAL_FS_READWRITE = 2,   // both
  PAL_FS_CREATE = 4,      // created when missing (new files get mode less the creation mask)
  PAL_FS_EXCLUSIVE = 8,   // with PAL_FS_CREATE: fails with EEXIST when the path exists at all
  PAL_FS_TRUNCATE = 16,   // cut to 0 bytes
  PAL_FS_APPEND = 32,     // every write goes to the end of the file
};

// What pal_FsStat and pal_FsStatLink report of a path.
struct pal_FsInfo {
  bool folder = false;    // a folder (not a link to one, for pal_FsStatLink)
  bool file = false;      // a regular file
  bool link = false;      // a symbolic link itself (pal_FsStatLink only)
  int64_t size = 0;       // bytes
  int64_t modified = 0;   // last modification, seconds since 1970 (UTC)
};

// ---- Descriptors ---------------------------------------------------------------
// Opens path with PAL_FS_ flags; the descriptor, or -1.
int pal_FsOpen(const char* path, unsigned flags, unsigned mode);
// The descriptor beneath a C stream (for reads at an offset, syncing, the size).
int pal_FsDescriptorOf(std::FILE* f);
// Reads up to n bytes at the file position with one call; the count (0 at the end), or -1.
int64_t pal_FsRead(int fd, void* buf, size_t n);
// Reads up to n bytes at offset with one call, leaving the file position; the count, or -1.
int64_t pal_FsReadAt(int fd, void* buf, size_t n, int64_t offset);
// Writes up to n bytes with one call; the count written, or -1.
int64_t pal_FsWrite(int fd, const void* buf, size_t n);
// Writes a then b as one gathered write; the count written (possibly short), or -1.
int64_t pal_FsWriteTwo(int fd, const void* a, size_t na, const void* b, size_t nb);
// Copies up to n bytes from in at *from to out's file position, moving
// *from on, without passing them through the caller; the count copied (0
// when nothing could be, for the caller's own loop to take over), or -1.
int64_t pal_FsCopyRange(int in, int64_t* from, int out, size_t n);
// Moves the file position to the end; the file's length, or -1.
int64_t pal_FsSeekEnd(int fd);
// The file's size in bytes, or -1.
int64_t pal_FsSize(int fd);
// Cuts (or extends) the file to length bytes; 0, or -1.
int pal_FsTruncate(int fd, int64_t length);
// Gives the file the permission bits mode (a program made runnable); 0, or -1.
int pal_FsMakeRunnable(int fd, unsigned mode);
// Waits until the file's bytes are on the disk; 0, or -1.
int pal_FsSync(int fd);
// Closes the descriptor; 0, or -1 (the descriptor is gone either way).
int pal_FsClose(int fd);
// True when the descriptor is a terminal (standard error is 2).
bool pal_FsIsTerminal(int fd);

// ---- Paths -----------------------------------------------------------------------
// Stores what path is, following links; false when it cannot be asked (info may be null).
bool pal_FsStat(const char* path, pal_FsInfo* info);
// As pal_FsStat for the path itself: a link is reported as a link, not followed.
bool pal_FsStatLink(const char* path, pal_FsInfo* info);
// True when this process may read the file at path.
bool pal_FsReadable(const char* path);
// Renames from to to, replacing an existing file to in one step (a
// folder is renamed only where to does not exist); 0, or -1.
int pal_FsRename(const char* from, const char* to);
// Gives the file from the second name to (a hard link); 0, or -1 where the
// file system has no links (the caller then copies or moves instead).
int pal_FsLink(const char* from, const char* to);
// Makes the renames and removals in a folder lasting (nothing on Windows).
void pal_FsSyncFolder(const char* path);
// Creates one folder with the permission bits mode; 0, or -1 (EEXIST when path exists).
int pal_FsMakeFolder(const char* path, unsigned mode);
// Removes an empty folder; 0, or -1.
int pal_FsRemoveFolder(const char* path);
// Removes what path names that is not a folder: a file (a read-only one
// too, as on POSIX systems) or a link (a link to a folder included), which
// leaves its target alone; 0, or -1.
int pal_FsRemove(const char* path);
// Calls visit(name, is a folder, is a link) for each entry of folder but "."
// and ".." (the name alone, no path), until visit returns false; a link is
// never followed, so a link to a folder is a link and not a folder. False
// when the folder cannot be listed.
bool pal_FsList(const char* folder, const std::function<bool(const char* name, bool folder, bool link)>& visit);

// ---- The process and other programs -------------------------------------------------
// Sets the environment variable name to value for this process and the
// programs it starts; 0, or -1.
int pal_SetEnvironment(const char* name, const char* value);
// Stores the local calendar time of seconds since 1970 (a file's modified
// time, std::time's now); false when it cannot be represented.
bool pal_LocalTime(int64_t seconds, std::tm* out);
// Shows the folder at path in the desktop's file manager, started without a
// shell and with its output dropped. False when it cannot be started or
// reports a failure at once; a file manager that keeps running is left to run.
bool pal_FsShowFolder(const char* path);
