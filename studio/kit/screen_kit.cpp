// screen_kit.cpp: the shared look of the authoring screens.
#include "studio/kit/screen_kit.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>

namespace {

pal_EventHandler gDemoScreen = nullptr;

// One channel of the background: top value minus drop * y / h.
int32_t channel(int32_t top, int32_t drop, int32_t y, int32_t h, Gradient kind) {
  const int64_t num = int64_t{drop} * y;
  const int64_t fall = kind == Gradient::Rounded ? (2 * num + h) / (2 * int64_t{h}) : num / h;
  return top - static_cast<int32_t>(fall);
}

}  // namespace

uint32_t studioBackgroundAt(int32_t y, int32_t h, Gradient kind) {
  if (h < 1) h = 1;
  const auto r = static_cast<uint32_t>(channel(61, 21, y, h, kind));
  const auto g = static_cast<uint32_t>(channel(69, 22, y, h, kind));
  const auto b = static_cast<uint32_t>(channel(92, 30, y, h, kind));
  return r << 16 | g << 8 | b;
}

void studioPaintBackground(int32_t x, int32_t y, int32_t w, int32_t h, Gradient kind) {
  const int32_t height = gpal_ImageBuffSize[0][1];
  const int32_t y0 = std::max(0, y), y1 = std::min(height, y + h);
  for (int32_t row = y0; row < y1; ++row) pag_FillRect(0, x, row, w, 1, studioBackgroundAt(row, height, kind));
}

void studioPaintWholeBackground(Gradient kind) {
  studioPaintBackground(0, 0, gpal_ImageBuffSize[0][0], gpal_ImageBuffSize[0][1], kind);
}

void studioButton(const char* label, int32_t x, int32_t y, int32_t w, int32_t h) {
  pag_DrawButtonType1(0, x, y, w, h, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                      PAG_BUTTON_FACE_BOTTOM, label, STUDIO_FONT, PAG_BUTTON_LABEL, 1, std::max(0, (h - 22) / 2));
}

void studioCentredText(const char* text, int32_t centreX, int32_t y, int font, uint32_t colour) {
  pag_DrawTextOnBuff(0, centreX - pal_GetTextWidth(text, font) / 2, y, text, font, colour);
}

void studioNotYetAvailable(const char* button) {
  char text[200];
  std::snprintf(text, sizeof text, "'%s' is not available in this build yet.", button);
  pal_Alert(1, "Not Yet Available", text);
}

void studioProgressBand(const char* text) {
  pag_FillRect(0, 0, 520, studioWinW(), 38, 0x444444);
  studioCentredText(text, studioWinW() / 2, 525, STUDIO_FONT_LARGE, STUDIO_WHITE);
}

void studioSetDemoScreen(pal_EventHandler handler) { gDemoScreen = handler; }

int studioBackToDemoScreen() {
  pal_DisableAllTimers();
  if (gDemoScreen != nullptr) pal_SetNewEventHandler(gDemoScreen);
  return PAL_NOTHING;
}
