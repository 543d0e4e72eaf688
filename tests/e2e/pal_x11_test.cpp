// The platform layer on a real X server: the probe program's window, the
// events its handler receives while XTest sends real input, timers, alerts,
// the clipboard, screen capture, and with a window manager the foreground
// window, synthetic clicks, the global button state and counted presses.
#include "pal/pal.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <X11/Xlib.h>  // after gtest: Xlib's macros (None, Bool) would clash with its names

#include <csignal>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFill = 0x2050A0, kButton = 0xE03020;
const std::vector<std::string> kAutomated = {"PICTOMIRA_ALERTS=stderr"};

class X11 : public testing::Test {
 protected:
  void SetUp() override {
    server = std::make_unique<XServer>();
    ASSERT_TRUE(server->ok()) << "Xvfb did not start";
    input = std::make_unique<XInput>();
  }
  void TearDown() override {
    probe.reset();
    input.reset();
    server.reset();
  }
  // Starts the probe and waits until its window shows its fill colour at (x, y).
  void startProbe(std::vector<std::string> args, int x, int y, const std::vector<std::string>& env = kAutomated) {
    args.insert(args.begin(), builtProgram("pal_probe"));
    probe = std::make_unique<Child>(args, env);
    ASSERT_TRUE(probe->waitFor("EV 1 ", 5000)) << "no start event";
    ASSERT_TRUE(input->waitForPixel(x, y, kFill, 5000)) << "window not shown at " << x << "," << y;
  }
  // The next event line of the probe that starts with prefix.
  std::string next(const std::string& prefix, int ms = 3000) {
    std::string line;
    return probe->waitFor(prefix, ms, &line) ? line : "";
  }

  std::unique_ptr<XServer> server;
  std::unique_ptr<XInput> input;
  std::unique_ptr<Child> probe;
};

TEST_F(X11, FramedWindowIsCentredAndShowsItsBuffer) {
  startProbe({"--kind", "1", "--size", "600", "400"}, 340 + 300, 200 + 200);
  EXPECT_EQ(input->pixel(340, 200), kFill);       // top-left of the drawing area
  EXPECT_EQ(input->pixel(339, 200), 0x000000u);   // outside: the bare root
  EXPECT_EQ(input->pixel(340 + 25, 200 + 45), kButton);
  EXPECT_EQ(input->pixel(939, 599), kFill);
  EXPECT_EQ(input->pixel(940, 599), 0x000000u);
}

TEST_F(X11, PressesReleasesMovesAndRightClicksReachTheHandler) {
  startProbe({"--kind", "15", "--at", "100", "100"}, 110, 110);
  input->click(100 + 30, 100 + 50);
  EXPECT_EQ(next("EV 101"), "EV 101 30 50 0 Button");
  EXPECT_EQ(next("EV 102"), "EV 102 30 50 0 ");
  input->click(100 + 300, 100 + 200);
  EXPECT_EQ(next("EV 101"), "EV 101 300 200 0 ");
  input->move(100 + 310, 100 + 210);
  EXPECT_EQ(next("EV 115").substr(0, 14), "EV 115 310 210");
  input->click(100 + 5, 100 + 250, 3);
  EXPECT_EQ(next("EV 121").substr(0, 14), "EV 121 5 250 0");
}

