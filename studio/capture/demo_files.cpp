// demo_files.cpp: paths, the recording, window and demo data files, the
// demo library's file operations and the exchange files.
// The demo data file is saved through a temporary file in the same folder
// that is flushed to disk and renamed over the old one, so a crash or a
// full disk never leaves a half-written NAME.DMD. Reading refuses counts
// beyond the tables and files cut short instead of trusting them.
#include "studio/capture/demo_files.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>

std::atomic<int> gCreateFilesProgress{0};
std::atomic<int> gCopyFilesPercent{0};

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool canOpen(const std::string& path) { return File(std::fopen(path.c_str(), "rb")) != nullptr; }

bool exists(const std::string& path) { return pal_FsStatLink(path.c_str(), nullptr); }

std::string format(const char* fmt, const std::string& a) {
  char text[1200];
  std::snprintf(text, sizeof text, fmt, a.c_str());
  return text;
}

// ---- Big-endian fields of the demo data file -----------------------------------

class FieldWriter {
 public:
  explicit FieldWriter(std::FILE* f) : f_(f) {}
  void put(uint64_t v, int bytes) {
    unsigned char b[8];
    for (int i = 0; i < bytes; ++i) b[i] = static_cast<unsigned char>(v >> (8 * (bytes - 1 - i)));
    write(b, bytes);
  }
  void write(const void* p, size_t n) { ok_ = ok_ && std::fwrite(p, 1, n, f_) == n; }
  bool ok() const { return ok_; }

 private:
  std::FILE* f_;
  bool ok_ = true;
};

class FieldReader {
 public:
  explicit FieldReader(std::FILE* f) : f_(f) {}
  uint64_t get(int bytes) {
    unsigned char b[8] = {};
    read(b, bytes);
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | b[i];
    return v;
  }
  // A 24-bit two's-complement value; 8388608 itself stays positive.
  int32_t getS24() {
    const auto v = static_cast<int32_t>(get(3));
    return v > 8388608 ? v - 16777216 : v;
  }
  void read(void* p, size_t n) { ok_ = ok_ && std::fread(p, 1, n, f_) == n; }
  bool ok() const { return ok_; }

 private:
  std::FILE* f_;
  bool ok_ = true;
};

void writeModel(FieldWriter& out, int version) {
  const int offsetBytes = version == 0 ? 4 : 5;
  if (version != 0) {
    out.put(0xFF, 1);
    out.put(static_cast<uint64_t>(version), 1);
  }
  out.put(static_cast<uint32_t>(gHeaderCount), 3);
  for (int i = 0; i < gHeaderCount && i < DEMO_HEADER_CAP; ++i) out.put(static_cast<uint32_t>(gHeaderData[i]), 3);
  out.put(static_cast<uint32_t>(gFrameCount), 3);
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const FrameRec& r = gFrameData[f];
    out.put(static_cast<uint64_t>(r.nameText), 3);
    out.put(static_cast<uint64_t>(r.frameId), 3);
    out.put(static_cast<uint64_t>(r.imageRefA), offsetBytes);
    out.put(static_cast<uint64_t>(r.imageRefB), offsetBytes);
    out.put(static_cast<uint64_t>(r.noteText), 3);
    out.put(static_cast<uint64_t>(r.noteX), 3);
    out.put(static_cast<uint64_t>(r.noteY), 3);
  }
  out.put(static_cast<uint32_t>(gInstrCount), 3);
  for (int32_t i = 0; i < gInstrCount; ++i) {
    const InstrRec& r = gInstrData[i];
    for (int32_t v : {r.frame, r.target, r.type, r.v[0], r.v[1], r.v[2], r.v[3]}) out.put(static_cast<uint32_t>(v), 3);
  }
  out.put(static_cast<uint32_t>(gHighestUsedTextRec), 3);
  for (int32_t t = DEMO_FIRST_TEXT_REC; t < gHighestUsedTextRec && t < DEMO_TEXT_RECS; ++t) {
    out.put(gTxtRecData[t][0], 3);
    out.put(gTxtRecData[t][1], 3);
    out.write(gTxtRecVals[t], DMD_TEXT_BYTES);
  }
}

