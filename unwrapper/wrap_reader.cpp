// wrap_reader.cpp: finding the payload in the unwrapper's own program file,
// reading its values and name, and writing its pieces out, copied or
// expanded. Each operation opens and closes the program file itself.
// Every count and offset from the file is checked before it is used:
// pieces must end before the end mark, the expansion's width, masks and
// reference rows must stay inside the rows already written, and a read
// that comes back short is a fault, never a silent end. Faults are turned
// into alerts only after the files are closed and the unfinished outputs
// removed, because ending the program does not unwind.
#include "unwrapper/wrap_reader.h"

#include "pal/pal.h"
#include "unwrapper/wrap_io.h"

#ifdef _WIN32
// Only for opening, the program's own path and the rename over a file (end of file).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max, not the header's macros
#endif
#include <windows.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

const char* gWrapSource = wrapOwnProgramFile();
int64_t gWrapStart = 0;
std::atomic<int> gCurrProgress{0};

namespace {

constexpr char kMagic[WRAP_MAGIC_LEN + 1] = "PMwrap_v01";
constexpr size_t kScanChunk = 65536;
constexpr int kTempTries = 100;

// The title and text of a fault's alert; a null title means success.
struct Alert {
  const char* title;
  const char* text;
};
constexpr Alert kDone{nullptr, nullptr};
constexpr Alert kBadFormat{"Bad File Format", "Unwrap Error 006"};
constexpr Alert kWriteFailed{"Unwrap Fail", "Unwrap Error 018"};

// A file descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes the descriptor; false when closing reported a failed write.
  bool reset() {
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

int openSource() { return wrapOpen(gWrapSource, O_RDONLY | O_CLOEXEC, 0); }

// Reads up to n bytes at the file position; the count read (short only at
// the end of the file), or -1 on an error.
int64_t readFully(int fd, unsigned char* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd, buf + done, static_cast<size_t>(n - done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += got;
  }
  return done;
}

// Reads exactly n bytes at offset; false when the file holds fewer.
bool readAt(int fd, int64_t offset, unsigned char* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    const int64_t got = wrapReadAt(fd, buf + done, static_cast<size_t>(n - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += got;
  }
  return true;
}

bool writeFully(int fd, const unsigned char* buf, int64_t n) {
  int64_t done = 0;
  while (done < n) {
    const ssize_t put = ::write(fd, buf + done, static_cast<size_t>(n - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += put;
  }
  return true;
}

int64_t fileSize(int fd) {
  int64_t size = 0;
  bool regular = false;
  return wrapFileInfo(fd, &size, &regular) ? size : -1;
}

// The offset after the first complete marker, or -1 when there is none.
int64_t scanForStart(int fd) {
  // The marker's bytes are all different, so counting matches and starting
  // again at a 0 finds exactly its first occurrence: a substring search
  // finds the same, much faster. Chunks overlap by the marker's length less one.
  unsigned char marker[WRAP_MARKER_LEN];
  for (int i = 0; i < WRAP_MARKER_LEN; ++i) marker[i] = static_cast<unsigned char>(i);
  std::vector<unsigned char> buf(kScanChunk);
  int64_t kept = 0;  // bytes carried over from the chunk before
  for (int64_t at = 0;;) {
    const int64_t got = wrapReadAt(fd, buf.data() + kept, buf.size() - static_cast<size_t>(kept), at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return -1;
    const size_t held = static_cast<size_t>(kept + got);
    const void* hit = wrapFindBytes(buf.data(), held, marker, sizeof marker);
    if (hit != nullptr)
      return at - kept + (static_cast<const unsigned char*>(hit) - buf.data()) + WRAP_MARKER_LEN;
    at += got;
    kept = std::min<int64_t>(WRAP_MARKER_LEN - 1, static_cast<int64_t>(held));
    std::memmove(buf.data(), buf.data() + held - static_cast<size_t>(kept), static_cast<size_t>(kept));
  }
}

bool magicAt(int fd, int64_t start) {
  unsigned char magic[WRAP_MAGIC_LEN];
  return readAt(fd, start, magic, WRAP_MAGIC_LEN) && std::memcmp(magic, kMagic, WRAP_MAGIC_LEN) == 0;
}

// Value n of the table at start, or -1 when the file ends first.
int64_t valueAt(int fd, int64_t start, int n) {
  unsigned char b[4];
  if (!readAt(fd, start + WRAP_TABLE_AT + 4 * int64_t{n}, b, 4)) return -1;
  return int64_t{b[0]} << 24 | int64_t{b[1]} << 16 | int64_t{b[2]} << 8 | b[3];
}

// The end mark: the last 255 among the file's last 99 bytes, at or after
// piece 0's place; -1 when there is none.
int64_t endMarkAt(int fd, int64_t start) {
  const int64_t size = fileSize(fd);
  const int64_t first = std::max(size - (WRAP_NAME_MAX + 1), start + WRAP_PIECES_AT);
  if (size < 0 || first >= size) return -1;
  unsigned char tail[WRAP_NAME_MAX + 1];
  if (!readAt(fd, first, tail, size - first)) return -1;
  for (int64_t at = size - 1; at >= first; --at)
    if (tail[at - first] == WRAP_END_MARK) return at;
  return -1;
}

// A name may only name a file in the output folder.
bool nameIsSafe(const char* name) {
  if (name[0] == '\0' || std::strcmp(name, ".") == 0 || std::strstr(name, "..") != nullptr) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p)
    if (*p < 32 || *p == 127 || *p == '/' || *p == '\\') return false;
  return true;
}

// Reads the name after the end mark into buffer (at least WRAP_NAME_BUF
// bytes); false when there is no end mark or the name holds a NUL.
bool readName(int fd, int64_t start, char* buffer) {
  buffer[0] = '\0';
  const int64_t mark = endMarkAt(fd, start);
  if (mark < 0) return false;
  const int64_t length = fileSize(fd) - mark - 1;
  if (!readAt(fd, mark + 1, reinterpret_cast<unsigned char*>(buffer), length)) return false;
  buffer[length] = '\0';
  // A NUL inside the name would hide what follows it: refused as a control character.
  return static_cast<int64_t>(std::strlen(buffer)) == length;
}

// Reads a piece from the file position in blocks, never past its size.
class PieceReader {
 public:
  PieceReader(int fd, int64_t size) : fd_(fd), left_(size), buf_(kScanChunk) {}
  // Takes n bytes; false when the piece or the file ends first.
  bool take(unsigned char* dst, int64_t n) {
    while (n > 0) {
      if (pos_ == len_ && !refill()) return false;
      const int64_t k = std::min(n, len_ - pos_);
      std::memcpy(dst, buf_.data() + pos_, static_cast<size_t>(k));
      dst += k;
      pos_ += k;
      n -= k;
    }
    return true;
  }

 private:
  bool refill() {
    const int64_t want = std::min<int64_t>(left_, static_cast<int64_t>(buf_.size()));
    const int64_t got = want > 0 ? readFully(fd_, buf_.data(), want) : 0;
    if (got <= 0) return false;
    left_ -= got;
    pos_ = 0;
    len_ = got;
    return true;
  }

  int fd_;
  int64_t left_;
  std::vector<unsigned char> buf_;
  int64_t pos_ = 0, len_ = 0;
};

// ---- Outputs ------------------------------------------------------------------

constexpr int kPartials = 2;
constexpr size_t kPartialPath = 1200;
// The held files and the gate; plain arrays, so that nothing is torn down
// at the program's end while the worker may still use them.
std::mutex gPartialLock;
char gPartials[kPartials][kPartialPath];
bool gOutputsAbandoned = false;
thread_local WrapFailureSink tFailureSink = nullptr;

bool heldLocked(const char* path) {
  for (const char* slot : gPartials)
    if (slot[0] != '\0' && std::strcmp(slot, path) == 0) return true;
  return false;
}

void releaseLocked(const char* path) {
  for (char* slot : gPartials)
    if (std::strcmp(slot, path) == 0) slot[0] = '\0';
}

// One output of a placement. A new file is written under a temporary name
// beside its path and renamed over it when complete; an append notes the
// length it found, so that a failure cuts the file back.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { discard(); }
  int fd() const { return fd_.get(); }

  // Creates a fresh temporary file beside path; false when none can be made.
  bool create(const char* path) {
    path_ = path;
    for (int n = 0; n < kTempTries; ++n) {
      const std::string temp = path_ + "." + std::to_string(::getpid()) + "-" + std::to_string(n) + ".part";
      Fd fd(wrapOpenOutput(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      if (!fd.ok() && errno == EEXIST) continue;
      if (!fd.ok()) return false;
      if (!wrapHoldPartial(temp.c_str())) {
        fd.reset();  // Windows cannot remove a file that is still open
        ::unlink(temp.c_str());
        return false;
      }
      fd_ = std::move(fd);
      temp_ = temp;
      return true;
    }
    return false;
  }

  // Opens path for appending, creating it when missing; never through a
  // link, and only a regular file.
  bool append(const char* path) {
    path_ = path;
    Fd fd(wrapOpenOutput(path, O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0));
    bool created = false;
    if (!fd.ok() && errno == ENOENT) {
      fd = Fd(wrapOpenOutput(path, O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
      created = fd.ok();
    }
    int64_t size = 0;
    bool regular = false;
    if (!fd.ok() || !wrapFileInfo(fd.get(), &size, &regular) || !regular) {
      // Closed first: Windows cannot remove a file that is still open.
      fd.reset();
      if (created) ::unlink(path);
      return false;
    }
    fd_ = std::move(fd);
    created_ = created;
    length_ = size;
    return true;
  }

  // Closes the output and puts it in place; false, with nothing half
  // written left under the path, when that fails.
  bool commit() {
    done_ = true;
    const bool closed = fd_.reset();
    if (temp_.empty()) {
      if (!closed) undoAppend(-1);
      return closed;
    }
    const bool placed = closed && wrapPutInPlace(temp_.c_str(), path_.c_str());
    if (!placed) {
      ::unlink(temp_.c_str());
      wrapReleasePartial(temp_.c_str());
    }
    return placed;
  }

  // Undoes an unfinished output: the temporary file is removed; an append
  // is cut back to its former length, or removed when it made the file.
  void discard() {
    if (done_ || (!fd_.ok() && temp_.empty())) return;
    done_ = true;
    if (!temp_.empty()) {
      fd_.reset();
      ::unlink(temp_.c_str());
      wrapReleasePartial(temp_.c_str());
      return;
    }
    undoAppend(fd_.release());
  }

 private:
  // fd: the open output, or -1 to open it again.
  void undoAppend(int fd) {
    Fd out(fd);
    if (created_) {
      out.reset();  // Windows cannot remove a file that is still open
      ::unlink(path_.c_str());
      return;
    }
    if (!out.ok()) out = Fd(wrapOpen(path_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0));
    // A failure here leaves the longer file; the alert that follows names the fault.
    const bool cut = out.ok() && wrapTruncate(out.get(), length_);
    (void)cut;
  }

  Fd fd_;
  std::string path_, temp_;
  int64_t length_ = 0;
  bool created_ = false;
  bool done_ = false;
};

Alert alertFor(int fault) { return fault == WRAP_WRITE_FAILED ? kWriteFailed : kBadFormat; }

// ---- The operations' bodies: each returns its alert, files already closed ------

Alert findStart() {
  Fd in(openSource());
  if (!in.ok()) return {"Unwrap Fail", "Unwrap Error WS-01"};
  const int64_t at = scanForStart(in.get());
  if (at < 0) return {"Unwrap Fail", "Unwrap Error WS-02"};
  gWrapStart = at;
  return kDone;
}

Alert readValue(int n, int64_t* value) {
  constexpr Alert bad{"Bad File Format", "Unwrap Error 006g"};
  if (n < 0) return {"ValNumber Too Low", "getVal Error 002"};
  if (n >= WRAP_VALUE_NUMBERS) return {"ValeNumber Too High", "getVal Error 004"};
  Fd in(openSource());
  if (!in.ok()) return {"Unwrap Fail", "Unwrap Error 004g"};
  if (!magicAt(in.get(), gWrapStart)) return bad;
  *value = valueAt(in.get(), gWrapStart, n);
  return *value < 0 ? bad : kDone;
}

Alert readTrailingName(char* buffer) {
  constexpr Alert bad{"Bad File Format", "Unwrap Error 006t"};
  buffer[0] = '\0';
  Fd in(openSource());
  if (!in.ok()) return {"Unwrap Fail", "Unwrap Error 004t"};
  if (!magicAt(in.get(), gWrapStart)) return bad;
  if (readName(in.get(), gWrapStart, buffer) && nameIsSafe(buffer)) return kDone;
  buffer[0] = '\0';
  return bad;
}

// Positions in at piece's first byte and stores its size; the piece must
// end before the end mark.
Alert findPiece(int in, int piece, int64_t* size) {
  if (!magicAt(in, gWrapStart)) return kBadFormat;
  int64_t at = gWrapStart + WRAP_PIECES_AT;
  for (int p = 0; p < piece; ++p) {
    const int64_t v = valueAt(in, gWrapStart, p);
    if (v < 0) return kBadFormat;
    at += v;
  }
  *size = valueAt(in, gWrapStart, piece);
  if (*size < 0) return kBadFormat;
  if (*size == 0) return {"No File to Unwrap", "Unwrap Error 010"};
  const int64_t mark = endMarkAt(in, gWrapStart);
  if (mark < 0 || at + *size > mark || wrapSeek(in, at, SEEK_SET) != at) return kBadFormat;
  return kDone;
}

Alert placePiece(int piece, const char* path, int style) {
  constexpr const char* kBadArgument = "Unwrap Error 002";
  if (piece < 0) return {"PlaceNumber Too Low", kBadArgument};
  if (piece >= WRAP_PIECES) return {"PlaceNumber Too High", kBadArgument};
  if (style < 0) return {"Placement Style is Too Low", kBadArgument};
  if (style > WRAP_APPEND_EXPANDED) return {"Placement Style is Too High", kBadArgument};
  Fd in(openSource());
  if (!in.ok()) return {"Unwrap Fail", "Unwrap Error 004"};
  int64_t size = 0;
  const Alert found = findPiece(in.get(), piece, &size);
  if (found.title != nullptr) return found;
  const bool expanded = style == WRAP_CREATE_EXPANDED || style == WRAP_APPEND_EXPANDED;
  const int32_t width = gCropSize[2];
  // Checked before any output exists, so that a bad width leaves nothing behind.
  if (expanded && (width < 1 || width > WRAP_MAX_WIDTH)) return kBadFormat;
  Output out;
  if (style == WRAP_CREATE_RAW || style == WRAP_CREATE_EXPANDED) {
    if (!out.create(path)) return {"Unwrap Fail", "Unwrap Error 014"};
  } else if (!out.append(path)) {
    return {"Unwrap Fail", "Unwrap Error 016"};
  }
  const int fault = expanded ? wrapExpand(in.get(), out.fd(), size, width, &gCurrProgress)
                             : wrapCopy(in.get(), out.fd(), size, &gCurrProgress);
  if (fault != WRAP_OK) return alertFor(fault);  // out's destructor undoes the output
  return out.commit() ? kDone : kWriteFailed;
}

void failOn(const Alert& alert) {
  if (alert.title != nullptr) wrapFail(alert.title, alert.text);
}

}  // namespace

// ---- The unwrapper's operations -------------------------------------------------

void setWrapStart() { failOn(findStart()); }

int64_t getLongLongValue(int n) {
  int64_t value = 0;
  failOn(readValue(n, &value));
  return value;
}

void getTrailingString(char* buffer) { failOn(readTrailingName(buffer)); }

void placeWrappedFile(int piece, const char* path, int style) { failOn(placePiece(piece, path, style)); }

void copyBytes(int in, int out, int64_t count) {
  const int fault = wrapCopy(in, out, count, &gCurrProgress);
  if (fault != WRAP_OK) failOn(alertFor(fault));
}

void expandBytes(int in, int out, int64_t size) {
  const int fault = wrapExpand(in, out, size, gCropSize[2], &gCurrProgress);
  if (fault != WRAP_OK) failOn(alertFor(fault));
}

// ---- Outputs being written and the end after a fault ------------------------------

int wrapOpenOutput(const char* path, int flags, unsigned mode) {
  std::lock_guard<std::mutex> lock(gPartialLock);
  if (gOutputsAbandoned) {
    errno = ECANCELED;
    return -1;
  }
  return wrapOpen(path, flags, mode);
}

bool wrapHoldPartial(const char* path) {
  if (std::strlen(path) >= kPartialPath) return false;
  std::lock_guard<std::mutex> lock(gPartialLock);
  if (gOutputsAbandoned) return false;
  for (char* slot : gPartials) {
    if (slot[0] != '\0') continue;
    std::snprintf(slot, kPartialPath, "%s", path);
    return true;
  }
  return false;
}

void wrapReleasePartial(const char* path) {
  std::lock_guard<std::mutex> lock(gPartialLock);
  releaseLocked(path);
}

bool wrapPutInPlace(const char* temp, const char* path) {
  std::lock_guard<std::mutex> lock(gPartialLock);
  if (!heldLocked(temp)) return false;
  const bool placed = wrapRenameOver(temp, path);
  if (placed) releaseLocked(temp);
  return placed;
}

void wrapAbandonOutputs() {
  std::lock_guard<std::mutex> lock(gPartialLock);
  gOutputsAbandoned = true;
  for (char* slot : gPartials) {
    if (slot[0] != '\0') ::unlink(slot);  // removes a link itself, never what it points to
    slot[0] = '\0';
  }
}

void wrapReopenOutputs() {
  std::lock_guard<std::mutex> lock(gPartialLock);
  gOutputsAbandoned = false;
}

void wrapSetFailureSink(WrapFailureSink sink) { tFailureSink = sink; }

void wrapFail(const char* title, const char* text) {
  wrapAbandonOutputs();
  if (tFailureSink != nullptr) tFailureSink(title, text);
  pal_Alert(1, title, text);
  pal_EndProgram(0);
}

// ---- Alert-free reading -------------------------------------------------------------

const char* wrapFaultText(int fault) {
  switch (fault) {
    case WRAP_OK: return "sound";
    case WRAP_NO_MARKER: return "no 99-byte marker (0, 1, ... 98) in the file";
    case WRAP_BAD_MAGIC: return "the marker is not followed by \"PMwrap_v01\"";
    case WRAP_SHORT_TABLE: return "the file ends inside the value table";
    case WRAP_NO_END_MARK: return "no end mark (255) among the last 99 bytes";
    case WRAP_BAD_NAME: return "the package name is empty or holds a separator, \"..\" or a control character";
    case WRAP_PIECE_BEYOND: return "the pieces run past the end mark";
    case WRAP_BAD_WIDTH: return "the row width (value 14) is not 1 to 3999";
    case WRAP_POOL_SHORT: return "the compressed line pool is smaller than its first row";
    case WRAP_MASK_BEYOND_WIDTH: return "a change mask marks a pixel beyond the row width";
    case WRAP_BAD_REFERENCE: return "a row refers to itself or to a later row";
    case WRAP_SHORT_READ: return "the file ends inside a piece";
    case WRAP_WRITE_FAILED: return "the output could not be written";
    default: return "unknown fault";
  }
}

int wrapReadLayout(int fd, WrapLayout* layout) {
  *layout = WrapLayout{};
  layout->start = layout->endMarkAt = -1;
  layout->fileSize = fileSize(fd);
  layout->start = scanForStart(fd);
  if (layout->start < 0) return WRAP_NO_MARKER;
  if (!magicAt(fd, layout->start)) return WRAP_BAD_MAGIC;
  for (int i = 0; i < WRAP_VALUES; ++i) {
    const int64_t v = valueAt(fd, layout->start, i);
    if (v < 0) return WRAP_SHORT_TABLE;
    layout->values[i] = static_cast<uint32_t>(v);
  }
  int64_t at = layout->start + WRAP_PIECES_AT;
  for (int i = 0; i < WRAP_PIECES; ++i) {
    layout->pieceAt[i] = at;
    at += layout->values[i];
  }
  layout->piecesEnd = at;
  layout->endMarkAt = endMarkAt(fd, layout->start);
  if (layout->endMarkAt < 0) return WRAP_NO_END_MARK;
  if (!readName(fd, layout->start, layout->name) || !nameIsSafe(layout->name)) return WRAP_BAD_NAME;
  return layout->piecesEnd > layout->endMarkAt ? WRAP_PIECE_BEYOND : WRAP_OK;
}

int wrapCopy(int in, int out, int64_t count, std::atomic<int>* progress) {
  if (wrapSeek(out, 0, SEEK_END) < 0) return WRAP_WRITE_FAILED;
  std::vector<unsigned char> chunk(static_cast<size_t>(WRAP_COPY_CHUNK));
  for (int64_t done = 0; done < count;) {
    // A program that is ending stops its copying between two chunks.
    if (pal_StopRequested()) return WRAP_WRITE_FAILED;
    const int64_t n = std::min(WRAP_COPY_CHUNK, count - done);
    if (readFully(in, chunk.data(), n) != n) return WRAP_SHORT_READ;
    if (!writeFully(out, chunk.data(), n)) return WRAP_WRITE_FAILED;
    done += n;
    if (progress != nullptr) progress->store(static_cast<int>(done * 100 / count));
  }
  return WRAP_OK;
}

namespace {

// The expansion's output: whole rows gathered into large writes. A row not
// yet written is read back from the buffer, any other from the file.
class RowWriter {
 public:
  RowWriter(int out, int64_t first, int64_t rowBytes)
      : out_(out), first_(first), rowBytes_(rowBytes),
        capacity_(std::max<int64_t>(1, kBufferBytes / rowBytes)), buffer_(static_cast<size_t>(capacity_ * rowBytes)) {}
  bool put(const unsigned char* row) {
    std::memcpy(&buffer_[static_cast<size_t>(held_ * rowBytes_)], row, static_cast<size_t>(rowBytes_));
    return ++held_ < capacity_ || flush();
  }
  bool flush() {
    if (held_ > 0 && !writeFully(out_, buffer_.data(), held_ * rowBytes_)) return false;
    written_ += held_;
    held_ = 0;
    return true;
  }
  bool get(int64_t n, unsigned char* row) {
    if (n >= written_) {
      std::memcpy(row, &buffer_[static_cast<size_t>((n - written_) * rowBytes_)], static_cast<size_t>(rowBytes_));
      return true;
    }
    return readAt(out_, first_ + n * rowBytes_, row, rowBytes_);
  }

 private:
  static constexpr int64_t kBufferBytes = 1 << 20;
  int out_;
  int64_t first_, rowBytes_, capacity_;
  std::vector<unsigned char> buffer_;
  int64_t held_ = 0, written_ = 0;  // rows in the buffer, rows in the file
};

}  // namespace

int wrapExpand(int in, int out, int64_t size, int32_t width, std::atomic<int>* progress) {
  if (width < 1 || width > WRAP_MAX_WIDTH) return WRAP_BAD_WIDTH;
  const int64_t rowBytes = int64_t{width} * 3;
  const int64_t maskBytes = (width + 7) / 8;
  // Mask bits of the last byte that stand for no pixel.
  const unsigned spareBits = (1u << (maskBytes * 8 - width)) - 1;
  if (size < rowBytes) return WRAP_POOL_SHORT;
  const int64_t first = wrapSeek(out, 0, SEEK_END);  // row 0 of this expansion
  if (first < 0) return WRAP_WRITE_FAILED;
  std::vector<unsigned char> row(WRAP_ROW_CAP), fresh(WRAP_ROW_CAP), mask(static_cast<size_t>(maskBytes));
  PieceReader reader(in, size);
  RowWriter writer(out, first, rowBytes);
  if (!reader.take(row.data(), rowBytes)) return WRAP_SHORT_READ;
  if (!writer.put(row.data())) return WRAP_WRITE_FAILED;
  int64_t consumed = rowBytes;
  int shown = -1;
  for (int64_t k = 1; consumed < size; ++k) {
    const int percent = static_cast<int>(consumed * 90 / size);
    if (percent != shown) {
      if (progress != nullptr) progress->store(percent);
      if (pal_StopRequested()) return WRAP_WRITE_FAILED;
    }
    shown = percent;
    // A record cut short by the end of the piece is not written.
    if (size - consumed < 3 + maskBytes) break;
    unsigned char ref[3];
    if (!reader.take(ref, 3) || !reader.take(mask.data(), maskBytes)) return WRAP_SHORT_READ;
    const int64_t reference = int64_t{ref[0]} << 16 | ref[1] << 8 | ref[2];
    if (reference >= k) return WRAP_BAD_REFERENCE;
    if ((mask[maskBytes - 1] & spareBits) != 0) return WRAP_MASK_BEYOND_WIDTH;
    int64_t changed = 0;
    for (unsigned char m : mask) changed += __builtin_popcount(m);
    if (consumed + 3 + maskBytes + 3 * changed > size) break;
    if (!reader.take(fresh.data(), 3 * changed)) return WRAP_SHORT_READ;
    consumed += 3 + maskBytes + 3 * changed;
    // The row buffer still holds row k - 1; any other row is read back.
    if (reference != k - 1 && !writer.get(reference, row.data())) return WRAP_SHORT_READ;
    const unsigned char* next = fresh.data();
    for (int64_t b = 0; b < maskBytes; ++b) {
      if (mask[b] == 0) continue;
      for (int bit = 0; bit < 8; ++bit) {
        if ((mask[b] & (0x80 >> bit)) == 0) continue;
        std::memcpy(&row[(b * 8 + bit) * 3], next, 3);
        next += 3;
      }
    }
    if (!writer.put(row.data())) return WRAP_WRITE_FAILED;
  }
  if (!writer.flush()) return WRAP_WRITE_FAILED;
  if (progress != nullptr) progress->store(94);
  return WRAP_OK;
}

#ifdef _WIN32
// ---- Windows: opening, the program's own path and a rename over a file -------------

int wrapOpen(const char* path, int flags, unsigned /*mode*/) {
  const int accessMode = flags & (O_RDONLY | O_WRONLY | O_RDWR);
  const DWORD access = accessMode == O_WRONLY ? GENERIC_WRITE
                       : accessMode == O_RDWR ? GENERIC_READ | GENERIC_WRITE
                                              : GENERIC_READ;
  DWORD disposition = (flags & O_TRUNC) != 0 ? TRUNCATE_EXISTING : OPEN_EXISTING;
  if ((flags & O_CREAT) != 0)
    disposition = (flags & O_EXCL) != 0 ? CREATE_NEW : (flags & O_TRUNC) != 0 ? CREATE_ALWAYS : OPEN_ALWAYS;
  // Without FILE_SHARE_DELETE an open output could be neither removed nor
  // renamed over; the handle is not inherited (null security attributes).
  HANDLE file = ::CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    switch (::GetLastError()) {
      case ERROR_FILE_NOT_FOUND:
      case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
      case ERROR_FILE_EXISTS:
      case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
      case ERROR_ACCESS_DENIED:
      case ERROR_SHARING_VIOLATION: errno = EACCES; break;
      default: errno = EIO;
    }
    return -1;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file),
                                   (flags & (O_APPEND | O_CLOEXEC)) | (access == GENERIC_READ ? _O_RDONLY : 0));
  if (fd < 0) {
    ::CloseHandle(file);
    errno = EMFILE;
    return -1;
  }
  ::_setmode(fd, _O_BINARY);  // text mode would turn bytes 10 and 26 into something else
  return fd;
}

size_t wrapOwnProgramPath(char* buffer, size_t size) {
  // A count of size means the path was cut short: refused like no path.
  DWORD n = ::GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  if (n == 0 || n >= size) n = 0;
  buffer[n] = '\0';
  return n;
}

const char* wrapOwnProgramFile() {
  // There is no /proc: the file is found by its path, once, before the
  // worker reads it.
  static char path[1024];
  static const size_t length = wrapOwnProgramPath(path, sizeof path);
  return length > 0 ? path : "";
}

bool wrapRenameOver(const char* from, const char* to) {
  // The runtime's rename refuses an existing target; an N.exe or N.PMP
  // left by an earlier unwrap is replaced.
  return ::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}
#endif
