// pal_file_posix.cpp: random-access file reads with pread, so that a frame
// decode costs one system call per run of rows and no seeks.
#include "pal/pal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

struct pal_File {
  int fd;
};

pal_File* pal_FileOpenRead(const char* path) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return new pal_File{fd};
}

int64_t pal_FileSize(pal_File* file) {
  struct stat st;
  if (file == nullptr || ::fstat(file->fd, &st) != 0) return -1;
  return st.st_size;
}

int64_t pal_FileReadAt(pal_File* file, int64_t offset, void* buf, int64_t n) {
  if (file == nullptr || offset < 0 || n < 0) return -1;
  auto* out = static_cast<unsigned char*>(buf);
  int64_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(file->fd, out + done, static_cast<size_t>(n - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

void pal_FileClose(pal_File* file) {
  if (file == nullptr) return;
  ::close(file->fd);
  delete file;
}