// Reads the model; on a damaged file *why says what is wrong.
int readModel(std::FILE* f, std::string* why) {
  FieldReader in(f);
  auto damaged = [&](const std::string& what) {
    *why = what;
    return DMD_DAMAGED;
  };
  auto cut = [&](const std::string& where) { return damaged("the file ends inside " + where); };
  int version = 0;
  const int first = std::fgetc(f);
  if (first == 0xFF) {
    version = std::fgetc(f);
    if (version != DMD_VERSION) return damaged("unknown version " + std::to_string(version));
  } else if (first == EOF || std::ungetc(first, f) == EOF) {
    return damaged("the file is empty");
  }
  const int offsetBytes = version == 0 ? 4 : 5;
  const auto headers = static_cast<int32_t>(in.get(3));
  if (!in.ok()) return cut("the header count");
  if (headers > DEMO_HEADER_CAP) return damaged("header count " + std::to_string(headers) + " is more than 9");
  gHeaderCount = headers;
  for (int32_t i = 0; i < headers; ++i) gHeaderData[i] = static_cast<int32_t>(in.get(3));
  const auto frames = static_cast<int32_t>(in.get(3));
  if (!in.ok()) return cut("the header values or the frame count");
  if (frames > DEMO_FRAME_CAP)
    return damaged("frame count " + std::to_string(frames) + " is more than " + std::to_string(DEMO_FRAME_CAP));
  gFrameCount = frames;
  for (int32_t fr = 0; fr < frames; ++fr) {
    FrameRec& r = gFrameData[fr];
    r.nameText = static_cast<int64_t>(in.get(3));
    r.frameId = static_cast<int64_t>(in.get(3));
    r.imageRefA = static_cast<int64_t>(in.get(offsetBytes));
    r.imageRefB = static_cast<int64_t>(in.get(offsetBytes));
    r.noteText = in.getS24();
    r.noteX = in.getS24();
    r.noteY = in.getS24();
    if (!in.ok()) return cut("frame record " + std::to_string(fr));
  }
  const auto instrs = static_cast<int32_t>(in.get(3));
  if (!in.ok()) return cut("the instruction count");
  if (instrs > DEMO_INSTR_CAP)
    return damaged("instruction count " + std::to_string(instrs) + " is more than " + std::to_string(DEMO_INSTR_CAP));
  gInstrCount = instrs;
  for (int32_t i = 0; i < instrs; ++i) {
    InstrRec& r = gInstrData[i];
    r.frame = in.getS24();
    r.target = in.getS24();
    r.type = in.getS24();
    for (int32_t& v : r.v) v = in.getS24();
    if (!in.ok()) return cut("instruction record " + std::to_string(i));
  }
  const auto limit = static_cast<int32_t>(in.get(3));
  if (!in.ok()) return cut("the text limit");
  if (limit < DEMO_FIRST_TEXT_REC || limit > DEMO_TEXT_RECS)
    return damaged("text limit " + std::to_string(limit) + " lies outside 9 to " + std::to_string(DEMO_TEXT_RECS));
  gHighestUsedTextRec = limit;
  for (int32_t t = DEMO_FIRST_TEXT_REC; t < limit; ++t) {
    gTxtRecData[t][0] = static_cast<uint32_t>(in.get(3));
    gTxtRecData[t][1] = static_cast<uint32_t>(in.get(3));
    in.read(gTxtRecVals[t], DMD_TEXT_BYTES);
    gTxtRecVals[t][DMD_TEXT_BYTES] = gTxtRecVals[t][DMD_TEXT_BYTES + 1] = '\0';
    if (!in.ok()) return cut("text record " + std::to_string(t));
  }
  if (std::fgetc(f) == EOF) return 1;
  *why = "bytes remain after the last text record";
  return DMD_TRAILING_BYTES;
}

// The text of record index when it holds a name or note, else empty.
std::string textOf(int64_t index) {
  char out[DEMO_TEXT_LEN];
  if (index < DEMO_FIRST_TEXT_REC || index > DEMO_TEXT_RECS) return {};
  return demoGetTextValue(static_cast<int32_t>(index), out) == 0 ? out : "";
}

// Reads one line ending in "\r\n" (or "\n"); false at the end of the file.
bool readLine(std::FILE* f, std::string* line) {
  line->clear();
  for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f)) {
    if (c == '\n') {
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    *line += static_cast<char>(c);
  }
  return !line->empty();
}

bool fitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// Parses count comma-separated integers from text; false when fewer.
bool parseNumbers(const char* text, int64_t* out, int count) {
  const char* p = text;
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    errno = 0;
    out[i] = std::strtoll(p, &end, 10);
    if (end == p || errno != 0) return false;
    p = end;
    if (i + 1 < count) {
      if (*p != ',') return false;
      ++p;
    }
  }
  return true;
}

