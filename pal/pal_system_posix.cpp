// pal_system_posix.cpp: the program's own paths, creating and deleting
// folders, and starting threads, on POSIX systems.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr size_t kPathCap = 298;

bool isRealDirectory(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Deletes every entry of folder that is not a real folder; -7 when it cannot
// be opened, -6 when an entry cannot be deleted.
int deleteFilesIn(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return -7;
  int result = 1;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    const std::string entry = folder + "/" + e->d_name;
    if (isRealDirectory(entry)) continue;
    if (::unlink(entry.c_str()) != 0) result = -6;
  }
  ::closedir(dir);
  return result;
}

// The first real subfolder of folder, or empty; -7 in *error when the
// folder cannot be opened.
std::string firstSubfolder(const std::string& folder, int* error) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    *error = -7;
    return {};
  }
  std::string found;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    const std::string entry = folder + "/" + e->d_name;
    if (isRealDirectory(entry)) {
      found = entry;
      break;
    }
  }
  ::closedir(dir);
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
    if (::rmdir(folder.c_str()) != 0) return -1;
    if (folder == root) return 1;
  }
}

}  // namespace

int pal_FindOrCreateDirectory(const char* path) {
  struct stat st;
  if (::stat(path, &st) == 0) return 0;
  ::mkdir(path, 0777);
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) ? 1 : -1;
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
  return ::rmdir(p.c_str()) == 0 ? 1 : -1;
}

// The running program file and its folder from /proc/self/exe; the Linux
// build's platform flag is 30 (any non-zero value other than 10, 20, 25).
int palStartPlatform() {
  ssize_t n = ::readlink("/proc/self/exe", gpal_ExePath, PAL_PATH_LEN - 1);
  gpal_ExePath[n > 0 ? n : 0] = '\0';
  std::memcpy(gpal_AppPath, gpal_ExePath, PAL_PATH_LEN);
  std::memcpy(gpal_ProgPath, gpal_ExePath, PAL_PATH_LEN);
  char* slash = std::strrchr(gpal_ProgPath, '/');
  if (slash != nullptr) *slash = '\0';
  return 30;
}

void pal_BeginThread(void (*fn)()) { std::thread(fn).detach(); }

void pal_ForfeitThreadExecution() { std::this_thread::yield(); }
