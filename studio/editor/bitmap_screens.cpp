// bitmap_screens.cpp: the screens of the bitmap export and import. The
// file work is done by bitmap_io.cpp; these draw what it reports.
#include "studio/editor/bitmap_screens.h"

#include "studio/editor/bitmap_io.h"
#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"
#include "studio/editor/rewrite_screen.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"

#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The bitmap read when the author asked, and the job made of it, which is
// the worker's alone while it runs.
ImportBitmap gPending;
ImportJob gJob;

// The text of an open edit box; empty when no box of that name is open (the
// Advanced tab has no range boxes).
std::string openBoxText(const char* box) {
  for (int i = 0; i < PAL_EDIT_SLOTS; ++i)
    if (gpal_TextEditRects[i][0] != PAL_FREE_EDIT && std::strcmp(gpal_TextEditNames[i], box) == 0)
      return editorBoxText(box);
  return std::string();
}

void yellow(const char* text, int32_t y) { rewritePanelText(text, y); }

int backToEditor() {
  pal_SetNewEventHandler(editorHandler);
  return PAL_NOTHING;
}

int confirmHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      drawRewritePanel();
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
        if (!saveBeforeRewrite()) return backToEditor();
        gJob = importJobOf(gPending);
        RewriteRun run;
        run.working = "Import BMP";
        run.failTitle = "Import Fail";
        run.failPrefix = "ImportFail: ";
        run.job = &gJob;
        run.write = [] { return writeImportedRecording(&gJob); };
        run.release = [] { gJob = ImportJob{}; };
        return beginRewrite(std::move(run));
      }
      return PAL_NOTHING;
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
    editorShowNotices(refused);
    return PAL_NOTHING;
  }
  gPending.from = first;
  gPending.to = last;
  pal_SetNewEventHandler(confirmHandler);
  return PAL_NOTHING;
}
