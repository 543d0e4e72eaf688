// xsession.cpp: Xvfb, child programs and XTest input for whole-program tests.
#include "tests/support/xsession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

Display* dpy(void* p) { return static_cast<Display*>(p); }

}  // namespace

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// ---- XServer ------------------------------------------------------------------

XServer::XServer(int width, int height) {
  int fds[2];
  if (pipe(fds) != 0) return;
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string fd = std::to_string(fds[1]);
  pid_ = fork();
  if (pid_ == 0) {
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 2);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-noreset", "-nolisten", "tcp",
           "+extension", "XTEST", "-ac", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto until = Clock::now() + std::chrono::seconds(20);
  while (msLeft(until) > 0 && poll(&p, 1, msLeft(until)) > 0) {
    char c;
    if (read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(fds[0]);
  if (number.empty()) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  display_ = ":" + number;
  const char* prev = std::getenv("DISPLAY");
  previous_ = prev ? prev : "";
  setenv("DISPLAY", display_.c_str(), 1);
  // The programs started on it are in an X11 session, whatever session runs the tests.
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("XDG_SESSION_TYPE");
}

XServer::~XServer() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  if (previous_.empty()) unsetenv("DISPLAY");
  else setenv("DISPLAY", previous_.c_str(), 1);
}

// ---- Child --------------------------------------------------------------------

Child::Child(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int fds[2];
  if (pipe(fds) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& mine : env)
      if (entry.substr(0, entry.find('=') + 1) == mine.substr(0, mine.find('=') + 1)) replaced = true;
    if (!replaced) envs.push_back(entry);
  }
  envs.insert(envs.end(), env.begin(), env.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : envs) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  out_ = fds[0];
}

Child::~Child() {
  kill();
  if (out_ >= 0) close(out_);
}

bool Child::readLine(std::string* line, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const size_t nl = pending_.find('\n');
    if (nl != std::string::npos) {
      *line = pending_.substr(0, nl);
      pending_.erase(0, nl + 1);
      return true;
    }
    pollfd p{out_, POLLIN, 0};
    if (out_ < 0 || poll(&p, 1, msLeft(until)) <= 0) return false;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) {
      close(out_);
      out_ = -1;
      if (pending_.empty()) return false;
      pending_ += '\n';
      continue;
    }
    pending_.append(buf, static_cast<size_t>(n));
  }
}

bool Child::waitFor(const std::string& prefix, int ms, std::string* line) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  std::string l;
  while (readLine(&l, msLeft(until))) {
    if (l.compare(0, prefix.size(), prefix) == 0) {
      if (line) *line = l;
      return true;
    }
  }
  return false;
}

std::vector<std::string> Child::drain(int ms) {
  std::vector<std::string> lines;
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  std::string l;
  while (msLeft(until) > 0 && readLine(&l, msLeft(until))) lines.push_back(l);
  return lines;
}

int Child::wait(int ms) {
  if (exited_) return status_;
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  do {
    int st = 0;
    if (pid_ > 0 && waitpid(pid_, &st, WNOHANG) == pid_) {
      exited_ = true;
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      return status_;
    }
    sleepMs(10);
  } while (msLeft(until) > 0);
  return -1;
}

void Child::report() {
  for (const std::string& line : drain(300))
    if (line.rfind("availLines", 0) != 0) std::printf("program: %s\n", line.c_str());
  std::printf("program: exit status %d\n", wait(0));
}

void Child::kill() {
  if (pid_ <= 0 || exited_) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  exited_ = true;
}

// ---- XInput -------------------------------------------------------------------

// Windows come and go while the tests look at them: a request about one
// that has just gone is no failure of the test process.
static int ignoreXErrors(Display*, XErrorEvent*) { return 0; }

XInput::XInput() {
  display_ = XOpenDisplay(nullptr);
  XSetErrorHandler(ignoreXErrors);
}

XInput::~XInput() {
  if (display_) XCloseDisplay(dpy(display_));
}

void XInput::sync() { XSync(dpy(display_), False); }

void XInput::pointer(int* x, int* y) {
  Display* d = dpy(display_);
  Window root, child;
  int wx, wy;
  unsigned int mask;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, x, y, &wx, &wy, &mask);
}

void XInput::move(int x, int y) {
  XTestFakeMotionEvent(dpy(display_), -1, x, y, CurrentTime);
  sync();
}

