// Text edit boxes driven by event records: marking, caret, selection, key
// commands, the clipboard, fitting and drawing. No window is open, so the
// clipboard is the process's own and timers are not started.
#include "pal/pal.h"
#include "pal/pal_internal.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

class TextEdit : public testing::Test {
 protected:
  void SetUp() override {
    resetRuntime();
    pal_InitWinBuf(0, 400, 200);
  }
  void TearDown() override { resetRuntime(); }

  int key(int vk, int ch = 0, int mod = PAL_MOD_NONE) {
    const int32_t ev[4] = {PAL_EV_KEY, ch, mod, vk};
    return pal_TextEditHandler(ev);
  }
  // Characters arrive as the window system's text, one at a time as typed.
  void type(const std::string& s) {
    for (char c : s) pal_TextEditTypeText(std::string(1, c).c_str());
  }
  int mouse(int code, int x, int y) {
    const int32_t ev[4] = {code, x, y, 0};
    return pal_TextEditHandler(ev);
  }
  std::string text(const char* name = "box") {
    char out[PAL_EDIT_TEXT_LEN];
    pal_GetMarkedTextEdit(name, out);
    return out;
  }
  int mark(int w, int h, const char* initial = nullptr) {
    const int slot = pal_MarkTextEditRect("box", 10, 20, w, h, initial, 100, 0xFFFFFF);
    pal_StartTextEdit("box");
    return slot;
  }
};

TEST_F(TextEdit, HeightsThatAreNotMultiplesOfTheLineEndTheProgram) {
  EXPECT_EXIT(pal_MarkTextEditRect("a", 0, 0, 100, 40, nullptr, 10, 0), testing::ExitedWithCode(1),
              "ALERT 1 Cannot Mark TextEdit \\| Vertical Edit Size: need even multiple of 18 pixels:\\\\n 2 lines = 36 "
              "pixels");
  EXPECT_EXIT(pal_MarkTextEditRect("a", 0, 0, 100, 10, nullptr, 10, 0), testing::ExitedWithCode(1),
              "Not enough vertical pixels for a Single Line Edit \\(need 18 pixels\\)");
}

TEST_F(TextEdit, NineteenSlotsThenAnAlert) {
  for (int i = 0; i < PAL_EDIT_SLOTS; ++i)
    EXPECT_EQ(pal_MarkTextEditRect(("b" + std::to_string(i)).c_str(), 0, i * 18, 0, 18, "x", 10, 0), i);
  testing::internal::CaptureStderr();
  EXPECT_EQ(pal_MarkTextEditRect("twenty", 0, 0, 10, 18, nullptr, 10, 0), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("All 19 editing slots already in use"), std::string::npos);
  EXPECT_EQ(text("b7"), "x");
  EXPECT_EQ(text("none"), "");
}

TEST_F(TextEdit, OneLineBoxRefusesTextBeyondItsWidth) {
  mark(60, 18);
  type("wwwwwwwwwwwwwwwwwwww");
  const std::string full = text();
  EXPECT_LE(pal_GetTextWidth(full.c_str(), 2), 60 - 7);
  EXPECT_LT(full.size(), 20u);
  EXPECT_EQ(pal_TextEditTypeText("w"), -2);  // still refused
  key(VK_BACK);
  key(VK_BACK);
  type(" ");
  type("wwwwww");  // a space does not help: there is no second line
  EXPECT_LE(pal_GetTextWidth(text().c_str(), 2), 53);
  EXPECT_EQ(text().find('\n'), std::string::npos);
}

TEST_F(TextEdit, LongWordAtTheEndOfAFullLineMovesToTheNextLine) {
  mark(pal_GetTextWidth("one two three four", 2) + 9, 54);  // the first four words just fit
  type("one two three four");
  ASSERT_EQ(text().find('\n'), std::string::npos);
  type(" extraordinarily");
  const std::string t = text();
  EXPECT_EQ(t, "one two three four\nextraordinarily");
}

TEST_F(TextEdit, UndoSwapsWithTheUndoCopy) {
  mark(300, 36, "first");
  key('A', 0, PAL_MOD_CONTROL);
  key('X', 0, PAL_MOD_CONTROL);  // the cut saves "first" as the undo copy
  type("second");
  EXPECT_EQ(text(), "second");
  key('Z', 0, PAL_MOD_CONTROL);
  EXPECT_EQ(text(), "first");
  key('Z', 0, PAL_MOD_CONTROL);
  EXPECT_EQ(text(), "second");
}

