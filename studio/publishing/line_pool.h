// line_pool.h: the line pool of a package: the distinct pixel rows of all
// frames, numbered in the order they first occur, and its row-delta
// encoding (row 0 raw, then per row a 3-byte reference row, a change mask
// of one bit per pixel and the changed pixels). Also the checked, buffered
// output file that the package pieces are written through. No window
// calls: failures come back as results with a reason.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

constexpr int32_t LINE_POOL_MAX_WIDTH = 3999;      // pixels in a row
constexpr int64_t LINE_POOL_MAX_ROWS = 299999;     // distinct rows in a package
constexpr int64_t LINE_POOL_MEMORY = int64_t{1} << 29;  // bytes of rows kept in memory; later rows are read back

// Mask bytes of a row of width pixels: one bit a pixel, rounded up.
int32_t linePoolMaskBytes(int32_t width);

// The five-byte signature of a row of width pixels (3 * width bytes): the
// byte sums of five spans of 3 * (width / 5 + 1) bytes (the last shorter),
// each divided by width / 5 + 1, low 8 bits.
void linePoolSignature(const unsigned char* row, int32_t width, unsigned char signature[5]);

// ---- Checked output file ------------------------------------------------------

// A file written through a buffer. Every write is checked; once one fails
// the file stays failed and error() tells why. Earlier bytes can be read
// back. The destructor closes an unfinished file without checking.
class PieceFile {
 public:
  PieceFile() = default;
  PieceFile(const PieceFile&) = delete;
  PieceFile& operator=(const PieceFile&) = delete;
  ~PieceFile();
  // Creates or truncates path; false when it cannot be created.
  bool create(const std::string& path);
  bool write(const void* bytes, size_t n);
  bool put24(uint32_t v);  // big-endian, three bytes
  bool put32(uint32_t v);  // big-endian, four bytes
  // Reads n bytes at offset at (below size()) into out.
  bool readAt(int64_t at, void* out, size_t n);
  // Copies the whole file at path onto the end; its size must be `expected`.
  // Once the program is ending it stops between two chunks and fails.
  bool append(const std::string& path, int64_t expected);
  // Sets the permission bits; false when the system refuses.
  bool chmod(unsigned mode);
  // Writes out the buffer, flushes it to the disk when sync is set, and
  // closes the file; false when any of it failed.
  bool close(bool sync);
  int64_t size() const { return flushed_ + static_cast<int64_t>(used_); }
  bool ok() const { return ok_; }
  const std::string& error() const { return error_; }

 private:
  bool flush();
  bool fail(const std::string& what);
  int fd_ = -1;
  std::string path_;
  std::vector<unsigned char> buffer_;
  size_t used_ = 0;
  int64_t flushed_ = 0;
  bool ok_ = false;
  std::string error_;
};

// ---- Distinct rows --------------------------------------------------------------

// The distinct rows of a package being found, written to the plain pool
// file in the order they first occur. Rows are kept in memory up to
// memoryBytes; later rows are read back from the file when compared.
class LinePool {
 public:
  explicit LinePool(int64_t memoryBytes = LINE_POOL_MEMORY) : memoryBytes_(memoryBytes) {}
  // Starts an empty pool of rows of width pixels (1 .. 3999) at path;
  // false with error() when the width is outside or the file cannot be made.
  bool create(const std::string& path, int32_t width);
  // The line number of row (3 * width bytes), adding it when it is new;
  // hint names a line to try first (the same row of the previous frame) or
  // is -1. -1 when the row is new and 299,999 rows are already stored, -2
  // when the file cannot be written or read (error() tells).
  int64_t lineOf(const unsigned char* row, int64_t hint);
  int64_t count() const { return count_; }
  bool close(bool sync) { return file_.close(sync); }
  const std::string& error() const { return error_.empty() ? file_.error() : error_; }

 private:
  int same(int64_t line, const unsigned char* row, const unsigned char signature[5]);
  const unsigned char* rowAt(int64_t line);
  int64_t memoryBytes_;
  int32_t width_ = 0;
  size_t rowBytes_ = 0;
  int64_t count_ = 0;
  PieceFile file_;
  std::vector<unsigned char> signatures_;  // five bytes per line
  std::vector<std::unique_ptr<unsigned char[]>> chunks_;  // rows in memory, chunkRows_ per chunk
  int64_t chunkRows_ = 0, memoryRows_ = 0;
  std::vector<unsigned char> scratch_;
  std::unordered_map<uint64_t, std::vector<int32_t>> byContent_;  // row hash -> lines
  std::string error_;
};

// ---- Row-delta encoding ------------------------------------------------------------

// Reference choice: 1 the one with the fewest changed pixels among the
// previous row, the first frameHeight rows and the frameHeight rows before
// (smaller), 2 always the previous row (faster).
enum LinePoolChoice { LINE_POOL_SMALL = 1, LINE_POOL_FAST = 2 };

// Encodes rows rows of width pixels (rows * width * 3 bytes at pool).
std::vector<unsigned char> linePoolEncode(const unsigned char* pool, int64_t rows, int32_t width,
                                          int32_t frameHeight, int choice);

// Encodes the plain pool file inPath into outPath (created or truncated),
// reading it once and keeping at most 2 * frameHeight rows in memory.
// progress (when given) goes 1 .. 1000 every 100 rows. 1; 0 when the
// program is ending; -1 with *why when the plain pool cannot be read (or is
// not whole rows, or the width is outside 1 .. 3999); -2 with *why when
// outPath cannot be written. outPath is removed unless the result is 1.
int linePoolEncodeFile(const std::string& inPath, const std::string& outPath, int32_t width, int32_t frameHeight,
                       int choice, std::atomic<int>* progress, std::string* why);
