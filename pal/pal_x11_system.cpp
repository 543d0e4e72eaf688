// pal_x11_system.cpp: what the programs ask of the X server beyond their own
// window: monitors and the work area, the foreground window of another
// application, the pointer and the global button state, synthetic clicks
// through the XTest extension, and capturing the primary monitor through
// shared memory (XShm, with XGetImage as the fallback). Every thread that
// calls in (the loop, the capture and click-watching workers) gets a
// connection of its own on its first call, closed when the thread ends:
// Xlib calls on one connection from two threads are not safe, and a shared
// one slows the capture down.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <immintrin.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

constexpr int kClickHoldMs = 70;

std::once_flag gSetupOnce;
std::atomic<unsigned long> gOwnWindowXid{0};  // the program's open window, read by workers; 0 while none
thread_local int tQuiet = 0;            // > 0 while the thread's X errors are ignored
thread_local int tQuietErrors = 0;      // the errors ignored so far on the thread

// The one process-wide error handler: drops the errors of a thread inside
// a Quiet scope silently, and every other error with a line on standard
// error. Swapping handlers around each call would race between threads.
// Xlib's default would end the program, and an author's unsaved work with
// it, for an error as harmless as an event sent to a window that closed a
// moment before (a request of the window system's library racing the
// window's end).
int filterErrors(Display* d, XErrorEvent* e) {
  if (tQuiet > 0) {
    ++tQuietErrors;
    return 0;
  }
  char text[160] = "";
  XGetErrorText(d, e->error_code, text, sizeof text);
  std::fprintf(stderr, "X error ignored: %s (request %d, resource 0x%lx)\n", text, e->request_code,
               static_cast<unsigned long>(e->resourceid));
  return 0;
}

// Ignores the errors of the calling thread's requests on d while it lives;
// syncs before it ends so that their errors arrive inside it.
class Quiet {
 public:
  explicit Quiet(Display* d) : d_(d) { ++tQuiet; }
  ~Quiet() {
    XSync(d_, False);
    --tQuiet;
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;

 private:
  Display* d_;
};

// Shared-memory image of the primary monitor, kept between captures.
struct Grabber {
  XImage* image = nullptr;
  XShmSegmentInfo shm{};
  int w = 0, h = 0;
  bool shmBroken = false;

  bool prepare(Display* d, int width, int height) {
    if (image != nullptr && w == width && h == height) return true;
    release(d);
    if (shmBroken || !XShmQueryExtension(d)) return false;
    const int screen = DefaultScreen(d);
    image = XShmCreateImage(d, DefaultVisual(d, screen), DefaultDepth(d, screen), ZPixmap, nullptr, &shm, width, height);
    if (image == nullptr) return false;
    shm.shmid = shmget(IPC_PRIVATE, static_cast<size_t>(image->bytes_per_line) * height, IPC_CREAT | 0600);
    shm.shmaddr = image->data = static_cast<char*>(shmat(shm.shmid, nullptr, 0));
    shm.readOnly = False;
    bool attached = false;
    {
      Quiet quiet(d);
      attached = shm.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(d, &shm);
    }
    shmctl(shm.shmid, IPC_RMID, nullptr);  // freed once both sides detach
    if (!attached) {
      shmBroken = true;
      release(d);
      return false;
    }
    w = width;
    h = height;
    return true;
  }
  void release(Display* d) {
    if (image == nullptr) return;
    XShmDetach(d, &shm);
    shmdt(shm.shmaddr);
    image->data = nullptr;
    XDestroyImage(image);
    image = nullptr;
  }
};

// A thread's connection and what is kept on it; the thread's end detaches
// the shared image and closes the connection.
struct Monitor {
  int x, y, w, h;
};

struct Connection {
  Display* d = nullptr;
  bool opened = false;
  Grabber grabber;
  Monitor primary{0, 0, 0, 0};              // the primary monitor as last asked
  std::chrono::steady_clock::time_point asked;

