// Reading a control's label off its pixels: labels drawn with the tree's own
// text on button faces, light and dark, read back; faces without text, noise
// and bad pictures give nothing.
#include "studio/abstraction/control_label.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pag/pag.h"
#include "pal/pal.h"
#include "tests/support/runtime.h"

namespace {

enum Face { FLAT, SYSTEM_BUTTON, DARK_ROUNDED, DARK_FOCUSED, SHADED };

// A picture of rows of blue, green, red, stride bytes apart (a few bytes more than the row).
struct Picture {
  int32_t w = 0, h = 0;
  size_t stride = 0;
  std::vector<unsigned char> bgr;
};

// The click box of a button of face with text in font: the face with its
// frame and one pixel of what lies around it.
Picture button(const char* text, Face face, int font) {
  const int32_t pad = 10 + 2 * font, w = pal_GetTextWidth(text, font) + 2 * pad, h = pal_FontPixelHeight(font) + 10;
  const int slot = face == SYSTEM_BUTTON ? 0 : 1;  // the system button is drawn into slot 0
  const int32_t x = 10, y = 10;
  pal_InitWinBuf(slot, w + 2 * x, h + 2 * y);
  pag_FillRect(slot, 0, 0, w + 2 * x, h + 2 * y, face == DARK_ROUNDED || face == DARK_FOCUSED ? 0x202020 : 0xECECEC);
  uint32_t ink = 0x202020;
  switch (face) {
    case FLAT:
      pag_FillRect(slot, x, y, w, h, 0xF0F0F0);
      pag_DrawRectOutline(slot, x, y, w - 1, h - 1, 0, 0x8A8A8A);
      break;
    case SYSTEM_BUTTON:
      pag_DrawButtonType1(slot, x, y, w, h, PAG_BUTTON_BORDER_TOP, PAG_BUTTON_BORDER_BOTTOM, PAG_BUTTON_FACE_TOP,
                          PAG_BUTTON_FACE_BOTTOM, "", font, PAG_BUTTON_LABEL, 0, 0);
      ink = PAG_BUTTON_LABEL;
      break;
    case DARK_ROUNDED:
      pag_FillRoundedRect(slot, x, y, w, h, 0x2E5D7A);
      ink = 0xFFFFFF;
      break;
    case DARK_FOCUSED:
      pag_FillRect(slot, x, y, w, h, 0x333333);
      pag_InvertDashedRectOutline(slot, x + 2, y + 2, w - 5, h - 5);
      ink = 0xDDDDDD;
      break;
    case SHADED:
      pag_FillGradientRect(slot, x, y, w, h, 0xD0D8E8, 0xA8B8D0);
      ink = 0x000080;
      break;
  }
  pal_DrawTextLine(slot, x + pad, y + 5, text, font, ink);
  Picture p;
  p.w = w + 2, p.h = h + 2, p.stride = static_cast<size_t>(p.w) * 3 + 5;
  p.bgr.assign(p.stride * p.h, 0);
  for (int32_t row = 0; row < p.h; ++row)
    for (int32_t col = 0; col < p.w; ++col) {
      int32_t rgb[3];
      pal_GetBufferPixelRGB(slot, x - 1 + col, y - 1 + row, rgb);
      unsigned char* px = &p.bgr[row * p.stride + col * 3];
      px[0] = static_cast<unsigned char>(rgb[2]), px[1] = static_cast<unsigned char>(rgb[1]),
      px[2] = static_cast<unsigned char>(rgb[0]);
    }
  return p;
}

ControlLabel read(const Picture& p) { return readControlLabel(p.bgr.data(), p.w, p.h, p.stride); }

class ControlLabelTest : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  void TearDown() override { resetRuntime(); }
};

