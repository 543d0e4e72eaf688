// pal_probe: a program for the whole-program tests of the platform layer.
// With a window it paints known colours, marks a clickable "Button" and
// prints one line per event its handler receives ("EV code v1 v2 v3
// name"); options add timers, alerts, an edit box, clipboard use and more.
// Without a window it answers one question about the screen and exits.
#include "pal/pal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr uint32_t kFill = 0x2050A0, kButton = 0xE03020, kGreen = 0x30C050;

struct Options {
  int kind = 1, x = -1, y = -1, w = 400, h = 300;
  int timer = 0, timerMs = 0, timerRepeat = 0, stopAfter = 0, onceBeforeAlert = 0;
  bool badTimer = false, alertOnClick = false, edit = false, minimize = false, pollStatus = false;
  std::string clipPut;
  bool clipGet = false;
  int exitCode = 40;
} gOpt;

int gTimerCount = 0, gLastStatus = -1;
bool gAlerted = false;

void paint() {
  for (int y = 0; y < gOpt.h; ++y)
    for (int x = 0; x < gOpt.w; ++x) {
      uint32_t c = kFill;
      if (x >= 20 && x < 100 && y >= 40 && y < 70) c = kButton;
      if (x >= 100 && x < 150 && y >= 100 && y < 150) c = kGreen;
      pal_SetBufferPixelLongColor(0, x, y, c);
    }
  pal_MarkClickableRect("Button", 20, 40, 79, 29);
}

void log(const int32_t* ev, const char* name) {
  std::printf("EV %d %d %d %d %s\n", ev[0], ev[1], ev[2], ev[3], name ? name : "");
  std::fflush(stdout);
}

int second(int32_t ev[4], char* name) {
  std::printf("SECOND %d %d %d\n", ev[0], ev[1], ev[2]);
  std::fflush(stdout);
  if (ev[0] == PAL_EV_KEY && ev[3] == VK_ESCAPE) {
    ev[0] = gOpt.exitCode;
    return PAL_CLOSE;
  }
  (void)name;
  return PAL_NOTHING;
}

int onStart() {
  paint();
  if (gOpt.timer) std::printf("TIMERSET %d\n", pal_SetTimer(gOpt.timer, gOpt.timerMs, gOpt.timerRepeat));
  if (gOpt.badTimer) {
    const int a = pal_SetTimer(6, 100, 0), b = pal_SetTimer(0, 100, 0);
    std::printf("BADTIMER %d %d\n", a, b);
  }
  if (gOpt.edit) pal_MarkTextEditRect("Field", 20, 200, 200, 36, "abc", 50, 0xFFFFFF);
  if (!gOpt.clipPut.empty()) pal_PutClipboardText(gOpt.clipPut.c_str(), 0);
  if (gOpt.clipGet) {
    char clip[PAL_EDIT_TEXT_LEN];
    pal_GetClipboardText(clip, sizeof clip, 0);
    std::printf("CLIP %s\n", clip);
  }
  std::fflush(stdout);
  return PAL_SHOW;
}

// Waits on a worker until the window is minimised and says so.
void waitMinimized() {
  pal_WaitUntilMinimized(3000);
  std::printf("WAITED\n");
  std::fflush(stdout);
}

int onTimer(int32_t ev[4], char* name) {
  if (gOpt.minimize && ev[1] == 4) {
    pal_MinimizeWindow();
    if (gOpt.pollStatus) pal_SetTimer(3, 50, 1);
    std::printf("MINIMIZED\n");
    std::fflush(stdout);
    pal_BeginThread(waitMinimized);
    return PAL_NOTHING;
  }
  if (gOpt.pollStatus && ev[1] == 3) {
    const int s = pal_GetMouseClickStatus();
    if (s != gLastStatus) std::printf("STATUS %d\n", s);
    std::fflush(stdout);
    gLastStatus = s;
    return PAL_NOTHING;
  }
  log(ev, name);
  if (ev[1] == gOpt.timer && gOpt.stopAfter > 0 && ++gTimerCount == gOpt.stopAfter) pal_DisableTimer(gOpt.timer);
  return PAL_NOTHING;
}

// Starts one-shot timer 1 when asked, so that it fires while the next alert shows.
void armOnceBeforeAlert() {
  if (gOpt.onceBeforeAlert > 0) pal_SetTimer(1, gOpt.onceBeforeAlert, 0);
}

int onKey(int32_t ev[4], char* name) {
  log(ev, name);
  switch (ev[3]) {
    case VK_ESCAPE: ev[0] = gOpt.exitCode; return PAL_CLOSE;
    case 'H': pal_SetNewEventHandler(second); return PAL_NOTHING;
    case 'T': pal_SetWindowTitle("Renamed"); return PAL_NOTHING;
    case 'B':  // a blocking alert: the loop waits for OK
      armOnceBeforeAlert();
      pal_Alert(1, "Wait", "A blocking alert");
      std::printf("BLOCKING-DONE\n");
      std::fflush(stdout);
      return PAL_NOTHING;
    case 'N':  // a non-blocking alert: the loop goes on while it shows
      armOnceBeforeAlert();
      pal_Alert(0, "Note", "A non-blocking alert");
      std::printf("ALERTED\n");
      std::fflush(stdout);
      return PAL_NOTHING;
    case 'W': {
      int32_t r[4];
      pal_GetPalWindowRect(r);
      std::printf("WINDOW %d %d %d %d %d %d %d\n", r[0], r[1], r[2], r[3], pal_GetWindowBorderThickness(0),
                  pal_GetWindowBorderThickness(1), pal_GetWindowBorderThickness(3));
      std::fflush(stdout);
      return PAL_NOTHING;
    }
    default: return PAL_NOTHING;
  }
}

