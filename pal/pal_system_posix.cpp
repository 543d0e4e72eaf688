// pal_system_posix.cpp: the program's own paths on POSIX systems.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <unistd.h>

#include <cstring>
#include <string>

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

