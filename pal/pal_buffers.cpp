// pal_buffers.cpp: the nine image buffer slots, per-pixel accessors, the
// unscaled copy between slots and the scale onto slot 0 (the smoothing
// filter itself is in pal_scale.cpp). Pixel memory is one zeroed block per
// slot; this build needs no drawing context, so gpal_BuffContext stays
// null. Copying slot 0 to a window belongs to the window-system file.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <cstdlib>
#include <cstring>

int32_t gpal_ImageBuffSize[PAL_BUFFER_SLOTS][2];
unsigned char* gpal_ImageBuffBits[PAL_BUFFER_SLOTS];
void* gpal_BuffContext[PAL_BUFFER_SLOTS];

namespace {

bool slotValid(int slot) { return slot >= 0 && slot < PAL_BUFFER_SLOTS; }

// Returns the address of pixel (x, y) of slot, or null outside the buffer.
inline unsigned char* pixelAt(int slot, int32_t x, int32_t y) {
  if (!slotValid(slot) || gpal_ImageBuffBits[slot] == nullptr) return nullptr;
  const int32_t w = gpal_ImageBuffSize[slot][0];
  const int32_t h = gpal_ImageBuffSize[slot][1];
  if (x < 0 || x >= w || y < 0 || y >= h) return nullptr;
  return gpal_ImageBuffBits[slot] + (static_cast<size_t>(y) * w + x) * 4;
}

// Copies src onto slot 0 at (x, y) row by row when no scaling is needed.
void copyUnscaledOntoMain(int src, int32_t x, int32_t y) {
  const int32_t sw = gpal_ImageBuffSize[src][0], sh = gpal_ImageBuffSize[src][1];
  const int32_t mw = gpal_ImageBuffSize[0][0], mh = gpal_ImageBuffSize[0][1];
  const int32_t x0 = x < 0 ? 0 : x, x1 = (x + sw < mw) ? x + sw : mw;
  const int32_t y0 = y < 0 ? 0 : y, y1 = (y + sh < mh) ? y + sh : mh;
  if (x0 >= x1 || y0 >= y1) return;
  const size_t bytes = static_cast<size_t>(x1 - x0) * 4;
  for (int32_t row = y0; row < y1; ++row) {
    const unsigned char* s = gpal_ImageBuffBits[src] + (static_cast<size_t>(row - y) * sw + (x0 - x)) * 4;
    unsigned char* d = gpal_ImageBuffBits[0] + (static_cast<size_t>(row) * mw + x0) * 4;
    std::memmove(d, s, bytes);
  }
}

// Converts count packed blue, green, red pixels into 4-byte pixels; the
// unused fourth byte becomes 0. With this build's blue-first byte order
// four pixels are three 32-bit loads and four stores.
void storeBGRPixels(unsigned char* d, const unsigned char* s, int32_t count) {
  static_assert(PAL_BLUE == 0 && PAL_GREEN == 1 && PAL_RED == 2, "pixels are blue, green, red, unused");
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are assembled little-endian");
  int32_t i = 0;
  for (; i + 4 <= count; i += 4, s += 12, d += 16) {
    uint32_t w[3];
    std::memcpy(w, s, 12);
    const uint32_t px[4] = {w[0] & 0xFFFFFFu, (w[0] >> 24) | ((w[1] & 0xFFFFu) << 8),
                            (w[1] >> 16) | ((w[2] & 0xFFu) << 16), w[2] >> 8};
    std::memcpy(d, px, 16);
  }
  for (; i < count; ++i, s += 3, d += 4) {
    const uint32_t px = s[0] | (uint32_t{s[1]} << 8) | (uint32_t{s[2]} << 16);
    std::memcpy(d, &px, 4);
  }
}

}  // namespace

