// package_builder.cpp: writes packages for the tests.
#include "tests/support/package_builder.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace {

void put32(std::vector<unsigned char>& out, size_t at, uint32_t v) {
  out[at] = static_cast<unsigned char>(v >> 24);
  out[at + 1] = static_cast<unsigned char>(v >> 16);
  out[at + 2] = static_cast<unsigned char>(v >> 8);
  out[at + 3] = static_cast<unsigned char>(v);
}

void append(std::vector<unsigned char>& out, const std::string& s) { out.insert(out.end(), s.begin(), s.end()); }

void appendNumber(std::vector<unsigned char>& out, int64_t v) {
  char digits[32];
  if (v < 0) std::snprintf(digits, sizeof digits, "-%04lld", static_cast<long long>(-v));
  else std::snprintf(digits, sizeof digits, "%05lld", static_cast<long long>(v));
  out.insert(out.end(), digits, digits + 5);
}

uint64_t hashRow(const unsigned char* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
  return h;
}

}  // namespace

std::vector<unsigned char> fixtureBranding(const uint32_t values[44], uint32_t pictureColour, int extra) {
  std::vector<unsigned char> block(180 + 900 * 600 * 3 + extra, 0);
  std::memcpy(block.data(), "gBa2", 4);
  for (int i = 0; i < 44; ++i) put32(block, 4 + 4 * i, values[i]);
  for (size_t p = 0; p < 900 * 600; ++p) {
    block[180 + p * 3] = pictureColour & 0xFF;
    block[180 + p * 3 + 1] = (pictureColour >> 8) & 0xFF;
    block[180 + p * 3 + 2] = (pictureColour >> 16) & 0xFF;
  }
  return block;
}

std::vector<unsigned char> buildFlowData(const PackageFixture& fx) {
  std::vector<unsigned char> flow{254};
  for (size_t f = 0; f < fx.frames.size(); ++f) {
    const FixtureFrame& fr = fx.frames[f];
    append(flow, fr.name);
    flow.push_back(254);
    append(flow, fr.note);
    flow.push_back(254);
    appendNumber(flow, fr.noteX == -999 ? 99999 : fr.noteX);
    appendNumber(flow, fr.noteY == -999 ? 99999 : fr.noteY);
    appendNumber(flow, static_cast<int64_t>(fr.instrs.size()));
    flow.push_back(254);
    for (const InstrRec& in : fr.instrs) {
      appendNumber(flow, in.target == -1 ? static_cast<int64_t>(f) + 1 : in.target);
      appendNumber(flow, in.type);
      const bool rect = in.type == 'L' || in.type == 'R' || in.type == 'M' || in.type == 'E';
      for (int k = 0; k < 4; ++k) appendNumber(flow, rect || k == 0 ? (in.v[k] < 0 && !rect ? 0 : in.v[k]) : 0);
      flow.push_back(254);
    }
  }
  return flow;
}

std::vector<unsigned char> buildPackage(const PackageFixture& fx, PackageDirectory* directory) {
  const size_t frames = fx.frames.size();
  const size_t rowBytes = static_cast<size_t>(fx.width) * 3;
  std::vector<uint32_t> lines(frames * fx.height);
  std::vector<unsigned char> pool;
  std::unordered_map<uint64_t, std::vector<uint32_t>> seen;
  std::vector<unsigned char> row(rowBytes);
  for (size_t f = 0; f < frames; ++f) {
    for (int32_t y = 0; y < fx.height; ++y) {
      fx.row(static_cast<int32_t>(f), y, row.data());
      std::vector<uint32_t>& same = seen[hashRow(row.data(), rowBytes)];
      uint32_t number = UINT32_MAX;
      for (uint32_t n : same)
        if (std::memcmp(&pool[n * rowBytes], row.data(), rowBytes) == 0) number = n;
      if (number == UINT32_MAX) {
        number = static_cast<uint32_t>(pool.size() / rowBytes);
        pool.insert(pool.end(), row.begin(), row.end());
        same.push_back(number);
      }
      lines[f * fx.height + y] = number;
    }
  }
  std::vector<unsigned char> branding = fx.branding;
  if (branding.empty()) {
    uint32_t values[44] = {};
    values[4] = 450;
    values[9] = 200;
    values[14] = 0x203040;
    values[19] = 0xFFFFFF;
    branding = fixtureBranding(values, 0x336699, 1);
  }
  const std::vector<unsigned char> flow = buildFlowData(fx);

  PackageDirectory d{};
  const uint32_t textBytes = static_cast<uint32_t>(fx.title.size() + fx.description.size());
  d.a[0] = 30;
  d.b[0] = 240 + textBytes + static_cast<uint32_t>(branding.size());
  d.a[1] = 10 + d.b[0];
  d.b[1] = static_cast<uint32_t>(lines.size() * 3);
  d.a[2] = d.a[1] + d.b[1];
  d.b[2] = static_cast<uint32_t>(pool.size());
  d.a[3] = d.a[2] + d.b[2];
  d.b[3] = static_cast<uint32_t>(flow.size());
  d.a[11] = 250;
  d.a[12] = fx.date;
  d.a[15] = 250;
  d.b[15] = static_cast<uint32_t>(fx.title.size());
  d.a[16] = 250 + d.b[15];
  d.b[16] = static_cast<uint32_t>(fx.description.size());
  d.a[18] = static_cast<uint32_t>(frames);
  d.b[18] = fx.homeFrame;
  d.a[19] = static_cast<uint32_t>(fx.width);
  d.b[19] = static_cast<uint32_t>(fx.height);
  d.a[20] = fx.windowMode;
  d.a[21] = fx.redBoxMode;
  d.b[21] = fx.noteMode;
  d.a[22] = 1;
  d.a[26] = 250 + textBytes;
  d.b[26] = static_cast<uint32_t>(branding.size());
  if (directory) *directory = d;

  std::vector<unsigned char> out(250, 0);
  std::memcpy(out.data(), "PMpkg_v04_", 10);
  for (int i = 0; i < 30; ++i) {
    put32(out, 10 + 8 * i, d.a[i]);
    put32(out, 14 + 8 * i, d.b[i]);
  }
  append(out, fx.title);
  append(out, fx.description);
  out.insert(out.end(), branding.begin(), branding.end());
  for (uint32_t n : lines) {
    out.push_back(static_cast<unsigned char>(n >> 16));
    out.push_back(static_cast<unsigned char>(n >> 8));
    out.push_back(static_cast<unsigned char>(n));
  }
  out.insert(out.end(), pool.begin(), pool.end());
  out.insert(out.end(), flow.begin(), flow.end());
  return out;
}

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

std::vector<unsigned char> packageMarker() {
  std::vector<unsigned char> m(99);
  for (int i = 0; i < 99; ++i) m[i] = static_cast<unsigned char>(i);
  return m;
}
