// pal_x11_window.cpp: the one window of a program on X11, on plain Xlib:
// opening the three window kinds, the event loop that turns the X server's
// events into the layer's event records, the five timers, the clipboard
// and the small window operations. The connection opens with the first
// window, so programs without a window never need a display. Nothing here
// needs more than the X client libraries every X11 desktop has, so the
// Presenter and the unwrapper that travel in wrapped files run anywhere.
//
// The loop waits on the X connection and on a wake pipe with a timeout to
// the next timer's due time: timers are due times kept here, not threads.
// The pipe wakes the loop from other threads (an alert closed, a timer
// started) and from SIGINT and SIGTERM, which close the window as the
// window manager's close does.
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"
#include "pal/pal_x11_image.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

pal_EventHandler gpal_CurrentEventHandler = nullptr;
int gpal_TimerStat[PAL_TIMERS + 1][2];
void* gpal_WinID = nullptr;

namespace {

using Clock = std::chrono::steady_clock;

Display* gDisplay = nullptr;  // the loop's connection: opened with the first window, kept to the end
Window gWindow = 0;
Window gClipWindow = 0;       // unmapped; owns the clipboard while the program's text is on it
Cursor gArrow = 0;            // the arrow, also where the desktop sets no cursor of its own
XIM gIm = nullptr;
XIC gIc = nullptr;            // the input method's context of the open window: dead keys, compose, AltGr
std::unique_ptr<PalXImage> gImage;
int gWake[2] = {-1, -1};      // the wake pipe: 'w' wakes, 'q' closes the window
bool gVideoUp = false;
int gKind = 0;
int32_t gWinW = 0, gWinH = 0;
unsigned gNumLockMask = Mod2Mask;
std::atomic<std::thread::id> gLoopThread{};  // the thread running the event loop; none while no loop runs

struct Atoms {
  Atom protocols, deleteWindow, utf8, clipboard, targets, text, clipProperty, incr, netActive,
      netFrameExtents, motifHints, netWmPid, windowType, typeNormal;
} gAtom;

// A timer's due time; the generation counts its starts and stops, so that
// a firing taken before a stop or restart is known as stale.
struct Timer {
  bool on = false;
  bool repeat = false;
  int ms = 1;
  Clock::time_point due;
};
std::mutex gTimerLock;
Timer gTimers[PAL_TIMERS + 1];
std::atomic<unsigned> gTimerGeneration[PAL_TIMERS + 1];

// One thing the loop waits for.
struct LoopEvent {
  enum Kind { kX, kTimer, kWake, kQuit } kind = kWake;
  XEvent x{};
  int timer = 0;
  unsigned generation = 0;
};

// A one-shot firing that came while an alert showed, kept for delivery
// after it closes (loop thread only).
struct HeldFiring {
  bool held = false;
  unsigned generation = 0;
} gHeld[PAL_TIMERS + 1];
std::deque<XEvent> gKept;        // the window's events kept while an alert's input was dropped
std::string gLocalClipboard;     // the program's own clipboard text (Windows-1252)
bool gOwnClipboard = false;
std::string gPendingText;        // the text of the key just handled, for the active edit box

// Drag bar state: the press point and the window's place while the top
// rows of a kind >= 10 window are held.
struct Drag {
  bool active = false;
  int rootX = 0, rootY = 0;   // the press on the screen
  int left = 0, top = 0;      // the window's frame at the press
} gDrag;

void onSignal(int) {
  const char q = 'q';
  ssize_t ignored = write(gWake[1], &q, 1);
  (void)ignored;
}

// Closes the window on SIGINT and SIGTERM, unless the program handles them itself.
void catchEndSignals() {
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
    struct sigaction mine {};
    mine.sa_handler = onSignal;
    sigemptyset(&mine.sa_mask);
    mine.sa_flags = SA_RESTART;
    sigaction(sig, &mine, nullptr);
  }
}

unsigned numLockMask(Display* d) {
  unsigned mask = 0;
  const KeyCode numLock = XKeysymToKeycode(d, XK_Num_Lock);
  XModifierKeymap* map = XGetModifierMapping(d);
  for (int mod = 0; map != nullptr && numLock != 0 && mod < 8; ++mod)
    for (int k = 0; k < map->max_keypermod; ++k)
      if (map->modifiermap[mod * map->max_keypermod + k] == numLock) mask = 1u << mod;
  if (map != nullptr) XFreeModifiermap(map);
  return mask != 0 ? mask : Mod2Mask;
}

// The input method of the environment's locale (a server's, else Xlib's
// own compose tables), opened under that locale as the C library's other
// users expect the program's own locale left as it was.
void openInputMethod(Display* d) {
  const char* current = std::setlocale(LC_ALL, nullptr);
  const std::string before = current != nullptr ? current : "C";
  if (std::setlocale(LC_ALL, "") != nullptr && XSupportsLocale()) {
    for (const char* modifiers : {"", "@im=none"}) {
      if (XSetLocaleModifiers(modifiers) == nullptr) continue;
      gIm = XOpenIM(d, nullptr, nullptr, nullptr);
      if (gIm != nullptr) break;
    }
  }
  std::setlocale(LC_ALL, before.c_str());
}

