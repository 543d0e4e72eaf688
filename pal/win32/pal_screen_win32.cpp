// pal_screen_win32.cpp: what the programs ask of Windows beyond their own
// window: the foreground window of another application, the global button
// state, synthetic clicks through SendInput, and capturing the primary
// monitor from the screen's device context into a DIB section. Each
// capturing thread keeps its DIB section between captures.
#include "pal/pal.h"
#include "pal/win32/pal_win32_internal.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr int kClickHoldMs = 70;

// A top-down 32-bit DIB section of the screen's size, kept between captures.
struct Grabber {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  unsigned char* bits = nullptr;
  int w = 0, h = 0;

  bool prepare(int width, int height) {
    if (bitmap != nullptr && w == width && h == height) return true;
    release();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc = CreateCompatibleDC(nullptr);
    void* pixels = nullptr;
    bitmap = dc != nullptr ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0) : nullptr;
    if (bitmap == nullptr) {
      release();
      return false;
    }
    old = SelectObject(dc, bitmap);
    bits = static_cast<unsigned char*>(pixels);
    w = width;
    h = height;
    return true;
  }
  void release() {
    if (dc != nullptr && old != nullptr) SelectObject(dc, old);
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    *this = Grabber{};
  }
  ~Grabber() { release(); }
};

thread_local Grabber tGrabber;

// The window's outer rectangle without the shadows and invisible resize
// borders Windows draws around it (the compositor knows them), else its
// window rectangle. The compositor's library is looked up when first
// needed, so that the programs that never ask do not import it.
RECT visibleRect(HWND w) {
  using Query = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
  static const Query query = [] {
    HMODULE dwm = LoadLibraryA("dwmapi.dll");
    FARPROC found = dwm != nullptr ? GetProcAddress(dwm, "DwmGetWindowAttribute") : nullptr;
    Query q = nullptr;
    static_assert(sizeof q == sizeof found, "function pointers of one size");
    std::memcpy(&q, &found, sizeof q);
    return q;
  }();
  constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS
  RECT r{};
  if (query == nullptr || query(w, kExtendedFrameBounds, &r, sizeof r) != S_OK || r.right <= r.left)
    GetWindowRect(w, &r);
  return r;
}

void sendButton(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof input);
}

}  // namespace

int pal_GetForegroundWinRect(int32_t out[4]) {
  out[0] = out[1] = out[2] = out[3] = 0;
  HWND w = GetForegroundWindow();
  // The program's own window and a minimised one are not the application in front.
  // The desktop itself (the shell's window, or wine's desktop) is no application either.
  if (w == nullptr || w == palOwnWindow() || w == GetDesktopWindow() || w == GetShellWindow() || IsIconic(w) ||
      !IsWindowVisible(w))
    return 0;
  const RECT r = visibleRect(w);
  out[0] = r.left;
  out[1] = r.top;
  out[2] = r.right;
  out[3] = r.bottom;
  if (IsZoomed(w)) return 2;
  MONITORINFO m{};
  m.cbSize = sizeof m;
  const bool full = GetMonitorInfoA(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &m) && r.left <= m.rcMonitor.left &&
                    r.top <= m.rcMonitor.top && r.right >= m.rcMonitor.right && r.bottom >= m.rcMonitor.bottom;
  return full ? 2 : 1;
}

void pal_ClickMouseSingleAction(int action) {
  sendButton(action == 1 ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
  if (action == 1) std::this_thread::sleep_for(std::chrono::milliseconds(kClickHoldMs));
}

int pal_GetMouseClickStatus() {
  // The physical buttons: with swapped buttons the primary one is the right.
  const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
  const bool left = (GetAsyncKeyState(swapped ? VK_RBUTTON : VK_LBUTTON) & 0x8000) != 0;
  const bool right = (GetAsyncKeyState(swapped ? VK_LBUTTON : VK_RBUTTON) & 0x8000) != 0;
  return (left ? 1 : 0) + (right ? 2 : 0);
}

int pal_ScreenToBGRbuffer(unsigned char* destination, int32_t width, int32_t height) {
  if (width != GetSystemMetrics(SM_CXSCREEN) || height != GetSystemMetrics(SM_CYSCREEN)) return -1;
  if (width % 4 != 0) return -2;
  if (!tGrabber.prepare(width, height)) return -1;
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return -1;
  const BOOL copied = BitBlt(tGrabber.dc, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT);
  ReleaseDC(nullptr, screen);
  if (!copied) return -1;
  GdiFlush();  // the DIB section's bits are complete
  const unsigned char* src = tGrabber.bits;
  unsigned char* dst = destination;
  for (int64_t n = int64_t{width} * height; n > 0; --n, src += 4, dst += 3) {
    dst[0] = src[0];
    dst[1] = src[1];
    dst[2] = src[2];
  }
  return 1;
}
