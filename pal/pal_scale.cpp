// pal_scale.cpp: the smoothed scale of a buffer slot onto slot 0.
// A separable filter: each axis gets a table of taps per destination
// pixel, area averaging (the exact coverage of each source pixel by the
// destination pixel's footprint) when shrinking and linear interpolation
// between pixel centres when enlarging. The vertical pass runs first over
// whole rows (contiguous, so the compiler vectorises it), the horizontal
// pass second over the already reduced rows. Weights are 8-bit fixed point
// summing exactly to 256, so flat areas stay exact and the vertical sums
// fit 16-bit lanes.
#include "pal/pal.h"
#include "pal/pal_internal.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int kWeightBits = 8;
constexpr int32_t kOne = 1 << kWeightBits;

// Taps of one destination pixel along one axis: source index of the first
// tap and its weights.
struct AxisTaps {
  std::vector<int32_t> first;    // per destination pixel
  std::vector<int32_t> weights;  // per destination pixel, `width` entries each
  int width = 0;                 // taps per destination pixel (padded with 0)
};

// Rounds raw weights to fixed point so that their sum is exactly kOne.
void quantise(const std::vector<double>& raw, int32_t* out) {
  double sum = 0;
  for (double w : raw) sum += w;
  int32_t total = 0, biggest = 0;
  for (size_t k = 0; k < raw.size(); ++k) {
    out[k] = static_cast<int32_t>(std::lround(raw[k] / sum * kOne));
    total += out[k];
    if (out[k] > out[biggest]) biggest = static_cast<int32_t>(k);
  }
  out[biggest] += kOne - total;
}

// Builds the taps mapping src pixels onto dst pixels. Taps may run past
// the last source pixel with weight 0; readers skip or pad them.
AxisTaps makeTaps(int32_t src, int32_t dst) {
  AxisTaps t;
  const double s = static_cast<double>(src) / dst;
  std::vector<std::vector<double>> raws(dst);
  t.first.resize(dst);
  for (int32_t j = 0; j < dst; ++j) {
    std::vector<double>& raw = raws[j];
    int32_t first;
    if (s > 1.0) {  // the footprint [j * s, (j + 1) * s) covers parts of source pixels
      const double a = j * s, b = (j + 1) * s;
      first = static_cast<int32_t>(std::floor(a));
      for (int32_t i = first; i < b && i < src; ++i) raw.push_back(std::min<double>(i + 1, b) - std::max<double>(i, a));
    } else {  // between the two nearest pixel centres, edge pixels held
      const double c = (j + 0.5) * s - 0.5;
      first = c <= 0 ? 0 : static_cast<int32_t>(std::floor(c));
      const double f = c <= 0 ? 0.0 : c - first;
      raw = {1.0 - f, f};
      if (first >= src - 1) raw = {1.0};
    }
    t.first[j] = first;
    t.width = std::max(t.width, static_cast<int>(raw.size()));
  }
  t.weights.assign(static_cast<size_t>(dst) * t.width, 0);
  for (int32_t j = 0; j < dst; ++j) quantise(raws[j], &t.weights[static_cast<size_t>(j) * t.width]);
  return t;
}

// One output row of the vertical pass: the weighted sum of source rows,
// each channel kept with 8 fraction bits in 16 bits.
void verticalRow(const unsigned char* bits, int32_t rowBytes, const AxisTaps& ty, int32_t j, int32_t srcH,
                 uint16_t* out) {
  std::fill(out, out + rowBytes, uint16_t{0});
  const int32_t* w = &ty.weights[static_cast<size_t>(j) * ty.width];
  for (int k = 0; k < ty.width; ++k) {
    const int32_t row = ty.first[j] + k;
    if (w[k] == 0 || row >= srcH) continue;
    const unsigned char* s = bits + static_cast<size_t>(row) * rowBytes;
    const auto wk = static_cast<uint16_t>(w[k]);
    for (int32_t i = 0; i < rowBytes; ++i) out[i] = static_cast<uint16_t>(out[i] + wk * s[i]);
  }
}

// One output row of the horizontal pass into the destination's pixels
// from column x0 to x1 - 1 (destination columns, already clipped). Taps
// beyond the row's end carry weight 0 and read the zero padding of `in`.
void horizontalRow(const uint16_t* in, const AxisTaps& tx, int32_t dx, int32_t x0, int32_t x1, unsigned char* out) {
  for (int32_t x = x0; x < x1; ++x) {
    const int32_t j = x - dx;
    const int32_t* w = &tx.weights[static_cast<size_t>(j) * tx.width];
    const uint16_t* s = in + static_cast<size_t>(tx.first[j]) * 4;
    uint32_t b = 0, g = 0, r = 0;
    for (int k = 0; k < tx.width; ++k, s += 4) {
      b += static_cast<uint32_t>(w[k]) * s[PAL_BLUE];
      g += static_cast<uint32_t>(w[k]) * s[PAL_GREEN];
      r += static_cast<uint32_t>(w[k]) * s[PAL_RED];
    }
    unsigned char* d = out + static_cast<size_t>(x) * 4;
    constexpr int shift = 2 * kWeightBits;
    d[PAL_BLUE] = static_cast<unsigned char>((b + (1u << (shift - 1))) >> shift);
    d[PAL_GREEN] = static_cast<unsigned char>((g + (1u << (shift - 1))) >> shift);
    d[PAL_RED] = static_cast<unsigned char>((r + (1u << (shift - 1))) >> shift);
  }
}

// Remembers the tap tables of the last scale, which repeats frame after frame.
struct TapCache {
  int32_t srcW = -1, srcH = -1, dstW = -1, dstH = -1;
  AxisTaps tx, ty;
};

}  // namespace

void palScaleSmoothed(int srcSlot, int32_t dx, int32_t dy, int32_t dw, int32_t dh) {
  static TapCache cache;
  const int32_t sw = gpal_ImageBuffSize[srcSlot][0], sh = gpal_ImageBuffSize[srcSlot][1];
  const int32_t mw = gpal_ImageBuffSize[0][0], mh = gpal_ImageBuffSize[0][1];
  const int32_t x0 = std::max(dx, 0), x1 = std::min(dx + dw, mw);
  const int32_t y0 = std::max(dy, 0), y1 = std::min(dy + dh, mh);
  if (x0 >= x1 || y0 >= y1) return;
  if (cache.srcW != sw || cache.dstW != dw) cache.tx = makeTaps(sw, dw);
  if (cache.srcH != sh || cache.dstH != dh) cache.ty = makeTaps(sh, dh);
  cache.srcW = sw;
  cache.srcH = sh;
  cache.dstW = dw;
  cache.dstH = dh;

  const int32_t rowBytes = sw * 4;
  std::vector<uint16_t> reduced(static_cast<size_t>(rowBytes) + 4 * cache.tx.width, 0);
  for (int32_t y = y0; y < y1; ++y) {
    verticalRow(gpal_ImageBuffBits[srcSlot], rowBytes, cache.ty, y - dy, sh, reduced.data());
    horizontalRow(reduced.data(), cache.tx, dx, x0, x1, gpal_ImageBuffBits[0] + static_cast<size_t>(y) * mw * 4);
  }
}