void startVideo() {
  if (gVideoUp) return;
  gDisplay = palOpenXDisplay();
  if (gDisplay == nullptr) {
    const char* name = std::getenv("DISPLAY");
    char text[400];
    std::snprintf(text, sizeof text, "Cannot open a window: the X display '%.300s' cannot be opened",
                  name != nullptr ? name : "");
    pal_FatalAlert("No Display", text);
  }
  if (pipe2(gWake, O_NONBLOCK | O_CLOEXEC) != 0) pal_FatalAlert("No Display", "Cannot open a window: no pipe");
  Display* d = gDisplay;
  auto atom = [d](const char* name) { return XInternAtom(d, name, False); };
  gAtom = {atom("WM_PROTOCOLS"), atom("WM_DELETE_WINDOW"), atom("UTF8_STRING"), atom("CLIPBOARD"), atom("TARGETS"),
           atom("TEXT"), atom("PICTOMIRA_CLIPBOARD"), atom("INCR"), atom("_NET_ACTIVE_WINDOW"),
           atom("_NET_FRAME_EXTENTS"), atom("_MOTIF_WM_HINTS"), atom("_NET_WM_PID"), atom("_NET_WM_WINDOW_TYPE"),
           atom("_NET_WM_WINDOW_TYPE_NORMAL")};
  gNumLockMask = numLockMask(d);
  openInputMethod(d);
  gClipWindow = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  gArrow = XCreateFontCursor(d, XC_left_ptr);
  catchEndSignals();
  gVideoUp = true;
}

// Rounds the two top corners: rows of the top five lines lose the pixels
// outside an 11 x 11 corner ellipse; the rest of the window stays whole.
void roundTopCorners(int32_t width, int32_t height) {
  XRectangle rects[6];
  int n = 0;
  constexpr double r = 5.5;
  for (int row = 0; row < 5; ++row) {
    const double dy = r - (row + 0.5);
    const int inset = static_cast<int>(std::lround(r - std::sqrt(r * r - dy * dy)));
    rects[n++] = {static_cast<short>(inset), static_cast<short>(row), static_cast<unsigned short>(width - 2 * inset), 1};
  }
  rects[n++] = {0, 5, static_cast<unsigned short>(width), static_cast<unsigned short>(height - 5)};
  XShapeCombineRectangles(gDisplay, gWindow, ShapeBounding, 0, 0, rects, n, ShapeSet, Unsorted);
}

// The window, unmapped: fixed in size, borderless for kinds 15 and 16,
// closed through the window manager's close button as a close event.
void createWindow(int kind, int32_t x, int32_t y, int32_t width, int32_t height, const char* title) {
  Display* d = gDisplay;
  constexpr long kMask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                         EnterWindowMask | StructureNotifyMask | FocusChangeMask;
  XSetWindowAttributes a{};
  a.background_pixmap = None;  // the buffer's pixels come at once: no flash of a background first
  a.bit_gravity = NorthWestGravity;
  a.event_mask = kMask;
  a.cursor = gArrow;
  gWindow = XCreateWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                          0, CopyFromParent, InputOutput, CopyFromParent,
                          CWBackPixmap | CWBitGravity | CWEventMask | CWCursor, &a);
  palXFixedWindowHints(d, gWindow, x, y, width, height);
  const char* exe = std::strrchr(gpal_ExePath, '/');
  std::string name = exe != nullptr ? exe + 1 : gpal_ExePath;
  if (name.empty()) name = "Pictomira";
  XClassHint klass{name.data(), const_cast<char*>("Pictomira")};
  XSetClassHint(d, gWindow, &klass);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(d, gWindow, gAtom.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XChangeProperty(d, gWindow, gAtom.windowType, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&gAtom.typeNormal), 1);
  if (kind == 15 || kind == 16) {
    const long motif[5] = {2, 0, 0, 0, 0};  // the decorations field given, and none of them
    XChangeProperty(d, gWindow, gAtom.motifHints, gAtom.motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
  }
  palXSetTitle(d, gWindow, title);
  if (kind == 16) roundTopCorners(width, height);
  if (gIm != nullptr) {
    gIc = XCreateIC(gIm, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, gWindow, XNFocusWindow,
                    gWindow, nullptr);
    long filter = 0;
    if (gIc != nullptr && XGetICValues(gIc, XNFilterEvents, &filter, nullptr) == nullptr)
      XSelectInput(d, gWindow, kMask | filter);
  }
  gImage = std::make_unique<PalXImage>(d, gWindow, width, height);
}

