// mirrit_screens.cpp: Control + W on the demo screen. The preparation
// screen runs the package preparation (scrub, flow pass, row pass) on a
// thread of its own; the writing screen runs the Mirrit writer on another.
// Each shows its progress in the band on a 200-millisecond timer. When
// both files are written the "Done" alert names the folder and the program
// ends; a failure is shown and the demo screen follows, with the files
// written before left as they were. Both workers stop, leaving nothing
// unfinished, when the program ends.
#include "studio/publishing/mirrit_screens.h"
#include "studio/publishing/mirrit.h"
#include "studio/publishing/package_screens.h"
#include "studio/publishing/package_writer.h"

#include "studio/capture/demo_files.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace {

constexpr int kTimer = 1;
constexpr int kTimerMs = 200;
constexpr int kEndProgram = 0;  // a state below 1 ends the state loop

std::atomic<int> gResult{0};  // 0 running, 1 done, 2 stopped, -1 failed
publishing::Failure gPrepareWhy;
MirritFailure gFailure;
bool gCompleteShown = false;


// The workers; each publishes its result last.
void prepareWorker() {
  const int r = preparePackage(&gPrepareWhy);
  gResult = r == 1 ? 1 : r == 0 ? 2 : -1;
}

void writeWorker() {
  const int r = writeMirrit(&gFailure);
  gResult = r == 1 ? 1 : r == 0 ? 2 : -1;
}

// Title, gradient and the heading centred at y 160.
void drawScreen(const char* heading) {
  char title[160];
  std::snprintf(title, sizeof title, "Pictomira - Mirrit Output for '%s'", gCurrDemoName);
  pal_SetWindowTitle(title);
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Truncated);
  studioCentredText(heading, studioWinW() / 2, 160, STUDIO_FONT_LARGE, STUDIO_WHITE);
}

void startTimer() {
  if (pal_SetTimer(kTimer, kTimerMs, 1) != 1) pal_FatalAlert("No Window", "Cannot Set Timer with no Window Avaliable");
}

int onPrepareTick() {
  const int result = gResult.load();
  if (result == -1) {
    pal_DisableAllTimers();
    pal_Alert(1, gPrepareWhy.title.c_str(), gPrepareWhy.text().c_str());
    return studioBackToDemoScreen();
  }
  if (result == 1 && gCompleteShown) {
    pal_DisableAllTimers();
    pal_SetNewEventHandler(mirritWriteScreenHandler);
    return PAL_NOTHING;
  }
  char text[120];
  if (result == 1) {
    // One tick shows the completed step before the writing screen follows.
    std::snprintf(text, sizeof text, "Package Prep (step 1 of 2) is Complete");
    gCompleteShown = true;
  } else {
    std::snprintf(text, sizeof text, "Package Prep (step 1 of 2) - %.1f %% complete", packagePrepareTenths() / 10.0);
  }
  studioProgressBand(text);
  return PAL_SHOW;
}

int onWriteTick(int32_t event[4]) {
  const int result = gResult.load();
  char text[300];
  if (result == 0) {
    std::snprintf(text, sizeof text, "Mirrit Write (step 2 of 2) - %.1f %% complete", gMirritProgress.load() / 10.0);
    studioProgressBand(text);
    return PAL_SHOW;
  }
  pal_DisableAllTimers();
  if (result != 1) {
    pal_Alert(1, gFailure.code.c_str(), gFailure.why.c_str());
    return studioBackToDemoScreen();
  }
  studioProgressBand("Mirrit Write (step 2 of 2) - 100.0 % complete");
  pal_UpdateWindowFromBuffer(nullptr);
  std::snprintf(text, sizeof text, "DemoFlow.txt and DemoStack.bws are in the 'Demos/%s' folder", gCurrDemoName);
  pal_Alert(1, "Done", text);
  event[0] = kEndProgram;
  return PAL_CLOSE;
}

}  // namespace

int mirritPrepareScreenHandler(int32_t event[4], char* /*name*/) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_DisableAllTimers();
      drawScreen("Please Wait - step 1 of 2...");
      gPackagePhase = 0;
      gPackageProgress = 0;
      gPackageCancel = 0;
      gResult = 0;
      gCompleteShown = false;
      pal_BeginThread(prepareWorker);
      startTimer();
      studioProgressBand("Package Prep (step 1 of 2) - 0.0 % complete");
      return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == kTimer ? onPrepareTick() : PAL_NOTHING;
    case PAL_EV_CLOSED:
      // The program ends: a running preparation removes its pieces itself;
      // those of a finished one are of no use now.
      if (gResult.load() == 1) removePackagePieces();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int mirritWriteScreenHandler(int32_t event[4], char* /*name*/) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_DisableAllTimers();
      drawScreen("Writing Mirrit...");
      gMirritProgress = 0;
      gResult = 0;
      pal_BeginThread(writeWorker);
      startTimer();
      studioProgressBand("Mirrit Write (step 2 of 2) - 0.0 % complete");
      return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == kTimer ? onWriteTick(event) : PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}
