// pal_file_win32.cpp: random-access file reads with positioned ReadFile
// calls, and read-only mappings for decoding frames, whose rows lie
// scattered over the file: one mapping costs far less than a call per row.
// Files are opened sharing reads and writes with other openers; unlike on
// POSIX systems an open file cannot be deleted or renamed meanwhile.
#include "pal/pal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have defined it already
#define NOMINMAX
#endif
#include <windows.h>

struct pal_File {
  HANDLE handle;
};

namespace {

// The most one ReadFile call is asked for: its count is 32 bits.
constexpr int64_t kReadChunk = 1 << 30;

}  // namespace

pal_File* pal_FileOpenRead(const char* path) {
  if (path == nullptr || path[0] == '\0') return nullptr;
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  // CreateFileA opens no folder without backup semantics; refusing one here
  // as well keeps the contract from resting on that flag.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(h);
    return nullptr;
  }
  return new pal_File{h};
}

int64_t pal_FileSize(pal_File* file) {
  LARGE_INTEGER size;
  if (file == nullptr || !GetFileSizeEx(file->handle, &size)) return -1;
  return size.QuadPart;
}

// Each read names its offset in an OVERLAPPED record, so reads never move a
// shared file position and threads reading the same file do not disturb
// one another. The end of the file shows as ERROR_HANDLE_EOF or a zero count.
int64_t pal_FileReadAt(pal_File* file, int64_t offset, void* buf, int64_t n) {
  if (file == nullptr || offset < 0 || n < 0) return -1;
  auto* out = static_cast<unsigned char*>(buf);
  int64_t done = 0;
  while (done < n) {
    const int64_t at = offset + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at & 0xFFFFFFFF);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD want = static_cast<DWORD>(n - done < kReadChunk ? n - done : kReadChunk);
    DWORD got = 0;
    if (!ReadFile(file->handle, out + done, want, &got, &where)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return -1;
    }
    if (got == 0) break;
    done += got;
  }
  return done;
}

// The mapping object is closed at once: the view keeps it alive until unmapped.
const unsigned char* pal_FileMapRead(pal_File* file, int64_t* size) {
  *size = pal_FileSize(file);
  if (*size <= 0) return nullptr;
  HANDLE mapping = CreateFileMappingA(file->handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) return nullptr;
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);
  return static_cast<const unsigned char*>(view);
}

void pal_FileUnmap(const unsigned char* map, int64_t /*size*/) {
  if (map != nullptr) UnmapViewOfFile(map);
}

void pal_FileClose(pal_File* file) {
  if (file == nullptr) return;
  CloseHandle(file->handle);
  delete file;
}

// Windows files carry no permission bits: every mode bit is granted.
unsigned pal_ProgramFileMode() { return 0777u; }