TEST_F(X11, KeysArriveWithCodesModifiersAndCharacters) {
  startProbe({"--kind", "15", "--at", "100", "100"}, 110, 110);
  input->move(300, 300);  // without a window manager keys follow the pointer
  input->key(XK_a);
  EXPECT_EQ(next("EV 203"), "EV 203 97 0 65 ");
  input->key(XK_2, {XK_Shift_L});
  EXPECT_EQ(next("EV 203"), "EV 203 64 1 50 ");
  input->key(XK_bracketleft, {XK_Shift_L});
  EXPECT_EQ(next("EV 203"), "EV 203 123 1 219 ");
  input->key(XK_equal, {XK_Shift_L});
  EXPECT_EQ(next("EV 203"), "EV 203 43 1 187 ");
  input->key(XK_a, {XK_Control_L});
  EXPECT_EQ(next("EV 203"), "EV 203 0 2 65 ");
  input->key(XK_Caps_Lock);
  input->key(XK_a);
  EXPECT_EQ(next("EV 203"), "EV 203 65 1 65 ");
  input->key(XK_a, {XK_Shift_L});
  EXPECT_EQ(next("EV 203"), "EV 203 97 0 65 ");
  input->key(XK_Caps_Lock);
  input->key(XK_Num_Lock);
  input->keycode(input->keycodeOf(XK_KP_7), true);  // the keypad key by its keycode
  input->keycode(input->keycodeOf(XK_KP_7), false);
  EXPECT_EQ(next("EV 203"), "EV 203 55 0 55 ");
  input->key(XK_Num_Lock);
  input->key(XK_F1);
  EXPECT_EQ(next("EV 203"), "EV 203 0 0 112 ");
  input->key(XK_Shift_L);  // alone: no event
  input->key(XK_Left);
  EXPECT_EQ(next("EV 203"), "EV 203 0 0 37 ");
}

TEST_F(X11, EscapeClosesWithTheHandlersCodeAndNewHandlersTakeOver) {
  startProbe({"--kind", "15", "--at", "100", "100", "--exit-code", "50"}, 110, 110);
  input->move(300, 300);
  input->key(XK_h);
  EXPECT_EQ(next("SECOND"), "SECOND 1 400 300");
  input->key(XK_Escape);
  EXPECT_EQ(next("RETURNED"), "RETURNED 50");
  EXPECT_EQ(probe->wait(3000), 0);
}

TEST_F(X11, NegativeCodeEndsTheProgramWithStatusZero) {
  startProbe({"--kind", "15", "--at", "100", "100", "--exit-code", "-3"}, 110, 110);
  input->move(300, 300);
  input->key(XK_Escape);
  EXPECT_EQ(probe->wait(3000), 0);
  for (const std::string& l : probe->drain(200)) EXPECT_EQ(l.find("RETURNED"), std::string::npos);
}

// The window manager's close and SIGTERM (a session ending) both reach the
// handler as the close event, and the program ends normally after it.
TEST_F(X11, ClosingAndSigtermReachTheHandlerAsTheCloseEvent) {
  for (const bool signal : {false, true}) {
    SCOPED_TRACE(signal ? "SIGTERM" : "WM_DELETE_WINDOW");
    startProbe({"--kind", "15", "--at", "100", "100"}, 110, 110);
    if (signal) ::kill(probe->pid(), SIGTERM);
    else input->requestClose(input->findWindow("Probe"));
    EXPECT_EQ(next("EV -1").substr(0, 6), "EV -1 ");
    EXPECT_EQ(probe->wait(3000), 0);
    probe.reset();
  }
}

TEST_F(X11, DragBarMovesABorderlessWindowAndStillReportsThePress) {
  startProbe({"--kind", "15", "--at", "100", "100"}, 110, 110);
  input->move(100 + 200, 100 + 10);
  sleepMs(50);
  input->button(1, true);
  EXPECT_EQ(next("EV 101"), "EV 101 200 10 0 ");
  for (int step = 1; step <= 10; ++step) {
    input->move(100 + 200 + step * 15, 100 + 10 + step * 10);
    sleepMs(20);
  }
  input->button(1, false);
  EXPECT_TRUE(input->waitForPixel(100 + 150 + 5, 100 + 100 + 5, kFill, 3000));
  EXPECT_EQ(input->pixel(105, 105), 0x000000u);  // the old place is bare
  EXPECT_EQ(input->pixel(250 + 25, 200 + 45), kButton);
}