TEST_F(TextEdit, CopyCutAndPasteThroughTheClipboard) {
  mark(300, 36, "alpha beta");
  pal_PutClipboardText("unchanged", 0);
  EXPECT_EQ(key('C', 0, PAL_MOD_CONTROL), -1);  // nothing selected: clipboard left alone
  char clip[100];
  pal_GetClipboardText(clip, sizeof clip, 0);
  EXPECT_STREQ(clip, "unchanged");
  key('A', 0, PAL_MOD_CONTROL);
  EXPECT_EQ(key('C', 0, PAL_MOD_CONTROL), 1);
  pal_GetClipboardText(clip, sizeof clip, 0);
  EXPECT_STREQ(clip, "alpha beta");
  key(VK_DELETE);
  EXPECT_EQ(text(), "");
  pal_PutClipboardText("one\r\ntwo", 0);  // carriage returns are dropped on the way in
  EXPECT_EQ(key('V', 0, PAL_MOD_CONTROL), 1);
  EXPECT_EQ(text(), "one\ntwo");
  pal_GetClipboardText(clip, 5, 0);
  EXPECT_STREQ(clip, "one");  // capacity - 2 characters at most
}

TEST_F(TextEdit, CutSavesTheUndoCopyFirstAndRefusesWhatItCannotDo) {
  struct Case {
    const char* initial;
    int width, from, to, caret;
    int result;
    const char *text, *clip, *undo;
    int caretAfter;
  };
  const int narrow = pal_GetTextWidth("iiiiiiii", 2) + 10;  // eight i's fit, sixteen do not
  const Case cases[] = {
      {"alpha beta", 300, -1, -1, 3, -1, "alpha beta", "before", "earlier", 3},     // nothing selected
      {"alpha beta", 300, 6, 40, 10, -2, "alpha beta", "before", "alpha beta", 10},  // beyond the text
      {"alpha beta", 300, 12, 40, 10, -2, "alpha beta", "before", "alpha beta", 10},
      {"alpha beta", 300, 10, 6, 10, 1, "alpha ", "beta", "alpha beta", 6},
      {"iiiiiiii\niiiiiiii", narrow, 8, 9, 9, -3, "iiiiiiii\niiiiiiii", "\n", "iiiiiiii\niiiiiiii", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.initial) + " " + std::to_string(c.from) + ".." + std::to_string(c.to));
    resetRuntime();
    pal_InitWinBuf(0, 400, 200);
    mark(c.width, 36, c.initial);
    ASSERT_EQ(text(), c.initial);
    std::snprintf(gpal_TextEditHolders[PAL_EDIT_SLOTS], PAL_EDIT_TEXT_LEN, "earlier");
    pal_PutClipboardText("before", 0);
    gpal_TextEditSelectInfo[0] = c.from;
    gpal_TextEditSelectInfo[1] = c.to;
    gpal_TextEditCharsLeftOfCursor = c.caret;
    EXPECT_EQ(key('X', 0, PAL_MOD_CONTROL), c.result);
    EXPECT_EQ(text(), c.text);
    char clip[100];
    pal_GetClipboardText(clip, sizeof clip, 0);
    EXPECT_STREQ(clip, c.clip);
    EXPECT_STREQ(gpal_TextEditHolders[PAL_EDIT_SLOTS], c.undo);
    EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, c.caretAfter);
  }
}

TEST_F(TextEdit, PasteTakesUpToAWholeBoxOfCharacters) {
  const int longest = PAL_EDIT_TEXT_LEN - 1;
  mark(pal_GetTextWidth(std::string(longest, 'i').c_str(), 2) + 20, 18);
  pal_PutClipboardText(std::string(longest + 5, 'i').c_str(), 0);
  EXPECT_EQ(key('V', 0, PAL_MOD_CONTROL), 1);
  EXPECT_EQ(text(), std::string(longest, 'i'));
}

TEST_F(TextEdit, PasteThatDoesNotFitIsRefusedWithAnAlert) {
  mark(100, 18, "keep");
  pal_PutClipboardText(std::string(300, 'm').c_str(), 0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(key('V', 0, PAL_MOD_CONTROL), -2);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "ALERT 0 Paste Too Big | The text in the Paste buffer is too long to fit"),
            std::string::npos);
  EXPECT_EQ(text(), "keep");
}