int handler(int32_t ev[4], char* name) {
  switch (ev[0]) {
    case PAL_EV_START: log(ev, name); return onStart();
    case PAL_EV_TIMER: return onTimer(ev, name);
    case PAL_EV_KEY: return onKey(ev, name);
    case PAL_EV_EDIT_DONE: {
      char text[PAL_EDIT_TEXT_LEN];
      pal_GetMarkedTextEdit("Field", text);
      std::printf("EDITDONE %d %s\n", ev[1], text);
      std::fflush(stdout);
      return PAL_NOTHING;
    }
    case PAL_EV_PRESS:
      log(ev, name);
      if (gOpt.minimize) pal_SetTimer(4, 100, 0);  // the test has seen the window: minimise it
      if (gOpt.alertOnClick && !gAlerted) {
        gAlerted = true;
        pal_Alert(0, "Note", "A non-blocking alert");
        std::printf("ALERTED\n");
        std::fflush(stdout);
      }
      return PAL_NOTHING;
    default: log(ev, name); return PAL_NOTHING;
  }
}

// Answers a question about the screen without a window; true when asked one.
bool answerQuestion(int argc, char** argv) {
  const std::string q = argc > 1 ? argv[1] : "";
  if (q == "--capture" && argc >= 6) {
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]), x = std::atoi(argv[4]), y = std::atoi(argv[5]);
    std::string buf(static_cast<size_t>(w > 0 ? w : 1) * (h > 0 ? h : 1) * 3, '\0');
    const int r = pal_ScreenToBGRbuffer(reinterpret_cast<unsigned char*>(buf.data()), w, h);
    const auto* p = reinterpret_cast<const unsigned char*>(buf.data()) + (static_cast<size_t>(y) * w + x) * 3;
    std::printf("CAPTURE %d %d %d %d\n", r, r == 1 ? p[0] : -1, r == 1 ? p[1] : -1, r == 1 ? p[2] : -1);
  } else if (q == "--foreground") {
    int32_t r[4];
    const int kind = pal_GetForegroundWinRect(r);
    std::printf("FG %d %d %d %d KIND %d\n", r[0], r[1], r[2], r[3], kind);
  } else if (q == "--origin") {
    int32_t o[2];
    pal_GetPrimaryOrigin(o);
    std::printf("ORIGIN %d %d\n", o[0], o[1]);
  } else if (q == "--click" && argc >= 4) {
    int32_t p[2] = {std::atoi(argv[2]), std::atoi(argv[3])};
    pal_GetOrSetCursorPos('S', p);
    pal_ClickMouse(argc >= 5 ? std::atoi(argv[4]) : 1);
    int32_t now[2];
    pal_GetOrSetCursorPos(0, now);
    std::printf("CLICKED %d %d\n", now[0], now[1]);
  } else if (q == "--presses" && argc >= 3) {
    // Counts presses for the given milliseconds; -1 when no counter opens.
    pal_PressCounter* counter = pal_OpenPressCounter();
    std::printf("COUNTING\n");
    std::fflush(stdout);
    int64_t n = -1;
    for (int left = std::atoi(argv[2]); counter != nullptr && left > 0; left -= 100) n = pal_CountPresses(counter, 100);
    if (counter != nullptr) n = pal_CountPresses(counter, 0);
    pal_ClosePressCounter(counter);
    std::printf("PRESSES %lld\n", static_cast<long long>(n));
  } else if (q == "--screen") {
    int32_t a[4], b[4];
    pal_GetAvailableScreenPixels(0, a);
    pal_GetAvailableScreenPixels(1, b);
    std::printf("SCREEN %d %d %d %d WORK %d %d %d %d DISPLAYS %d\n", a[0], a[1], a[2], a[3], b[0], b[1], b[2], b[3],
                pal_GetDisplayCount());
  } else {
    return false;
  }
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  pal_InitPAL();
  if (answerQuestion(argc, argv)) return 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&] { return i + 1 < argc ? std::atoi(argv[++i]) : 0; };
    if (a == "--kind") gOpt.kind = next();
    else if (a == "--at") { gOpt.x = next(); gOpt.y = next(); }
    else if (a == "--size") { gOpt.w = next(); gOpt.h = next(); }
    else if (a == "--timer") { gOpt.timer = next(); gOpt.timerMs = next(); gOpt.timerRepeat = next(); }
    else if (a == "--stop-after") gOpt.stopAfter = next();
    else if (a == "--once-before-alert") gOpt.onceBeforeAlert = next();
    else if (a == "--bad-timer") gOpt.badTimer = true;
    else if (a == "--alert-on-click") gOpt.alertOnClick = true;
    else if (a == "--edit") gOpt.edit = true;
    else if (a == "--minimize") gOpt.minimize = true;
    else if (a == "--poll-status") gOpt.pollStatus = true;
    else if (a == "--clip-put" && i + 1 < argc) gOpt.clipPut = argv[++i];
    else if (a == "--clip-get") gOpt.clipGet = true;
    else if (a == "--exit-code") gOpt.exitCode = next();
  }
  const int r = pal_RunWindow(gOpt.kind, gOpt.x, gOpt.y, gOpt.w, gOpt.h, "Probe", handler);
  std::printf("RETURNED %d\n", r);
  return 0;
}
