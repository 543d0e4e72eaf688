// pal_text_freetype.cpp: text measuring and drawing with FreeType, the face
// found through fontconfig. The font table asks for "Trebuchet MS"; an
// application-local alias offers Open Sans where that face is missing.
// Each font number gets its own face sized so that ascender + descender
// equals the entry's pixel height (the cell height a window system creates
// fonts with), and a cache of the 256 rendered glyphs of its 8-bit text,
// read as Windows-1252. Drawing and measuring use the same rounded
// advances; there is no kerning. One lock guards the faces and their
// caches: the export workers draw texts into buffers of their own while
// the window's thread draws its progress.
#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_internal.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Glyph {
  bool loaded = false;
  int advance = 0;      // whole pixels
  int left = 0;         // bitmap's left edge relative to the pen
  int top = 0;          // bitmap's top row relative to the baseline (up is positive)
  int width = 0;
  int rows = 0;
  std::vector<unsigned char> coverage;  // width * rows, 0..255
};

struct Font {
  FT_Face face = nullptr;
  int pixelHeight = 0;
  int ascent = 0;  // baseline below the text's top edge, pixels
  Glyph glyphs[256];
};

FT_Library gLibrary = nullptr;
std::string gFacePath;
std::string gFaceFamily;
Font gFonts[PAL_FONT_ENTRIES];

unsigned long codePointOf(unsigned char byte) { return pal_Cp1252CodePoint(byte); }

const char kAliasConfig[] =
    "<?xml version=\"1.0\"?><!DOCTYPE fontconfig SYSTEM \"fonts.dtd\"><fontconfig>"
    "<alias binding=\"same\"><family>Trebuchet MS</family><accept><family>Open Sans</family></accept></alias>"
    "</fontconfig>";

// Finds the file of the face the font table names, once per process.
void locateFace(const char* family) {
  if (!gFacePath.empty()) return;
  FcConfig* config = FcInitLoadConfigAndFonts();
  FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kAliasConfig), FcTrue);
  FcConfigBuildFonts(config);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_MEDIUM);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcChar8* file = nullptr;
  FcChar8* matchedFamily = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
    gFacePath = reinterpret_cast<const char*>(file);
    if (FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch)
      gFaceFamily = reinterpret_cast<const char*>(matchedFamily);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  FcConfigDestroy(config);
  if (gFacePath.empty()) pal_FatalAlert("No Font", "No font for the text could be found on this system");
}

// Opens and sizes the face of one font number on first use.
Font& fontFor(int font) {
  const int n = pal_ResolveFont(font);
  Font& f = gFonts[n];
  if (f.face != nullptr) return f;
  locateFace(gpal_FontList[n][0]);
  if (gLibrary == nullptr && FT_Init_FreeType(&gLibrary) != 0)
    pal_FatalAlert("No Font", "The font renderer could not start");
  if (FT_New_Face(gLibrary, gFacePath.c_str(), 0, &f.face) != 0)
    pal_FatalAlert("No Font", "The font file could not be opened");
  f.pixelHeight = std::atoi(gpal_FontList[n][1]);
  FT_Size_RequestRec req{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, f.pixelHeight * 64, 0, 0};
  FT_Request_Size(f.face, &req);
  f.ascent = static_cast<int>((f.face->size->metrics.ascender + 32) >> 6);
  return f;
}

const Glyph& glyphFor(Font& f, unsigned char byte) {
  Glyph& g = f.glyphs[byte];
  if (g.loaded) return g;
  g.loaded = true;
  const FT_UInt index = FT_Get_Char_Index(f.face, codePointOf(byte));
  if (FT_Load_Glyph(f.face, index, FT_LOAD_RENDER) != 0) return g;
  const FT_GlyphSlot slot = f.face->glyph;
  g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.width = static_cast<int>(slot->bitmap.width);
  g.rows = static_cast<int>(slot->bitmap.rows);
  g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
  for (int r = 0; r < g.rows; ++r)
    std::memcpy(&g.coverage[static_cast<size_t>(r) * g.width], slot->bitmap.buffer + r * slot->bitmap.pitch,
                static_cast<size_t>(g.width));
  return g;
}

// Blends one channel value toward the text colour by coverage a.
void blitGlyph(unsigned char* pixels, int32_t bw, int32_t bh, int32_t penX, int32_t baseline, const Glyph& g,
               uint32_t colour) {
  const unsigned char r = (colour >> 16) & 0xFF, gr = (colour >> 8) & 0xFF, b = colour & 0xFF;
  for (int row = 0; row < g.rows; ++row) {
    const int32_t y = baseline - g.top + row;
    if (y < 0 || y >= bh) continue;
    for (int col = 0; col < g.width; ++col) {
      const int32_t x = penX + g.left + col;
      const unsigned a = g.coverage[static_cast<size_t>(row) * g.width + col];
      if (a == 0 || x < 0 || x >= bw) continue;
      unsigned char* p = pixels + (static_cast<size_t>(y) * bw + x) * 4;
      p[PAL_RED] = palBlend(p[PAL_RED], r, a);
      p[PAL_GREEN] = palBlend(p[PAL_GREEN], gr, a);
      p[PAL_BLUE] = palBlend(p[PAL_BLUE], b, a);
    }
  }
}

}  // namespace

static std::mutex gTextLock;  // the faces and their glyph caches

const char* pal_TextFaceFamily() {
  std::lock_guard<std::mutex> lock(gTextLock);
  fontFor(1);
  return gFaceFamily.c_str();
}

int pal_GetTextWidth(const char* text, int font) {
  if (text == nullptr || text[0] == '\0') return 0;
  std::lock_guard<std::mutex> lock(gTextLock);
  Font& f = fontFor(font);
  int width = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) width += glyphFor(f, *p).advance;
  return width;
}

void pal_DrawTextLine(int slot, int32_t x, int32_t top, const char* text, int font, uint32_t colour) {
  if (slot < 0 || slot >= PAL_BUFFER_SLOTS || gpal_ImageBuffBits[slot] == nullptr) return;
  palDrawTextInto(gpal_ImageBuffBits[slot], gpal_ImageBuffSize[slot][0], gpal_ImageBuffSize[slot][1], x, top, text,
                  font, colour);
}

void palDrawTextInto(unsigned char* pixels, int32_t width, int32_t height, int32_t x, int32_t top, const char* text,
                     int font, uint32_t colour) {
  if (pixels == nullptr || text == nullptr) return;
  std::lock_guard<std::mutex> lock(gTextLock);
  Font& f = fontFor(font);
  const int32_t baseline = top + f.ascent;
  int32_t pen = x;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    const Glyph& g = glyphFor(f, *p);
    blitGlyph(pixels, width, height, pen, baseline, g, colour);
    pen += g.advance;
  }
}