TEST_F(X11, OneShotTimerFiresOnceAndRepeatingUntilDisabled) {
  startProbe({"--kind", "15", "--at", "0", "0", "--timer", "3", "500", "0"}, 10, 10);
  EXPECT_EQ(next("EV 32"), "EV 32 3 0 0 ");
  for (const std::string& l : probe->drain(1200)) EXPECT_NE(l.substr(0, 5), "EV 32");
  probe.reset();
  startProbe({"--kind", "15", "--at", "0", "0", "--timer", "2", "150", "1", "--stop-after", "3"}, 10, 10);
  int fired = 0;
  for (const std::string& l : probe->drain(1500)) fired += l == "EV 32 2 0 0 ";
  EXPECT_EQ(fired, 3);
}

TEST_F(X11, BadTimerNumbersAlert) {
  startProbe({"--kind", "15", "--at", "0", "0", "--bad-timer"}, 10, 10);
  const std::vector<std::string> lines = probe->drain(800);
  int alerts = 0;
  bool result = false;
  for (const std::string& l : lines) {
    alerts += l == "ALERT 1 Bad Timer Number | Timer number must be 1 to 5";
    result = result || l == "BADTIMER -1 -1";
  }
  EXPECT_EQ(alerts, 2);
  EXPECT_TRUE(result);
}

TEST_F(X11, NonBlockingAlertDropsClicksUntilAcknowledged) {
  startProbe({"--kind", "15", "--at", "0", "0", "--alert-on-click"}, 10, 10, {"PICTOMIRA_ALERTS="});  // a real box
  input->click(300, 250);
  EXPECT_EQ(next("EV 101"), "EV 101 300 250 0 ");
  ASSERT_EQ(next("ALERTED"), "ALERTED");
  unsigned long box = 0;
  for (int i = 0; i < 100 && box == 0; ++i, sleepMs(50)) box = input->findWindow("Note");
  ASSERT_NE(box, 0u) << "no message box; the probe said: " << testing::PrintToString(probe->drain(300));
  input->click(20, 280);  // our window, away from the box: dropped
  input->key(XK_space);
  for (const std::string& l : probe->drain(500)) EXPECT_NE(l.substr(0, 6), "EV 101") << l;
  int32_t r[4];
  input->frameRect(box, r);
  input->click((r[0] + r[2]) / 2, r[3] - 38);  // its OK button, centred near the bottom
  for (int i = 0; i < 100 && input->findWindow("Note") != 0; ++i) sleepMs(50);
  input->click(20, 280);
  EXPECT_EQ(next("EV 101"), "EV 101 20 280 0 ");
}

TEST_F(X11, BlockingAlertWaitsForOkAndDropsWhatCameMeanwhile) {
  startProbe({"--kind", "15", "--at", "0", "0"}, 10, 10, {"PICTOMIRA_ALERTS="});
  input->move(300, 250);
  input->key(XK_b);
  unsigned long box = 0;
  for (int i = 0; i < 100 && box == 0; ++i, sleepMs(50)) box = input->findWindow("Wait");
  ASSERT_NE(box, 0u) << "no message box";
  input->click(20, 280);  // queued while the box waits: dropped afterwards
  for (const std::string& l : probe->drain(300)) EXPECT_EQ(l.find("BLOCKING-DONE"), std::string::npos);
  int32_t r[4];
  input->frameRect(box, r);
  input->click((r[0] + r[2]) / 2, r[3] - 38);
  EXPECT_EQ(next("BLOCKING-DONE", 3000), "BLOCKING-DONE");
  for (const std::string& l : probe->drain(300)) EXPECT_NE(l.substr(0, 6), "EV 101") << l;
  input->click(20, 280);
  EXPECT_EQ(next("EV 101").substr(0, 13), "EV 101 20 280");  // the third value is not set for presses
}

