// demo_package.cpp: locating a package, its magic, directory, texts and
// branding values, and the flow data (names, notes, note positions,
// instructions) read into the demo model. Every read is bounded by the
// file: a header that promises more than the file holds, a count beyond a
// table's capacity, or a field cut short by the end of the file ends the
// program with the package's alert instead of reading on. The reading core
// reports the first fault (alert title and a detail for support) instead of
// ending the program, so that the inspector can say what is wrong.
#include "demo/demo_package.h"

#include "demo/demo_model.h"
#include "pal/pal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

char gPathToFiles[PKG_PATH_LEN];
char gDemoFilePath[PKG_PATH_LEN];
int64_t gDemoPackageOffsetBytes[4];
DemoPackageStrings gDemoPackageStrings;
int32_t gDemoPackageVals[3];
int64_t gDemoPackageLineCount;
std::atomic<int> gBaseTimestamp{0};

namespace {

constexpr char kMagic[] = "PMpkg_v04";  // only the first nine bytes are compared
constexpr int kNumberLen = 5;
constexpr int64_t kMaxSide = 99999;     // frame sides fit five-character numbers

struct FileCloser {
  void operator()(pal_File* f) const { pal_FileClose(f); }
};
using File = std::unique_ptr<pal_File, FileCloser>;

// Ends the program with an alert whose text names the package path.
[[noreturn]] void fatalWithPath(const char* title, const char* format, const char* path) {
  char text[PKG_PATH_LEN + 128];
  std::snprintf(text, sizeof text, format, path);
  pal_FatalAlert(title, text);
}

// The first fault found while reading a package; thrown inside this file
// only and turned into a PkgProblem (or an alert) at its public functions.
struct PkgFault {
  const char* title;
  std::string detail;
};

[[noreturn]] void corrupt(const char* title, const std::string& detail) { throw PkgFault{title, detail}; }

std::string ofFrame(int32_t frame) { return "of frame " + std::to_string(frame); }

uint32_t bigEndian32(const unsigned char* b) {
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

void copyPath(char dst[PKG_PATH_LEN], const std::string& src) {
  std::snprintf(dst, PKG_PATH_LEN, "%s", src.c_str());
}

// Sequential reader of the flow data with its own buffer; get() is -1 at
// the end of the file.
class FlowReader {
 public:
  FlowReader(pal_File* file, int64_t at) : file_(file), pos_(at) {}
  int get() {
    if (next_ == filled_ && !refill()) return -1;
    return buf_[next_++];
  }
  // Reads a five-character number; false when the file ends first.
  bool number(int64_t* value) {
    char digits[kNumberLen + 1];
    for (int i = 0; i < kNumberLen; ++i) {
      int c = get();
      if (c < 0) return false;
      digits[i] = static_cast<char>(c);
    }
    digits[kNumberLen] = '\0';
    *value = std::strtol(digits, nullptr, 10);
    return true;
  }
  // Reads a field up to its 254 into out (keeping at most cap - 1 bytes);
  // returns the field's full length, or -1 when the file ends first.
  int64_t field(char* out, int64_t cap) {
    int64_t len = 0;
    for (int c = get(); c != PKG_FIELD_END; c = get()) {
      if (c < 0) return -1;
      if (len < cap - 1) out[len] = static_cast<char>(c);
      ++len;
    }
    out[len < cap - 1 ? len : cap - 1] = '\0';
    return len;
  }

 private:
  bool refill() {
    const int64_t got = pal_FileReadAt(file_, pos_, buf_, sizeof buf_);
    if (got <= 0) return false;
    pos_ += got;
    next_ = 0;
    filled_ = got;
    return true;
  }
  pal_File* file_;
  int64_t pos_;
  unsigned char buf_[65536];
  int64_t next_ = 0, filled_ = 0;
};

// Reads the name or note of a frame into a text record: its index, -1 when
// longer than 998 characters, -2 when no record is free.
int64_t readTextField(FlowReader& in, const char* what, int32_t frame) {
  char text[DEMO_TEXT_LEN];
  const int64_t len = in.field(text, sizeof text);
  if (len < 0) corrupt("Fatal Err013", std::string("the ") + what + " " + ofFrame(frame) + " runs to the end of the file without its 254");
  if (len > DEMO_TEXT_MAX) return -1;
  return demoStoreNewTextValue(text);
}

int64_t notePosition(int64_t value) { return value == 99999 ? DEMO_NO_POSITION : value; }

void readFrameRecords(FlowReader& in) {
  for (int32_t f = 0; f < gFrameCount; ++f) {
    FrameRec& fr = gFrameData[f];
    fr = FrameRec{};
    fr.nameText = readTextField(in, "name", f);
    fr.noteText = readTextField(in, "note", f);
    int64_t x, y, n;
    if (!in.number(&x) || !in.number(&y) || !in.number(&n))
      corrupt("Fatal Err013", "the file ends inside the note position or instruction count " + ofFrame(f));
    fr.noteX = notePosition(x);
    fr.noteY = notePosition(y);
    // A count that would overflow a frame's instruction list or the table is a lie.
    if (n < 0 || n > DEMO_INSTR_LIST_LEN - 1 || gInstrCount + n > DEMO_INSTR_CAP)
      corrupt("Fatal Err013", "the instruction count " + ofFrame(f) + " is " + std::to_string(n) +
                                  ", beyond the 498 a frame or the " + std::to_string(DEMO_INSTR_CAP) +
                                  " the table can hold");
    if (in.get() != PKG_FIELD_END) corrupt("Fatal Err013", "no 254 after the numbers " + ofFrame(f));
    for (int64_t i = 0; i < n; ++i) {
      int64_t v[6];
      const std::string which = "instruction " + std::to_string(i) + " " + ofFrame(f);
      for (int64_t& value : v)
        if (!in.number(&value)) corrupt("Fatal Err015", "the file ends inside " + which);
      if (in.get() != PKG_FIELD_END) corrupt("Fatal Err015", "no 254 after " + which);
      InstrRec& r = gInstrData[gInstrCount++];
      r.frame = f;
      r.target = static_cast<int32_t>(v[0]);
      r.type = static_cast<int32_t>(v[1]);
      for (int k = 0; k < 4; ++k) r.v[k] = static_cast<int32_t>(v[2 + k]);
    }
  }
}

// Checks that the frames fit the tables and that the line tables and the
// pool lie before the flow data; sets the pool's line count.
void checkLayout(int64_t lineTablesRel, int64_t flowRel) {
  const int64_t w = gCropSize[2], h = gCropSize[3];
  if (gFrameCount > DEMO_FRAME_CAP)
    corrupt("Fatal Err011", "more frames than the " + std::to_string(DEMO_FRAME_CAP) + " a demo can have");
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide)
    corrupt("Fatal Err011", "a frame size of " + std::to_string(w) + " x " + std::to_string(h));
  const int64_t poolRel = lineTablesRel + int64_t{gFrameCount} * h * 3;
  if (poolRel > flowRel) corrupt("Fatal Err011", "the line tables run past the start of the flow data");
  gDemoPackageLineCount = (flowRel - poolRel) / (w * 3);
}

// Reads both words of a directory entry.
void readEntry(pal_File* file, int64_t start, int entry, uint32_t* a, uint32_t* b) {
  unsigned char dir[8];
  if (pal_FileReadAt(file, start + 10 + 8 * int64_t{entry}, dir, 8) != 8)
    corrupt("Fatal Err011", "the file ends inside the directory (entry " + std::to_string(entry) + ")");
  *a = bigEndian32(dir);
  *b = bigEndian32(dir + 4);
}

// Copies the text of entry into buffer (at most cap - 1 bytes and a NUL);
// returns the count copied.
int64_t readText(pal_File* file, int64_t start, int entry, char* buffer, int64_t cap) {
  uint32_t a, b;
  readEntry(file, start, entry, &a, &b);
  const int64_t n = b < cap - 1 ? b : cap - 1;
  buffer[0] = '\0';
  if (n <= 0) return 0;
  if (start + a + int64_t{b} > pal_FileSize(file) || pal_FileReadAt(file, start + a, buffer, n) != n)
    corrupt("Fatal Err011", "the text of entry " + std::to_string(entry) + " lies beyond the end of the file");
  buffer[n] = '\0';
  return n;
}

// The reading of header values and flow data into the model.
void readPackage(pal_File* file, int64_t start) {
  uint32_t a, b;
  readText(file, start, PKG_E_TITLE, gDemoPackageStrings.title, PKG_TITLE_LEN);
  readText(file, start, PKG_E_DESCRIPTION, gDemoPackageStrings.description, PKG_DESCRIPTION_LEN);
  readEntry(file, start, PKG_E_DATE, &a, &b);
  gDemoPackageVals[PKG_VAL_DATE] = static_cast<int32_t>(a);
  readEntry(file, start, PKG_E_FRAMES, &a, &b);
  gFrameCount = a > DEMO_FRAME_CAP ? DEMO_FRAME_CAP + 1 : static_cast<int32_t>(a);
  gDemoPackageVals[PKG_VAL_HOME_FRAME] = static_cast<int32_t>(b);
  readEntry(file, start, PKG_E_SIZE, &a, &b);
  gCropSize[0] = gCropSize[1] = 0;
  gCropSize[2] = a > kMaxSide ? static_cast<int32_t>(kMaxSide + 1) : static_cast<int32_t>(a);
  gCropSize[3] = b > kMaxSide ? static_cast<int32_t>(kMaxSide + 1) : static_cast<int32_t>(b);
  gPlayerFlags.statusMode = -1;
  readEntry(file, start, PKG_E_WINDOW, &a, &b);
  gPlayerFlags.windowMode = static_cast<int32_t>(a);
  readEntry(file, start, PKG_E_MODES, &a, &b);
  gPlayerFlags.redBoxMode = static_cast<int32_t>(a);
  gPlayerFlags.noteMode = static_cast<int32_t>(b);

  uint32_t lineTablesRel, flowRel;
  readEntry(file, start, PKG_E_LINE_TABLES, &lineTablesRel, &b);
  readEntry(file, start, PKG_E_FLOW, &flowRel, &b);
  readEntry(file, start, PKG_E_BRANDING, &a, &b);
  gDemoPackageOffsetBytes[PKG_OFF_BRANDING] = start + a;
  gDemoPackageOffsetBytes[PKG_OFF_LINE_TABLES] = start + lineTablesRel;
  gDemoPackageOffsetBytes[PKG_OFF_FLOW] = start + flowRel;

  FlowReader in(file, gDemoPackageOffsetBytes[PKG_OFF_FLOW]);
  if (in.get() != PKG_FIELD_END) corrupt("Fatal Err010", "the flow data does not start with 254");
  gInstrCount = 0;
  if (gFrameCount < 1) return;
  checkLayout(lineTablesRel, flowRel);  // the flow data's first byte lies inside the file
  readFrameRecords(in);
}

}  // namespace

