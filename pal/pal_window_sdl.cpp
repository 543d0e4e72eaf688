// pal_window_sdl.cpp: the one window of a program on X11 through SDL2:
// opening the three window kinds, the event loop that turns SDL events
// into the layer's event records, the five timers, alerts, the clipboard
// and the small window operations. SDL is initialised only when the first
// window opens, so programs without a window never need a display.
// Window-system details that SDL leaves out (rounded corners, the active
// window, border sizes) go to Xlib through the window's X handle.
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

pal_EventHandler gpal_CurrentEventHandler = nullptr;
int gpal_TimerStat[PAL_TIMERS + 1][2];
void* gpal_WinID = nullptr;

namespace {

SDL_Window* gWindow = nullptr;
Uint32 gTimerEvent = 0;                      // registered SDL event type of timer firings
Uint32 gWakeEvent = 0;                       // registered SDL event type that only wakes the loop
SDL_TimerID gTimerIds[PAL_TIMERS + 1];
std::atomic<unsigned> gTimerGeneration[PAL_TIMERS + 1];  // stale firings are dropped
std::atomic<std::thread::id> gLoopThread{};  // the thread running the event loop; none while no loop runs

// A one-shot firing that came while an alert showed, kept for delivery
// after it closes (loop thread only).
struct HeldFiring {
  bool held = false;
  unsigned generation = 0;
} gHeld[PAL_TIMERS + 1];
std::string gLocalClipboard;                 // the clipboard while no window system is up
bool gVideoUp = false;

// Drag bar state: the press point while the top rows of a kind >= 10 window are held.
struct Drag {
  bool active = false;
  int32_t x = 0, y = 0;
} gDrag;
int gKind = 0;

void startVideo() {
  if (gVideoUp) return;
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // The programs are X11 programs (capture, the press counter): without an
  // X display SDL would fall back to a driver that shows nothing and waits
  // for ever. SDL_VIDEODRIVER in the environment still wins over this hint.
  SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    char text[400];
    std::snprintf(text, sizeof text, "Cannot open a window: %s", SDL_GetError());
    pal_FatalAlert("No Display", text);
  }
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);  // the X server's button events, see translateButton
  gTimerEvent = SDL_RegisterEvents(2);
  gWakeEvent = gTimerEvent + 1;
  gVideoUp = true;
}