void XInput::button(int number, bool down) {
  XTestFakeButtonEvent(dpy(display_), static_cast<unsigned>(number), down ? True : False, CurrentTime);
  sync();
}

void XInput::click(int x, int y, int number) {
  move(x, y);
  sleepMs(30);
  button(number, true);
  sleepMs(30);
  button(number, false);
  sleepMs(30);
}

int XInput::keycodeOf(unsigned long keysym) { return XKeysymToKeycode(dpy(display_), keysym); }

void XInput::keycode(int code, bool down) {
  XTestFakeKeyEvent(dpy(display_), static_cast<unsigned>(code), down ? True : False, CurrentTime);
  sync();
}

bool XInput::setLayout(const std::string& layout) {
  const std::string cmd = "setxkbmap -display " + std::string(DisplayString(dpy(display_))) + " " + layout;
  if (std::system(cmd.c_str()) != 0) return false;
  sleepMs(300);  // the programs take the new map from their MappingNotify
  return true;
}

bool XInput::typeOnLayout(const std::string& utf8) {
  std::vector<unsigned long> syms;
  for (size_t i = 0; i < utf8.size();) {
    // Latin-1 characters are their own keysyms.
    unsigned long sym = static_cast<unsigned char>(utf8[i]);
    if (sym >= 0xC0 && i + 1 < utf8.size()) {
      sym = ((sym & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F);
      i += 2;
    } else {
      ++i;
    }
    syms.push_back(sym);
  }
  return pressOnLayout(syms);
}

bool XInput::pressOnLayout(const std::vector<unsigned long>& keysyms) {
  // A connection of its own reads the layout as it is now (Xlib caches a map).
  Display* d = XOpenDisplay(DisplayString(dpy(display_)));
  if (d == nullptr) return false;
  int low = 8, high = 255, perCode = 0;
  XDisplayKeycodes(d, &low, &high);
  KeySym* map = XGetKeyboardMapping(d, static_cast<KeyCode>(low), high - low + 1, &perCode);
  const int shift = XKeysymToKeycode(d, XK_Shift_L), level3 = XKeysymToKeycode(d, XK_ISO_Level3_Shift);
  // The core map's columns of the first group: plain, Shift, AltGr, AltGr + Shift.
  const int columns[4] = {0, 1, 4, 5};
  bool ok = true;
  for (const unsigned long sym : keysyms) {
    int found = -1, column = 0;
    for (int code = low; code <= high && found < 0; ++code)
      for (int c = 0; c < 4 && found < 0; ++c)
        if (columns[c] < perCode && map[(code - low) * perCode + columns[c]] == sym) found = code, column = c;
    if (found < 0 || (column >= 2 && level3 == 0)) {
      ok = false;
      break;
    }
    const auto press = [d](int code, bool down) {
      XTestFakeKeyEvent(d, static_cast<unsigned>(code), down ? True : False, CurrentTime);
    };
    if (column >= 2) press(level3, true);
    if (column % 2 == 1) press(shift, true);
    press(found, true);
    press(found, false);
    if (column % 2 == 1) press(shift, false);
    if (column >= 2) press(level3, false);
    XSync(d, False);
    sleepMs(25);
  }
  XFree(map);
  XCloseDisplay(d);
  return ok;
}

void XInput::key(unsigned long keysym, const std::vector<unsigned long>& modifiers) {
  for (unsigned long m : modifiers) keycode(keycodeOf(m), true);
  keycode(keycodeOf(keysym), true);
  keycode(keycodeOf(keysym), false);
  for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) keycode(keycodeOf(*it), false);
  sleepMs(20);
}

std::vector<unsigned char> XInput::grab(int x, int y, int w, int h) {
  std::vector<unsigned char> out(size_t{3} * w * h);
  Display* d = dpy(display_);
  XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                          ZPixmap);
  if (img == nullptr) return {};
  for (int row = 0; row < h; ++row)
    for (int col = 0; col < w; ++col) {
      const unsigned long p = XGetPixel(img, col, row);
      unsigned char* o = &out[size_t{3} * (static_cast<size_t>(w) * row + col)];
      o[0] = p & 0xFF;
      o[1] = (p >> 8) & 0xFF;
      o[2] = (p >> 16) & 0xFF;
    }
  XDestroyImage(img);
  return out;
}