  ~Connection() {
    if (d == nullptr) return;
    grabber.release(d);
    XCloseDisplay(d);
  }
};

thread_local Connection tConnection;

void setUpXlib() {
  std::call_once(gSetupOnce, [] {
    XInitThreads();
    XSetErrorHandler(filterErrors);
  });
}

// The calling thread's connection, opened on its first call; null without a display.
Display* display() {
  if (tConnection.opened) return tConnection.d;
  tConnection.opened = true;
  setUpXlib();
  tConnection.d = XOpenDisplay(nullptr);
  return tConnection.d;
}

// The primary monitor from XRandR, else the first one, else the root window.
Monitor primaryMonitor(Display* d) {
  const Window root = DefaultRootWindow(d);
  Monitor m{0, 0, DisplayWidth(d, DefaultScreen(d)), DisplayHeight(d, DefaultScreen(d))};
  int n = 0;
  XRRMonitorInfo* mons = XRRGetMonitors(d, root, True, &n);
  if (mons != nullptr) {
    int pick = 0;
    for (int i = 0; i < n; ++i)
      if (mons[i].primary) pick = i;
    if (n > 0) m = {mons[pick].x, mons[pick].y, mons[pick].width, mons[pick].height};
    XRRFreeMonitors(mons);
  }
  return m;
}

// The primary monitor, asked of the server at most every 200 ms: a capture
// loop asks for it twice a pass, and every round trip waits behind whatever
// else the server is drawing. A change of screen shows within 200 ms.
Monitor primaryMonitorRecent(Display* d) {
  const auto now = std::chrono::steady_clock::now();
  if (tConnection.primary.w == 0 || now - tConnection.asked > std::chrono::milliseconds(200)) {
    tConnection.primary = primaryMonitor(d);
    tConnection.asked = now;
  }
  return tConnection.primary;
}

// Reads a 32-bit property of window (CARDINAL, WINDOW, ATOM...) as longs; the count read.
int longProperty(Display* d, Window w, const char* name, Atom type, long* out, int max) {
  Atom actual;
  int format;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, max, False, type, &actual, &format, &count, &after,
                         &data) != Success ||
      data == nullptr) {
    return 0;
  }
  int n = 0;
  if (format == 32)
    for (; n < static_cast<int>(count) && n < max; ++n) out[n] = reinterpret_cast<long*>(data)[n];
  XFree(data);
  return n;
}

// True when a window manager is running: the root names a check window
// that still exists and names itself.
bool windowManagerAlive(Display* d) {
  long check = 0, self = 0;
  if (longProperty(d, DefaultRootWindow(d), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &check, 1) != 1) return false;
  Quiet quiet(d);
  return longProperty(d, static_cast<Window>(check), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, &self, 1) == 1 &&
         self == check;
}

// Reads the _NET_WM_STATE atoms of w into states; the count read.
int windowStates(Display* d, Window w, long* states, int max) {
  return longProperty(d, w, "_NET_WM_STATE", XA_ATOM, states, max);
}

// True when the n atoms hold the atom called name.
bool holdsAtom(Display* d, const long* atoms, int n, const char* name) {
  return std::find(atoms, atoms + n, static_cast<long>(XInternAtom(d, name, False))) != atoms + n;
}

// 2 when w is maximised both ways or full-screen, else 1.
int sizeState(Display* d, Window w) {
  long states[32];
  const int n = windowStates(d, w, states, 32);
  const bool maximised = holdsAtom(d, states, n, "_NET_WM_STATE_MAXIMIZED_VERT") &&
                         holdsAtom(d, states, n, "_NET_WM_STATE_MAXIMIZED_HORZ");
  return maximised || holdsAtom(d, states, n, "_NET_WM_STATE_FULLSCREEN") ? 2 : 1;
}

// Packs count 32-bit pixels with SSSE3: four pixels a shuffle, each store
// writing 16 bytes of which the last 4 are overwritten by the next one.
__attribute__((target("ssse3"))) int64_t packSsse3(const unsigned char* src, unsigned char* dst, int64_t count) {
  const __m128i order = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int64_t i = 0;
  for (; i + 6 <= count; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i * 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i * 3), _mm_shuffle_epi8(v, order));
  }
  return i;
}

// Packs 32-bit blue, green, red, unused pixels into 3 bytes each.
void packRow(const unsigned char* src, unsigned char* dst, int64_t count) {
  static const bool simd = __builtin_cpu_supports("ssse3");
  if (simd) {
    const int64_t done = packSsse3(src, dst, count);
    src += done * 4;
    dst += done * 3;
    count -= done;
  }
  int64_t i = 0;
  for (; i + 4 <= count; i += 4, src += 16, dst += 12) {
    uint32_t p[4];
    std::memcpy(p, src, 16);
    const uint32_t w[3] = {(p[0] & 0xFFFFFFu) | (p[1] << 24), ((p[1] >> 8) & 0xFFFFu) | (p[2] << 16),
                           ((p[2] >> 16) & 0xFFu) | (p[3] << 8)};
    std::memcpy(dst, w, 12);
  }
  for (; i < count; ++i, src += 4, dst += 3) std::memcpy(dst, src, 3);
}

}  // namespace

