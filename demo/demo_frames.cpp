// demo_frames.cpp: package frame decoding and recording-file reconstruction.
// Package rows are converted straight from a read-only mapping of the file,
// after checking that the frame's line table and the pool lie inside it. Recording frames are rebuilt in a private screen image and
// copied out only when every record was read whole, so a failure leaves
// the destination as it was.
#include "demo/demo_frames.h"

#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// ---- Package frames -----------------------------------------------------

[[noreturn]] void frameReadFailed(const char* title) {
  char text[PKG_PATH_LEN + 64];
  std::snprintf(text, sizeof text, "Could not read package: %s", gDemoFilePath);
  pal_FatalAlert(title, text);
}

// The package file and its mapping for one decode, released on every path
// (the fatal path ends the program).
struct PackageMap {
  pal_File* file = nullptr;
  const unsigned char* bytes = nullptr;
  int64_t size = 0;
  ~PackageMap() {
    pal_FileUnmap(bytes, size);
    pal_FileClose(file);
  }
};

uint32_t lineNumberAt(const unsigned char* table, int32_t row) {
  const unsigned char* b = table + static_cast<size_t>(row) * 3;
  return (uint32_t{b[0]} << 16) | (uint32_t{b[1]} << 8) | b[2];
}

// ---- Recording files ------------------------------------------------------

enum class RecError { None, Open, NothingAtEnd, NoKey, Tell, BadRecord, CropOutside };

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct RecordLine {
  int64_t W, H, x, y, w, h;
};

// Reads a record line at the file's position; false when no line can be
// read or it is not a sound record's line of at least nine fields.
bool readRecordLine(std::FILE* f, RecordLine* r) {
  char line[REC_LINE_LIMIT + 1];
  if (std::fgets(line, sizeof line, f) == nullptr) return false;
  RecordFields v;
  if (!parseRecordLine(line, 9, &v)) return false;
  *r = {v.W, v.H, v.x, v.y, v.w, v.h};
  return true;
}

// A screen rebuilt from its records: W x H pixels of blue, green, red.
struct Screen {
  int64_t W = 0, H = 0;
  std::vector<unsigned char> bgr;
};

// Applies the pixels of record r (already read) at the file's position.
RecError applyRecord(std::FILE* f, const RecordLine& r, Screen& s) {
  if (r.x < 0 || r.y < 0 || r.w < 0 || r.h < 0 || r.x + r.w > s.W || r.y + r.h > s.H) return RecError::BadRecord;
  for (int64_t i = 0; i < r.h; ++i) {
    unsigned char* row = s.bgr.data() + ((r.y + i) * s.W + r.x) * 3;
    if (std::fread(row, 3, static_cast<size_t>(r.w), f) != static_cast<size_t>(r.w)) return RecError::BadRecord;
  }
  return RecError::None;
}

bool cropInside(const Screen& s, const int32_t rect[4]) {
  return rect[0] >= 0 && rect[1] >= 0 && rect[2] >= 0 && rect[3] >= 0 && int64_t{rect[0]} + rect[2] <= s.W &&
         int64_t{rect[1]} + rect[3] <= s.H;
}

// Rebuilds the screen from the key record at start through the last record
// that starts at or before end, and checks that the crop rectangle lies in
// it; *keyAt gets the last key record's offset.
RecError rebuildScreen(const char* path, int64_t start, int64_t end, const int32_t crop[4], Screen& s,
                       int64_t* keyAt) {
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "rb"));
  if (!f) return RecError::Open;
  if (fseeko(f.get(), 0, SEEK_END) != 0 || ftello(f.get()) <= end) return RecError::NothingAtEnd;
  if (fseeko(f.get(), start, SEEK_SET) != 0) return RecError::NothingAtEnd;
  RecordLine r;
  if (!readRecordLine(f.get(), &r)) return RecError::BadRecord;
  if (r.w != r.W || r.h != r.H) return RecError::NoKey;
  if (r.W < 1 || r.H < 1 || r.W > REC_MAX_SIDE || r.H > REC_MAX_SIDE || r.W * r.H > REC_MAX_PIXELS)
    return RecError::BadRecord;
  s.W = r.W;
  s.H = r.H;
  s.bgr.assign(static_cast<size_t>(s.W * s.H * 3), 0);
  if (applyRecord(f.get(), {s.W, s.H, 0, 0, s.W, s.H}, s) != RecError::None) return RecError::BadRecord;
  *keyAt = start;
  for (int64_t p = ftello(f.get()); p <= end; p = ftello(f.get())) {
    if (p < 0) return RecError::Tell;
    if (!readRecordLine(f.get(), &r)) return RecError::BadRecord;
    if (r.w == s.W && r.h == s.H) *keyAt = p;
    const RecError e = applyRecord(f.get(), r, s);
    if (e != RecError::None) return e;
  }
  return cropInside(s, crop) ? RecError::None : RecError::CropOutside;
}

// The result codes that differ between the two variants.
struct RecCodes {
  int64_t open, nothingAtEnd, noKey;
};

int64_t codeOf(RecError e, const RecCodes& c) {
  switch (e) {
    case RecError::Open: return c.open;
    case RecError::NothingAtEnd: return c.nothingAtEnd;
    case RecError::NoKey: return c.noKey;
    case RecError::Tell: return -7;
    case RecError::CropOutside: return REC_ERR_CROP_OUTSIDE;
    default: return REC_ERR_BAD_RECORD;
  }
}

}  // namespace

