// bitmap_screens.cpp: the screens of the bitmap export and import. The
// file work is done by bitmap_io.cpp; these draw what it reports.
#include "studio/editor/bitmap_screens.h"

#include "studio/editor/bitmap_io.h"
#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"

#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kProgressTimer = 1;
constexpr int32_t kPanelX = 10, kPanelY = 70, kPanelW = 540, kPanelH = 250, kCentre = 280;

// The bitmap read when the author asked. The job is the worker's alone
// from its start until it sets gImportFinished (after its result); only
// then does the loop thread read the job and commit it.
ImportBitmap gPending;
ImportJob gJob;
std::atomic<int> gImportResult{REWRITE_FAILED};
std::atomic<bool> gImportFinished{false};


// The text of an open edit box; empty when no box of that name is open (the
// Advanced tab has no range boxes).
std::string openBoxText(const char* box) {
  for (int i = 0; i < PAL_EDIT_SLOTS; ++i)
    if (gpal_TextEditRects[i][0] != PAL_FREE_EDIT && std::strcmp(gpal_TextEditNames[i], box) == 0)
      return editorBoxText(box);
  return std::string();
}

void showNotices(const Outcome& o) {
  for (int i = 0; i < o.noticeCount; ++i) pal_Alert(1, o.notices[i].title.c_str(), o.notices[i].text.c_str());
}

void yellow(const char* text, int32_t y) { studioCentredText(text, kCentre, y, STUDIO_FONT, STUDIO_YELLOW); }

void importWorker() {
  gImportResult = writeImportedRecording(&gJob);
  gImportFinished.store(true, std::memory_order_release);
}

int backToEditor() {
  pal_DisableAllTimers();
  pal_SetNewEventHandler(editorHandler);
  return PAL_NOTHING;
}

int pollImport() {
  const int progress = gRewriteProgress.load();
  pag_FillRect(0, kPanelX, kPanelY, kPanelW, kPanelH, 0x000000);
  char text[80];
  std::snprintf(text, sizeof text, "Import BMP is working: %d %% complete...", std::clamp(progress, 0, 999) / 10);
  yellow(text, 160);
  if (!gImportFinished.load(std::memory_order_acquire)) return PAL_SHOW;
  pal_DisableAllTimers();
  int result = gImportResult.load();
  if (result == REWRITE_DONE) result = commitRewrite(&gJob);
  const std::string why = gJob.why;
  gJob = ImportJob{};
  if (result == REWRITE_AT_NEXT_START) pal_FatalAlert("Import Fail", ("ImportFail: " + why + ".").c_str());
  if (result != REWRITE_DONE) {
    // The import rolled back: the demo's files are as they were before it.
    pal_Alert(1, "Import Fail", ("ImportFail: " + why + ".  The demo was left unchanged.").c_str());
  }
  return backToEditor();
}

int confirmHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      pag_FlattenColorsToGrey(0, 0, 0, studioWinW(), studioWinH());
      pag_FillRect(0, kPanelX, kPanelY, kPanelW, kPanelH, 0x000000);
      yellow("WARNING - Import BMP makes irreversible changes to your demo!", 90);
      if (gPending.to > gPending.from) {
        yellow("You may want to first 'Save As...' to make a copy of the demo.", 115);
        yellow("Unexpected results can occur when applied across multiple frames.", 132);
        char text[160];
        std::snprintf(text, sizeof text, "Pixels in the rectangle %d,%d,%d,%d will be copied to all frames.",
                      gPending.rect.left, gPending.rect.top, gPending.rect.right, gPending.rect.bottom);
        yellow(text, 150);
      }
      yellow("Are you sure you want to Import the Bitmap?", 175);
      studioButton("Yes, Import BMP", 215, 235, 130, 26);
      studioButton("No, Cancel Import", 210, 280, 140, 26);
      return PAL_SHOW;
    }
    case PAL_EV_PRESS:
      if (std::strcmp(name, "No, Cancel Import") == 0) return backToEditor();
      if (std::strcmp(name, "Yes, Import BMP") == 0) {
        if (gEditCount > 0 && editorSave() != 1) return backToEditor();
        gEditCount = 0;
        pal_UnmarkAllClickableRects();
        gRewriteProgress = 0;
        gImportResult = REWRITE_FAILED;
        gImportFinished = false;
        gJob = importJobOf(gPending);
        pal_BeginThread(importWorker);
        pal_SetTimer(kProgressTimer, 200, 1);
        return pollImport();
      }
      return PAL_NOTHING;
    case PAL_EV_TIMER: return event[1] == kProgressTimer ? pollImport() : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

}  // namespace

int exportBitmapCommand() {
  if (gFrameCount < 1) return PAL_NOTHING;
  std::string path;
  if (!exportFrameBitmap(gEditorFrame, &path)) {
    pal_Alert(1, "Could not write BMP", path.c_str());
    return PAL_NOTHING;
  }
  char text[200];
  std::snprintf(text, sizeof text, "Frame Image was output to 'Demos/%s/%lld.bmp'", gCurrDemoName,
                static_cast<long long>(gFrameData[gEditorFrame].frameId));
  editorMessage(text);
  return PAL_SHOW;
}

int importBitmapCommand() {
  const std::string from = openBoxText("FromFrameEditBox");
  const std::string to = openBoxText("ToFrameEditBox");
  Outcome refused;
  int64_t first = 0, last = 0;
  if (!readImportRange(from.c_str(), to.c_str(), &refused, &first, &last) ||
      !readImportBitmap(first, &gPending, &refused)) {
    showNotices(refused);
    return PAL_NOTHING;
  }
  gPending.from = first;
  gPending.to = last;
  pal_SetNewEventHandler(confirmHandler);
  return PAL_NOTHING;
}
