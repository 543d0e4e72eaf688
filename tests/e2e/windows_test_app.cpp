// windows_test_app: a small Win32 application of the tests' own, for
// capturing under wine: a dialog-like window "Grid Test" with a grid of
// twelve standard push buttons "1" to "12". Once shown it writes where its
// window and buttons are on the screen, one line each ("WINDOW l t r b",
// then "BUTTON n l t r b", outer rectangles as left, top, right, bottom),
// to the file named by its argument, and prints "PRESSED n" for each
// button pressed. Escape or closing the window ends it.
//
// "windows_test_app --restore TITLE" restores the minimised window of that
// title and brings it to the front, as the taskbar does, without a press
// that a capture would record; its status is 1 when there is no such window.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kColumns = 4, kRows = 3, kButtonW = 80, kButtonH = 40, kGap = 10;
constexpr int kFirstId = 100;
HWND gButtons[kColumns * kRows];
const char* gReport = nullptr;

void writeReport(HWND window) {
  std::FILE* f = gReport != nullptr ? std::fopen(gReport, "w") : nullptr;
  if (f == nullptr) return;
  RECT r;
  GetWindowRect(window, &r);
  std::fprintf(f, "WINDOW %ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
  for (int i = 0; i < kColumns * kRows; ++i) {
    GetWindowRect(gButtons[i], &r);
    std::fprintf(f, "BUTTON %d %ld %ld %ld %ld\n", i + 1, r.left, r.top, r.right, r.bottom);
  }
  std::fclose(f);
  std::printf("READY\n");
  std::fflush(stdout);
}

LRESULT CALLBACK onMessage(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE:
      for (int i = 0; i < kColumns * kRows; ++i) {
        char label[8];
        std::snprintf(label, sizeof label, "%d", i + 1);
        const int x = kGap + (i % kColumns) * (kButtonW + kGap), y = kGap + (i / kColumns) * (kButtonH + kGap);
        gButtons[i] = CreateWindowA("BUTTON", label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, x, y, kButtonW, kButtonH,
                                    window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), nullptr,
                                    nullptr);
      }
      return 0;
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED && LOWORD(w) >= kFirstId && LOWORD(w) < kFirstId + kColumns * kRows) {
        std::printf("PRESSED %d\n", LOWORD(w) - kFirstId + 1);
        std::fflush(stdout);
      }
      return 0;
    case WM_KEYDOWN:
      if (w == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(window, message, w, l);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--restore") == 0) {
    HWND window = FindWindowA(nullptr, argv[2]);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
    return 0;
  }
  gReport = argc > 1 ? argv[1] : nullptr;
  WNDCLASSA c{};
  c.lpfnWndProc = onMessage;
  c.hInstance = GetModuleHandleA(nullptr);
  c.hCursor = LoadCursor(nullptr, IDC_ARROW);
  c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  c.lpszClassName = "GridTest";
  RegisterClassA(&c);
  RECT r{0, 0, kGap + kColumns * (kButtonW + kGap), kGap + kRows * (kButtonH + kGap)};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRect(&r, style, FALSE);
  const int x = argc > 3 ? std::atoi(argv[2]) : 200, y = argc > 3 ? std::atoi(argv[3]) : 150;
  HWND window = CreateWindowA("GridTest", "Grid Test", style, x, y, r.right - r.left, r.bottom - r.top, nullptr,
                              nullptr, c.hInstance, nullptr);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  writeReport(window);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}
