// capture_checks.h: the display checks that run before a new capture.
#pragma once

#include <string>

// 1 until the multiple-display note has been shown in this program run.
extern int gMultiDisplayNoteToShow;

// The advice for a primary screen of width x height on a system of
// displays displays (marks the note as shown when it is part of it):
// empty when there is nothing to say. *refused is set for a width that is
// not a multiple of 4, and the advice is then the refusal's text.
std::string captureDisplayAdvice(int width, int height, int displays, bool* refused);
// The note for a desktop session whose other windows the X11 capture cannot
// see: sessionType is XDG_SESSION_TYPE, waylandDisplay WAYLAND_DISPLAY
// (either may be null). Empty under X11 and when neither is set.
std::string captureSessionAdvice(const char* sessionType, const char* waylandDisplay);
// The checks of "New Demo...": alerts with the advice or the refusal.
// 1 when capture may go ahead, 0 when the screen cannot be captured.
int checkDisplayForCapture();
// The text shown when the primary screen's width is not a multiple of 4.
const char* captureUnsupportedWidthText();