int readExchangeFrames(std::FILE* f) {
  std::string line;
  while (readLine(f, &line)) {
    const size_t comma = line.find(',');
    int64_t v[6];
    if (comma == std::string::npos || !parseNumbers(line.c_str() + comma + 1, v, 6) || v[3] < 0 ||
        v[3] > DEMO_TEXT_MAX)
      return -2;
    std::string note(static_cast<size_t>(v[3]), '\0');
    if (std::fread(note.data(), 1, note.size(), f) != note.size()) return -2;
    std::string rest;
    if (!readLine(f, &rest) || !rest.empty()) return -2;
    if (gFrameCount >= DEMO_FRAME_CAP) return -3;
    FrameRec& r = gFrameData[gFrameCount++];
    // A frame without a name or note gets no text record (no name is -1, no note 0).
    const std::string name = line.substr(0, comma);
    r.nameText = name.empty() ? -1 : demoStoreNewTextValue(name.c_str());
    r.frameId = v[0];
    r.imageRefA = v[1];
    r.imageRefB = v[2];
    r.noteText = note.empty() ? 0 : demoStoreNewTextValue(note.c_str());
    r.noteX = v[4];
    r.noteY = v[5];
  }
  return 1;
}

int readExchangeInstrs(std::FILE* f) {
  std::string line;
  while (readLine(f, &line)) {
    int64_t v[7];
    if (!parseNumbers(line.c_str(), v, 7) || !std::all_of(v, v + 7, fitsInt32)) return -2;
    if (gInstrCount >= DEMO_INSTR_CAP) return -3;
    InstrRec& r = gInstrData[gInstrCount++];
    r = InstrRec{static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]), static_cast<int32_t>(v[2]),
                 {static_cast<int32_t>(v[3]), static_cast<int32_t>(v[4]), static_cast<int32_t>(v[5]),
                  static_cast<int32_t>(v[6])}};
  }
  return 1;
}

}  // namespace

// ---- Paths ------------------------------------------------------------------------

std::string exchangeFramePath(const std::string& name) { return demoFolderPath(name) + "/tmpFrameData.txt"; }
std::string exchangeInstrPath(const std::string& name) { return demoFolderPath(name) + "/tmpInstrData.txt"; }
std::string exportedImagePath(const std::string& name, int frame) {
  return demoFolderPath(name) + "/" + std::to_string(frame) + ".bmp";
}

// ---- Recording and window files ----------------------------------------------------

bool recWriteRecord(std::FILE* file, const RecordLine& r, const unsigned char* bgr) {
  char line[300];
  const int n = std::snprintf(line, sizeof line, "0,%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld,%lld\r\n",
                              static_cast<long long>(r.mouseX), static_cast<long long>(r.mouseY),
                              static_cast<long long>(r.W), static_cast<long long>(r.H), static_cast<long long>(r.x),
                              static_cast<long long>(r.y), static_cast<long long>(r.w), static_cast<long long>(r.h),
                              static_cast<long long>(r.time), static_cast<long long>(r.click));
  const size_t bytes = static_cast<size_t>(r.w * r.h * 3);
  return std::fwrite(line, 1, static_cast<size_t>(n), file) == static_cast<size_t>(n) &&
         std::fwrite(bgr, 1, bytes, file) == bytes;
}

int64_t recReadRecord(std::FILE* file, int64_t offset, RecordLine* r, std::vector<unsigned char>* pixels) {
  char line[REC_LINE_LIMIT + 1];
  if (fseeko(file, offset, SEEK_SET) != 0 || std::fgets(line, sizeof line, file) == nullptr) return -1;
  RecordFields v;
  if (!parseRecordLine(line, 11, &v)) return -2;
  *r = RecordLine{v.mouseX, v.mouseY, v.W, v.H, v.x, v.y, v.w, v.h, v.time, v.click};
  const int64_t bytes = r->w * r->h * 3;
  const int64_t at = ftello(file);
  if (pixels != nullptr) {
    pixels->resize(static_cast<size_t>(bytes));
    if (std::fread(pixels->data(), 1, pixels->size(), file) != pixels->size()) return -3;
  } else {
    if (fseeko(file, 0, SEEK_END) != 0 || ftello(file) < at + bytes) return -3;
  }
  return at + bytes;
}

bool winAppendRect(const std::string& path, const int32_t rect[4]) {
  File f(std::fopen(path.c_str(), "ab"));
  if (!f) return false;
  const bool ok = std::fprintf(f.get(), "%d,%d,%d,%d\r\n", rect[0], rect[1], rect[2], rect[3]) > 0;
  return std::fclose(f.release()) == 0 && ok;
}