int64_t demoFindAttachedPackage(const char* path) {
  File file(pal_FileOpenRead(path));
  if (!file) return -1;
  unsigned char buf[65536];
  int expected = 0;
  int64_t at = 0;
  for (;;) {
    const int64_t got = pal_FileReadAt(file.get(), at, buf, sizeof buf);
    if (got <= 0) return 0;
    for (int64_t i = 0; i < got; ++i) {
      if (buf[i] == expected) {
        if (++expected == PKG_MARKER_LEN) return at + i + 1;
      } else {
        expected = buf[i] == 0 ? 1 : 0;
      }
    }
    at += got;
  }
}

int demoReadSetFile(const char* folder, char path[PKG_PATH_LEN], int32_t* skipSplash) {
  const std::string setPath = std::string(folder) + PKG_SET_FILE;
  File file(pal_FileOpenRead(setPath.c_str()));
  if (!file) return 0;
  char line[PKG_SET_FILE_READ + 1] = {};
  const int64_t got = pal_FileReadAt(file.get(), 0, line, PKG_SET_FILE_READ);
  line[got > 0 ? got : 0] = '\0';
  const char* p = line;
  *skipSplash = 0;
  if (*p == '^') {
    *skipSplash = 1;
    ++p;
  }
  path[0] = '\0';
  if (*p != '>') return 1;
  ++p;
  std::string rel;
  // A byte below 16 ends the path; bytes of 128 and up are a name's letters.
  for (; static_cast<unsigned char>(*p) >= 16; ++p) rel += *p;
  copyPath(path, std::string(folder) + rel);
  return 1;
}