TEST_F(X11, OneShotTimerFiringDuringAnAlertArrivesOnceAfterOk) {
  struct Case {
    unsigned long key;
    const char* title;
    bool repeating;  // timer 2 fires every 100 ms meanwhile
  };
  for (const Case& c : {Case{XK_b, "Wait", true}, Case{XK_n, "Note", true}, Case{XK_n, "Note", false}}) {
    SCOPED_TRACE(std::string(c.title) + (c.repeating ? " with a repeating timer" : " alone"));
    std::vector<std::string> args = {"--kind", "15", "--at", "0", "0", "--once-before-alert", "150"};
    if (c.repeating) args.insert(args.end(), {"--timer", "2", "100", "1"});
    startProbe(args, 10, 10, {"PICTOMIRA_ALERTS="});
    input->move(300, 250);
    input->key(c.key);
    ASSERT_FALSE(next("EV 203").empty());
    unsigned long box = 0;
    for (int i = 0; i < 100 && box == 0; ++i, sleepMs(50)) box = input->findWindow(c.title);
    ASSERT_NE(box, 0u) << "no message box";
    sleepMs(1000);  // the one-shot fires, the repeating one about ten times
    for (const std::string& l : probe->drain(200)) EXPECT_NE(l.substr(0, 5), "EV 32") << l;
    int32_t r[4];
    input->frameRect(box, r);
    input->click((r[0] + r[2]) / 2, r[3] - 38);
    ASSERT_EQ(next("EV 32 1", 1000).substr(0, 9), "EV 32 1 0") << "the held firing did not come after OK";
    int again = 0, repeats = 0;
    for (const std::string& l : probe->drain(500)) {
      again += l.substr(0, 7) == "EV 32 1";
      repeats += l.substr(0, 7) == "EV 32 2";
    }
    EXPECT_EQ(again, 0);
    EXPECT_LE(repeats, 8);  // its own pace, not the firings that came during the alert
    probe.reset();
  }
}

TEST_F(X11, ClipboardTravelsBetweenTwoProcesses) {
  startProbe({"--kind", "15", "--at", "0", "0", "--clip-put", "hello from one"}, 10, 10);
  sleepMs(300);
  Child reader({builtProgram("pal_probe"), "--kind", "15", "--at", "600", "400", "--clip-get"}, kAutomated);
  std::string line;
  ASSERT_TRUE(reader.waitFor("CLIP", 5000, &line));
  EXPECT_EQ(line, "CLIP hello from one");
}

TEST_F(X11, EditBoxTakesTypingAndTabFinishes) {
  startProbe({"--kind", "15", "--at", "100", "100", "--edit"}, 110, 110);
  input->click(100 + 200, 100 + 210);  // into the box, after its text
  input->key(XK_d);
  input->key(XK_e);
  input->key(XK_Tab);
  EXPECT_EQ(next("EDITDONE"), "EDITDONE 0 abcde");
  for (const std::string& l : probe->drain(300)) EXPECT_NE(l.substr(0, 6), "EV 203") << l;
}

TEST_F(X11, ScreenCaptureReturnsTheWindowsPixels) {
  startProbe({"--kind", "15", "--at", "200", "120"}, 210, 130);
  Child cap({builtProgram("pal_probe"), "--capture", "1280", "800", std::to_string(200 + 30), std::to_string(120 + 50)});
  std::string line;
  ASSERT_TRUE(cap.waitFor("CAPTURE", 5000, &line));
  EXPECT_EQ(line, "CAPTURE 1 32 48 224");  // blue, green, red of the button
  Child outside({builtProgram("pal_probe"), "--capture", "1280", "800", "5", "5"});
  ASSERT_TRUE(outside.waitFor("CAPTURE", 5000, &line));
  EXPECT_EQ(line, "CAPTURE 1 0 0 0");
  Child narrow({builtProgram("pal_probe"), "--capture", "1279", "800", "0", "0"});
  ASSERT_TRUE(narrow.waitFor("CAPTURE", 5000, &line));
  EXPECT_EQ(line.substr(0, 10), "CAPTURE -1");
}

