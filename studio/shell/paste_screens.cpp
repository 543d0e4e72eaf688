// paste_screens.cpp: choosing the demo to paste from (only demos whose crop
// has the current demo's size, 14 a page), the paste form with its five
// boxes, and the progress screen that polls the paste worker every 400 ms.
#include "studio/shell/paste_screens.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/demo_paste.h"
#include "studio/kit/screen_kit.h"
#include "studio/shell/shell.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kPasteTimer = 1;
constexpr int kPasteTimerMs = 400;
constexpr int kRowsTop = 140, kRowH = 26, kRowsMax = 14;

std::string gGivingDemo;               // the demo chosen to paste from
std::vector<std::string> gChoice;      // the demos of the current demo's size, newest first
int32_t gOwnCrop[4] = {-1, -1, -1, -1};  // the current demo's crop
int gChoicePage = 0;

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

// Lists the demos whose crop has the current demo's size into gChoice.
void findChoice() {
  readDemoCrop(gCurrDemoName, gOwnCrop);
  static DemoListEntry demos[DEMO_LIST_CAP];
  const int count = listDemos(demos);
  gChoice.clear();
  for (int i = 0; i < count; ++i) {
    int32_t crop[4];
    if (readDemoCrop(demos[i].name, crop) && crop[2] == gOwnCrop[2] && crop[3] == gOwnCrop[3])
      gChoice.emplace_back(demos[i].name);
  }
  demoDataRead(demoFilePath(gCurrDemoName, ".DMD"));
  gChoicePage = 0;
}

// A page button named ':' and the page's letter ('A' the first page).
void pageButton(int page, int32_t x, int32_t y, const char* label) {
  const char name[3] = {':', static_cast<char>('A' + page), '\0'};
  pag_DrawButtonType1(0, x, y, 26, 26, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                      PAG_BUTTON_FACE_BOTTOM, label, STUDIO_FONT, PAG_BUTTON_LABEL, 0, 2);
  pal_MarkClickableRect(name, x, y, 26, 26);
}

void drawChoose() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  if (gChoice.empty()) {
    text("No other demos can be pasted into '%s' because%s", gCurrDemoName, "", -1, 200, STUDIO_FONT_LARGE);
    char line[200];
    std::snprintf(line, sizeof line, "none match the size (%d pixels wide, %d pixels tall).", gOwnCrop[2], gOwnCrop[3]);
    studioCentredText(line, HOME_W / 2, 250, STUDIO_FONT_LARGE, STUDIO_WHITE);
  } else {
    text("Choose the demo to paste into '%s'...%s", gCurrDemoName, "", -1, 100, STUDIO_FONT_LARGE);
    const int pages = static_cast<int>((gChoice.size() + kRowsMax - 1) / kRowsMax);
    gChoicePage = std::clamp(gChoicePage, 0, pages - 1);
    for (int row = 0; row < kRowsMax; ++row) {
      const size_t i = static_cast<size_t>(gChoicePage * kRowsMax + row);
      if (i >= gChoice.size()) break;
      const int32_t y = kRowsTop + kRowH * row;
      pag_FillRect(0, 150, y, 600, kRowH - 2, 0x4A5470);
      studioCentredText(gChoice[i].c_str(), HOME_W / 2, y + 3, STUDIO_FONT, STUDIO_WHITE);
      // The '&' keeps a demo called "Quit" apart from the button.
      pal_MarkClickableRect(("&" + gChoice[i]).c_str(), 150, y, 600, kRowH - 2);
    }
    if (gChoicePage > 0) pageButton(gChoicePage - 1, 120, kRowsTop - 2, "<");
    if (gChoicePage + 1 < pages) pageButton(gChoicePage + 1, 755, kRowsTop + kRowH * (kRowsMax - 1) - 2, ">");
    if (pages > 1) {
      char line[40];
      std::snprintf(line, sizeof line, "Page %d of %d", gChoicePage + 1, pages);
      studioCentredText(line, HOME_W / 2, kRowsTop + kRowH * kRowsMax + 4, STUDIO_FONT, STUDIO_WHITE);
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
    findChoice();
    drawChoose();
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (name[0] == ':' && name[1] >= 'A') {
    gChoicePage = name[1] - 'A';
    drawChoose();
    return PAL_SHOW;
  }
  if (name[0] == '&') {
    gGivingDemo = name + 1;
    pal_SetNewEventHandler(formHandler);
  } else if (std::strcmp(name, "Quit") == 0) {
    backHome();
  }
  return PAL_NOTHING;
}
