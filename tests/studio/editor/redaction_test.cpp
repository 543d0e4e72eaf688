// Redaction on recorded demos written by the fixture builder: a patch of a
// colour found nowhere else, held by key records and by partial records,
// gone from every record of the range and replaced by the box in every
// frame rebuilt from the recording, hidden frames included; frames outside
// a range exactly as before; and what a failure or an interruption at each
// step of the rewrite leaves.
#include "studio/editor/redaction.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"
#include "studio/editor/frame_commands.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int32_t kW = 64, kH = 48, kFrames = 8;
constexpr int32_t kCrop[4] = {2, 4, 56, 40};
// The private patch: screen x 30..33, y 11..12, in every frame; the moving
// block of frames 4 and 5 passes under it, so their partial records hold it.
constexpr int32_t kSecret[4] = {30, 11, 4, 2};
const unsigned char kSecretBgr[3] = {9, 77, 201};

bool in(const int32_t r[4], int32_t x, int32_t y) { return x >= r[0] && x < r[0] + r[2] && y >= r[1] && y < r[1] + r[3]; }

// Frame f's whole screen pixel at (x, y): a gradient, a 4 x 4 block moving
// 6 pixels a frame along y 10..13, and the patch on top.
void pixelOf(int32_t f, int32_t x, int32_t y, unsigned char* p) {
  p[0] = static_cast<unsigned char>(x * 3);
  p[1] = static_cast<unsigned char>(y * 5);
  p[2] = 90;
  if (y >= 10 && y < 14 && x >= 4 + 6 * f && x < 8 + 6 * f) {
    p[0] = static_cast<unsigned char>(40 * f);
    p[1] = 250;
    p[2] = static_cast<unsigned char>(200 - 20 * f);
  }
  if (in(kSecret, x, y)) std::memcpy(p, kSecretBgr, 3);
}

std::vector<std::string> entriesOf(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = ::opendir(folder.c_str())) {
    while (const dirent* e = ::readdir(d)) names.emplace_back(e->d_name);
    ::closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class Redact : public testing::Test {
 protected:
  void SetUp() override { makeDemo(); }
  void TearDown() override { gRewriteSeam = nullptr; }

  void makeDemo() {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, sizeof gCurrDemoName, "%s", "Private");
    std::filesystem::remove_all(dir.file("Demos"));
    DemoFixture fx;
    fx.screenW = kW;
    fx.screenH = kH;
    fx.keyEvery = 3;  // key records at 0, 3 and 6
    std::copy(kCrop, kCrop + 4, fx.crop);
    std::copy(kCrop, kCrop + 4, gCropSize);
    for (int f = 0; f < kFrames; ++f) fx.frames.push_back({"f" + std::to_string(f), "", -999, -999, {{0, -1, 'T', {100}}}});
    fx.row = [](int32_t f, int32_t y, unsigned char* bgr) {
      for (int32_t x = 0; x < kW; ++x) pixelOf(f, x, y, bgr + 3 * x);
    };
    ASSERT_TRUE(writeDemoFolder(dir.path(), "Private", fx));
  }
  std::string folder() const { return dir.file("Demos/Private"); }
  std::string dmr() const { return folder() + "/Private.DMR"; }

  // Record n's cropped picture as the recording holds it now.
  Bytes rebuilt(int64_t n) {
    const std::vector<RecordEntry> records = indexRecording(dmr().c_str());
    Bytes out;
    EXPECT_LT(n, static_cast<int64_t>(records.size()));
    if (n < static_cast<int64_t>(records.size())) {
      EXPECT_TRUE(decodeRecordPicture(dmr(), records[n].offset, gCropSize, &out)) << n;
    }
    return out;
  }
  // Frame n as it was recorded, with the box painted when painted is set.
  static Bytes recorded(int32_t n, const Redaction* painted) {
    Bytes out(static_cast<size_t>(kCrop[2]) * kCrop[3] * 3);
    for (int32_t y = 0; y < kCrop[3]; ++y)
      for (int32_t x = 0; x < kCrop[2]; ++x) pixelOf(n, x + kCrop[0], y + kCrop[1], &out[(y * kCrop[2] + x) * 3]);
    if (painted != nullptr) paintBox(out.data(), kCrop, painted->rect, painted->colour);
    return out;
  }
  // The number of pixels of records first .. last (every record's own pixels) with colour bgr.
  size_t pixelsWith(const unsigned char bgr[3], int64_t first, int64_t last) {
    std::FILE* f = std::fopen(dmr().c_str(), "rb");
    size_t n = 0;
    const std::vector<RecordEntry> records = indexRecording(dmr().c_str());
    for (int64_t i = first; i <= last && i < static_cast<int64_t>(records.size()); ++i) {
      Bytes pixels(static_cast<size_t>(records[i].w * records[i].h * 3));
      fseeko(f, records[i].pixels, SEEK_SET);
      EXPECT_EQ(std::fread(pixels.data(), 1, pixels.size(), f), pixels.size());
      for (size_t p = 0; p < pixels.size(); p += 3) n += std::memcmp(&pixels[p], bgr, 3) == 0;
    }
    std::fclose(f);
    return n;
  }
  // Every frame's offsets name records and the data file reads back to the model.
  void expectReadable() {
    const std::vector<FrameRec> model(gFrameData, gFrameData + gFrameCount);
    ASSERT_EQ(demoDataRead(demoFilePath("Private", ".DMD")), 1);
    ASSERT_EQ(gFrameCount, static_cast<int32_t>(model.size()));
    Bytes shown(static_cast<size_t>(kCrop[2]) * kCrop[3] * 3);
    for (int32_t f = 0; f < gFrameCount; ++f) {
      EXPECT_EQ(gFrameData[f].imageRefB, model[f].imageRefB) << f;
      EXPECT_GE(demoRecframeCroppedToMembuff(dmr().c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB, gCropSize,
                                             shown.data(), 3, 1),
                0)
          << f;
      EXPECT_EQ(shown, rebuilt(gFrameData[f].frameId)) << f;
    }
  }

  TempDir dir;
};

