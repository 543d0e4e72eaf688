// press_queries.cpp: the queue between the capture thread and the
// accessibility worker. The worker holds the lock only to take a press and
// to append its line, never while it asks the tree, so the capture thread
// waits for nothing. Each run has a number; a stop moves it on under the
// lock, and an answer of an earlier run is dropped. While idle the worker
// notes the pop-ups showing, so that a press is asked about with the
// pop-ups that were there before it (one it opened is not what it pressed).
#include "studio/capture/press_queries.h"

#include "studio/capture/capture_recorder.h"
#include "studio/capture/press_objects.h"

#include "pal/pal.h"
#include "pal/pal_accessibility.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>

AccessibleQueries gAccessibleQueries = {nullptr, nullptr};

namespace {

struct Press {
  uint64_t run;
  int64_t time;
  int32_t x, y;
};

// One worker at a time asks the tree (the accessibility library is used
// from one thread only). It leaves once the run has stopped and nothing is
// left to ask; a run started while it is still busy is served by it.
std::mutex gLock;
std::condition_variable gWake, gIdle;
std::deque<Press> gQueue;
std::string gSideFile;
uint64_t gRun = 0;          // moved on by every start and stop
bool gRunning = false;      // a run is queuing presses
bool gAsking = false;       // the worker is asking the tree
bool gWorkerAlive = false;

// Pop-ups noted while idle, with the capture time the look had ended by.
struct Look {
  int64_t endedAt = -1;
  pal_AccessiblePopups popups{};
};
Look gLooks[2];  // the latest two; the worker's alone

// The latest look that ended before time t; null when there is none.
const pal_AccessiblePopups* popupsBefore(int64_t t) {
  const Look* best = nullptr;
  for (const Look& l : gLooks)
    if (l.endedAt >= 0 && l.endedAt <= t && (best == nullptr || l.endedAt > best->endedAt)) best = &l;
  return best != nullptr ? &best->popups : nullptr;
}

void look() {
  Look& oldest = gLooks[0].endedAt <= gLooks[1].endedAt ? gLooks[0] : gLooks[1];
  if (gAccessibleQueries.popups(PRESS_QUERY_TIMEOUT_MS, &oldest.popups) == 1) oldest.endedAt = captureMillis();
}

void worker() {
  std::unique_lock<std::mutex> lock(gLock);
  const AccessibleQueries queries = gAccessibleQueries;
  for (Look& l : gLooks) l.endedAt = -1;
  while (!pal_StopRequested()) {
    if (gQueue.empty()) {
      if (!gRunning) break;
      lock.unlock();
      look();
      lock.lock();
      if (gQueue.empty()) gWake.wait_for(lock, std::chrono::milliseconds(PRESS_POPUPS_EVERY_MS));
      continue;
    }
    const Press press = gQueue.front();
    gQueue.pop_front();
    gAsking = true;
    lock.unlock();
    pal_AccessibleObject object;
    std::memset(&object, 0, sizeof object);
    const int found = queries.at(press.x, press.y, PRESS_QUERY_TIMEOUT_MS, popupsBefore(press.time), &object);
    lock.lock();
    gAsking = false;
    if (found == 1 && press.run == gRun && gRunning) {
      PressObject p;
      p.time = press.time;
      p.role = object.role;
      p.name = object.name;
      std::copy(object.extents, object.extents + 4, p.extents);
      appendPressLine(gSideFile, p);  // a side file that cannot be written costs captions, never the capture
    }
    gIdle.notify_all();
  }
  gWorkerAlive = false;
  gIdle.notify_all();
}

}  // namespace

void startPressQueries(const std::string& sideFile) {
  if (gAccessibleQueries.at == nullptr || gAccessibleQueries.popups == nullptr) return;
  std::lock_guard<std::mutex> lock(gLock);
  ++gRun;
  gQueue.clear();
  gSideFile = sideFile;
  gRunning = true;
  if (gWorkerAlive) return;
  gWorkerAlive = true;
  pal_BeginThread(worker);
}

void queuePressQuery(int64_t time, int32_t x, int32_t y) {
  std::lock_guard<std::mutex> lock(gLock);  // held by the worker only for moments
  if (!gRunning || gQueue.size() >= static_cast<size_t>(PRESS_QUERY_QUEUE)) return;
  gQueue.push_back({gRun, time, x, y});
  gWake.notify_one();
}

void stopPressQueries(int waitMs) {
  std::unique_lock<std::mutex> lock(gLock);
  if (!gRunning) return;
  gIdle.wait_for(lock, std::chrono::milliseconds(waitMs), [] { return gQueue.empty() && !gAsking; });
  ++gRun;
  gRunning = false;
  gQueue.clear();
  gWake.notify_all();
}
