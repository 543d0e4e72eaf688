// capture_screens.cpp: the screens around the recorder. "Start Capture"
// minimises the window and starts the workers; the window's title counts
// the steps (set here, on the loop's thread, from the workers' count);
// "Pause Capture" stops both workers and waits for them (a few seconds at
// most, saying so when one does not answer) before anything else can touch
// the capture slot.
#include "studio/capture/capture_screens.h"

#include "studio/capture/capture_checks.h"
#include "studio/capture/capture_recorder.h"
#include "studio/kit/screen_kit.h"
#include "studio/kit/studio_states.h"

#include "pag/pag.h"
#include "pal/pal.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kCapturingTitle = "Capturing - Pictomira";
constexpr const char* kHelpText =
    "Click 'Start Capture' and walk through your demo.  Pictomira will capture the "
    "steps in your demo and then use proprietary Abstraction Technology to "
    "automatically build a fully interactive demo.  For best Abstraction results...\n\n"
    "1.  A smaller screen resolution (fewer pixels) is usually better\n"
    "2.  Make sure the main window is not maximized and is fully on-screen\n"
    "3.  When possible, hide timestamps before capturing\n"
    "4.  During capture, avoid dragging objects and using drag/drop\n"
    "5.  Do not hurry through clicks and typing - take your time\n"
    "6.  Try to click near the middle of buttons and links\n";

int gShownSteps = -1;  // the step count the title shows

void drawTexts(const char* large, const char* normal) {
  pal_UnmarkAllClickableRects();
  studioPaintWholeBackground(Gradient::Rounded);
  studioCentredText(large, CAPTURE_W / 2, 10, STUDIO_FONT_LARGE, STUDIO_WHITE);
  studioCentredText(normal, CAPTURE_W / 2, 50, STUDIO_FONT, STUDIO_WHITE);
}

int leave(int32_t event[4], int state) {
  pal_DisableAllTimers();
  event[0] = state;
  return PAL_CLOSE;
}

// Starts a run: the window goes out of the way, then the workers start. A
// first run whose slot cannot be emptied does not start: the author is
// told why and the preparation screen is back.
void beginRun(bool first) {
  std::string reason;
  if (first && startCaptureSlot(&reason) != 1) {
    pal_DisableAllTimers();
    pal_Alert(1, "Cannot Start Capture",
              ("Pictomira cannot start a new capture because the file of an earlier capture " + reason +
               ".  Nothing has been captured; remove or rename that file, then press 'Start Capture' again.")
                  .c_str());
    pal_SetWindowTitle("Ready to Capture - Pictomira");
    pal_SetNewEventHandler(capturePrepHandler);
    return;
  }
  pal_MinimizeWindow();
  gShownSteps = -1;
  startCaptureWorkers();
  pal_SetTimer(CAPTURE_TITLE_TIMER, 200, 1);
}

// Waits (bounded) for the workers of a stopped run; false, after saying
// so, when one did not answer: the capture slot is not theirs to leave yet.
bool workersStopped() {
  if (stopCaptureWorkers()) return true;
  char text[400];
  std::snprintf(text, sizeof text,
                "The capture did not stop within %d seconds (the screen or the mouse does not answer).  Wait a "
                "moment and press the button again; if it keeps happening, close Pictomira.",
                CAPTURE_STOP_WAIT_MS / 1000);
  pal_Alert(1, "Capture Not Stopped", text);
  return false;
}

void showSteps() {
  const int steps = gCaptureSteps.load();
  if (steps == gShownSteps || steps < 1) return;
  gShownSteps = steps;
  char title[80];
  captureStepTitle(steps, title, sizeof title);
  pal_SetWindowTitle(title);
}

// Opens the capturing screen; the run starts when timer fires, 200 ms on.
void openCapturing(int timer) {
  pal_DisableAllTimers();
  pal_SetNewEventHandler(capturingHandler);
  pal_SetTimer(timer, 200, 0);
}

void pause() {
  workersStopped();  // the paused screen's buttons wait again for one that did not answer
  pal_DisableAllTimers();
  pal_SetWindowTitle(kCapturingTitle);
  pal_SetNewEventHandler(capturePausedHandler);
}

}  // namespace

void captureStepTitle(int steps, char* out, int cap) {
  if (steps == 1) std::snprintf(out, static_cast<size_t>(cap), "1 Step Captured - Pictomira");
  else std::snprintf(out, static_cast<size_t>(cap), "%d Steps Captured - Pictomira", steps);
}

int capturePrepHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    drawTexts("Prepare your desktop for Capture", "Minimize all windows except the one to capture");
    studioButton("Help", 50, 90, 60, 24);
    studioButton("Start Capture", 140, 90, 120, 24);
    studioButton("Cancel", 290, 90, 60, 24);
    int32_t screen[4];
    pal_GetAvailableScreenPixels(0, screen);
    if (screen[2] % 4 != 0) pal_FatalAlert("Fatal Error", captureUnsupportedWidthText());
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  if (studioNamed(name, "Help")) pal_Alert(1, "Tips for Capturing...", kHelpText);
  if (studioNamed(name, "Cancel")) return leave(event, STATE_HOME);
  if (studioNamed(name, "Start Capture")) openCapturing(CAPTURE_START_TIMER);
  return PAL_NOTHING;
}

int capturingHandler(int32_t event[4], char* name) {
  switch (event[0]) {
    case PAL_EV_START:
      pal_SetWindowTitle(kCapturingTitle);
      drawTexts("Capturing the Demo...", "Walk through the demo at a steady pace");
      studioButton("Pause Capture", 140, 90, 120, 24);
      return PAL_SHOW;
    case PAL_EV_TIMER:
      if (event[1] == CAPTURE_START_TIMER || event[1] == CAPTURE_MORE_TIMER) beginRun(event[1] == CAPTURE_START_TIMER);
      if (event[1] != CAPTURE_TITLE_TIMER) return PAL_NOTHING;
      showSteps();
      if (gCaptureFull.load() == 1) {
        pause();
        pal_Alert(1, "Capture Paused",
                  "The capture holds as many frames as a demo can have, so it has been paused. "
                  "Everything captured so far is kept.");
      }
      return PAL_NOTHING;
    case PAL_EV_PRESS:
      if (studioNamed(name, "Pause Capture")) pause();
      return PAL_NOTHING;
    default: return PAL_NOTHING;
  }
}

int capturePausedHandler(int32_t event[4], char* name) {
  if (event[0] == PAL_EV_START) {
    drawTexts("Capture is Paused", "Create the Simulation or Capture More");
    studioButton("Start Over", 10, 90, 100, 24);
    studioButton("Abstract Demo...", 130, 90, 140, 24);
    studioButton("Capture More", 290, 90, 100, 24);
    return PAL_SHOW;
  }
  if (event[0] != PAL_EV_PRESS) return PAL_NOTHING;
  const bool button = studioNamed(name, "Start Over") || studioNamed(name, "Abstract Demo...") || studioNamed(name, "Capture More");
  if (button && gCaptureWorkers.load() > 0 && !workersStopped()) return PAL_NOTHING;
  if (studioNamed(name, "Start Over")) return leave(event, STATE_CAPTURE);
  if (studioNamed(name, "Abstract Demo...")) return leave(event, STATE_ABSTRACT);
  if (studioNamed(name, "Capture More")) openCapturing(CAPTURE_MORE_TIMER);
  return PAL_NOTHING;
}
