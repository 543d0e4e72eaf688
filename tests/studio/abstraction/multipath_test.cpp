// MultiPath on demos written by the demo fixture: a 64 x 48 screen whose
// frames each have their own grey background with a "button" painted at
// B; the worker runs on the model and its saved data file is read back.
#include "studio/abstraction/multipath.h"

#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "studio/editor/instruction_text.h"
#include "tests/support/demo_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int32_t kW = 64, kH = 48;
// Rectangles (left, top, right, bottom): the button, a quarter and a fifth of it, and two of the background.
constexpr std::array<int32_t, 4> B{10, 10, 30, 20}, QUARTER{10, 10, 19, 14}, FIFTH{10, 10, 17, 14}, C{40, 30, 50, 40},
    D{40, 5, 60, 8};
constexpr uint32_t kButton = 0x3070C0, kOther = 0xC07030;

InstrRec click(std::array<int32_t, 4> r, int32_t target = -1, int32_t type = 'L') {
  return InstrRec{0, target, type, {r[0], r[1], r[2], r[3]}};
}
InstrRec timer() { return InstrRec{0, -1, 'T', {500, 0, 0, 0}}; }

struct Copy {
  int32_t frame, target;
  std::array<int32_t, 4> rect;
};

// Writes the demo (button colour per frame: 0 hides the button) and makes it the current demo.
bool demo(const TempDir& dir, const std::vector<uint32_t>& button, const std::vector<std::vector<InstrRec>>& instrs) {
  resetRuntime();
  DemoFixture fx;
  fx.frames.resize(button.size());
  for (size_t f = 0; f < button.size(); ++f) fx.frames[f].instrs = instrs[f];
  fx.row = [button](int32_t f, int32_t y, unsigned char* bgr) {
    const uint32_t colour = button[static_cast<size_t>(f)];
    for (int32_t x = 0; x < kW; ++x) {
      const bool on = colour != 0 && x >= B[0] && x < B[2] && y >= B[1] && y < B[3];
      const uint32_t c = on ? colour : static_cast<uint32_t>(20 + 30 * f) * 0x010101u;
      bgr[3 * x] = c & 0xFF, bgr[3 * x + 1] = c >> 8 & 0xFF, bgr[3 * x + 2] = c >> 16 & 0xFF;
    }
  };
  if (!writeDemoFolder(dir.path(), "MP", fx)) return false;
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
  std::snprintf(gCurrDemoName, sizeof gCurrDemoName, "MP");
  const int32_t crop[4] = {0, 0, kW, kH};
  std::memcpy(gCropSize, crop, sizeof crop);
  return true;
}

std::vector<Copy> appended(int32_t from) {
  std::vector<Copy> out;
  for (int32_t i = from; i < gInstrCount; ++i)
    out.push_back({gInstrData[i].frame, gInstrData[i].target, {gInstrData[i].v[0], gInstrData[i].v[1], gInstrData[i].v[2], gInstrData[i].v[3]}});
  return out;
}

bool operator==(const Copy& a, const Copy& b) { return a.frame == b.frame && a.target == b.target && a.rect == b.rect; }

struct Case {
  const char* what;
  std::vector<uint32_t> button;
  std::vector<std::vector<InstrRec>> instrs;
  std::vector<Copy> copies;
  int32_t distinct;
};

