// bench_capture_loop: the recorder's real workers against a 1280 x 800 Xvfb
// screen of its own: the capture thread's pass time on a still screen and
// while an application redraws a 600 x 600 area, the bytes it writes per
// second meanwhile, and the time from an XTest press to its key frame being
// written; beside them, in the same run, the frame rate of ffmpeg's x11grab
// on the same screen.
#include "studio/capture/capture_recorder.h"
#include "studio/capture/demo_files.h"

#include "pal/pal.h"
#include "tests/support/runtime.h"
#include "tests/support/xsession.h"
#include "bench/bench_stats.h"
#include "bench/bench_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int64_t fileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// Runs the workers for ms milliseconds and returns the pass times.
std::vector<double> capturePasses(int ms) {
  std::vector<double> times;
  times.reserve(200000);
  gCapturePassTimes = &times;
  startCaptureWorkers();
  sleepMs(ms);
  stopCaptureWorkers();
  gCapturePassTimes = nullptr;
  if (!times.empty()) times.erase(times.begin());  // the first pass includes the opening key frame
  return times;
}


void report(const char* what, const std::vector<double>& t) {
  std::printf("%-40s passes %7zu  median %6.3f ms  p95 %6.3f ms  max %7.3f ms\n", what, t.size(), percentile(t, 0.5),
              percentile(t, 0.95), percentile(t, 1.0));
}

// The measurements, on a thread of their own: its connections to the X
// server close when it ends, while the server still runs.
void measure(const std::string& display) {
  TempDir dir;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  if (startCaptureSlot() != 1) return;
  XInput input;
  input.move(5, 5);

  report("still screen", capturePasses(3000));

  // ico redraws its 600 x 600 window without pause; with filled faces it
  // keeps the X server itself busy, so every round trip waits behind it.
  for (const bool faces : {false, true}) {
    std::vector<std::string> argv = {"ico", "-geometry", "600x600+100+100"};
    if (faces) argv.insert(argv.end(), {"-faces", "-noedges"});
    Child ico(argv);
    sleepMs(500);
    const int64_t before = fileSize(captureSlotPath(".DMR"));
    const auto started = Clock::now();
    const std::vector<double> busy = capturePasses(3000);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    const int64_t written = fileSize(captureSlotPath(".DMR")) - before;
    ico.kill();
    report(faces ? "600 x 600 ico, filled faces" : "600 x 600 ico, redrawn continuously", busy);
    std::printf("%-40s %.1f MB/s\n", "  written meanwhile", static_cast<double>(written) / seconds / 1e6);
  }

  // Presses: the time until the key frame for each is written.
  std::vector<double> latency;
  gCaptureSteps = 0;
  startCaptureWorkers();
  sleepMs(300);
  for (int i = 0; i < 20; ++i) {
    const int steps = gCaptureSteps.load();
    input.move(700 + i, 600);
    const auto pressed = Clock::now();
    input.button(1, true);
    input.button(1, false);
    input.sync();
    while (gCaptureSteps.load() == steps && Clock::now() - pressed < std::chrono::seconds(2))
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    latency.push_back(std::chrono::duration<double, std::milli>(Clock::now() - pressed).count());
    sleepMs(150);
  }
  stopCaptureWorkers();
  std::printf("%-40s median %6.3f ms  p95 %6.3f ms  max %7.3f ms\n", "press to its key frame written",
              percentile(latency, 0.5), percentile(latency, 0.95), percentile(latency, 1.0));

  const double fps = ffmpegFramesPerSecond(display);
  std::printf("%-40s %.0f frames per second (%.3f ms a frame)\n", "ffmpeg x11grab, same screen", fps,
              1000.0 / std::max(1.0, fps));
}

}  // namespace

int main() {
  XServer server(1280, 800);
  if (!server.ok()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  pal_InitPAL();
  std::thread(measure, server.display()).join();
  return 0;
}
