// Instruction matching: clicks, mouse-overs and exits, keys with the
// navigation keys and the history, and the mouse guide's step rule.
#include "demo/demo_match.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

namespace {

class Match : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    gFrameCount = 10;
    gCurrShownFrame = 3;
  }
  void add(char type, int32_t target, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
    gInstrData[gInstrCount++] = InstrRec{3, target, type, {a, b, c, d}};
    demoLoadFrameInstructionsToMemory(3);
  }
  MatchResult mouse(void (*matcher)(const int32_t*, MatchResult*), int32_t x, int32_t y) {
    const int32_t ev[4] = {PAL_EV_PRESS, x, y, 0};
    MatchResult r{-7, -7};
    matcher(ev, &r);
    return r;
  }
  MatchResult key(int32_t vk, int32_t character = 0, int32_t modifier = 0) {
    const int32_t ev[4] = {PAL_EV_KEY, character, modifier, vk};
    MatchResult r{-7, -7};
    demoCheckMatchingKeyboardInstruction(ev, &r);
    return r;
  }
};

bool same(const MatchResult& r, int32_t kind, int32_t value) { return r.kind == kind && r.value == value; }

TEST_F(Match, ClickOnTheRightAndBottomEdgeFiresOnePixelBeyondDoesNot) {
  add('L', 7, 10, 20, 30, 40);
  EXPECT_TRUE(same(mouse(demoCheckMatchingLeftClickInstruction, 30, 40), 1, 7));
  EXPECT_TRUE(same(mouse(demoCheckMatchingLeftClickInstruction, 31, 40), 0, 0));
  EXPECT_TRUE(same(mouse(demoCheckMatchingLeftClickInstruction, 30, 41), 0, 0));
  EXPECT_TRUE(same(mouse(demoCheckMatchingRightClickInstruction, 20, 30), 0, 0));  // an L is no right click
}

TEST_F(Match, WindowPointsMapThroughTheScaleAndTheCrop) {
  gDemoScale = 500;
  gCropSize[0] = 7;
  gCropSize[1] = 3;
  add('R', -1, 207, 83, 207, 83);
  EXPECT_TRUE(same(mouse(demoCheckMatchingRightClickInstruction, 100, 40), 1, 4));  // default target: next frame
  int32_t x, y;
  demoWindowToRecorded(101, 41, &x, &y);
  EXPECT_EQ(x, 209);
  EXPECT_EQ(y, 85);
}

TEST_F(Match, FirstMatchingInstructionInTableOrderWins) {
  add('L', 5, 0, 0, 100, 100);
  add('L', 6, 0, 0, 100, 100);
  EXPECT_TRUE(same(mouse(demoCheckMatchingLeftClickInstruction, 50, 50), 1, 5));
}

TEST_F(Match, MouseOverAndExit) {
  add('E', 8, 10, 10, 20, 20);
  EXPECT_TRUE(same(mouse(demoCheckMatchingMouseMoveInstruction, 50, 50), 1, 8));  // outside, even staying outside
  EXPECT_TRUE(same(mouse(demoCheckMatchingMouseMoveInstruction, 15, 15), 0, 0));
  gInstrCount = 0;
  add('M', 2, 10, 10, 20, 20);
  add('E', 9, 100, 100, 110, 110);
  EXPECT_TRUE(same(mouse(demoCheckMatchingMouseMoveInstruction, 15, 15), 1, 2));  // the M comes first
  EXPECT_TRUE(same(mouse(demoCheckMatchingMouseMoveInstruction, 50, 50), 1, 9));
}

TEST_F(Match, SpecificKeysWinOverNavigationWhichWinsOverAnyKey) {
  add('K', 6, 0);
  EXPECT_TRUE(same(key(VK_LEFT, 0, PAL_MOD_SHIFT), 2, 36));
  EXPECT_TRUE(same(key('A', 'a'), 1, 6));
  EXPECT_TRUE(same(key(113), 0, 0));  // F2 produces no character
  EXPECT_TRUE(same(key(VK_TAB), 2, 9));
  EXPECT_TRUE(same(key(VK_ESCAPE), 2, 27));
  EXPECT_TRUE(same(key(VK_HOME), 2, 36));
  EXPECT_TRUE(same(key(VK_F1), 2, 112));
  EXPECT_TRUE(same(key(VK_F4), 2, 115));
  EXPECT_TRUE(same(key(VK_F5), 2, 116));
  gInstrCount = 0;
  add('K', 9, VK_LEFT);
  EXPECT_TRUE(same(key(VK_LEFT), 1, 9));  // waits for Left Arrow: no step back
}

TEST_F(Match, LastAnyKeyInstructionIsTheOneRemembered) {
  add('K', 4, 0);
  add('K', 5, 0);
  EXPECT_TRUE(same(key('Q', 'q'), 1, 5));
}

TEST_F(Match, LeftArrowWalksBackThroughTheHistory) {
  gHistoryStack[0] = 7;
  gHistoryStack[1] = 5;
  gHistoryStack[2] = 3;
  gCurrShownFrame = 7;
  EXPECT_TRUE(same(key(VK_LEFT), 1, 5));
  EXPECT_EQ(gHistoryStack[0], 3);
  gHistoryStack[0] = 7;
  gHistoryStack[1] = 5;
  gHistoryStack[2] = 3;
  gCurrShownFrame = 9;  // not on the stack
  EXPECT_TRUE(same(key(VK_LEFT), 1, 7));
  EXPECT_EQ(gHistoryStack[0], 5);
  EXPECT_EQ(gHistoryStack[1], 3);
}

TEST_F(Match, RightArrowFollowsTheFirstInstructionWhateverItsType) {
  EXPECT_TRUE(same(key(VK_RIGHT), 1, 4));  // no instructions: the next frame
  add('T', 8, 500);
  add('L', 2, 0, 0, 5, 5);
  EXPECT_TRUE(same(key(VK_RIGHT), 1, 8));
}

TEST_F(Match, MouseGuideLeavesTheMouseAloneForTimersAndKeys) {
  EXPECT_EQ(demoSmoothMouseMoveToDefaultLoc(), -1);
  add('T', 5, 100);
  EXPECT_EQ(demoSmoothMouseMoveToDefaultLoc(), -1);
  gInstrCount = 0;
  add('K', 5, 0);
  EXPECT_EQ(demoSmoothMouseMoveToDefaultLoc(), -1);
}

TEST(MouseGuide, StepsTakeAFifthAndCreepTheLastFourPixels) {
  bool near = false;
  EXPECT_EQ(demoGlideStep(0, 100, &near), 20);
  EXPECT_FALSE(near);
  EXPECT_EQ(demoGlideStep(100, 0, &near), 80);
  int32_t x = 97;  // three pixels left of the target: three one-pixel steps
  int steps = 0;
  while (x != 100) {
    x = demoGlideStep(x, 100, &near);
    EXPECT_TRUE(near);
    ++steps;
  }
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(demoGlideStep(10, 6, &near), 9);
  EXPECT_TRUE(near);
  EXPECT_EQ(demoGlideStep(6, 6, &near), 6);
  EXPECT_FALSE(near);
  int32_t far = 0, count = 0;  // every glide arrives exactly
  while (far != 1234 && count < 100) far = demoGlideStep(far, 1234, &near), ++count;
  EXPECT_EQ(far, 1234);
}

}  // namespace
