// line_pool.cpp: the distinct rows of a package and the row-delta encoding
// of the plain pool. Distinct rows are found by a hash of their bytes and
// confirmed by their signature and a full comparison. The encoder reads the
// plain pool once, in order, keeping the first frame's rows and the last
// frame height of rows, which are all the reference rows it may choose.
// Output goes through PieceFile: large buffered writes, each one checked.
#include "studio/publishing/line_pool.h"
#include "studio/publishing/publishing_support.h"

#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

using publishing::quoted;
using publishing::refuse;

constexpr size_t kBufferBytes = size_t{1} << 20;
constexpr size_t kChunkBytes = size_t{16} << 20;

std::string systemError() { return std::strerror(errno); }

// Writes all n bytes to fd; false with errno set when the system refuses.
bool writeAll(int fd, const unsigned char* p, size_t n) {
  while (n > 0) {
    const int64_t done = pal_FsWrite(fd, p, n);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = EIO;
      return false;
    }
    p += done;
    n -= static_cast<size_t>(done);
  }
  return true;
}

// Reads exactly n bytes at offset; false at an error or the end of the file.
bool readAllAt(int fd, int64_t at, unsigned char* p, size_t n) {
  while (n > 0) {
    const int64_t got = pal_FsReadAt(fd, p, n, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) errno = EIO;
      return false;
    }
    p += got;
    n -= static_cast<size_t>(got);
    at += got;
  }
  return true;
}

uint64_t load64(const unsigned char* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

uint64_t hashRow(const unsigned char* p, size_t n) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ n;
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    h = (h ^ load64(p + i)) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  for (; i < n; ++i) h = (h ^ p[i]) * 0x100000001B3ull;
  return h ^ (h >> 32);
}

bool pixelDiffers(const unsigned char* a, const unsigned char* b, int32_t x) {
  const size_t i = static_cast<size_t>(x) * 3;
  return a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2];
}

// The pixels in which rows a and b differ, counted until limit is reached.
// Groups of eight pixels (24 bytes) that are equal are skipped whole.
int32_t countChanged(const unsigned char* a, const unsigned char* b, int32_t width, int32_t limit) {
  int32_t count = 0, x = 0;
  for (; x + 8 <= width; x += 8) {
    const size_t i = static_cast<size_t>(x) * 3;
    if ((load64(a + i) ^ load64(b + i)) == 0 && (load64(a + i + 8) ^ load64(b + i + 8)) == 0 &&
        (load64(a + i + 16) ^ load64(b + i + 16)) == 0)
      continue;
    for (int32_t k = x; k < x + 8; ++k) count += pixelDiffers(a, b, k);
    if (count >= limit) return count;
  }
  for (; x < width && count < limit; ++x) count += pixelDiffers(a, b, x);
  return count;
}

// The reference row of row r. Small Size: the previous row unless it
// differs in more than one pixel; then the first frame's rows and the rows
// of the frame height before r, in that order, a candidate winning only
// with strictly fewer changes, until one differs in at most one pixel.
// rowAt(c) gives row c for every candidate.
template <class RowAt>
int64_t chooseReference(int choice, int64_t r, int32_t width, int64_t frameHeight, const unsigned char* row,
                        RowAt rowAt) {
  int64_t best = r - 1;
  if (choice == LINE_POOL_FAST) return best;
  int32_t bestCount = countChanged(row, rowAt(best), width, width + 1);
  if (bestCount <= 1) return best;
  const auto better = [&](int64_t c) {
    const int32_t n = countChanged(row, rowAt(c), width, bestCount);
    if (n < bestCount) {
      best = c;
      bestCount = n;
    }
    return bestCount <= 1;
  };
  const int64_t firstEnd = std::min(frameHeight, r - 1);
  for (int64_t c = 0; c < firstEnd; ++c)
    if (better(c)) return best;
  // Row r - 1 was the first candidate; trying it again could not win.
  for (int64_t c = std::max(firstEnd, r - frameHeight); c < r - 1; ++c)
    if (better(c)) return best;
  return best;
}