bool x11Handles(Display** display, Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (gWindow == nullptr || !SDL_GetWindowWMInfo(gWindow, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  *display = info.info.x11.display;
  *window = info.info.x11.window;
  return true;
}

// Keeps the X id of the window just opened for the threads that ask about it.
void recordWindowXid() {
  Display* display;
  Window window;
  if (x11Handles(&display, &window)) palSetOwnWindowXid(window);
}

// Rounds the two top corners: rows of the top five lines lose the pixels
// outside an 11 x 11 corner ellipse; the rest of the window stays whole.
void roundTopCorners(int32_t width, int32_t height) {
  Display* display;
  Window window;
  if (!x11Handles(&display, &window)) return;
  XRectangle rects[6];
  int n = 0;
  constexpr double r = 5.5;
  for (int row = 0; row < 5; ++row) {
    const double dy = r - (row + 0.5);
    const int inset = static_cast<int>(std::lround(r - std::sqrt(r * r - dy * dy)));
    rects[n++] = {static_cast<short>(inset), static_cast<short>(row), static_cast<unsigned short>(width - 2 * inset), 1};
  }
  rects[n++] = {0, 5, static_cast<unsigned short>(width), static_cast<unsigned short>(height - 5)};
  XShapeCombineRectangles(display, window, ShapeBounding, 0, 0, rects, n, ShapeSet, Unsorted);
  XFlush(display);
}

// Maps an SDL key to its virtual-key code; -1 for a modifier key alone, 0
// for a key that has none.
pal_Key keyOf(const SDL_Keysym& k) {
  pal_Key key{0, (k.mod & KMOD_SHIFT) != 0, (k.mod & KMOD_CAPS) != 0, (k.mod & KMOD_CTRL) != 0,
              (k.mod & KMOD_ALT) != 0, 0};
  const SDL_Keycode s = k.sym;
  const bool numLock = (k.mod & KMOD_NUM) != 0;
  if (s >= SDLK_a && s <= SDLK_z) key.vk = static_cast<int>(s - SDLK_a + 'A');
  else if (s >= SDLK_0 && s <= SDLK_9) key.vk = static_cast<int>(s - SDLK_0 + '0');
  else if (s >= SDLK_F1 && s <= SDLK_F12) key.vk = static_cast<int>(s - SDLK_F1 + VK_F1);
  else if (s >= SDLK_KP_1 && s <= SDLK_KP_9 && numLock) key.vk = static_cast<int>(s - SDLK_KP_1 + '1');
  else if (s == SDLK_KP_0 && numLock) key.vk = '0';
  else {
    struct Entry {
      SDL_Keycode sym;
      int vk;
      int character;
    };
    static const Entry table[] = {
        {SDLK_BACKSPACE, VK_BACK, 0}, {SDLK_TAB, VK_TAB, 0}, {SDLK_RETURN, VK_RETURN, 0},
        {SDLK_KP_ENTER, VK_RETURN, 0}, {SDLK_ESCAPE, VK_ESCAPE, 0}, {SDLK_SPACE, VK_SPACE, 0},
        {SDLK_LEFT, VK_LEFT, 0}, {SDLK_UP, VK_UP, 0}, {SDLK_RIGHT, VK_RIGHT, 0}, {SDLK_DOWN, VK_DOWN, 0},
        {SDLK_DELETE, VK_DELETE, 0}, {SDLK_HOME, VK_HOME, 0}, {SDLK_END, VK_END, 0}, {SDLK_PAGEUP, VK_PRIOR, 0},
        {SDLK_PAGEDOWN, VK_NEXT, 0}, {SDLK_INSERT, VK_INSERT, 0}, {SDLK_SEMICOLON, 186, 0},
        {SDLK_EQUALS, 187, 0}, {SDLK_COMMA, 188, 0}, {SDLK_MINUS, 189, 0}, {SDLK_PERIOD, 190, 0},
        {SDLK_SLASH, 191, 0}, {SDLK_BACKQUOTE, 192, 0}, {SDLK_LEFTBRACKET, 219, 0}, {SDLK_BACKSLASH, 220, 0},
        {SDLK_RIGHTBRACKET, 221, 0}, {SDLK_QUOTE, 222, 0}, {SDLK_KP_MULTIPLY, 106, '*'},
        {SDLK_KP_PLUS, 107, '+'}, {SDLK_KP_MINUS, 109, '-'}, {SDLK_KP_DIVIDE, 111, '/'},
        // Keypad keys without Num Lock are the navigation keys they are labelled with.
        {SDLK_KP_7, VK_HOME, 0}, {SDLK_KP_8, VK_UP, 0}, {SDLK_KP_9, VK_PRIOR, 0}, {SDLK_KP_4, VK_LEFT, 0},
        {SDLK_KP_5, 12, 0}, {SDLK_KP_6, VK_RIGHT, 0}, {SDLK_KP_1, VK_END, 0}, {SDLK_KP_2, VK_DOWN, 0},
        {SDLK_KP_3, VK_NEXT, 0}, {SDLK_KP_0, VK_INSERT, 0},
        {SDLK_LSHIFT, -1, 0}, {SDLK_RSHIFT, -1, 0}, {SDLK_LCTRL, -1, 0}, {SDLK_RCTRL, -1, 0},
        {SDLK_LALT, -1, 0}, {SDLK_RALT, -1, 0}, {SDLK_CAPSLOCK, -1, 0}, {SDLK_LGUI, -1, 0}, {SDLK_RGUI, -1, 0},
        {SDLK_NUMLOCKCLEAR, -1, 0}, {SDLK_MODE, -1, 0}};
    for (const Entry& e : table)
      if (e.sym == s) {
        key.vk = e.vk;
        key.character = e.character;
      }
    if (s == SDLK_KP_PERIOD) {
      key.vk = numLock ? 110 : VK_DELETE;
      key.character = numLock ? '.' : 0;
    }
  }
  return key;
}

// Runs on SDL's timer thread: it touches nothing shared, only posts the
// firing (timer number and the generation it was started in) to the loop.
// The parameter packs the number (bits 0-6), repeat (bit 7) and generation.
Uint32 timerCallback(Uint32 interval, void* param) {
  const auto packed = reinterpret_cast<uintptr_t>(param);
  SDL_Event e{};
  e.type = gTimerEvent;
  e.user.code = static_cast<Sint32>(packed & 0x7F);
  e.user.data1 = reinterpret_cast<void*>(packed >> 8);
  SDL_PushEvent(&e);
  return (packed & 0x80) != 0 ? interval : 0;
}

void stopTimer(int n) {
  if (gTimerIds[n] != 0) SDL_RemoveTimer(gTimerIds[n]);
  gTimerIds[n] = 0;
  gHeld[n].held = false;
  ++gTimerGeneration[n];
}

}  // namespace

void palStartTimer(int n, int ms, bool repeat) {
  stopTimer(n);
  gpal_TimerStat[n][0] = repeat ? 2 : 1;
  gpal_TimerStat[n][1] = ms;
  const uintptr_t packed = static_cast<uintptr_t>(n) | (repeat ? 0x80u : 0u) |
                           (static_cast<uintptr_t>(gTimerGeneration[n].load()) << 8);
  gTimerIds[n] = SDL_AddTimer(static_cast<Uint32>(ms > 0 ? ms : 1), timerCallback, reinterpret_cast<void*>(packed));
}

namespace {

// Keeps a one-shot timer's current firing that came while an alert
// showed; repeating and stale firings are dropped.
void holdOneShot(const SDL_Event& e) {
  if (e.type != gTimerEvent) return;
  const int n = e.user.code;
  const auto generation = static_cast<unsigned>(reinterpret_cast<uintptr_t>(e.user.data1));
  if (n < 1 || n > PAL_TIMERS || gpal_TimerStat[n][0] != 1 || generation != gTimerGeneration[n].load()) return;
  gHeld[n] = {true, generation};
}

// Takes the first held firing out as a timer event of the queue's form; false when none is held.
bool takeHeldFiring(SDL_Event* e) {
  for (int n = 1; n <= PAL_TIMERS; ++n) {
    if (!gHeld[n].held) continue;
    gHeld[n].held = false;
    *e = SDL_Event{};
    e->type = gTimerEvent;
    e->user.code = n;
    e->user.data1 = reinterpret_cast<void*>(static_cast<uintptr_t>(gHeld[n].generation));
    return true;
  }
  return false;
}

// Drops the input that queued up while a blocking alert was shown; the
// one-shot timer firings among it are held for delivery.
void dropQueuedInput() {
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_KEYDOWN, SDL_MOUSEWHEEL);
  SDL_FlushEvent(SDL_SYSWMEVENT);
  SDL_Event firings[16];
  for (int got; (got = SDL_PeepEvents(firings, 16, SDL_GETEVENT, gTimerEvent, gTimerEvent)) > 0;)
    for (int i = 0; i < got; ++i) holdOneShot(firings[i]);
}

// Wakes the loop from its wait; safe on any thread.
void wakeLoop(Uint32 type) {
  SDL_Event e{};
  e.type = type;
  SDL_PushEvent(&e);
}

bool isInput(const SDL_Event& e) {
  return e.type == SDL_KEYDOWN || e.type == SDL_TEXTINPUT || e.type == SDL_SYSWMEVENT || e.type == SDL_MOUSEMOTION ||
         e.type == gTimerEvent;
}

// The last key press, for the text it types (SDL sends the text after it).
SDL_Keysym gLastKey{};

// Control or Alt with a key types no text: Alt + Z is the edit box's undo,
// not a "z". The right Alt key is the AltGr of many layouts, which types a
// key's third character ("@" on a German keyboard's Q, "€" on its E): that
// text stands, unless it is only the key's own character (the right Alt of
// a US keyboard).
bool commandKeyText(const char* text) {
  const Uint16 mod = gLastKey.mod;
  if ((mod & (KMOD_CTRL | KMOD_LALT | KMOD_GUI)) != 0) return true;
  if ((mod & KMOD_RALT) == 0) return false;
  const auto c = static_cast<unsigned char>(text[0]);
  return c < 0x80 && text[1] == '\0' && std::tolower(c) == static_cast<int>(gLastKey.sym);
}

// Moves the window while the drag bar is held.
void followDrag(int32_t x, int32_t y) {
  int wx, wy;
  SDL_GetWindowPosition(gWindow, &wx, &wy);
  SDL_SetWindowPosition(gWindow, wx + x - gDrag.x, wy + y - gDrag.y);
}

// Fills the record for a press of the left (101) or right (121) button.
bool press(unsigned button, int32_t x, int32_t y, int32_t ev[4], char* name) {
  ev[1] = x;
  ev[2] = y;
  if (button == Button3) {
    ev[0] = PAL_EV_RIGHT;
    return gpal_TextEditCurrSlot < 0;
  }
  if (button != Button1) return false;
  ev[0] = PAL_EV_PRESS;
  if (gKind >= 10 && y < PAL_DRAG_BAR_ROWS) gDrag = {true, x, y};
  if (palEditRouteEvent(ev, name)) ev[0] = PAL_EV_START;
  return ev[0] != PAL_EV_START;
}

// Presses and releases come from the X server's own button events: SDL
// takes a button that went down in a window closed before its release for
// still held, and then drops the next press of it as no change of state.
bool translateButton(const XEvent& x, int32_t ev[4], char* name) {
  if ((x.type != ButtonPress && x.type != ButtonRelease) || x.xbutton.window != palOwnWindowXid()) return false;
  if (x.type == ButtonPress) return press(x.xbutton.button, x.xbutton.x, x.xbutton.y, ev, name);
  if (x.xbutton.button != Button1) return false;
  gDrag.active = false;
  ev[0] = PAL_EV_RELEASE;
  ev[1] = x.xbutton.x;
  ev[2] = x.xbutton.y;
  return !palEditRouteEvent(ev, name);
}

// Fills the record from one SDL event; false when the event is not for the handler.
bool translate(const SDL_Event& e, int32_t ev[4], char* name) {
  switch (e.type) {
    case SDL_QUIT: ev[0] = PAL_EV_CLOSED; return true;
    case SDL_WINDOWEVENT:
      if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
        ev[0] = PAL_EV_CLOSED;
        return true;
      }
      if (e.window.event == SDL_WINDOWEVENT_EXPOSED) pal_UpdateWindowFromBuffer(nullptr);
      return false;
    case SDL_SYSWMEVENT:
      return e.syswm.msg != nullptr && e.syswm.msg->subsystem == SDL_SYSWM_X11 &&
             translateButton(e.syswm.msg->msg.x11.event, ev, name);
    case SDL_MOUSEMOTION:
      if (gDrag.active && (e.motion.state & SDL_BUTTON_LMASK)) followDrag(e.motion.x, e.motion.y);
      ev[0] = PAL_EV_MOVE;
      ev[1] = e.motion.x;
      ev[2] = e.motion.y;
      return !palEditRouteEvent(ev, name);
    case SDL_TEXTINPUT:  // the characters of the keyboard's layout, dead keys and input methods
      if (!commandKeyText(e.text.text)) palEditTextInput(e.text.text);
      return false;
    case SDL_KEYDOWN:
      gLastKey = e.key.keysym;
      pal_MapKeyToEventCode(keyOf(e.key.keysym), ev);
      if (ev[0] == PAL_EV_START) return false;
      return !palEditRouteEvent(ev, name);
    default:
      if (e.type != gTimerEvent) return false;
      {
        const int n = e.user.code;
        if (n < 1 || n > PAL_TIMERS || gpal_TimerStat[n][0] == 0 ||
            reinterpret_cast<uintptr_t>(e.user.data1) != gTimerGeneration[n].load())
          return false;
        if (gpal_TimerStat[n][0] != 2) {
          gpal_TimerStat[n][0] = 0;
          gTimerIds[n] = 0;
        }
        ev[0] = PAL_EV_TIMER;
        ev[1] = n;
        ev[2] = 0;
        return !palEditRouteEvent(ev, name);
      }
  }
}