bool winReadRects(const std::string& path, std::vector<std::array<int32_t, 4>>* rects) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  rects->clear();
  std::string line;
  while (readLine(f.get(), &line)) {
    int64_t v[4];
    if (parseNumbers(line.c_str(), v, 4) && std::all_of(v, v + 4, fitsInt32))
      rects->push_back({static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]), static_cast<int32_t>(v[2]),
                        static_cast<int32_t>(v[3])});
  }
  return true;
}

// ---- Demo data file ---------------------------------------------------------------------

int demoDataWrite(const std::string& path, int version) {
  const std::string temp = path + ".saving";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return -1;
  std::vector<char> buffer(1 << 20);
  std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
  FieldWriter out(f);
  writeModel(out, version);
  // Everything must be on disk before the new file takes the old one's name.
  bool ok = out.ok() && std::fflush(f) == 0 && pal_FsSync(pal_FsDescriptorOf(f)) == 0;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || pal_FsRename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return -1;
  }
  return 1;
}

int demoDataRead(const std::string& path, std::string* why) {
  std::memset(gTxtRecData, 0, sizeof gTxtRecData);
  gHighestUsedTextRec = DEMO_FIRST_TEXT_REC;
  std::string ignored;
  if (why == nullptr) why = &ignored;
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    *why = "the file cannot be opened";
    return DMD_CANNOT_OPEN;
  }
  return readModel(f.get(), why);
}

int saveOrLoadDemoData(int mode) {
  const std::string path = demoFilePath(gCurrDemoName, ".DMD");
  if (mode == 1) {
    if (demoDataWrite(path, DMD_VERSION) != 1)
      pal_FatalAlert("Exiting...", format("Unexpected SFAM002 - '%s'", path).c_str());
    return 1;
  }
  if (mode == 2) return demoDataRead(path);
  return 1;
}

// ---- Demo library ----------------------------------------------------------------------

int listDemos(DemoListEntry* entries) {
  struct Found {
    std::string name;
    time_t mtime;
  };
  std::vector<Found> found;
  for (const std::string& name : demosFolderEntries()) {
    if (demoNameCode(name.c_str()) != 1 || !canOpen(demoFilePath(name, ".DMR"))) continue;
    const bool hasWindowFile = canOpen(demoFilePath(name, ".DMW"));
    pal_FsInfo info;
    const std::string dmd = demoFilePath(name, ".DMD");
    if (!canOpen(dmd) || !pal_FsStat(dmd.c_str(), &info)) continue;
    if (hasWindowFile && found.size() < DEMO_LIST_CAP) found.push_back({name, static_cast<time_t>(info.modified)});
  }
  // Newest first; equal times keep directory order.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) { return a.mtime > b.mtime; });
  for (size_t i = 0; i < found.size(); ++i) {
    std::snprintf(entries[i].name, DEMO_LIST_NAME_LEN, "%s", found[i].name.c_str());
    struct tm local;
    pal_LocalTime(found[i].mtime, &local);
    std::strftime(entries[i].date, DEMO_LIST_DATE_LEN, "%d-%b-%Y", &local);
  }
  return static_cast<int>(found.size());
}

// Once the program is ending it stops before the moves and removes the
// folder it made, so the capture slot stays whole (abstracted again at the
// next start) and the name stays free. The moves are renames, made one
// after the other without a stop between them: the window file, the press
// side file when the capture has one, the recording last; a failed move
// puts the earlier ones back.
void createDemoFolder() {
  const std::string folder = demoFolderPath(gCurrDemoName);
  if (pal_StopRequested()) return;
  const int made = pal_FindOrCreateDirectory(folder.c_str());
  if (made != 1) {
    char text[700];
    std::snprintf(text, sizeof text, "Unexpected DPDF-002 %d on '%s'", made, folder.c_str());
    pal_FatalAlert("Fatal Error", text);
  }
  gCreateFilesProgress = 10;
  saveOrLoadDemoData(1);
  gCreateFilesProgress = 180;
  if (pal_StopRequested()) {
    pal_DeleteDirectory(folder.c_str(), 1);
    return;
  }
  const std::string window = demoFilePath(gCurrDemoName, ".DMW"), recording = demoFilePath(gCurrDemoName, ".DMR");
  if (pal_FsRename(captureSlotPath(".DMW").c_str(), window.c_str()) != 0) {
    pal_DeleteDirectory(folder.c_str(), 1);
    pal_FatalAlert("Fatal Error", format("Unexpected DPDF-003 -1 on '%s'", window).c_str());
  }
  const std::string presses = demoFilePath(gCurrDemoName, ".DMA");
  const bool hasPresses = exists(captureSlotPath(".DMA"));
  if (hasPresses && pal_FsRename(captureSlotPath(".DMA").c_str(), presses.c_str()) != 0) {
    pal_FsRename(window.c_str(), captureSlotPath(".DMW").c_str());
    pal_DeleteDirectory(folder.c_str(), 1);
    pal_FatalAlert("Fatal Error", format("Unexpected DPDF-003 -1 on '%s'", presses).c_str());
  }
  gCreateFilesProgress = 200;
  if (pal_FsRename(captureSlotPath(".DMR").c_str(), recording.c_str()) != 0) {
    // The capture slot whole again.
    if (hasPresses) pal_FsRename(presses.c_str(), captureSlotPath(".DMA").c_str());
    pal_FsRename(window.c_str(), captureSlotPath(".DMW").c_str());
    pal_DeleteDirectory(folder.c_str(), 1);
    pal_FatalAlert("Fatal Error", format("Unexpected DPDF-003 -1 on '%s'", recording).c_str());
  }
  gCreateFilesProgress = 1000;
}