TEST(X11Odd, CaptureOfAScreenWhoseWidthIsNotAMultipleOfFour) {
  XServer server(1282, 720);
  ASSERT_TRUE(server.ok());
  Child cap({builtProgram("pal_probe"), "--capture", "1282", "720", "0", "0"});
  std::string line;
  ASSERT_TRUE(cap.waitFor("CAPTURE", 5000, &line));
  EXPECT_EQ(line.substr(0, 10), "CAPTURE -2");
}

TEST_F(X11, RoundedWindowLosesItsTopCornerPixels) {
  startProbe({"--kind", "16", "--at", "300", "200"}, 300 + 300, 200 + 200);
  EXPECT_EQ(input->pixel(300, 200), 0x000000u);          // the corner is cut away
  EXPECT_EQ(input->pixel(300 + 399, 200), 0x000000u);
  EXPECT_EQ(input->pixel(300 + 6, 200), kFill);
  EXPECT_EQ(input->pixel(300, 200 + 6), kFill);
  EXPECT_EQ(input->pixel(300, 200 + 299), kFill);        // bottom corners stay square
  EXPECT_EQ(input->pixel(300 + 399, 200 + 299), kFill);
}

TEST_F(X11, ScreenQueriesWithoutAWindowManager) {
  Child q({builtProgram("pal_probe"), "--screen"});
  std::string line;
  ASSERT_TRUE(q.waitFor("SCREEN", 5000, &line));
  EXPECT_EQ(line, "SCREEN 0 0 1280 800 WORK 0 0 1280 800 DISPLAYS 1");
  Child fg({builtProgram("pal_probe"), "--foreground"});
  ASSERT_TRUE(fg.waitFor("FG", 5000, &line));
  EXPECT_EQ(line, "FG 0 0 0 0 KIND 0");  // no window manager: no active window
  // Two monitors side by side: the primary one is the left half.
  Child({"xrandr", "--setmonitor", "left", "640/169x800/254+0+0", "screen"}).wait(5000);
  Child({"xrandr", "--setmonitor", "right", "640/169x800/254+640+0", "none"}).wait(5000);
  Child two({builtProgram("pal_probe"), "--screen"});
  ASSERT_TRUE(two.waitFor("SCREEN", 5000, &line));
  EXPECT_EQ(line, "SCREEN 0 0 640 800 WORK 0 0 640 800 DISPLAYS 2");
  Child cap({builtProgram("pal_probe"), "--capture", "1280", "800", "0", "0"});
  ASSERT_TRUE(cap.waitFor("CAPTURE", 5000, &line));
  EXPECT_EQ(line.substr(0, 10), "CAPTURE -1");  // only the primary monitor's size is captured
}

// ---- With a window manager ------------------------------------------------------

class X11WithWindowManager : public X11 {
 protected:
  void SetUp() override {
    X11::SetUp();
    wm = std::make_unique<Child>(std::vector<std::string>{"openbox", "--sm-disable"});
    for (int i = 0; i < 100 && !input->hasWindowManager(); ++i) sleepMs(50);
    ASSERT_TRUE(input->hasWindowManager()) << "openbox did not start";
  }
  void TearDown() override {
    app.reset();
    X11::TearDown();
    wm.reset();
  }
  // Starts xcalc and waits until the window manager has framed it and made
  // it the active window (clicking its title bar if it was not given the
  // focus on its own, as happens when it appeared before the manager was
  // ready); returns its window.
  unsigned long startCalculator() {
    unsigned long calc = 0;
    int32_t f[4] = {0, 0, 0, 0};
    // One that mapped while the manager was still starting stays unframed: start it again.
    for (int attempt = 0; attempt < 3 && (calc == 0 || !input->framed(calc)); ++attempt) {
      app = std::make_unique<Child>(std::vector<std::string>{"xcalc"});
      calc = 0;
      for (int i = 0; i < 100 && (calc == 0 || !input->framed(calc)); ++i, sleepMs(50))
        calc = input->findWindow("Calculator");
    }
    if (calc != 0) input->frameRect(calc, f);
    for (int i = 0; i < 60 && input->activeWindow() == 0; ++i) sleepMs(50);
    if (calc != 0 && input->activeWindow() == 0) input->click((f[0] + f[2]) / 2, f[1] + 6);
    for (int i = 0; i < 100 && input->activeWindow() == 0; ++i) sleepMs(50);
    sleepMs(200);
    return calc;
  }
  std::unique_ptr<Child> wm, app;
};

