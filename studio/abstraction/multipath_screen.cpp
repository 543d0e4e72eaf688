// multipath_screen.cpp: "Add MultiPath" from the demo screen. The screen
// explains what the worker will do and warns that its copies need review;
// "Add MultiPath" runs the worker (pal_BeginThread) and polls its progress
// into a darkened band, "Cancel" goes back. When the worker has finished,
// a failure or a full instruction table is told in an alert, and the demo
// screen returns (it reads the saved data file again). A window closed
// meanwhile leaves the worker to the program's ending, which asks it to
// stop and waits for it.
#include "studio/abstraction/multipath_screen.h"
#include "studio/abstraction/multipath.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>
#include <cstring>

namespace {


bool gRunning = false;  // the worker was started and has not yet been seen to finish


void drawIntro() {
  pal_UnmarkAllClickableRects();
  pal_DisableAllTimers();
  studioPaintWholeBackground(Gradient::Truncated);
  const int32_t cx = studioWinW() / 2;
  studioCentredText("Add MultiPath", cx, 100, STUDIO_FONT_LARGE, STUDIO_WHITE);
  studioCentredText("'Add MultiPath' will make your demo fully interactive so that it more closely simulates your "
                    "application. ",
                    cx, 200, STUDIO_FONT, STUDIO_WHITE);
  studioCentredText("New instructions will be added to every frame that has matching clickable UI items (buttons, links "
                    "etc).",
                    cx, 225, STUDIO_FONT, STUDIO_WHITE);
  studioCentredText("This will create many new instructions, including some that cause the simulation to behave "
                    "incorrectly,",
                    cx, 275, STUDIO_FONT, STUDIO_YELLOW);
  studioCentredText("so you will need to verify every instruction in each frame and fix or delete any that are "
                    "inappropriate.",
                    cx, 300, STUDIO_FONT, STUDIO_YELLOW);
  studioButton("Add MultiPath", 200, 525, 120, 22);
  studioButton("Cancel", 590, 525, 80, 22);
}

void drawBand(int progress) {
  char text[80];
  std::snprintf(text, sizeof text, "Adding MultiPath - %d %% complete", progress / 10);
  studioProgressBand(text);
}

int start() {
  gMultiPathProgress = 0;
  gRunning = true;
  pal_BeginThread(addMultiPath);
  pal_UnmarkAllClickableRects();
  pal_DisableAllTimers();
  drawBand(0);
  if (pal_SetTimer(MULTIPATH_TIMER, MULTIPATH_POLL_MS, 1) != 1)
    pal_FatalAlert("No Window", "Cannot Set Timer with no Window Avaliable");  // the ending stops the worker
  return PAL_SHOW;
}

// Tells what the finished run could not do.
void tellOutcome(const MultiPathReport& r) {
  for (const MultiPathNotice& n : multiPathNotices(r, gCurrDemoName)) pal_Alert(1, n.title.c_str(), n.text.c_str());
}

int onTick() {
  const int progress = gMultiPathProgress.load();
  if (progress < MULTIPATH_DONE) {
    drawBand(progress);
    return PAL_SHOW;
  }
  gRunning = false;
  pal_DisableAllTimers();
  tellOutcome(gMultiPathReport);
  return studioBackToDemoScreen();
}

}  // namespace

int multiPathScreenHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START: {
      gRunning = false;
      char title[140];
      std::snprintf(title, sizeof title, "Add MultiPath to '%s' - Pictomira", gCurrDemoName);
      pal_SetWindowTitle(title);
      drawIntro();
      return PAL_SHOW;
    }
    case PAL_EV_PRESS:
      if (gRunning) return PAL_NOTHING;
      if (std::strcmp(name, "Add MultiPath") == 0) return start();
      if (std::strcmp(name, "Cancel") == 0) return studioBackToDemoScreen();
      return PAL_NOTHING;
    case PAL_EV_TIMER: return event[1] == MULTIPATH_TIMER && gRunning ? onTick() : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}