// Waits up to ms for an event that match accepts, leaving the others queued.
bool waitForEvent(Bool (*match)(Display*, XEvent*, XPointer), XPointer arg, XEvent* out, int ms) {
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (!XCheckIfEvent(gDisplay, out, match, arg)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{ConnectionNumber(gDisplay), POLLIN, 0};
    poll(&p, 1, static_cast<int>(std::min<long long>(left, 20)));
  }
  return true;
}

Bool isMapNotify(Display*, XEvent* e, XPointer window) {
  return e->type == MapNotify && e->xmap.window == *reinterpret_cast<Window*>(window);
}

// Maps the window, waits until the server shows it, and asks the window
// manager to bring it to the front.
void showWindow() {
  XMapRaised(gDisplay, gWindow);
  XEvent e;
  waitForEvent(isMapNotify, reinterpret_cast<XPointer>(&gWindow), &e, 2000);
  if (palWindowManagerRunning()) {
    XEvent m{};
    m.xclient.type = ClientMessage;
    m.xclient.window = gWindow;
    m.xclient.message_type = gAtom.netActive;
    m.xclient.format = 32;
    m.xclient.data.l[0] = 1;  // from an application
    XSendEvent(gDisplay, DefaultRootWindow(gDisplay), False, SubstructureRedirectMask | SubstructureNotifyMask, &m);
  }
  XFlush(gDisplay);
}

// The window manager's frame around the window: left, right, top, bottom.
void frameExtents(long out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  Atom type;
  int format;
  unsigned long n = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(gDisplay, gWindow, gAtom.netFrameExtents, 0, 4, False, XA_CARDINAL, &type, &format, &n,
                         &after, &data) == Success &&
      data != nullptr && type == XA_CARDINAL && format == 32 && n == 4)
    std::memcpy(out, data, sizeof(long) * 4);
  if (data != nullptr) XFree(data);
}

void windowOrigin(int* x, int* y) {
  Window child;
  *x = *y = 0;
  XTranslateCoordinates(gDisplay, gWindow, DefaultRootWindow(gDisplay), 0, 0, x, y, &child);
}

// ---- Keys --------------------------------------------------------------------

int keypadDigit(KeySym s) { return s >= XK_KP_0 && s <= XK_KP_9 ? static_cast<int>(s - XK_KP_0) : -1; }

// Maps a key to its virtual-key code by the layout's unshifted symbol; -1
// for a modifier key alone, 0 for a key that has none. The keypad's keys
// are known by their Num Lock symbols whichever is in effect.
pal_Key keyOf(XKeyEvent& k) {
  const unsigned state = k.state;
  pal_Key key{0, (state & ShiftMask) != 0, (state & LockMask) != 0, (state & ControlMask) != 0,
              (state & Mod1Mask) != 0, 0};
  const bool numLock = (state & gNumLockMask) != 0;
  const KeySym s = XLookupKeysym(&k, 0), shifted = XLookupKeysym(&k, 1);
  const int digit = std::max(keypadDigit(s), keypadDigit(shifted));
  if (s >= XK_a && s <= XK_z) key.vk = static_cast<int>(s - XK_a + 'A');
  else if (s >= XK_A && s <= XK_Z) key.vk = static_cast<int>(s - XK_A + 'A');
  else if (s >= XK_0 && s <= XK_9) key.vk = static_cast<int>(s - XK_0 + '0');
  else if (s >= XK_F1 && s <= XK_F12) key.vk = static_cast<int>(s - XK_F1 + VK_F1);
  else if (digit >= 0) {
    // Without Num Lock the keypad's digits are the navigation keys they are labelled with.
    static const int navigation[10] = {VK_INSERT, VK_END, VK_DOWN, VK_NEXT, VK_LEFT, 12, VK_RIGHT, VK_HOME, VK_UP, VK_PRIOR};
    key.vk = numLock ? '0' + digit : navigation[digit];
  } else if (shifted == XK_KP_Decimal || s == XK_KP_Decimal || shifted == XK_KP_Separator) {
    key.vk = numLock ? 110 : VK_DELETE;
    key.character = numLock ? '.' : 0;
  } else {
    struct Entry {
      KeySym sym;
      int vk;
      int character;
    };
    static const Entry table[] = {
        {XK_BackSpace, VK_BACK, 0}, {XK_Tab, VK_TAB, 0}, {XK_ISO_Left_Tab, VK_TAB, 0}, {XK_Return, VK_RETURN, 0},
        {XK_KP_Enter, VK_RETURN, 0}, {XK_Escape, VK_ESCAPE, 0}, {XK_space, VK_SPACE, 0}, {XK_Left, VK_LEFT, 0},
        {XK_Up, VK_UP, 0}, {XK_Right, VK_RIGHT, 0}, {XK_Down, VK_DOWN, 0}, {XK_Delete, VK_DELETE, 0},
        {XK_Home, VK_HOME, 0}, {XK_End, VK_END, 0}, {XK_Prior, VK_PRIOR, 0}, {XK_Next, VK_NEXT, 0},
        {XK_Insert, VK_INSERT, 0}, {XK_semicolon, 186, 0}, {XK_equal, 187, 0}, {XK_comma, 188, 0},
        {XK_minus, 189, 0}, {XK_period, 190, 0}, {XK_slash, 191, 0}, {XK_grave, 192, 0},
        {XK_bracketleft, 219, 0}, {XK_backslash, 220, 0}, {XK_bracketright, 221, 0}, {XK_apostrophe, 222, 0},
        {XK_KP_Multiply, 106, '*'}, {XK_KP_Add, 107, '+'}, {XK_KP_Subtract, 109, '-'}, {XK_KP_Divide, 111, '/'},
        {XK_Shift_L, -1, 0}, {XK_Shift_R, -1, 0}, {XK_Control_L, -1, 0}, {XK_Control_R, -1, 0},
        {XK_Alt_L, -1, 0}, {XK_Alt_R, -1, 0}, {XK_Meta_L, -1, 0}, {XK_Meta_R, -1, 0}, {XK_Super_L, -1, 0},
        {XK_Super_R, -1, 0}, {XK_Hyper_L, -1, 0}, {XK_Hyper_R, -1, 0}, {XK_Caps_Lock, -1, 0},
        {XK_Shift_Lock, -1, 0}, {XK_Num_Lock, -1, 0}, {XK_Mode_switch, -1, 0}, {XK_ISO_Level3_Shift, -1, 0},
        {XK_ISO_Level5_Shift, -1, 0}};
    for (const Entry& e : table)
      if (e.sym == s) {
        key.vk = e.vk;
        key.character = e.character;
      }
  }
  return key;
}

