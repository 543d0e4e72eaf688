// demo_paste.cpp: the paste worker, cutting a frame range into a demo of
// its own (recording rewritten in crop coordinates, decoded in one forward
// pass) and joining two demos through the exchange files.
#include "studio/capture/demo_paste.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/press_objects.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

std::atomic<int> gPasteStatus{0};
std::atomic<int> gPastePercent{0};

namespace {

PasteRequest gRequest;  // handed to the worker before it starts
constexpr const char* kPasting = ".pasting";  // the suffix of the new demo's hidden name while it is built

std::string format(const char* fmt, const std::string& a) {
  char text[800];
  std::snprintf(text, sizeof text, fmt, a.c_str());
  return text;
}

// The paste's loop points: once the program is ending the worker ends here,
// and the folders it made are removed on the way out (see Leftovers).
void stopPoint() {
  if (pal_StopRequested()) pal_EndWorker();
}

int refuse(int status, const char* title, const char* text) {
  pal_Alert(1, title, text);
  gPasteStatus = status;
  return status;
}

// Index of the first frame numbered id, or -1.
int32_t frameIndexOf(int64_t id) {
  for (int32_t i = 0; i < gFrameCount; ++i)
    if (gFrameData[i].frameId == id) return i;
  return -1;
}

void cropFromHeader(int32_t crop[4]) {
  char text[DEMO_TEXT_LEN] = "";
  if (gHeaderCount < 1 || demoGetTextValue(gHeaderData[0], text) != 0) text[0] = '\0';
  for (int i = 0; i < 4; ++i) {
    // A field that is missing or holds no digits counts as -1.
    const char* p = text;
    for (int c = 0; c < i && p != nullptr; ++c) {
      p = std::strchr(p, ',');
      if (p != nullptr) ++p;
    }
    char* end = nullptr;
    const long long v = p == nullptr ? -1 : std::strtoll(p, &end, 10);
    crop[i] = (p == nullptr || end == p) ? -1 : static_cast<int32_t>(v);
  }
}

void loadOrEnd(const std::string& name, const char* title, const char* message) {
  if (demoDataRead(demoFilePath(name, ".DMD")) != 1) pal_FatalAlert(title, message);
}

void setCurrent(const std::string& name) { std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", name.c_str()); }

// Sets header value 0's text to the crop "0,0,width,height".
void setWholeFrameCrop(int32_t width, int32_t height) {
  char text[80];
  std::snprintf(text, sizeof text, "0,0,%d,%d\r\n", width, height);
  if (gHeaderCount < 1) gHeaderCount = 1;
  if (demoUpdateTextValue(gHeaderData[0], text) < 0 || gHeaderData[0] < DEMO_FIRST_TEXT_REC ||
      gTxtRecData[gHeaderData[0]][0] == 0) {
    const int32_t at = demoStoreNewTextValue(text);
    if (at < 0) pal_FatalAlert("Fatal", "Unexpected Err wnd041");
    gHeaderData[0] = at;
  }
  gCropSize[0] = 0;
  gCropSize[1] = 0;
  gCropSize[2] = width;
  gCropSize[3] = height;
}

void writeWindowFile(const std::string& name, int32_t width, int32_t height, const char* failure) {
  std::FILE* f = std::fopen(demoFilePath(name, ".DMW").c_str(), "wb");
  if (f == nullptr) pal_FatalAlert("Exiting...", failure);
  for (int i = 0; i < 9; ++i) std::fprintf(f, "0,0,%d,%d\r\n", width, height);
  if (std::fclose(f) != 0) pal_FatalAlert("Exiting...", failure);
}

// A recording file being written: a buffer over the file's descriptor, and
// byte ranges copied from another file by the kernel without passing
// through this process (most of a rewritten recording is such ranges).
class RecordingOut {
 public:
  explicit RecordingOut(const std::string& path)
      : fd_(pal_FsOpen(path.c_str(), PAL_FS_WRITE | PAL_FS_CREATE | PAL_FS_TRUNCATE, 0666)), buffer_(1 << 22) {
    if (fd_ < 0) pal_FatalAlert("Exiting...", "Unexpected pcgdnh03");
  }
  RecordingOut(const RecordingOut&) = delete;
  RecordingOut& operator=(const RecordingOut&) = delete;
  ~RecordingOut() {
    if (fd_ >= 0) pal_FsClose(fd_);
  }
  void put(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    if (used_ + n > buffer_.size()) {
      flush();
      if (n >= buffer_.size()) return writeAll(p, n);
    }
    std::memcpy(buffer_.data() + used_, p, n);
    used_ += n;
  }
  // n bytes of the file open as in, from offset.
  void copyFrom(int in, int64_t offset, size_t n) {
    flush();
    int64_t from = offset;
    while (n > 0) {
      const int64_t done = pal_FsCopyRange(in, &from, fd_, n);
      if (done <= 0) break;  // not supported between these files, or an error: copied by hand below
      n -= static_cast<size_t>(done);
    }
    std::vector<char> part(std::min<size_t>(n, 1 << 20));
    while (n > 0) {
      const int64_t got = pal_FsReadAt(in, part.data(), std::min(n, part.size()), from);
      if (got <= 0) pal_FatalAlert("Exiting...", "Unexpected pcgdnh04");
      writeAll(part.data(), static_cast<size_t>(got));
      from += got;
      n -= static_cast<size_t>(got);
    }
  }
  void close() {
    flush();
    const bool ok = pal_FsClose(fd_) == 0;
    fd_ = -1;
    if (!ok) pal_FatalAlert("Exiting...", "Unexpected pcgdnh05");
  }

 private:
  void flush() {
    writeAll(buffer_.data(), used_);
    used_ = 0;
  }
  void writeAll(const char* p, size_t n) {
    while (n > 0) {
      const int64_t done = pal_FsWrite(fd_, p, n);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) pal_FatalAlert("Exiting...", "Unexpected pcgdnh05");
      p += done;
      n -= static_cast<size_t>(done);
    }
  }
  int fd_;
  std::vector<char> buffer_;
  size_t used_ = 0;
};

// Rewrites the kept frames of a recording in crop coordinates, one record
// per frame (see rewriteRecording). It reads the source forward once; the
// recorded screen is brought up to date only when a frame's pixels have to
// come from it: records are applied to it lazily, from the last key record on.
class RecordingRewriter {
 public:
  RecordingRewriter(const std::string& source, RecordingOut& out, const int32_t crop[4])
      : in_(std::fopen(source.c_str(), "rb"), std::fclose), out_(out),
        cl_(crop[0]), ct_(crop[1]), cw_(crop[2]), ch_(crop[3]) {
    if (in_ == nullptr) pal_FatalAlert("Exiting...", "Unexpected pcgdnh02");
    inFd_ = pal_FsDescriptorOf(in_.get());
  }

