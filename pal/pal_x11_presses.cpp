// pal_x11_presses.cpp: counting the presses of the left and right buttons
// from the X server's own input events through the RECORD extension, so
// that a press released at once is counted too. A counter has two
// connections of its own: the control one holds the recording context,
// the data one receives the recorded events asynchronously and is read
// only by the thread that counts.
#include "pal/pal.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/record.h>
#include <poll.h>

#include <chrono>

struct pal_PressCounter {
  Display* control = nullptr;
  Display* data = nullptr;
  XRecordContext context = 0;
  bool started = false;  // the server has begun recording
  bool ended = false;    // the server has stopped recording
  int64_t presses = 0;
};

namespace {

constexpr int kStartMs = 2000;  // how long opening waits for the recording to begin
constexpr int kEndMs = 500;     // how long closing waits for it to end

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point until) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Takes one recorded element: notes the start and end of the recording
// and counts presses of button 1 or 3 (4 to 7 are wheel steps).
void onRecorded(XPointer closure, XRecordInterceptData* recorded) {
  auto* counter = reinterpret_cast<pal_PressCounter*>(closure);
  if (recorded->category == XRecordStartOfData) counter->started = true;
  else if (recorded->category == XRecordEndOfData) counter->ended = true;
  else if (recorded->category == XRecordFromServer && recorded->data != nullptr && recorded->data_len * 4 >= sizeof(xEvent)) {
    const auto* event = reinterpret_cast<const xEvent*>(recorded->data);
    const int button = event->u.u.detail;
    if ((event->u.u.type & 0x7F) == ButtonPress && (button == 1 || button == 3)) ++counter->presses;
  }
  XRecordFreeData(recorded);
}

// Handles what has arrived on the data connection, first waiting at most
// ms for something to arrive.
void takeRecorded(pal_PressCounter* counter, int ms) {
  pollfd p{ConnectionNumber(counter->data), POLLIN, 0};
  if (ms > 0) poll(&p, 1, ms);
  XRecordProcessReplies(counter->data);
}

// Ends the recording (when it began), frees the context and closes the connections.
void shutDown(pal_PressCounter* counter) {
  if (counter->started) {
    XRecordDisableContext(counter->control, counter->context);
    XSync(counter->control, False);
    // The end of the recording releases the data connection's handler.
    const auto until = Clock::now() + std::chrono::milliseconds(kEndMs);
    while (!counter->ended && msLeft(until) > 0) takeRecorded(counter, msLeft(until));
  }
  if (counter->context != 0) {
    XRecordFreeContext(counter->control, counter->context);
    XSync(counter->control, False);
  }
  if (counter->data != nullptr) XCloseDisplay(counter->data);
  if (counter->control != nullptr) XCloseDisplay(counter->control);
  delete counter;
}

// Creates the context that records button presses of every client on the control connection.
XRecordContext pressContext(Display* control) {
  XRecordRange* range = XRecordAllocRange();
  if (range == nullptr) return 0;
  range->device_events.first = ButtonPress;
  range->device_events.last = ButtonPress;
  XRecordClientSpec clients = XRecordAllClients;
  const XRecordContext context = XRecordCreateContext(control, 0, &clients, 1, &range, 1);
  XFree(range);
  XSync(control, False);
  return context;
}

}  // namespace

pal_PressCounter* pal_OpenPressCounter() {
  auto* counter = new pal_PressCounter;
  counter->control = XOpenDisplay(nullptr);
  counter->data = XOpenDisplay(nullptr);
  int opcode, event, error, major, minor;
  if (counter->control == nullptr || counter->data == nullptr ||
      !XQueryExtension(counter->control, "RECORD", &opcode, &event, &error) ||
      !XRecordQueryVersion(counter->control, &major, &minor)) {
    shutDown(counter);
    return nullptr;
  }
  counter->context = pressContext(counter->control);
  if (counter->context == 0 ||
      !XRecordEnableContextAsync(counter->data, counter->context, onRecorded, reinterpret_cast<XPointer>(counter))) {
    shutDown(counter);
    return nullptr;
  }
  // Presses count from here on: wait until the server says it records.
  XFlush(counter->data);
  const auto until = Clock::now() + std::chrono::milliseconds(kStartMs);
  while (!counter->started && msLeft(until) > 0) takeRecorded(counter, msLeft(until));
  if (!counter->started) {
    shutDown(counter);
    return nullptr;
  }
  return counter;
}

int64_t pal_CountPresses(pal_PressCounter* counter, int waitMs) {
  if (counter == nullptr) return 0;
  const int64_t before = counter->presses;
  takeRecorded(counter, 0);
  if (counter->presses == before && waitMs > 0) takeRecorded(counter, waitMs);
  return counter->presses;
}

void pal_ClosePressCounter(pal_PressCounter* counter) {
  if (counter != nullptr) shutDown(counter);
}