// The text a key typed (UTF-8), through the input method when there is
// one. Control or Alt with a key types no text: Alt + Z is the edit box's
// undo, not a "z"; AltGr (the third level) types the key's third character.
// Control characters (Return, Tab, Backspace) are keys, not text.
std::string typedText(XKeyEvent& k) {
  std::string text;
  if (gIc != nullptr) {
    std::vector<char> buf(64);
    KeySym sym = 0;
    Status status = 0;
    int n = Xutf8LookupString(gIc, &k, buf.data(), static_cast<int>(buf.size()), &sym, &status);
    if (status == XBufferOverflow) {
      buf.resize(static_cast<size_t>(n) + 1);
      n = Xutf8LookupString(gIc, &k, buf.data(), static_cast<int>(buf.size()), &sym, &status);
    }
    if (status == XLookupChars || status == XLookupBoth) text.assign(buf.data(), static_cast<size_t>(std::max(0, n)));
  } else {
    char buf[32];
    KeySym sym = 0;
    const int n = XLookupString(&k, buf, sizeof buf, &sym, nullptr);
    for (int i = 0; i < n; ++i) text += pal_Cp1252ToUtf8(std::string(1, buf[i]));  // Latin-1 as the code page
  }
  if ((k.state & (ControlMask | Mod1Mask | Mod4Mask)) != 0) return "";
  if (text.empty() || static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F) return "";
  return text;
}

// ---- Timers -------------------------------------------------------------------

void stopTimer(int n) {
  std::lock_guard<std::mutex> lock(gTimerLock);
  gTimers[n].on = false;
  gHeld[n].held = false;
  ++gTimerGeneration[n];
}

// Takes the most overdue timer's firing; a repeating timer is due again
// one interval later, or one interval from now when the loop fell behind.
bool takeDueTimer(LoopEvent* e) {
  std::lock_guard<std::mutex> lock(gTimerLock);
  const Clock::time_point now = Clock::now();
  int due = 0;
  for (int n = 1; n <= PAL_TIMERS; ++n)
    if (gTimers[n].on && gTimers[n].due <= now && (due == 0 || gTimers[n].due < gTimers[due].due)) due = n;
  if (due == 0) return false;
  Timer& t = gTimers[due];
  if (t.repeat) {
    t.due += std::chrono::milliseconds(t.ms);
    if (t.due <= now) t.due = now + std::chrono::milliseconds(t.ms);
  } else {
    t.on = false;
  }
  e->kind = LoopEvent::kTimer;
  e->timer = due;
  e->generation = gTimerGeneration[due].load();
  return true;
}

// Milliseconds to the next timer's due time; -1 while none runs.
int msToNextTimer() {
  std::lock_guard<std::mutex> lock(gTimerLock);
  const Clock::time_point now = Clock::now();
  long long best = -1;
  for (int n = 1; n <= PAL_TIMERS; ++n) {
    if (!gTimers[n].on) continue;
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(gTimers[n].due - now).count();
    const long long ms = us <= 0 ? 0 : (us + 999) / 1000;
    if (best < 0 || ms < best) best = ms;
  }
  return static_cast<int>(std::min<long long>(best, 1 << 30));
}

}  // namespace