  // Frame f: its records read, its changed rectangle worked out, its one
  // record written and fr pointed at it.
  void rewriteFrame(int32_t f, FrameRec& fr) {
    const int applied = readFrameRecords(fr);
    writeFrame(fr, applied, changedRect(f == 0));
    bx0_ = by0_ = bx1_ = by1_ = 0;
    whole_ = false;
  }

  int64_t written() const { return written_; }

 private:
  struct Pending {
    RecordLine r;
    int64_t pixels;  // offset of its pixel bytes
  };
  // A rectangle in crop coordinates, right and bottom exclusive; key when
  // it is the whole crop written as a key record.
  struct Rect {
    int64_t x0, y0, x1, y1;
    bool key;
  };

  // Applies the records from where the last frame ended (when this frame's
  // key record has already been applied on the way: every key record
  // replaces the whole screen) or from this frame's key record, up to its
  // own record; grows the changed box. Returns how many were read.
  int readFrameRecords(const FrameRec& fr) {
    if (next_ < 0 || next_ <= fr.imageRefA || next_ > fr.imageRefB || runStart_ > fr.imageRefA) {
      next_ = fr.imageRefA;
      runStart_ = fr.imageRefA;
    }
    bool haveOwn = false;
    int applied = 0;
    RecordLine r{};
    while (next_ <= fr.imageRefB) {
      stopPoint();
      ++applied;
      const int64_t at = next_;
      next_ = recReadRecord(in_.get(), at, &r, nullptr);
      if (next_ < 0) pal_FatalAlert("Exiting...", "Unexpected pcgdnh04");
      if (r.W != W_ || r.H != H_) startScreen(r);
      const bool key = r.x == 0 && r.y == 0 && r.w == W_ && r.h == H_;
      if (key) {
        pending_.clear();
        whole_ = true;
      } else if (r.w > 0 && r.h > 0) {
        grow(r.x, r.y, r.x + r.w, r.y + r.h);
      }
      pending_.push_back({r, next_ - r.w * r.h * 3});
      if (at == fr.imageRefB) {
        own_ = pending_.back();
        haveOwn = true;
      }
    }
    if (!haveOwn) pal_FatalAlert("Exiting...", "Unexpected pcgdnh04");
    return applied;
  }

