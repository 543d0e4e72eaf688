// Key presses as event records: codes, modifier states and characters.
#include "pal/pal.h"

#include <gtest/gtest.h>

namespace {

struct Mapped {
  int32_t code, character, modifier, vk;
};

Mapped press(int vk, bool shift = false, bool caps = false, bool control = false, bool alt = false, int ch = 0) {
  int32_t ev[4] = {PAL_EV_START, 640, 480, 0};
  pal_MapKeyToEventCode(pal_Key{vk, shift, caps, control, alt, ch}, ev);
  return {ev[0], ev[1], ev[2], ev[3]};
}

TEST(KeyMapping, LettersFollowShiftExclusiveOrCapsLock) {
  EXPECT_EQ(press('A').character, 'a');
  EXPECT_EQ(press('A', true).character, 'A');
  EXPECT_EQ(press('A', false, true).character, 'A');
  const Mapped both = press('A', true, true);
  EXPECT_EQ(both.character, 'a');
  EXPECT_EQ(both.modifier, 0);
  EXPECT_EQ(press('A', false, true).modifier, 1);
  EXPECT_EQ(press('Q').code, PAL_EV_KEY);
  EXPECT_EQ(press('Q').vk, 'Q');
}

TEST(KeyMapping, ControlBeforeAltAndNoCharacterWithEither) {
  const Mapped c = press('A', false, true, true);
  EXPECT_EQ(c.character, 0);
  EXPECT_EQ(c.modifier, 2);
  EXPECT_EQ(press('A', true, false, true, true).modifier, 2);
  EXPECT_EQ(press('A', true, false, false, true).modifier, 3);
  EXPECT_EQ(press('7', false, false, false, true).character, 0);
}

TEST(KeyMapping, ShiftedDigitsAndPunctuationOfTheUsLayout) {
  EXPECT_EQ(press('2', true).character, '@');
  EXPECT_EQ(press('0', true).character, ')');
  EXPECT_EQ(press('9', true).character, '(');
  EXPECT_EQ(press('5').character, '5');
  EXPECT_EQ(press(187, true).character, '+');
  EXPECT_EQ(press(187).character, '=');
  EXPECT_EQ(press(219, true).character, '{');
  EXPECT_EQ(press(186).character, ';');
  EXPECT_EQ(press(222, true).character, '"');
  EXPECT_EQ(press(220).character, '\\');
  EXPECT_EQ(press('2', false, true).character, '2');  // Caps Lock leaves digits alone
  EXPECT_EQ(press(VK_SPACE).character, ' ');
}

TEST(KeyMapping, KeysWithoutCharacters) {
  const int keys[] = {VK_BACK, VK_TAB, VK_RETURN, VK_ESCAPE, VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_DELETE, VK_F1, 113,
                      VK_HOME};
  for (int vk : keys) {
    const Mapped m = press(vk);
    EXPECT_EQ(m.code, PAL_EV_KEY) << vk;
    EXPECT_EQ(m.character, 0) << vk;
    EXPECT_EQ(m.vk, vk);
  }
  EXPECT_EQ(press(106, false, false, false, false, '*').character, '*');  // keypad operator
}

TEST(KeyMapping, ModifierKeysAloneAndKeysWithoutACode) {
  const Mapped alone = press(-1, true);
  EXPECT_EQ(alone.code, PAL_EV_START);  // the record stays as it was: no event
  EXPECT_EQ(alone.character, 640);
  const Mapped none = press(0);
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.character, 0);
  EXPECT_EQ(none.vk, 0);
}

}  // namespace