TEST_F(TextEdit, CaretMovesAndDeletes) {
  mark(300, 54, "abc\nabc");
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 7);
  key(VK_UP);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 3);  // end of "abc", same pixel column
  key(VK_UP);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 3);  // the first line has nothing above
  key(VK_LEFT);
  key(VK_BACK);
  EXPECT_EQ(text(), "ac\nabc");
  key(VK_DELETE);
  EXPECT_EQ(text(), "a\nabc");
  key(VK_RETURN);
  EXPECT_EQ(text(), "a\n\nabc");
  key(VK_DOWN);
  key(VK_DOWN);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 3);
  gpal_TextEditCharsLeftOfCursor = 0;
  EXPECT_EQ(key(VK_BACK), -1);
}

TEST_F(TextEdit, UpAndDownLandWhereAPressAtTheSamePixelWould) {
  mark(300, 36, "iiiiiiiiii\nMMMM");
  const std::string lines[2] = {"iiiiiiiiii", "MMMM"};
  const int starts[2] = {0, 11};
  for (int line = 0; line < 2; ++line)
    for (int col = 0; col <= static_cast<int>(lines[line].size()); ++col) {
      SCOPED_TRACE("line " + std::to_string(line) + " column " + std::to_string(col));
      const int x = pal_GetTextWidth(lines[line].substr(0, col).c_str(), 2);
      pal_TextEditGetTextPosFromPixelPos(x, (1 - line) * PAL_EDIT_LINE_HEIGHT);
      const int pressed = gpal_TextEditCharsLeftOfCursor;
      gpal_TextEditCharsLeftOfCursor = starts[line] + col;
      key(line == 0 ? VK_DOWN : VK_UP);
      EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, pressed);
      gpal_TextEditCharsLeftOfCursor = starts[line] + col;
      key(line == 0 ? VK_UP : VK_DOWN);  // nothing above the first line or below the last
      EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, starts[line] + col);
    }
  gpal_TextEditCharsLeftOfCursor = 3;
  key(VK_DOWN);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 12);  // three i's are nearer to one M than to none
}

TEST_F(TextEdit, PressIntoAnotherBoxTakesTheCaretAlong) {
  pal_MarkTextEditRect("one", 10, 20, 150, 18, "ab ", 100, 0xFFFFFF);
  pal_MarkTextEditRect("two", 10, 100, 150, 18, "cd ", 100, 0xFFFFFF);
  pal_StartTextEdit("one");
  const int oldCaret = 10 + pal_GetTextWidth("ab ", 2) + 2;
  ASSERT_EQ(pixelColour(0, oldCaret, 30), 0x000000u);
  char name[PAL_NAME_LEN] = "";
  int32_t ev[4] = {PAL_EV_PRESS, 140, 105, 0};  // right of the second box's text
  EXPECT_TRUE(palEditRouteEvent(ev, name));
  EXPECT_EQ(gpal_TextEditCurrSlot, 1);
  for (int y = 20; y < 38; ++y) EXPECT_EQ(pixelColour(0, oldCaret, y), 0xFFFFFFu) << "row " << y;
  EXPECT_EQ(pixelColour(0, 10 + pal_GetTextWidth("cd ", 2) + 2, 110), 0x000000u);
}

TEST_F(TextEdit, TabFinishesEditingAsEvent209) {
  mark(300, 36, "done");
  char name[PAL_NAME_LEN] = "";
  int32_t ev[4] = {PAL_EV_KEY, 0, 0, VK_TAB};
  EXPECT_FALSE(palEditRouteEvent(ev, name));
  EXPECT_EQ(ev[0], PAL_EV_EDIT_DONE);
  EXPECT_EQ(ev[1], 0);
  EXPECT_EQ(gpal_TextEditCurrSlot, -1);
  int32_t k[4] = {PAL_EV_KEY, 'x', 0, 'X'};
  EXPECT_FALSE(palEditRouteEvent(k, name));  // no box active: the key goes to the handler
}

TEST_F(TextEdit, PressPlacesTheCaretAtTheNearerCharacterBoundary) {
  mark(300, 36, "MMMM\nii");
  const int m = pal_GetTextWidth("M", 2);
  // Text starts at box x + 4 in the press's coordinates.
  mouse(PAL_EV_PRESS, 10 + 4 + m + m / 4, 25);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 1);
  mouse(PAL_EV_PRESS, 10 + 4 + m + 3 * m / 4, 25);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 2);
  mouse(PAL_EV_PRESS, 10 + 4 + 200, 25);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 4);  // right of the line's end
  mouse(PAL_EV_PRESS, 10 + 4 + 200, 20 + 20);
  EXPECT_EQ(gpal_TextEditCharsLeftOfCursor, 7);  // second line
}