  // A record of a new screen size must be a whole screen that holds the crop.
  void startScreen(const RecordLine& r) {
    if (r.x != 0 || r.y != 0 || r.w != r.W || r.h != r.H) pal_FatalAlert("Exiting...", "Unexpected pcgdnh04");
    W_ = r.W, H_ = r.H;
    screen_.assign(static_cast<size_t>(W_ * H_ * 3), 0);
    if (cl_ < 0 || ct_ < 0 || cw_ < 1 || ch_ < 1 || cl_ + cw_ > W_ || ct_ + ch_ > H_)
      pal_FatalAlert("Exiting...", "Unexpected pcgdnh04");
  }

  void grow(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    if (bx1_ <= bx0_ || by1_ <= by0_) {
      bx0_ = x0, by0_ = y0, bx1_ = x1, by1_ = y1;
    } else {
      bx0_ = std::min(bx0_, x0), by0_ = std::min(by0_, y0), bx1_ = std::max(bx1_, x1), by1_ = std::max(by1_, y1);
    }
  }

  // The changed box in crop coordinates: the whole crop for the first frame,
  // after a key record or when the box covers it; one unchanged pixel when
  // nothing in the crop changed.
  Rect changedRect(bool first) const {
    Rect c{std::max(bx0_, cl_) - cl_, std::max(by0_, ct_) - ct_, std::min(bx1_, cl_ + cw_) - cl_,
           std::min(by1_, ct_ + ch_) - ct_, false};
    c.key = whole_ || first || (c.x0 == 0 && c.y0 == 0 && c.x1 == cw_ && c.y1 == ch_);
    if (c.key) {
      c.x0 = 0, c.y0 = 0, c.x1 = cw_, c.y1 = ch_;
    } else if (c.x1 <= c.x0 || c.y1 <= c.y0) {
      c.x0 = 0, c.y0 = 0, c.x1 = 1, c.y1 = 1;
    }
    return c;
  }

  // The record's line and its pixels. When the rectangle is a run of whole
  // rows of the one record applied for the frame, its bytes are copied from
  // the source as they stand; otherwise they come from the recorded screen.
  void writeFrame(FrameRec& fr, int applied, const Rect& c) {
    const RecordLine& o = own_.r;
    char line[300];
    const int n = std::snprintf(line, sizeof line, "0,%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld\r\n",
                                static_cast<long long>(o.mouseX - cl_), static_cast<long long>(o.mouseY - ct_),
                                static_cast<long long>(cw_), static_cast<long long>(ch_), static_cast<long long>(c.x0),
                                static_cast<long long>(c.y0), static_cast<long long>(c.x1 - c.x0),
                                static_cast<long long>(c.y1 - c.y0), static_cast<long long>(o.time),
                                static_cast<long long>(o.click));
    out_.put(line, static_cast<size_t>(n));
    const size_t rowBytes = static_cast<size_t>((c.x1 - c.x0) * 3);
    if (applied == 1 && o.x == cl_ + c.x0 && o.w == c.x1 - c.x0 && o.y <= ct_ + c.y0 && ct_ + c.y1 <= o.y + o.h) {
      out_.copyFrom(inFd_, own_.pixels + (ct_ + c.y0 - o.y) * o.w * 3, rowBytes * static_cast<size_t>(c.y1 - c.y0));
    } else {
      bringScreenUpToDate();
      for (int64_t y = c.y0; y < c.y1; ++y)
        out_.put(&screen_[static_cast<size_t>(((ct_ + y) * W_ + cl_ + c.x0) * 3)], rowBytes);
    }
    if (c.key) lastKey_ = written_;
    fr.imageRefA = lastKey_;
    fr.imageRefB = written_;
    written_ += n + static_cast<int64_t>(rowBytes) * (c.y1 - c.y0);
  }

