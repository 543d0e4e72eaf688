// abstraction_screens.h: the screens of state 30 in their 900 x 600 window.
// The abstraction screen runs the analysis on a worker, shows its progress
// and then the crop on a checkerboard; from there the crop question, the
// manual crop with its rubber band and the corner fine-tuning lead back to
// it. "The Crop is Correct" opens the naming screen, which builds the steps
// on a worker while the author names the demo; the "Creating files" screen
// then writes the demo folder and ends the window with state 35.
//
// The abstraction family turns the capture slot into a demo's frames and
// instructions:
//   - screens (this header and multipath_screen.h): loop thread only, on
//     studio/kit;
//   - workers, free of window calls, each run on a thread of its own that
//     the screens start and poll: abstraction.h (crop detection, the step
//     rules, the demo folder's creation through the capture family's demo
//     files) and multipath.h (MultiPath). While a worker runs, the screens
//     follow it through its progress counters and take its result once it
//     says it has finished.
#pragma once

#include <cstdint>

constexpr int ABSTRACT_W = 900, ABSTRACT_H = 600;
constexpr int ABSTRACT_TIMER = 1;           // the progress poll of every screen here
constexpr int ANALYSIS_POLL_MS = 250;
constexpr int NAMING_POLL_MS = 1300;
constexpr int CREATE_FILES_POLL_MS = 400;
constexpr int32_t MIN_CROP_SIDE = 32;       // the smallest crop width and height

int abstractionScreenHandler(int32_t event[4], char* name);
int cropQuestionHandler(int32_t event[4], char* name);
int manualCropHandler(int32_t event[4], char* name);
int cornerTuneHandler(int32_t event[4], char* name);
int namingScreenHandler(int32_t event[4], char* name);
int createFilesHandler(int32_t event[4], char* name);

// ---- Their arithmetic, for tests ---------------------------------------------------
// The frame shown on the confirmation: the one after the fourth key frame,
// or the one at half the frame count (key frames: imageRefA == imageRefB).
int32_t previewFrameIndex();
// The confirmation's scale in thousandths for a crop on a window W x H.
int64_t confirmationScale(int32_t winW, int32_t winH, int32_t cropW, int32_t cropH);
// The manual crop's scale in thousandths for a screen on a window W x H.
int64_t manualCropScale(int32_t winW, int32_t winH, int32_t screenW, int32_t screenH);
// A window position on the manual crop's image as a screen position.
int32_t manualCropToScreen(int32_t windowPos, int32_t imageOrigin, int64_t scale);
// Applies a fine-tuning arrow ("ul_U" .. "lr_R") to crop on a screen
// W x H; false, and crop unchanged, when the crop would leave the screen or
// become narrower or lower than MIN_CROP_SIDE, or for another name.
bool nudgeCrop(const char* arrow, int32_t crop[4], int32_t W, int32_t H);