// Builds the record of row against reference number ref into out (room for
// 3 + mask + 3 * width bytes); returns its length.
size_t buildRecord(int64_t ref, const unsigned char* row, const unsigned char* reference, int32_t width,
                   unsigned char* out) {
  out[0] = static_cast<unsigned char>(ref >> 16);
  out[1] = static_cast<unsigned char>(ref >> 8);
  out[2] = static_cast<unsigned char>(ref);
  unsigned char* mask = out + 3;
  std::memset(mask, 0, static_cast<size_t>(linePoolMaskBytes(width)));
  unsigned char* values = mask + linePoolMaskBytes(width);
  for (int32_t x = 0; x < width; ++x) {
    if (!pixelDiffers(row, reference, x)) continue;
    mask[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
    std::memcpy(values, row + static_cast<size_t>(x) * 3, 3);
    values += 3;
  }
  return static_cast<size_t>(values - out);
}

size_t recordCapacity(int32_t width) {
  return 3 + static_cast<size_t>(linePoolMaskBytes(width)) + 3 * static_cast<size_t>(width);
}

}  // namespace

int32_t linePoolMaskBytes(int32_t width) { return (width + 7) / 8; }

void linePoolSignature(const unsigned char* row, int32_t width, unsigned char signature[5]) {
  const int64_t per = width / 5 + 1;
  const int64_t bytes = int64_t{width} * 3;
  for (int s = 0; s < 5; ++s) {
    const int64_t from = std::min(bytes, s * 3 * per), to = std::min(bytes, (s + 1) * 3 * per);
    uint64_t sum = 0;
    for (int64_t i = from; i < to; ++i) sum += row[i];
    signature[s] = static_cast<unsigned char>(sum / static_cast<uint64_t>(per));
  }
}

// ---- PieceFile -----------------------------------------------------------------

PieceFile::~PieceFile() {
  if (fd_ >= 0) pal_FsClose(fd_);
}

bool PieceFile::create(const std::string& path) {
  if (fd_ >= 0) pal_FsClose(fd_);
  path_ = path;
  used_ = 0;
  flushed_ = 0;
  error_.clear();
  fd_ = pal_FsOpen(path.c_str(), PAL_FS_READWRITE | PAL_FS_CREATE | PAL_FS_TRUNCATE, 0666);
  ok_ = fd_ >= 0;
  if (!ok_) return fail("cannot be created");
  buffer_.resize(kBufferBytes);
  return true;
}

bool PieceFile::fail(const std::string& what) {
  if (error_.empty()) error_ = quoted(path_) + " " + what + ": " + systemError();
  ok_ = false;
  return false;
}

bool PieceFile::flush() {
  if (!ok_) return false;
  if (used_ > 0 && !writeAll(fd_, buffer_.data(), used_)) return fail("cannot be written");
  flushed_ += static_cast<int64_t>(used_);
  used_ = 0;
  return true;
}

bool PieceFile::write(const void* bytes, size_t n) {
  if (!ok_) return false;
  const auto* p = static_cast<const unsigned char*>(bytes);
  if (used_ + n > buffer_.size()) {
    if (!flush()) return false;
    if (n >= buffer_.size()) {
      if (!writeAll(fd_, p, n)) return fail("cannot be written");
      flushed_ += static_cast<int64_t>(n);
      return true;
    }
  }
  std::memcpy(buffer_.data() + used_, p, n);
  used_ += n;
  return true;
}

bool PieceFile::put24(uint32_t v) {
  const unsigned char b[3] = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v)};
  return write(b, 3);
}

bool PieceFile::put32(uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  return write(b, 4);
}

bool PieceFile::readAt(int64_t at, void* out, size_t n) {
  if (!ok_ || at < 0 || at + static_cast<int64_t>(n) > size()) return false;
  if (at + static_cast<int64_t>(n) > flushed_ && !flush()) return false;
  if (!readAllAt(fd_, at, static_cast<unsigned char*>(out), n)) return fail("cannot be read back");
  return true;
}

bool PieceFile::append(const std::string& path, int64_t expected) {
  if (!ok_ || !flush()) return false;
  const int in = pal_FsOpen(path.c_str(), PAL_FS_READ, 0);
  if (in < 0) {
    error_ = quoted(path) + " cannot be opened: " + systemError();
    ok_ = false;
    return false;
  }
  int64_t copied = 0;
  for (;;) {
    const int64_t got = pal_FsRead(in, buffer_.data(), buffer_.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error_ = quoted(path) + " cannot be read: " + systemError();
      ok_ = false;
      break;
    }
    if (got == 0) break;
    if (pal_StopRequested()) {
      error_ = quoted(path_) + " was left unfinished: the program is ending";
      ok_ = false;
      break;
    }
    if (!writeAll(fd_, buffer_.data(), static_cast<size_t>(got))) {
      fail("cannot be written");
      break;
    }
    copied += got;
    flushed_ += got;
  }
  pal_FsClose(in);
  if (ok_ && copied != expected) {
    error_ = quoted(path) + " changed while it was being copied";
    ok_ = false;
  }
  return ok_;
}