  void bringScreenUpToDate() {
    for (const Pending& p : pending_) {
      const RecordLine& q = p.r;
      pixels_.resize(static_cast<size_t>(q.w * q.h * 3));
      size_t got = 0;
      while (got < pixels_.size()) {
        const int64_t n =
            pal_FsReadAt(inFd_, pixels_.data() + got, pixels_.size() - got, p.pixels + static_cast<int64_t>(got));
        if (n <= 0) pal_FatalAlert("Exiting...", "Unexpected pcgdnh04");
        got += static_cast<size_t>(n);
      }
      for (int64_t row = 0; row < q.h; ++row)
        std::memcpy(&screen_[static_cast<size_t>(((q.y + row) * q.W + q.x) * 3)],
                    &pixels_[static_cast<size_t>(row * q.w * 3)], static_cast<size_t>(q.w * 3));
    }
    pending_.clear();
  }

  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in_;
  int inFd_ = -1;
  RecordingOut& out_;
  const int64_t cl_, ct_, cw_, ch_;
  std::vector<Pending> pending_;  // applied to the screen only when its pixels are needed
  Pending own_{};                 // the frame's own record
  std::vector<unsigned char> screen_, pixels_;
  int64_t W_ = 0, H_ = 0;
  int64_t next_ = -1;      // offset of the next record to apply; -1 nothing applied yet
  int64_t runStart_ = -1;  // offset of the key record this forward run started at
  // Bounding box (screen pixels) of what changed since the last written frame.
  int64_t bx0_ = 0, by0_ = 0, bx1_ = 0, by1_ = 0;
  bool whole_ = true;
  int64_t written_ = 0, lastKey_ = 0;
};

// Writes the kept frames' records (gFrameData[0..gFrameCount-1], offsets
// into source) to out in crop coordinates, one record per frame, and points
// each frame at its new records, counted from where out stood; returns the
// bytes written. The bounding box of every record applied since the last
// written frame tells the rectangle to write; a frame whose box covers the
// crop is written as a whole frame (a key record), so key records stay as
// frequent as in the source and a frame never needs more records to
// rebuild than there.
int64_t rewriteRecording(const std::string& source, RecordingOut& out, const int32_t crop[4]) {
  RecordingRewriter rewriter(source, out, crop);
  for (int32_t f = 0; f < gFrameCount; ++f) {
    rewriter.rewriteFrame(f, gFrameData[f]);
    gFrameData[f].frameId = f;
    gPastePercent = static_cast<int>((f + 1) * 100LL / gFrameCount);
  }
  return rewriter.written();
}

void deleteDemoFolder(const std::string& name) {
  const std::string folder = demoFolderPath(name);
  if (pal_FsStatLink(folder.c_str(), nullptr)) pal_DeleteDirectory(folder.c_str(), 2);
}

// The new demo's press side file: the lines of first's, then second's (once
// when they are one demo), of those that have one; none when neither has.
// The file is optional: one that cannot be read is left out, and one that
// cannot be written leaves the new demo without it rather than failing.
void joinPressFiles(const std::string& first, const std::string& second, const std::string& newDemo) {
  std::string text;
  bool any = false;
  std::vector<std::string> sources{first};
  if (second != first) sources.push_back(second);
  for (const std::string& name : sources) {
    const std::string path = demoFilePath(name, ".DMA");
    std::vector<PressObject> presses;
    if (!pal_FsStatLink(path.c_str(), nullptr) || !readPressFile(path, &presses)) continue;
    any = true;
    for (const PressObject& p : presses) text += pressLine(p);
  }
  if (!any) return;
  const std::string path = demoFilePath(newDemo, ".DMA");
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !ok) std::remove(path.c_str());
}

}  // namespace

std::string pasteTemporaryName(long seconds, int i) { return "tmp_" + std::to_string(seconds + i) + "_tmp?"; }

bool isPasteTemporaryName(const std::string& name) {
  if (name.size() < 10 || name.compare(0, 4, "tmp_") != 0 || name.compare(name.size() - 5, 5, "_tmp?") != 0) return false;
  for (size_t i = 4; i < name.size() - 5; ++i)
    if (name[i] < '0' || name[i] > '9') return false;
  return true;
}

int removeInterruptedPastes() {
  std::vector<std::string> found;
  for (const std::string& name : demosFolderEntries())
    if (isPasteTemporaryName(name) || !demoInsideWorkName(name, kPasting).empty()) found.push_back(name);
  for (const std::string& name : found) deleteDemoFolder(name);
  return static_cast<int>(found.size()) + removeInterruptedCopies();
}

bool readDemoCrop(const std::string& name, int32_t crop[4]) {
  std::fill(crop, crop + 4, -1);
  if (demoDataRead(demoFilePath(name, ".DMD")) != 1) return false;
  cropFromHeader(crop);
  return true;
}