TEST_F(Redact, WholeDemoLeavesNoPixelOfThePatchInAnyRecordAndEveryFrameShowsTheBox) {
  ASSERT_FALSE(hideRange("4", "5").refused);  // the patch's partial records are hidden frames
  ASSERT_GT(pixelsWith(kSecretBgr, 4, 5), 0u);
  ASSERT_GT(pixelsWith(kSecretBgr, 0, 0), 0u);
  const std::vector<std::string> entries = entriesOf(folder());
  Redaction r;
  std::copy(kSecret, kSecret + 4, r.rect);
  r.colour = 0x203040;
  std::string why;
  ASSERT_EQ(runRedaction(r, &why), REWRITE_DONE) << why;
  EXPECT_EQ(pixelsWith(kSecretBgr, 0, kFrames), 0u);
  for (int32_t n = 0; n < kFrames; ++n) EXPECT_EQ(rebuilt(n), recorded(n, &r)) << n;
  EXPECT_EQ(entriesOf(folder()), entries);  // no old recording, journal or new file is left
  expectReadable();
}

TEST_F(Redact, RangeKeepsEveryFrameOutsideItAsItWas) {
  // Records 2 and 5 do not hold the box: the first is grown so frame 2
  // shows the box, the second so frames 5 on keep their pictures.
  Redaction r;
  r.rect[0] = 40;
  r.rect[1] = 30;
  r.rect[2] = 6;
  r.rect[3] = 5;
  r.from = 2;
  r.to = 4;
  const int64_t sizeBefore = static_cast<int64_t>(std::filesystem::file_size(dmr()));
  const int64_t lastBefore = gFrameData[kFrames - 1].imageRefB;
  std::string why;
  ASSERT_EQ(runRedaction(r, &why), REWRITE_DONE) << why;
  for (int32_t n = 0; n < kFrames; ++n) EXPECT_EQ(rebuilt(n), recorded(n, n >= 2 && n <= 4 ? &r : nullptr)) << n;
  EXPECT_EQ(gFrameData[kFrames - 1].imageRefB - lastBefore,
            static_cast<int64_t>(std::filesystem::file_size(dmr())) - sizeBefore);
  expectReadable();
}

TEST_F(Redact, RefusesRectanglesOutsideTheScreenAndRangesOutsideTheRecording) {
  const struct {
    int32_t rect[4];
    bool ok;
  } rects[] = {{{0, 0, 64, 48}, true}, {{63, 47, 1, 1}, true}, {{0, 0, 65, 1}, false},
               {{-1, 0, 4, 4}, false}, {{10, 10, 0, 4}, false}, {{60, 40, 5, 2}, false}};
  for (const auto& c : rects) {
    Redaction r;
    std::copy(c.rect, c.rect + 4, r.rect);
    EXPECT_EQ(checkRedactRect(r).empty(), c.ok) << c.rect[0] << "," << c.rect[1] << "," << c.rect[2] << "," << c.rect[3];
  }
  Redaction r;
  std::copy(kSecret, kSecret + 4, r.rect);
  r.from = kFrames;
  std::string why;
  EXPECT_EQ(runRedaction(r, &why), REWRITE_FAILED);
  EXPECT_NE(why.find("not in the demo's recording"), std::string::npos) << why;
  EXPECT_GT(pixelsWith(kSecretBgr, 0, kFrames), 0u);
}

// A failure or an interruption at each step: after the start-up recovery
// the demo is either fully redacted or exactly as it was, and its folder
// holds the files it held before.
TEST_F(Redact, FailureOrInterruptionAtEachStepLeavesTheDemoWholeOrRedacted) {
  Redaction r;
  std::copy(kSecret, kSecret + 4, r.rect);
  r.from = 1;  // record 1 is grown, so offsets move
  const std::string before = slurp(dmr());
  const std::vector<std::string> entries = entriesOf(folder());
  std::string why;
  ASSERT_EQ(runRedaction(r, &why), REWRITE_DONE) << why;
  const std::string done = slurp(dmr());
  static RewriteStep failAt, crashAt;
  gRewriteSeam = [](RewriteStep s) {
    return s == failAt ? SeamAction::Fail : s == crashAt ? SeamAction::Crash : SeamAction::Go;
  };
  for (int s = 0; s <= static_cast<int>(RewriteStep::RenameData); ++s)
    for (bool crash : {false, true}) {
      const RewriteStep step = static_cast<RewriteStep>(s);
      failAt = crash ? RewriteStep::Count : step;
      crashAt = crash ? step : RewriteStep::Count;
      const std::string label = std::string(crash ? "crash " : "fail ") + std::to_string(s);
      makeDemo();
      runRedaction(r, &why);
      failAt = crashAt = RewriteStep::Count;  // the next start runs without the seam
      recoverInterruptedRewrites();
      const std::string now = slurp(dmr());
      const bool finished = crash && step > RewriteStep::Journal;
      EXPECT_TRUE(now == (finished ? done : before)) << label;
      EXPECT_EQ(entriesOf(folder()), entries) << label;
      ASSERT_EQ(demoDataRead(demoFilePath("Private", ".DMD")), 1) << label;  // as the next start reads it
      expectReadable();
    }
}

}  // namespace
