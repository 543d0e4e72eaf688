// bench_html5: exporting a 300-frame 1280 x 800 demo as the HTML5 page, in
// milliseconds per frame (median of three exports) with the page's size;
// beside it in the same run `gzip -6` on the same frames as raw RGBA, its
// time and size. The frames are a busy screen whose 200 x 40 band moves
// from frame to frame, with the instructions of a recorded session: mouse-
// overs and their click frames, waits (drawn as deltas of the frame
// before), key waits and clicks, most of them with a speaker note. Then the
// same export through the authoring program's command line (a process of
// its own, with no display), whose time adds only the program's start-up.
#include "studio/publishing/web_export.h"

#include "studio/capture/demo_files.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "tests/support/demo_builder.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kW = 1280, kH = 800, kFrames = 300, kRuns = 3;
constexpr const char* kDemo = "Bench Demo";
constexpr const char* kPage = "Bench Page";

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Processor time of this process so far (all its threads), milliseconds.
double cpuMs() {
  struct rusage u;
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

int64_t fileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

// The instructions of frame f: a six-frame cycle of a mouse-over, its click
// frame with an exit, a wait, a click with a key wait after it, and a click.
DemoFixtureFrame frameOf(int f) {
  const InstrRec button{0, -1, 'L', {400, 300, 520, 340}};
  DemoFixtureFrame fr;
  fr.name = "Step " + std::to_string(f);
  switch (f % 6) {
    case 0: fr.instrs = {InstrRec{0, -1, 'M', {400, 300, 520, 340}}}; break;
    case 1: fr.instrs = {button, InstrRec{0, f - 1, 'E', {400, 300, 520, 340}}}; break;
    case 2: fr.instrs = {InstrRec{0, -1, 'T', {600, 0, 0, 0}}}; break;
    case 3: fr.instrs = {button}; break;
    case 4: fr.instrs = {InstrRec{0, -1, 'K', {13, 0, 0, 0}}}; break;
    default: fr.instrs = {InstrRec{0, -1, 'L', {40, 700, 160, 730}}}; break;
  }
  if (f % 6 != 2) fr.note = "Click the highlighted button\nto go on";
  return fr;
}

bool prepareDemo(const TempDir& dir) {
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  fx.crop[2] = kW;
  fx.crop[3] = kH;
  fx.keyEvery = 10;
  fx.corners = 1;
  for (int f = 0; f < kFrames; ++f) fx.frames.push_back(frameOf(f));
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < kW; ++x) {
      const bool band = y >= (f * 37) % (kH - 40) && y < (f * 37) % (kH - 40) + 40 && x >= 300 && x < 500;
      bgr[x * 3] = static_cast<unsigned char>(band ? f : x ^ y);
      bgr[x * 3 + 1] = static_cast<unsigned char>(band ? 255 - f : x + y);
      bgr[x * 3 + 2] = static_cast<unsigned char>(band ? 128 : y * 3);
    }
  };
  resetRuntime();
  if (!writeDemoFolder(dir.path(), kDemo, fx)) return false;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", kDemo);
  std::copy(fx.crop, fx.crop + 4, gCropSize);
  uint32_t values[44] = {};
  values[4] = 450;
  values[9] = 150;
  values[14] = 0x203040;
  values[19] = 0xFFFFFF;
  ::mkdir(dir.file("zPictomiraSystemFiles").c_str(), 0777);
  return writeBytes(dir.file("zPictomiraSystemFiles/GBH"), fixtureBranding(values, 0x604020, 0));
}

// Writes every frame as raw RGBA (alpha 255) to path; false on failure.
bool writeRawFrames(const std::string& path) {
  const std::string recording = demoFilePath(kDemo, ".DMR");
  std::vector<unsigned char> rgba(size_t{4} * kW * kH, 255);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) return false;
  bool ok = true;
  for (int f = 0; f < kFrames && ok; ++f)
    ok = demoRecframeCroppedToMembuff(recording.c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB, gCropSize,
                                      rgba.data(), 4, 2) >= 0 &&
         std::fwrite(rgba.data(), 1, rgba.size(), out) == rgba.size();
  return std::fclose(out) == 0 && ok;
}

}  // namespace

int main() {
  TempDir dir;
  if (!prepareDemo(dir)) {
    std::fprintf(stderr, "bench_html5: could not write the demo\n");
    return 1;
  }
  std::vector<double> perFrame, cpuPerFrame;
  publishing::Failure why;
  for (int run = 0; run < kRuns; ++run) {
    std::vector<std::string> warnings;
    const double cpu = cpuMs();
    const auto start = Clock::now();
    if (writeHtml5Page({kPage, "A benchmark\nof the page"}, &why, &warnings) != 1) {
      std::fprintf(stderr, "bench_html5: %s\n", why.text().c_str());
      return 1;
    }
    perFrame.push_back(msSince(start) / kFrames);
    cpuPerFrame.push_back((cpuMs() - cpu) / kFrames);
  }
  // The command line: the same page, a fresh process each run.
  std::vector<double> commandMs;
  const std::string command = "{ env -u DISPLAY '" PICTOMIRA_STUDIO_BIN "' --folder '" + dir.path() +
                              "' --publish html5 '" + kDemo + "' --package-name '" + kPage +
                              "' --notes \"$(printf 'A benchmark\\nof the page')\" >/dev/null 2>&1; }";
  for (int run = 0; run < kRuns; ++run) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "bench_html5: the command line failed: %s\n", command.c_str());
      return 1;
    }
    commandMs.push_back(msSince(start));
  }
  std::sort(commandMs.begin(), commandMs.end());
  std::sort(perFrame.begin(), perFrame.end());
  std::sort(cpuPerFrame.begin(), cpuPerFrame.end());
  const int64_t pageBytes = fileSize(html5PagePath(kPage));

  const std::string raw = dir.file("frames.rgba"), packed = raw + ".gz";
  if (!writeRawFrames(raw)) {
    std::fprintf(stderr, "bench_html5: could not write the raw frames\n");
    return 1;
  }
  const auto start = Clock::now();
  const int status = std::system(("gzip -6 -c '" + raw + "' > '" + packed + "'").c_str());
  const double gzipMs = msSince(start);
  if (status != 0) std::fprintf(stderr, "bench_html5: gzip failed\n");

  std::printf("HTML5 page of %d frames of %d x %d: %.1f ms a frame (median of %d; target at most 25), "
              "%.1f ms of processor time a frame, page %.1f MB\n",
              kFrames, kW, kH, perFrame[perFrame.size() / 2], kRuns, cpuPerFrame[cpuPerFrame.size() / 2],
              pageBytes / 1e6);
  const double inProcessMs = perFrame[perFrame.size() / 2] * kFrames, cliMs = commandMs[commandMs.size() / 2];
  std::printf("  Pictomira --publish html5 of the same demo: %.0f ms (median of %d) against %.0f ms in-process: "
              "%+.0f ms (target: start-up only)\n",
              cliMs, kRuns, inProcessMs, cliMs - inProcessMs);
  std::printf("  gzip -6 of the same frames as RGBA (%.0f MB): %.1f ms a frame, %.1f MB\n", fileSize(raw) / 1e6,
              gzipMs / kFrames, fileSize(packed) / 1e6);
  std::remove(raw.c_str());
  std::remove(packed.c_str());
  return 0;
}
