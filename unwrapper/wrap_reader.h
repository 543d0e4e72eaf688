// wrap_reader.h: reading the payload of a wrapped file. A wrapped file is
// the unwrapper's program file followed by the 99-byte marker (0, 1, ...
// 98), the magic "PMwrap_v01", 18 unsigned 32-bit big-endian values (0-9
// the sizes of pieces 0-9, 14 and 15 the frame width and height), the
// pieces one after the other, the end mark 255 and the package name (1 to
// 98 bytes) running to the end of the file. Pieces 0, 1, 2 and 3 are the
// package's head, line tables, line pool and flow data; piece 4 is the
// Presenter program. The line pool travels row-delta compressed: row 0
// raw (width x 3 bytes), then per further row k a record of a reference
// row R < k (3 bytes big-endian), a change mask of ceil(width / 8) bytes
// (bit 7 of byte 0 is pixel 0) and 3 bytes for each changed pixel.
//
// The unwrapper's operations trust nothing in the file. Every fault shows
// its blocking alert (kind 1) and ends the program with status 0, after
// removing the outputs still being written, so no half-written Presenter
// or package is left under a final name. Outputs are opened without
// following symbolic links. The alert-free helpers at the end serve the
// examiner, which reports what is wrong instead.
#pragma once

#include <atomic>
#include <cstdint>

constexpr int WRAP_MARKER_LEN = 99;
constexpr int WRAP_MAGIC_LEN = 10;
constexpr int WRAP_VALUES = 18;            // values the writer writes
constexpr int WRAP_VALUE_NUMBERS = 20;     // value numbers the reader accepts (18, 19 lie in piece 0)
constexpr int WRAP_PIECES = 10;
constexpr int64_t WRAP_TABLE_AT = WRAP_MAGIC_LEN;                 // from the wrap start
constexpr int64_t WRAP_PIECES_AT = WRAP_TABLE_AT + 4 * WRAP_VALUES;  // 82, from the wrap start
constexpr int WRAP_END_MARK = 255;
constexpr int WRAP_NAME_MAX = 98;          // name bytes after the end mark
constexpr int WRAP_NAME_BUF = 100;         // a name buffer: 98 bytes, NUL, spare
constexpr int32_t WRAP_MAX_WIDTH = 3999;   // a row fits in 11,997 bytes
constexpr int WRAP_ROW_CAP = 3 * WRAP_MAX_WIDTH;
constexpr int64_t WRAP_COPY_CHUNK = 99997;

enum { WRAP_VAL_WIDTH = 14, WRAP_VAL_HEIGHT = 15 };
enum { WRAP_PIECE_HEAD = 0, WRAP_PIECE_LINE_TABLES = 1, WRAP_PIECE_POOL = 2, WRAP_PIECE_FLOW = 3,
       WRAP_PIECE_PRESENTER = 4 };
// Placement styles: how placeWrappedFile opens its output and what it writes.
// Styles 0 and 2 behave alike.
enum { WRAP_APPEND_RAW = 0, WRAP_CREATE_RAW = 1, WRAP_APPEND_PIECE = 2, WRAP_CREATE_EXPANDED = 3,
       WRAP_APPEND_EXPANDED = 4 };

extern const char* gWrapSource;          // the file read: the running program ("/proc/self/exe")
extern int64_t gWrapStart;               // offset of the magic, set by setWrapStart
extern std::atomic<int> gCurrProgress;   // percentage of the piece being written
// 0, 0, frame width, frame height. The width is the row width of the line
// pool's expansion. Defined by the program that links the reader.
extern int32_t gCropSize[4];