namespace {

// Whether instruction in survives cutting the model down to frames i0..i1.
bool instrKept(const InstrRec& in, int32_t i0, int32_t i1) {
  return in.frame >= i0 && in.frame <= i1 && (in.target < 0 || (in.target >= i0 && in.target <= i1));
}

// The text records that cutting the model down to frames i0..i1 frees: the
// names and notes of the dropped frames, except those a kept frame (a
// hover pair's note) or a header value still uses.
std::vector<bool> textsFreedByCut(int32_t i0, int32_t i1) {
  std::vector<bool> keep(DEMO_TEXT_RECS, false), freed(DEMO_TEXT_RECS, false);
  const auto mark = [&](int64_t t) {
    if (t >= 0 && t < DEMO_TEXT_RECS) keep[static_cast<size_t>(t)] = true;
  };
  for (int32_t i = i0; i <= i1; ++i) mark(gFrameData[i].nameText), mark(gFrameData[i].noteText);
  for (int32_t i = 0; i < gHeaderCount; ++i) mark(gHeaderData[i]);
  for (int32_t i = 0; i < gFrameCount; ++i) {
    if (i >= i0 && i <= i1) continue;
    for (const int64_t t : {gFrameData[i].nameText, gFrameData[i].noteText})
      if (t > 8 && t < DEMO_TEXT_RECS && !keep[static_cast<size_t>(t)]) freed[static_cast<size_t>(t)] = true;
  }
  return freed;
}

bool hasText(int64_t index) {
  char text[DEMO_TEXT_LEN];
  return index >= DEMO_FIRST_TEXT_REC && index < DEMO_TEXT_RECS &&
         demoGetTextValue(static_cast<int32_t>(index), text) == 0 && text[0] != '\0';
}

// What frames i0..i1 of the loaded demo bring into the joined demo. The
// first piece brings its text records as they stand, less those the cut
// frees; a later piece one record for each name and note that is not empty.
struct PieceSize {
  int64_t frames = 0, instrs = 0, texts = 0;
};
PieceSize pieceSize(int32_t i0, int32_t i1, bool first) {
  PieceSize size;
  size.frames = i1 - i0 + 1;
  for (int32_t i = 0; i < gInstrCount; ++i) size.instrs += instrKept(gInstrData[i], i0, i1) ? 1 : 0;
  if (first) {
    const std::vector<bool> freed = textsFreedByCut(i0, i1);
    for (int32_t t = DEMO_FIRST_TEXT_REC; t <= DEMO_LAST_NEW_TEXT_REC; ++t)
      size.texts += gTxtRecData[t][0] != 0 && !freed[static_cast<size_t>(t)] ? 1 : 0;
  } else {
    for (int32_t i = i0; i <= i1; ++i)
      size.texts += (hasText(gFrameData[i].nameText) ? 1 : 0) + (hasText(gFrameData[i].noteText) ? 1 : 0);
  }
  return size;
}

// Cuts the loaded model down to the frames numbered first..last (frameId)
// using gCropSize: instructions outside the range are dropped, the others
// renumbered and moved by minus the crop's corner; texts of dropped frames
// that no kept frame uses are freed; kept frames move to the table start.
// 1, or -1 (model unchanged) when either number is not a frame's.
int keepFrameRange(int64_t first, int64_t last) {
  const int32_t i0 = frameIndexOf(first);
  const int32_t i1 = frameIndexOf(last);
  if (i0 < 0 || i1 < i0) return -1;
  const int32_t dx = gCropSize[0], dy = gCropSize[1];
  int32_t kept = 0;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    InstrRec in = gInstrData[i];
    if (!instrKept(in, i0, i1)) continue;
    in.frame -= i0;
    if (in.target >= 0) in.target -= i0;
    if (in.type != INSTR_TIMER && in.type != INSTR_KEY)
      for (int k = 0; k < 4; ++k) in.v[k] = std::max(0, in.v[k] - (k % 2 == 0 ? dx : dy));
    gInstrData[kept++] = in;
  }
  gInstrCount = kept;
  const std::vector<bool> freed = textsFreedByCut(i0, i1);
  for (int32_t t = DEMO_FIRST_TEXT_REC; t < DEMO_TEXT_RECS; ++t)
    if (freed[static_cast<size_t>(t)]) demoDeleteTextValue(t);
  // The home frame (header value 2) is a frame number: it stays with its
  // frame when that is kept; otherwise the first kept frame is home.
  if (gHeaderCount > 2) {
    const int32_t home = frameIndexOf(gHeaderData[2]);
    if (home < i0 || home > i1) gHeaderData[2] = static_cast<int32_t>(gFrameData[i0].frameId);
  }
  for (int32_t i = i0; i <= i1; ++i) {
    FrameRec fr = gFrameData[i];
    if (fr.noteX != DEMO_NO_POSITION) fr.noteX -= dx;
    if (fr.noteY != DEMO_NO_POSITION) fr.noteY -= dy;
    gFrameData[i - i0] = fr;
  }
  gFrameCount = i1 - i0 + 1;
  return 1;
}

