// capture_checks.cpp: what "New Demo..." checks of the display before
// capture: a width the recorder cannot grab, a resolution larger than
// demos are comfortable to watch at, and a second display that is not
// recorded.
#include "studio/capture/capture_checks.h"

#include "pal/pal.h"

int gMultiDisplayNoteToShow = 1;

const char* captureUnsupportedWidthText() {
  return "Pictomira cannot capture from the primary monitor"
         " because it is set to an unsupported width.  For best"
         " capture, Pictomira recommends screen resolution of 1280x800"
         " pixels. Demos are best created"
         " on smaller screens since they can become very difficult"
         " for the audience to see when shown on low-resolution"
         " projectors.  Even if lower resolutions look blurry on"
         " your monitor during capture, the demo will still look"
         " good because Pictomira captures 'below' the display.";
}

std::string captureDisplayAdvice(int width, int height, int displays, bool* refused) {
  *refused = width % 4 != 0;
  if (*refused) return captureUnsupportedWidthText();
  std::string advice;
  if (width > 1280 || height > 800)
    advice = "For best capture, Pictomira recommends screen resolution"
             " of 1280x800 pixels or less.  Demos are best created"
             " on smaller screens since they can become very difficult"
             " for an audience to see when shown on low-resolution"
             " projectors.  Even if lower resolutions look blurry on"
             " your screen during capture, the demo will look good"
             " because Pictomira captures the pixels behind"
             " the screen's display.";
  if (displays >= 2 && (gMultiDisplayNoteToShow == 1 || !advice.empty())) {
    if (!advice.empty()) advice += "\n\n";
    advice += "This system has more than one display.  Pictomira will capture only the Primary display.";
    gMultiDisplayNoteToShow = 0;
  }
  return advice;
}

int checkDisplayForCapture() {
  int32_t screen[4];
  pal_GetAvailableScreenPixels(0, screen);
  bool refused = false;
  const std::string advice = captureDisplayAdvice(screen[2], screen[3], pal_GetDisplayCount(), &refused);
  if (refused) {
    pal_Alert(1, "Error", advice.c_str());
    return 0;
  }
  if (!advice.empty()) pal_Alert(1, "Info", advice.c_str());
  return 1;
}