// ---- Exchange files and combined demos ----------------------------------------------------

int writeExchangeFiles(const std::string& name, int64_t idShift, int64_t byteShift, int64_t frameShift) {
  File frames(std::fopen(exchangeFramePath(name).c_str(), "wb"));
  File instrs(std::fopen(exchangeInstrPath(name).c_str(), "wb"));
  if (!frames || !instrs) return -1;
  bool ok = true;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const FrameRec& r = gFrameData[f];
    std::string frameName = textOf(r.nameText);
    std::replace(frameName.begin(), frameName.end(), ',', ' ');
    const std::string note = textOf(r.noteText);
    ok = ok && std::fprintf(frames.get(), "%s,%lld,%lld,%lld,%d,%lld,%lld\r\n%s\r\n", frameName.c_str(),
                            static_cast<long long>(r.frameId + idShift), static_cast<long long>(r.imageRefA + byteShift),
                            static_cast<long long>(r.imageRefB + byteShift), static_cast<int>(note.size()),
                            static_cast<long long>(r.noteX), static_cast<long long>(r.noteY), note.c_str()) > 0;
  }
  for (int32_t i = 0; i < gInstrCount; ++i) {
    const InstrRec& r = gInstrData[i];
    const int64_t target = r.target < 0 ? r.target : r.target + frameShift;
    ok = ok && std::fprintf(instrs.get(), "%lld,%lld,%d,%d,%d,%d,%d\r\n", static_cast<long long>(r.frame + frameShift),
                            static_cast<long long>(target), r.type, r.v[0], r.v[1], r.v[2], r.v[3]) > 0;
  }
  ok = std::fclose(frames.release()) == 0 && ok;
  ok = std::fclose(instrs.release()) == 0 && ok;
  return ok ? 1 : -1;
}

int readExchangeFiles(const std::string& name) {
  File frames(std::fopen(exchangeFramePath(name).c_str(), "rb"));
  File instrs(std::fopen(exchangeInstrPath(name).c_str(), "rb"));
  if (!frames || !instrs) return -1;
  const int read = readExchangeFrames(frames.get());
  return read != 1 ? read : readExchangeInstrs(instrs.get());
}

namespace {

void makeCombinedFolder(const std::string& newName) {
  const std::string folder = demoFolderPath(newName);
  pal_FindOrCreateDirectory(folder.c_str());
  pal_FsInfo info;
  if (!pal_FsStat(folder.c_str(), &info) || !info.folder) pal_FatalAlert("Exiting...", "Unexpected wcd003");
  std::snprintf(gCurrDemoName, DEMO_NAME_LEN, "%s", newName.c_str());
}

void writeCombinedData(const std::string& newName) {
  if (demoDataWrite(demoFilePath(newName, ".DMD"), DMD_VERSION) != 1) pal_FatalAlert("Fatal", "Unexpected Err wcd008");
}

void writeCombinedWindow(const std::string& newName, int32_t width, int32_t height) {
  File window(std::fopen(demoFilePath(newName, ".DMW").c_str(), "wb"));
  if (!window) pal_FatalAlert("Exiting...", "Unexpected wcd016");
  for (int i = 0; i < 9; ++i) std::fprintf(window.get(), "0,0,%d,%d\r\n", width, height);
}

}  // namespace

void writeCombinedDemoData(const std::string& newName, int32_t width, int32_t height) {
  makeCombinedFolder(newName);
  writeCombinedWindow(newName, width, height);
  writeCombinedData(newName);
}
