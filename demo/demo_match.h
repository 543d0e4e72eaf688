// demo_match.h: which frame an event leads to. The matchers walk the shown
// frame's instruction list (gCurrInstrList) in table order; mouse points
// come in window pixels of the frame as drawn and are mapped to
// recorded-screen pixels through gDemoScale and the crop. The mouse guide
// glides the real pointer to the shown frame's first instruction.
#pragma once

#include "demo/demo_model.h"

#include <cstdint>

// Navigation keys the keyboard matcher reports with kind 2.
enum { DEMO_NAV_TAB = 9, DEMO_NAV_ESC = 27, DEMO_NAV_HOME = 36, DEMO_NAV_F1 = 112, DEMO_NAV_F4 = 115,
       DEMO_NAV_F5 = 116 };

// Each fills result: kind 0 nothing, 1 show frame value, 2 navigation key value.
void demoCheckMatchingLeftClickInstruction(const int32_t event[4], MatchResult* result);
void demoCheckMatchingRightClickInstruction(const int32_t event[4], MatchResult* result);
void demoCheckMatchingMouseMoveInstruction(const int32_t event[4], MatchResult* result);
// Key events: the character in event[1], modifier in event[2], key code in event[3].
// Left Arrow pops the history stack as it steps back.
void demoCheckMatchingKeyboardInstruction(const int32_t event[4], MatchResult* result);

// Glides the pointer to the centre of the shown frame's first instruction
// (L, M, R or U; others return -1 at once) and returns the frame a
// mouse-over at that point leads to, or -1.
int32_t demoSmoothMouseMoveToDefaultLoc();

// The recorded-screen point of window point (wx, wy).
void demoWindowToRecorded(int32_t wx, int32_t wy, int32_t* x, int32_t* y);
// One step of the glide for one coordinate: the new position, and whether
// the step came within four pixels (which shortens the delay to 15 ms).
int32_t demoGlideStep(int32_t position, int32_t target, bool* near);