void setDemoParams() {
  int32_t skip = 0;
  char path[PKG_PATH_LEN];
  if (demoReadSetFile(gPathToFiles, path, &skip) == 1) {
    copyPath(gDemoFilePath, path);
    gDemoPackageOffsetBytes[PKG_OFF_START] = 0;
    File probe(pal_FileOpenRead(gDemoFilePath));
    if (!probe) fatalWithPath("Fatal", "Pictomira Presenter cannot find a Package at '%s'", gDemoFilePath);
  } else {
    const int64_t at = demoFindAttachedPackage(gpal_ExePath);
    if (at < 0) pal_FatalAlert("Fatal", "Pictomira Presenter cannot find an attached Package");
    copyPath(gDemoFilePath, gpal_ExePath);
    gDemoPackageOffsetBytes[PKG_OFF_START] = at;
  }
  gDemoPackageVals[PKG_VAL_SKIP_SPLASH] = skip;

  File file(pal_FileOpenRead(gDemoFilePath));
  char magic[sizeof kMagic - 1];
  if (!file || pal_FileReadAt(file.get(), gDemoPackageOffsetBytes[PKG_OFF_START], magic, sizeof magic) !=
                   static_cast<int64_t>(sizeof magic) ||
      std::memcmp(magic, kMagic, sizeof magic) != 0)
    fatalWithPath("Fatal", "Bad Package format in '%s'", gDemoFilePath);
}