void palStartTimer(int n, int ms, bool repeat) {
  {
    std::lock_guard<std::mutex> lock(gTimerLock);
    gpal_TimerStat[n][0] = repeat ? 2 : 1;
    gpal_TimerStat[n][1] = ms;
    gHeld[n].held = false;
    ++gTimerGeneration[n];
    const int interval = ms > 0 ? ms : 1;
    gTimers[n] = {true, repeat, interval, Clock::now() + std::chrono::milliseconds(interval)};
  }
  if (!palOnLoopThread()) palWakeLoop();  // the loop's wait is to the timers it knew
}

namespace {

// Keeps a one-shot timer's current firing that came while an alert
// showed; repeating and stale firings are dropped.
void holdOneShot(const LoopEvent& e) {
  if (e.kind != LoopEvent::kTimer) return;
  const int n = e.timer;
  if (n < 1 || n > PAL_TIMERS || gpal_TimerStat[n][0] != 1 || e.generation != gTimerGeneration[n].load()) return;
  gHeld[n] = {true, e.generation};
}

// Takes the first held firing out as a timer event; false when none is held.
bool takeHeldFiring(LoopEvent* e) {
  for (int n = 1; n <= PAL_TIMERS; ++n) {
    if (!gHeld[n].held) continue;
    gHeld[n].held = false;
    e->kind = LoopEvent::kTimer;
    e->timer = n;
    e->generation = gHeld[n].generation;
    return true;
  }
  return false;
}

// ---- The clipboard ---------------------------------------------------------------

// Answers another program's request for the clipboard's text.
void serveSelection(const XSelectionRequestEvent& r) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.display = r.display;
  reply.requestor = r.requestor;
  reply.selection = r.selection;
  reply.target = r.target;
  reply.time = r.time;
  reply.property = None;
  const Atom property = r.property != None ? r.property : r.target;  // an old client names no property
  palXQuietly(gDisplay, [&] {  // the requestor may be gone
    if (gOwnClipboard && r.selection == gAtom.clipboard) {
      if (r.target == gAtom.targets) {
        const Atom targets[4] = {gAtom.targets, gAtom.utf8, XA_STRING, gAtom.text};
        XChangeProperty(gDisplay, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(targets), 4);
        reply.property = property;
      } else if (r.target == gAtom.utf8 || r.target == gAtom.text || r.target == XA_STRING) {
        std::string text = pal_Cp1252ToUtf8(gLocalClipboard);
        if (r.target == XA_STRING) {  // Latin-1: the code page's letters beyond it become "?"
          text = gLocalClipboard;
          for (char& c : text)
            if (static_cast<unsigned char>(c) >= 0x80 && static_cast<unsigned char>(c) < 0xA0) c = '?';
        }
        XChangeProperty(gDisplay, r.requestor, property, r.target == XA_STRING ? XA_STRING : gAtom.utf8, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(text.data()),
                        static_cast<int>(text.size()));
        reply.property = property;
      }
    }
    XSendEvent(gDisplay, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  });
}

Bool isSelectionNotify(Display*, XEvent* e, XPointer) {
  return e->type == SelectionNotify && e->xselection.requestor == gClipWindow;
}

// The text another program holds on the clipboard, in the code page; ""
// when there is none or its owner does not answer within a second.
std::string otherProgramsClipboard() {
  for (const Atom target : {gAtom.utf8, static_cast<Atom>(XA_STRING)}) {
    XDeleteProperty(gDisplay, gClipWindow, gAtom.clipProperty);
    XConvertSelection(gDisplay, gAtom.clipboard, target, gAtom.clipProperty, gClipWindow, CurrentTime);
    XFlush(gDisplay);
    XEvent e;
    if (!waitForEvent(isSelectionNotify, nullptr, &e, 1000)) return "";
    if (e.xselection.property == None) continue;  // this form refused: the next one
    Atom type = None;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    std::string text;
    if (XGetWindowProperty(gDisplay, gClipWindow, gAtom.clipProperty, 0, 1 << 22, True, AnyPropertyType, &type,
                           &format, &n, &after, &data) == Success &&
        data != nullptr && format == 8 && type != gAtom.incr)
      text.assign(reinterpret_cast<char*>(data), n);
    if (data != nullptr) XFree(data);
    if (target == gAtom.utf8) return pal_Utf8ToCp1252(text);
    std::string out;  // Latin-1: its control characters 0x80 .. 0x9F are not text
    for (const char c : text)
      if (static_cast<unsigned char>(c) < 0x80 || static_cast<unsigned char>(c) >= 0xA0) out += c;
    return out;
  }
  return "";
}

// ---- The loop -------------------------------------------------------------------

bool isInputType(int type) {
  return type == KeyPress || type == KeyRelease || type == ButtonPress || type == ButtonRelease ||
         type == MotionNotify || type == EnterNotify;
}

bool isInput(const LoopEvent& e) {
  return e.kind == LoopEvent::kTimer || (e.kind == LoopEvent::kX && isInputType(e.x.type));
}

// Empties the wake pipe; true when a signal asked for the window's close.
bool drainWakePipe() {
  bool quit = false;
  char bytes[64];
  for (ssize_t n; (n = read(gWake[0], bytes, sizeof bytes)) > 0;)
    quit = quit || std::memchr(bytes, 'q', static_cast<size_t>(n)) != nullptr;
  return quit;
}

// Waits for the next thing for the loop: kept events first, then due
// timers, then the X server's events, then wakes.
void nextEvent(LoopEvent* e) {
  for (;;) {
    if (!gKept.empty()) {
      e->kind = LoopEvent::kX;
      e->x = gKept.front();
      gKept.pop_front();
      return;
    }
    if (takeDueTimer(e)) return;
    if (XPending(gDisplay) > 0) {
      XNextEvent(gDisplay, &e->x);
      if (XFilterEvent(&e->x, None)) continue;  // the input method's own
      e->kind = LoopEvent::kX;
      return;
    }
    pollfd p[2] = {{ConnectionNumber(gDisplay), POLLIN, 0}, {gWake[0], POLLIN, 0}};
    if (poll(p, 2, msToNextTimer()) > 0 && (p[1].revents & POLLIN) != 0) {
      e->kind = drainWakePipe() ? LoopEvent::kQuit : LoopEvent::kWake;
      return;
    }
  }
}

// Drops the input that queued up while a blocking alert was shown; the
// one-shot timer firings among it are held for delivery.
void dropQueuedInput() {
  XSync(gDisplay, False);
  std::deque<XEvent> kept;
  for (const XEvent& e : gKept)
    if (!isInputType(e.type)) kept.push_back(e);
  while (XPending(gDisplay) > 0) {
    XEvent e;
    XNextEvent(gDisplay, &e);
    if (!isInputType(e.type)) kept.push_back(e);
  }
  gKept = std::move(kept);
  for (LoopEvent t; takeDueTimer(&t);) holdOneShot(t);
}

// Moves the window while the drag bar is held.
void followDrag(int rootX, int rootY) {
  XMoveWindow(gDisplay, gWindow, gDrag.left + rootX - gDrag.rootX, gDrag.top + rootY - gDrag.rootY);
}

// Fills the record for a press of the left (101) or right (121) button.
bool press(const XButtonEvent& b, int32_t ev[4], char* name) {
  ev[1] = b.x;
  ev[2] = b.y;
  if (b.button == Button3) {
    ev[0] = PAL_EV_RIGHT;
    return gpal_TextEditCurrSlot < 0;
  }
  if (b.button != Button1) return false;
  ev[0] = PAL_EV_PRESS;
  if (gKind >= 10 && b.y < PAL_DRAG_BAR_ROWS) {
    long frame[4];
    frameExtents(frame);
    int x, y;
    windowOrigin(&x, &y);
    gDrag = {true, b.x_root, b.y_root, x - static_cast<int>(frame[0]), y - static_cast<int>(frame[2])};
  }
  if (palEditRouteEvent(ev, name)) ev[0] = PAL_EV_START;
  return ev[0] != PAL_EV_START;
}

bool translateButton(const XButtonEvent& b, int32_t ev[4], char* name) {
  if (b.window != gWindow) return false;
  if (b.type == ButtonPress) return press(b, ev, name);
  if (b.button != Button1) return false;
  gDrag.active = false;
  ev[0] = PAL_EV_RELEASE;
  ev[1] = b.x;
  ev[2] = b.y;
  return !palEditRouteEvent(ev, name);
}

bool translateX(XEvent& x, int32_t ev[4], char* name) {
  switch (x.type) {
    case ClientMessage:
      if (x.xclient.window != gWindow || x.xclient.message_type != gAtom.protocols ||
          static_cast<Atom>(x.xclient.data.l[0]) != gAtom.deleteWindow)
        return false;
      ev[0] = PAL_EV_CLOSED;
      return true;
    case Expose:
      if (x.xexpose.window == gWindow && x.xexpose.count == 0) pal_UpdateWindowFromBuffer(nullptr);
      return false;
    case ButtonPress:
    case ButtonRelease: return translateButton(x.xbutton, ev, name);
    case MotionNotify:
    case EnterNotify: {
      if (x.xany.window != gWindow) return false;
      const bool motion = x.type == MotionNotify;
      if (!motion && x.xcrossing.mode != NotifyNormal) return false;
      if (motion && gDrag.active && (x.xmotion.state & Button1Mask) != 0) followDrag(x.xmotion.x_root, x.xmotion.y_root);
      ev[0] = PAL_EV_MOVE;
      ev[1] = motion ? x.xmotion.x : x.xcrossing.x;
      ev[2] = motion ? x.xmotion.y : x.xcrossing.y;
      return !palEditRouteEvent(ev, name);
    }
    case KeyPress: {
      if (x.xkey.window != gWindow) return false;
      gPendingText = typedText(x.xkey);  // the characters of the keyboard's layout, dead keys and input methods
      pal_MapKeyToEventCode(keyOf(x.xkey), ev);
      if (ev[0] == PAL_EV_START) return false;
      return !palEditRouteEvent(ev, name);
    }
    case FocusIn:
      if (gIc != nullptr && x.xfocus.window == gWindow) XSetICFocus(gIc);
      return false;
    case FocusOut:
      if (gIc != nullptr && x.xfocus.window == gWindow) XUnsetICFocus(gIc);
      return false;
    case SelectionRequest: serveSelection(x.xselectionrequest); return false;
    case SelectionClear:
      if (x.xselectionclear.window == gClipWindow) gOwnClipboard = false;
      return false;
    case MappingNotify:
      XRefreshKeyboardMapping(&x.xmapping);
      gNumLockMask = numLockMask(gDisplay);
      return false;
    default: return false;
  }
}

// Fills the record from one loop event; false when the event is not for the handler.
bool translate(LoopEvent& e, int32_t ev[4], char* name) {
  switch (e.kind) {
    case LoopEvent::kQuit: ev[0] = PAL_EV_CLOSED; return true;
    case LoopEvent::kWake: return false;
    case LoopEvent::kX: return translateX(e.x, ev, name);
    case LoopEvent::kTimer: break;
  }
  const int n = e.timer;
  if (n < 1 || n > PAL_TIMERS || gpal_TimerStat[n][0] == 0 || e.generation != gTimerGeneration[n].load()) return false;
  if (gpal_TimerStat[n][0] != 2) gpal_TimerStat[n][0] = 0;
  ev[0] = PAL_EV_TIMER;
  ev[1] = n;
  ev[2] = 0;
  return !palEditRouteEvent(ev, name);
}

void closeWindow() {
  pal_DisableAllTimers();
  if (gIc != nullptr) XDestroyIC(gIc);
  gIc = nullptr;
  gImage.reset();
  XDestroyWindow(gDisplay, gWindow);
  XSync(gDisplay, False);
  // What came for the window goes with it; the clipboard is still served.
  while (XPending(gDisplay) > 0) {
    XEvent e;
    XNextEvent(gDisplay, &e);
    if (e.type == SelectionRequest) serveSelection(e.xselectionrequest);
    else if (e.type == SelectionClear && e.xselectionclear.window == gClipWindow) gOwnClipboard = false;
  }
  gKept.clear();
  drainWakePipe();
  gPendingText.clear();
  gWindow = 0;
  palSetOwnWindowXid(0);
  gpal_WinID = nullptr;
  gDrag.active = false;
  pal_DestroyWinBuff(0);
}

}  // namespace

