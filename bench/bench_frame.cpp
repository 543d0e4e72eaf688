// bench_frame: the cost of showing one 1280 x 800 package frame: decoding it
// into buffer 1, drawing its red boxes and a two-line note, and scaling it
// onto the main buffer at scale 1000 (1280 x 800) and 800 (1024 x 640);
// and the Presenter's whole path from a click event reaching its handler
// to the window buffer holding the next frame.
// A plain memcpy of the decoded frame's bytes runs in the same process as
// the yardstick. Rows of the package are drawn at random from a pool, so no
// two rows of a frame are read in one go: the slowest decoding case.
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_overlays.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "presenter/presenter.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280, kH = 800, kFrames = 8, kPoolRows = 3000;

TempDir* gDir = nullptr;

// Builds a package of kFrames frames whose rows come from a random pool,
// each frame with a click box, a mouse-over box and a two-line note.
void preparePackage() {
  static TempDir dir;
  gDir = &dir;
  std::vector<std::vector<unsigned char>> pool(kPoolRows, std::vector<unsigned char>(kW * 3));
  std::mt19937 rng(7);
  for (auto& row : pool)
    for (auto& b : row) b = static_cast<unsigned char>(rng());
  std::vector<int> pick(kFrames * kH);
  for (int& p : pick) p = static_cast<int>(rng() % kPoolRows);
  PackageFixture fx;
  fx.width = kW;
  fx.height = kH;
  fx.frames.resize(kFrames);
  for (int f = 0; f < kFrames; ++f) {
    fx.frames[f].note = "Click the Save button\nto keep your changes";
    // The click leads on, from the last frame back to the first.
    fx.frames[f].instrs = {InstrRec{0, (f + 1) % kFrames, 'L', {400, 300, 520, 340}},
                           InstrRec{0, -1, 'M', {40, 60, 300, 90}}};
  }
  fx.row = [&](int32_t f, int32_t y, unsigned char* bgr) { std::memcpy(bgr, pool[pick[f * kH + y]].data(), kW * 3); };
  const std::string path = dir.file("Bench.PMP");
  writeBytes(path, buildPackage(fx));
  const std::string set = ">Bench.PMP";
  writeBytes(dir.file("PMP_set.txt"), std::vector<unsigned char>(set.begin(), set.end()));
  resetRuntime();
  std::snprintf(gPathToFiles, PKG_PATH_LEN, "%s/", dir.path().c_str());
  setDemoParams();
  loadMetaData();
  pal_InitWinBuf(1, kW, kH);
}

void showFrame(int32_t frame, int32_t w, int32_t h) {
  pkgFrameToBuff(frame);
  demoLoadFrameInstructionsToMemory(frame);
  demoDrawRedInstructionBoxes(0);
  demoDrawSpeakerNotes(frame);
  pal_ScaleBufferOntoMainBuffer(1, 0, 0, w, h);
}

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<unsigned char> src(size_t{kW} * kH * 4, 1), dst(size_t{kW} * kH * 4);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
}

void BM_ShowFrame(benchmark::State& state) {
  const int32_t scale = static_cast<int32_t>(state.range(0));
  const int32_t w = kW * scale / 1000, h = kH * scale / 1000;
  pal_InitWinBuf(0, w, h);
  int32_t frame = 0;
  for (auto _ : state) {
    showFrame(frame, w, h);
    frame = (frame + 1) % kFrames;
    benchmark::DoNotOptimize(gpal_ImageBuffBits[0]);
  }
}

// A click reaches the presenting screen's handler; it matches the click,
// loads the next frame and scales it into the 1280 x 800 window buffer.
void BM_ClickToNextFrame(benchmark::State& state) {
  pal_InitWinBuf(0, kW, kH);
  gDemoScale = 1000;
  int32_t start[4] = {PAL_EV_START, kW, kH, 0};
  char name[PAL_NAME_LEN] = "";
  runDemoHandler(start, name);
  for (auto _ : state) {
    int32_t click[4] = {PAL_EV_PRESS, 450, 320, 0};
    if (runDemoHandler(click, name) != PAL_SHOW) state.SkipWithError("the click matched nothing");
    benchmark::DoNotOptimize(gpal_ImageBuffBits[0]);
  }
}

// The parts of a frame change, to see where the time goes.
void BM_DecodeOnly(benchmark::State& state) {
  int32_t frame = 0;
  for (auto _ : state) {
    pkgFrameToBuff(frame);
    frame = (frame + 1) % kFrames;
  }
}

void BM_ScaleOnly(benchmark::State& state) {
  const int32_t scale = static_cast<int32_t>(state.range(0));
  const int32_t w = kW * scale / 1000, h = kH * scale / 1000;
  pal_InitWinBuf(0, w, h);
  for (auto _ : state) pal_ScaleBufferOntoMainBuffer(1, 0, 0, w, h);
}

// The same shrink with pixman's separable box filter, the library scaler
// that the tree's own filter replaced.
void BM_ScalePixmanBox(benchmark::State& state) {
  const int32_t scale = static_cast<int32_t>(state.range(0));
  const int32_t w = kW * scale / 1000, h = kH * scale / 1000;
  pal_InitWinBuf(0, w, h);
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH,
                                                 reinterpret_cast<uint32_t*>(gpal_ImageBuffBits[1]), kW * 4);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, w, h,
                                                 reinterpret_cast<uint32_t*>(gpal_ImageBuffBits[0]), w * 4);
  const double s = 1000.0 / scale;
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(s), pixman_double_to_fixed(s));
  pixman_image_set_transform(src, &t);
  pixman_image_set_repeat(src, PIXMAN_REPEAT_PAD);
  int n = 0;
  pixman_fixed_t* params = pixman_filter_create_separable_convolution(
      &n, pixman_double_to_fixed(s), pixman_double_to_fixed(s), PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX,
      PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 2, 2);
  pixman_image_set_filter(src, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
  free(params);
  for (auto _ : state) pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, w, h);
  pixman_image_unref(src);
  pixman_image_unref(dst);
}

void BM_OverlaysOnly(benchmark::State& state) {
  demoLoadFrameInstructionsToMemory(0);
  for (auto _ : state) {
    demoDrawRedInstructionBoxes(0);
    demoDrawSpeakerNotes(0);
  }
}

}  // namespace

BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ShowFrame)->Arg(1000)->Arg(800)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_ClickToNextFrame)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ScaleOnly)->Arg(1000)->Arg(800)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_ScalePixmanBox)->Arg(800)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_OverlaysOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
  preparePackage();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