bool PieceFile::chmod(unsigned mode) {
  if (!ok_) return false;
  if (pal_FsMakeRunnable(fd_, mode) != 0) return fail("cannot be made executable");
  return true;
}

bool PieceFile::close(bool sync) {
  if (fd_ < 0) return false;
  flush();
  if (ok_ && sync && pal_FsSync(fd_) != 0) fail("cannot be flushed to the disk");
  if (pal_FsClose(fd_) != 0 && ok_) fail("cannot be closed");
  fd_ = -1;
  return ok_;
}

// ---- LinePool ---------------------------------------------------------------------

bool LinePool::create(const std::string& path, int32_t width) {
  if (width < 1 || width > LINE_POOL_MAX_WIDTH) {
    error_ = "rows of " + std::to_string(width) + " pixels cannot be pooled (1 to 3,999 can)";
    return false;
  }
  error_.clear();
  width_ = width;
  rowBytes_ = static_cast<size_t>(width_) * 3;
  count_ = 0;
  chunkRows_ = static_cast<int64_t>(std::max<size_t>(1, kChunkBytes / rowBytes_));
  memoryRows_ = std::max<int64_t>(0, memoryBytes_) / static_cast<int64_t>(rowBytes_);
  signatures_.clear();
  chunks_.clear();
  byContent_.clear();
  scratch_.resize(rowBytes_);
  if (file_.create(path)) return true;
  error_ = file_.error();
  return false;
}

const unsigned char* LinePool::rowAt(int64_t line) {
  if (line < memoryRows_) return chunks_[line / chunkRows_].get() + (line % chunkRows_) * rowBytes_;
  if (!file_.readAt(line * static_cast<int64_t>(rowBytes_), scratch_.data(), rowBytes_)) return nullptr;
  return scratch_.data();
}

// 1 when line holds exactly row, 0 when not, -1 when it cannot be read back.
int LinePool::same(int64_t line, const unsigned char* row, const unsigned char signature[5]) {
  if (std::memcmp(&signatures_[static_cast<size_t>(line) * 5], signature, 5) != 0) return 0;
  const unsigned char* stored = rowAt(line);
  if (stored == nullptr) return -1;
  return std::memcmp(stored, row, rowBytes_) == 0 ? 1 : 0;
}

int64_t LinePool::lineOf(const unsigned char* row, int64_t hint) {
  unsigned char signature[5];
  linePoolSignature(row, width_, signature);
  if (hint >= 0 && hint < count_) {
    const int s = same(hint, row, signature);
    if (s != 0) return s > 0 ? hint : -2;
  }
  std::vector<int32_t>& lines = byContent_[hashRow(row, rowBytes_)];
  for (const int32_t line : lines) {
    if (line == hint) continue;
    const int s = same(line, row, signature);
    if (s != 0) return s > 0 ? line : -2;
  }
  if (count_ >= LINE_POOL_MAX_ROWS) return -1;
  if (!file_.write(row, rowBytes_)) return -2;
  if (count_ < memoryRows_) {
    if (count_ % chunkRows_ == 0)
      chunks_.emplace_back(
          new unsigned char[static_cast<size_t>(std::min(chunkRows_, memoryRows_ - count_)) * rowBytes_]);
    std::memcpy(chunks_.back().get() + (count_ % chunkRows_) * rowBytes_, row, rowBytes_);
  }
  signatures_.insert(signatures_.end(), signature, signature + 5);
  lines.push_back(static_cast<int32_t>(count_));
  return count_++;
}

// ---- Encoding ------------------------------------------------------------------------

std::vector<unsigned char> linePoolEncode(const unsigned char* pool, int64_t rows, int32_t width,
                                          int32_t frameHeight, int choice) {
  std::vector<unsigned char> out;
  if (pool == nullptr || rows < 1 || width < 1) return out;
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  const auto rowAt = [&](int64_t c) { return pool + static_cast<size_t>(c) * rowBytes; };
  out.insert(out.end(), pool, pool + rowBytes);
  std::vector<unsigned char> record(recordCapacity(width));
  for (int64_t r = 1; r < rows; ++r) {
    const int64_t ref = chooseReference(choice, r, width, std::max(frameHeight, 1), rowAt(r), rowAt);
    const size_t n = buildRecord(ref, rowAt(r), rowAt(ref), width, record.data());
    out.insert(out.end(), record.begin(), record.begin() + static_cast<std::ptrdiff_t>(n));
  }
  return out;
}

