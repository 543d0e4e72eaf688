// pal_text_gdi.cpp: text measuring and drawing with GDI. Each font number
// gets its own font created with the table's face name ("Trebuchet MS",
// one of the core fonts Windows installs) and the entry's pixel height
// as the cell height (ascent + descent), grey-scale anti-aliased. Text is
// 8-bit and read as Windows-1252: the fonts are made with the ANSI
// character set, whose code page the narrow GDI calls convert through.
// Widths are the GetTextExtentPoint32A extents, the sums of the glyphs'
// whole-pixel advances that TextOutA steps by; there is no kerning. A line
// is drawn white on black into a scratch DIB section, and its grey levels
// are the coverage blended into the buffer. One lock guards the device
// context, the fonts and the scratch picture: the export workers draw texts
// into buffers of their own while the window's thread draws its progress.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX  // the C++ library may have defined it already
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

struct Font {
  HFONT handle = nullptr;
  int cellHeight = 0;  // ascent plus descent as realised, pixels
  int margin = 0;      // room around the text box for glyphs that reach past their advance or cell
};

// The 32-bit top-down picture lines are drawn into; it only grows.
struct Scratch {
  HBITMAP bitmap = nullptr;
  unsigned char* bits = nullptr;  // blue, green, red, unused; stride width * 4
  int32_t width = 0;
  int32_t height = 0;
};

HDC gDc = nullptr;  // a memory device context, used by whichever thread holds the lock
std::string gFaceFamily;
Font gFonts[PAL_FONT_ENTRIES];
Scratch gScratch;

// The device context everything is measured and drawn in, made on first
// use: white text over whatever is there, positions naming the cell's top-left corner.
HDC contextFor() {
  if (gDc != nullptr) return gDc;
  gDc = CreateCompatibleDC(nullptr);
  if (gDc == nullptr) pal_FatalAlert("No Font", "The text renderer could not start");
  SetBkMode(gDc, TRANSPARENT);
  SetTextColor(gDc, RGB(255, 255, 255));
  SetTextAlign(gDc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  return gDc;
}

// Creates the font of one font number on first use and selects it.
Font& fontFor(int font) {
  const int n = pal_ResolveFont(font);
  Font& f = gFonts[n];
  HDC dc = contextFor();
  if (f.handle == nullptr) {
    // A positive height asks for the cell height, not the em size.
    f.handle = CreateFontA(std::atoi(gpal_FontList[n][1]), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                           OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                           gpal_FontList[n][0]);
    if (f.handle == nullptr) pal_FatalAlert("No Font", "The font could not be created");
    SelectObject(dc, f.handle);
    TEXTMETRICA tm;
    if (!GetTextMetricsA(dc, &tm)) pal_FatalAlert("No Font", "The font could not be measured");
    f.cellHeight = tm.tmHeight;
    f.margin = tm.tmHeight / 2 + 1;
  }
  SelectObject(dc, f.handle);
  return f;
}

// Makes the scratch picture at least width x height and clears that corner to black.
unsigned char* scratchOf(int32_t width, int32_t height) {
  if (width > gScratch.width || height > gScratch.height) {
    const int32_t w = std::max(width, gScratch.width), h = std::max(height, gScratch.height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // negative: rows top to bottom, as in the buffers
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(gDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) pal_FatalAlert("No Font", "There is no memory to draw the text in");
    SelectObject(gDc, bitmap);  // deselects the old picture, so it can go
    if (gScratch.bitmap != nullptr) DeleteObject(gScratch.bitmap);
    gScratch = {bitmap, static_cast<unsigned char*>(bits), w, h};
  }
  GdiFlush();  // GDI may still be writing the picture from a batched call
  for (int32_t row = 0; row < height; ++row)
    std::memset(gScratch.bits + static_cast<size_t>(row) * gScratch.width * 4, 0, static_cast<size_t>(width) * 4);
  return gScratch.bits;
}

// Blends one channel value toward the text colour by coverage a.
// Blends the scratch picture's top-left width x height, read as coverage
// (its brightest channel), into slot at (left, up); the rectangle lies in the slot.
void blitScratch(int slot, int32_t left, int32_t up, int32_t width, int32_t height, uint32_t colour) {
  const int32_t bw = gpal_ImageBuffSize[slot][0];
  const unsigned char r = (colour >> 16) & 0xFF, gr = (colour >> 8) & 0xFF, b = colour & 0xFF;
  for (int32_t row = 0; row < height; ++row) {
    const unsigned char* src = gScratch.bits + static_cast<size_t>(row) * gScratch.width * 4;
    unsigned char* p = gpal_ImageBuffBits[slot] + (static_cast<size_t>(up + row) * bw + left) * 4;
    for (int32_t col = 0; col < width; ++col, src += 4, p += 4) {
      const unsigned a = std::max({src[0], src[1], src[2]});
      if (a == 0) continue;
      p[PAL_RED] = palBlend(p[PAL_RED], r, a);
      p[PAL_GREEN] = palBlend(p[PAL_GREEN], gr, a);
      p[PAL_BLUE] = palBlend(p[PAL_BLUE], b, a);
    }
  }
}

}  // namespace

static std::mutex gTextLock;  // the device context, the fonts and the scratch picture

// The face GDI realised for font 1: the table's, or the one it substituted.
// Read once, so a pointer handed out earlier stays valid.
const char* pal_TextFaceFamily() {
  std::lock_guard<std::mutex> lock(gTextLock);
  if (gFaceFamily.empty()) {
    fontFor(1);
    char name[LF_FACESIZE] = "";
    GetTextFaceA(gDc, LF_FACESIZE, name);
    gFaceFamily = name;
  }
  return gFaceFamily.c_str();
}

int pal_GetTextWidth(const char* text, int font) {
  if (text == nullptr || text[0] == '\0') return 0;
  std::lock_guard<std::mutex> lock(gTextLock);
  fontFor(font);
  SIZE extent{};
  GetTextExtentPoint32A(gDc, text, static_cast<int>(std::strlen(text)), &extent);
  return extent.cx;
}

// Only the part of the buffer that the text box (widened by the font's
// margin) covers is rendered, so a long line mostly outside the slot costs
// no more than the slot itself.
void pal_DrawTextLine(int slot, int32_t x, int32_t top, const char* text, int font, uint32_t colour) {
  if (slot < 0 || slot >= PAL_BUFFER_SLOTS || gpal_ImageBuffBits[slot] == nullptr || text == nullptr) return;
  const int length = static_cast<int>(std::strlen(text));
  if (length == 0) return;
  std::lock_guard<std::mutex> lock(gTextLock);
  const Font& f = fontFor(font);
  SIZE extent{};
  GetTextExtentPoint32A(gDc, text, length, &extent);
  const int64_t left = std::max<int64_t>(0, int64_t{x} - f.margin);
  const int64_t right = std::min<int64_t>(gpal_ImageBuffSize[slot][0], int64_t{x} + extent.cx + f.margin);
  const int64_t up = std::max<int64_t>(0, int64_t{top} - f.margin);
  const int64_t down = std::min<int64_t>(gpal_ImageBuffSize[slot][1], int64_t{top} + f.cellHeight + f.margin);
  if (left >= right || up >= down) return;
  const auto width = static_cast<int32_t>(right - left), height = static_cast<int32_t>(down - up);
  scratchOf(width, height);
  TextOutA(gDc, static_cast<int>(x - left), static_cast<int>(top - up), text, length);
  GdiFlush();  // the glyphs must be in the picture before it is read
  blitScratch(slot, static_cast<int32_t>(left), static_cast<int32_t>(up), width, height, colour);
}
