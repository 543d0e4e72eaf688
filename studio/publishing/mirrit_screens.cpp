// mirrit_screens.cpp: Control + W on the demo screen. The preparation
// screen runs the package preparation (scrub, flow pass, row pass) on a
// thread of its own; the writing screen runs the Mirrit writer on another.
// Each shows its progress in the band on a 200-millisecond timer. When
// both files are written the "Done" alert names the folder and the program
// ends; any failure is shown and ends the program too.
#include "studio/publishing/mirrit_screens.h"
#include "studio/publishing/mirrit.h"
#include "studio/publishing/package_screens.h"
#include "studio/publishing/package_writer.h"

#include "studio/capture/demo_files.h"
#include "studio/shell/screen_kit.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace {

constexpr int kTimer = 1;
constexpr int kTimerMs = 200;
constexpr int kEndProgram = 0;  // a state below 1 ends the state loop

std::thread gWorker;
std::atomic<int> gResult{0};  // 0 running, 1 done, -1 failed
std::string gPrepareWhy;
MirritFailure gFailure;
bool gCompleteShown = false;

int32_t winW() { return gpal_ImageBuffSize[0][0]; }

void join() {
  if (gWorker.joinable()) gWorker.join();
}

// Title, gradient and the heading centred at y 160.
void drawScreen(const char* heading) {
  char title[160];
  std::snprintf(title, sizeof title, "Pictomira - Mirrit Output for '%s'", gCurrDemoName);
  pal_SetWindowTitle(title);
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Truncated);
  studioCentredText(heading, winW() / 2, 160, STUDIO_FONT_LARGE, STUDIO_WHITE);
}

void startTimer() {
  if (pal_SetTimer(kTimer, kTimerMs, 1) != 1) {
    join();
    pal_FatalAlert("No Window", "Cannot Set Timer with no Window Avaliable");
  }
}

int onPrepareTick() {
  const int result = gResult.load();
  if (result == -1) {
    join();
    pal_DisableAllTimers();
    pal_FatalAlert("Package Fail", gPrepareWhy.c_str());
  }
  if (result == 1 && gCompleteShown) {
    join();
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
  publishingBand(text);
  return PAL_SHOW;
}

int onWriteTick(int32_t event[4]) {
  const int result = gResult.load();
  char text[300];
  if (result == 0) {
    std::snprintf(text, sizeof text, "Mirrit Write (step 2 of 2) - %.1f %% complete", gMirritProgress.load() / 10.0);
    publishingBand(text);
    return PAL_SHOW;
  }
  join();
  pal_DisableAllTimers();
  if (result == -1) {
    const std::string why = gFailure.why;
    pal_FatalAlert(gFailure.code.c_str(), why.c_str());
  }
  publishingBand("Mirrit Write (step 2 of 2) - 100.0 % complete");
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
      join();
      gPackagePhase = 0;
      gPackageProgress = 0;
      gPackageCancel = 0;
      gResult = 0;
      gCompleteShown = false;
      gWorker = std::thread([] { gResult = preparePackage(&gPrepareWhy) == 1 ? 1 : -1; });
      startTimer();
      publishingBand("Package Prep (step 1 of 2) - 0.0 % complete");
      return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == kTimer ? onPrepareTick() : PAL_NOTHING;
    case PAL_EV_CLOSED:
      // The program ends with the window; the row pass stops after its frame.
      gPackageCancel = 1;
      join();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int mirritWriteScreenHandler(int32_t event[4], char* /*name*/) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_DisableAllTimers();
      drawScreen("Writing Mirrit...");
      join();
      gMirritProgress = 0;
      gResult = 0;
      gWorker = std::thread([] { gResult = writeMirrit(&gFailure) == 1 ? 1 : -1; });
      startTimer();
      publishingBand("Mirrit Write (step 2 of 2) - 0.0 % complete");
      return PAL_SHOW;
    case PAL_EV_TIMER: return event[1] == kTimer ? onWriteTick(event) : PAL_NOTHING;
    case PAL_EV_CLOSED:
      // The program ends with the window, once the writer has finished and tidied up.
      join();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}
