// bench_multipath: MultiPath on a 300-frame 1280 x 800 demo with 60 clicks
// (a window with a row of ten buttons, a content area that changes a
// little every frame and a lot every 25 frames, the button of the coming
// click lit), beside one pass that rebuilds every frame once through the
// frame cursor, both timed in the same run. Also counts how often MultiPath
// rebuilt each frame. Exits 1 when a frame is rebuilt twice or MultiPath
// takes more than twice the pass.
#include "studio/abstraction/frame_cursor.h"
#include "studio/abstraction/multipath.h"
#include "studio/capture/demo_files.h"

#include "demo/demo_model.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int32_t kW = 1280, kH = 800, kFrames = 300, kClicks = 60, kButtons = 10;
constexpr int32_t kBtnY0 = 120, kBtnY1 = 150;

int32_t buttonX(int b) { return 220 + b * 75; }

void fill(unsigned char* bgr, int32_t x0, int32_t x1, uint32_t c) {
  for (int32_t x = x0; x < x1; ++x) bgr[3 * x] = c & 0xFF, bgr[3 * x + 1] = c >> 8 & 0xFF, bgr[3 * x + 2] = c >> 16 & 0xFF;
}

void paintRow(int32_t f, int32_t y, unsigned char* bgr) {
  fill(bgr, 0, kW, 0x2E5D7A);
  if (y < 100 || y >= 700) return;
  fill(bgr, 200, 1080, 0xF0F0F0);
  if (y < 130) fill(bgr, 200, 1080, 0x3A6EA5);
  if (y >= kBtnY0 && y < kBtnY1)
    for (int b = 0; b < kButtons; ++b) fill(bgr, buttonX(b), buttonX(b) + 60, b == (f / 5) % kButtons && f % 5 == 4 ? 0xFFD070 : 0xD0D8E8);
  if (y >= 200 && y < 680) {
    const int page = f / 25;
    fill(bgr, 220, 1060, static_cast<uint32_t>(0x404040 + page * 0x0A0A0A));
    const int32_t cell = f % 25;
    if (y >= 220 + cell * 16 && y < 232 + cell * 16) fill(bgr, 240, 240 + 30 * (f % 20 + 1), 0x101010);
  }
}

double seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Rebuilds every frame once, in order, through the frame cursor; returns a byte of each, so nothing is skipped.
unsigned everyFrameOnce() {
  FrameCursor cursor(demoFilePath(gCurrDemoName, ".DMR").c_str(), gCropSize);
  unsigned sum = 0;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    if (!cursor.seek(gFrameData[f].imageRefA, gFrameData[f].imageRefB)) return 0;
    sum += cursor.pixels()[static_cast<size_t>(f) * 3];
  }
  return sum;
}

}  // namespace

int main() {
  TempDir dir;
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  const int32_t crop[4] = {0, 0, kW, kH};
  std::copy(crop, crop + 4, fx.crop);
  fx.keyEvery = 50;
  fx.frames.resize(kFrames);
  for (int k = 0; k < kClicks; ++k) {
    const int b = k % kButtons;
    fx.frames[static_cast<size_t>(k * 5)].instrs = {InstrRec{0, -1, 'L', {buttonX(b), kBtnY0, buttonX(b) + 60, kBtnY1}}};
  }
  for (int f = 0; f < kFrames; ++f)
    if (fx.frames[static_cast<size_t>(f)].instrs.empty()) fx.frames[static_cast<size_t>(f)].instrs = {InstrRec{0, -1, 'T', {100, 0, 0, 0}}};
  fx.row = paintRow;
  resetRuntime();
  if (!writeDemoFolder(dir.path(), "Bench", fx)) return std::fprintf(stderr, "demo not written\n"), 1;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::snprintf(gCurrDemoName, sizeof gCurrDemoName, "Bench");
  std::memcpy(gCropSize, crop, sizeof crop);
  const int32_t instrs = gInstrCount;
  std::printf("demo of %d frames of %d x %d with %d clicks written\n", gFrameCount, kW, kH, kClicks);

  std::vector<double> pass, multi;
  int32_t worstDecodes = 0;
  for (int round = 0; round < 7; ++round) {
    auto start = std::chrono::steady_clock::now();
    if (everyFrameOnce() == 0 && round == 0) std::printf("(every pixel sampled was 0)\n");
    pass.push_back(seconds(start));
    gInstrCount = instrs;
    start = std::chrono::steady_clock::now();
    addMultiPath();
    multi.push_back(seconds(start));
    worstDecodes = std::max(worstDecodes, gMultiPathReport.mostDecodes);
  }
  const MultiPathReport& r = gMultiPathReport;
  const double ratio = median(multi) / median(pass);
  std::printf("every frame rebuilt once (cursor pass)  %7.3f s (median of 7)\n", median(pass));
  std::printf("MultiPath, data file saved              %7.3f s  (%.2f x the pass)\n", median(multi), ratio);
  std::printf("MultiPath: %d clicks, %d distinct, %d source frames, %d copies added\n", r.clicks, r.distinct, r.sources,
              r.added);
  std::printf("frames rebuilt by MultiPath: %d of %d, at most %d time(s) each\n", r.framesDecoded, gFrameCount, worstDecodes);
  const bool ok = worstDecodes <= 1 && ratio <= 2.0 && r.saved;
  std::printf("each frame rebuilt at most once and within 2 x the pass: %s\n", ok ? "yes" : "NO");
  return ok ? 0 : 1;
}