void closeWindow() {
  pal_DisableAllTimers();
  SDL_DestroyWindow(gWindow);
  gWindow = nullptr;
  palSetOwnWindowXid(0);
  gpal_WinID = nullptr;
  gDrag.active = false;
  pal_DestroyWinBuff(0);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

}  // namespace

bool palWindowOpen() { return gWindow != nullptr; }

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
  gpal_WinSize[0] = width;
  gpal_WinSize[1] = height;
  gpal_WinSize[2] = kind == 16 ? 1 : 0;
  int32_t work[4];
  pal_GetAvailableScreenPixels(1, work);
  if (x == -1) x = work[0] + (work[2] - work[0] - width) / 2;
  if (y == -1) y = work[1] + (work[3] - work[1] - height) / 2;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (kind == 15 || kind == 16) flags |= SDL_WINDOW_BORDERLESS;
  gWindow = SDL_CreateWindow(pal_Cp1252ToUtf8(title ? title : "").c_str(), x, y, width, height, flags);
  if (gWindow == nullptr) {
    char text[400];
    std::snprintf(text, sizeof text, "Cannot open a window: %s", SDL_GetError());
    pal_FatalAlert("No Display", text);
  }
  gpal_WinID = gWindow;
  recordWindowXid();
  if (kind == 16) roundTopCorners(width, height);
  pal_InitWinBuf(0, width, height);

  int32_t ev[4] = {PAL_EV_START, width, height, 0};
  char name[PAL_NAME_LEN] = "";
  gpal_CurrentEventHandler = handler;
  pal_UnmarkAllClickableRects();
  int result = handler(ev, name);
  SDL_ShowWindow(gWindow);
  SDL_RaiseWindow(gWindow);
  if (result == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);

  SDL_Event e;
  // Held one-shot firings go first once no alert shows; then the queue.
  while (result != PAL_CLOSE && ((gpal_AlertShowing == 0 && takeHeldFiring(&e)) || SDL_WaitEvent(&e))) {
    ev[0] = PAL_EV_START;
    ev[1] = gpal_WinSize[0];
    ev[2] = gpal_WinSize[1];
    name[0] = '\0';
    if (gpal_AlertShowing != 0 && isInput(e)) {
      holdOneShot(e);
      continue;
    }
    if (!translate(e, ev, name)) continue;
    result = gpal_CurrentEventHandler(ev, name);
    if (result == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);
    if (ev[0] == PAL_EV_CLOSED && result != PAL_CLOSE) break;
  }
  if (ev[0] < 0) palEndingWindow();
  closeWindow();
  palSetLoopThread(false);
  if (ev[0] < 0) pal_EndProgram(0);
  return ev[0];
}

