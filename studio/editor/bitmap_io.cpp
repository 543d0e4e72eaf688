// bitmap_io.cpp: bitmap files of frame pictures and the import of a
// bitmap's changed pixels into the demo's recording (see bitmap_io.h).
#include "studio/editor/bitmap_io.h"

#include "studio/capture/demo_files.h"
#include "studio/editor/editor_state.h"

#include "demo/demo_frames.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
File openFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode), std::fclose); }

void put16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
  put16(p, v);
  put16(p + 2, v >> 16);
}
uint32_t get32(const unsigned char* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

bool readWhole(const std::string& path, std::vector<unsigned char>* bytes) {
  File f = openFile(path, "rb");
  if (!f) return false;
  bytes->clear();
  unsigned char block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, f.get())) > 0) bytes->insert(bytes->end(), block, block + n);
  return std::ferror(f.get()) == 0;
}

// Writes the changed pixels (bitmap differs from current) of the change
// rectangle into the record at offset, only where the record holds them.
bool writeChangedPixels(std::FILE* f, int64_t offset, const ImportBitmap& in, const int32_t crop[4]) {
  std::string line;
  RecordLine r;
  if (!readRecordLineAt(f, offset, &line, &r)) return false;
  const int64_t start = offset + static_cast<int64_t>(line.size());
  const int32_t w = crop[2];
  std::vector<unsigned char> row;
  for (int32_t y = in.rect.top; y <= in.rect.bottom; ++y) {
    const int64_t sy = int64_t{y} + crop[1];
    if (sy < r.y || sy >= r.y + r.h) continue;
    const int64_t x0 = std::max<int64_t>(int64_t{in.rect.left} + crop[0], r.x);
    const int64_t x1 = std::min<int64_t>(int64_t{in.rect.right} + crop[0], r.x + r.w - 1);
    if (x1 < x0) continue;
    const int64_t at = start + ((sy - r.y) * r.w + (x0 - r.x)) * 3;
    row.resize(static_cast<size_t>((x1 - x0 + 1) * 3));
    if (fseeko(f, at, SEEK_SET) != 0 || std::fread(row.data(), 1, row.size(), f) != row.size()) return false;
    bool changed = false;
    for (int64_t sx = x0; sx <= x1; ++sx) {
      const size_t p = static_cast<size_t>((int64_t{y} * w + (sx - crop[0])) * 3);
      if (std::memcmp(&in.bitmap[p], &in.current[p], 3) == 0) continue;
      std::memcpy(&row[static_cast<size_t>((sx - x0) * 3)], &in.bitmap[p], 3);
      changed = true;
    }
    if (changed && (fseeko(f, at, SEEK_SET) != 0 || std::fwrite(row.data(), 1, row.size(), f) != row.size()))
      return false;
  }
  return true;
}

}  // namespace

// ---- Bitmap bytes ---------------------------------------------------------------------

int64_t bmpRowBytes(int32_t w) { return int64_t{3} * w + w % 4; }

std::vector<unsigned char> bmpEncode(const unsigned char* bgr, int32_t w, int32_t h) {
  const int64_t row = bmpRowBytes(w), image = row * h;
  std::vector<unsigned char> out(static_cast<size_t>(BMP_HEADER_BYTES + image), 0);
  unsigned char* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  put32(p + 2, static_cast<uint32_t>(BMP_HEADER_BYTES + image));
  put32(p + 10, BMP_HEADER_BYTES);
  put32(p + 14, 40);
  put32(p + 18, static_cast<uint32_t>(w));
  put32(p + 22, static_cast<uint32_t>(h));
  put16(p + 26, 1);
  put16(p + 28, 24);
  put32(p + 34, static_cast<uint32_t>(image));
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(p + BMP_HEADER_BYTES + (h - 1 - y) * row, bgr + int64_t{y} * w * 3, static_cast<size_t>(w) * 3);
  return out;
}