uint32_t XInput::pixel(int x, int y) {
  Display* d = dpy(display_);
  XImage* img = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
  if (img == nullptr) return 0xFFFFFFFF;
  const unsigned long p = XGetPixel(img, 0, 0);
  XDestroyImage(img);
  return static_cast<uint32_t>(p & 0xFFFFFF);
}

bool XInput::waitForPixel(int x, int y, uint32_t colour, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  do {
    if (pixel(x, y) == colour) return true;
    sleepMs(20);
  } while (msLeft(until) > 0);
  return false;
}

static long rootLong(Display* d, Window w, const char* name, Atom type) {
  Atom actual;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  long value = 0;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1, False, type, &actual, &format, &count, &after,
                         &data) == Success &&
      data != nullptr && count == 1)
    value = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return value;
}

bool XInput::hasWindowManager() {
  return rootLong(dpy(display_), DefaultRootWindow(dpy(display_)), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) != 0;
}

unsigned long XInput::activeWindow() {
  return static_cast<unsigned long>(
      rootLong(dpy(display_), DefaultRootWindow(dpy(display_)), "_NET_ACTIVE_WINDOW", XA_WINDOW));
}

unsigned long XInput::findWindow(const std::string& name) {
  Display* d = dpy(display_);
  std::function<Window(Window)> search = [&](Window w) -> Window {
    XTextProperty prop;  // WM_NAME may be STRING or UTF8_STRING: compare its bytes
    if (XGetWMName(d, w, &prop) && prop.value) {
      const bool match = name == std::string(reinterpret_cast<char*>(prop.value), prop.nitems);
      XFree(prop.value);
      if (match) return w;
    }
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i) found = search(children[i]);
    if (children) XFree(children);
    return found;
  };
  return search(DefaultRootWindow(d));
}

bool XInput::framed(unsigned long window) {
  Window root, parent, *children = nullptr;
  unsigned int n;
  if (!XQueryTree(dpy(display_), window, &root, &parent, &children, &n)) return false;
  if (children) XFree(children);
  return parent != root;
}

bool XInput::origin(unsigned long window, int* x, int* y) {
  Display* d = dpy(display_);
  Window child;
  return XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, x, y, &child) != 0;
}

bool XInput::viewable(unsigned long window) {
  XWindowAttributes a;
  return XGetWindowAttributes(dpy(display_), window, &a) != 0 && a.map_state == IsViewable;
}

void XInput::requestClose(unsigned long window) {
  Display* d = dpy(display_);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, window, False, NoEventMask, &e);
  XSync(d, False);
}

void XInput::frameRect(unsigned long window, int32_t out[4]) {
  Display* d = dpy(display_);
  // Climb to the child of the root: the window manager's frame around it.
  Window w = window, root, parent, *children = nullptr;
  unsigned int n;
  for (;;) {
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) break;
    if (children) XFree(children);
    if (parent == root) break;
    w = parent;
  }
  XWindowAttributes a;
  XGetWindowAttributes(d, w, &a);
  out[0] = a.x;
  out[1] = a.y;
  out[2] = a.x + a.width + 2 * a.border_width;
  out[3] = a.y + a.height + 2 * a.border_width;
}

std::string builtProgram(const char* name) { return std::string(PICTOMIRA_BUILD_DIR) + "/" + name; }

AccessibilityBus::AccessibilityBus() {
  std::FILE* p = popen("dbus-launch --sh-syntax 2>/dev/null", "r");
  char line[512];
  while (p != nullptr && std::fgets(line, sizeof line, p)) {
    const std::string l = line;
    const size_t eq = l.find('='), end = l.find(';');
    if (eq == std::string::npos || end == std::string::npos) continue;
    std::string value = l.substr(eq + 1, end - eq - 1);
    if (value.size() >= 2 && value.front() == '\'') value = value.substr(1, value.size() - 2);
    if (l.rfind("DBUS_SESSION_BUS_ADDRESS", 0) == 0) address_ = value;
    if (l.rfind("DBUS_SESSION_BUS_PID", 0) == 0) pid_ = std::atoi(value.c_str());
  }
  if (p != nullptr) pclose(p);
  if (!ok()) return;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.c_str(), 1);
  launcher_ = new Child({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"});
  sleepMs(500);
}

AccessibilityBus::~AccessibilityBus() {
  delete launcher_;
  if (pid_ > 0) ::kill(pid_, SIGTERM);
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}
