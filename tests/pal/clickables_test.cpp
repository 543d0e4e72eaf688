// Clickable rectangles and the press lookup with edit boxes first.
#include "pal/pal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Clickables : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  char name[PAL_NAME_LEN];
};

TEST_F(Clickables, EdgesAreInsideAndEarlierRegistrationsWin) {
  pal_MarkClickableRect("OK", 10, 20, 30, 40);
  pal_MarkClickableRect("Under", 0, 0, 100, 100);
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 40, 60), 0);  // right and bottom edge
  EXPECT_STREQ(name, "OK");
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 41, 60), 1);
  EXPECT_STREQ(name, "Under");
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 101, 5), -1);
  EXPECT_STREQ(name, "");
}

TEST_F(Clickables, ListHolds299AndDropsTheRest) {
  for (int i = 0; i < PAL_CLICKABLE_CAP; ++i) pal_MarkClickableRect(std::to_string(i).c_str(), i * 10, 0, 5, 5);
  pal_MarkClickableRect("extra", 5000, 0, 5, 5);
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 2982, 2), 298);
  EXPECT_STREQ(name, "298");
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 5001, 1), -1);
  pal_UnmarkAllClickableRects();
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 2, 2), -1);
  pal_MarkClickableRect("again", 0, 0, 5, 5);
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 2, 2), 0);
}

TEST_F(Clickables, LongNamesAreCutToCapacity) {
  const std::string longName(200, 'n');
  pal_MarkClickableRect(longName.c_str(), 0, 0, 5, 5);
  pal_FindClickableRectAtLocation(name, 1, 1);
  EXPECT_EQ(std::string(name), std::string(98, 'n'));
}

TEST_F(Clickables, EditBoxTakesPrecedenceOverAButton) {
  pal_MarkClickableRect("Button", 0, 0, 50, 50);
  gpal_TextEditRects[0][0] = 20;
  gpal_TextEditRects[0][1] = 20;
  gpal_TextEditRects[0][2] = 100;
  gpal_TextEditRects[0][3] = 18;
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 30, 30), 0);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(gpal_TextEditCurrSlot, 0);
  EXPECT_EQ(pal_FindClickableRectAtLocation(name, 5, 5), 0);
  EXPECT_STREQ(name, "Button");
  EXPECT_EQ(gpal_TextEditCurrSlot, -1);
  pal_UnmarkAllClickableRects();  // forgets edit boxes too
  EXPECT_EQ(gpal_TextEditRects[0][0], PAL_FREE_EDIT);
}

}  // namespace
