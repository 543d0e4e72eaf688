// capture_checks.cpp: what "New Demo..." checks of the display before
// capture: a Wayland session, whose windows the X11 capture cannot see, a
// width the recorder cannot grab, a resolution larger than demos are
// comfortable to watch at, and a second display that is not recorded.
#include "studio/capture/capture_checks.h"

#include "pal/pal.h"

#include <cstdlib>
#include <cstring>

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

std::string captureSessionAdvice(const char* sessionType, const char* waylandDisplay) {
  const bool wayland = (sessionType != nullptr && std::strcmp(sessionType, "wayland") == 0) ||
                       (waylandDisplay != nullptr && waylandDisplay[0] != '\0');
  if (!wayland) return std::string();
  return "This desktop runs a Wayland session.  Pictomira captures only X11 windows: the windows of"
         " other applications are not recorded, and the capture may stay black.\n\n"
         "To capture any application, log out and choose an \"X11\" or \"Xorg\" session at the"
         " login screen.\n\nTo go on with X11 programs, press \"Start Capture\" on the next screen;"
         " \"Cancel\" goes back.";
}

int checkDisplayForCapture() {
  const std::string session = captureSessionAdvice(std::getenv("XDG_SESSION_TYPE"), std::getenv("WAYLAND_DISPLAY"));
  if (!session.empty()) pal_Alert(1, "Info", session.c_str());
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
