// press_queries.h: asking the accessibility tree what each press of a
// capture landed on, off the capture thread. The capture thread queues the
// press (its click key frame's time and the pointer) and goes on at once; a
// worker of its own asks the tree and appends the answer to the capture
// slot's side file (press_objects.h). A press that finds nothing, or whose
// application does not answer in time, gets no line. No window calls.
#pragma once

#include <cstdint>
#include <string>

struct pal_AccessibleObject;
struct pal_AccessiblePopups;

// The tree's answers (pal_accessibility.h's contract): the object at a
// screen point, and the pop-ups showing now. Null, the default, asks nothing
// and writes no side file. The authoring program sets them at start.
struct AccessibleQueries {
  int (*at)(int32_t x, int32_t y, int timeoutMs, const pal_AccessiblePopups* before, pal_AccessibleObject* out);
  int (*popups)(int timeoutMs, pal_AccessiblePopups* out);
};
extern AccessibleQueries gAccessibleQueries;

constexpr int PRESS_QUERY_TIMEOUT_MS = 400;  // for each call to an application
constexpr int PRESS_QUERY_QUEUE = 64;        // presses waiting; one more is dropped
constexpr int PRESS_QUERY_DRAIN_MS = 2000;   // how long a stop waits for the presses queued
constexpr int PRESS_POPUPS_EVERY_MS = 150;   // while idle, how often the pop-ups showing are noted

// Starts the worker for a capture run, appending to sideFile.
void startPressQueries(const std::string& sideFile);
// Queues a press (capture thread): never blocks.
void queuePressQuery(int64_t time, int32_t x, int32_t y);
// Waits at most waitMs for the queued presses to be answered, then stops the
// worker. An answer that comes after it is dropped: the side file is not
// written once this has returned, so it may be moved.
void stopPressQueries(int waitMs = PRESS_QUERY_DRAIN_MS);
