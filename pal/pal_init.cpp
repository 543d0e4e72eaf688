// pal_init.cpp: the platform layer's start-up: every table reset, the font
// table filled, the program paths recorded.
#include "pal/pal.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

int gpal_PlatformFlag = 0;
int32_t gpal_WinSize[3];
char gpal_FontList[PAL_FONT_ENTRIES][3][PAL_FONT_FIELD];
char gpal_ExePath[PAL_PATH_LEN];
char gpal_ProgPath[PAL_PATH_LEN];
char gpal_AppPath[PAL_PATH_LEN];

namespace {

// The Linux build's platform flag: any non-zero value other than 10, 20, 25.
constexpr int kPlatformLinux = 30;

void fillFontTable() {
  std::memset(gpal_FontList, 0, sizeof gpal_FontList);
  for (int n = 1; n <= 6; ++n) {
    std::snprintf(gpal_FontList[n][0], PAL_FONT_FIELD, "%s", "Trebuchet MS");
    std::snprintf(gpal_FontList[n][1], PAL_FONT_FIELD, "%d", 14 + 4 * n);  // 18 .. 38 pixels
    std::snprintf(gpal_FontList[n][2], PAL_FONT_FIELD, "%d", 7 + 4 * n);   // 11 .. 31
  }
}

// Records the running program file and its folder from /proc/self/exe.
void recordProgramPaths() {
  ssize_t n = ::readlink("/proc/self/exe", gpal_ExePath, PAL_PATH_LEN - 1);
  gpal_ExePath[n > 0 ? n : 0] = '\0';
  std::memcpy(gpal_AppPath, gpal_ExePath, PAL_PATH_LEN);
  std::memcpy(gpal_ProgPath, gpal_ExePath, PAL_PATH_LEN);
  char* slash = std::strrchr(gpal_ProgPath, '/');
  if (slash != nullptr) *slash = '\0';
}

}  // namespace

void pal_InitPAL() {
  for (int slot = 0; slot < PAL_BUFFER_SLOTS; ++slot) {
    gpal_ImageBuffBits[slot] = nullptr;
    gpal_BuffContext[slot] = nullptr;
    gpal_ImageBuffSize[slot][0] = gpal_ImageBuffSize[slot][1] = 0;
  }
  pal_UnmarkAllClickableRects();
  std::memset(gpal_TextEditHolders, 0, sizeof gpal_TextEditHolders);
  gpal_AlertShowing = 0;
  fillFontTable();
  recordProgramPaths();
  gpal_PlatformFlag = kPlatformLinux;
}
