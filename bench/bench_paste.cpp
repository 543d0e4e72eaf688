// bench_paste: pasting 100 frames into a 300-frame 1280 x 800 demo (a key
// record every 10 frames, a changed band between), against `cp` of both
// recordings in the same run.
#include "studio/capture/demo_files.h"
#include "studio/capture/demo_paste.h"

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

DemoFixture demo(int d, int frames) {
  DemoFixture fx;
  fx.screenW = 1280, fx.screenH = 800;
  fx.crop[0] = 0, fx.crop[1] = 0, fx.crop[2] = 1280, fx.crop[3] = 800;
  fx.keyEvery = 10;
  fx.frames.resize(static_cast<size_t>(frames));
  fx.row = [d](int32_t f, int32_t y, unsigned char* bgr) {
    for (int x = 0; x < 1280; ++x) {
      const bool band = y / 80 == f % 10;
      bgr[x * 3] = static_cast<unsigned char>(band ? f : x), bgr[x * 3 + 1] = static_cast<unsigned char>(y + d),
      bgr[x * 3 + 2] = static_cast<unsigned char>(x ^ y);
    }
  };
  return fx;
}

}  // namespace

int main() {
  TempDir dir;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  if (!writeDemoFolder(dir.path(), "Into", demo(0, 300)) || !writeDemoFolder(dir.path(), "From", demo(1, 100))) return 1;
  // Both commands write new files, removed after each run, so that neither
  // gets pages the other freed.
  const std::string copies = dir.path() + "/copies";
  const std::string cp = "mkdir '" + copies + "' && cp '" + demoFilePath("Into", ".DMR") + "' '" +
                         demoFilePath("From", ".DMR") + "' '" + copies + "/'";
  const std::string removeCopies = "rm -r '" + copies + "'";
  double copy = 1e9, paste = 1e9;
  for (int run = 0; run < 5; ++run) {
    auto t = Clock::now();
    if (std::system(cp.c_str()) != 0) return 1;
    copy = std::min(copy, since(t));
    if (std::system(removeCopies.c_str()) != 0) return 1;
    t = Clock::now();
    if (pasteRun({"Into", "From", 0, 99, 149, "Joined"}) != PASTE_DONE) return 1;
    paste = std::min(paste, since(t));
    if (pal_DeleteDirectory(demoFolderPath("Joined").c_str(), 2) != 1) return 1;
  }
  std::printf("bench_paste: paste 100 frames into 300 (1280 x 800): %.3f s; cp of both recordings: %.3f s; ratio %.2f (limit 2)\n",
              paste, copy, paste / copy);
  return paste <= 2 * copy ? 0 : 1;
}