TEST_F(ControlLabelTest, ReadsLabelsOnLightAndDarkFaces) {
  const struct {
    const char* text;
    Face face;
    int font;
  } cases[] = {
      {"OK", FLAT, 1},
      {"Cancel", SYSTEM_BUTTON, 1},
      {"Save", DARK_ROUNDED, 1},
      {"Settings", DARK_FOCUSED, 1},
      {"Delete", SHADED, 1},
      {"v2.1", FLAT, 1},
      {"New Folder", SHADED, 2},
      {"42", SYSTEM_BUTTON, 2},
      {"Undo", DARK_ROUNDED, 2},
      {"Help", FLAT, 2},
      {"Log out", DARK_FOCUSED, 2},
      {"Browse...", FLAT, 3},
      {"100%", DARK_ROUNDED, 3},
      {"Q", SYSTEM_BUTTON, 3},
      {"Export", DARK_FOCUSED, 3},
      {"AC", SHADED, 3},
  };
  for (const auto& c : cases) {
    const ControlLabel label = read(button(c.text, c.face, c.font));
    EXPECT_EQ(label.text, c.text) << "face " << c.face << ", font " << c.font;
    EXPECT_GE(label.confidence, CONTROL_LABEL_MIN_CONFIDENCE) << c.text;
    EXPECT_LE(label.confidence, 100) << c.text;
  }
  // Another thread reads with an engine of its own.
  const Picture p = button("Print", FLAT, 2);
  ControlLabel elsewhere;
  std::thread([&] { elsewhere = read(p); }).join();
  EXPECT_EQ(elsewhere.text, "Print");
}

TEST_F(ControlLabelTest, GivesNothingForFacesWithoutTextNoiseAndBadPictures) {
  const Picture blankLight = button("", FLAT, 2), blankDark = button("", DARK_FOCUSED, 2);
  Picture noise;
  noise.w = 80, noise.h = 28, noise.stride = 80 * 3;
  std::mt19937 random(7);
  for (int i = 0; i < 80 * 28 * 3; ++i) noise.bgr.push_back(static_cast<unsigned char>(random()));
  const std::vector<unsigned char> tooWide((CONTROL_LABEL_MAX_WIDTH + 1) * 3 * 4, 0x80);
  const std::vector<unsigned char> tooTall((CONTROL_LABEL_MAX_HEIGHT + 1) * 3 * 4, 0x80);
  const Picture ok = button("OK", FLAT, 2);
  const unsigned char onePixel[3] = {0, 0, 0};
  const struct {
    const char* what;
    const unsigned char* bgr;
    int32_t w, h;
    size_t stride;
  } cases[] = {
      {"a light face without text", blankLight.bgr.data(), blankLight.w, blankLight.h, blankLight.stride},
      {"a dark face without text", blankDark.bgr.data(), blankDark.w, blankDark.h, blankDark.stride},
      {"noise", noise.bgr.data(), noise.w, noise.h, noise.stride},
      {"no pixels", nullptr, 40, 20, 120},
      {"no width", ok.bgr.data(), 0, ok.h, ok.stride},
      {"no height", ok.bgr.data(), ok.w, 0, ok.stride},
      {"a negative width", ok.bgr.data(), -ok.w, ok.h, ok.stride},
      {"a negative height", ok.bgr.data(), ok.w, -ok.h, ok.stride},
      {"rows shorter than their pixels", ok.bgr.data(), ok.w, ok.h, static_cast<size_t>(ok.w) * 3 - 1},
      {"too wide", tooWide.data(), CONTROL_LABEL_MAX_WIDTH + 1, 4, (CONTROL_LABEL_MAX_WIDTH + 1) * 3},
      {"too tall", tooTall.data(), 4, CONTROL_LABEL_MAX_HEIGHT + 1, 12},
      {"one pixel", onePixel, 1, 1, 3},
  };
  for (const auto& c : cases) {
    const ControlLabel label = readControlLabel(c.bgr, c.w, c.h, c.stride);
    EXPECT_EQ(label.text, "") << c.what;
    EXPECT_EQ(label.confidence, 0) << c.what;
  }
}

}  // namespace
