// pal_fs_posix.cpp: the authoring program's file and folder calls on Linux,
// each the POSIX call itself (see pal_fs.h), and the file manager started
// through xdg-open. Linux-only: copy_file_range.
#include "pal/pal_fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

extern char** environ;

namespace {

int openFlags(unsigned flags) {
  const unsigned access = flags & 3u;
  int f = access == PAL_FS_WRITE ? O_WRONLY : access == PAL_FS_READWRITE ? O_RDWR : O_RDONLY;
  if ((flags & PAL_FS_CREATE) != 0) f |= O_CREAT;
  if ((flags & PAL_FS_EXCLUSIVE) != 0) f |= O_EXCL;
  if ((flags & PAL_FS_TRUNCATE) != 0) f |= O_TRUNC;
  if ((flags & PAL_FS_APPEND) != 0) f |= O_APPEND;
  return f | O_CLOEXEC;
}

void fillInfo(const struct stat& st, pal_FsInfo* info) {
  if (info == nullptr) return;
  info->folder = S_ISDIR(st.st_mode);
  info->file = S_ISREG(st.st_mode);
  info->link = S_ISLNK(st.st_mode);
  info->size = st.st_size;
  info->modified = st.st_mtime;
}

}  // namespace

int pal_FsOpen(const char* path, unsigned flags, unsigned mode) {
  return ::open(path, openFlags(flags), static_cast<mode_t>(mode));
}

int pal_FsDescriptorOf(std::FILE* f) { return ::fileno(f); }

int64_t pal_FsRead(int fd, void* buf, size_t n) { return ::read(fd, buf, n); }

int64_t pal_FsReadAt(int fd, void* buf, size_t n, int64_t offset) {
  return ::pread(fd, buf, n, static_cast<off_t>(offset));
}

int64_t pal_FsWrite(int fd, const void* buf, size_t n) { return ::write(fd, buf, n); }

int64_t pal_FsWriteTwo(int fd, const void* a, size_t na, const void* b, size_t nb) {
  iovec parts[2] = {{const_cast<void*>(a), na}, {const_cast<void*>(b), nb}};
  return ::writev(fd, parts, 2);
}

int64_t pal_FsCopyRange(int in, int64_t* from, int out, size_t n) {
  loff_t at = *from;
  const ssize_t done = ::copy_file_range(in, &at, out, nullptr, n, 0);
  *from = at;
  return done;
}

int64_t pal_FsSeekEnd(int fd) { return ::lseek(fd, 0, SEEK_END); }

int64_t pal_FsSize(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 ? st.st_size : -1;
}

int pal_FsTruncate(int fd, int64_t length) { return ::ftruncate(fd, static_cast<off_t>(length)); }

int pal_FsMakeRunnable(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)); }

int pal_FsSync(int fd) { return ::fsync(fd); }

int pal_FsClose(int fd) { return ::close(fd); }

bool pal_FsIsTerminal(int fd) { return ::isatty(fd) == 1; }

bool pal_FsStat(const char* path, pal_FsInfo* info) {
  struct stat st;
  if (::stat(path, &st) != 0) return false;
  fillInfo(st, info);
  return true;
}

bool pal_FsStatLink(const char* path, pal_FsInfo* info) {
  struct stat st;
  if (::lstat(path, &st) != 0) return false;
  fillInfo(st, info);
  return true;
}

bool pal_FsReadable(const char* path) { return ::access(path, R_OK) == 0; }

int pal_FsRename(const char* from, const char* to) { return ::rename(from, to); }

int pal_FsLink(const char* from, const char* to) { return ::link(from, to); }

void pal_FsSyncFolder(const char* path) {
  const int fd = ::open(path, O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int pal_FsMakeFolder(const char* path, unsigned mode) { return ::mkdir(path, static_cast<mode_t>(mode)); }

int pal_FsRemoveFolder(const char* path) { return ::rmdir(path); }

int pal_FsRemove(const char* path) { return ::unlink(path); }

// The entry's own type from the listing; a file system that does not give
// it (DT_UNKNOWN) is asked with lstat, which never follows a link either.
bool pal_FsList(const char* folder, const std::function<bool(const char* name, bool folder, bool link)>& visit) {
  DIR* dir = ::opendir(folder);
  if (dir == nullptr) return false;
  while (const dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    bool isFolder = e->d_type == DT_DIR, isLink = e->d_type == DT_LNK;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st;
      const std::string entry = std::string(folder) + "/" + e->d_name;
      if (::lstat(entry.c_str(), &st) == 0) {
        isFolder = S_ISDIR(st.st_mode);
        isLink = S_ISLNK(st.st_mode);
      }
    }
    if (!visit(e->d_name, isFolder, isLink)) break;
  }
  ::closedir(dir);
  return true;
}

int pal_SetEnvironment(const char* name, const char* value) { return ::setenv(name, value, 1); }

bool pal_LocalTime(int64_t seconds, std::tm* out) {
  const time_t t = static_cast<time_t>(seconds);
  return ::localtime_r(&t, out) != nullptr;
}

// xdg-open, a child of its own with its standard files on /dev/null. A
// missing file manager shows at once as a failed exit; a file manager that
// opens may keep xdg-open running for as long as it does, and it is reaped
// on a thread of its own when it ends.
bool pal_FsShowFolder(const char* path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  char program[] = "xdg-open";
  std::string folder = path;
  char* argv[] = {program, folder.data(), nullptr};
  pid_t pid = -1;
  const int started = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return false;
  for (int i = 0; i < 50; ++i) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    const timespec wait{0, 20 * 1000 * 1000};
    ::nanosleep(&wait, nullptr);
  }
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
  return true;
}