bool palWindowOpen() { return gWindow != 0; }

bool palOnLoopThread() {
  const std::thread::id loop = gLoopThread.load();
  return loop == std::thread::id() || loop == std::this_thread::get_id();
}

void palSetLoopThread(bool running) { gLoopThread = running ? std::this_thread::get_id() : std::thread::id(); }

int pal_RunWindow(int kind, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                  pal_EventHandler handler) {
  if (gpal_PlatformFlag == 0) pal_FatalAlert("Need Init", "Please run 'pal_InitPAL' first");
  palSetLoopThread(true);
  startVideo();
  gKind = kind;
  gWinW = width;
  gWinH = height;
  gpal_WinSize[0] = width;
  gpal_WinSize[1] = height;
  gpal_WinSize[2] = kind == 16 ? 1 : 0;
  int32_t work[4];
  pal_GetAvailableScreenPixels(1, work);
  if (x == -1) x = work[0] + (work[2] - work[0] - width) / 2;
  if (y == -1) y = work[1] + (work[3] - work[1] - height) / 2;
  createWindow(kind, x, y, width, height, title);
  gpal_WinID = reinterpret_cast<void*>(static_cast<uintptr_t>(gWindow));
  palSetOwnWindowXid(gWindow);
  pal_InitWinBuf(0, width, height);

  int32_t ev[4] = {PAL_EV_START, width, height, 0};
  char name[PAL_NAME_LEN] = "";
  gpal_CurrentEventHandler = handler;
  pal_UnmarkAllClickableRects();
  int result = handler(ev, name);
  showWindow();
  if (result == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);

  LoopEvent e;
  while (result != PAL_CLOSE) {
    // Held one-shot firings go first once no alert shows; then the queue.
    if (gpal_AlertShowing != 0 || !takeHeldFiring(&e)) nextEvent(&e);
    ev[0] = PAL_EV_START;
    ev[1] = gpal_WinSize[0];
    ev[2] = gpal_WinSize[1];
    name[0] = '\0';
    gPendingText.clear();
    if (gpal_AlertShowing != 0 && isInput(e)) {
      holdOneShot(e);
      continue;
    }
    const bool forHandler = translate(e, ev, name);
    if (forHandler) {
      result = gpal_CurrentEventHandler(ev, name);
      if (result == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);
    }
    // A key's text reaches the active edit box after the key itself.
    if (!gPendingText.empty() && result != PAL_CLOSE) palEditTextInput(gPendingText);
    if (forHandler && ev[0] == PAL_EV_CLOSED && result != PAL_CLOSE) break;
  }
  if (ev[0] < 0) palEndingWindow();
  closeWindow();
  palSetLoopThread(false);
  if (ev[0] < 0) pal_EndProgram(0);
  return ev[0];
}

