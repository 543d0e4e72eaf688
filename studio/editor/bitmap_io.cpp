// bitmap_io.cpp: bitmap files of frame pictures and the import of a
// bitmap's changed pixels into the demo's recording (see bitmap_io.h).
#include "studio/editor/bitmap_io.h"

#include "studio/capture/demo_files.h"
#include "studio/editor/editor_state.h"

#include "studio/capture/frame_cursor.h"

#include "demo/demo_frames.h"
#include "pal/pal.h"
#include "pal/pal_codepage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

SeamAction (*gImportSeam)(ImportStep) = nullptr;
int (*gImportLink)(const char* from, const char* to) = ::link;
std::atomic<int> gImportProgress{0};

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

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// Flushes and syncs an open file, then closes it; false on any failure.
bool closeSynced(File f) {
  const bool ok = std::fflush(f.get()) == 0 && ::fsync(::fileno(f.get())) == 0;
  return std::fclose(f.release()) == 0 && ok;
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

// A record's line as read (with its line end) and its fields; false at the
// end of the file or for a line that is not a record's.
bool readLineAt(std::FILE* f, int64_t offset, std::string* line, RecordLine* r) {
  char text[REC_LINE_LIMIT + 1];
  if (fseeko(f, offset, SEEK_SET) != 0 || std::fgets(text, sizeof text, f) == nullptr) return false;
  RecordFields v;
  if (!parseRecordLine(text, 11, &v)) return false;
  *r = RecordLine{v.mouseX, v.mouseY, v.W, v.H, v.x, v.y, v.w, v.h, v.time, v.click};
  if (line != nullptr) *line = text;
  return true;
}

SeamAction seam(ImportStep step) { return gImportSeam == nullptr ? SeamAction::Go : gImportSeam(step); }

struct DemoPaths {
  std::string folder, dmr, dmd, dmrNew, dmdNew, dmrOld, journal;
};
DemoPaths pathsOf(const std::string& folder, const std::string& name) {
  DemoPaths p;
  const std::string disk = pal_SystemText(name);
  p.folder = folder;
  p.dmr = folder + "/" + disk + ".DMR";
  p.dmd = folder + "/" + disk + ".DMD";
  p.dmrNew = p.dmr + ".new";
  p.dmdNew = p.dmd + ".new";
  p.dmrOld = p.dmr + ".old";
  p.journal = folder + "/" + disk + ".import";
  return p;
}

// The temporary files of the writers the import uses: the journal's and the
// data file writer's names before their renames.
std::string journalTemp(const DemoPaths& p) { return p.journal + ".part"; }
std::string dataTemp(const DemoPaths& p) { return p.dmdNew + ".saving"; }

// Makes the renames and removals in the demo's folder lasting.
void syncFolder(const DemoPaths& p) {
  const int fd = ::open(p.folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Writes the journal's step word through a temporary file renamed over it.
bool writeJournal(const DemoPaths& p, const char* step) {
  const std::string temp = journalTemp(p);
  File f = openFile(temp, "wb");
  if (!f || std::fputs(step, f.get()) < 0 || !closeSynced(std::move(f))) {
    std::remove(temp.c_str());
    return false;
  }
  if (std::rename(temp.c_str(), p.journal.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  syncFolder(p);
  return true;
}

std::string journalStep(const DemoPaths& p) {
  std::vector<unsigned char> bytes;
  if (!readWhole(p.journal, &bytes)) return std::string();
  return std::string(bytes.begin(), bytes.end());
}

// Removes the temporary files that only a cut-short writer leaves behind.
void removeTemporaries(const DemoPaths& p) {
  std::remove(journalTemp(p).c_str());
  std::remove(dataTemp(p).c_str());
}

// Puts the old recording back when it was already moved or replaced, then
// removes everything the import wrote, the journal last. Each step leaves a
// state this function mends when run again: NAME.DMR.old is the old
// recording's second name (a hard link) while NAME.DMR.new still waits, and
// the old recording itself once NAME.DMR is missing (kept by a rename where
// links are not available) or replaced (NAME.DMR.new gone). False when the
// seam stopped it on the spot.
bool rollBack(const DemoPaths& p) {
  if (seam(ImportStep::RollbackRestore) == SeamAction::Crash) return false;
  if (exists(p.dmrOld) && (!exists(p.dmr) || !exists(p.dmrNew))) std::rename(p.dmrOld.c_str(), p.dmr.c_str());
  if (seam(ImportStep::RollbackRemove) == SeamAction::Crash) return false;
  // Once NAME.DMR.old is gone nothing is put back: what follows only removes pieces.
  std::remove(p.dmrOld.c_str());
  std::remove(p.dmrNew.c_str());
  std::remove(p.dmdNew.c_str());
  removeTemporaries(p);
  syncFolder(p);
  std::remove(p.journal.c_str());
  return true;
}

// Puts whichever new file is still waiting into place. Both were complete
// before the journal said "commit", so this finishes the import.
bool rollForward(const DemoPaths& p) {
  if (exists(p.dmrNew) && std::rename(p.dmrNew.c_str(), p.dmr.c_str()) != 0) return false;
  if (exists(p.dmdNew) && std::rename(p.dmdNew.c_str(), p.dmd.c_str()) != 0) return false;
  std::remove(p.dmrOld.c_str());
  removeTemporaries(p);
  syncFolder(p);
  std::remove(p.journal.c_str());
  return true;
}

// Keeps the old recording as NAME.DMR.old: a second name (hard link) where
// the file system has them, else the recording is moved there (NAME.DMR is
// then missing until NAME.DMR.new takes its name).
bool keepOldRecording(const DemoPaths& p) {
  std::remove(p.dmrOld.c_str());
  if (gImportLink(p.dmr.c_str(), p.dmrOld.c_str()) == 0) return true;
  return std::rename(p.dmr.c_str(), p.dmrOld.c_str()) == 0;
}

bool holds(const RecordLine& r, const int32_t screenRect[4]) {
  return r.x <= screenRect[0] && screenRect[2] < r.x + r.w && r.y <= screenRect[1] && screenRect[3] < r.y + r.h;
}

// The line of a record rewritten to hold the whole crop: its first five
// fields, the crop's rectangle, then the rest from the comma before its time.
std::string expandedLine(const std::string& line, const int32_t crop[4]) {
  size_t fifth = 0, ninth = 0;
  int commas = 0;
  for (size_t i = 0; i < line.size(); ++i)
    if (line[i] == ',') {
      ++commas;
      if (commas == 5) fifth = i;
      if (commas == 9) ninth = i;
    }
  char rect[64];
  std::snprintf(rect, sizeof rect, "%d,%d,%d,%d", crop[0], crop[1], crop[2], crop[3]);
  return line.substr(0, fifth + 1) + rect + line.substr(ninth);
}

// Copies the recording at from into to record by record, rewriting the
// records at offsets expand[i] (when >= 0) as whole-crop records holding
// pictures[i]; growth[i] gets each one's size difference. Returns early
// (false) once the program is ending.
bool copyExpanding(const std::string& from, const std::string& to, const int64_t expand[2],
                   const std::vector<unsigned char>* pictures[2], const int32_t crop[4], int64_t growth[2]) {
  File in = openFile(from, "rb");
  File out = openFile(to, "wb");
  if (!in || !out) return false;
  fseeko(in.get(), 0, SEEK_END);
  const int64_t size = std::max<int64_t>(1, ftello(in.get()));
  int64_t at = 0;
  std::vector<unsigned char> pixels;
  std::string line;
  RecordLine r;
  while (at < size && readLineAt(in.get(), at, &line, &r)) {
    if (pal_StopRequested()) return false;
    gImportProgress = static_cast<int>(at * 500 / size);
    const int64_t bytes = r.w * r.h * 3;
    const int64_t next = at + static_cast<int64_t>(line.size()) + bytes;
    if (next > size) break;  // a record cut short: copied byte for byte below
    int which = -1;
    for (int i = 0; i < 2; ++i)
      if (expand[i] == at) which = i;
    if (which >= 0) {
      const std::string wide = expandedLine(line, crop);
      const std::vector<unsigned char>& pic = *pictures[which];
      if (std::fwrite(wide.data(), 1, wide.size(), out.get()) != wide.size() ||
          std::fwrite(pic.data(), 1, pic.size(), out.get()) != pic.size())
        return false;
      growth[which] = static_cast<int64_t>(wide.size() + pic.size()) - (next - at);
    } else {
      pixels.resize(static_cast<size_t>(bytes));
      if (std::fread(pixels.data(), 1, pixels.size(), in.get()) != pixels.size()) return false;
      if (std::fwrite(line.data(), 1, line.size(), out.get()) != line.size() ||
          std::fwrite(pixels.data(), 1, pixels.size(), out.get()) != pixels.size())
        return false;
    }
    at = next;
  }
  // Whatever follows the last whole record stays as it was.
  if (fseeko(in.get(), at, SEEK_SET) != 0) return false;
  char block[65536];
  size_t n;
  while ((n = std::fread(block, 1, sizeof block, in.get())) > 0)
    if (std::fwrite(block, 1, n, out.get()) != n) return false;
  return std::ferror(in.get()) == 0 && closeSynced(std::move(out));
}

// Writes the changed pixels (bitmap differs from current) of the change
// rectangle into the record at offset, only where the record holds them.
bool writeChangedPixels(std::FILE* f, int64_t offset, const ImportBitmap& in, const int32_t crop[4]) {
  std::string line;
  RecordLine r;
  if (!readLineAt(f, offset, &line, &r)) return false;
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

// ---- Frames and records -----------------------------------------------------------------

int64_t findFrameRecord(const std::string& path, const std::vector<FrameRec>& frames, int64_t n) {
  File f = openFile(path, "rb");
  if (!f) return -2;
  int64_t at = 0, count = 0;
  for (size_t i = frames.size(); i-- > 0;)
    if (frames[i].frameId <= n) {
      if (frames[i].frameId == n) return frames[i].imageRefB;
      at = frames[i].imageRefB;
      count = frames[i].frameId;
      break;
    }
  RecordLine r;
  while (count < n) {
    const int64_t next = recReadRecord(f.get(), at, &r, nullptr);
    if (next < 0) return -1;
    at = next;
    ++count;
  }
  return recReadRecord(f.get(), at, &r, nullptr) < 0 ? -1 : at;
}

bool decodeRecordPicture(const std::string& path, int64_t offset, const int32_t crop[4],
                         std::vector<unsigned char>* bgr) {
  const std::vector<RecordEntry> records = indexRecording(path.c_str());
  int64_t key = -1;
  bool found = false;
  for (const RecordEntry& e : records) {
    if (e.offset > offset) break;
    if (e.key) key = e.offset;
    if (e.offset == offset) found = true;
  }
  if (!found || key < 0) return false;
  bgr->assign(static_cast<size_t>(crop[2]) * crop[3] * 3, 0);
  return demoRecframeCroppedToMembuff(path.c_str(), key, offset, crop, bgr->data(), 3, 1) >= 0;
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
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size() && closeSynced(std::move(f));
  if (!ok || std::rename(temp.c_str(), path->c_str()) != 0) {
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
  job.name = gCurrDemoName;
  job.folder = demoFolderPath(gCurrDemoName);
  std::copy(gCropSize, gCropSize + 4, job.crop);
  job.frames.assign(gFrameData, gFrameData + gFrameCount);
  return job;
}

namespace {

// Expansion: the record of "From" and the one after the range must hold
// the change rectangle, or changed pixels would spill into later frames.
// Writes the new recording with those records grown and moves the job's
// frames' image offsets after them. nullptr, or what failed; failSeam
// fails the copy as a test asks.
const char* expandRecording(ImportJob& job, const DemoPaths& p, bool failSeam) {
  const ImportBitmap& in = job.in;
  const int32_t* crop = job.crop;
  std::vector<FrameRec>& frames = job.frames;
  const int64_t at[2] = {findFrameRecord(p.dmr, frames, in.from), findFrameRecord(p.dmr, frames, in.to + 1)};
  if (at[0] < 0) return "Unable to expand DMR for Import";
  const int32_t screenRect[4] = {in.rect.left + crop[0], in.rect.top + crop[1], in.rect.right + crop[0],
                                 in.rect.bottom + crop[1]};
  int64_t expand[2] = {-1, -1}, growth[2] = {0, 0};
  std::vector<unsigned char> pics[2];
  {
    File f = openFile(p.dmr, "rb");
    if (!f) return "ImportFail Err EAS034";
    for (int i = 0; i < 2; ++i) {
      RecordLine r;
      if (at[i] < 0 || !readLineAt(f.get(), at[i], nullptr, &r) || holds(r, screenRect)) continue;
      if (!decodeRecordPicture(p.dmr, at[i], crop, &pics[i])) return "Unable to expand DMR for Import";
      expand[i] = at[i];
    }
  }
  const std::vector<unsigned char>* picPtrs[2] = {&pics[0], &pics[1]};
  if (failSeam || !copyExpanding(p.dmr, p.dmrNew, expand, picPtrs, crop, growth))
    return "Unable to expand DMR for Import";
  for (FrameRec& fr : frames)
    for (int64_t* ref : {&fr.imageRefA, &fr.imageRefB}) {
      const int64_t old = *ref;
      for (int i = 0; i < 2; ++i)
        if (expand[i] >= 0 && old > expand[i]) *ref += growth[i];
    }
  return nullptr;
}

// The changed pixels, into every frame of the range of the new recording,
// hidden ones included. nullptr, or what failed ("stopped" when the
// program is ending); failSeam fails it as a test asks.
const char* writeRangePixels(const ImportJob& job, const DemoPaths& p, bool failSeam) {
  const ImportBitmap& in = job.in;
  File f = openFile(p.dmrNew, "r+b");
  if (!f || failSeam) return "ImportFail ErrUA0036";
  for (int64_t n = in.from; n <= in.to; ++n) {
    if (pal_StopRequested()) return "stopped";
    // Below 1000 while it works: the screen waits for the worker's own word that it has finished.
    gImportProgress = in.to == in.from ? 890 : static_cast<int>(500 + 499 * (n - in.from) / (in.to - in.from));
    const int64_t rec = findFrameRecord(p.dmrNew, job.frames, n);
    if (rec < 0 || !writeChangedPixels(f.get(), rec, in, job.crop)) return "ImportFail ErrUA0034";
  }
  if (!closeSynced(std::move(f))) return "ImportFail ErrUA0036";
  return nullptr;
}

}  // namespace

int writeImportedRecording(ImportJob* job) {
  gImportProgress = 0;
  const DemoPaths p = pathsOf(job->folder, job->name);
  // Nothing of the demo's own is touched here: a failure or a stop removes
  // the one file written so far.
  auto fail = [&](const char* text) {
    std::remove(p.dmrNew.c_str());
    const bool stopped = pal_StopRequested();
    job->why = stopped ? "the program was closed" : text;
    return static_cast<int>(stopped ? IMPORT_STOPPED : IMPORT_FAILED);
  };
  auto crashed = [&]() {
    job->why = "interrupted";
    return 0;
  };
  SeamAction act = seam(ImportStep::Expand);
  if (act == SeamAction::Crash) return crashed();
  if (const char* failed = expandRecording(*job, p, act == SeamAction::Fail)) return fail(failed);
  gImportProgress = 500;
  act = seam(ImportStep::WritePixels);
  if (act == SeamAction::Crash) return crashed();
  if (const char* failed = writeRangePixels(*job, p, act == SeamAction::Fail)) return fail(failed);
  if (pal_StopRequested()) return fail("stopped");
  return 1;
}

int commitImport(ImportJob* job) {
  const DemoPaths p = pathsOf(job->folder, job->name);
  const std::vector<FrameRec>& frames = job->frames;
  if (static_cast<int32_t>(frames.size()) != gFrameCount) {
    std::remove(p.dmrNew.c_str());
    job->why = "the demo's frames changed while the import ran";
    return 0;
  }
  // The model takes the moved image offsets for the data file; they stay only when the import completes.
  std::vector<FrameRec> kept(gFrameData, gFrameData + gFrameCount);
  std::copy(frames.begin(), frames.end(), gFrameData);
  auto fail = [&](const char* text) {
    std::copy(kept.begin(), kept.end(), gFrameData);
    std::remove(p.dmrNew.c_str());
    std::remove(p.dmdNew.c_str());
    removeTemporaries(p);
    job->why = text;
    gImportProgress = 1000;
    return 0;
  };
  auto crashed = [&]() {
    std::copy(kept.begin(), kept.end(), gFrameData);
    job->why = "interrupted";
    return 0;
  };
  auto done = [&]() {
    gImportProgress = 1000;
    return 1;
  };

  SeamAction act = seam(ImportStep::WriteData);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || demoDataWrite(p.dmdNew, DMD_VERSION) != 1)
    return fail("Could not write the demo data file");

  // Commit: from the journal on, the import is finished (start-up recovery
  // rolls it forward) unless the journal is turned to "rollback".
  act = seam(ImportStep::Journal);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || !writeJournal(p, "commit")) {
    std::remove(p.journal.c_str());
    return fail("Could not write the import journal");
  }
  // A step after the commit that fails turns the journal to "rollback" and
  // undoes it; when even that word cannot be written, the import is
  // finished instead, or left to the next start to finish.
  auto undo = [&](const char* text) {
    const SeamAction word = seam(ImportStep::RollbackJournal);
    if (word == SeamAction::Crash) return crashed();
    if (word == SeamAction::Fail || !writeJournal(p, "rollback")) {
      if (rollForward(p)) return done();
      std::copy(kept.begin(), kept.end(), gFrameData);
      job->why = std::string(text) + "; the import will be finished when Pictomira next starts";
      return static_cast<int>(IMPORT_AT_NEXT_START);
    }
    if (!rollBack(p)) return crashed();
    std::copy(kept.begin(), kept.end(), gFrameData);
    job->why = text;
    gImportProgress = 1000;
    return 0;
  };
  act = seam(ImportStep::Backup);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || !keepOldRecording(p)) return undo("Could not keep the old recording");
  act = seam(ImportStep::RenameRecording);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || std::rename(p.dmrNew.c_str(), p.dmr.c_str()) != 0)
    return undo("Could not put the new recording in place");
  act = seam(ImportStep::RenameData);
  if (act == SeamAction::Crash) return crashed();
  if (act == SeamAction::Fail || std::rename(p.dmdNew.c_str(), p.dmd.c_str()) != 0)
    return undo("Could not put the new demo data file in place");
  syncFolder(p);
  std::remove(p.dmrOld.c_str());
  std::remove(p.journal.c_str());
  return done();
}

int runImport(const ImportBitmap& in, std::string* why) {
  ImportJob job = importJobOf(in);
  int result = writeImportedRecording(&job);
  if (result == 1) result = commitImport(&job);
  *why = job.why;
  gImportProgress = 1000;
  return result;
}

bool recoverImportIn(const std::string& folder, const std::string& name) {
  const DemoPaths p = pathsOf(folder, name);
  // Exported bitmaps cut short are only ever temporary.
  bool mended = false;
  if (DIR* dir = ::opendir(folder.c_str())) {
    std::vector<std::string> parts;
    while (const dirent* e = ::readdir(dir)) {
      const std::string entry = e->d_name;
      if (entry.size() > 9 && entry.compare(entry.size() - 9, 9, ".bmp.part") == 0) parts.push_back(entry);
    }
    ::closedir(dir);
    for (const std::string& part : parts) mended = std::remove((folder + "/" + part).c_str()) == 0 || mended;
  }
  const bool journal = exists(p.journal);
  bool pieces = journal;
  for (const std::string& piece : {journalTemp(p), p.dmrNew, p.dmdNew, dataTemp(p), p.dmrOld})
    pieces = pieces || exists(piece);
  if (!pieces) return mended;
  if (journal && journalStep(p) == "commit") return rollForward(p) || mended;
  return rollBack(p) || mended;
}

int recoverInterruptedImports() {
  int mended = 0;
  for (const std::string& name : demosFolderEntries())
    if (name[0] != '.' && recoverImportIn(demoFolderPath(name), name)) ++mended;
  return mended;
}