void pkgFrameToBuff(int32_t frame) {
  if (frame < 0 || frame >= gFrameCount) return;
  PackageMap pkg;
  pkg.file = pal_FileOpenRead(gDemoFilePath);
  if (pkg.file == nullptr) frameReadFailed("Fatal ErrPFTB-02");
  pkg.bytes = pal_FileMapRead(pkg.file, &pkg.size);
  const int32_t w = gCropSize[2], h = gCropSize[3];
  const int64_t rowBytes = int64_t{w} * 3;
  const int64_t table = gDemoPackageOffsetBytes[PKG_OFF_LINE_TABLES] + int64_t{frame} * h * 3;
  const int64_t pool = gDemoPackageOffsetBytes[PKG_OFF_LINE_TABLES] + int64_t{h} * gFrameCount * 3;
  // Everything the frame can touch must lie inside the file as it is now.
  const int64_t poolEnd = pool + gDemoPackageLineCount * rowBytes;
  if (pkg.bytes == nullptr || table < 0 || table + int64_t{h} * 3 > pkg.size || poolEnd > pkg.size)
    frameReadFailed("Fatal ErrPFTB-03");
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t line = lineNumberAt(pkg.bytes + table, y);
    if (line >= gDemoPackageLineCount) frameReadFailed("Fatal ErrPFTB-03");
    pal_StoreBGRRowInBuffer(1, 0, y, pkg.bytes + pool + int64_t{line} * rowBytes, w);
  }
}

bool lineField(const char* line, int n, int64_t lo, int64_t hi, int64_t* out) {
  const char* p = line;
  for (int i = 0; i < n; ++i) {
    p = std::strchr(p, ',');
    if (p == nullptr) return false;
    ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  if (*p < '0' || *p > '9') return false;
  // Accumulated as a negative number, whose range holds every int64_t.
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    const int digit = *p - '0';
    if (v < (INT64_MIN + digit) / 10) return false;
    v = v * 10 - digit;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p != ',' && *p != '\r' && *p != '\n' && *p != '\0') return false;
  if (!negative) {
    if (v == INT64_MIN) return false;
    v = -v;
  }
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

int64_t getLinePosValue(const char* line, int n) {
  const char* p = line;
  for (int i = 0; i < n; ++i) {
    p = std::strchr(p, ',');
    if (p == nullptr) return -1;
    ++p;
  }
  errno = 0;
  const long long v = std::strtoll(p, nullptr, 10);
  return errno == ERANGE ? -1 : v;  // never a saturated value
}

bool parseRecordLine(const char* line, int fields, RecordFields* out) {
  constexpr int64_t kPointer = int64_t{1} << 31, kTime = int64_t{1} << 53;
  RecordFields r{};
  int64_t first = 0;
  const bool ok = lineField(line, 0, INT64_MIN, INT64_MAX, &first) &&
                  lineField(line, 1, -kPointer, kPointer, &r.mouseX) &&
                  lineField(line, 2, -kPointer, kPointer, &r.mouseY) && lineField(line, 3, 1, REC_MAX_SIDE, &r.W) &&
                  lineField(line, 4, 1, REC_MAX_SIDE, &r.H) && r.W * r.H <= REC_MAX_PIXELS &&
                  lineField(line, 5, 0, r.W, &r.x) && lineField(line, 6, 0, r.H, &r.y) &&
                  lineField(line, 7, 0, r.W - r.x, &r.w) && lineField(line, 8, 0, r.H - r.y, &r.h) &&
                  (fields <= 9 || (lineField(line, 9, 0, kTime, &r.time) && lineField(line, 10, 0, 1, &r.click)));
  if (ok) *out = r;
  return ok;
}

int64_t demoRecFrameCroppedToPALbuff(const char* path, int64_t start, int64_t end, int buffer) {
  if (buffer < 0 || buffer >= PAL_BUFFER_SLOTS || gpal_ImageBuffBits[buffer] == nullptr ||
      gpal_ImageBuffSize[buffer][0] != gCropSize[2] || gpal_ImageBuffSize[buffer][1] != gCropSize[3])
    return -1;
  if (start < 0 || end < 0) return -2;
  if (end < start) return -3;
  Screen s;
  int64_t keyAt = start;
  const RecError e = rebuildScreen(path, start, end, gCropSize, s, &keyAt);
  if (e != RecError::None) return codeOf(e, {-4, -5, -6});
  for (int32_t y = 0; y < gCropSize[3]; ++y) {
    const unsigned char* src = s.bgr.data() + ((gCropSize[1] + y) * s.W + gCropSize[0]) * 3;
    pal_StoreBGRRowInBuffer(buffer, 0, y, src, gCropSize[2]);
  }
  return keyAt;
}

int64_t demoRecframeCroppedToMembuff(const char* path, int64_t start, int64_t end, const int32_t rect[4],
                                     unsigned char* destination, int step, int order) {
  if (end < 0) return -1;
  if (end < start) return -2;
  Screen s;
  int64_t keyAt = start;
  const RecError e = rebuildScreen(path, start, end, rect, s, &keyAt);
  if (e != RecError::None) return codeOf(e, {-3, -4, -5});
  if (destination == nullptr) return keyAt;
  const int bytes = step == 4 ? 4 : 3;
  // Blue, green, red as on disk for order 1; red, green, blue otherwise.
  const int first = order == 1 ? 0 : 2, third = order == 1 ? 2 : 0;
  for (int32_t y = 0; y < rect[3]; ++y) {
    const unsigned char* src = s.bgr.data() + ((rect[1] + y) * s.W + rect[0]) * 3;
    unsigned char* dst = destination + static_cast<size_t>(y) * rect[2] * bytes;
    for (int32_t x = 0; x < rect[2]; ++x, src += 3, dst += bytes) {
      dst[0] = src[first];
      dst[1] = src[1];
      dst[2] = src[third];
    }
  }
  return keyAt;
}
