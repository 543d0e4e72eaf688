// demo_builder.cpp: writes demo folders for the tests, the benchmarks and
// the sample tool through the authoring program's own file writers.
#include "tests/support/demo_builder.h"

#include "studio/capture/demo_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool isRectangle(int32_t type) {
  return type == INSTR_LEFT || type == INSTR_RIGHT || type == INSTR_UP || type == INSTR_MOVE_IN ||
         type == INSTR_MOVE_OUT;
}

bool hasClick(const DemoFixtureFrame& frame) {
  for (const InstrRec& in : frame.instrs)
    if (in.type == INSTR_LEFT) return true;
  return false;
}

// Where the pointer was when frame f was grabbed: on the previous frame's
// first rectangle, which is what was clicked or pointed at to get here.
void pointerFor(const DemoFixture& fx, size_t f, int64_t* x, int64_t* y) {
  *x = fx.crop[0] + fx.crop[2] / 2;
  *y = fx.crop[1] + fx.crop[3] / 2;
  if (f == 0) return;
  for (const InstrRec& in : fx.frames[f - 1].instrs) {
    if (!isRectangle(in.type)) continue;
    *x = (int64_t{in.v[0]} + in.v[2]) / 2;
    *y = (int64_t{in.v[1]} + in.v[3]) / 2;
    return;
  }
}

// The bounding rectangle (x, y, w, h) of the pixels that differ between
// two screens; false when none do.
bool changedRect(const DemoFixture& fx, const std::vector<unsigned char>& before,
                 const std::vector<unsigned char>& after, int64_t rect[4]) {
  const int64_t W = fx.screenW, H = fx.screenH;
  int64_t left = W, top = H, right = -1, bottom = -1;
  for (int64_t y = 0; y < H; ++y) {
    const unsigned char* a = before.data() + y * W * 3;
    const unsigned char* b = after.data() + y * W * 3;
    if (std::memcmp(a, b, static_cast<size_t>(W) * 3) == 0) continue;
    top = std::min(top, y);
    bottom = y;
    for (int64_t x = 0; x < W; ++x) {
      if (std::memcmp(a + x * 3, b + x * 3, 3) == 0) continue;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  }
  if (bottom < 0) return false;
  rect[0] = left;
  rect[1] = top;
  rect[2] = right - left + 1;
  rect[3] = bottom - top + 1;
  return true;
}

// Writes the recording; keyAt and ownAt receive each frame's key record
// offset and own record offset.
bool writeRecording(const std::string& path, const DemoFixture& fx, std::vector<int64_t>* keyAt,
                    std::vector<int64_t>* ownAt) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  const int64_t W = fx.screenW, H = fx.screenH;
  const size_t screenBytes = static_cast<size_t>(W * H * 3);
  std::vector<unsigned char> before(screenBytes), screen(screenBytes), patch;
  bool ok = true;
  int64_t lastKey = 0;
  for (size_t fr = 0; fr < fx.frames.size() && ok; ++fr) {
    const auto frame = static_cast<int32_t>(fr);
    std::fill(screen.begin(), screen.end(), 0);
    if (fx.row)
      for (int32_t y = 0; y < H; ++y) fx.row(frame, y, screen.data() + static_cast<size_t>(y * W * 3));
    const bool key = fr == 0 || (fx.keyEvery > 0 && fr % static_cast<size_t>(fx.keyEvery) == 0);
    int64_t rect[4] = {0, 0, W, H};
    // Nothing changed: the capture still writes a record, of one pixel.
    if (!key && !changedRect(fx, before, screen, rect)) rect[2] = rect[3] = 1;
    patch.resize(static_cast<size_t>(rect[2] * rect[3] * 3));
    for (int64_t y = 0; y < rect[3]; ++y)
      std::memcpy(patch.data() + y * rect[2] * 3, screen.data() + ((rect[1] + y) * W + rect[0]) * 3,
                  static_cast<size_t>(rect[2]) * 3);
    RecordLine r{0, 0, W, H, rect[0], rect[1], rect[2], rect[3], int64_t{frame} * 100,
                 fr > 0 && hasClick(fx.frames[fr - 1]) ? 1 : 0};
    pointerFor(fx, fr, &r.mouseX, &r.mouseY);
    const int64_t at = ftello(f.get());
    if (key) lastKey = at;
    keyAt->push_back(lastKey);
    ownAt->push_back(at);
    ok = at >= 0 && recWriteRecord(f.get(), r, patch.data());
    before.swap(screen);
  }
  return std::fclose(f.release()) == 0 && ok;
}

bool writeWindowFile(const std::string& path, const DemoFixture& fx) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f || std::fclose(f.release()) != 0) return false;
  const int32_t rect[4] = {fx.crop[0], fx.crop[1], fx.crop[0] + fx.crop[2], fx.crop[1] + fx.crop[3]};
  for (int i = 0; i < 9; ++i)
    if (!winAppendRect(path, rect)) return false;
  return true;
}

int64_t storeText(const std::string& text) { return text.empty() ? -1 : demoStoreNewTextValue(text.c_str()); }

// Fills the model tables with the demo; false when a table would overflow.
bool fillModel(const DemoFixture& fx, const std::vector<int64_t>& keyAt, const std::vector<int64_t>& ownAt) {
  size_t instrs = 0;
  for (const DemoFixtureFrame& fr : fx.frames) instrs += fr.instrs.size();
  if (fx.frames.size() > static_cast<size_t>(DEMO_FRAME_CAP) || instrs > static_cast<size_t>(DEMO_INSTR_CAP))
    return false;
  demoInitDatastores();
  char crop[80];
  std::snprintf(crop, sizeof crop, "%d,%d,%d,%d\r\n", fx.crop[0], fx.crop[1], fx.crop[2], fx.crop[3]);
  gHeaderCount = 4;
  gHeaderData[0] = demoStoreNewTextValue(fx.cropText.empty() ? crop : fx.cropText.c_str());
  gHeaderData[1] = 0;
  gHeaderData[2] = fx.homeFrameId;
  gHeaderData[3] = fx.corners;
  gFrameCount = static_cast<int32_t>(fx.frames.size());
  gInstrCount = 0;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const DemoFixtureFrame& fr = fx.frames[f];
    gFrameData[f] = FrameRec{storeText(fr.name), f, keyAt[f], ownAt[f], storeText(fr.note), fr.noteX, fr.noteY};
    for (InstrRec in : fr.instrs) {
      in.frame = f;
      gInstrData[gInstrCount++] = in;
    }
  }
  return true;
}

}  // namespace

bool writeDemoFolder(const std::string& programFolder, const std::string& name, const DemoFixture& fx) {
  if (fx.screenW < 1 || fx.screenH < 1) return false;
  std::string folder = programFolder;
  if (folder.empty() || folder.back() != '/') folder += '/';
  folder += "Demos/" + name + "/";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) return false;
  const std::string base = folder + name;
  std::vector<int64_t> keyAt, ownAt;
  if (!writeRecording(base + ".DMR", fx, &keyAt, &ownAt) || !writeWindowFile(base + ".DMW", fx) ||
      !fillModel(fx, keyAt, ownAt) || demoDataWrite(base + ".DMD", DMD_VERSION) != 1)
    return false;
  if (fx.mtime == 0) return true;
  const struct timespec times[2] = {{static_cast<time_t>(fx.mtime), 0}, {static_cast<time_t>(fx.mtime), 0}};
  return ::utimensat(AT_FDCWD, (base + ".DMD").c_str(), times, 0) == 0;
}
