// capture_recorder.cpp: the capture slot, the click watcher and the capture
// thread. Records are written with one write call each through a file
// descriptor opened for appending (a signal that interrupts a write does
// not end it); a failed write cuts the file back to its last whole record
// before the program ends, so whatever was captured still decodes. Every
// way a run ends (a press on "Pause Capture", the recording full, the
// program ending) leaves its closing click as the last record. Positions
// are relative to the primary monitor's origin, the origin of the grab.
#include "studio/capture/capture_recorder.h"
#include "studio/capture/press_queries.h"

#include "studio/capture/demo_files.h"

#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

std::atomic<int> gCaptureActive{0};
std::atomic<int> gClickState{0};
std::atomic<int> gCaptureSteps{0};
std::atomic<int> gCaptureWorkers{0};
std::atomic<int> gCaptureFull{0};
std::atomic<int64_t> gCaptureRecords{0};
CaptureSlot gCaptureSlot;
std::vector<double>* gCapturePassTimes = nullptr;
CaptureSources gCaptureSources = {pal_ScreenToBGRbuffer,   pal_GetOrSetCursorPos, pal_GetPrimaryOrigin,
                                  pal_GetMouseClickStatus, pal_GetForegroundWinRect, pal_OpenPressCounter,
                                  pal_CountPresses,        pal_ClosePressCounter, pal_WaitUntilMinimized};