TEST_F(TextEdit, DragSelectsAndTypingReplacesTheSelection) {
  mark(300, 36, "hello world");
  const int hello = pal_GetTextWidth("hello", 2);
  mouse(PAL_EV_PRESS, 10 + 4, 25);
  mouse(PAL_EV_MOVE, 10 + 4 + hello, 25);
  mouse(PAL_EV_RELEASE, 10 + 4 + hello, 25);
  EXPECT_EQ(gpal_TextEditSelectInfo[0], 0);
  EXPECT_EQ(gpal_TextEditSelectInfo[1], 5);
  type("j");
  EXPECT_EQ(text(), "j world");
}

TEST_F(TextEdit, DrawingShowsBackgroundTextAndCaret) {
  pal_MarkTextEditRect("box", 10, 20, 200, 36, "Hi", 100, 0x00FF00);
  EXPECT_EQ(pixelColour(0, 150, 50), 0x00FF00u);
  EXPECT_EQ(pixelColour(0, 9, 20), 0x000000u);  // outside the box: untouched (zeroed buffer)
  bool ink = false;
  for (int x = 12; x < 30; ++x)
    for (int y = 20; y < 38; ++y) ink = ink || pixelColour(0, x, y) != 0x00FF00;
  EXPECT_TRUE(ink);
  pal_StartTextEdit("box");
  const int caretX = 10 + pal_GetTextWidth("Hi", 2) + 2;
  EXPECT_EQ(pixelColour(0, caretX, 30), 0x000000u);
  EXPECT_EQ(pixelColour(0, caretX, 38), 0x000000u);
  EXPECT_EQ(pixelColour(0, caretX + 6, 30), 0x00FF00u);
}

TEST_F(TextEdit, FittingWrapsAtSpacesAndCleansTheText) {
  const int width = pal_GetTextWidth("the quick brown", 2) + 8;  // that much fits on a line
  pal_MarkTextEditRect("box", 0, 0, width, 36, nullptr, 100, 0);
  char t[PAL_EDIT_TEXT_LEN] = "a\tb\x01 c\x02\x03";
  EXPECT_EQ(pal_AdjustTextToFitEditRect(0, t), 2);
  EXPECT_STREQ(t, "a b  c");
  std::snprintf(t, sizeof t, "one\ntwo\nthree");
  EXPECT_EQ(pal_AdjustTextToFitEditRect(0, t), 2);
  EXPECT_STREQ(t, "one\ntwo three");  // a line feed beginning a third line becomes a space
  std::snprintf(t, sizeof t, "the quick brown fox jumps");
  EXPECT_EQ(pal_AdjustTextToFitEditRect(0, t), 2);
  EXPECT_STREQ(t, "the quick brown\nfox jumps");
  std::snprintf(t, sizeof t, "the quick brown fox jumps the quick brown fox");
  EXPECT_EQ(pal_AdjustTextToFitEditRect(0, t), -1);  // three lines' worth
  std::snprintf(t, sizeof t, "%s", std::string(60, 'w').c_str());
  EXPECT_EQ(pal_AdjustTextToFitEditRect(0, t), -1);  // no space to break at
}

TEST_F(TextEdit, ALineAsWideAsTheBoxFitsAndOnePixelMoreBreaks) {
  const int exact = pal_GetTextWidth("the quick brown", 2);
  struct Case {
    int usable;
    const char *text, *fitted;
  };
  const Case cases[] = {
      {exact, "the quick brown", "the quick brown"},
      {exact, "the quick brown fox", "the quick brown\nfox"},
      {exact - 1, "the quick brown", "the quick\nbrown"},
      {exact - 1, "the quick brown fox", "the quick\nbrown fox"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " in " + std::to_string(c.usable));
    resetRuntime();
    pal_InitWinBuf(0, 400, 200);
    pal_MarkTextEditRect("box", 0, 0, c.usable + 7, 36, nullptr, 100, 0);
    char t[PAL_EDIT_TEXT_LEN];
    std::snprintf(t, sizeof t, "%s", c.text);
    EXPECT_EQ(pal_AdjustTextToFitEditRect(0, t), 2);
    EXPECT_STREQ(t, c.fitted);
  }
}