int64_t getPkgValue(const char* path, int64_t packageStart, int entry, int word, char* buffer, int64_t bufSize) {
  File file(pal_FileOpenRead(path));
  if (!file) pal_FatalAlert("Exiting...", "Unexpected Err PKGread008");
  try {
    if (buffer != nullptr) return readText(file.get(), packageStart, entry, buffer, bufSize);
    uint32_t a, b;
    readEntry(file.get(), packageStart, entry, &a, &b);
    return word ? b : a;
  } catch (const PkgFault& f) {
    fatalWithPath(f.title, "Could not read package: %s", path);
  }
}

uint32_t getBrandingVal(const char* path, int64_t brandingStart, int index) {
  File file(pal_FileOpenRead(path));
  if (!file) fatalWithPath("Fatal Err GBV 2", "Could not read package: %s", path);
  unsigned char b[4];
  if (index < 0 || index >= PKG_BRANDING_VALUES ||
      pal_FileReadAt(file.get(), brandingStart + 4 + 4 * int64_t{index}, b, 4) != 4)
    fatalWithPath("Fatal Err GBV 3", "Could not read package: %s", path);
  return bigEndian32(b);
}

bool demoReadPackage(const char* path, int64_t start, PkgProblem* problem) {
  File file(pal_FileOpenRead(path));
  if (!file) {
    *problem = {"Exiting...", "Unexpected Err PKGread008", "the package file cannot be opened"};
    return false;
  }
  try {
    readPackage(file.get(), start);
    return true;
  } catch (const PkgFault& f) {
    char text[PKG_PATH_LEN + 64];
    std::snprintf(text, sizeof text, "Could not read package: %s", path);
    *problem = {f.title, text, f.detail};
    return false;
  }
}

void loadMetaData() {
  PkgProblem problem;
  if (!demoReadPackage(gDemoFilePath, gDemoPackageOffsetBytes[PKG_OFF_START], &problem))
    pal_FatalAlert(problem.title.c_str(), problem.text.c_str());
}

void readWholePackage() {
  File file(pal_FileOpenRead(gDemoFilePath));
  if (!file) fatalWithPath("Fatal ErrRWP002", "Could not read package: %s", gDemoFilePath);
  unsigned char chunk[9996];
  int64_t at = 0;
  for (int64_t got; (got = pal_FileReadAt(file.get(), at, chunk, sizeof chunk)) > 0;) {
    if (pal_StopRequested()) return;  // the window was closed while reading
    at += got;
  }
  gBaseTimestamp.store(1, std::memory_order_release);
}