namespace {

constexpr int kPopupHeight = 165, kPopupWidth = 420;
constexpr int kMinimizeWaitMs = 500;
// At a stop the press counter is read until it has had nothing new for this
// long: the press that stopped the run may still be on its way from the server.
constexpr int kFinalPressWaitMs = 60;
constexpr int kFinalPressReads = 20;
constexpr int64_t kFinalClicksCap = 8;  // clicks written at a stop, at most
// A click written this shortly before the program was told to end is taken
// for the press that closed the window (its frame's close button).
constexpr int64_t kClosePressMs = 1000;
// How long the capture thread waits at a stop for the watcher's last count.
constexpr int kWatcherWaitMs = 3000;

// Set by the click watcher when it ends: the presses it counted before the
// stop that it could not hand over as clicks yet.
std::atomic<int64_t> gPressesAtStop{0};
std::atomic<int> gWatcherEnded{0};

// The first byte position from the left (or right) where two rows differ.
int64_t firstDifference(const unsigned char* a, const unsigned char* b, int64_t n) {
  int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

int64_t lastDifference(const unsigned char* a, const unsigned char* b, int64_t n) {
  int64_t j = n;
  for (; j >= 8; j -= 8) {
    uint64_t x, y;
    std::memcpy(&x, a + j - 8, 8);
    std::memcpy(&y, b + j - 8, 8);
    if (x != y) break;
  }
  while (j > 0 && a[j - 1] == b[j - 1]) --j;
  return j - 1;
}

std::string recordLine(int32_t x, int32_t y, int32_t W, int32_t H, const int32_t r[4], int64_t t, int click) {
  char line[160];
  std::snprintf(line, sizeof line, "0,%d,%d,%d,%d,%d,%d,%d,%d,%lld,%d\r\n", x, y, W, H, r[0], r[1], r[2], r[3],
                static_cast<long long>(t), click);
  return line;
}

// The pointer relative to the primary monitor's origin.
void pointer(int32_t* x, int32_t* y) {
  int32_t at[2] = {0, 0}, origin[2] = {0, 0};
  gCaptureSources.cursor(0, at);
  gCaptureSources.origin(origin);
  *x = at[0] - origin[0];
  *y = at[1] - origin[1];
}

// Counts a worker out when its body is left, whichever way: declared first,
// it goes after everything else the body held.
struct CountedOut {
  ~CountedOut() { gCaptureWorkers.fetch_sub(1); }
};

// True while a run must go on: the screen has not stopped it and the program is not ending.
bool running() { return gCaptureActive.load() == 1 && !pal_StopRequested(); }

// True when the run was stopped by "Pause Capture" or by the program's end
// (not by a full recording), so the presses of the stop are to be written.
bool stoppedByAuthor() { return gCaptureActive.load() == 2 || pal_StopRequested(); }

// True when only the closing click still fits into the recording.
bool recordingFull() { return gCaptureRecords.load() >= CAPTURE_RECORD_CAP - 1; }

int openForAppending(const std::string& path) {
  int fd;
  do fd = pal_FsOpen(path.c_str(), PAL_FS_WRITE | PAL_FS_APPEND | PAL_FS_CREATE, 0644);
  while (fd < 0 && errno == EINTR);
  return fd;
}

// Closes a descriptor; an interrupted close has closed it all the same.
bool closeFile(int fd) { return pal_FsClose(fd) == 0 || errno == EINTR; }

// Appends one line of the window file, taking up writes a signal interrupted.
bool appendWindowLine(const int32_t r[4]) {
  char line[64];
  const int n = std::snprintf(line, sizeof line, "%d,%d,%d,%d\r\n", r[0], r[1], r[2], r[3]);
  const int fd = openForAppending(captureSlotPath(".DMW"));
  if (fd < 0) return false;
  bool ok = true;
  for (int done = 0; ok && done < n;) {
    const int64_t wrote = pal_FsWrite(fd, line + done, static_cast<size_t>(n - done));
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<int>(wrote);
  }
  return closeFile(fd) && ok;
}

// Ends the program from the capture thread with the recording closed.
[[noreturn]] void failCapture(int fd, const char* title, const char* text) {
  if (fd >= 0) closeFile(fd);
  pal_FatalAlert(title, text);
}

// Samples the foreground window: 1 written, 0 not accepted; *warn is set
// when a large window was refused (maximised, full screen or off screen).
int sampleWindow(bool* warn) {
  int32_t r[4], origin[2];
  const int state = gCaptureSources.foreground(r);
  gCaptureSources.origin(origin);
  for (int i = 0; i < 4; ++i) r[i] -= origin[i % 2];
  *warn = false;
  if (state == 1 && r[0] >= 0 && r[1] >= 0 && r[2] - r[0] >= 50) return appendWindowLine(r) ? 1 : -1;
  *warn = state != 0 && (r[3] - r[1] > kPopupHeight || r[2] - r[0] > kPopupWidth);
  return 0;
}

void startThread(void (*fn)()) {
  gCaptureWorkers.fetch_add(1);
  pal_BeginThread(fn);
}

}  // namespace

// ---- The recording of a run -------------------------------------------------------------

CaptureRun::CaptureRun(int fd, int32_t W, int32_t H, unsigned char* first, unsigned char* second)
    : fd_(fd), W_(W), H_(H), reference_(first), other_(second) {}

bool CaptureRun::writeRecord(const std::string& line, const unsigned char* pixels, size_t bytes) {
  if (committed_ < 0) committed_ = pal_FsSeekEnd(fd_);
  // The record's two parts, what is left of each after a short write.
  const unsigned char* part[2] = {reinterpret_cast<const unsigned char*>(line.data()), pixels};
  size_t length[2] = {line.size(), bytes};
  size_t left = line.size() + bytes;
  int first = 0;
  while (left > 0) {
    const int64_t n = first == 0 ? pal_FsWriteTwo(fd_, part[0], length[0], part[1], length[1])
                                 : pal_FsWrite(fd_, part[1], length[1]);
    if (n < 0 && errno == EINTR) continue;  // a signal came before anything was written
    if (n <= 0) {
      int cut = 0;
      if (committed_ >= 0)
        while ((cut = pal_FsTruncate(fd_, committed_)) != 0 && errno == EINTR) {
        }
      if (cut != 0) std::perror("truncating the recording");
      return false;
    }
    left -= static_cast<size_t>(n);
    for (size_t done = static_cast<size_t>(n); done > 0 && first < 2;) {  // skip what was written
      const size_t take = std::min(done, length[first]);
      part[first] += take;
      length[first] -= take;
      done -= take;
      if (length[first] == 0) ++first;
    }
  }
  committed_ += static_cast<int64_t>(line.size() + bytes);
  ++records_;
  gCaptureRecords.fetch_add(1);
  return true;
}

bool CaptureRun::keyFrame(int64_t t, int32_t x, int32_t y, int click) {
  const int32_t whole[4] = {0, 0, W_, H_};
  return writeRecord(recordLine(x, y, W_, H_, whole, t, click), reference_, size_t{3} * W_ * H_);
}

bool CaptureRun::clickKeyFrame(int64_t t, int32_t x, int32_t y) {
  p_ = CAPTURE_FULL_PERCENT;
  return keyFrame(t, x, y, 1);
}

int CaptureRun::recordChange(int64_t t, int32_t x, int32_t y) {
  int32_t r[4];
  if (!captureChangedRect(reference_, other_, W_, H_, r)) return 0;
  const bool whole = int64_t{r[2]} * r[3] > (int64_t{p_} * W_ / 100) * H_;
  if (whole) {
    r[0] = r[1] = 0;
    r[2] = W_;
    r[3] = H_;
  }
  const size_t row = size_t{3} * r[2];
  const unsigned char* pixels = other_;
  if (!whole) {
    scratch_.resize(row * r[3]);
    for (int32_t i = 0; i < r[3]; ++i)
      std::memcpy(&scratch_[row * i], other_ + (size_t{3} * W_ * (r[1] + i) + size_t{3} * r[0]), row);
    pixels = scratch_.data();
  }
  if (!writeRecord(recordLine(x, y, W_, H_, r, t, 0), pixels, row * r[3])) return -1;
  p_ = whole ? CAPTURE_FULL_PERCENT - 1 : p_ - 1;
  std::swap(reference_, other_);
  return whole ? 2 : 1;
}

bool captureChangedRect(const unsigned char* a, const unsigned char* b, int32_t W, int32_t H, int32_t rect[4]) {
  const int64_t rowBytes = int64_t{3} * W;
  int64_t left = rowBytes, right = -1;
  int32_t top = -1, bottom = -1;
  for (int32_t y = 0; y < H; ++y) {
    const unsigned char* ra = a + rowBytes * y;
    const unsigned char* rb = b + rowBytes * y;
    if (std::memcmp(ra, rb, static_cast<size_t>(rowBytes)) == 0) continue;
    left = std::min(left, firstDifference(ra, rb, rowBytes) / 3);
    right = std::max(right, lastDifference(ra, rb, rowBytes) / 3);
    if (top < 0) top = y;
    bottom = y;
  }
  if (top < 0) return false;
  rect[0] = static_cast<int32_t>(left);
  rect[1] = top;
  rect[2] = static_cast<int32_t>(right - left + 1);
  rect[3] = bottom - top + 1;
  return true;
}

// ---- The slot and the workers ---------------------------------------------------------------

int64_t captureMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - gCaptureSlot.start)
      .count();
}