TEST(MultiPath, CopiesClicksToFramesShowingTheirItem) {
  const uint32_t K = kButton;
  const Case cases[] = {
      {"one click adds nothing", {K, K, K}, {{click(B)}, {}, {}}, {}, 1},
      {"a click goes to another source frame showing its item", {K, K, K, K}, {{click(B)}, {}, {click(C)}, {}},
       {{2, 1, B}}, 2},
      {"a later click goes back to an earlier frame", {K, K, K, K}, {{click(C)}, {}, {click(B, 3)}, {}}, {{0, 3, B}}, 2},
      {"an item that looks different gets no copy", {K, K, kOther, K}, {{click(B)}, {}, {click(C)}, {}}, {}, 2},
      {"two alike clicks count once; the first leads", {K, K, K, K, K}, {{click(B)}, {}, {click(B)}, {click(C)}, {}},
       {{3, 1, B}}, 2},
      {"two clicks on one rectangle that look different both stay", {K, K, kOther, K, K},
       {{click(B)}, {}, {click(B)}, {click(C)}, {}}, {{3, 1, B}}, 3},
      {"a frame a quarter covered gets no copy", {K, K, K, K}, {{click(B)}, {}, {click(QUARTER)}, {}}, {}, 2},
      {"a fifth covered still gets one", {K, K, K, K}, {{click(B)}, {}, {click(FIFTH)}, {}}, {{2, 1, B}}, 2},
      {"timer-only destinations are skipped", {K, K, K, K, K}, {{click(B)}, {timer()}, {timer()}, {click(C)}, {}},
       {{3, 3, B}}, 2},
      {"past the last frame the first destination stays", {K, K, K, K}, {{click(B, 3)}, {click(C)}, {}, {timer()}},
       {{1, 3, B}}, 2},
      {"a click behind its hover frame is seen there", {K, K, K, K, K},
       {{click(B)}, {}, {click(B, -1, 'M')}, {click(B)}, {}}, {{2, 1, B}}, 1},
      {"a second run adds nothing new", {K, K, K, K}, {{click(B)}, {}, {click(C), click(B, 1)}, {}}, {}, 2},
  };
  // With no room for kept pixels, the pairs go to the second pass: the same copies.
  for (const int64_t budget : {MULTIPATH_KEPT_BUDGET, int64_t{0}})
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (budget == 0 ? ", nothing kept" : ""));
      TempDir dir;
      ASSERT_TRUE(demo(dir, c.button, c.instrs));
      const int32_t before = gInstrCount;
      gMultiPathKeptBudget = budget;
      addMultiPath();
      gMultiPathKeptBudget = MULTIPATH_KEPT_BUDGET;
      EXPECT_EQ(gMultiPathProgress.load(), MULTIPATH_DONE);
      EXPECT_EQ(appended(before), c.copies);
      EXPECT_EQ(gMultiPathReport.distinct, c.distinct);
      EXPECT_TRUE(gMultiPathReport.saved);
      EXPECT_LE(gMultiPathReport.mostDecodes, budget == 0 ? 2 : 1);
      if (budget > 0) {
        EXPECT_EQ(gMultiPathReport.framesDecoded, gMultiPathReport.sources);  // each rebuilt once
      }
      const int32_t count = gInstrCount;
      ASSERT_EQ(demoDataRead(demoFilePath("MP", ".DMD")), 1);
      EXPECT_EQ(gInstrCount, count);
    }
}

// 120 frames on one unchanging screen, each clicked on a 4 x 3 cell of its
// own: every click could go to every other frame, 14,280 copies held as
// 7,140 kept patches before.
TEST(MultiPath, EveryFrameStaysWithinTheEditorsListAndThePixelsKeptWithinTheirBudget) {
  constexpr int kClicks = 120;
  std::vector<std::vector<int32_t>> perFrame[2];
  for (int run = 0; run < 2; ++run) {
    TempDir dir;
    resetRuntime();
    DemoFixture fx;
    fx.frames.resize(kClicks);
    for (int k = 0; k < kClicks; ++k) {
      const int32_t x = k % 16 * 4, y = k / 16 * 3;
      fx.frames[static_cast<size_t>(k)].instrs = {click({x, y, x + 2, y + 1})};
    }
    fx.row = [](int32_t, int32_t y, unsigned char* bgr) { std::memset(bgr, 40 + y * 4, kW * 3); };
    ASSERT_TRUE(writeDemoFolder(dir.path(), "MP", fx));
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", dir.path().c_str());
    std::snprintf(gCurrDemoName, sizeof gCurrDemoName, "MP");
    const int32_t crop[4] = {0, 0, kW, kH};
    std::memcpy(gCropSize, crop, sizeof crop);
    gMultiPathKeptBudget = run == 0 ? MULTIPATH_KEPT_BUDGET : 10200;  // room for 100 of the 7,140 patches
    addMultiPath();
    gMultiPathKeptBudget = MULTIPATH_KEPT_BUDGET;
    const MultiPathReport r = gMultiPathReport;
    ASSERT_TRUE(r.saved);
    EXPECT_EQ(r.added, kClicks * (INSTR_WORKING_CAP - 1));
    EXPECT_EQ(r.frameFull, kClicks * (kClicks - INSTR_WORKING_CAP));
    if (run == 1) {
      EXPECT_LE(r.keptPeak, 10200 + kClicks * 102);  // the budget and one patch per click
    }
    ASSERT_EQ(demoDataRead(demoFilePath("MP", ".DMD")), 1);
    perFrame[run].assign(kClicks, {});
    for (int32_t i = 0; i < gInstrCount; ++i)
      perFrame[run][static_cast<size_t>(gInstrData[i].frame)].push_back(gInstrData[i].v[0] * 100 + gInstrData[i].v[1]);
    for (int32_t f = 0; f < kClicks; ++f) {
      EXPECT_EQ(demoLoadFrameInstructionsToMemory(f), INSTR_WORKING_CAP) << "frame " << f;
      EXPECT_EQ(perFrame[run][static_cast<size_t>(f)].size(), static_cast<size_t>(INSTR_WORKING_CAP)) << "frame " << f;
    }
  }
  EXPECT_EQ(perFrame[0], perFrame[1]);
}

