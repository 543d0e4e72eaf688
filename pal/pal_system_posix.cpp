// pal_system_posix.cpp: the program's own paths, creating folders, the
// folder primitives that deleting uses, on POSIX systems.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

bool isRealDirectory(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool palListFolder(const std::string& folder, const std::function<bool(const std::string&, bool)>& visit) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (dirent* e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    const std::string entry = folder + "/" + e->d_name;
    if (!visit(entry, isRealDirectory(entry))) break;
  }
  ::closedir(dir);
  return true;
}

bool palDeleteEntry(const std::string& entry) { return ::unlink(entry.c_str()) == 0; }

bool palRemoveFolder(const std::string& folder) { return ::rmdir(folder.c_str()) == 0; }

int pal_FindOrCreateDirectory(const char* path) {
  struct stat st;
  if (::stat(path, &st) == 0) return 0;
  ::mkdir(path, 0777);
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode) ? 1 : -1;
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

