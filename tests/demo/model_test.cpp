// Demo model: text datastore, instruction lists and the history stack.
#include "demo/demo_model.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class Model : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  char out[DEMO_TEXT_LEN];
};

TEST_F(Model, TextRecordsStartAtNineAndReuseFreedOnes) {
  EXPECT_EQ(gHighestUsedTextRec, 9);
  EXPECT_EQ(demoStoreNewTextValue("first"), 9);
  EXPECT_EQ(gHighestUsedTextRec, 10);
  EXPECT_EQ(demoStoreNewTextValue(""), 10);  // an empty text still gets a record
  demoDeleteTextValue(9);
  EXPECT_EQ(demoGetTextValue(9, out), -2);
  EXPECT_EQ(demoStoreNewTextValue("again"), 9);
  EXPECT_EQ(gHighestUsedTextRec, 11);
  EXPECT_EQ(demoGetTextValue(9, out), 0);
  EXPECT_STREQ(out, "again");
}

TEST_F(Model, TextLengthLimitIs998) {
  const std::string ok(998, 'a'), tooLong(999, 'b');
  const int32_t i = demoStoreNewTextValue(ok.c_str());
  ASSERT_EQ(i, 9);
  EXPECT_EQ(demoStoreNewTextValue(tooLong.c_str()), -1);
  EXPECT_EQ(demoUpdateTextValue(i, tooLong.c_str()), -1);
  EXPECT_EQ(demoGetTextValue(i, out), 0);
  EXPECT_EQ(std::string(out), ok);
  EXPECT_EQ(demoUpdateTextValue(i, "short"), i);
  demoGetTextValue(i, out);
  EXPECT_STREQ(out, "short");
  EXPECT_EQ(demoUpdateTextValue(DEMO_TEXT_RECS, "x"), -1);  // never past the table
}

TEST_F(Model, ReservedAndOutOfRangeIndexes) {
  gTxtRecData[5][0] = 1;
  demoDeleteTextValue(5);
  EXPECT_EQ(gTxtRecData[5][0], 1u);
  std::strcpy(out, "stale");
  EXPECT_EQ(demoGetTextValue(5, out), -1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(demoGetTextValue(DEMO_TEXT_RECS, out), -2);
  EXPECT_EQ(demoGetTextValue(DEMO_TEXT_RECS + 1, out), -1);
  EXPECT_EQ(demoGetTextValue(12, out), -2);  // in range, not in use
}

TEST_F(Model, StoreReportsFullTable) {
  for (int i = DEMO_FIRST_TEXT_REC; i <= DEMO_LAST_NEW_TEXT_REC; ++i) gTxtRecData[i][0] = 1;
  EXPECT_EQ(demoStoreNewTextValue("none left"), -2);
  gTxtRecData[DEMO_LAST_NEW_TEXT_REC][0] = 0;
  EXPECT_EQ(demoStoreNewTextValue("last"), DEMO_LAST_NEW_TEXT_REC);
  EXPECT_EQ(gHighestUsedTextRec, DEMO_LAST_NEW_TEXT_REC + 1);
}

TEST_F(Model, InstructionListHoldsAFramesRecordsInTableOrder) {
  const int32_t owners[] = {2, 0, 2, 1, 2};
  for (int32_t o : owners) gInstrData[gInstrCount++] = InstrRec{o, -1, 'T', {100, 0, 0, 0}};
  EXPECT_EQ(demoLoadFrameInstructionsToMemory(2), 3);
  EXPECT_EQ(gCurrInstrList[0], 0);
  EXPECT_EQ(gCurrInstrList[1], 2);
  EXPECT_EQ(gCurrInstrList[2], 4);
  EXPECT_EQ(gCurrInstrList[3], -1);
  EXPECT_EQ(demoLoadFrameInstructionsToMemory(7), 0);
  EXPECT_EQ(gCurrInstrList[0], -1);
  gInstrCount = 0;
  EXPECT_EQ(demoLoadFrameInstructionsToMemory(2), 0);
}

TEST_F(Model, InstructionListNeverOverflows) {
  for (int i = 0; i < 600; ++i) gInstrData[gInstrCount++] = InstrRec{3, -1, 'L', {0, 0, 1, 1}};
  EXPECT_EQ(demoLoadFrameInstructionsToMemory(3), DEMO_INSTR_LIST_LEN - 1);
  EXPECT_EQ(gCurrInstrList[DEMO_INSTR_LIST_LEN - 1], -1);
}

TEST_F(Model, TargetsAndRectangles) {
  const InstrRec next{4, -1, 'L', {10, 20, 30, 40}}, other{4, -3, 'L', {10, 20, 30, 40}};
  EXPECT_EQ(demoResolveTarget(next), 5);
  EXPECT_EQ(demoResolveTarget(other), -3);  // passed on, refused later by frame loading
  EXPECT_TRUE(demoRectHolds(next, 30, 40));
  EXPECT_TRUE(demoRectHolds(next, 10, 20));
  EXPECT_FALSE(demoRectHolds(next, 31, 40));
  EXPECT_FALSE(demoRectHolds(next, 30, 41));
}

TEST_F(Model, HistoryPushesNewestFirstAndPopsLeaveTheTail) {
  for (int f = 0; f < 100; ++f) demoPushHistory(f);
  EXPECT_EQ(gHistoryStack[0], 99);
  EXPECT_EQ(gHistoryStack[98], 1);  // frame 0 dropped off the end
  demoPopHistory(1);
  EXPECT_EQ(gHistoryStack[0], 98);
  EXPECT_EQ(gHistoryStack[97], 1);
  EXPECT_EQ(gHistoryStack[98], 1);  // vacated slot keeps its value
  demoPopHistory(2);
  EXPECT_EQ(gHistoryStack[0], 96);
  EXPECT_EQ(gHistoryStack[96], 1);
}

}  // namespace