TEST(MultiPath, TablesBeyondTheirCapacitiesAreRefused) {
  TempDir dir;
  ASSERT_TRUE(demo(dir, {kButton, kButton}, {{click(B)}, {}}));
  for (const int32_t frames : {-1, DEMO_FRAME_CAP + 1}) {
    gFrameCount = frames;
    addMultiPath();
    EXPECT_EQ(gMultiPathReport.added, 0);
    EXPECT_FALSE(gMultiPathReport.saved);
    EXPECT_FALSE(gMultiPathReport.why.empty());
  }
}

TEST(MultiPath, CompareClickTargetResults) {
  TempDir dir;
  // Clicks: 0 = B on frame 0, 1 = B on frame 1, 2 = C on frame 2.
  ASSERT_TRUE(demo(dir, {kButton, kButton, kButton, kOther, kButton}, {{click(B)}, {click(B)}, {click(C)}, {}, {}}));
  std::vector<unsigned char> a(kW * kH * 3), b(kW * kH * 3);
  const std::array<int, 4> cases[] = {{0, 1, 0, MP_SAME_CLICK}, {0, 2, 0, MP_OTHER_RECT}, {0, 0, 0, MP_SAME_FRAME},
                                      {0, 4, 1, MP_SAME_AREA},  {0, 3, 1, MP_AREAS_DIFFER}, {0, 1, 1, MP_ALREADY_COVERED},
                                      {2, 4, 1, MP_AREAS_DIFFER}};
  for (const auto& c : cases)
    EXPECT_EQ(compareClickTarget(c[0], c[1], c[2], a.data(), b.data()), c[3]) << c[0] << " " << c[1] << " mode " << c[2];
}

TEST(MultiPath, AFullInstructionTableStopsTheCopiesAndSavesWhatWasAdded) {
  TempDir dir;
  ASSERT_TRUE(demo(dir, {kButton, kButton, kButton, kButton}, {{click(B)}, {click(C)}, {click(D)}, {}}));
  // Keys on the last frame fill the table but one place.
  while (gInstrCount < DEMO_INSTR_CAP - 1) gInstrData[gInstrCount++] = InstrRec{3, -1, 'K', {13, 0, 0, 0}};
  addMultiPath();
  EXPECT_EQ(gInstrCount, DEMO_INSTR_CAP);
  EXPECT_EQ(appended(DEMO_INSTR_CAP - 1), (std::vector<Copy>{{1, 1, B}}));
  EXPECT_EQ(gMultiPathReport.added, 1);
  EXPECT_EQ(gMultiPathReport.notCopied, 1);
  ASSERT_TRUE(gMultiPathReport.saved);
  gInstrCount = 0;
  ASSERT_EQ(demoDataRead(demoFilePath("MP", ".DMD")), 1);
  EXPECT_EQ(gInstrCount, DEMO_INSTR_CAP);
}

TEST(MultiPath, DestinationSkipsTimerOnlyFrames) {
  TempDir dir;
  ASSERT_TRUE(demo(dir, {0, 0, 0, 0, 0}, {{click(B), click(C, 4)}, {timer()}, {timer(), click(D)}, {}, {timer()}}));
  EXPECT_EQ(multiPathDestination(0), 2);  // frame 1 holds only a timer
  EXPECT_EQ(multiPathDestination(1), 4);  // frame 4 is the last: back to the first answer
}

TEST(MultiPath, AnUnreadableRecordingAddsNothingAndSavesNothing) {
  TempDir dir;
  ASSERT_TRUE(demo(dir, {kButton, kButton, kButton}, {{click(B)}, {click(C)}, {}}));
  std::remove(demoFilePath("MP", ".DMR").c_str());
  const int32_t before = gInstrCount;
  addMultiPath();
  EXPECT_EQ(gInstrCount, before);
  EXPECT_FALSE(gMultiPathReport.saved);
  EXPECT_FALSE(gMultiPathReport.why.empty());
}

}  // namespace
