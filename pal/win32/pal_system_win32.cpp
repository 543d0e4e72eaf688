// pal_system_win32.cpp: the program's own paths on Windows.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have defined it already
#define NOMINMAX
#endif
#include <windows.h>

#include <io.h>

#include <cstring>
#include <string>

// The longest program path read, in characters (the NUL comes on top).
constexpr DWORD kProgramPathChars = 295;

// The running program file and its folder from the module's file name, at
// most 295 characters of it.
int palStartPlatform() {
  // A path longer than the buffer comes back cut short, and older systems
  // leave it without a NUL: terminate it here in every case.
  const DWORD n = GetModuleFileNameA(nullptr, gpal_ExePath, kProgramPathChars + 1);
  gpal_ExePath[n < kProgramPathChars ? n : kProgramPathChars] = '\0';
  std::memcpy(gpal_AppPath, gpal_ExePath, PAL_PATH_LEN);
  std::memcpy(gpal_ProgPath, gpal_ExePath, PAL_PATH_LEN);
  char* slash = std::strrchr(gpal_ProgPath, '\\');
  if (char* other = std::strrchr(gpal_ProgPath, '/'); other != nullptr && (slash == nullptr || other > slash))
    slash = other;
  if (slash != nullptr) *slash = '\0';
  return 10;  // the Windows build's platform flag
}