void pal_DisableTimer(int number) {
  if (number < 1 || number > PAL_TIMERS) return;
  stopTimer(number);
  gpal_TimerStat[number][0] = 0;
}

void pal_DisableAllTimers() {
  for (int n = 1; n <= PAL_TIMERS; ++n) pal_DisableTimer(n);
}

void pal_UpdateWindowFromBuffer(const int32_t* rect) {
  if (gWindow == 0 || gImage == nullptr || gpal_ImageBuffBits[0] == nullptr) return;
  const int32_t bw = gpal_ImageBuffSize[0][0], bh = gpal_ImageBuffSize[0][1];
  int32_t x0 = 0, y0 = 0, x1 = std::min(bw, gWinW), y1 = std::min(bh, gWinH);
  if (rect != nullptr) {
    x0 = std::max(x0, rect[0]);
    y0 = std::max(y0, rect[1]);
    x1 = std::min(x1, rect[0] + rect[2]);
    y1 = std::min(y1, rect[1] + rect[3]);
  }
  if (x0 >= x1 || y0 >= y1) return;
  gImage->show(gpal_ImageBuffBits[0], bw * 4, x0, y0, x1 - x0, y1 - y0);
}

void palDropInputOfAlert() { dropQueuedInput(); }

void palWakeLoop() {
  if (gWake[1] < 0) return;
  const char w = 'w';
  ssize_t ignored = write(gWake[1], &w, 1);  // a full pipe wakes the loop already
  (void)ignored;
}