// ---- The unwrapper's operations (a fault ends the program) ----------------
// Finds the marker in gWrapSource (the first complete one; a 0 restarts the
// count at 1) and stores the offset of the byte after it in gWrapStart.
void setWrapStart();
// Value n (0-19) of the value table, as a 64-bit number.
int64_t getLongLongValue(int n);
// Copies the package name into buffer (at least WRAP_NAME_BUF bytes), NUL
// terminated. The name must be 1-98 bytes after an end mark among the last
// 99 bytes, without '/', '\\', "..", a lone "." or control characters.
void getTrailingString(char* buffer);
// Writes piece (0-9) to path: raw (styles 0-2) or expanded (3, 4), onto the
// end of path (0, 2, 4; created when missing) or as a new file (1, 3, which
// is written under a temporary name beside path and renamed over it when
// complete). Returns only on success; a failed append cuts path back to its
// length before the call (removing it when the call created it).
void placeWrappedFile(int piece, const char* path, int style);
// Copies count bytes from the position of in to the end of out in chunks of
// 99,997 bytes; gCurrProgress = bytes written x 100 / count after each.
void copyBytes(int in, int out, int64_t count);
// Expands size bytes of compressed line pool from the position of in onto
// the end of out, rows gCropSize[2] pixels wide; gCurrProgress = bytes
// consumed x 90 / size while it runs, 94 at the end.
void expandBytes(int in, int out, int64_t size);

// ---- Outputs being written and how a fault ends the program -----------------
// Files being assembled under temporary names are held here. A fault, or the
// window closing while the worker writes, abandons them: they are removed
// and from then on no output is opened and nothing is put in place, so no
// half-written file can reach a final name.
// Opens an output (open(2) flags and mode); -1 once the outputs are abandoned.
int wrapOpenOutput(const char* path, int flags, unsigned mode);
// Holds path (at most two at once); false once abandoned, when full or too long.
bool wrapHoldPartial(const char* path);
void wrapReleasePartial(const char* path);
// Renames the held file temp over path and releases it; false when temp is
// no longer held (abandoned) or the rename fails.
bool wrapPutInPlace(const char* temp, const char* path);
// Removes every held file (never through a link) and closes the gate.
void wrapAbandonOutputs();
// Opens the gate again, for a harness that reads many files in one process.
void wrapReopenOutputs();
// Who ends the program after a fault: null (the default) shows the alert
// and ends with status 0 on the calling thread; a worker thread installs a
// sink of its own that hands the alert to the window's thread and never returns.
typedef void (*WrapFailureSink)(const char* title, const char* text);
void wrapSetFailureSink(WrapFailureSink sink);
// Abandons the outputs, then shows the alert and ends the program (status 0).
[[noreturn]] void wrapFail(const char* title, const char* text);

// ---- Alert-free reading, for the examiner -------------------------------------
enum WrapFault {
  WRAP_OK = 0,
  WRAP_NO_MARKER,          // no complete marker in the file
  WRAP_BAD_MAGIC,          // "PMwrap_v01" missing after the marker
  WRAP_SHORT_TABLE,        // the file ends inside the value table
  WRAP_NO_END_MARK,        // no 255 among the last 99 bytes, after the value table
  WRAP_BAD_NAME,           // empty, or a separator, "..", "." or a control character
  WRAP_PIECE_BEYOND,       // a piece runs past the end mark
  WRAP_BAD_WIDTH,          // row width outside 1-3,999
  WRAP_POOL_SHORT,         // the compressed pool is smaller than row 0
  WRAP_MASK_BEYOND_WIDTH,  // a mask bit at or beyond the row width
  WRAP_BAD_REFERENCE,      // a reference row at or after the row being built
  WRAP_SHORT_READ,         // the input ended before the bytes it should hold
  WRAP_WRITE_FAILED,       // the output could not be written (a full disk)
};
// A sentence saying what the fault means.
const char* wrapFaultText(int fault);

struct WrapLayout {
  int64_t fileSize;
  int64_t start;                    // offset of the magic
  uint32_t values[WRAP_VALUES];
  int64_t pieceAt[WRAP_PIECES];     // absolute offsets
  int64_t piecesEnd;                // the byte after the last piece
  int64_t endMarkAt;                // -1 when missing
  char name[WRAP_NAME_BUF];         // the bytes after the end mark, NUL terminated
};
// Reads the layout of the wrapped file open as fd: WRAP_OK, or the first
// fault (the fields read so far are filled). Pieces are checked to end at
// or before the end mark; the name is checked as getTrailingString does.
int wrapReadLayout(int fd, WrapLayout* layout);
// copyBytes without alerts: WRAP_OK, WRAP_SHORT_READ or WRAP_WRITE_FAILED.
int wrapCopy(int in, int out, int64_t count, std::atomic<int>* progress);
// expandBytes without alerts, for rows width pixels wide: WRAP_OK or the fault.
int wrapExpand(int in, int out, int64_t size, int32_t width, std::atomic<int>* progress);