// Makes newDemo a demo of demo's frames first..last whose crop is its whole
// frame, with frame numbers 0 and up, its recording written to out; returns
// the records (one per frame) and bytes it wrote there. Every failure is fatal.
void extractPiece(const std::string& demo, const std::string& newDemo, int64_t first, int64_t last, RecordingOut& out,
                  int64_t* records, int64_t* bytes) {
  setCurrent(demo);
  loadOrEnd(demo, "Fatal", "Unexpected Err dpc002");
  int32_t crop[4];
  cropFromHeader(crop);
  std::copy(crop, crop + 4, gCropSize);
  if (pal_FindOrCreateDirectory(demoFolderPath(newDemo).c_str()) < 0) pal_FatalAlert("Exiting...", "Unexpected sfpzz031");
  if (keepFrameRange(first, last) != 1) {
    char text[200];
    std::snprintf(text, sizeof text, "Frame numbers %lld and/or %lld are not visible (Err SPCR002)",
                  static_cast<long long>(first), static_cast<long long>(last));
    pal_FatalAlert("Fatal", text);
  }
  writeWindowFile(newDemo, crop[2], crop[3], "Unexpected wnw016");
  // The frames are numbered afresh from 0: the home frame's number follows.
  const int32_t home = gHeaderCount > 2 ? frameIndexOf(gHeaderData[2]) : -1;
  *bytes = rewriteRecording(demoFilePath(demo, ".DMR"), out, crop);
  *records = gFrameCount;
  if (home >= 0) gHeaderData[2] = home;
  setWholeFrameCrop(crop[2], crop[3]);
  setCurrent(newDemo);
  if (demoDataWrite(demoFilePath(newDemo, ".DMD"), DMD_VERSION) != 1) pal_FatalAlert("Fatal", "Unexpected Err wnd042");
}

// Joins the data files of two demos whose crops start at 0, 0 and are of
// one size into newDemo's (first's frames, then second's), given the records
// and bytes of first's recording; the caller sees to newDemo's recording. The joined demo keeps
// first's home frame, or takes the number home when that is not negative.
void combineDemoData(const std::string& first, const std::string& second, const std::string& newDemo, int64_t records,
                     int64_t bytes, int64_t home = -1) {
  int32_t a[4], b[4];
  loadOrEnd(first, "Fatal", "Unexpected Err cds004a");
  cropFromHeader(a);
  if (a[0] != 0 || a[1] != 0) pal_FatalAlert("Fatal", "Unexpected Err cds004a");
  const int32_t firstFrames = gFrameCount;
  loadOrEnd(second, "Fatal", "Unexpected Err cds004b");
  cropFromHeader(b);
  if (b[0] != 0 || b[1] != 0 || b[2] != a[2] || b[3] != a[3]) pal_FatalAlert("Fatal", "Unexpected Err cds004b");
  if (writeExchangeFiles(second, records, bytes, firstFrames) != 1) pal_FatalAlert("Fatal", "Unexpected Err cds032");
  loadOrEnd(first, "Fatal", "Unexpected Err cds005");
  if (readExchangeFiles(second) != 1) pal_FatalAlert("Fatal", "Unexpected Err cds006");
  if (home >= 0 && gHeaderCount > 2) gHeaderData[2] = static_cast<int32_t>(home);
  writeCombinedDemoData(newDemo, a[2], a[3]);
}

}  // namespace

