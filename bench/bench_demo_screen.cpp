// bench_demo_screen: opening the demo screen of a 1280 x 800 demo of 300
// frames into a 900 x 600 window buffer: reading its data file, rebuilding
// frame 0 from the recording, scaling and darkening the backdrop and drawing
// the panels. Reading the data file alone runs beside it as the yardstick.
#include "studio/capture/demo_files.h"
#include "studio/shell/shell.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kW = 1280, kH = 800, kFrames = 300;

// A capture-like demo: a busy first screen, then each frame changes a
// 200 x 40 band somewhere; every frame has a name, a note and a click.
void prepareDemo() {
  static TempDir dir;
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  fx.crop[2] = kW;
  fx.crop[3] = kH;
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
}

void BM_ReadDemoData(benchmark::State& state) {
  const std::string path = demoFilePath(gCurrDemoName, ".DMD");
  for (auto _ : state) benchmark::DoNotOptimize(demoDataRead(path));
}

void BM_OpenDemoScreen(benchmark::State& state) {
  pal_InitWinBuf(0, HOME_W, HOME_H);
  char why[400];
  for (auto _ : state) {
    if (openCurrentDemo(why, sizeof why) != 1) state.SkipWithError(why);
    drawDemoScreen();
    benchmark::DoNotOptimize(gpal_ImageBuffBits[0][4 * (100 * HOME_W + 450)]);
  }
}

}  // namespace

BENCHMARK(BM_ReadDemoData)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_OpenDemoScreen)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
  resetRuntime();
  prepareDemo();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