BmpCheck bmpDecode(const unsigned char* data, size_t size, int32_t w, int32_t h, std::vector<unsigned char>* bgr) {
  if (size < 18) return BmpCheck::Corrupted;
  const uint32_t info = get32(data + 14);
  if (info != 40 && info != 108) return BmpCheck::Corrupted;
  if (size < 14 + info) return BmpCheck::Corrupted;
  if (static_cast<int32_t>(get32(data + 18)) != w || static_cast<int32_t>(get32(data + 22)) != h)
    return BmpCheck::WrongSize;
  // Only 24-bit uncompressed pictures are read; anything else cannot be these pixels.
  if (data[28] != 24 || data[29] != 0 || get32(data + 30) != 0) return BmpCheck::Corrupted;
  if (w < 1 || h < 1) return BmpCheck::WrongSize;
  const uint64_t row = static_cast<uint64_t>(bmpRowBytes(w));
  if ((size - 14 - info) / row < static_cast<uint64_t>(h)) return BmpCheck::Corrupted;
  bgr->assign(static_cast<size_t>(w) * h * 3, 0);
  const unsigned char* rows = data + 14 + info;
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(bgr->data() + static_cast<size_t>(y) * w * 3, rows + (h - 1 - y) * row, static_cast<size_t>(w) * 3);
  return BmpCheck::Ok;
}

ChangeRect changeRect(const unsigned char* a, const unsigned char* b, int32_t w, int32_t h) {
  ChangeRect r;
  r.left = w;
  r.top = h;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const size_t p = (static_cast<size_t>(y) * w + x) * 3;
      if (std::memcmp(a + p, b + p, 3) == 0) continue;
      r.left = std::min(r.left, x);
      r.right = std::max(r.right, x);
      r.top = std::min(r.top, y);
      r.bottom = std::max(r.bottom, y);
    }
  if (r.right < 0) r = ChangeRect{};
  return r;
}

// ---- Export ------------------------------------------------------------------------------