int pasteCheck(const PasteRequest& q) {
  char text[300];
  gPasteStatus = 0;
  gPastePercent = 0;
  if (demoDataRead(demoFilePath(q.into, ".DMD")) != 1 || gFrameCount < 1)
    return refuse(PASTE_UNREADABLE, "Paste", format("'%s' cannot be read.", q.into).c_str());
  const int64_t r0 = gFrameData[0].frameId, r1 = gFrameData[gFrameCount - 1].frameId;
  if (frameIndexOf(q.followFrame) < 0) {
    std::snprintf(text, sizeof text, "unknown: %lld", static_cast<long long>(q.followFrame));
    return refuse(PASTE_UNKNOWN_FOLLOW, "Unknown", text);
  }
  if (demoDataRead(demoFilePath(q.from, ".DMD")) != 1 || gFrameCount < 1)
    return refuse(PASTE_UNREADABLE, "Paste", format("'%s' cannot be read.", q.from).c_str());
  const int64_t g0 = gFrameData[0].frameId, g1 = gFrameData[gFrameCount - 1].frameId;
  const auto bad = [&](int status, const char* fmt, int64_t lo, int64_t hi) {
    std::snprintf(text, sizeof text, fmt, static_cast<int>(lo), static_cast<int>(hi));
    return refuse(status, "bad Frame#", text);
  };
  if (q.followFrame < r0 || q.followFrame > r1)
    return bad(PASTE_BAD_FOLLOW, "following Frame# must be between %d and %d, inclusive", r0, r1);
  if (q.fromFrame < g0 || q.fromFrame > g1)
    return bad(PASTE_BAD_FROM, "from Frame# must be between %d and %d, inclusive", g0, g1);
  if (q.toFrame < g0 || q.toFrame > g1) return bad(PASTE_BAD_TO, "to Frame# must be between %d and %d, inclusive", g0, g1);
  if (q.toFrame < q.fromFrame)
    return refuse(PASTE_TO_BEFORE_FROM, "bad Frame#", "to Frame# must be equal to or greater than from Frame#");
  const int32_t ia = frameIndexOf(q.fromFrame), ib = frameIndexOf(q.toFrame);
  if (ia < 0 || ib < ia) {
    std::snprintf(text, sizeof text, "Frame numbers %lld and/or %lld are not visible (Err SPCR002)",
                  static_cast<long long>(q.fromFrame), static_cast<long long>(q.toFrame));
    return refuse(PASTE_MISSING_FRAME, "bad Frame#", text);
  }
  // The new demo must fit the tables, or the joins would fail half-way.
  const PieceSize given = pieceSize(ia, ib, false);
  if (demoDataRead(demoFilePath(q.into, ".DMD")) != 1)
    return refuse(PASTE_UNREADABLE, "Paste", format("'%s' cannot be read.", q.into).c_str());
  const int32_t fi = frameIndexOf(q.followFrame);
  PieceSize total = pieceSize(0, fi, true);
  if (fi + 1 < gFrameCount) {
    const int32_t j0 = frameIndexOf(gFrameData[fi + 1].frameId), j1 = frameIndexOf(r1);
    if (j1 < j0) {
      std::snprintf(text, sizeof text, "The frames after Frame %lld of '%s' cannot be told apart by their numbers.",
                    static_cast<long long>(q.followFrame), q.into.c_str());
      return refuse(PASTE_MISSING_FRAME, "bad Frame#", text);
    }
    const PieceSize rest = pieceSize(j0, j1, false);
    total.frames += rest.frames, total.instrs += rest.instrs, total.texts += rest.texts;
  }
  total.frames += given.frames, total.instrs += given.instrs, total.texts += given.texts;
  const struct {
    int64_t need, cap;
    const char* what;
  } tables[] = {{total.frames, DEMO_FRAME_CAP, "frames"},
                {total.instrs, DEMO_INSTR_CAP, "instructions"},
                {total.texts, DEMO_LAST_NEW_TEXT_REC - DEMO_FIRST_TEXT_REC + 1, "texts (frame names, speaker notes)"}};
  for (const auto& t : tables) {
    if (t.need <= t.cap) continue;
    std::snprintf(text, sizeof text,
                  "The new demo would hold %lld %s, but a demo holds at most %lld. Nothing was pasted.",
                  static_cast<long long>(t.need), t.what, static_cast<long long>(t.cap));
    return refuse(PASTE_TOO_BIG, "Demo Too Big", text);
  }
  const int code = demoNameCode(q.newName.c_str());
  if (code != 1) return refuse(PASTE_BAD_NAME, "Bad Demo Name", demoNameMessage(code));
  const std::string folder = demoFolderPath(q.newName);
  if (pal_FindOrCreateDirectory(folder.c_str()) != 1)
    return refuse(PASTE_NAME_USED, "bad name", format("cannot create '%s'", q.newName).c_str());
  pal_FsRemoveFolder(folder.c_str());
  return 1;
}