void pal_InitWinBuf(int slot, int32_t width, int32_t height) {
  if (width == 0 || height == 0) {
    pal_Alert(0, "ZeroBuffer", "Cannot create zero-sized buffer in pal_InitWinBuf()");
    return;
  }
  if (!slotValid(slot) || width < 0 || height < 0) return;
  pal_DestroyWinBuff(slot);  // re-creating a slot releases its old memory
  const size_t bytes = static_cast<size_t>(width) * height * 4;
  auto* bits = static_cast<unsigned char*>(std::calloc(bytes, 1));
  if (bits == nullptr) pal_FatalAlert("Out of memory", "Cannot create an image buffer");
  gpal_ImageBuffBits[slot] = bits;
  gpal_BuffContext[slot] = nullptr;
  gpal_ImageBuffSize[slot][0] = width;
  gpal_ImageBuffSize[slot][1] = height;
}

void pal_DestroyWinBuff(int slot) {
  if (!slotValid(slot)) return;
  std::free(gpal_ImageBuffBits[slot]);
  gpal_BuffContext[slot] = nullptr;
  gpal_ImageBuffBits[slot] = nullptr;
  gpal_ImageBuffSize[slot][0] = 0;
  gpal_ImageBuffSize[slot][1] = 0;
}

void pal_SetBufferPixelRGB(int slot, int32_t x, int32_t y, int red, int green, int blue) {
  unsigned char* p = pixelAt(slot, x, y);
  if (p == nullptr) return;
  p[PAL_RED] = static_cast<unsigned char>(red);
  p[PAL_GREEN] = static_cast<unsigned char>(green);
  p[PAL_BLUE] = static_cast<unsigned char>(blue);
}

void pal_SetBufferPixelLongColor(int slot, int32_t x, int32_t y, uint32_t colour) {
  pal_SetBufferPixelRGB(slot, x, y, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

int32_t* pal_GetBufferPixelRGB(int slot, int32_t x, int32_t y, int32_t rgb[3]) {
  const unsigned char* p = pixelAt(slot, x, y);
  rgb[0] = p ? p[PAL_RED] : 0;
  rgb[1] = p ? p[PAL_GREEN] : 0;
  rgb[2] = p ? p[PAL_BLUE] : 0;
  return rgb;
}

void pal_CopyUnscaledRectBetweenBuffers(int srcSlot, int32_t x, int32_t y, int32_t w, int32_t h,
                                        int dstSlot, int32_t dx, int32_t dy) {
  // Pixel by pixel on purpose: an overlapping copy inside one slot must read
  // the pixels it has already written, row by row from the top.
  int32_t rgb[3];
  for (int32_t sy = y; sy < y + h; ++sy) {
    for (int32_t sx = x; sx < x + w; ++sx) {
      pal_GetBufferPixelRGB(srcSlot, sx, sy, rgb);
      pal_SetBufferPixelRGB(dstSlot, sx + dx - x, sy + dy - y, rgb[0], rgb[1], rgb[2]);
    }
  }
}

void pal_ScaleBufferOntoMainBuffer(int srcSlot, int32_t x, int32_t y, int32_t w, int32_t h) {
  if (!slotValid(srcSlot) || gpal_ImageBuffBits[srcSlot] == nullptr || gpal_ImageBuffBits[0] == nullptr) return;
  if (w < 1 || h < 1) return;
  const int32_t sw = gpal_ImageBuffSize[srcSlot][0], sh = gpal_ImageBuffSize[srcSlot][1];
  if (sw == w && sh == h) {
    copyUnscaledOntoMain(srcSlot, x, y);
    return;
  }
  palScaleSmoothed(srcSlot, x, y, w, h);
}

void pal_StoreBGRRowInBuffer(int slot, int32_t x, int32_t y, const unsigned char* bgr, int32_t count) {
  if (!slotValid(slot) || gpal_ImageBuffBits[slot] == nullptr) return;
  const int32_t w = gpal_ImageBuffSize[slot][0];
  if (y < 0 || y >= gpal_ImageBuffSize[slot][1]) return;
  int32_t first = x < 0 ? -x : 0;
  int32_t last = (x + count > w) ? w - x : count;  // one past the last pixel
  if (first >= last) return;
  unsigned char* d = gpal_ImageBuffBits[slot] + (static_cast<size_t>(y) * w + x + first) * 4;
  const unsigned char* s = bgr + static_cast<size_t>(first) * 3;
  storeBGRPixels(d, s, last - first);
}