void pal_DisableTimer(int number) {
  if (number < 1 || number > PAL_TIMERS) return;
  if (gVideoUp) stopTimer(number);
  gpal_TimerStat[number][0] = 0;
}

void pal_DisableAllTimers() {
  for (int n = 1; n <= PAL_TIMERS; ++n) pal_DisableTimer(n);
}

void pal_UpdateWindowFromBuffer(const int32_t* rect) {
  if (gWindow == nullptr || gpal_ImageBuffBits[0] == nullptr) return;
  SDL_Surface* surface = SDL_GetWindowSurface(gWindow);
  if (surface == nullptr) return;
  const int32_t bw = gpal_ImageBuffSize[0][0], bh = gpal_ImageBuffSize[0][1];
  int32_t x0 = 0, y0 = 0, x1 = std::min(bw, surface->w), y1 = std::min(bh, surface->h);
  if (rect != nullptr) {
    x0 = std::max(x0, rect[0]);
    y0 = std::max(y0, rect[1]);
    x1 = std::min(x1, rect[0] + rect[2]);
    y1 = std::min(y1, rect[1] + rect[3]);
  }
  if (x0 >= x1 || y0 >= y1) return;
  SDL_LockSurface(surface);
  const unsigned char* src = gpal_ImageBuffBits[0] + (static_cast<size_t>(y0) * bw + x0) * 4;
  auto* dst = static_cast<unsigned char*>(surface->pixels) + static_cast<size_t>(y0) * surface->pitch + x0 * 4;
  // Buffer pixels are blue, green, red, unused: the surface's own layout
  // (RGB888 with the framebuffer hint); others are converted.
  if (surface->format->format == SDL_PIXELFORMAT_RGB888 || surface->format->format == SDL_PIXELFORMAT_ARGB8888) {
    for (int32_t row = y0; row < y1; ++row, src += bw * 4, dst += surface->pitch)
      std::memcpy(dst, src, static_cast<size_t>(x1 - x0) * 4);
  } else {
    SDL_ConvertPixels(x1 - x0, y1 - y0, SDL_PIXELFORMAT_RGB888, src, bw * 4, surface->format->format, dst,
                      surface->pitch);
  }
  SDL_UnlockSurface(surface);
  if (rect == nullptr) {
    SDL_UpdateWindowSurface(gWindow);
  } else {
    const SDL_Rect r{x0, y0, x1 - x0, y1 - y0};
    SDL_UpdateWindowSurfaceRects(gWindow, &r, 1);
  }
}