void pal_PutClipboardText(const char* text, int /*mode*/) {
  gLocalClipboard = text;
  if (!gVideoUp) return;
  XSetSelectionOwner(gDisplay, gAtom.clipboard, gClipWindow, CurrentTime);
  gOwnClipboard = XGetSelectionOwner(gDisplay, gAtom.clipboard) == gClipWindow;
}

void pal_GetClipboardText(char* dst, int32_t capacity, int /*mode*/) {
  std::string text = gLocalClipboard;
  if (gVideoUp) {
    const Window owner = XGetSelectionOwner(gDisplay, gAtom.clipboard);
    // Characters the code page cannot hold are left out of the paste.
    if (owner != gClipWindow || !gOwnClipboard) text = owner == None ? "" : otherProgramsClipboard();
  }
  palDeliverClipboardText(std::move(text), dst, capacity);
}

void pal_SetWindowTitle(const char* text) {
  if (gWindow == 0) return;
  palXSetTitle(gDisplay, gWindow, text);
  XFlush(gDisplay);
}

void pal_MinimizeWindow() {
  if (gWindow == 0) return;
  XIconifyWindow(gDisplay, gWindow, DefaultScreen(gDisplay));
  XFlush(gDisplay);
}

void pal_WaitUntilMinimized(int ms) {
  const unsigned long xid = palOwnWindowXid();
  if (xid == 0 || !palWindowManagerRunning()) return;
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  while (palOwnWindowXid() == xid && !palWindowIconic(xid) && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void pal_GetPalWindowRect(int32_t rect[4]) {
  rect[0] = rect[1] = rect[2] = rect[3] = 0;
  if (gWindow == 0) return;
  int x, y;
  windowOrigin(&x, &y);
  long frame[4];  // left, right, top, bottom
  frameExtents(frame);
  rect[0] = x - static_cast<int32_t>(frame[0]);
  rect[1] = y - static_cast<int32_t>(frame[2]);
  rect[2] = gWinW + static_cast<int32_t>(frame[0] + frame[1]);
  rect[3] = gWinH + static_cast<int32_t>(frame[2] + frame[3]);
}

int pal_IsPwinForegroundWin() {
  if (gWindow == 0) return 0;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(gDisplay, &focus, &revert);
  return focus == gWindow ? 1 : 0;
}

int pal_GetWindowBorderThickness(int kind) {
  if (gWindow == 0) return 0;
  long frame[4];  // left, right, top, bottom
  frameExtents(frame);
  if (kind == 0 || kind == 2) return static_cast<int>(frame[0]);
  if (kind == 1) return static_cast<int>(frame[2]);
  if (kind == 3) return static_cast<int>(frame[3]);
  return 0;
}