namespace {

// The folders a paste works in, removed when it ends however it ends (a
// stop request unwinds through here too).
class Leftovers {
 public:
  void add(const std::string& name) { names_.push_back(name); }
  void remove() {
    for (const std::string& name : names_) deleteDemoFolder(name);
    names_.clear();
  }
  ~Leftovers() { remove(); }

 private:
  std::vector<std::string> names_;
};

}  // namespace

void pasteBuild(const PasteRequest& q) {
  gPasteStatus = 1;
  gPastePercent = 0;
  Leftovers leftovers;
  const long t = static_cast<long>(std::time(nullptr));
  std::string tmp[4];
  for (int i = 0; i < 4; ++i) {
    tmp[i] = pasteTemporaryName(t, i);
    deleteDemoFolder(tmp[i]);
    leftovers.add(tmp[i]);
  }
  // The new demo is built under a hidden name and takes its own only once complete.
  const std::string built = hiddenWorkName(q.newName, kPasting);
  deleteDemoFolder(built);
  leftovers.add(built);
  // The receiving demo's frame numbers around F, and where its home frame goes.
  if (demoDataRead(demoFilePath(q.into, ".DMD")) != 1) pal_FatalAlert("Fatal", "Unexpected Err dpc002");
  const int32_t fi = frameIndexOf(q.followFrame);
  const int64_t r0 = gFrameData[0].frameId, r1 = gFrameData[gFrameCount - 1].frameId;
  const bool rest = fi >= 0 && fi + 1 < gFrameCount;
  const int64_t after = rest ? gFrameData[fi + 1].frameId : 0;
  const int32_t home = gHeaderCount > 2 ? frameIndexOf(gHeaderData[2]) : -1;
  const int32_t restFirst = rest ? frameIndexOf(after) : 0, restLast = rest ? frameIndexOf(r1) : -1;
  // The pieces' recordings are written one after another into one file,
  // which is the new demo's recording; each piece's data file counts from
  // where its recording starts, as the joins expect.
  if (pal_FindOrCreateDirectory(demoFolderPath(built).c_str()) != 1)
    pal_FatalAlert("Exiting...", "Unexpected sfpzz031");
  RecordingOut out(demoFilePath(built, ".DMR"));
  int64_t records[3] = {}, bytes[3] = {};
  gPasteStatus = 2;
  gPastePercent = 0;
  extractPiece(q.into, tmp[0], r0, q.followFrame, out, &records[0], &bytes[0]);
  stopPoint();
  gPasteStatus = 3;
  gPastePercent = 0;
  extractPiece(q.from, tmp[1], q.fromFrame, q.toFrame, out, &records[1], &bytes[1]);
  stopPoint();
  if (rest) {
    gPasteStatus = 4;
    gPastePercent = 0;
    extractPiece(q.into, tmp[2], after, r1, out, &records[2], &bytes[2]);
    stopPoint();
  }
  out.close();
  gPasteStatus = 5;
  gPastePercent = 0;
  // Frames keep their order and are numbered from 0, so the home frame's
  // new number is its place among them.
  int64_t newHome = 0;
  if (home >= 0 && home <= fi) newHome = home;
  else if (rest && home >= restFirst && home <= restLast) newHome = records[0] + records[1] + (home - restFirst);
  if (rest) {
    combineDemoData(tmp[0], tmp[1], tmp[3], records[0], bytes[0]);
    stopPoint();
    gPastePercent = 50;
    combineDemoData(tmp[3], tmp[2], built, records[0] + records[1], bytes[0] + bytes[1], newHome);
  } else {
    combineDemoData(tmp[0], tmp[1], built, records[0], bytes[0], newHome);
  }
  joinPressFiles(q.into, q.from, built);
  stopPoint();
  if (moveBuiltDemoIntoPlace(built, q.newName) != 1) pal_FatalAlert("Exiting...", "Unexpected wcd003");
  setCurrent(q.newName);
  leftovers.remove();
  gPastePercent = 100;
  gPasteStatus = PASTE_DONE;
}

int pasteRun(const PasteRequest& q) {
  if (pasteCheck(q) != 1) return gPasteStatus;
  pasteBuild(q);
  return gPasteStatus;
}

void pasteWorker() { pasteRun(gRequest); }

void startPasteWorker(const PasteRequest& request) {
  gPasteStatus = 0;
  gPastePercent = 0;
  gRequest = request;
  pal_BeginThread(pasteWorker);
}