int pal_GetDisplayCount() {
  Display* d = display();
  if (d == nullptr) return 0;
  int n = 0;
  XRRMonitorInfo* mons = XRRGetMonitors(d, DefaultRootWindow(d), True, &n);
  if (mons != nullptr) XRRFreeMonitors(mons);
  return n > 0 ? n : 1;
}

int32_t pal_GetAvailableScreenPixels(int kind, int32_t out[4]) {
  Display* d = display();
  if (kind != 0 && kind != 1) {
    out[0] = out[1] = 0;
    return out[3];
  }
  if (d == nullptr) {
    out[0] = out[1] = out[2] = out[3] = 0;
    return 0;
  }
  const Monitor m = primaryMonitor(d);
  if (kind == 0) {
    out[0] = out[1] = 0;
    out[2] = m.w;
    out[3] = m.h;
    return out[3];
  }
  out[0] = m.x;
  out[1] = m.y;
  out[2] = m.x + m.w;
  out[3] = m.y + m.h;
  long area[4];
  if (windowManagerAlive(d) && longProperty(d, DefaultRootWindow(d), "_NET_WORKAREA", XA_CARDINAL, area, 4) == 4) {
    // The work area of the first desktop, cut to the primary monitor.
    out[0] = std::max<int32_t>(m.x, static_cast<int32_t>(area[0]));
    out[1] = std::max<int32_t>(m.y, static_cast<int32_t>(area[1]));
    out[2] = std::min<int32_t>(m.x + m.w, static_cast<int32_t>(area[0] + area[2]));
    out[3] = std::min<int32_t>(m.y + m.h, static_cast<int32_t>(area[1] + area[3]));
  }
  return out[3];
}

void pal_GetPrimaryOrigin(int32_t origin[2]) {
  origin[0] = origin[1] = 0;
  Display* d = display();
  if (d == nullptr) return;
  const Monitor m = primaryMonitorRecent(d);
  origin[0] = m.x;
  origin[1] = m.y;
}

