// bench_capture: grabbing the primary monitor of a 1280 x 800 Xvfb screen
// into packed blue, green, red bytes with pal_ScreenToBGRbuffer, beside the
// frame rate that ffmpeg's x11grab reaches on the same screen in the same
// run. Starts its own Xvfb.
#include "pal/pal.h"
#include "tests/support/xsession.h"
#include "bench/bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kW = 1280, kH = 800;

void BM_ScreenToBGRbuffer(benchmark::State& state) {
  std::vector<unsigned char> frame(size_t{kW} * kH * 3);
  for (auto _ : state) {
    if (pal_ScreenToBGRbuffer(frame.data(), kW, kH) != 1) state.SkipWithError("capture failed");
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["grabs/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_ScreenToBGRbuffer)->UseRealTime()->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
  XServer server(kW, kH);
  if (!server.ok()) {
    std::fprintf(stderr, "Xvfb did not start\n");
    return 1;
  }
  pal_InitPAL();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double fps = ffmpegFramesPerSecond(server.display());
  std::printf("ffmpeg x11grab on the same screen: %.0f frames per second (%.3f ms a frame)\n", fps,
              1000.0 / std::max(1.0, fps));
  return 0;
}
