// home_screen.cpp: the home screen with the paged demo library and the
// front-window size strip, the demo management screen (rename, copy with
// its progress, delete with its question, paste) and the display checks
// that "New Demo..." runs first.
#include "studio/capture/capture_checks.h"
#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/shell/paste_screens.h"
#include "studio/shell/shell.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

int gHomePage = 0;

namespace {

constexpr int32_t kListX = 150, kListY = 360, kListW = 600, kRowsY = 365, kRowH = 24;
constexpr uint32_t kPanel = 0xDCE2EA, kBox = 0xF4F6F9, kBoxFrame = 0x8C98AA, kPanelText = 0x2A3346;
constexpr uint32_t kList = 0xEEF1F5, kStripe = 0xD9DFE8, kRowText = 0x20283A, kStrip = 0xC8C8C8;
constexpr uint32_t kBand = 0x4A5470, kBandFrame = 0x8C98AA;

DemoListEntry gDemos[DEMO_LIST_CAP];
int gDemoCount = 0;

struct Box {
  const char* title;
  const char* lines[3];
};
constexpr Box kBoxes[] = {
    {"1. Capture", {"Walk through your planned", "demo while Pictomira", "captures the experience."}},
    {"2. Abstract", {"Pictomira abstracts the UI", "and automatically builds a", "fully-interactive Demo."}},
    {"3. Present", {"Your highly-reliable, self-", "contained, interactive Demo", "is always ready to present."}}};

void drawIntroPanel(int32_t w) {
  pag_DrawTextOnBuff(0, 20, 80, "Build your Simulation Demo and be ready to present in just minutes...", STUDIO_FONT_LARGE,
                     STUDIO_WHITE);
  pag_FillRect(0, 20, 110, w - 40, 180, kPanel);
  for (int i = 0; i < 3; ++i) {
    const int32_t x = 40 + 280 * i;
    studioCentredText(kBoxes[i].title, x + 130, 120, STUDIO_FONT_LARGE, kPanelText);
    pag_FillRect(0, x, 150, 260, 130, kBox);
    pag_DrawRectOutline(0, x, 150, 259, 129, 0, kBoxFrame);
    for (int l = 0; l < 3; ++l) studioCentredText(kBoxes[i].lines[l], x + 130, 170 + 30 * l, STUDIO_FONT, kPanelText);
  }
}

void pageButton(char letter, int32_t x, int32_t y, const char* label) {
  const char name[3] = {':', letter, '\0'};
  pag_DrawButtonType1(0, x, y, 26, 26, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                      PAG_BUTTON_FACE_BOTTOM, label, STUDIO_FONT, PAG_BUTTON_LABEL, 0, 2);
  pal_MarkClickableRect(name, x, y, 26, 26);
}

void drawList(int page) {
  const int32_t h = gpal_ImageBuffSize[0][1];
  pag_FillRect(0, kListX, kListY, kListW, h - 13 - kListY, kList);
  for (int row = 0; row < HOME_PAGE_ROWS; row += 2) pag_FillRect(0, kListX, kRowsY + kRowH * row, kListW, kRowH, kStripe);
  for (int row = 0; row < HOME_PAGE_ROWS; ++row) {
    const int i = page * HOME_PAGE_ROWS + row;
    if (i >= gDemoCount) break;
    const int32_t y = kRowsY + kRowH * row;
    const std::string name = gDemos[i].name;
    studioCentredText(name.c_str(), 450, y + 2, STUDIO_FONT, kRowText);
    pag_DrawTextOnBuff(0, 625, y + 2, gDemos[i].date, 1, kRowText);
    pag_DrawTextOnBuff(0, 733, y + 2, ">", STUDIO_FONT, kRowText);
    pal_MarkClickableRect(("&" + name).c_str(), kListX, y, 570, kRowH);
    pal_MarkClickableRect(("!" + name).c_str(), 730, y, 24, 24);
  }
  if (page > 0) pageButton(static_cast<char>('A' + page - 1), 120, 363, "<");
  if ((page + 1) * HOME_PAGE_ROWS < gDemoCount) pageButton(static_cast<char>('A' + page + 1), 755, 563, ">");
}

void drawHome(int page) {
  pal_UnmarkAllClickableRects();
  gDemoCount = listDemos(gDemos);
  gHomePage = std::clamp(page, 0, homePageCount(gDemoCount) - 1);
  studioPaintWholeBackground(Gradient::Rounded);
  drawIntroPanel(gpal_ImageBuffSize[0][0]);
  studioButton("New Demo...", 150, 336, 149, 22);
  drawList(gHomePage);
}

// Timer 1: the size of another program's front window, so that the author
// can size the application before capturing.
int showFrontWindowSize() {
  if (pal_IsPwinForegroundWin() == 1) return PAL_NOTHING;
  int32_t r[4];
  pal_GetForegroundWinRect(r);
  if (r[0] == 0 && r[1] == 0 && r[2] == 0 && r[3] == 0) return PAL_NOTHING;
  char text[40];
  std::snprintf(text, sizeof text, "%d,%d", r[2] - r[0], r[3] - r[1]);
  const int32_t strip[4] = {0, 580, 81, 20};
  studioPaintBackground(strip[0], strip[1], strip[2], strip[3], Gradient::Rounded);
  pag_DrawTextOnBuff(0, 2, 581, text, 1, kStrip);
  pal_UpdateWindowFromBuffer(strip);
  return PAL_NOTHING;
}

void setCurrentDemo(const char* name) { std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", name); }

// ---- Demo management ---------------------------------------------------------------

void band(int32_t y, int32_t h) {
  pag_FillRect(0, kListX, y, kListW, h, kBand);
  pag_DrawRectOutline(0, kListX, y, kListW - 1, h - 1, 0, kBandFrame);
}

void bandText(const char* fmt, int32_t y) {
  char text[200];
  std::snprintf(text, sizeof text, fmt, gCurrDemoName);
  pag_DrawTextOnBuff(0, kListX + 15, y, text, STUDIO_FONT, STUDIO_WHITE);
}

void drawManage() {
  studioPaintWholeBackground(Gradient::Rounded);
  studioCentredText(gCurrDemoName, HOME_W / 2, 40, STUDIO_FONT_LARGE, STUDIO_WHITE);
  band(90, 90);
  bandText("Rename '%s' to:", 100);
  pal_MarkTextEditRect("RenameEditBox", kListX + 15, 135, 420, 18, gCurrDemoName, 99, 0xFFFFFF);
  studioButton("Rename", 605, 133, 120, 22);
  band(195, 90);
  bandText("Copy '%s' to:", 205);
  pal_MarkTextEditRect("DemoCopyEditBox", kListX + 15, 240, 420, 18, nullptr, 99, 0xFFFFFF);
  studioButton("Copy", 605, 238, 120, 22);
  band(300, 60);
  bandText("Delete '%s'", 318);
  studioButton("Delete", 605, 317, 120, 22);
  band(375, 60);
  bandText("Paste from another demo into '%s'", 393);
  studioButton("Paste", 605, 392, 120, 22);
  studioButton("Cancel", 420, 540, 60, 22);
}

void backHome() { pal_SetNewEventHandler(homeScreenHandler); }

// Creates the folder of a new name with the alerts of a name already in use
// or a folder that cannot be made; true when it was created.
bool createNewDemoFolder(const char* newName) {
  const int made = pal_FindOrCreateDirectory(demoFolderPath(newName).c_str());
  if (made == -1) pal_Alert(1, "Unknown Error", "Cannot create new directory for Demo");
  if (made == 0) pal_Alert(1, "Demo Exists", "A Demo of the same name already exists");
  return made == 1;
}

void renameDemo() {
  char newName[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit("RenameEditBox", newName);
  if (validateDemoName(newName, 1) != 1 || !createNewDemoFolder(newName)) return;
  const int moved = renameDemoFiles(gCurrDemoName, newName);
  if (moved == -4) {
    pal_Alert(1, "Rename", "The demo was renamed, but its old folder could not be removed.");
  } else if (moved != 1) {
    char text[400];
    std::snprintf(text, sizeof text, "'%s' could not be renamed to '%s' (a file could not be moved). The demo stays as it was.",
                  gCurrDemoName, newName);
    pal_Alert(1, "Rename Failed", text);
    return;
  }
  backHome();
}

int copyProgressHandler(int32_t event[4], char* name);

void copyDemo() {
  char newName[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit("DemoCopyEditBox", newName);
  if (validateDemoName(newName, 1) != 1 || !createNewDemoFolder(newName)) return;
  startCopyDemoFiles(newName);
  pal_SetNewEventHandler(copyProgressHandler);
}

int copyProgressHandler(int32_t event[4], char* /*name*/) {
  const bool done = gCopyFilesDone.load() == 1;
  if (event[0] == PAL_EV_TIMER && event[1] == HOME_TIMER && done) {
    pal_DisableAllTimers();
    backHome();
    return PAL_NOTHING;
  }
  if (event[0] != PAL_EV_START && event[0] != PAL_EV_TIMER) return PAL_NOTHING;
  if (event[0] == PAL_EV_START) pal_SetTimer(HOME_TIMER, HOME_TIMER_MS, 1);
  studioPaintWholeBackground(Gradient::Rounded);
  char text[200];
  std::snprintf(text, sizeof text, "Copying - %d %% complete", done ? 100 : std::min(99, gCopyFilesPercent.load()));
  studioCentredText(text, HOME_W / 2, 280, STUDIO_FONT_LARGE, STUDIO_WHITE);
  return PAL_SHOW;
}

int deleteQuestionHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    studioPaintWholeBackground(Gradient::Rounded);
    studioCentredText("Delete is permanent!  Are you sure you want to", HOME_W / 2, 200, STUDIO_FONT_LARGE, STUDIO_WHITE);
    char text[120];
    std::snprintf(text, sizeof text, "delete '%s'?", gCurrDemoName);
    studioCentredText(text, HOME_W / 2, 235, STUDIO_FONT_LARGE, STUDIO_WHITE);
    studioButton("Yes, Delete the Demo", 230, 320, 190, 24);
    studioButton("No, Do NOT Delete", 480, 320, 190, 24);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (std::strcmp(name, "No, Do NOT Delete") == 0) pal_SetNewEventHandler(manageScreenHandler);
  if (std::strcmp(name, "Yes, Delete the Demo") != 0) return PAL_NOTHING;
  if (pal_DeleteDirectory(demoFolderPath(gCurrDemoName).c_str(), 2) != 1)
    pal_Alert(1, "Delete Failed", "Some files of the demo could not be deleted.");
  backHome();
  return PAL_NOTHING;
}

}  // namespace

int homePageCount(int count) { return std::max(1, (count + HOME_PAGE_ROWS - 1) / HOME_PAGE_ROWS); }

int homeScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_DisableAllTimers();
      drawHome(gHomePage);
      pal_SetTimer(HOME_TIMER, HOME_TIMER_MS, 1);
      return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == HOME_TIMER ? showFrontWindowSize() : PAL_NOTHING;
    case PAL_EV_PRESS:
      if (name[0] == ':' && name[1] != '\0') {
        drawHome(name[1] - 'A');
        return PAL_SHOW;
      }
      if (name[0] == '&') {
        setCurrentDemo(name + 1);
        pal_DisableTimer(HOME_TIMER);
        event[0] = STATE_DEMO;
        return PAL_CLOSE;
      }
      if (name[0] == '!') {
        setCurrentDemo(name + 1);
        pal_DisableTimer(HOME_TIMER);
        pal_SetNewEventHandler(manageScreenHandler);
        return PAL_NOTHING;
      }
      if (std::strcmp(name, "New Demo...") == 0 && checkDisplayForCapture() == 1) {
        pal_DisableAllTimers();
        event[0] = STATE_CAPTURE;
        return PAL_CLOSE;
      }
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int manageScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_DisableAllTimers();
      drawManage();
      return PAL_SHOW;
    case PAL_EV_KEY:
      if (event[2] == PAL_MOD_CONTROL && event[3] == 'P') pal_SetNewEventHandler(pasteChooseHandler);
      return PAL_NOTHING;
    case PAL_EV_PRESS:
      if (std::strcmp(name, "Rename") == 0) renameDemo();
      else if (std::strcmp(name, "Copy") == 0) copyDemo();
      else if (std::strcmp(name, "Delete") == 0) pal_SetNewEventHandler(deleteQuestionHandler);
      else if (std::strcmp(name, "Paste") == 0) pal_SetNewEventHandler(pasteChooseHandler);
      else if (std::strcmp(name, "Cancel") == 0) backHome();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}
