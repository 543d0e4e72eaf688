// bench_abstraction: abstracting a 1,000-record 1280 x 800 capture (crop
// detection, frame list, steps, instructions, the demo data file written)
// beside one sequential read-and-apply pass over the same recording, and
// beside the plain implementation that decodes every frame from its key
// record, all in the same run. Then the same capture with labelled buttons
// and 50 clicks, abstracted with the step captions read off the screen and
// without: the time the 50 readings add (target: at most 1 s).
#include "studio/abstraction/abstraction.h"
#include "studio/capture/capture_recorder.h"
#include "studio/capture/demo_files.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/abstraction_reference.h"
#include "tests/support/runtime.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kW = 1280, kH = 800, kRecords = 1000;
constexpr int32_t kWinX = 200, kWinY = 100, kWinW = 800, kWinH = 560;
constexpr const char* kLabels[6] = {"Open", "Save", "Print", "Export", "Close", "Help"};

// The capture drawn: a click every period records; labelled buttons or blank ones.
struct Shape {
  int period;
  bool labelled;
};

// The screen of record i: a desktop, a window with a button row, a text
// field whose caret blinks, a progress bar that grows, a button that lights
// up before each click.
void paint(int i, const Shape& shape, std::vector<unsigned char>& screen) {
  pal_InitWinBuf(1, kW, kH);
  pag_FillRect(1, 0, 0, kW, kH, 0x2E5D7A);
  pag_FillRect(1, kWinX, kWinY, kWinW, kWinH, 0xF0F0F0);
  pag_FillRect(1, kWinX, kWinY, kWinW, 30, 0x3A6EA5);
  const int step = i / shape.period;
  for (int b = 0; b < 6; ++b) {
    const int32_t bx = kWinX + 20 + b * 120, by = kWinY + 60;
    pag_FillRect(1, bx, by, 100, 28, b == step % 6 && i % shape.period > shape.period * 3 / 5 ? 0x99C2EE : 0xD8D8D8);
    if (shape.labelled)
      pag_DrawTextOnBuff(1, bx + (100 - pal_GetTextWidth(kLabels[b], 2)) / 2, by + (28 - pal_FontPixelHeight(2)) / 2,
                         kLabels[b], 2, 0x202020);
  }
  pag_FillRect(1, kWinX + 20, kWinY + 120, 400, 24, 0xFFFFFF);
  if ((i / 4) % 2 == 0) pag_FillRect(1, kWinX + 30 + (step % 10) * 8, kWinY + 124, 1, 16, 0x000000);
  pag_FillRect(1, kWinX + 20, kWinY + 200, (i % 25) * 12, 16, 0x4A9A4A);
  pag_DrawTextOnBuff(1, kWinX + 20, kWinY + 300, ("Step " + std::to_string(step)).c_str(), 3, 0x202020);
  for (int32_t y = 0; y < kH; ++y)
    for (int32_t x = 0; x < kW; ++x) {
      const unsigned char* p = gpal_ImageBuffBits[1] + (size_t{4} * (static_cast<size_t>(y) * kW + x));
      unsigned char* o = &screen[size_t{3} * (static_cast<size_t>(y) * kW + x)];
      o[0] = p[PAL_BLUE];
      o[1] = p[PAL_GREEN];
      o[2] = p[PAL_RED];
    }
}

