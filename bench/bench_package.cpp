// bench_package: sharing a 300-frame 1280 x 800 demo whose frames are real
// screens of applications on a private Xvfb (an editor being typed into and
// scrolled, a calculator, a clock), beside baselines in the same run:
// - package writing (preparation and packaging) with Fast Build and with
//   Small Size, against `zstd -3` on the raw frames, with the sizes;
// - unwrapping the Linux wrapped file (until it reports the Presenter
//   ready), against `cp` of the unpacked Presenter.
#include "studio/capture/demo_files.h"
#include "studio/publishing/package_writer.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"
#include "tests/support/xsession.h"

#include <X11/keysym.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kW = 1280, kH = 800, kFrames = 300;

double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

int64_t fileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Seconds a shell command takes, median of three runs.
double timed(const std::string& cmd) {
  std::vector<double> t;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    t.push_back(since(start));
  }
  return median(t);
}

// 300 screens: xedit typed into and scrolled, with xcalc and xclock beside it.
std::vector<std::vector<unsigned char>> grabScreens() {
  std::vector<std::vector<unsigned char>> frames;
  XInput input;
  Child edit({"xedit", "-geometry", "760x700+10+40"});
  Child calc({"xcalc", "-geometry", "240x320+800+60"});
  Child clock({"xclock", "-update", "1", "-geometry", "200x200+820+420"});
  sleepMs(1500);
  input.move(300, 300);
  input.click(300, 300);
  const char* text = "Pictomira packages a demo as one file per system. ";
  for (int f = 0; f < kFrames; ++f) {
    if (f % 60 < 45) {
      const char c = text[f % 50];
      input.key(c == ' ' ? XK_space : c == '.' ? XK_period : static_cast<unsigned long>(c),
                c >= 'A' && c <= 'Z' ? std::vector<unsigned long>{XK_Shift_L} : std::vector<unsigned long>{});
      if (f % 15 == 14) input.key(XK_Return);
    } else {
      input.key(f % 2 == 0 ? XK_Next : XK_Prior);  // scrolling through the text
    }
    if (f % 25 == 0) input.click(850 + (f / 25) % 4 * 50, 200);  // a calculator key
    sleepMs(20);
    frames.push_back(input.grab(0, 0, kW, kH));
  }
  return frames;
}

}  // namespace

int main() {
  pal_InitPAL();
  TempDir dir;
  std::vector<std::vector<unsigned char>> frames;
  {
    XServer server;
    if (!server.ok()) return 1;
    frames = grabScreens();
  }
  // The demo: every screen a frame with a click, the raw frames beside it for zstd.
  DemoFixture fx;
  fx.screenW = kW;
  fx.screenH = kH;
  fx.crop[2] = kW;
  fx.crop[3] = kH;
  fx.keyEvery = 25;
  fx.frames.resize(kFrames);
  for (int f = 0; f < kFrames; ++f) fx.frames[f].instrs = {InstrRec{0, -1, 'L', {400, 300, 520, 340}}};
  fx.row = [&](int32_t f, int32_t y, unsigned char* bgr) {
    std::copy_n(&frames[static_cast<size_t>(f)][size_t{3} * kW * static_cast<size_t>(y)], size_t{3} * kW, bgr);
  };
  if (!writeDemoFolder(dir.path(), "Bench Share", fx)) return 1;
  {
    std::FILE* raw = std::fopen(dir.file("frames.raw").c_str(), "wb");
    for (const auto& frame : frames) std::fwrite(frame.data(), 1, frame.size(), raw);
    std::fclose(raw);
  }
  frames.clear();
  frames.shrink_to_fit();
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", "Bench Share");
  const std::string systemFolder = dir.file("zPictomiraSystemFiles");
  ::mkdir(systemFolder.c_str(), 0755);
  for (const char* f : {"GBA", "UWL", "ZPL"})
    std::system(("cp '" + std::string(PICTOMIRA_SYSTEM_FILES) + "/" + f + "' '" + systemFolder + "/'").c_str());

  const double zstd = timed("zstd -3 -q -f -T1 '" + dir.file("frames.raw") + "' -o '" + dir.file("frames.zst") + "'");
  const int64_t zstdSize = fileSize(dir.file("frames.zst"));
  std::printf("raw frames                        %10lld bytes\n", static_cast<long long>(fileSize(dir.file("frames.raw"))));
  std::printf("zstd -3 (one thread)              %8.3f s  %10lld bytes\n", zstd, static_cast<long long>(zstdSize));

  for (const int type : {PACKAGE_FAST, PACKAGE_SMALL}) {
    std::vector<double> t;
    for (int round = 0; round < (type == PACKAGE_FAST ? 3 : 1); ++round) {
      if (demoDataRead(demoFilePath(gCurrDemoName, ".DMD")) != 1) return 1;
      gCropSize[0] = gCropSize[1] = 0;
      gCropSize[2] = kW;
      gCropSize[3] = kH;
      PackageSettings settings;
      settings.name = type == PACKAGE_FAST ? "Fast" : "Small";
      settings.type = type;
      publishing::Failure why;
      const auto start = Clock::now();
      if (preparePackage(&why) != 1 || writePackages(settings, &why) != 1) {
        std::fprintf(stderr, "packaging failed: %s\n", why.text().c_str());
        return 1;
      }
      t.push_back(since(start));
    }
    const std::string out = packageFolderPath(type == PACKAGE_FAST ? "Fast" : "Small") +
                            (type == PACKAGE_FAST ? "Fast Linux" : "Small Linux");
    std::printf("%-33s %8.3f s  %10lld bytes  (%.2f x zstd's time, %.2f x its size)\n",
                type == PACKAGE_FAST ? "package, Fast Build" : "package, Small Size", median(t),
                static_cast<long long>(fileSize(out)), median(t) / zstd,
                static_cast<double>(fileSize(out)) / static_cast<double>(zstdSize));
  }

  // Unwrapping the Fast Build's Linux file in a folder of its own, against cp of its Presenter.
  XServer server;
  TempDir into;
  const std::string wrapped = into.file("Fast Linux");
  std::system(("cp '" + packageFolderPath("Fast") + "Fast Linux' '" + wrapped + "'").c_str());
  std::vector<double> unwrap;
  for (int round = 0; round < 3; ++round) {
    std::remove(into.file("Fast").c_str());
    const auto start = Clock::now();
    Child c({wrapped});
    // The Presenter appears under its name only once it is complete.
    while (fileSize(into.file("Fast")) == 0 && since(start) < 60) usleep(500);
    unwrap.push_back(since(start));
    c.kill();
  }
  const double cp = timed("cp '" + into.file("Fast") + "' '" + into.file("Fast copy") + "'");
  std::printf("unwrap the Linux file             %8.3f s  (Presenter %lld bytes; %.2f x cp)\n", median(unwrap),
              static_cast<long long>(fileSize(into.file("Fast"))), median(unwrap) / cp);
  std::printf("cp of the unpacked Presenter      %8.3f s\n", cp);
  return 0;
}
