// presenter_screens.cpp: the splash, help and self-loop screens, and the
// Presenter's start-up with its screen loop.
#include "demo/demo_match.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "demo/demo_scale.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "presenter/presenter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Branding values the splash reads from the package's branding block.
enum { BV_CENTRE_X = 4, BV_TITLE_Y = 9, BV_BACKGROUND = 14, BV_TEXT = 19, BV_WINDOW_TITLE = 29, BV_NO_HELP = 34,
       BV_BUTTONS_DRAWN = 39 };

struct SplashButton {
  const char* label;
  int32_t x, y, w, h;
  int font;
  int32_t labelOffset;
};
constexpr SplashButton kButtons[] = {{"Present Demo", 370, 360, 160, 28, 4, 3}, {"Help", 415, 420, 70, 28, 4, 3},
                                     {"FullScreen", 795, 532, 95, 22, 2, 0},    {"License", 812, 567, 65, 22, 2, 0},
                                     {"Cancel", 420, 575, 60, 22, 2, 0}};

constexpr const char* kLicenseText =
    "This simulation was made with Pictomira. It shows recorded screens of an application for training and "
    "demonstration. You may present and share it unchanged; the application it shows belongs to its owners.";

uint32_t branding(int index) {
  return getBrandingVal(gDemoFilePath, gDemoPackageOffsetBytes[PKG_OFF_BRANDING], index);
}

void drawCentred(const char* text, int32_t centreX, int32_t y, int font, uint32_t colour) {
  pag_DrawTextOnBuff(0, centreX - pal_GetTextWidth(text, font) / 2, y, text, font, colour);
}

// Draws the branding picture: its first stored row is the window's row 599.
void drawPicture() {
  pal_File* file = pal_FileOpenRead(gDemoFilePath);
  if (file == nullptr) return;
  std::vector<unsigned char> picture(size_t{PKG_SPLASH_W} * PKG_SPLASH_H * 3);
  const int64_t got = pal_FileReadAt(file, gDemoPackageOffsetBytes[PKG_OFF_BRANDING] + PKG_BRANDING_PICTURE_AT,
                                     picture.data(), static_cast<int64_t>(picture.size()));
  pal_FileClose(file);
  const int64_t rows = got > 0 ? got / (PKG_SPLASH_W * 3) : 0;  // a cut-short picture draws what is there
  for (int64_t i = 0; i < rows; ++i)
    pal_StoreBGRRowInBuffer(0, 0, static_cast<int32_t>(PKG_SPLASH_H - 1 - i), &picture[i * PKG_SPLASH_W * 3],
                            PKG_SPLASH_W);
}

void drawDescription(int32_t centreX, int32_t top, uint32_t colour) {
  std::string line;
  int i = 0;
  for (const char* p = gDemoPackageStrings.description;; ++p) {
    if (static_cast<unsigned char>(*p) >= 16) {  // bytes below 16 end a line; 128 and up are letters
      line += *p;
      continue;
    }
    drawCentred(line.c_str(), centreX, top + 29 * i++, 4, colour);
    line.clear();
    if (*p == '\0') break;
  }
}

void drawPackagingDate(int32_t centreX, int32_t y, uint32_t colour) {
  static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int32_t date = gDemoPackageVals[PKG_VAL_DATE];
  if (date <= 0) return;
  const int month = (date >> 8) & 0xFF;
  char text[64];
  std::snprintf(text, sizeof text, "Packaged: %d-%s-%d", date & 0xFF, kMonths[month >= 1 && month <= 12 ? month - 1 : 0],
                2000 + (date >> 16));
  drawCentred(text, centreX, y, 2, colour);
}

void forgetScreen() {
  pal_UnmarkAllClickableRects();
  pal_DisableAllTimers();
}

// ---- Self-loop --------------------------------------------------------------------

void rememberMouse() {
  int32_t at[2];
  pal_GetOrSetCursorPos(0, at);
  gEdSizes[4] = at[0];
  gEdSizes[5] = at[1];
}

// True when the real mouse moved more than 4 pixels: the self-run stops.
bool mouseMoved() {
  int32_t at[2];
  pal_GetOrSetCursorPos(0, at);
  return std::abs(at[0] - gEdSizes[4]) > 4 || std::abs(at[1] - gEdSizes[5]) > 4;
}

int stopSelfLoop() {
  pal_Alert(0, "Mouse Moved", "Self-Run has been stopped");
  forgetScreen();
  pal_SetNewEventHandler(runDemoHandler);
  return PAL_NOTHING;
}

void showNext(int32_t frame) {
  loadDemoFrame(frame, nullptr);
  gEdSizes[6] = 0;
}

// Glides to the shown frame's click or mouse-over and shows where it leads.
void guideAndFollow() {
  const int32_t target = demoSmoothMouseMoveToDefaultLoc();
  if (target >= 0) showNext(target);
  rememberMouse();
}