namespace {

// The rows a reference may be chosen from while encoding row by row: the
// first rows (Small Size only) and a ring of the latest rows.
class RecentRows {
 public:
  RecentRows(int choice, int64_t rows, int64_t frameHeight, size_t rowBytes)
      : rowBytes_(rowBytes),
        firstCount_(choice == LINE_POOL_FAST ? 0 : std::min(frameHeight, rows)),
        ringCount_(choice == LINE_POOL_FAST ? 1 : std::min(frameHeight, rows)),
        first_(static_cast<size_t>(firstCount_) * rowBytes),
        ring_(static_cast<size_t>(ringCount_) * rowBytes) {}
  const unsigned char* row(int64_t c) const {
    if (c < firstCount_) return first_.data() + static_cast<size_t>(c) * rowBytes_;
    return ring_.data() + static_cast<size_t>(c % ringCount_) * rowBytes_;
  }
  void keep(int64_t r, const unsigned char* row) {
    if (r < firstCount_) std::memcpy(first_.data() + static_cast<size_t>(r) * rowBytes_, row, rowBytes_);
    std::memcpy(ring_.data() + static_cast<size_t>(r % ringCount_) * rowBytes_, row, rowBytes_);
  }

 private:
  size_t rowBytes_;
  int64_t firstCount_, ringCount_;
  std::vector<unsigned char> first_, ring_;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int linePoolEncodeFile(const std::string& inPath, const std::string& outPath, int32_t width, int32_t frameHeight,
                       int choice, std::atomic<int>* progress, std::string* why) {
  if (width < 1 || width > LINE_POOL_MAX_WIDTH)
    return refuse(why, "rows of " + std::to_string(width) + " pixels cannot be encoded (1 to 3,999 can)");
  std::unique_ptr<std::FILE, FileCloser> in(std::fopen(inPath.c_str(), "rb"));
  const int64_t size = in ? pal_FsSize(pal_FsDescriptorOf(in.get())) : -1;
  if (size < 0)
    return refuse(why, quoted(inPath) + " cannot be opened: " + systemError());
  std::vector<char> inBuffer(kBufferBytes);
  std::setvbuf(in.get(), inBuffer.data(), _IOFBF, inBuffer.size());
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  if (size < 1 || size % static_cast<int64_t>(rowBytes) != 0)
    return refuse(why, quoted(inPath) + " holds " + std::to_string(size) + " bytes, not whole rows of " +
                           std::to_string(rowBytes) + " bytes");
  const int64_t rows = size / static_cast<int64_t>(rowBytes);
  const int64_t h = std::max(frameHeight, 1);
  RecentRows recent(choice, rows, h, rowBytes);
  std::vector<unsigned char> row(rowBytes), record(recordCapacity(width));
  PieceFile out;
  bool ok = out.create(outPath);
  for (int64_t r = 0; r < rows && ok; ++r) {
    const bool stop = r % 100 == 0 && pal_StopRequested();
    if (stop || std::fread(row.data(), 1, rowBytes, in.get()) != rowBytes) {
      out.close(false);
      std::remove(outPath.c_str());
      return stop ? 0 : refuse(why, quoted(inPath) + " cannot be read to its end");
    }
    if (r == 0) {
      ok = out.write(row.data(), rowBytes);
    } else {
      const auto rowAt = [&](int64_t c) { return recent.row(c); };
      const int64_t ref = chooseReference(choice, r, width, h, row.data(), rowAt);
      ok = out.write(record.data(), buildRecord(ref, row.data(), recent.row(ref), width, record.data()));
    }
    recent.keep(r, row.data());
    if (progress != nullptr && r % 100 == 0) progress->store(static_cast<int>(std::max<int64_t>(1, r * 1000 / rows)));
  }
  if (!out.close(false)) {
    std::remove(outPath.c_str());
    refuse(why, out.error());
    return -2;
  }
  if (progress != nullptr) progress->store(1000);
  return 1;
}