TEST_F(X11WithWindowManager, ForegroundRectangleIsTheCalculatorsFrame) {
  const unsigned long calc = startCalculator();
  ASSERT_NE(calc, 0u);
  int32_t frame[4];
  input->frameRect(calc, frame);
  Child fg({builtProgram("pal_probe"), "--foreground"});
  std::string line;
  ASSERT_TRUE(fg.waitFor("FG", 5000, &line));
  std::ostringstream want;
  want << "FG " << frame[0] << " " << frame[1] << " " << frame[2] << " " << frame[3] << " KIND 1";
  EXPECT_EQ(line, want.str());
  EXPECT_GT(frame[3] - frame[1], 100);  // a real window with a title bar
}

TEST_F(X11WithWindowManager, SyntheticClickPressesACalculatorKey) {
  const unsigned long calc = startCalculator();
  ASSERT_NE(calc, 0u);
  int32_t f[4];
  input->frameRect(calc, f);
  const int w = f[2] - f[0], h = f[3] - f[1];
  // The number display at the top of the calculator, below its title bar.
  auto display = [&] {
    std::vector<uint32_t> px;
    for (int y = f[1] + 28; y < f[1] + 50; y += 2)
      for (int x = f[0] + w / 2; x < f[2] - 12; x += 2) px.push_back(input->pixel(x, y));
    return px;
  };
  const std::vector<uint32_t> before = display();
  const int x = f[0] + w * 46 / 100, y = f[1] + h * 81 / 100;  // the "5" key, mid keypad
  Child click({builtProgram("pal_probe"), "--click", std::to_string(x), std::to_string(y)});
  std::string line;
  ASSERT_TRUE(click.waitFor("CLICKED", 5000, &line));
  EXPECT_EQ(line, "CLICKED " + std::to_string(x) + " " + std::to_string(y));
  bool changed = false;
  for (int i = 0; i < 40 && !changed; ++i, sleepMs(50)) changed = display() != before;
  EXPECT_TRUE(changed) << "the calculator's display did not change";
}

TEST_F(X11WithWindowManager, ButtonStateIsReadGloballyWhileMinimised) {
  startProbe({"--kind", "1", "--minimize", "--poll-status"}, 640, 400);
  input->click(640, 400);  // the probe minimises its window once pressed
  ASSERT_EQ(next("MINIMIZED"), "MINIMIZED");
  EXPECT_TRUE(input->waitForPixel(640, 400, 0x000000, 3000)) << "window still shown";
  bool waited = false, idle = false;  // a worker waited for the minimising; the poll saw no button
  std::string line;
  while ((!waited || !idle) && probe->readLine(&line, 3000)) {
    waited = waited || line == "WAITED";
    idle = idle || line == "STATUS 0";
  }
  EXPECT_TRUE(waited);
  EXPECT_TRUE(idle);
  input->move(200, 700);
  input->button(1, true);
  EXPECT_EQ(next("STATUS"), "STATUS 1");
  input->button(3, true);
  EXPECT_EQ(next("STATUS"), "STATUS 3");
  input->button(1, false);
  input->button(3, false);
  EXPECT_EQ(next("STATUS"), "STATUS 0");
}

