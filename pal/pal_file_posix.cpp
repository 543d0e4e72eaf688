// pal_file_posix.cpp: random-access file reads with pread, and read-only
// mappings for decoding frames, whose rows lie scattered over the file:
// one mapping costs far less than a system call per row.
#include "pal/pal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

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

const unsigned char* pal_FileMapRead(pal_File* file, int64_t* size) {
  *size = pal_FileSize(file);
  if (*size <= 0) return nullptr;
  void* map = ::mmap(nullptr, static_cast<size_t>(*size), PROT_READ, MAP_SHARED, file->fd, 0);
  return map == MAP_FAILED ? nullptr : static_cast<const unsigned char*>(map);
}

void pal_FileUnmap(const unsigned char* map, int64_t size) {
  if (map != nullptr) ::munmap(const_cast<unsigned char*>(map), static_cast<size_t>(size));
}

void pal_FileClose(pal_File* file) {
  if (file == nullptr) return;
  ::close(file->fd);
  delete file;
}

unsigned pal_ProgramFileMode() {
  unsigned mask = 0;
  bool known = false;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (!known && std::fgets(line, sizeof line, f) != nullptr) known = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(f);
  }
  if (!known) {  // an old kernel: read the mask by setting it back at once
    const mode_t old = ::umask(022);
    ::umask(old);
    mask = old;
  }
  return 0777u & ~mask;
}