bool palShowFatalBox(const char* title, const char* text) {
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, pal_Cp1252ToUtf8(title).c_str(),
                                  pal_Cp1252ToUtf8(text).c_str(), nullptr) == 0;
}

void palShowAlertBox(const char* title, const char* text) {
  const std::string t = pal_Cp1252ToUtf8(title), b = pal_Cp1252ToUtf8(text);
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, t.c_str(), b.c_str(), nullptr) != 0)
    std::fprintf(stderr, "ALERT %s | %s\n", t.c_str(), b.c_str());  // no display to show it on
}

void palDropInputOfAlert() { dropQueuedInput(); }

void palWakeLoop() {
  if (gWakeEvent != 0) wakeLoop(gWakeEvent);
}

void pal_PutClipboardText(const char* text, int /*mode*/) {
  if (!gVideoUp) {
    gLocalClipboard = text;
    return;
  }
  SDL_SetClipboardText(pal_Cp1252ToUtf8(text).c_str());
}

void pal_GetClipboardText(char* dst, int32_t capacity, int /*mode*/) {
  std::string text = gLocalClipboard;
  if (gVideoUp) {
    // Never ask SDL_HasClipboardText first: it uses up a one-shot owner's reply.
    char* clip = SDL_GetClipboardText();
    // Characters the code page cannot hold are left out of the paste.
    text = pal_Utf8ToCp1252(clip ? clip : "");
    SDL_free(clip);
  }
  palDeliverClipboardText(std::move(text), dst, capacity);
}

