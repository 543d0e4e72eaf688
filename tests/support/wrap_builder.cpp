// wrap_builder.cpp: writes wrapped files for the tests.
#include "tests/support/wrap_builder.h"

#include <cstring>
#include <map>

namespace {

void put(WrapBytes& out, uint64_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

uint32_t get32(const WrapBytes& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

}  // namespace

WrapBytes wrapRecord(uint32_t reference, const WrapBytes& mask, const WrapBytes& values) {
  WrapBytes out;
  put(out, reference, 3);
  out.insert(out.end(), mask.begin(), mask.end());
  out.insert(out.end(), values.begin(), values.end());
  return out;
}

WrapBytes compressPool(const WrapBytes& pool, int32_t width) {
  const size_t rowBytes = static_cast<size_t>(width) * 3, maskBytes = (static_cast<size_t>(width) + 7) / 8;
  const size_t rows = pool.size() / rowBytes;
  auto rowAt = [&](size_t k) { return &pool[k * rowBytes]; };
  auto differences = [&](size_t a, size_t b) {
    size_t n = 0;
    for (size_t p = 0; p < static_cast<size_t>(width); ++p) n += std::memcmp(rowAt(a) + p * 3, rowAt(b) + p * 3, 3) != 0;
    return n;
  };
  WrapBytes out(rowAt(0), rowAt(0) + rowBytes);
  std::map<WrapBytes, size_t> first;
  first.emplace(WrapBytes(rowAt(0), rowAt(0) + rowBytes), 0);
  for (size_t k = 1; k < rows; ++k) {
    const WrapBytes row(rowAt(k), rowAt(k) + rowBytes);
    // An identical earlier row, else row 0 or the previous row, whichever differs less.
    const auto same = first.find(row);
    size_t reference = differences(k, 0) < differences(k, k - 1) ? 0 : k - 1;
    if (same != first.end()) reference = same->second;
    first.emplace(row, k);
    WrapBytes mask(maskBytes, 0), values;
    for (size_t p = 0; p < static_cast<size_t>(width); ++p) {
      if (std::memcmp(&row[p * 3], rowAt(reference) + p * 3, 3) == 0) continue;
      mask[p / 8] |= static_cast<unsigned char>(0x80 >> (p % 8));
      values.insert(values.end(), &row[p * 3], &row[p * 3] + 3);
    }
    const WrapBytes record = wrapRecord(static_cast<uint32_t>(reference), mask, values);
    out.insert(out.end(), record.begin(), record.end());
  }
  return out;
}

WrapBytes buildWrapped(const WrapParts& parts) {
  WrapBytes out = parts.program;
  for (int i = 0; i < 99; ++i) out.push_back(static_cast<unsigned char>(i));
  const char* magic = "PMwrap_v01";
  out.insert(out.end(), magic, magic + 10);
  uint32_t values[18] = {};
  for (size_t i = 0; i < parts.pieces.size() && i < 10; ++i) values[i] = static_cast<uint32_t>(parts.pieces[i].size());
  values[14] = parts.width;
  values[15] = parts.height;
  for (const auto& o : parts.sizeOverrides) values[o.first] = o.second;
  for (uint32_t v : values) put(out, v, 4);
  for (const WrapBytes& piece : parts.pieces) out.insert(out.end(), piece.begin(), piece.end());
  if (parts.endMark) out.push_back(255);
  out.insert(out.end(), parts.name.begin(), parts.name.end());
  return out;
}

std::vector<WrapBytes> packagePieces(const WrapBytes& package, int32_t width) {
  const size_t tables = get32(package, 10 + 8 * 1), pool = get32(package, 10 + 8 * 2), flow = get32(package, 10 + 8 * 3);
  auto cut = [&](size_t from, size_t to) {
    return WrapBytes(package.begin() + static_cast<long>(from), package.begin() + static_cast<long>(to));
  };
  return {cut(0, tables), cut(tables, pool), compressPool(cut(pool, flow), width), cut(flow, package.size())};
}