TEST_F(X11WithWindowManager, FramedWindowReportsItsBorders) {
  startProbe({"--kind", "1", "--at", "100", "100"}, 300, 250);
  sleepMs(300);
  input->move(300, 300);
  input->click(300, 300);
  input->key(XK_w);
  const std::string line = next("WINDOW");
  ASSERT_FALSE(line.empty());
  int x, y, w, h, side, title, bottom;
  ASSERT_EQ(std::sscanf(line.c_str(), "WINDOW %d %d %d %d %d %d %d", &x, &y, &w, &h, &side, &title, &bottom), 7);
  EXPECT_GT(title, 10);  // openbox draws a title bar
  EXPECT_EQ(w, 400 + 2 * side);
  EXPECT_EQ(h, 300 + title + bottom);
}

// Asks the window manager to maximise window both ways, as an application would.
void maximise(unsigned long window) {
  Display* d = XOpenDisplay(nullptr);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "_NET_WM_STATE", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = 1;  // add
  e.xclient.data.l[1] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_VERT", False));
  e.xclient.data.l[2] = static_cast<long>(XInternAtom(d, "_NET_WM_STATE_MAXIMIZED_HORZ", False));
  e.xclient.data.l[3] = 1;  // from an application
  XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XCloseDisplay(d);
}

// The line starting with prefix that a fresh probe prints for question, asked
// again while it does not end in want, for at most three seconds.
std::string askUntil(const std::string& question, const std::string& prefix, const std::string& want) {
  auto done = [&](const std::string& l) { return l.size() >= want.size() && l.substr(l.size() - want.size()) == want; };
  std::string line;
  for (int i = 0; i < 60 && (i == 0 || !done(line)); ++i) {
    if (i > 0) sleepMs(50);
    Child q({builtProgram("pal_probe"), question});
    if (!q.waitFor(prefix, 5000, &line)) line.clear();
  }
  return line;
}

TEST_F(X11WithWindowManager, PressesAreCountedAndMaximisedWindowsAndThePrimaryOriginReported) {
  const unsigned long calc = startCalculator();
  ASSERT_NE(calc, 0u);
  int32_t f[4];
  input->frameRect(calc, f);
  // Presses over the calculator's number display, where no button acts.
  pal_PressCounter* counter = pal_OpenPressCounter();
  ASSERT_NE(counter, nullptr) << "the server cannot record";
  input->move(f[0] + (f[2] - f[0]) * 3 / 4, f[1] + 40);
  input->button(1, true);  // released at once
  input->button(1, false);
  input->button(3, true);
  input->button(3, false);
  input->button(1, true);  // held
  sleepMs(150);
  input->button(1, false);
  for (int wheel : {4, 5}) {  // wheel steps are not presses
    input->button(wheel, true);
    input->button(wheel, false);
  }
  int64_t presses = 0;
  for (int i = 0; i < 40 && presses < 3; ++i) presses = pal_CountPresses(counter, 50);
  EXPECT_EQ(pal_CountPresses(counter, 300), 3);
  pal_ClosePressCounter(counter);
  const std::string ordinary = askUntil("--foreground", "FG", " KIND 1");
  EXPECT_EQ(ordinary.substr(ordinary.size() - 7), " KIND 1") << ordinary;
  maximise(calc);
  const std::string maximised = askUntil("--foreground", "FG", " KIND 2");
  EXPECT_EQ(maximised.substr(maximised.size() - 7), " KIND 2") << maximised;
  // Two monitors, the primary one on the right.
  Child({"xrandr", "--setmonitor", "left", "640/169x800/254+0+0", "none"}).wait(5000);
  Child({"xrandr", "--setmonitor", "*right", "640/169x800/254+640+0", "screen"}).wait(5000);
  EXPECT_EQ(askUntil("--origin", "ORIGIN", "ORIGIN 640 0"), "ORIGIN 640 0");
}

}  // namespace
