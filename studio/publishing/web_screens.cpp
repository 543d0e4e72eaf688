// web_screens.cpp: "HTML5" and "Demo Guide" on the demo screen. Both are
// one dialog (a name and notes), then the page written in the background
// with its progress, then where the page is. They differ only in texts,
// places and the worker, which the two kinds below hold. The worker stops,
// leaving nothing unfinished, when the program ends.
#include "studio/publishing/package_screens.h"
#include "studio/publishing/show_folder.h"
#include "studio/publishing/web_export.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "pag/pag.h"
#include "pal/pal.h"
#include "pal/pal_codepage.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kTimer = 1;
constexpr int kTimerMs = 200;

struct WebKind {
  const char* titleFormat;     // the window title while the dialog shows
  const char* nameLabel;
  int32_t nameBox[3];          // x, y, width of the name box
  const char* notesLabel;
  int32_t notesLabelAt[2];
  int32_t notesBox[4];         // x, y, width, height
  const char* folder;          // under the library folder
  const char* waiting;         // "... '%s' in progress - please wait..."
  const char* progress;        // "... - %d %% complete"
  const char* done[2];         // the two lines of the done screen
  int (*write)(const WebExportSettings&, publishing::Failure*, std::vector<std::string>*);
};

const WebKind kHtml5{"Exporting '%s' as HTML5 - Pictomira",
                     "Package Name:",
                     {340, 129, 345},
                     "Splash Screen Notes:",
                     {90, 260},
                     {285, 265, 425, 72},
                     "Demo_Packages",
                     "Packaging to '%s' in progress - please wait...",
                     "Packaging as HTML5 - %d %% complete",
                     {"HTML 5 Package of '%s' ", "is available in 'Demo_Packages/%s'"},
                     writeHtml5Page};
const WebKind kGuide{"Writing the Demo Guide of '%s' - Pictomira",
                     "File Name:",
                     {296, 129, 400},
                     "Title Page Notes:",
                     {90, 240},
                     {90, 265, 720, 126},
                     "Demo_Guides",
                     "Guide creation '%s' in progress - please wait...",
                     "Creating Guide - %d %% complete",
                     {"Demo Guide for '%s'", "is available in 'Demo_Guides/%s'"},
                     writeDemoGuide};

// The Demo Guide written as Markdown: the guide dialog's "Markdown" button.
const WebKind kMarkdownGuide = [] {
  WebKind k = kGuide;
  k.write = writeMarkdownGuide;
  return k;
}();

// The folders "OK" made for the page, as bits.
constexpr int kMadeTop = 1, kMadeNamed = 2;

const WebKind* gKind = &kHtml5;
// What the worker runs with, set before it starts and left alone while it runs.
const WebKind* gWorkKind = &kHtml5;
WebExportSettings gSettings;
std::atomic<int> gResult{0};  // 0 none or running, 1 done, 2 stopped, -1 failed
std::atomic<int> gMadeFolders{0};
bool gRunning = false;
publishing::Failure gWhy;
std::vector<std::string> gWarnings;


std::string topFolder(const WebKind& kind) { return libraryFolderPath() + kind.folder; }
// The folder of the page named in the settings.
std::string pageFolder(const WebKind& kind) { return topFolder(kind) + "/" + pal_SystemText(gSettings.name); }

// The folders "OK" made, removed again while they are empty.
void removeUnusedFolders() {
  const int made = gMadeFolders.exchange(0);
  if ((made & kMadeNamed) != 0)
    publishing::removeIfEmpty(pageFolder(*gWorkKind));
  if ((made & kMadeTop) != 0) publishing::removeIfEmpty(topFolder(*gWorkKind));
}

// The worker; it publishes its result last, after tidying up.
void exportWorker() {
  const int r = gWorkKind->write(gSettings, &gWhy, &gWarnings);
  if (r != 1) removeUnusedFolders();
  gResult = r == 1 ? 1 : r == 0 ? 2 : -1;
}

void drawDialog() {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Truncated);
  pag_DrawTextOnBuff(0, 195, 125, gKind->nameLabel, STUDIO_FONT_LARGE, STUDIO_WHITE);
  pal_MarkTextEditRect(gKind == &kHtml5 ? "PackageNameEditBox" : "GuideNameEditBox", gKind->nameBox[0],
                       gKind->nameBox[1], gKind->nameBox[2], 18, gCurrDemoName, 49, 0xFFFFFF);
  pag_DrawTextOnBuff(0, gKind->notesLabelAt[0], gKind->notesLabelAt[1], gKind->notesLabel, STUDIO_FONT_LARGE,
                     STUDIO_WHITE);
  pal_MarkTextEditRect(gKind == &kHtml5 ? "PackageNotesEditBox" : "GuideNotesEditBox", gKind->notesBox[0],
                       gKind->notesBox[1], gKind->notesBox[2], gKind->notesBox[3], nullptr, 49, 0xFFFFFF);
  studioButton("OK", 360, 540, 60, 25);
  studioButton("Cancel", 480, 540, 60, 25);
  if (gKind == &kGuide) studioButton("Markdown", 600, 540, 90, 25);  // the guide as NAME.md and its pictures
}

