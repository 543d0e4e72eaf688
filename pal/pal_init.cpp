// pal_init.cpp: the platform layer's start-up, the same on every platform:
// every table reset, the font table filled and read, then the platform's
// own part (the program paths and the platform flag); and the handover of
// the window to another handler.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int gpal_PlatformFlag = 0;
int32_t gpal_WinSize[3];
char gpal_FontList[PAL_FONT_ENTRIES][3][PAL_FONT_FIELD];
char gpal_ExePath[PAL_PATH_LEN];
char gpal_ProgPath[PAL_PATH_LEN];
char gpal_AppPath[PAL_PATH_LEN];

namespace {

void fillFontTable() {
  std::memset(gpal_FontList, 0, sizeof gpal_FontList);
  for (int n = 1; n <= 6; ++n) {
    std::snprintf(gpal_FontList[n][0], PAL_FONT_FIELD, "%s", "Trebuchet MS");
    std::snprintf(gpal_FontList[n][1], PAL_FONT_FIELD, "%d", 14 + 4 * n);  // 18 .. 38 pixels
    std::snprintf(gpal_FontList[n][2], PAL_FONT_FIELD, "%d", 7 + 4 * n);   // 11 .. 31
  }
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
  gpal_PlatformFlag = palStartPlatform();
}

int pal_ResolveFont(int font) {
  if (font < 1 || font >= PAL_FONT_ENTRIES || gpal_FontList[font][0][0] == '\0') return 1;
  return font;
}

int pal_FontNominalSize(int font) { return std::atoi(gpal_FontList[pal_ResolveFont(font)][2]); }

int pal_FontPixelHeight(int font) { return std::atoi(gpal_FontList[pal_ResolveFont(font)][1]); }

void pal_SetNewEventHandler(pal_EventHandler handler) {
  pal_UnmarkAllClickableRects();
  gpal_CurrentEventHandler = handler;
  int32_t ev[4] = {PAL_EV_START, gpal_WinSize[0], gpal_WinSize[1], 0};
  char name[PAL_NAME_LEN] = "";
  if (handler(ev, name) == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);
}

void palCaretTimer(bool on) {
  if (!palWindowOpen()) return;
  if (on) palStartTimer(PAL_CARET_TIMER, PAL_CARET_MS, true);
  else pal_DisableTimer(PAL_CARET_TIMER);
}

int pal_SetTimer(int number, int ms, int repeat) {
  if (number < 1 || number > PAL_TIMERS) {
    pal_Alert(1, "Bad Timer Number", "Timer number must be 1 to 5");
    return -1;
  }
  if (!palWindowOpen()) {
    pal_Alert(1, "No Window", "Cannot Set Timer with no Window Avaliable");
    return -1;
  }
  palStartTimer(number, ms, repeat == 1);
  return 1;
}
