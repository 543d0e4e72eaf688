// demo_screen.cpp: the hub of one demo: its frame 0 darkened as a
// backdrop, the keys of a presenting run, "Present the Demo", the Develop
// and Share panels and the crop's size. A demo whose files cannot be read
// is never shown: the author hears which demo and why, and goes home.
#include "studio/abstraction/multipath_screen.h"
#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/publishing/mirrit_screens.h"
#include "studio/publishing/package_screens.h"
#include "studio/shell/shell.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int kBackdropSlot = 1;
constexpr int64_t kMaxScreenSide = 65535;

struct KeyLine {
  const char* text;
  int32_t dy;
  uint32_t colour;
};
constexpr KeyLine kKeyLines[] = {{"TAB - Moves the mouse to the next step", -55, STUDIO_YELLOW},
                                 {"F1 - Toggles Learning mode / Presentation mode", -30, STUDIO_YELLOW},
                                 {"Left Arrow - Steps backward through demo", -5, STUDIO_WHITE},
                                 {"Right Arrow - Steps forward through demo", 20, STUDIO_WHITE},
                                 {"Shift + LeftArrow - Returns the start of the demo", 45, STUDIO_WHITE},
                                 {"ESC - Exits the demo and returns to this screen", 70, STUDIO_YELLOW}};

// Buttons that need frames to work on.
constexpr const char* kNeedFrames[] = {"Present the Demo", "Edit Demo", "Add MultiPath", "Simulation", "HTML5",
                                       "Demo Guide"};

void emptyModel() {
  gHeaderCount = gFrameCount = gInstrCount = 0;
  demoInitDatastores();
}

int fail(char* why, int cap, const std::string& text) {
  std::snprintf(why, static_cast<size_t>(cap), "%s", text.c_str());
  emptyModel();
  return 0;
}

// The crop text of header value 0, or empty.
std::string cropTextOfDemo() {
  char text[DEMO_TEXT_LEN] = "";
  if (gHeaderCount >= 1) demoGetTextValue(gHeaderData[0], text);
  return text;
}

// Checks frame 0's key record: its screen must hold the crop. Empty when sound.
std::string checkRecordedScreen(const int32_t crop[4]) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(demoFilePath(gCurrDemoName, ".DMR").c_str(), "rb"),
                                                     std::fclose);
  if (!f) return "its recording file cannot be opened";
  RecordLine r{};
  if (recReadRecord(f.get(), gFrameData[0].imageRefA, &r, nullptr) < 0)
    return "its recording has no readable record at byte " + std::to_string(gFrameData[0].imageRefA);
  if (r.W > kMaxScreenSide || r.H > kMaxScreenSide || int64_t{crop[0]} + crop[2] > r.W ||
      int64_t{crop[1]} + crop[3] > r.H)
    return "its crop lies outside the recorded screen";
  return {};
}

void resetPlayerFlags() {
  std::memset(&gPlayerFlags, 0, sizeof gPlayerFlags);
  gPlayerFlags.redBoxMode = gPlayerFlags.noteMode = 1;
  gPlayerFlags.packageSetting = 30;
}

void drawBackdrop(int32_t W, int32_t H) {
  if (gFrameCount < 1) return;
  int32_t at[4];
  demoBackdropRect(W, H, gCropSize[2], gCropSize[3], at);
  if (at[2] < 1 || at[3] < 1) return;
  pal_ScaleBufferOntoMainBuffer(kBackdropSlot, at[0], at[1], at[2], at[3]);
  pag_FlattenColorsToGrey(0, at[0], at[1], at[2], at[3]);
}

void drawKeyPanel(int32_t cx, int32_t cy) {
  pag_FillRect(0, cx - 275, cy - 220, 550, 400, 0x000000);
  studioCentredText(gCurrDemoName, cx, cy - 170, STUDIO_FONT_LARGE, STUDIO_WHITE);
  pag_DrawTextOnBuff(0, cx - 220, cy - 100, "While presenting the demo, use these keys to navigate...", STUDIO_FONT,
                     STUDIO_WHITE);
  for (const KeyLine& k : kKeyLines) pag_DrawTextOnBuff(0, cx - 180, cy + k.dy, k.text, STUDIO_FONT, k.colour);
  studioButton("Present the Demo", cx - 70, cy + 150, 140, 25);
}

