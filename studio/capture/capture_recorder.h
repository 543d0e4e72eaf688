// capture_recorder.h: recording the primary screen into the capture slot.
// Two workers run beside the capturing screen: a click watcher that turns
// every press the X server delivers into a pending click, and a capture
// thread that grabs the screen as fast as it can, writes every change as
// a record of the recording file, a key frame at every click, and samples
// the foreground window after clicks into the window file. The workers
// make no window calls; the screen learns what they do from atomics.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct pal_PressCounter;

constexpr int CAPTURE_FULL_PERCENT = 91;     // p at the start and after a click
constexpr int CAPTURE_WARNING_CLICKS = 9;    // clicks during which "Bad Window Size" may be shown
constexpr int CAPTURE_SAMPLE_AFTER = 9;      // changed records after a click before the window is sampled
constexpr int64_t CAPTURE_RECORD_CAP = 90001;  // records a demo's frame table can take

extern std::atomic<int> gCaptureActive;      // 1 while the workers must run, 2 while they finish, else 0
extern std::atomic<int> gClickState;         // 0 idle, 1 a press to write, 2 written and still held
extern std::atomic<int> gCaptureSteps;       // key frames written at clicks in this run
extern std::atomic<int> gCaptureWorkers;     // workers still running
extern std::atomic<int> gCaptureFull;        // 1 once the recording is full (its last record the closing click)
extern std::atomic<int64_t> gCaptureRecords; // records written since the slot was started

// The capture slot: screen size, the two grab buffers, the start time.
struct CaptureSlot {
  int32_t W = 0, H = 0;
  std::vector<unsigned char> a, b;
  std::chrono::steady_clock::time_point start;
};
extern CaptureSlot gCaptureSlot;

// What the workers read of the system: the platform layer's calls, unless
// a test puts screens and presses of its own in their place.
struct CaptureSources {
  int (*grab)(unsigned char* destination, int32_t width, int32_t height);
  void (*cursor)(int mode, int32_t point[2]);
  void (*origin)(int32_t origin[2]);
  int (*buttons)();
  int (*foreground)(int32_t rect[4]);
  pal_PressCounter* (*openPresses)();
  int64_t (*countPresses)(pal_PressCounter* counter, int waitMs);
  void (*closePresses)(pal_PressCounter* counter);
  void (*waitMinimized)(int ms);
};
extern CaptureSources gCaptureSources;

// Empties the capture slot (both files deleted, an empty window file made),
// records the primary screen's size, allocates the grab buffers and the
// start time. 1; -1 when the window file cannot be made; -2 when a file of
// an earlier capture cannot be removed (a new capture never appends to
// one). On a failure *reason, when given, says which file and why.
int startCaptureSlot(std::string* reason = nullptr);
// Starts the click watcher and the capture thread for a run, appending to
// the slot: the capture-active flag is set first. A press still pending
// from before the run's first grab is written at its first pass.
void startCaptureWorkers();
// Stops the run and waits, at most a few seconds, until both workers have
// ended (the recording file is closed then); false when one did not answer
// in time (it ends by itself later; the slot must not be touched before).
// The presses that came before the stop (the one on "Pause Capture" among
// them) are still written as clicks: the abstraction takes the run's last
// click for the press that ended it.
bool stopCaptureWorkers();
// How long stopCaptureWorkers waits for the workers.
constexpr int CAPTURE_STOP_WAIT_MS = 4000;
// The workers. Both end at their next check once the capture-active flag
// leaves 1 or the program is ending (pal_StopRequested); a run ended by
// the program's end finishes as a paused one does, with its closing click.
void clickWatcherThread();
void captureThread();

// When set (by a benchmark), the capture thread appends the duration of
// every pass in milliseconds; read it only after the workers have ended.
extern std::vector<double>* gCapturePassTimes;

// Milliseconds since the slot's start (never decreasing).
int64_t captureMillis();

// The bounding box (x, y, width, height in pixels) of the bytes that differ
// between two screens of W x H packed pixels; false when they are equal.
bool captureChangedRect(const unsigned char* a, const unsigned char* b, int32_t W, int32_t H, int32_t rect[4]);

// One capture run's records, written to an open file descriptor (appending).
// The reference buffer holds the screen as last recorded; grabs go into the
// other one, which becomes the reference when a change is written. A write
// interrupted by a signal is taken up again; one that fails truncates the
// file back to its last whole record, so the recording always decodes.
class CaptureRun {
 public:
  // first holds the run's first grab; second receives the next one.
  CaptureRun(int fd, int32_t W, int32_t H, unsigned char* first, unsigned char* second);
  // Writes the run's opening key frame (click flag 0); false on a failed write.
  bool openingKeyFrame(int64_t t, int32_t x, int32_t y) { return keyFrame(t, x, y, 0); }
  // Writes a key frame for a press (click flag 1) and starts p over; false on a failed write.
  bool clickKeyFrame(int64_t t, int32_t x, int32_t y);
  // The buffer the next grab goes into.
  unsigned char* grabBuffer() { return other_; }
  // Compares the grab with the reference and writes the change: 0 nothing
  // changed, 1 a partial record, 2 the whole screen, -1 a failed write.
  int recordChange(int64_t t, int32_t x, int32_t y);
  int threshold() const { return p_; }
  int64_t records() const { return records_; }

 private:
  bool keyFrame(int64_t t, int32_t x, int32_t y, int click);
  bool writeRecord(const std::string& line, const unsigned char* pixels, size_t bytes);

  int fd_;
  int32_t W_, H_;
  unsigned char* reference_;
  unsigned char* other_;
  int p_ = CAPTURE_FULL_PERCENT;
  int64_t records_ = 0;
  int64_t committed_ = -1;  // file size after the last whole record (-1: not read yet)
  std::vector<unsigned char> scratch_;
};
