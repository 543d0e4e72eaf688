// pal_workers.cpp: the program's worker threads, the request that stops
// them when the program ends, and the program's end itself. The same on
// every platform (std::thread).
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<int> gWorkers{0};
std::atomic<bool> gStop{false};
std::atomic<pal_EndingHandler> gEnding{nullptr};
// Set when a wait for the workers ran out: the program ends without them.
std::atomic<bool> gGaveUp{false};
thread_local bool tWorker = false;
constexpr int kEndingLimitMs = 10000;

// Thrown by pal_EndWorker and caught where the worker started.
struct WorkerEnded {};

}  // namespace

void pal_BeginThread(void (*fn)()) {
  ++gWorkers;
  std::thread([fn] {
    tWorker = true;
    try {
      fn();
    } catch (const WorkerEnded&) {
    }
    --gWorkers;
  }).detach();
}

void pal_EndWorker() { throw WorkerEnded{}; }

void pal_ForfeitThreadExecution() { std::this_thread::yield(); }

int pal_WorkersRunning() { return gWorkers.load(); }

void pal_RequestStop() { gStop = true; }

bool pal_StopRequested() { return gStop.load(); }

bool pal_StopWorkers(int ms, void (*waiting)(int elapsed_ms, int limit_ms)) {
  pal_RequestStop();
  // A worker that ends the program does not wait for itself.
  const int own = tWorker ? 1 : 0;
  const auto start = std::chrono::steady_clock::now();
  int shown = -50;
  for (;;) {
    if (gWorkers.load() <= own) return true;
    if (gGaveUp.load()) return false;
    const int elapsed = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    if (elapsed >= ms) {
      gGaveUp = true;
      return false;
    }
    if (waiting != nullptr && elapsed - shown >= 50) {
      shown = elapsed;
      waiting(elapsed, ms);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void pal_SetEndingHandler(pal_EndingHandler handler) { gEnding = handler; }

void palEndingWindow() {
  if (const pal_EndingHandler handler = gEnding.load()) handler();
  else pal_StopWorkers(kEndingLimitMs, nullptr);
}

void pal_EndProgram(int status) {
  std::fflush(stdout);
  std::fflush(stderr);
  // Exit handlers free the static buffers a worker may still be using.
  if (!pal_StopWorkers(kEndingLimitMs, nullptr)) {
    std::fprintf(stderr, "Pictomira: a worker did not stop in time; ending without it\n");
    std::fflush(stderr);
    std::_Exit(status);
  }
  std::exit(status);
}