void pal_SetWindowTitle(const char* text) {
  if (gWindow != nullptr) SDL_SetWindowTitle(gWindow, pal_Cp1252ToUtf8(text).c_str());
}

void pal_MinimizeWindow() {
  if (gWindow != nullptr) SDL_MinimizeWindow(gWindow);
}


void pal_WaitUntilMinimized(int ms) {
  const unsigned long xid = palOwnWindowXid();
  if (xid == 0 || !palWindowManagerRunning()) return;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (palOwnWindowXid() == xid && !palWindowIconic(xid) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void pal_GetPalWindowRect(int32_t rect[4]) {
  rect[0] = rect[1] = rect[2] = rect[3] = 0;
  if (gWindow == nullptr) return;
  int x, y, w, h, top = 0, left = 0, bottom = 0, right = 0;
  SDL_GetWindowPosition(gWindow, &x, &y);
  SDL_GetWindowSize(gWindow, &w, &h);
  SDL_GetWindowBordersSize(gWindow, &top, &left, &bottom, &right);
  rect[0] = x - left;
  rect[1] = y - top;
  rect[2] = w + left + right;
  rect[3] = h + top + bottom;
}

int pal_IsPwinForegroundWin() {
  return gWindow != nullptr && (SDL_GetWindowFlags(gWindow) & SDL_WINDOW_INPUT_FOCUS) != 0 ? 1 : 0;
}

int pal_GetWindowBorderThickness(int kind) {
  if (gWindow == nullptr) return 0;
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(gWindow, &top, &left, &bottom, &right) != 0) return 0;
  if (kind == 0 || kind == 2) return left;
  if (kind == 1) return top;
  if (kind == 3) return bottom;
  return 0;
}