TEST_F(TextEdit, HelpersOfTheFittingTable) {
  const int w = pal_GetTextWidth("abc", 2);
  EXPECT_EQ(pal_CheckTextToFitEditRect("abc\nabc", w + 1, 2), 1);
  EXPECT_EQ(pal_CheckTextToFitEditRect("abc\nabc\nabc", w + 1, 2), 0);
  EXPECT_EQ(pal_CheckTextToFitEditRect("abcd", w + 1, 2), -2);
  EXPECT_EQ(pal_CheckTextToFitEditRect("abcd\na\nb", w + 1, 2), -3);
  int32_t out[2];
  pal_FindTextCharAtMaxWid("ab cd ef", pal_GetTextWidth("ab cd", 2) + 1, out, "R");
  EXPECT_EQ(out[1], 5);
  EXPECT_EQ(out[0], 2);
  pal_FindTextCharAtMaxWid("ab cd ef", pal_GetTextWidth(" ef", 2) + 1, out, "L");
  EXPECT_EQ(out[1], 3);
  EXPECT_EQ(out[0], 5);
  char line[50];
  int32_t start = -1;
  EXPECT_EQ(pal_GetTextLineAndLengthInTextBlock("ab\ncde", line, 1, &start), pal_GetTextWidth("cde", 2));
  EXPECT_STREQ(line, "cde");
  EXPECT_EQ(start, 3);
  EXPECT_EQ(pal_GetTextLineAndLengthInTextBlock("ab\ncde", line, 2, nullptr), -1);
  EXPECT_STREQ(line, "");
  char s[12] = "hello";
  EXPECT_EQ(pal_ShortenOrLengthenString(s, 1, 3, sizeof s, "EYYY"), 1);
  EXPECT_STREQ(s, "hEYYYo");
  EXPECT_EQ(pal_ShortenOrLengthenString(s, 5, 2, sizeof s, ""), -2);
  EXPECT_EQ(pal_ShortenOrLengthenString(s, 0, 0, sizeof s, "123456"), -1);
  EXPECT_STREQ(s, "hEYYYo");
}

}  // namespace

namespace {

// Text from the window system (UTF-8) arrives in the box as Windows-1252
// after its key; keys with characters type nothing themselves, a key that
// went to the screen (the N that opens the note editor) types nothing into
// the box it opened, and a character outside the code page changes nothing
// and gets one notice per activation.
TEST_F(TextEdit, WindowSystemTextArrivesAsTheCodePagesBytes) {
  mark(300, 36);
  char name[PAL_NAME_LEN] = "";
  const auto typed = [&](const char* utf8) {
    int32_t k[4] = {PAL_EV_KEY, 'g', PAL_MOD_NONE, 'G'};
    EXPECT_TRUE(palEditRouteEvent(k, name));
    palEditTextInput(utf8);
  };
  EXPECT_EQ(key('G', 'G', PAL_MOD_SHIFT), 1);  // the key alone: its text comes separately
  EXPECT_EQ(text(), "");
  typed("Grüße, Straße / 7&8");
  const std::string stored = "Gr\xFC\xDF" "e, Stra\xDF" "e / 7&8";
  EXPECT_EQ(text(), stored);
  testing::internal::CaptureStderr();
  typed("Ł");
  typed("Łź");
  const std::string alerts = testing::internal::GetCapturedStderr();
  EXPECT_EQ(text(), stored);
  EXPECT_NE(alerts.find("ALERT 0 Character Not Available | That character cannot be typed here"), std::string::npos);
  EXPECT_EQ(alerts.find("ALERT", 1), std::string::npos);  // once
  typed("€Ł!");  // what the code page holds still arrives
  EXPECT_EQ(text(), stored + "\x80!");
  pal_StartTextEdit("box");  // a new activation may tell again
  testing::internal::CaptureStderr();
  typed("Ł");
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Character Not Available"), std::string::npos);

  gpal_TextEditCurrSlot = -1;
  int32_t n[4] = {PAL_EV_KEY, 'n', PAL_MOD_NONE, 'N'};
  EXPECT_FALSE(palEditRouteEvent(n, name));  // the screen's key...
  pal_StartTextEdit("box");                   // ...opens the box
  palEditTextInput("n");
  EXPECT_EQ(text(), stored + "\x80!");
}

}  // namespace
