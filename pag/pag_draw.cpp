// pag_draw.cpp: the drawing primitives. Plain loops over pixels, rows from
// the top, columns from the left, every write clipped to the slot; fills
// clip whole runs first so that large areas cost one pass over memory.
#include "pag/pag.h"

#include "pal/pal.h"

#include <cstring>

namespace {

struct Rgb {
  unsigned char r, g, b;
};

Rgb rgbOf(uint32_t colour) {
  return {static_cast<unsigned char>((colour >> 16) & 0xFF), static_cast<unsigned char>((colour >> 8) & 0xFF),
          static_cast<unsigned char>(colour & 0xFF)};
}

bool hasPixels(int slot) { return slot >= 0 && slot < PAL_BUFFER_SLOTS && gpal_ImageBuffBits[slot] != nullptr; }

unsigned char* rowStart(int slot, int32_t y) {
  return gpal_ImageBuffBits[slot] + static_cast<size_t>(y) * gpal_ImageBuffSize[slot][0] * 4;
}

// Fills columns x0 .. x1 (inclusive) of row y, clipped to the slot.
void fillSpan(int slot, int32_t x0, int32_t x1, int32_t y, Rgb c) {
  const int32_t w = gpal_ImageBuffSize[slot][0];
  if (y < 0 || y >= gpal_ImageBuffSize[slot][1]) return;
  if (x0 < 0) x0 = 0;
  if (x1 >= w) x1 = w - 1;
  unsigned char* p = rowStart(slot, y) + static_cast<size_t>(x0) * 4;
  for (int32_t x = x0; x <= x1; ++x, p += 4) {
    p[PAL_RED] = c.r;
    p[PAL_GREEN] = c.g;
    p[PAL_BLUE] = c.b;
  }
}

void invertPixel(int slot, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= gpal_ImageBuffSize[slot][0] || y >= gpal_ImageBuffSize[slot][1]) return;
  unsigned char* p = rowStart(slot, y) + static_cast<size_t>(x) * 4;
  p[PAL_RED] = static_cast<unsigned char>(~p[PAL_RED]);
  p[PAL_GREEN] = static_cast<unsigned char>(~p[PAL_GREEN]);
  p[PAL_BLUE] = static_cast<unsigned char>(~p[PAL_BLUE]);
}

// Per-channel gradient step, in single precision as the rows are computed.
struct Gradient {
  Rgb top, bottom;
  float dr, dg, db;
  Gradient(uint32_t t, uint32_t b, int32_t h) : top(rgbOf(t)), bottom(rgbOf(b)) {
    dr = static_cast<float>(bottom.r - top.r) / static_cast<float>(h);
    dg = static_cast<float>(bottom.g - top.g) / static_cast<float>(h);
    db = static_cast<float>(bottom.b - top.b) / static_cast<float>(h);
  }
  Rgb atRow(int32_t i) const {
    return {static_cast<unsigned char>(static_cast<int>(top.r + dr * i)),
            static_cast<unsigned char>(static_cast<int>(top.g + dg * i)),
            static_cast<unsigned char>(static_cast<int>(top.b + db * i))};
  }
  Rgb belowBottom() const {  // the bottom colour less one step
    return {static_cast<unsigned char>(static_cast<int>(bottom.r - dr)),
            static_cast<unsigned char>(static_cast<int>(bottom.g - dg)),
            static_cast<unsigned char>(static_cast<int>(bottom.b - db))};
  }
};

// Inset of row i of a rounded shape h rows high: 2 on the outer rows, 1 on
// the next ones, 0 elsewhere.
int32_t roundedInset(int32_t i, int32_t h) {
  if (i == 0 || i == h - 1) return 2;
  if (i == 1 || i == h - 2) return 1;
  return 0;
}

}  // namespace

void pag_FillRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  if (!hasPixels(slot) || w < 1 || h < 1) return;
  const Rgb c = rgbOf(colour);
  for (int32_t row = y; row < y + h; ++row) fillSpan(slot, x, x + w - 1, row, c);
}

void pag_DrawRectOutline(int slot, int32_t x, int32_t y, int32_t w, int32_t h, int gap, uint32_t colour) {
  if (!hasPixels(slot)) return;
  const Rgb c = rgbOf(colour);
  const int32_t step = gap + 1 > 0 ? gap + 1 : 1;
  if (h >= 0) {
    for (int32_t row = y; row <= y + h; row += step) {
      fillSpan(slot, x, x, row, c);
      fillSpan(slot, x + w, x + w, row, c);
    }
  }
  if (w >= 1) {
    for (int32_t col = x; col < x + w; col += step) {
      fillSpan(slot, col, col, y, c);
      fillSpan(slot, col, col, y + h, c);
    }
  }
}

void pag_FillGradientRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t top, uint32_t bottom) {
  if (!hasPixels(slot) || h < 1 || w < 1) return;
  const Gradient g(top, bottom, h);
  for (int32_t i = 0; i < h; ++i) fillSpan(slot, x, x + w - 1, y + i, g.atRow(i));
}

