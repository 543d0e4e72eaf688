// xsession.h: whole-program test support: a private Xvfb server, child
// programs with their standard output read line by line, real input sent
// through the XTest extension, and the screen's pixels read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Xvfb on a free display, started with -noreset; DISPLAY points at it while
// the object lives. Stopped by its process id.
class XServer {
 public:
  explicit XServer(int width = 1280, int height = 800);
  ~XServer();
  bool ok() const { return pid_ > 0; }
  const std::string& display() const { return display_; }

 private:
  int pid_ = -1;
  std::string display_;
  std::string previous_;
};

// A session bus with the accessibility bus on it, for the programs started
// from now on (DBUS_SESSION_BUS_ADDRESS is set while the object lives).
class Child;
class AccessibilityBus {
 public:
  AccessibilityBus();
  ~AccessibilityBus();
  bool ok() const { return !address_.empty() && pid_ > 0; }

 private:
  std::string address_;
  int pid_ = -1;
  Child* launcher_ = nullptr;
};

// A child program; its standard output (and standard error, merged) is read
// line by line.
class Child {
 public:
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
  ~Child();
  // The next output line, or false when none arrived within ms.
  bool readLine(std::string* line, int ms);
  // Reads lines until one starts with prefix; false on time-out or end.
  bool waitFor(const std::string& prefix, int ms, std::string* line = nullptr);
  // Every line that arrives within ms.
  std::vector<std::string> drain(int ms);
  // Waits for the exit: the exit status, or -1 when it did not end in ms.
  int wait(int ms);
  void kill();
  int pid() const { return pid_; }
  // Prints the output still to come as "program: ..." lines (the edit
  // boxes' fitting traces left out) and the exit status: for a failed test.
  void report();

 private:
  int pid_ = -1;
  int out_ = -1;
  std::string pending_;
  bool exited_ = false;
  int status_ = -1;
};

// Real input and screen reading through a connection of the test's own.
class XInput {
 public:
  XInput();
  ~XInput();
  void move(int x, int y);
  void button(int number, bool down);
  void click(int x, int y, int number = 1);
  // Presses and releases the key of keysym with the modifier keysyms held.
  void key(unsigned long keysym, const std::vector<unsigned long>& modifiers = {});
  void keycode(int code, bool down);
  int keycodeOf(unsigned long keysym);
  // Switches the server's keyboard layout (setxkbmap: "de", "fr", "us").
  bool setLayout(const std::string& layout);
  // Types UTF-8 text of Latin-1 characters as a typist of the current
  // layout does: each character's own key, with Shift where the layout puts
  // it on the second level. False when the layout has no key for one.
  bool typeOnLayout(const std::string& utf8);
  // Presses the keys of keysyms (dead keys, AltGr's third level included) as
  // the current layout places them.
  bool pressOnLayout(const std::vector<unsigned long>& keysyms);
  void sync();
  // The pointer's position on the root window.
  void pointer(int* x, int* y);
  // A rectangle of the root window as packed blue, green, red bytes, rows from the top.
  std::vector<unsigned char> grab(int x, int y, int w, int h);
  // Colour 0xRRGGBB of a root-window pixel.
  uint32_t pixel(int x, int y);
  // Waits until pixel (x, y) has colour; false after ms.
  bool waitForPixel(int x, int y, uint32_t colour, int ms);
  // Window properties of the root, for the window-manager tests.
  bool hasWindowManager();
  unsigned long activeWindow();
  // The top-level window whose name is name (searched below the root), or 0.
  unsigned long findWindow(const std::string& name);
  // True when a window manager has put window into a frame of its own.
  bool framed(unsigned long window);
  // Outer rectangle (left, top, right, bottom) of a top-level window's frame.
  void frameRect(unsigned long window, int32_t out[4]);
  // The root position of a window's top-left pixel; false when it is gone.
  bool origin(unsigned long window, int* x, int* y);
  // True while a window is mapped and viewable (not iconified).
  bool viewable(unsigned long window);
  // Asks a top-level window to close as a window manager's close button
  // does (WM_DELETE_WINDOW).
  void requestClose(unsigned long window);

 private:
  void* display_ = nullptr;
};

// Path of a program built in this tree (compile-time definition).
std::string builtProgram(const char* name);
// Milliseconds of sleep.
void sleepMs(int ms);