void drawPanels(int32_t W, int32_t H) {
  pag_FillRect(0, W - 520, H - 84, 140, 90, STUDIO_PANEL);
  pag_DrawTextOnBuff(0, W - 485, H - 83, "Develop:", STUDIO_FONT, STUDIO_WHITE);
  studioButton("Edit Demo", W - 510, H - 58, 120, 22);
  studioButton("Add MultiPath", W - 510, H - 28, 120, 22);
  char size[40];
  std::snprintf(size, sizeof size, "Size: %d,%d", gCropSize[2], gCropSize[3]);
  pag_FillRect(0, 0, H - 22, pal_GetTextWidth(size, STUDIO_FONT) + 10, 22, 0x666666);
  pag_DrawTextOnBuff(0, 5, H - 22, size, STUDIO_FONT, 0xCCCCCC);
  pag_FillRect(0, W - 140, H - 114, 140, 115, STUDIO_PANEL);
  pag_DrawTextOnBuff(0, W - 88, H - 113, "Share:", STUDIO_FONT, STUDIO_WHITE);
  studioButton("Simulation", W - 130, H - 88, 120, 22);
  studioButton("HTML5", W - 130, H - 58, 120, 22);
  studioButton("Demo Guide", W - 130, H - 28, 120, 22);
}

bool needsFrames(const char* name) {
  for (const char* b : kNeedFrames)
    if (std::strcmp(name, b) == 0) return true;
  return false;
}

int leaveWith(int32_t event[4], int state) {
  pal_DestroyWinBuff(kBackdropSlot);
  event[0] = state;
  return PAL_CLOSE;
}

int onButton(int32_t event[4], const char* name) {
  if (std::strcmp(name, "<< Back to Home ") == 0) return leaveWith(event, STATE_HOME);
  if (!needsFrames(name)) return PAL_NOTHING;
  if (gFrameCount < 1) {
    char text[200];
    std::snprintf(text, sizeof text, "The demo '%s' has no frames to present, edit or share.", gCurrDemoName);
    pal_Alert(1, "No Frames", text);
    return PAL_NOTHING;
  }
  if (std::strcmp(name, "Present the Demo") == 0) return leaveWith(event, STATE_PRESENT);
  if (std::strcmp(name, "Edit Demo") == 0) return leaveWith(event, STATE_EDITOR);
  if (std::strcmp(name, "Simulation") == 0 || std::strcmp(name, "HTML5") == 0 || std::strcmp(name, "Demo Guide") == 0) {
    pal_SetNewEventHandler(name[0] == 'S' ? packageDialogHandler : name[0] == 'H' ? html5DialogHandler : guideDialogHandler);
    return PAL_NOTHING;
  }
  if (std::strcmp(name, "Add MultiPath") == 0) pal_SetNewEventHandler(multiPathScreenHandler);
  return PAL_NOTHING;
}

}  // namespace

void parseCropText(const char* text, int32_t crop[4]) {
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    crop[i] = -1;
    if (p == nullptr) continue;
    const char* comma = std::strchr(p, ',');
    const std::string field = comma ? std::string(p, static_cast<size_t>(comma - p)) : std::string(p);
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(field.c_str(), &end, 10);
    const bool number = end != field.c_str() && errno == 0 && v >= INT32_MIN && v <= INT32_MAX &&
                        std::strspn(end, " \r\n") == std::strlen(end);
    if (number) crop[i] = static_cast<int32_t>(v);
    p = comma ? comma + 1 : nullptr;
  }
}