void pag_FillRoundedRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour) {
  if (!hasPixels(slot)) return;
  const Rgb c = rgbOf(colour);
  for (int32_t i = 0; i < h; ++i) {
    const int32_t inset = roundedInset(i, h);
    if (x + inset <= x + w - 1 - inset) fillSpan(slot, x + inset, x + w - 1 - inset, y + i, c);
  }
}

void pag_FillGradientRoundedRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t top,
                                 uint32_t bottom) {
  if (!hasPixels(slot) || h < 1) return;
  const Gradient g(top, bottom, h);
  for (int32_t i = 0; i < h; ++i) {
    Rgb c;
    if (i == 0) c = g.top;
    else if (i == h - 1) c = g.bottom;
    else if (i == 1) c = g.atRow(1);
    else if (i == h - 2) c = g.belowBottom();
    else c = g.atRow(i);
    const int32_t inset = roundedInset(i, h);
    if (x + inset <= x + w - 1 - inset) fillSpan(slot, x + inset, x + w - 1 - inset, y + i, c);
  }
}

void pag_InvertDashedRectOutline(int slot, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!hasPixels(slot)) return;
  for (int32_t col = x; col < x + w; col += 2) {
    invertPixel(slot, col, y);
    if (h != 0) invertPixel(slot, col, y + h);
  }
  // The corner (x, y) belongs to the top row already; each pixel of the
  // outline is complemented exactly once.
  for (int32_t row = y; row < y + h; row += 2) {
    if (row != y || w < 1) invertPixel(slot, x, row);
    if (w != 0) invertPixel(slot, x + w, row);
  }
}

void pag_DrawTrianglePointer(int slot, int32_t x, int32_t y, int32_t size, int slope, const char* direction,
                             uint32_t colour) {
  if (slope < 1 || slope > 3) {
    pal_Alert(1, "pag_DrawTrianglePointer", "step size must be >0 and <6");
    return;
  }
  if (!hasPixels(slot) || size < 1) return;
  const Rgb c = rgbOf(colour);
  const char d = direction ? direction[0] : 'R';
  int32_t half = 0;
  for (int32_t k = 0; k < size; ++k) {
    if (d == 'D' || d == 'U') {
      fillSpan(slot, x - half, x + half, d == 'D' ? y - k : y + k, c);
    } else {
      const int32_t col = d == 'L' ? x + k : x - k;
      for (int32_t row = y - half; row <= y + half; ++row) fillSpan(slot, col, col, row, c);
    }
    if (slope == 3) half += 2;
    else if (slope == 2) half += 1;
    else if (k % 2 == 0) half += 1;
  }
}

void pag_FlattenColorsToGrey(int slot, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!hasPixels(slot) || w < 1 || h < 1) return;
  const int32_t bw = gpal_ImageBuffSize[slot][0], bh = gpal_ImageBuffSize[slot][1];
  const int32_t x0 = x < 0 ? 0 : x, x1 = x + w > bw ? bw : x + w;
  const int32_t y0 = y < 0 ? 0 : y, y1 = y + h > bh ? bh : y + h;
  for (int32_t row = y0; row < y1; ++row) {
    unsigned char* p = rowStart(slot, row) + static_cast<size_t>(x0) * 4;
    for (int32_t col = x0; col < x1; ++col, p += 4) {
      const auto grey = static_cast<unsigned char>((p[PAL_RED] + p[PAL_GREEN] + p[PAL_BLUE]) / 6);
      p[PAL_RED] = p[PAL_GREEN] = p[PAL_BLUE] = grey;
    }
  }
}

void pag_DrawTextOnBuff(int slot, int32_t x, int32_t y, const char* text, int font, uint32_t colour) {
  if (!hasPixels(slot) || text == nullptr) return;
  const int f = pal_ResolveFont(font);
  if (x == -1) x = (gpal_ImageBuffSize[slot][0] - pal_GetTextWidth(text, f)) / 2;
  int32_t top;
  if (y == -1) {
    top = (gpal_ImageBuffSize[slot][1] - pal_FontNominalSize(f)) / 2 - 1;
  } else {
    static const int32_t kRaise[7] = {0, 0, 0, 0, 4, 6, 8};
    top = y - 1 - (f <= 6 ? kRaise[f] : 0);
  }
  pal_DrawTextLine(slot, x, top, text, f, colour);
}

void pag_DrawButtonType1(int /*slot*/, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t borderTop,
                         uint32_t borderBottom, uint32_t faceTop, uint32_t faceBottom, const char* label, int font,
                         uint32_t labelColour, int clickable, int32_t labelOffset) {
  // Buttons belong to the window: they always go into slot 0.
  pag_FillGradientRoundedRect(0, x - 1, y - 1, w + 2, h + 2, borderTop, borderBottom);
  pag_FillGradientRoundedRect(0, x, y, w, h, faceTop, faceBottom);
  pag_DrawTextOnBuff(0, x + (w - pal_GetTextWidth(label, font)) / 2 + 1, y + labelOffset, label, font, labelColour);
  if (clickable == 1) pal_MarkClickableRect(label, x, y, w, h);
}