int startCaptureSlot(std::string* reason) {
  auto fail = [reason](int code, const std::string& path, const char* what, int error) {
    if (reason != nullptr) *reason = "'" + path + "' " + what + " (" + std::strerror(error) + ")";
    return code;
  };
  // An earlier capture's file that stays would have the new run appended to it.
  for (const char* ext : {".DMR", ".DMW", ".DMA"}) {
    const std::string path = captureSlotPath(ext);
    if (std::remove(path.c_str()) != 0 && errno != ENOENT) return fail(-2, path, "cannot be removed", errno);
    if (pal_FsStatLink(path.c_str(), nullptr)) return fail(-2, path, "cannot be removed", EEXIST);
  }
  std::FILE* windows = std::fopen(captureSlotPath(".DMW").c_str(), "wb");
  if (windows == nullptr) return fail(-1, captureSlotPath(".DMW"), "cannot be made", errno);
  std::fclose(windows);
  int32_t screen[4];
  pal_GetAvailableScreenPixels(0, screen);
  CaptureSlot& s = gCaptureSlot;
  s.W = screen[2];
  s.H = screen[3];
  s.a.assign(size_t{3} * s.W * s.H, 0);
  s.b.assign(size_t{3} * s.W * s.H, 0);
  s.start = std::chrono::steady_clock::now();
  gCaptureRecords = 0;
  gCaptureFull = 0;
  return 1;
}

void startCaptureWorkers() {
  gCaptureActive = 1;  // before the watcher starts: it ends at once when it reads anything else
  gCaptureSteps = 0;
  gClickState = 0;     // here, not after the first grab: a press made from now on is written
  gPressesAtStop = 0;
  gWatcherEnded = 0;
  startPressQueries(captureSlotPath(".DMA"));
  startThread(clickWatcherThread);
  startThread(captureThread);
}