void demoBackdropRect(int32_t W, int32_t H, int32_t cropW, int32_t cropH, int32_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  if (cropW < 1 || cropH < 1) return;
  int64_t s = std::min((int64_t{W} * 1000 - 20000) / cropW, (int64_t{H} * 1000 - 20000) / cropH);
  s = std::min<int64_t>(s, 1000);
  if (s < 1) return;
  out[2] = static_cast<int32_t>(s * cropW / 1000);
  out[3] = static_cast<int32_t>(s * cropH / 1000);
  out[0] = (W - out[2]) / 2;
  out[1] = 10;
}

int32_t demoScreenScale(const int32_t work[4]) {
  const int64_t w = work[2] - work[0], h = work[3] - work[1];
  int64_t scale = 1000;
  if (gCropSize[2] > 0 && gCropSize[3] > 0) scale = std::min(w * 1000 / gCropSize[2], h * 1000 / gCropSize[3]);
  gDemoScale = static_cast<int32_t>(std::clamp<int64_t>(scale, 1, 1000));
  return gDemoScale;
}

int loadCurrentDemo(char* why, int cap) {
  std::string reason;
  if (demoDataRead(demoFilePath(gCurrDemoName, ".DMD"), &reason) != 1)
    return fail(why, cap, "its data file is damaged: " + reason);
  const std::string cropText = cropTextOfDemo();
  int32_t crop[4];
  parseCropText(cropText.c_str(), crop);
  if (crop[0] < 0 || crop[1] < 0 || crop[2] < 1 || crop[3] < 1)
    return fail(why, cap, "its crop is missing or not positive");
  if (gFrameCount >= 1) {
    const std::string screen = checkRecordedScreen(crop);
    if (!screen.empty()) return fail(why, cap, screen);
  }
  std::memcpy(gCropSize, crop, sizeof gCropSize);
  resetPlayerFlags();
  return 1;
}

int openCurrentDemo(char* why, int cap) {
  if (loadCurrentDemo(why, cap) != 1) return 0;
  int32_t work[4];
  pal_GetAvailableScreenPixels(1, work);
  demoScreenScale(work);
  if (gFrameCount < 1) return 1;
  pal_InitWinBuf(kBackdropSlot, gCropSize[2], gCropSize[3]);
  const int64_t got = demoRecFrameCroppedToPALbuff(demoFilePath(gCurrDemoName, ".DMR").c_str(),
                                                   gFrameData[0].imageRefA, gFrameData[0].imageRefB, kBackdropSlot);
  if (got < 0) {
    pal_DestroyWinBuff(kBackdropSlot);
    return fail(why, cap, "its first frame cannot be rebuilt from the recording (error " + std::to_string(got) + ")");
  }
  return 1;
}

void drawDemoScreen() {
  const int32_t W = gpal_ImageBuffSize[0][0], H = gpal_ImageBuffSize[0][1];
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Truncated);
  drawBackdrop(W, H);
  drawKeyPanel(W / 2, H / 2);
  studioButton("<< Back to Home ", 5, 287, 130, 26);
  drawPanels(W, H);
}

int demoScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      char title[120];
      std::snprintf(title, sizeof title, "%s - Pictomira", gCurrDemoName);
      pal_SetWindowTitle(title);
      pal_UnmarkAllClickableRects();
      pal_DisableAllTimers();
      char why[400];
      if (openCurrentDemo(why, sizeof why) != 1) {
        char text[600];
        std::snprintf(text, sizeof text, "The demo '%s' could not be opened: %s.", gCurrDemoName, why);
        pal_Alert(1, "Cannot Open Demo", text);
        return leaveWith(event, STATE_HOME);
      }
      drawDemoScreen();
      return PAL_SHOW;
    }
    case PAL_EV_PRESS: return onButton(event, name);
    case PAL_EV_KEY:
      if (event[2] == PAL_MOD_CONTROL && event[3] == 'W') {
        if (gFrameCount < 1) return onButton(event, "Simulation");
        // The Mirrit output (studio/publishing/mirrit_screens.h): preparation, writing, then the program ends.
        pal_SetNewEventHandler(mirritPrepareScreenHandler);
      }
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}
