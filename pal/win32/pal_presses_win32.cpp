// pal_presses_win32.cpp: counting the presses of the left and right
// buttons with a low-level mouse hook, so that a press released at once is
// counted too (polling the button state can miss it between two polls).
// The hook runs on a thread of the counter's own with a message loop, as
// Windows calls a low-level hook on the thread that installed it. One
// counter at a time: the hook procedure has no place for a pointer of its
// own, so the open counter is a global.
#include "pal/pal.h"
#include "pal/win32/pal_win32_internal.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct pal_PressCounter {
  std::thread thread;
  std::atomic<DWORD> threadId{0};
  std::mutex lock;
  std::condition_variable news;
  bool started = false;  // the hook is installed (or failed: hooked stays false)
  bool hooked = false;
  int64_t presses = 0;
  int64_t reported = 0;  // the count the last call returned
};

namespace {

constexpr int kStartMs = 2000;  // how long opening waits for the hook
std::atomic<pal_PressCounter*> gCounter{nullptr};

LRESULT CALLBACK onMouse(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN)) {
    if (pal_PressCounter* c = gCounter.load()) {
      std::lock_guard<std::mutex> hold(c->lock);
      ++c->presses;
      c->news.notify_all();
    }
  }
  return CallNextHookEx(nullptr, code, message, data);
}

void hookThread(pal_PressCounter* c) {
  MSG m;
  PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue, for the quit message
  c->threadId = GetCurrentThreadId();
  HHOOK hook = SetWindowsHookExA(WH_MOUSE_LL, onMouse, GetModuleHandleA(nullptr), 0);
  {
    std::lock_guard<std::mutex> hold(c->lock);
    c->started = true;
    c->hooked = hook != nullptr;
    c->news.notify_all();
  }
  if (hook == nullptr) return;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  UnhookWindowsHookEx(hook);
}

void shutDown(pal_PressCounter* c) {
  bool hooked = false;
  {
    std::unique_lock<std::mutex> hold(c->lock);
    c->news.wait(hold, [c] { return c->started; });  // its message queue exists from here on
    hooked = c->hooked;
  }
  if (hooked) PostThreadMessageA(c->threadId.load(), WM_QUIT, 0, 0);
  c->thread.join();
  pal_PressCounter* expected = c;
  gCounter.compare_exchange_strong(expected, nullptr);
  delete c;
}

}  // namespace

pal_PressCounter* pal_OpenPressCounter() {
  auto* c = new pal_PressCounter;
  pal_PressCounter* none = nullptr;
  if (!gCounter.compare_exchange_strong(none, c)) {  // another counter holds the hook
    delete c;
    return nullptr;
  }
  c->thread = std::thread(hookThread, c);
  bool hooked = false;
  {
    std::unique_lock<std::mutex> hold(c->lock);
    c->news.wait_for(hold, std::chrono::milliseconds(kStartMs), [c] { return c->started; });
    hooked = c->hooked;
  }
  if (!hooked) {
    shutDown(c);
    return nullptr;
  }
  return c;
}

int64_t pal_CountPresses(pal_PressCounter* counter, int waitMs) {
  if (counter == nullptr) return 0;
  std::unique_lock<std::mutex> hold(counter->lock);
  if (counter->presses == counter->reported && waitMs > 0)
    counter->news.wait_for(hold, std::chrono::milliseconds(waitMs),
                           [counter] { return counter->presses != counter->reported; });
  counter->reported = counter->presses;
  return counter->presses;
}

void pal_ClosePressCounter(pal_PressCounter* counter) {
  if (counter != nullptr) shutDown(counter);
}