bool stopCaptureWorkers() {
  int running = 1;
  gCaptureActive.compare_exchange_strong(running, 2);  // a full recording has stopped itself already
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(CAPTURE_STOP_WAIT_MS);
  while (gCaptureWorkers.load() > 0) {
    if (std::chrono::steady_clock::now() >= until) {
      stopPressQueries(0);
      return false;  // still 2: the late one ends by itself
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  stopPressQueries();  // the closing clicks are queued by now
  gCaptureActive = 0;
  return true;
}

void clickWatcherThread() {
  CountedOut out;
  const CaptureSources& src = gCaptureSources;
  pal_PressCounter* counter = src.openPresses();
  // Every press counted since the counter opened is the run's, those that
  // arrived before this first read (while the window minimised) among them.
  int64_t handled = 0;
  while (running()) {
    if (counter == nullptr) {  // no press counting on this server: poll the buttons
      int idle = 0;
      if (src.buttons() != 0) gClickState.compare_exchange_strong(idle, 1);
      pal_ForfeitThreadExecution();
      continue;
    }
    // Every counted press becomes a click once the one before it is written.
    const int64_t counted = src.countPresses(counter, 2);
    int idle = 0;
    if (counted > handled && gClickState.compare_exchange_strong(idle, 1)) ++handled;
  }
  if (stoppedByAuthor() && counter == nullptr) {
    int idle = 0;  // the stop's press, still held
    if (src.buttons() != 0) gClickState.compare_exchange_strong(idle, 1);
  } else if (stoppedByAuthor()) {
    // The stop's own press reaches the program's window and this counter
    // on separate connections: wait for it until the counter stays quiet.
    int64_t counted = src.countPresses(counter, 0);
    for (int read = 0; read < kFinalPressReads; ++read) {
      const int64_t now = src.countPresses(counter, kFinalPressWaitMs);
      if (now == counted) break;
      counted = now;
    }
    gPressesAtStop = std::max<int64_t>(0, counted - handled);
  }
  src.closePresses(counter);
  gWatcherEnded = 1;
}

namespace {

// Waits for the program's window to be minimised, grabs the first screen
// into the capture slot and opens the slot's recording for appending;
// returns its descriptor. Every failure ends the program.
int startRecording() {
  CaptureSlot& s = gCaptureSlot;
  const CaptureSources& src = gCaptureSources;
  src.waitMinimized(kMinimizeWaitMs);  // the first key frame must not show our own window
  const int got = src.grab(s.a.data(), s.W, s.H);
  if (got == -2)
    failCapture(-1, "Non-Standard Display",
                "Pictomira cannot capture from the primary monitor because it is set to a "
                "width that is not an even multiple of 4 pixels.  This usually happens when "
                "capturing from a virtual display.  Please set the display to one of the "
                "standard screen resolutions, re-start Pictomira, and try again.");
  if (got != 1) {
    char text[120];
    std::snprintf(text, sizeof text, "Unexpected RecErr003_L1:%d", got);
    failCapture(-1, "Exiting...", text);
  }
  const int fd = openForAppending(captureSlotPath(".DMR"));
  if (fd < 0) failCapture(-1, "Exiting...", "Unexpected RecErr007_L");
  return fd;
}

// One run of the capture thread on an open recording: its opening key
// frame, a pass for every click or change of the screen, and the clicks
// that close it. Every write that fails ends the program.
class CaptureSession {
 public:
  explicit CaptureSession(int fd)
      : fd_(fd), run_(fd, gCaptureSlot.W, gCaptureSlot.H, gCaptureSlot.a.data(), gCaptureSlot.b.data()) {
    pointer(&x_, &y_);
    if (!run_.openingKeyFrame(captureMillis(), x_, y_)) failCapture(fd_, "Exiting...", "Unexpected RecErr007_W");
  }

  // One pass: the click the watcher flagged, if any, then the screen's change.
  void pass() {
    pal_ForfeitThreadExecution();
    if (gClickState.load() == 2 && src_.buttons() == 0) gClickState = 0;
    int64_t t = captureMillis();
    if (gClickState.load() == 1) {
      if (countdown_ > 0) --countdown_;
      click(t);
      lastClick_ = t;
      gCaptureSteps.fetch_add(1);
      gClickState = 2;
      sampleCounter_ = 1;
      if (recordingFull()) return;  // the change record would take the closing click's place
      t = captureMillis();
    }
    recordScreen(t);
  }

  // Ends as a paused run does: its last record is a closing click.
  void endFull() {
    click(captureMillis());
    gCaptureFull = 1;
    gCaptureActive = 0;
  }

  // The presses the watcher counted before the stop become clicks, the
  // last of them the press that ended the run.
  void endStopped() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWatcherWaitMs);
    while (gWatcherEnded.load() == 0 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    int64_t clicks = std::min((gClickState.load() == 1 ? 1 : 0) + gPressesAtStop.load(), kFinalClicksCap);
    const bool pressed = clicks > 0;
    for (; clicks > 0 && gCaptureRecords.load() < CAPTURE_RECORD_CAP; --clicks) {
      click(captureMillis());
      gCaptureSteps.fetch_add(1);
    }
    // The program is ending without a press of its own (closed from the
    // keyboard or by another program) and none came just before: the
    // closing click is written all the same, so the author's last step
    // is kept, as after "Pause Capture".
    const int64_t now = captureMillis();
    if (pal_StopRequested() && !pressed && (lastClick_ < 0 || now - lastClick_ > kClosePressMs) &&
        gCaptureRecords.load() < CAPTURE_RECORD_CAP)
      click(now);
    gClickState = 0;
  }

 private:
  // A click written now belongs to the press it stands for; the run's last one is its closing click.
  void click(int64_t t) {
    pointer(&x_, &y_);
    if (!run_.clickKeyFrame(t, x_, y_)) failCapture(fd_, "Exiting...", "Unexpected RecErr007_W");
    queuePressQuery(t, x_, y_);  // after the key frame: the query never delays it
  }

  // Grabs the screen and records what changed. After a click the
  // foreground window is sampled: once the screen has changed for a while,
  // or as soon as it stands still.
  void recordScreen(int64_t t) {
    pointer(&x_, &y_);
    const int grabbed = src_.grab(run_.grabBuffer(), gCaptureSlot.W, gCaptureSlot.H);
    if (grabbed != 1) {
      char text[120];
      std::snprintf(text, sizeof text, "Unexpected RecErr003_L2:%d", grabbed);
      failCapture(fd_, "Exiting...", text);
    }
    const int changed = run_.recordChange(t, x_, y_);
    if (changed < 0) failCapture(fd_, "Exiting...", "Unexpected RecErr007_W");
    bool warn = false;
    if (changed > 0) {
      if (sampleCounter_ != 0 && ++sampleCounter_ > CAPTURE_SAMPLE_AFTER) {
        const int sampled = sampleWindow(&warn);
        if (sampled < 0) failCapture(fd_, "Exiting...", "Unexpected RecErr008_Wa");
        if (sampled == 1) sampleCounter_ = 0;
      }
      return;
    }
    if (sampleCounter_ == 0) {
      pal_ForfeitThreadExecution();
      return;
    }
    const int sampled = sampleWindow(&warn);
    if (sampled < 0) failCapture(fd_, "Exiting...", "Unexpected RecErr008_Wb");
    if (sampled == 1) {
      sampleCounter_ = 0;
    } else if (warn && countdown_ > 0) {
      pal_Alert(2, "Pictomira - Bad Window Size",
                "The front window seems to be either maximized or partially offscreen.  This"
                " will cause the demo to look wrong when presented.  Please re-position and/or"
                " re-size the window and then re-start the capture.");
      countdown_ = 0;
    }
  }

  const int fd_;
  const CaptureSources& src_ = gCaptureSources;
  CaptureRun run_;
  int32_t x_ = 0, y_ = 0;
  int countdown_ = CAPTURE_WARNING_CLICKS;  // clicks before the window-size warning is no longer given
  int sampleCounter_ = 0;                   // passes since the last click; 0 once the window is sampled
  int64_t lastClick_ = -1;                  // time of the run's last click key frame
};

// Times each pass of the capture loop into *times (the capture loop's benchmark); nothing when null.
class PassTimer {
 public:
  explicit PassTimer(std::vector<double>* times) : times_(times) {}
  void lap() {
    if (times_ == nullptr) return;
    const auto now = std::chrono::steady_clock::now();
    times_->push_back(std::chrono::duration<double, std::milli>(now - start_).count());
    start_ = now;
  }

 private:
  std::vector<double>* times_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

void captureThread() {
  CountedOut out;
  if (gCaptureRecords.load() > CAPTURE_RECORD_CAP - 2) {  // no room for a run and its closing click
    gCaptureFull = 1;
    gCaptureActive = 0;
    return;
  }
  const int fd = startRecording();
  CaptureSession session(fd);
  PassTimer timer(gCapturePassTimes);
  bool full = false;
  while (running()) {
    timer.lap();
    if (recordingFull()) {  // the most a demo can hold, less the closing click: the screen pauses
      full = true;
      break;
    }
    session.pass();
  }
  if (full) session.endFull();
  else if (stoppedByAuthor()) session.endStopped();
  closeFile(fd);
}