int pal_GetForegroundWinRect(int32_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  Display* d = display();
  if (d == nullptr || !windowManagerAlive(d)) return 0;  // without a window manager nothing is active
  long active = 0;
  if (longProperty(d, DefaultRootWindow(d), "_NET_ACTIVE_WINDOW", XA_WINDOW, &active, 1) != 1 || active == 0) return 0;
  const auto w = static_cast<Window>(active);
  // The program's own window and a minimised one are not the application in front.
  if (active == static_cast<long>(palOwnWindowXid()) || palWindowIconic(w)) return 0;
  XWindowAttributes attr;
  int x = 0, y = 0, state = 0;
  long frame[4] = {0, 0, 0, 0};   // the manager's frame: left, right, top, bottom
  long shadow[4] = {0, 0, 0, 0};  // shadows drawn inside the window: left, right, top, bottom
  bool ok = false;
  {
    Quiet quiet(d);  // the window may go away meanwhile
    Window child;
    ok = XGetWindowAttributes(d, w, &attr) && XTranslateCoordinates(d, w, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    longProperty(d, w, "_NET_FRAME_EXTENTS", XA_CARDINAL, frame, 4);
    longProperty(d, w, "_GTK_FRAME_EXTENTS", XA_CARDINAL, shadow, 4);
    state = sizeState(d, w);
  }
  if (!ok) return 0;
  out[0] = x - static_cast<int32_t>(frame[0] - shadow[0]);
  out[1] = y - static_cast<int32_t>(frame[2] - shadow[2]);
  out[2] = x + attr.width + static_cast<int32_t>(frame[1] - shadow[1]);
  out[3] = y + attr.height + static_cast<int32_t>(frame[3] - shadow[3]);
  return state;
}

void pal_GetOrSetCursorPos(int mode, int32_t point[2]) {
  Display* d = display();
  if (d == nullptr) return;
  if (mode == 'S') {
    XTestFakeMotionEvent(d, -1, point[0], point[1], CurrentTime);
    XSync(d, False);
    return;
  }
  Window root, child;
  int rx = 0, ry = 0, wx, wy;
  unsigned int mask;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
  point[0] = rx;
  point[1] = ry;
}

void pal_ClickMouseSingleAction(int action) {
  Display* d = display();
  if (d == nullptr) return;
  XTestFakeButtonEvent(d, 1, action == 1 ? True : False, CurrentTime);
  XSync(d, False);
  if (action == 1) std::this_thread::sleep_for(std::chrono::milliseconds(kClickHoldMs));
}

int pal_GetMouseClickStatus() {
  Display* d = display();
  if (d == nullptr) return 0;
  Window root, child;
  int rx, ry, wx, wy;
  unsigned int mask = 0;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
  return ((mask & Button1Mask) ? 1 : 0) + ((mask & Button3Mask) ? 2 : 0);
}

int pal_ScreenToBGRbuffer(unsigned char* destination, int32_t width, int32_t height) {
  Display* d = display();
  if (d == nullptr) return -1;
  const Monitor m = primaryMonitorRecent(d);
  if (width != m.w || height != m.h) return -1;
  if (width % 4 != 0) return -2;
  Grabber& grabber = tConnection.grabber;
  XImage* image = nullptr;
  const bool shared = grabber.prepare(d, width, height) &&
                      XShmGetImage(d, DefaultRootWindow(d), grabber.image, m.x, m.y, AllPlanes);
  if (shared) image = grabber.image;
  else image = XGetImage(d, DefaultRootWindow(d), m.x, m.y, width, height, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  const bool bgrx = image->bits_per_pixel == 32 && image->byte_order == LSBFirst && image->red_mask == 0xFF0000 &&
                    image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
  if (bgrx && image->bytes_per_line == width * 4) {  // rows follow each other: one run
    packRow(reinterpret_cast<unsigned char*>(image->data), destination, int64_t{width} * height);
    if (!shared) XDestroyImage(image);
    return 1;
  }
  for (int32_t y = 0; y < height; ++y) {
    unsigned char* dst = destination + static_cast<size_t>(y) * width * 3;
    if (bgrx) {
      packRow(reinterpret_cast<unsigned char*>(image->data) + static_cast<size_t>(y) * image->bytes_per_line, dst,
              width);
      continue;
    }
    for (int32_t x = 0; x < width; ++x, dst += 3) {  // any other visual, pixel by pixel
      const unsigned long p = XGetPixel(image, x, y);
      auto channel = [p](unsigned long mask) {
        if (mask == 0) return 0ul;
        int shift = 0;
        while (((mask >> shift) & 1ul) == 0) ++shift;
        const unsigned long max = mask >> shift;
        return ((p & mask) >> shift) * 255ul / max;
      };
      dst[0] = static_cast<unsigned char>(channel(image->blue_mask));
      dst[1] = static_cast<unsigned char>(channel(image->green_mask));
      dst[2] = static_cast<unsigned char>(channel(image->red_mask));
    }
  }
  if (!shared) XDestroyImage(image);
  return 1;
}

bool palWindowManagerRunning() {
  Display* d = display();
  return d != nullptr && windowManagerAlive(d);
}

bool palWindowIconic(unsigned long xid) {
  Display* d = display();
  if (d == nullptr || xid == 0) return false;
  Quiet quiet(d);  // the window may be gone
  const auto w = static_cast<Window>(xid);
  long wmState = 0, states[32];
  const bool iconic = longProperty(d, w, "WM_STATE", XInternAtom(d, "WM_STATE", False), &wmState, 1) == 1 &&
                      wmState == IconicState;
  const int n = windowStates(d, w, states, 32);
  return iconic || holdsAtom(d, states, n, "_NET_WM_STATE_HIDDEN");
}

void palSetOwnWindowXid(unsigned long xid) { gOwnWindowXid = xid; }

Display* palOpenXDisplay() {
  setUpXlib();
  return XOpenDisplay(nullptr);
}

bool palXQuietly(Display* d, const std::function<void()>& requests) {
  const int before = tQuietErrors;
  {
    Quiet quiet(d);
    requests();
  }
  return tQuietErrors == before;
}
unsigned long palOwnWindowXid() { return gOwnWindowXid.load(); }
