// pal_window_win32.cpp: the one window of a program on Windows: the window
// class and procedure, the three window kinds, the message loop that turns
// messages into the layer's event records, the five timers (system timers
// 4441 to 4445), message-box alerts, the clipboard, the work area and the
// pointer, and the small window operations.
#include "pal/pal.h"
#include "pal/pal_internal.h"
#include "pal/win32/pal_win32_internal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

pal_EventHandler gpal_CurrentEventHandler = nullptr;
int gpal_TimerStat[PAL_TIMERS + 1][2];
void* gpal_WinID = nullptr;

namespace {

constexpr UINT_PTR kTimerBase = 4440;      // system timer id of timer n: 4440 + n
constexpr UINT kCloseMessage = WM_APP + 1;  // the window procedure's close request, for the loop
constexpr UINT kWakeMessage = WM_APP + 2;   // wakes the loop after a non-blocking alert

HWND gWindow = nullptr;
std::atomic<HWND> gWindowForThreads{nullptr};  // read by alert threads
int gKind = 0;
std::atomic<DWORD> gLoopThread{0};          // the thread running the loop; 0 while none runs

// Copies rows y0..y1 and columns x0..x1 of buffer slot 0 to the window's
// drawing area through a top-down 32-bit DIB (the buffer's own layout:
// blue, green, red, unused).
void copyToWindow(HDC dc, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  const int32_t bw = gpal_ImageBuffSize[0][0];
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = bw;
  info.bmiHeader.biHeight = -(y1 - y0);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const unsigned char* band = gpal_ImageBuffBits[0] + static_cast<size_t>(y0) * bw * 4;
  SetDIBitsToDevice(dc, x0, y0, static_cast<DWORD>(x1 - x0), static_cast<DWORD>(y1 - y0), x0, 0, 0,
                    static_cast<UINT>(y1 - y0), band, &info, DIB_RGB_COLORS);
}

void paintWhole(HDC dc) {
  if (gpal_ImageBuffBits[0] == nullptr) return;
  copyToWindow(dc, 0, 0, gpal_ImageBuffSize[0][0], gpal_ImageBuffSize[0][1]);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
    case WM_SYNCPAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      paintWhole(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_NCHITTEST:
      // The top rows of a window with a drag bar answer as its title bar,
      // so the system moves the window.
      if (gKind >= 10) {
        RECT r;
        GetWindowRect(hwnd, &r);
        const LRESULT hit = DefWindowProcA(hwnd, message, wParam, lParam);
        if (hit == HTCLIENT && GET_Y_LPARAM(lParam) - r.top < PAL_DRAG_BAR_ROWS) return HTCAPTION;
        return hit;
      }
      break;
    case WM_CLOSE:
      // The loop decides: the handler gets the close event first.
      PostMessageA(hwnd, kCloseMessage, 0, 0);
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void registerClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = windowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = "pal_WinClass";
  registered = RegisterClassA(&wc) != 0;
}

pal_Key keyOf(WPARAM vk) {
  pal_Key key{static_cast<int>(vk), (GetKeyState(VK_SHIFT) & 0x8000) != 0, (GetKeyState(VK_CAPITAL) & 1) != 0,
              (GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_MENU) & 0x8000) != 0, 0};
  switch (vk) {
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_CAPITAL: case VK_LWIN: case VK_RWIN: case VK_NUMLOCK:
      key.vk = -1;
      break;
    case VK_NUMPAD0: case VK_NUMPAD1: case VK_NUMPAD2: case VK_NUMPAD3: case VK_NUMPAD4:
    case VK_NUMPAD5: case VK_NUMPAD6: case VK_NUMPAD7: case VK_NUMPAD8: case VK_NUMPAD9:
      key.vk = static_cast<int>(vk - VK_NUMPAD0 + '0');  // keypad digits give the main row's codes
      break;
    case VK_MULTIPLY: key.character = '*'; break;
    case VK_ADD: key.character = '+'; break;
    case VK_SUBTRACT: key.character = '-'; break;
    case VK_DIVIDE: key.character = '/'; break;
    case VK_DECIMAL: key.character = '.'; break;
    default: break;
  }
  return key;
}

void stopTimer(int n) {
  if (gWindow != nullptr) KillTimer(gWindow, kTimerBase + static_cast<UINT_PTR>(n));
  gpal_TimerStat[n][0] = 0;
}

}  // namespace

