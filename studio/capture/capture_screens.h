// capture_screens.h: the capture preparation screen, the capturing screen
// and the paused screen, in the 400 x 120 window of state 20.
#pragma once

#include <cstdint>

constexpr int CAPTURE_W = 400, CAPTURE_H = 120;
constexpr int CAPTURE_START_TIMER = 1;   // "Start Capture": the first run after 200 ms
constexpr int CAPTURE_MORE_TIMER = 2;    // "Capture More": the next run after 200 ms
constexpr int CAPTURE_TITLE_TIMER = 3;   // the step count in the title, and a full recording

int capturePrepHandler(int32_t event[4], char* name);
int capturingHandler(int32_t event[4], char* name);
int capturePausedHandler(int32_t event[4], char* name);
// The title of a run with steps key frames at clicks.
void captureStepTitle(int steps, char* out, int cap);