bool exportFrameBitmap(int32_t frame, std::string* path) {
  const FrameRec& rec = gFrameData[frame];
  *path = exportedImagePath(gCurrDemoName, static_cast<int>(rec.frameId));
  std::vector<unsigned char> bgr(static_cast<size_t>(gCropSize[2]) * gCropSize[3] * 3, 0);
  if (demoRecframeCroppedToMembuff(editorRecordingPath().c_str(), rec.imageRefA, rec.imageRefB, gCropSize, bgr.data(),
                                   3, 1) < 0)
    return false;
  const std::vector<unsigned char> bytes = bmpEncode(bgr.data(), gCropSize[2], gCropSize[3]);
  // Written complete under a temporary name first, so a bitmap file is never half-written.
  const std::string temp = *path + ".part";
  File f = openFile(temp, "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
  const bool ok = closeSynced(f.release()) && written;
  if (!ok || pal_FsRename(temp.c_str(), path->c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

// ---- Import ------------------------------------------------------------------------------

bool readImportRange(const char* fromText, const char* toText, Outcome* out, int64_t* from, int64_t* to) {
  return readFrameRange(fromText, toText, false, true, out, from, to);
}

bool readImportBitmap(int64_t from, ImportBitmap* in, Outcome* out) {
  const int n = static_cast<int>(from);
  const std::string path = exportedImagePath(gCurrDemoName, n);
  char text[400];
  std::vector<unsigned char> bytes;
  if (!readWhole(path, &bytes)) {
    std::snprintf(text, sizeof text, "Could not find 'Demos/%s/%d.bmp'", gCurrDemoName, n);
    *out = refused("No import file found", text);
    return false;
  }
  const int32_t w = gCropSize[2], h = gCropSize[3];
  switch (bmpDecode(bytes.data(), bytes.size(), w, h, &in->bitmap)) {
    case BmpCheck::Corrupted:
      std::snprintf(text, sizeof text, "'%s/%d.bmp' appears to be corrupted", gCurrDemoName, n);
      *out = refused("Cannot import", text);
      return false;
    case BmpCheck::WrongSize:
      std::snprintf(text, sizeof text, "'%d.bmp' is the wrong size - it must be %d wide and %d tall", n, w, h);
      *out = refused("Bad import file size", text);
      return false;
    case BmpCheck::Ok: break;
  }
  const int32_t index = frameIndexOfNumber(from);
  if (index < 0) {
    std::snprintf(text, sizeof text, "frame %d must be a visible frame", n);
    *out = refused("Bad frame#", text);
    return false;
  }
  in->current.assign(in->bitmap.size(), 0);
  if (demoRecframeCroppedToMembuff(editorRecordingPath().c_str(), gFrameData[index].imageRefA,
                                   gFrameData[index].imageRefB, gCropSize, in->current.data(), 3, 1) < 0) {
    *out = refused("Unexpected Error", "Unable to read the frame's picture from the recording");
    return false;
  }
  in->rect = changeRect(in->bitmap.data(), in->current.data(), w, h);
  if (in->rect.empty()) {
    std::snprintf(text, sizeof text, "'%d.bmp' already matches frame %d", n, n);
    *out = refused("No difference", text);
    return false;
  }
  in->from = from;
  return true;
}

ImportJob importJobOf(const ImportBitmap& in) {
  ImportJob job;
  job.in = in;
  takeCurrentDemo(&job);
  return job;
}

namespace {

// Expansion: the record of "From" and the one after the range must hold
// the change rectangle, or changed pixels would spill into later frames.
// Writes the new recording with those records grown to the crop and moves
// the job's frames' image offsets after them. nullptr, or what failed;
// failSeam fails the copy as a test asks.
const char* expandRecording(ImportJob& job, bool failSeam) {
  const ImportBitmap& in = job.in;
  const int32_t* crop = job.crop;
  const std::string dmr = recordingOf(job);
  const int64_t at[2] = {findFrameRecord(dmr, job.frames, in.from), findFrameRecord(dmr, job.frames, in.to + 1)};
  if (at[0] < 0) return "Unable to expand DMR for Import";
  const int32_t screenRect[4] = {in.rect.left + crop[0], in.rect.top + crop[1], in.rect.right + crop[0],
                                 in.rect.bottom + crop[1]};
  RecordExpansion expand[2];
  {
    File f = openFile(dmr, "rb");
    if (!f) return "ImportFail Err EAS034";
    for (int i = 0; i < 2; ++i) {
      RecordLine r;
      if (at[i] < 0 || !readRecordLineAt(f.get(), at[i], nullptr, &r) || recordHolds(r, screenRect)) continue;
      std::copy(crop, crop + 4, expand[i].rect);
      if (!decodeRecordPicture(dmr, at[i], crop, &expand[i].picture)) return "Unable to expand DMR for Import";
      expand[i].at = at[i];
    }
  }
  if (failSeam || !copyRecording(dmr, newRecordingOf(job), expand, nullptr, 500))
    return "Unable to expand DMR for Import";
  moveImageOffsets(&job.frames, expand);
  return nullptr;
}

// The changed pixels, into every frame of the range of the new recording,
// hidden ones included. nullptr, or what failed ("stopped" when the
// program is ending); failSeam fails it as a test asks.
const char* writeRangePixels(const ImportJob& job, bool failSeam) {
  const ImportBitmap& in = job.in;
  const std::string path = newRecordingOf(job);
  File f = openFile(path, "r+b");
  if (!f || failSeam) return "ImportFail ErrUA0036";
  for (int64_t n = in.from; n <= in.to; ++n) {
    if (pal_StopRequested()) return "stopped";
    // Below 1000 while it works: the screen waits for the worker's own word that it has finished.
    gRewriteProgress = in.to == in.from ? 890 : static_cast<int>(500 + 499 * (n - in.from) / (in.to - in.from));
    const int64_t rec = findFrameRecord(path, job.frames, n);
    if (rec < 0 || !writeChangedPixels(f.get(), rec, in, job.crop)) return "ImportFail ErrUA0034";
  }
  if (!closeSynced(f.release())) return "ImportFail ErrUA0036";
  return nullptr;
}

}  // namespace

int writeImportedRecording(ImportJob* job) {
  gRewriteProgress = 0;
  // Nothing of the demo's own is touched here: a failure or a stop removes
  // the one file written so far.
  auto fail = [&](const char* text) { return workerFailed(job, text); };
  auto crashed = [&]() { return workerInterrupted(job); };
  SeamAction act = rewriteSeam(RewriteStep::Expand);
  if (act == SeamAction::Crash) return crashed();
  if (const char* failed = expandRecording(*job, act == SeamAction::Fail)) return fail(failed);
  gRewriteProgress = 500;
  act = rewriteSeam(RewriteStep::WritePixels);
  if (act == SeamAction::Crash) return crashed();
  if (const char* failed = writeRangePixels(*job, act == SeamAction::Fail)) return fail(failed);
  if (pal_StopRequested()) return fail("stopped");
  return REWRITE_DONE;
}

int runImport(const ImportBitmap& in, std::string* why) {
  ImportJob job = importJobOf(in);
  int result = writeImportedRecording(&job);
  if (result == REWRITE_DONE) result = commitRewrite(&job);
  *why = job.why;
  gRewriteProgress = 1000;
  return result;
}
