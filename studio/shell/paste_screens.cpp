// paste_screens.cpp: choosing the demo to paste from (only demos whose crop
// has the current demo's size), the paste form with its five boxes, and the
// progress screen that polls the paste worker every 400 ms.
#include "studio/shell/paste_screens.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/demo_paste.h"
#include "studio/shell/screen_kit.h"
#include "studio/shell/shell.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPasteTimer = 1;
constexpr int kPasteTimerMs = 400;
constexpr int kRowsTop = 140, kRowH = 26, kRowsMax = 14;

std::string gGivingDemo;  // the demo chosen to paste from

void text(const char* fmt, const char* a, const char* b, int32_t x, int32_t y, int font) {
  char line[400];
  std::snprintf(line, sizeof line, fmt, a, b);
  if (x < 0) studioCentredText(line, HOME_W / 2, y, font, STUDIO_WHITE);
  else pag_DrawTextOnBuff(0, x, y, line, font, STUDIO_WHITE);
}

void backHome() {
  pal_DisableAllTimers();
  pal_SetNewEventHandler(homeScreenHandler);
}

int formHandler(int32_t event[4], char* name);
int progressHandler(int32_t event[4], char* name);

void drawChoose() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  int32_t own[4];
  readDemoCrop(gCurrDemoName, own);
  static DemoListEntry demos[DEMO_LIST_CAP];
  const int count = listDemos(demos);
  std::vector<std::string> kept;
  for (int i = 0; i < count; ++i) {
    int32_t crop[4];
    if (readDemoCrop(demos[i].name, crop) && crop[2] == own[2] && crop[3] == own[3]) kept.emplace_back(demos[i].name);
  }
  demoDataRead(demoFilePath(gCurrDemoName, ".DMD"));
  if (kept.empty()) {
    text("No other demos can be pasted into '%s' because%s", gCurrDemoName, "", -1, 200, STUDIO_FONT_LARGE);
    char line[200];
    std::snprintf(line, sizeof line, "none match the size (%d pixels wide, %d pixels tall).", own[2], own[3]);
    studioCentredText(line, HOME_W / 2, 250, STUDIO_FONT_LARGE, STUDIO_WHITE);
  } else {
    text("Choose the demo to paste into '%s'...%s", gCurrDemoName, "", -1, 100, STUDIO_FONT_LARGE);
    for (size_t i = 0; i < kept.size() && i < kRowsMax; ++i) {
      const int32_t y = kRowsTop + kRowH * static_cast<int32_t>(i);
      pag_FillRect(0, 150, y, 600, kRowH - 2, 0x4A5470);
      studioCentredText(kept[i].c_str(), HOME_W / 2, y + 3, STUDIO_FONT, STUDIO_WHITE);
      // The '&' keeps a demo called "Quit" apart from the button.
      pal_MarkClickableRect(("&" + kept[i]).c_str(), 150, y, 600, kRowH - 2);
    }
  }
  studioButton("Quit", 420, 540, 60, 22);
}

void drawForm() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  const char* giving = gGivingDemo.c_str();
  text("Paste '%s' into '%s'", giving, gCurrDemoName, -1, 50, STUDIO_FONT_LARGE);
  text("Paste frames from '%s'%s", giving, "", 100, 160, STUDIO_FONT_LARGE);
  pag_DrawTextOnBuff(0, 120, 200, "from Frame:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("FromFromFrameEditBox", 220, 200, 100, 18, nullptr, 9, 0xFFFFFF);
  pag_DrawTextOnBuff(0, 360, 200, "to Frame:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("FromToFrameEditBox", 440, 200, 100, 18, nullptr, 9, 0xFFFFFF);
  text("Into '%s'%s", gCurrDemoName, "", 100, 300, STUDIO_FONT_LARGE);
  pag_DrawTextOnBuff(0, 120, 340, "following Frame:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("ToFollowFrameEditBox", 260, 340, 100, 18, nullptr, 9, 0xFFFFFF);
  pag_DrawTextOnBuff(0, 120, 420, "New Demo Name:", STUDIO_FONT, STUDIO_WHITE);
  pal_MarkTextEditRect("NewDemoNameEditBox", 260, 420, 420, 18, nullptr, 99, 0xFFFFFF);
  studioButton("Paste", 300, 500, 120, 24);
  studioButton("<Quit>", 480, 500, 120, 24);
}

int64_t number(const char* box) {
  char value[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit(box, value);
  return std::strtoll(value, nullptr, 10);
}

void startPaste() {
  PasteRequest q;
  q.into = gCurrDemoName;
  q.from = gGivingDemo;
  q.fromFrame = number("FromFromFrameEditBox");
  q.toFrame = number("FromToFrameEditBox");
  q.followFrame = number("ToFollowFrameEditBox");
  char value[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit("NewDemoNameEditBox", value);
  q.newName = value;
  // The request is checked here, so that its alerts come from the screen's
  // thread; the worker then builds the new demo.
  if (pasteCheck(q) != 1) {
    backHome();
    return;
  }
  startPasteWorker(q);
  pal_SetNewEventHandler(progressHandler);
}

int formHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    drawForm();
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (std::strcmp(name, "<Quit>") == 0) backHome();
  else if (std::strcmp(name, "Paste") == 0) startPaste();
  return PAL_NOTHING;
}

int progressHandler(int32_t event[4], char* /*name*/) {
  if (event[0] == PAL_EV_START) pal_SetTimer(kPasteTimer, kPasteTimerMs, 1);
  else if (event[0] != PAL_EV_TIMER || event[1] != kPasteTimer) return PAL_NOTHING;
  const int status = gPasteStatus.load();
  if (status < 0 || status > 10) {
    backHome();
    return PAL_NOTHING;
  }
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  char line[100];
  std::snprintf(line, sizeof line, "Paste is working: %.1f %% complete...",
                (std::max(status, 1) * 100 + gPastePercent.load()) / 10.0);
  studioCentredText(line, HOME_W / 2, 200, STUDIO_FONT_LARGE, STUDIO_WHITE);
  return PAL_SHOW;
}

}  // namespace

int pasteChooseHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    pal_DisableAllTimers();
    drawChoose();
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (name[0] == '&') {
    gGivingDemo = name + 1;
    pal_SetNewEventHandler(formHandler);
  } else if (std::strcmp(name, "Quit") == 0) {
    backHome();
  }
  return PAL_NOTHING;
}
