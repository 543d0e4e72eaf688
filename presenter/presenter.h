// presenter.h: the Presenter's screens. The presenting screen shows one
// frame at a time (decoded from the package into image buffer 1, overlaid,
// scaled into the window) and moves through the demo on clicks,
// mouse-overs, keys and timers; the splash screen waits for the package's
// read-through and offers the buttons; the help screen lists the keys; the
// self-loop runs the demo unattended until the mouse moves.
#pragma once

#include "demo/demo_show.h"

#include <cstdint>

enum { SCREEN_SPLASH = 20, SCREEN_PRESENT = 40, SCREEN_FULL = 50 };
constexpr int SPLASH_W = 900, SPLASH_H = 600;
constexpr int PRESENT_FRAME_TIMER = DEMO_FRAME_TIMER;  // the shown frame's wait (and the splash's poll)
constexpr int SELF_LOOP_TIMER = 3;                     // the self-loop's 100 ms tick

// Frames are shown with loadDemoFrame (demo/demo_show.h) from the package,
// which runDemoHandler makes the frame source when it starts.

// The status line text of frame for its first instruction.
void presenterStatusText(int32_t frame, char* out, int cap);

int runDemoHandler(int32_t event[4], char* name);
int splashScreenHandler(int32_t event[4], char* name);
int helpScreenHandler(int32_t event[4], char* name);
int selfLoopHandler(int32_t event[4], char* name);
// Draws the splash into slot 0: the waiting state (loaded 0) or the
// picture with its buttons (loaded 1).
void drawSplashScreen(int loaded);

// The Presenter's start-up and screen loop; never returns.
[[noreturn]] void presenterMain();