void drawProgress() {
  char text[120];
  std::snprintf(text, sizeof text, gKind->progress, gExportProgress.load() / 10);
  studioProgressBand(text);
}

// Starts the worker that writes the page as work says (the dialog's kind, or its Markdown form).
int onOk(const WebKind& work) {
  char text[PAL_EDIT_TEXT_LEN];
  pal_GetMarkedTextEdit(gKind == &kHtml5 ? "PackageNameEditBox" : "GuideNameEditBox", text);
  if (validateDemoName(text, 1) != 1) return PAL_NOTHING;
  gSettings.name = text;
  pal_GetMarkedTextEdit(gKind == &kHtml5 ? "PackageNotesEditBox" : "GuideNotesEditBox", text);
  gSettings.notes = text;
  gWorkKind = &work;
  const std::string top = topFolder(*gKind);
  const int topMade = pal_FindOrCreateDirectory(top.c_str());
  const std::string folder = pageFolder(*gKind);
  const int named = topMade == -1 ? -1 : pal_FindOrCreateDirectory(folder.c_str());
  gMadeFolders = (topMade == 1 ? kMadeTop : 0) | (named == 1 ? kMadeNamed : 0);
  if (named == -1) {
    removeUnusedFolders();
    pal_Alert(1, "Export Fail", ("The folder for the page cannot be created in '" + std::string(gKind->folder) + "'.").c_str());
    return PAL_NOTHING;
  }
  pal_UnmarkAllClickableRects();
  pag_FlattenColorsToGrey(0, 0, 0, studioWinW(), gpal_ImageBuffSize[0][1]);
  std::snprintf(text, sizeof text, gKind->waiting, gSettings.name.c_str());
  studioCentredText(text, studioWinW() / 2, 160, STUDIO_FONT_LARGE, STUDIO_WHITE);
  gExportProgress = 0;
  gResult = 0;
  gWarnings.clear();
  gRunning = true;
  pal_BeginThread(exportWorker);
  if (pal_SetTimer(kTimer, kTimerMs, 1) != 1) pal_FatalAlert("No Window", "Cannot Set Timer with no Window Avaliable");
  drawProgress();
  return PAL_SHOW;
}

int onTick() {
  const int result = gResult.load();
  if (result == 0) {
    drawProgress();
    return PAL_SHOW;
  }
  gRunning = false;
  pal_DisableAllTimers();
  if (result != 1) {
    pal_Alert(1, gWhy.title.c_str(), gWhy.text().c_str());
    return studioBackToDemoScreen();
  }
  if (!gWarnings.empty()) {
    std::string text = "The page is complete, but some frames could not be encoded and show as empty:";
    for (const std::string& w : gWarnings) text += "\n" + w;
    pal_Alert(1, "Frames Not Encoded", text.c_str());
  }
  studioPaintWholeBackground(Gradient::Truncated);
  char line[300];
  std::snprintf(line, sizeof line, gKind->done[0], gSettings.name.c_str());
  studioCentredText(line, studioWinW() / 2, 175, STUDIO_FONT_LARGE, STUDIO_WHITE);
  std::snprintf(line, sizeof line, gKind->done[1], gSettings.name.c_str());
  studioCentredText(line, studioWinW() / 2, 205, STUDIO_FONT_LARGE, STUDIO_WHITE);
  studioButton("OK", 420, 530, 60, 25);
  drawShowFolderButton(500, 530, 25);
  return PAL_SHOW;
}

int webDialogHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      pal_DisableAllTimers();
      char title[160];
      std::snprintf(title, sizeof title, gKind->titleFormat, gCurrDemoName);
      pal_SetWindowTitle(title);
      gSettings = WebExportSettings{};
      gRunning = false;
      gResult = 0;
      drawDialog();
      return PAL_SHOW;
    }
    case PAL_EV_TIMER: return event[1] == kTimer && gRunning ? onTick() : PAL_NOTHING;
    case PAL_EV_PRESS:
      if (gRunning) return PAL_NOTHING;
      if (gResult.load() == 1) {
        if (studioNamed(name, "Show Folder"))
          return onShowFolder(pageFolder(*gKind), 490);
        if (std::strcmp(name, "OK") != 0) return PAL_NOTHING;
        char title[40];
        std::snprintf(title, sizeof title, "Pictomira (v%d)", PICTOMIRA_VERSION);
        pal_SetWindowTitle(title);
        event[0] = STATE_HOME;
        return PAL_CLOSE;
      }
      if (std::strcmp(name, "OK") == 0) return onOk(*gKind);
      if (gKind == &kGuide && std::strcmp(name, "Markdown") == 0) return onOk(kMarkdownGuide);
      if (std::strcmp(name, "Cancel") == 0) return studioBackToDemoScreen();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

}  // namespace

int html5DialogHandler(int32_t event[4], char* name) {
  gKind = &kHtml5;
  return webDialogHandler(event, name);
}

int guideDialogHandler(int32_t event[4], char* name) {
  gKind = &kGuide;
  return webDialogHandler(event, name);
}
