// bench_capture_windows: the Windows build's capture (the Win32 layer's
// pal_ScreenToBGRbuffer and the recorder's real workers), for running under
// wine on an X server that capture_wine.sh starts. One measurement a run:
//   grab N         N grabs of the whole 1280 x 800 screen
//   loop MS LABEL  the capture thread's passes for MS milliseconds, and the
//                  bytes it wrote per second meanwhile
//   presses N X Y  N synthetic presses at (X, Y), each timed until its key
//                  frame is written (a window of wine's must lie there: the
//                  press hook sees wine's own windows only)
//   query N X Y    N questions to the accessibility tree about (X, Y), as
//                  capture asks about every press
#include "pal/pal.h"
#include "pal/pal_accessibility.h"
#include "pal/pal_fs.h"
#include "studio/capture/capture_recorder.h"
#include "studio/capture/demo_files.h"
#include "studio/kit/library.h"
#include "bench/bench_stats.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

int64_t sizeOf(const std::string& path) {
  pal_FsInfo info;
  return pal_FsStat(path.c_str(), &info) ? info.size : 0;
}

void report(const std::string& what, const std::vector<double>& t) {
  std::printf("wine: %-34s count %6zu  median %6.3f ms  p95 %6.3f ms  max %7.3f ms\n", what.c_str(), t.size(),
              percentile(t, 0.5), percentile(t, 0.95), percentile(t, 1.0));
}

int usage() {
  std::fprintf(stderr, "usage: bench_capture_windows grab N | loop MS LABEL | presses N X Y | query N X Y\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  pal_InitPAL();
  const std::string mode = argv[1];
  const int n = std::max(1, std::atoi(argv[2]));
  if (mode == "grab") {
    std::vector<unsigned char> frame(size_t{1280} * 800 * 3);
    std::vector<double> times;
    for (int i = 0; i < n; ++i) {
      const auto t = Clock::now();
      if (pal_ScreenToBGRbuffer(frame.data(), 1280, 800) != 1) {
        std::fprintf(stderr, "the capture failed\n");
        return 1;
      }
      times.push_back(msSince(t));
    }
    report("grab of the 1280 x 800 screen", times);
    std::printf("wine: %-34s %.0f grabs per second\n", "", 1000.0 / std::max(0.001, percentile(times, 0.5)));
    return 0;
  }
  if (mode == "query" && argc == 5) {
    std::vector<double> times;
    int found = 0;
    for (int i = 0; i < n; ++i) {
      pal_AccessiblePopups before{};
      pal_AccessibleObject object{};
      const auto t = Clock::now();
      pal_AccessiblePopupsNow(200, &before);
      found += pal_AccessibleAtPoint(std::atoi(argv[3]), std::atoi(argv[4]), 200, &before, &object) == 1;
      times.push_back(msSince(t));
    }
    report("accessible object at a press", times);
    std::printf("wine: %-34s %d of %d found\n", "", found, n);
    return 0;
  }
  if ((mode != "loop" || argc != 4) && (mode != "presses" || argc != 5)) return usage();
  const char* temp = std::getenv("TEMP");
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s\\", temp != nullptr ? temp : ".");
  std::string why;
  if (startCaptureSlot(&why) != 1) {
    std::fprintf(stderr, "the capture slot cannot be made: %s\n", why.c_str());
    return 1;
  }
  std::vector<double> times;
  if (mode == "loop") {
    times.reserve(200000);
    gCapturePassTimes = &times;
    // The bytes are counted after the opening key frame.
    startCaptureWorkers();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const int64_t before = sizeOf(captureSlotPath(".DMR"));
    const auto started = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(n));
    const int64_t written = sizeOf(captureSlotPath(".DMR")) - before;
    const double seconds = msSince(started) / 1000;
    stopCaptureWorkers();
    gCapturePassTimes = nullptr;
    if (!times.empty()) times.erase(times.begin());  // the first pass includes the opening key frame
    report(argv[3], times);
    std::printf("wine: %-34s %.1f MB/s\n", "  written meanwhile", static_cast<double>(written) / seconds / 1e6);
  } else {
    gCaptureSteps = 0;
    startCaptureWorkers();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (int i = 0; i < n; ++i) {
      const int steps = gCaptureSteps.load();
      int32_t at[2] = {std::atoi(argv[3]) + i, std::atoi(argv[4])};
      pal_GetOrSetCursorPos('S', at);
      // The press holds the button 70 ms: it is made on a thread of its own while this one waits.
      const auto pressed = Clock::now();
      std::thread press([] { pal_ClickMouse(1); });
      while (gCaptureSteps.load() == steps && msSince(pressed) < 2000) std::this_thread::sleep_for(std::chrono::microseconds(100));
      times.push_back(msSince(pressed));
      press.join();
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    stopCaptureWorkers();
    report("press to its key frame written", times);
  }
  for (const char* ext : {".DMR", ".DMW"}) std::remove(captureSlotPath(ext).c_str());
  return 0;
}