int selfLoopTick() {
  if (mouseMoved()) return stopSelfLoop();
  const int32_t first = gCurrInstrList[0];
  // A frame without instructions moves on like a click frame.
  int32_t type = INSTR_LEFT, next = gCurrShownFrame + 1;
  if (first >= 0) {
    const InstrRec& in = gInstrData[first];
    type = in.type;
    next = demoResolveTarget(in);
  }
  if (next >= gFrameCount - 1) {  // the loop starts over before the last frame
    next = 0;
    type = INSTR_LEFT;
  }
  const int32_t count = gEdSizes[6];
  switch (type) {
    case INSTR_KEY: showNext(next); return PAL_SHOW;
    case INSTR_LEFT:
    case INSTR_RIGHT:
      gEdSizes[6] = count + 1;
      if (count == 19) {  // two seconds after the frame appeared
        guideAndFollow();
        return PAL_SHOW;
      }
      if (count == 27) {
        showNext(next);
        return PAL_SHOW;
      }
      return PAL_NOTHING;
    case INSTR_MOVE_IN:
      gEdSizes[6] = count + 1;
      if (count < 19) return PAL_NOTHING;
      guideAndFollow();
      return PAL_SHOW;
    default: return PAL_NOTHING;  // a timer frame moves on by its own timer
  }
}

int selfLoopFrameTimer() {
  for (int p = 0; p < DEMO_INSTR_LIST_LEN && gCurrInstrList[p] >= 0; ++p) {
    const InstrRec& in = gInstrData[gCurrInstrList[p]];
    if (in.type == INSTR_TIMER && in.frame == gCurrShownFrame) {
      showNext(demoResolveTarget(in));
      break;
    }
  }
  if (mouseMoved()) return stopSelfLoop();
  return PAL_SHOW;
}

}  // namespace

void drawSplashScreen(int loaded) {
  if (branding(BV_WINDOW_TITLE) == 1) {
    char title[PKG_PATH_LEN + 40];
    std::snprintf(title, sizeof title, "%.499s - Demo Presenter", gDemoPackageStrings.title);
    pal_SetWindowTitle(title);
  }
  const int32_t w = gpal_ImageBuffSize[0][0], h = gpal_ImageBuffSize[0][1];
  pag_FillRect(0, 0, 0, w, h, branding(BV_BACKGROUND));
  if (loaded == 1) drawPicture();
  const auto centreX = static_cast<int32_t>(branding(BV_CENTRE_X));
  const auto titleY = static_cast<int32_t>(branding(BV_TITLE_Y));
  const uint32_t colour = branding(BV_TEXT);
  const std::string title = std::string(gDemoPackageStrings.title).substr(0, 499);
  drawCentred(title.c_str(), centreX, titleY, 6, colour);
  drawDescription(centreX, titleY + 60, colour);
  drawPackagingDate(centreX, titleY + 178, colour);
  if (loaded == 0) {
    drawCentred("Loading - Please Wait...", centreX, h - 50, 4, colour);
    return;
  }
  const bool noHelp = branding(BV_NO_HELP) == 1;
  if (branding(BV_BUTTONS_DRAWN) != 1) {
    for (const SplashButton& b : kButtons) {
      if (noHelp && std::strcmp(b.label, "Help") == 0) continue;
      pag_DrawButtonType1(0, b.x, b.y, b.w, b.h, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                          PAG_BUTTON_FACE_BOTTOM, b.label, b.font, PAG_BUTTON_LABEL, 0, b.labelOffset);
    }
  }
  for (const SplashButton& b : kButtons)
    if (!(noHelp && std::strcmp(b.label, "Help") == 0)) pal_MarkClickableRect(b.label, b.x, b.y, b.w, b.h);
}

int splashScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      forgetScreen();
      if (gBaseTimestamp.load(std::memory_order_acquire) == 1) {
        drawSplashScreen(1);
      } else {
        drawSplashScreen(0);
        pal_BeginThread(readWholePackage);
        pal_SetTimer(PRESENT_FRAME_TIMER, 200, 1);
      }
      return PAL_SHOW;
    case PAL_EV_TIMER:
      if (gBaseTimestamp.load(std::memory_order_acquire) != 1) return PAL_NOTHING;
      forgetScreen();
      drawSplashScreen(1);
      return PAL_SHOW;
    case PAL_EV_PRESS:
      if (std::strcmp(name, "Cancel") == 0) pal_EndProgram(0);
      if (std::strcmp(name, "Help") == 0) {
        pal_UnmarkAllClickableRects();
        pal_SetNewEventHandler(helpScreenHandler);
      } else if (std::strcmp(name, "License") == 0) {
        pal_Alert(0, "End User License", kLicenseText);
      } else if (std::strcmp(name, "Present Demo") == 0 || std::strcmp(name, "FullScreen") == 0) {
        pal_DestroyWinBuff(1);
        event[0] = name[0] == 'P' ? SCREEN_PRESENT : SCREEN_FULL;
        return PAL_CLOSE;
      }
      return PAL_NOTHING;
    case PAL_EV_KEY:
      if (event[3] == VK_ESCAPE) {
        pal_DestroyWinBuff(1);
        pal_EndProgram(0);
      }
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int helpScreenHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    forgetScreen();
    const int32_t w = gpal_ImageBuffSize[0][0], h = gpal_ImageBuffSize[0][1];
    pag_FlattenColorsToGrey(0, 0, 0, w, h);
    pag_FillGradientRoundedRect(0, 100, 80, w - 200, h - 160, 0x3D455C, 0x282F3E);
    pag_DrawTextOnBuff(0, -1, 100, "Settings for Pictomira are controlled by special keystrokes.", 4, 0xDFDFDF);
    pag_DrawTextOnBuff(0, -1, 140, "While presenting the demo, use these keys to navigate...", 4, 0xDFDFDF);
    const int32_t x = w / 2 - 180;
    struct Line {
      const char* text;
      int32_t y;
      uint32_t colour;
    };
    const Line lines[] = {{"TAB - Moves the mouse to the next step", 210, 0xDADF11},
                          {"F1 - Toggles red boxes and yellow notes", 240, 0xDADF11},
                          {"Left Arrow - Step backward through demo", 270, 0xDFDFDF},
                          {"Right Arrow - Step forward through demo", 300, 0xDFDFDF},
                          {"Shift + LeftArrow - Return to start", 330, 0xDFDFDF},
                          {"CTRL + L - Self-run and Loop the demo", 360, 0xDFDFDF},
                          {"ESC - Quit the demo", 390, 0xDADF11}};
    for (const Line& l : lines) {
      if (l.y == 240 && gPlayerFlags.redBoxMode == 2) continue;
      pag_DrawTextOnBuff(0, x, l.y, l.text, 3, l.colour);
    }
    pag_DrawButtonType1(0, 430, 490, 40, 24, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                        PAG_BUTTON_FACE_BOTTOM, "OK", 2, PAG_BUTTON_LABEL, 1, 1);
    return PAL_SHOW;
  }
  const bool back = (event[0] == PAL_EV_PRESS && name[0] != '\0') || (event[0] == PAL_EV_KEY && event[3] == VK_ESCAPE);
  if (!back) return PAL_NOTHING;
  pal_UnmarkAllClickableRects();
  pal_SetNewEventHandler(splashScreenHandler);
  return PAL_NOTHING;
}

int selfLoopHandler(int32_t event[4], char* /*name*/) {
  switch (event[0]) {
    case PAL_EV_START:
      forgetScreen();
      pal_Alert(1, "Self Loop", "The demo will now self-run and loop. To stop the self-run, move the mouse.");
      pal_SetTimer(SELF_LOOP_TIMER, 100, 1);
      rememberMouse();  // after the alert: the click on OK is no movement
      gEdSizes[6] = 0;
      return PAL_SHOW;
    case PAL_EV_TIMER:
      if (event[1] == PRESENT_FRAME_TIMER) return selfLoopFrameTimer();
      if (event[1] == SELF_LOOP_TIMER) return selfLoopTick();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

void presenterMain() {
  pal_InitPAL();
  // The folder's own separator, so that the paths shown in alerts read as
  // one path (Z:\dir\Demo.PMP, not Z:\dir/Demo.PMP).
#ifdef _WIN32
  std::snprintf(gPathToFiles, PKG_PATH_LEN, "%.498s\\", gpal_ProgPath);
#else
  std::snprintf(gPathToFiles, PKG_PATH_LEN, "%.498s/", gpal_ProgPath);
#endif
  setDemoParams();
  loadMetaData();
  if (gFrameCount < 1 || gCropSize[2] < 1 || gCropSize[3] < 1) {
    char text[PKG_PATH_LEN + 64];
    std::snprintf(text, sizeof text, "The package '%s' holds no frames to present", gDemoFilePath);
    pal_FatalAlert("Fatal", text);
  }
  char title[520];
  std::snprintf(title, sizeof title, "%.470s - Pictomira Presenter", gDemoPackageStrings.title);
  int screen = gDemoPackageVals[PKG_VAL_SKIP_SPLASH] == 1 ? SCREEN_PRESENT : SCREEN_SPLASH;
  for (;;) {
    if (screen == SCREEN_SPLASH) {
      gBaseTimestamp.store(0, std::memory_order_release);
      screen = pal_RunWindow(1, -1, -1, SPLASH_W, SPLASH_H, title, splashScreenHandler);
      if (screen != SCREEN_PRESENT && screen != SCREEN_FULL) pal_EndProgram(0);
      continue;
    }
    const int32_t scale = demoSetDemoScale(nullptr, screen == SCREEN_FULL);
    const int32_t w = std::max<int32_t>(1, static_cast<int32_t>(int64_t{gCropSize[2]} * scale / 1000));
    const int32_t h = std::max<int32_t>(1, static_cast<int32_t>(int64_t{gCropSize[3]} * scale / 1000));
    pal_RunWindow(gPlayerFlags.windowMode != 0 ? 16 : 15, -1, -1, w, h, title, runDemoHandler);
  }
}