void palStartTimer(int n, int ms, bool repeat) {
  gpal_TimerStat[n][0] = repeat ? 2 : 1;
  gpal_TimerStat[n][1] = ms;
  SetTimer(gWindow, kTimerBase + static_cast<UINT_PTR>(n), static_cast<UINT>(ms > 0 ? ms : 1), nullptr);
}

namespace {

// Fills the record from one message; false when it is not for the handler.
bool translate(const MSG& m, int32_t ev[4], char* name) {
  switch (m.message) {
    case kCloseMessage:
      ev[0] = PAL_EV_CLOSED;
      return true;
    case WM_LBUTTONDOWN:
    case WM_NCLBUTTONDOWN: {
      if (m.message == WM_NCLBUTTONDOWN && m.wParam != HTCAPTION) return false;
      POINT p{GET_X_LPARAM(m.lParam), GET_Y_LPARAM(m.lParam)};
      if (m.message == WM_NCLBUTTONDOWN) ScreenToClient(gWindow, &p);  // a press on the drag bar
      if (m.message == WM_NCLBUTTONDOWN && gKind < 10) return false;
      ev[0] = PAL_EV_PRESS;
      ev[1] = p.x;
      ev[2] = p.y;
      if (palEditRouteEvent(ev, name)) ev[0] = PAL_EV_START;
      return ev[0] != PAL_EV_START;
    }
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
      ev[0] = m.message == WM_LBUTTONUP ? PAL_EV_RELEASE : PAL_EV_MOVE;
      ev[1] = GET_X_LPARAM(m.lParam);
      ev[2] = GET_Y_LPARAM(m.lParam);
      return !palEditRouteEvent(ev, name);
    case WM_RBUTTONDOWN:
      ev[0] = PAL_EV_RIGHT;
      ev[1] = GET_X_LPARAM(m.lParam);
      ev[2] = GET_Y_LPARAM(m.lParam);
      return gpal_TextEditCurrSlot < 0;
    case WM_CHAR: {
      // The character of the keyboard's layout (dead keys and AltGr
      // included), in the ANSI code page of this ANSI window; control
      // characters (Backspace, Tab, Enter, Control + letter) are keys.
      const char byte = static_cast<char>(m.wParam);
      wchar_t wide = 0;
      char utf8[8];
      if (MultiByteToWideChar(CP_ACP, 0, &byte, 1, &wide, 1) != 1 || wide < 32 || wide == 127) return false;
      const int n = WideCharToMultiByte(CP_UTF8, 0, &wide, 1, utf8, sizeof utf8 - 1, nullptr, nullptr);
      if (n > 0) palEditTextInput(std::string(utf8, static_cast<size_t>(n)));
      return false;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      pal_MapKeyToEventCode(keyOf(m.wParam), ev);
      if (ev[0] == PAL_EV_START) return false;
      return !palEditRouteEvent(ev, name);
    case WM_TIMER: {
      const int n = static_cast<int>(m.wParam - kTimerBase);
      if (n < 1 || n > PAL_TIMERS || gpal_TimerStat[n][0] == 0) return false;
      // System timers repeat: a one-shot timer stops at its first message.
      if (gpal_TimerStat[n][0] != 2) stopTimer(n);
      ev[0] = PAL_EV_TIMER;
      ev[1] = n;
      ev[2] = 0;
      return !palEditRouteEvent(ev, name);
    }
    default:
      return false;
  }
}

bool isInput(UINT message) {
  return message == WM_LBUTTONDOWN || message == WM_NCLBUTTONDOWN || message == WM_LBUTTONUP ||
         message == WM_MOUSEMOVE || message == WM_RBUTTONDOWN || message == WM_KEYDOWN ||
         message == WM_SYSKEYDOWN || message == WM_CHAR || message == WM_TIMER;
}

void closeWindow() {
  pal_DisableAllTimers();
  gWindowForThreads = nullptr;
  DestroyWindow(gWindow);
  gWindow = nullptr;
  gpal_WinID = nullptr;
  pal_DestroyWinBuff(0);
}

}  // namespace

HWND palOwnWindow() { return gWindowForThreads.load(); }

bool palWindowOpen() { return gWindow != nullptr; }

bool palOnLoopThread() {
  const DWORD loop = gLoopThread.load();
  return loop == 0 || loop == GetCurrentThreadId();
}

void palSetLoopThread(bool running) { gLoopThread = running ? GetCurrentThreadId() : 0; }

int pal_RunWindow(int kind, int32_t x, int32_t y, int32_t width, int32_t height, const char* title,
                  pal_EventHandler handler) {
  if (gpal_PlatformFlag == 0) {
    pal_Alert(1, "Need Init", "Please run 'pal_InitPAL' first");
    pal_EndProgram(0);
  }
  palSetLoopThread(true);
  registerClass();
  gKind = kind;
  gpal_WinSize[0] = width;
  gpal_WinSize[1] = height;
  gpal_WinSize[2] = kind == 16 ? 1 : 0;
  const bool framed = kind != 15 && kind != 16;
  int32_t outerW = width, outerH = height;
  if (kind == 1) {
    outerW += 2 * GetSystemMetrics(SM_CXFIXEDFRAME);
    outerH += GetSystemMetrics(SM_CYCAPTION) + 2 * GetSystemMetrics(SM_CYFIXEDFRAME);
  }
  int32_t work[4];
  pal_GetAvailableScreenPixels(1, work);
  if (x == -1) x = (work[2] - outerW) / 2;
  if (y == -1) y = (work[3] - outerH) / 2;
  const DWORD style = framed ? (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX) : WS_POPUP;
  gWindow = CreateWindowExA(0, "pal_WinClass", title, style, x, y, outerW, outerH, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (gWindow == nullptr) pal_FatalAlert("No Display", "Cannot open a window");
  gpal_WinID = gWindow;
  gWindowForThreads = gWindow;
  // Only the two top corners are rounded: the region reaches far below the window.
  if (kind == 16) SetWindowRgn(gWindow, CreateRoundRectRgn(0, 0, width + 1, height + 99, 11, 11), FALSE);
  pal_InitWinBuf(0, width, height);

  int32_t ev[4] = {PAL_EV_START, width, height, 0};
  char name[PAL_NAME_LEN] = "";
  gpal_CurrentEventHandler = handler;
  pal_UnmarkAllClickableRects();
  int result = handler(ev, name);
  ShowWindow(gWindow, SW_SHOW);
  SetForegroundWindow(gWindow);
  if (result == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);

  MSG m;
  while (result != PAL_CLOSE && GetMessageA(&m, nullptr, 0, 0) > 0) {
    ev[0] = PAL_EV_START;
    ev[1] = gpal_WinSize[0];
    ev[2] = gpal_WinSize[1];
    name[0] = '\0';
    // While an alert shows, input goes nowhere; a one-shot timer keeps
    // running, so its next firing is delivered once the alert is gone.
    const bool dropped = gpal_AlertShowing != 0 && isInput(m.message);
    if (!dropped && m.hwnd == gWindow && translate(m, ev, name)) {
      result = gpal_CurrentEventHandler(ev, name);
      if (result == PAL_SHOW) pal_UpdateWindowFromBuffer(nullptr);
      if (ev[0] == PAL_EV_CLOSED && result != PAL_CLOSE) break;
    }
    if (result == PAL_CLOSE || m.message == kCloseMessage) continue;
    TranslateMessage(&m);
    DispatchMessageA(&m);  // the system's own processing: a press on the drag bar drags
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
}

void pal_DisableAllTimers() {
  for (int n = 1; n <= PAL_TIMERS; ++n) pal_DisableTimer(n);
}

void pal_UpdateWindowFromBuffer(const int32_t* rect) {
  if (gWindow == nullptr || gpal_ImageBuffBits[0] == nullptr) return;
  int32_t x0 = 0, y0 = 0, x1 = gpal_ImageBuffSize[0][0], y1 = gpal_ImageBuffSize[0][1];
  if (rect != nullptr) {
    x0 = std::max(x0, rect[0]);
    y0 = std::max(y0, rect[1]);
    x1 = std::min(x1, rect[0] + rect[2]);
    y1 = std::min(y1, rect[1] + rect[3]);
  }
  if (x0 >= x1 || y0 >= y1) return;
  HDC dc = GetDC(gWindow);
  copyToWindow(dc, x0, y0, x1, y1);
  ReleaseDC(gWindow, dc);
}

bool palShowFatalBox(const char* title, const char* text) {
  return MessageBoxA(nullptr, text, title, MB_OK | MB_ICONERROR | MB_SYSTEMMODAL | MB_SETFOREGROUND) != 0;
}

void palShowAlertBox(const char* title, const char* text) {
  MessageBoxA(nullptr, text, title, MB_OK | MB_SYSTEMMODAL | MB_SETFOREGROUND);
}

// The loop itself drops the input that comes while an alert shows.
void palDropInputOfAlert() {}

void palWakeLoop() {
  if (HWND w = gWindowForThreads.load()) PostMessageA(w, kWakeMessage, 0, 0);
}

void pal_PutClipboardText(const char* text, int /*mode*/) {
  if (!OpenClipboard(gWindow)) return;
  EmptyClipboard();
  // The clipboard's text form has CR LF line ends.
  std::string windowsText;
  for (const char* p = text; *p; ++p) {
    if (*p == '\n' && (p == text || p[-1] != '\r')) windowsText += '\r';
    windowsText += *p;
  }
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, windowsText.size() + 1)) {
    std::memcpy(GlobalLock(memory), windowsText.c_str(), windowsText.size() + 1);
    GlobalUnlock(memory);
    if (SetClipboardData(CF_TEXT, memory) == nullptr) GlobalFree(memory);
  }
  CloseClipboard();
}

void pal_GetClipboardText(char* dst, int32_t capacity, int /*mode*/) {
  std::string text;
  if (OpenClipboard(gWindow)) {
    if (HANDLE memory = GetClipboardData(CF_TEXT)) {
      if (const char* p = static_cast<const char*>(GlobalLock(memory))) {
        text = p;
        GlobalUnlock(memory);
      }
    }
    CloseClipboard();
  }
  palDeliverClipboardText(std::move(text), dst, capacity);
}

void pal_SetWindowTitle(const char* text) {
  if (gWindow != nullptr) SetWindowTextA(gWindow, text);
}

void pal_MinimizeWindow() {
  if (gWindow != nullptr) ShowWindow(gWindow, SW_MINIMIZE);
}

void pal_WaitUntilMinimized(int ms) {
  for (int waited = 0; gWindow != nullptr && !IsIconic(gWindow) && waited < ms; waited += 10) Sleep(10);
}

void pal_GetPalWindowRect(int32_t rect[4]) {
  rect[0] = rect[1] = rect[2] = rect[3] = 0;
  RECT r;
  if (gWindow == nullptr || !GetWindowRect(gWindow, &r)) return;
  rect[0] = r.left;
  rect[1] = r.top;
  rect[2] = r.right - r.left;
  rect[3] = r.bottom - r.top;
}

int pal_IsPwinForegroundWin() { return gWindow != nullptr && GetForegroundWindow() == gWindow ? 1 : 0; }

int pal_GetWindowBorderThickness(int kind) {
  if (kind == 0 || kind == 2) return GetSystemMetrics(SM_CXFIXEDFRAME);
  if (kind == 1) return GetSystemMetrics(SM_CYCAPTION) + GetSystemMetrics(SM_CYFIXEDFRAME);
  if (kind == 3) return GetSystemMetrics(SM_CYFIXEDFRAME);
  return 0;
}

// ---- Screen and pointer --------------------------------------------------

int pal_GetDisplayCount() { return GetSystemMetrics(SM_CMONITORS); }

int32_t pal_GetAvailableScreenPixels(int kind, int32_t out[4]) {
  if (kind == 0) {
    out[0] = out[1] = 0;
    out[2] = GetSystemMetrics(SM_CXSCREEN);
    out[3] = GetSystemMetrics(SM_CYSCREEN);
  } else if (kind == 1) {
    RECT r;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    out[0] = r.left;
    out[1] = r.top;
    out[2] = r.right;
    out[3] = r.bottom;
  } else {
    out[0] = out[1] = 0;
  }
  return out[3];
}

void pal_GetPrimaryOrigin(int32_t origin[2]) { origin[0] = origin[1] = 0; }

void pal_GetOrSetCursorPos(int mode, int32_t point[2]) {
  if (mode == 'S') {
    SetCursorPos(point[0], point[1]);
    return;
  }
  POINT p{0, 0};
  GetCursorPos(&p);
  point[0] = p.x;
  point[1] = p.y;
}
