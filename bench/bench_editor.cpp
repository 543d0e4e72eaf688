// bench_editor: moving to the next frame in the editor for a 1280 x 800
// demo of 300 frames: the frame rebuilt from the recording files, its red
// boxes and speaker note drawn, scaled into the frame view, and the panels
// drawn again. The editor window is 1680 x 980 at scale 1000 beside the
// panels (a large monitor) and 1020 x 710 at a smaller scale. Rebuilding
// the frame alone runs beside it as the yardstick.
#include "studio/capture/demo_files.h"
#include "studio/editor/editor_panels.h"
#include "studio/editor/editor_screens.h"
#include "studio/editor/editor_state.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280, kH = 800, kFrames = 300;

// A capture-like demo: a busy screen, each frame changing a 200 x 40 band,
// a key record at every tenth frame as clicks leave them; every frame has
// a name, a note and a click.
void prepareDemo() {
  static TempDir dir;
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  fx.crop[2] = kW;
  fx.crop[3] = kH;
  fx.keyEvery = 10;
  fx.frames.resize(kFrames);
  for (int f = 0; f < kFrames; ++f) {
    fx.frames[f].name = "Step " + std::to_string(f);
    fx.frames[f].note = "Click the highlighted button\nto go on";
    fx.frames[f].instrs = {InstrRec{0, -1, 'L', {400, 300, 520, 340}}};
  }
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < kW; ++x) {
      const bool band = y >= (f * 37) % (kH - 40) && y < (f * 37) % (kH - 40) + 40 && x >= 300 && x < 500;
      bgr[x * 3] = static_cast<unsigned char>(band ? f : x ^ y);
      bgr[x * 3 + 1] = static_cast<unsigned char>(band ? 255 - f : x + y);
      bgr[x * 3 + 2] = static_cast<unsigned char>(band ? 128 : y * 3);
    }
  };
  if (!writeDemoFolder(dir.path(), "Bench Demo", fx)) std::fprintf(stderr, "could not write the demo\n");
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Bench Demo");
  if (demoDataRead(demoFilePath(gCurrDemoName, ".DMD")) != 1) std::fprintf(stderr, "could not read the demo\n");
  gCropSize[0] = gCropSize[1] = 0;
  gCropSize[2] = kW;
  gCropSize[3] = kH;
}

void BM_RebuildFrameOnly(benchmark::State& state) {
  std::vector<unsigned char> pixels(size_t{3} * kW * kH);
  const std::string path = demoFilePath(gCurrDemoName, ".DMR");
  int32_t f = 0;
  for (auto _ : state) {
    f = (f + 1) % kFrames;
    demoRecframeCroppedToMembuff(path.c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB, gCropSize,
                                 pixels.data(), 3, 1);
    benchmark::DoNotOptimize(pixels[1000]);
  }
}

void BM_EditorNextFrame(benchmark::State& state) {
  gDemoScale = static_cast<int32_t>(state.range(0));
  const int32_t w = static_cast<int32_t>(state.range(1)), h = static_cast<int32_t>(state.range(2));
  pal_InitWinBuf(0, w, h);
  useStudioFrameSource();
  gEditorFrame = 0;
  drawEditor(5, 0);
  // The view must hold frame 5 as recorded: pixel (10, 20) of the frame at scale 1000.
  const unsigned char* p = gpal_ImageBuffBits[0] + 4 * (size_t{20} * static_cast<size_t>(w) + 400 + 10);
  if (gDemoScale == 1000 && (p[PAL_BLUE] != (10 ^ 20) || p[PAL_GREEN] != 30 || p[PAL_RED] != 60))
    state.SkipWithError("the frame view does not show the frame");
  for (auto _ : state) {
    drawEditor((gEditorFrame + 1) % kFrames, 1);
    benchmark::DoNotOptimize(gpal_ImageBuffBits[0][4 * (100 * w + 600)]);
  }
}

}  // namespace

BENCHMARK(BM_RebuildFrameOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_EditorNextFrame)
    ->Args({1000, 1680, 980})
    ->Args({484, 1020, 710})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
  pal_InitPAL();
  resetRuntime();
  prepareDemo();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
