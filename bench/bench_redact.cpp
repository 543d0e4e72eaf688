// bench_redact: redacting a 200 x 40 rectangle over the whole of a
// 300-frame 1280 x 800 demo (a key record every 10 frames, a changed band
// between), against one `cp` of its recording in the same run.
#include "studio/capture/demo_files.h"
#include "studio/editor/redaction.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

}  // namespace

int main() {
  TempDir dir;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Private");
  DemoFixture fx;
  fx.screenW = 1280, fx.screenH = 800;
  fx.crop[0] = 0, fx.crop[1] = 0, fx.crop[2] = 1280, fx.crop[3] = 800;
  fx.keyEvery = 10;
  fx.frames.resize(300);
  fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 1280; ++x) {
      const bool band = y / 80 == f % 10;
      bgr[x * 3] = static_cast<unsigned char>(band ? f : x), bgr[x * 3 + 1] = static_cast<unsigned char>(y),
      bgr[x * 3 + 2] = static_cast<unsigned char>(x ^ y);
    }
  };
  if (!writeDemoFolder(dir.path(), "Private", fx)) return 1;
  std::copy(fx.crop, fx.crop + 4, gCropSize);
  const std::string recording = demoFilePath("Private", ".DMR"), copy = dir.path() + "/copy.DMR";
  const std::string cp = "cp '" + recording + "' '" + copy + "'", removeCopy = "rm '" + copy + "'";
  Redaction r;
  r.rect[0] = 500, r.rect[1] = 300, r.rect[2] = 200, r.rect[3] = 40;
  double copied = 1e9, redacted = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto t = Clock::now();
    if (std::system(cp.c_str()) != 0) return 1;
    copied = std::min(copied, since(t));
    if (std::system(removeCopy.c_str()) != 0) return 1;
    t = Clock::now();
    std::string why;
    if (runRedaction(r, &why) != REWRITE_DONE) {
      std::fprintf(stderr, "bench_redact: %s\n", why.c_str());
      return 1;
    }
    redacted = std::min(redacted, since(t));
  }
  std::printf("bench_redact: 200 x 40 over 300 frames (1280 x 800): %.3f s; cp of the recording: %.3f s; ratio %.2f (limit 3)\n",
              redacted, copied, redacted / copied);
  return redacted <= 3 * copied ? 0 : 1;
}