// Writes the capture slot through the recorder's own record writer.
void writeCapture(const Shape& shape) {
  const int fd = ::open(captureSlotPath(".DMR").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<unsigned char> a(size_t{3} * kW * kH), b(a.size());
  paint(0, shape, a);
  CaptureRun run(fd, kW, kH, a.data(), b.data());
  run.openingKeyFrame(0, 640, 400);
  int64_t t = 0;
  for (int i = 1; i < kRecords; ++i) {
    t += 40 + (i % 7) * 30;
    const int step = i / shape.period;
    const int32_t px = kWinX + 70 + (step % 6) * 120, py = kWinY + 74;
    if (i % shape.period == 0) {
      run.clickKeyFrame(t, px, py);
      continue;
    }
    paint(i, shape, run.grabBuffer() == a.data() ? a : b);
    run.recordChange(t, px, py);
  }
  ::close(fd);
  std::printf("capture of %lld records of %d x %d written, a click every %d\n",
              static_cast<long long>(run.records()), kW, kH, shape.period);
  const int32_t window[4] = {kWinX - 1, kWinY - 1, kWinX + kWinW + 1, kWinY + kWinH + 1};
  for (int i = 0; i < 9; ++i) winAppendRect(captureSlotPath(".DMW"), window);
}

// One sequential pass: every record read once and applied to a whole screen.
void readAndApplyAll(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return;
  std::vector<unsigned char> screen(size_t{3} * kW * kH), pixels;
  char line[REC_LINE_LIMIT + 1];
  while (std::fgets(line, sizeof line, f) != nullptr) {
    const int64_t x = getLinePosValue(line, 5), y = getLinePosValue(line, 6);
    const int64_t w = getLinePosValue(line, 7), h = getLinePosValue(line, 8);
    pixels.resize(static_cast<size_t>(w * h * 3));
    if (std::fread(pixels.data(), 1, pixels.size(), f) != pixels.size()) break;
    for (int64_t r = 0; r < h; ++r)
      std::memcpy(&screen[static_cast<size_t>(((y + r) * kW + x) * 3)], &pixels[static_cast<size_t>(r * w * 3)],
                  static_cast<size_t>(w * 3));
  }
  std::fclose(f);
}

double seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Abstracts the capture slot and writes the demo data file at path; seconds taken.
double abstractTo(const std::string& path) {
  resetRuntime();
  gRecordedW = -1;
  const auto start = std::chrono::steady_clock::now();
  analyseCapture();
  buildSteps();
  demoDataWrite(path, DMD_VERSION);
  return seconds(start);
}

// The click frames of the demo data file at path, and how many of their
// notes name the button clicked.
void countCaptions(const std::string& path, int* clicks, int* named) {
  resetRuntime();
  *clicks = *named = 0;
  if (demoDataRead(path) != 1) return;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    const InstrRec& in = gInstrData[i];
    if (in.type != INSTR_LEFT) continue;
    ++*clicks;
    char note[DEMO_TEXT_LEN] = "";
    demoGetTextValue(static_cast<int32_t>(gFrameData[in.frame].noteText), note);
    const int b = (in.v[0] - kWinX) / 120;
    if (b >= 0 && b < 6 && note == "Click \"" + std::string(kLabels[b]) + "\".") ++*named;
  }
}

// The labelled capture with about 50 clicks, abstracted with the labels read and without.
void captionsAdded(TempDir& dir) {
  writeCapture({19, true});  // 51 clicks kept (the last one ends the demo)
  std::vector<double> with, without;
  for (int round = 0; round < 5; ++round) {
    gAbstractReadsLabels = false;
    without.push_back(abstractTo(dir.file("without.DMD")));
    gAbstractReadsLabels = true;
    with.push_back(abstractTo(dir.file("with.DMD")));
  }
  int clicks = 0, named = 0, none = 0, unused = 0;
  countCaptions(dir.file("with.DMD"), &clicks, &named);
  countCaptions(dir.file("without.DMD"), &unused, &none);
  std::printf("labelled capture, captions off       %7.3f s (median of 5)\n", median(without));
  std::printf("labelled capture, captions read      %7.3f s  (+%.3f s for %d clicks; target +1 s for 50)\n",
              median(with), median(with) - median(without), clicks);
  std::printf("clicks named by their button: %d of %d (%d without reading)\n", named, clicks, none);
}

}  // namespace

int main() {
  pal_InitPAL();
  TempDir dir;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  writeCapture({25, false});
  gAbstractReadsLabels = false;  // as the plain implementation, which writes no captions
  std::vector<double> pass, fast, plain;
  // The pass and the abstraction are short: nine rounds each, interleaved so
  // both see the same machine; the plain implementation takes three.
  for (int round = 0; round < 9; ++round) {
    resetRuntime();
    auto start = std::chrono::steady_clock::now();
    readAndApplyAll(captureSlotPath(".DMR"));
    pass.push_back(seconds(start));

    resetRuntime();
    gRecordedW = -1;
    start = std::chrono::steady_clock::now();
    analyseCapture();
    buildSteps();
    demoDataWrite(dir.file("fast.DMD"), DMD_VERSION);
    fast.push_back(seconds(start));

    if (round % 3 != 0) continue;
    resetRuntime();
    gRecordedW = -1;
    start = std::chrono::steady_clock::now();
    referenceAnalyseCapture();
    referenceBuildSteps();
    demoDataWrite(dir.file("plain.DMD"), DMD_VERSION);
    plain.push_back(seconds(start));
  }
  std::printf("one sequential read-and-apply pass   %7.3f s (median of 9)\n", median(pass));
  std::printf("abstraction, files written           %7.3f s  (%.2f x the pass)\n", median(fast),
              median(fast) / median(pass));
  std::printf("plain implementation                 %7.3f s  (%.2f x the pass)\n", median(plain),
              median(plain) / median(pass));
  std::printf("both demo data files identical: %s\n", slurp(dir.file("fast.DMD")) == slurp(dir.file("plain.DMD")) ? "yes" : "NO");
  captionsAdded(dir);
  return 0;
}
