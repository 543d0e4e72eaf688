// package_writer.cpp: the workers of "Simulation". Preparation writes the
// flow data, the plain line pool and the line tables as temporary pieces in
// the demo's folder; packaging encodes the pool, writes the header and puts
// the pieces with each system's unwrapper and Presenter into one wrapped
// file per system. Everything a package cannot hold (row widths, distinct
// rows, five-character numbers, 32-bit sizes) is refused with a reason
// before a wrapped file is begun. A wrapped file is written under a
// temporary name, flushed to the disk and renamed, so a failure never
// leaves a half-written file under its final name. No window calls and no
// shell: the screens show the reasons.
#include "studio/publishing/package_writer.h"

#include "pal/pal_codepage.h"
#include "studio/publishing/publishing_support.h"

#include "studio/capture/frame_cursor.h"

#include "studio/capture/demo_files.h"
#include "studio/publishing/line_pool.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

std::atomic<int> gPackagePhase{0};
std::atomic<int> gPackageProgress{0};
std::atomic<int> gPackageCancel{0};

namespace {

using publishing::Failure;
using publishing::FrameInstructions;
using publishing::frameName;
using publishing::makeFolder;
using publishing::quoted;
using publishing::refuse;

static_assert(int{PACKAGE_SMALL} == int{LINE_POOL_SMALL} && int{PACKAGE_FAST} == int{LINE_POOL_FAST},
              "one numbering of the choices");

constexpr const char* kHeadPiece = "tmpHeadDat.tmp";
constexpr const char* kLinesPiece = "tmpLinesDat.tmp";
constexpr const char* kStackPiece = "tmpStackDat.tmp";
constexpr const char* kComprPiece = "tmpStackCompr.tmp";
constexpr const char* kFlowPiece = "tmpFlowDat.tmp";
constexpr const char* kPieces[] = {kHeadPiece, kLinesPiece, kStackPiece, kComprPiece, kFlowPiece};

constexpr size_t kNameMax = 49;
constexpr size_t kNotesMax = PKG_DESCRIPTION_LEN - 1;
constexpr int64_t kMaxFrameHeight = 99999;
constexpr int32_t kInstrPerFrame = DEMO_INSTR_LIST_LEN - 1;
constexpr int64_t kNumberLow = -9999, kNumberHigh = 99999;
constexpr int64_t kNoPositionWritten = 99999;
constexpr int64_t kSplashBytes = PKG_BRANDING_PICTURE_AT + int64_t{PKG_SPLASH_W} * PKG_SPLASH_H * 3;
constexpr int64_t kMost32 = UINT32_MAX;
constexpr int64_t kHeaderFixed = 250;  // magic and directory
constexpr uint32_t kDirectorySetting = 30;
constexpr int kWrapValues = 18;
constexpr int kWrapPieces = 9;  // pieces with a progress step before them
constexpr unsigned char kEndMark = 255;

// The alerts' titles and codes.
constexpr const char* kPackageFail = "Package Fail";
constexpr const char* kCompressFail = "Compress Package Fail";
constexpr const char* kFlowCode = "PKG Error F002";
constexpr const char* kPoolCode = "PKG Error 002";
constexpr const char* kTablesCode = "PKG Error 002b";
constexpr const char* kHeaderCode = "Unexpected Err PKG008";
constexpr const char* kPiecesCode = "Unexpected Err PKG006lp";

// The files of one wrapped file: its unwrapper, piece 4 and piece 5.
struct TargetFiles {
  const char* system;
  const char* unwrapper;
  const char* piece4;
  const char* piece5;  // null: no piece 5
  const char* suffix;  // after the package name
};
constexpr TargetFiles kLinux = {"Linux", "UWL", "ZPL", nullptr, " Linux"};
constexpr TargetFiles kMac = {"MacOSX", "UWM", "ZPI", "ZPM", " MacOSX"};
constexpr TargetFiles kWindows = {"Windows", "UWW", "ZPW", nullptr, " Windows.exe"};

std::string piecePath(const char* piece) { return demoFolderPath(gCurrDemoName) + "/" + piece; }
std::string systemFilePath(const char* name) { return std::string(gProgramFolder) + "zPictomiraSystemFiles/" + name; }

void removePieces() { removePackagePiecesIn(demoFolderPath(gCurrDemoName)); }

// Size of the regular file at path; -1 when there is none.
int64_t fileSize(const std::string& path) {
  pal_FsInfo info;
  if (!pal_FsStat(path.c_str(), &info) || !info.file) return -1;
  return info.size;
}

// Progress 0 comes first, so that the new phase is never seen with the
// previous phase's 1000 (which the screens take for the end).
void beginPhase(int phase) {
  gPackageProgress = 0;
  gPackagePhase = phase;
}

int32_t frameCount() { return std::clamp(gFrameCount, 0, DEMO_FRAME_CAP); }
int32_t cropW() { return gCropSize[2]; }
int32_t cropH() { return gCropSize[3]; }

bool textRecord(int64_t index) { return index >= DEMO_FIRST_TEXT_REC && index < DEMO_TEXT_RECS; }

// How a frame is named in reasons: by its number in the demo.

// ---- Limits ---------------------------------------------------------------------

// Why frames of the crop's size cannot be packaged; empty when they can.
std::string frameSizeRefusal() {
  const int64_t w = cropW(), h = cropH();
  if (w < 1 || h < 1)
    return "The demo's frames have no size (" + std::to_string(w) + " x " + std::to_string(h) + " pixels)";
  if (w > LINE_POOL_MAX_WIDTH)
    return "The demo's frames are " + std::to_string(w) +
           " pixels wide; a package holds rows of at most 3,999 pixels";
  if (h > kMaxFrameHeight)
    return "The demo's frames are " + std::to_string(h) +
           " pixels high; a package holds frames of at most 99,999 rows";
  return {};
}

// Why the frame count cannot be packaged; empty when it can.
std::string frameCountRefusal() {
  const int64_t frames = frameCount();
  if (frames < 1) return "The demo has no frames";
  const int64_t tables = frames * cropH() * 3;
  if (tables > kMost32)
    return "The line tables of " + std::to_string(frames) + " frames would take " + std::to_string(tables) +
           " bytes, more than the 4,294,967,295 a package can describe";
  return {};
}

// ---- Flow pass ------------------------------------------------------------------

// Appends v as five characters ("00076", "-0005"); false when it does not fit.
bool putNumber(std::string& out, int64_t v) {
  if (v < kNumberLow || v > kNumberHigh) return false;
  char digits[24];
  if (v < 0) std::snprintf(digits, sizeof digits, "-%04lld", static_cast<long long>(-v));
  else std::snprintf(digits, sizeof digits, "%05lld", static_cast<long long>(v));
  out.append(digits, 5);
  return true;
}

std::string tooLarge(int32_t f, const std::string& what, int64_t v) {
  return "In " + frameName(f) + ", " + what + " is " + std::to_string(v) +
         ", which a package cannot hold (its numbers run from -9999 to 99999)";
}

// A name or note for the flow data; a byte 254 inside would end the field
// early, so it becomes a space.
std::string flowText(int64_t index) {
  char text[DEMO_TEXT_LEN] = "";
  if (!textRecord(index) || demoGetTextValue(static_cast<int32_t>(index), text) != 0) return {};
  std::string s(text);
  std::replace(s.begin(), s.end(), static_cast<char>(PKG_FIELD_END), ' ');
  return s;
}

bool isRectangle(int32_t type) {
  return type == INSTR_LEFT || type == INSTR_RIGHT || type == INSTR_MOVE_IN || type == INSTR_MOVE_OUT;
}

// The six numbers of an instruction of frame f: the target (-1 written as
// f + 1), the type, and the rectangle relative to the crop or the first
// value (negative as 0) and three zeros.
int putInstruction(std::string& out, int32_t f, int n, const InstrRec& in, Failure* why) {
  const std::string which = "instruction " + std::to_string(n + 1);
  const int64_t target = in.target == -1 ? int64_t{f} + 1 : in.target;
  int64_t v[4] = {std::max<int64_t>(in.v[0], 0), 0, 0, 0};
  if (isRectangle(in.type))
    for (int k = 0; k < 4; ++k) v[k] = int64_t{in.v[k]} - gCropSize[k % 2];
  if (!putNumber(out, target)) return refuse(why, tooLarge(f, "the target of " + which, target));
  if (!putNumber(out, in.type)) return refuse(why, tooLarge(f, "the type of " + which, in.type));
  for (int k = 0; k < 4; ++k)
    if (!putNumber(out, v[k])) return refuse(why, tooLarge(f, "value " + std::to_string(k + 1) + " of " + which, v[k]));
  out += static_cast<char>(PKG_FIELD_END);
  return 1;
}

// The flow data of frame f with its instructions (indexes into gInstrData).
int flowOfFrame(std::string& out, int32_t f, const int32_t* instrs, int32_t count, Failure* why) {
  const FrameRec& fr = gFrameData[f];
  if (count > kInstrPerFrame)
    return refuse(why, "In " + frameName(f) + ", " + std::to_string(count) +
                           " instructions are more than the 498 a frame of a package can have");
  out += flowText(fr.nameText);
  out += static_cast<char>(PKG_FIELD_END);
  out += flowText(fr.noteText);
  out += static_cast<char>(PKG_FIELD_END);
  const int64_t x = fr.noteX == DEMO_NO_POSITION ? kNoPositionWritten : fr.noteX;
  const int64_t y = fr.noteY == DEMO_NO_POSITION ? kNoPositionWritten : fr.noteY;
  if (!putNumber(out, x)) return refuse(why, tooLarge(f, "the note's x position", x));
  if (!putNumber(out, y)) return refuse(why, tooLarge(f, "the note's y position", y));
  putNumber(out, count);
  out += static_cast<char>(PKG_FIELD_END);
  for (int32_t k = 0; k < count; ++k)
    if (putInstruction(out, f, k, gInstrData[instrs[k]], why) != 1) return -1;
  return 1;
}

// Writes "tmpFlowDat.tmp": 254, then every frame's name, note, note
// position and instructions. Instructions owned by no frame are left out.
// 1, 0 when the program is ending, -1.
int writeFlow(Failure* why) {
  const int32_t frames = frameCount();
  const FrameInstructions instrs(frames);

  PieceFile out;
  if (!out.create(piecePath(kFlowPiece))) return refuse(why, kPackageFail, kFlowCode, out.error());
  std::string bytes(1, static_cast<char>(PKG_FIELD_END));
  for (int32_t f = 0; f < frames; ++f) {
    if (pal_StopRequested()) return 0;
    if (flowOfFrame(bytes, f, instrs.list(f), instrs.count(f), why) != 1) return -1;
    if (!out.write(bytes.data(), bytes.size())) return refuse(why, kPackageFail, kFlowCode, out.error());
    bytes.clear();
    gPackageProgress = static_cast<int>(int64_t{f} * 1000 / frames);
  }
  if (!out.close(false)) return refuse(why, kPackageFail, kFlowCode, out.error());
  gPackageProgress = 1000;
  return 1;
}

// ---- Row pass -------------------------------------------------------------------

// Rebuilds every frame from the recording and writes each row's line
// number to "tmpLinesDat.tmp", new rows to "tmpStackDat.tmp". 1, 0 when
// cancelled or the program is ending, -1.
int rowPass(Failure* why) {
  const int32_t frames = frameCount(), w = cropW(), h = cropH();
  const std::string recording = demoFilePath(gCurrDemoName, ".DMR");
  const size_t rowBytes = static_cast<size_t>(w) * 3;
  LinePool pool;
  PieceFile lines;
  if (!pool.create(piecePath(kStackPiece), w)) return refuse(why, kPackageFail, kPoolCode, pool.error());
  if (!lines.create(piecePath(kLinesPiece))) return refuse(why, kPackageFail, kTablesCode, lines.error());
  // Frames come in recording order: one forward pass over the recording
  // serves them all, however far apart its key records lie.
  FrameCursor cursor(recording.c_str(), gCropSize);
  if (!cursor.ok()) return refuse(why, "The demo's recording " + quoted(recording) + " cannot be read");
  std::vector<int64_t> previous(static_cast<size_t>(h), -1);  // line numbers of the frame before
  for (int32_t f = 0; f < frames; ++f) {
    const FrameRec& fr = gFrameData[f];
    if (!cursor.seek(fr.imageRefA, fr.imageRefB))
      return refuse(why, "The picture of " + frameName(f) + " cannot be read from " + quoted(recording));
    const unsigned char* image = cursor.pixels();
    for (int32_t y = 0; y < h; ++y) {
      const int64_t line = pool.lineOf(image + rowBytes * static_cast<size_t>(y), previous[y]);
      if (line == -1)
        return refuse(why, "The demo's frames hold more than 299,999 different pixel rows, which a package cannot");
      if (line < 0) return refuse(why, kPackageFail, kPoolCode, pool.error());
      previous[y] = line;
      lines.put24(static_cast<uint32_t>(line));
    }
    if (!lines.ok()) return refuse(why, kPackageFail, kTablesCode, lines.error());
    if (f % 4 == 0)
      gPackageProgress = static_cast<int>(std::max<int64_t>(1, (int64_t{f} * 1000 / frames * f) / frames));
    if (gPackageCancel != 0 || pal_StopRequested()) return 0;  // preparePackage clears the flag
  }
  if (!pool.close(false)) return refuse(why, kPackageFail, kPoolCode, pool.error());
  if (!lines.close(false)) return refuse(why, kPackageFail, kTablesCode, lines.error());
  gPackageProgress = 1000;
  return 1;
}

// ---- Header ---------------------------------------------------------------------

struct Directory {
  int64_t a[PKG_DIR_ENTRIES] = {};
  int64_t b[PKG_DIR_ENTRIES] = {};
};

// Entry 18's home frame: the first frame whose frameId is header value 2.
int32_t homeFrameIndex() {
  if (gHeaderCount < 3) return 0;
  for (int32_t f = 0; f < frameCount(); ++f)
    if (gFrameData[f].frameId == gHeaderData[2]) return f;
  return 0;
}

// The packaging date: (year - 2000) * 65536 + month * 256 + day, local time.
int64_t packageDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  pal_LocalTime(now, &local);
  return int64_t{local.tm_year + 1900 - 2000} * 65536 + (local.tm_mon + 1) * 256 + local.tm_mday;
}

// The directory of the package, from the sizes of its pieces.
Directory directoryOf(const PackageSettings& s, int64_t branding, int64_t lines, int64_t pool, int64_t flow) {
  const int64_t name = static_cast<int64_t>(s.name.size()), notes = static_cast<int64_t>(s.notes.size());
  Directory d;
  d.a[0] = PKG_DIR_ENTRIES;
  d.b[0] = 240 + name + notes + branding;
  d.a[1] = kHeaderFixed + name + notes + branding;
  d.b[1] = lines;
  d.a[2] = d.a[1] + d.b[1];
  d.b[2] = pool;
  d.a[3] = d.a[2] + d.b[2];
  d.b[3] = flow;
  d.a[11] = kHeaderFixed;
  d.a[12] = packageDate();
  d.a[PKG_E_TITLE] = kHeaderFixed;
  d.b[PKG_E_TITLE] = name;
  d.a[PKG_E_DESCRIPTION] = kHeaderFixed + name;
  d.b[PKG_E_DESCRIPTION] = notes;
  d.a[PKG_E_FRAMES] = frameCount();
  d.b[PKG_E_FRAMES] = homeFrameIndex();
  d.a[PKG_E_SIZE] = cropW();
  d.b[PKG_E_SIZE] = cropH();
  d.a[PKG_E_WINDOW] = gHeaderCount > 3 && gHeaderData[3] != 0 ? 1 : 0;
  d.b[PKG_E_WINDOW] = kDirectorySetting;
  d.a[PKG_E_MODES] = d.b[PKG_E_MODES] = s.redBoxes ? 1 : 2;
  d.a[22] = 1;
  d.a[PKG_E_BRANDING] = kHeaderFixed + name + notes;
  d.b[PKG_E_BRANDING] = branding;
  return d;
}

// Writes "tmpHeadDat.tmp": magic, directory, title, description, branding.
int writeHeader(const PackageSettings& s, const Directory& d, Failure* why) {
  PieceFile out;
  if (out.create(piecePath(kHeadPiece))) {
    out.write("PMpkg_v04_", 10);
    for (int e = 0; e < PKG_DIR_ENTRIES; ++e) {
      out.put32(static_cast<uint32_t>(d.a[e]));
      out.put32(static_cast<uint32_t>(d.b[e]));
    }
    out.write(s.name.data(), s.name.size());
    out.write(s.notes.data(), s.notes.size());
    out.append(systemFilePath("GBA"), d.b[PKG_E_BRANDING]);
  }
  if (!out.close(false)) return refuse(why, kPackageFail, kHeaderCode, out.error());
  gPackageProgress = 1000;
  return 1;
}

// ---- Wrapped files ---------------------------------------------------------------

// The first of t's system files that is missing or empty; null when none is.
const char* missingFile(const TargetFiles& t) {
  for (const char* name : {t.unwrapper, t.piece4, t.piece5})
    if (name != nullptr && fileSize(systemFilePath(name)) < 1) return name;
  return nullptr;
}

// A wrapped file that cannot be written: the failure, also as a trace line.
int wrapperFailure(Failure* why, const char* title, const std::string& file, const std::string& reason) {
  pal_Trace("%s: writing '%s': %s", title, file.c_str(), reason.c_str());
  std::fflush(stdout);
  return refuse(why, title, "", "Writing " + quoted(file) + " failed: " + reason);
}

// Writes the wrapped file of target t; progress runs from base over span.
// 1, 0 when the program is ending (the unfinished file is removed), -1.
int writeWrapped(const TargetFiles& t, const PackageSettings& s, int64_t base, int64_t span, Failure* why) {
  const std::string folder = packageFolderPath(s.name);
  const std::string file = s.name + t.suffix, disk = pal_SystemText(file);
  const std::string temp = publishing::unfinishedPath(folder, disk);
  std::string paths[kWrapPieces] = {piecePath(kHeadPiece), piecePath(kLinesPiece), piecePath(kComprPiece),
                                    piecePath(kFlowPiece), systemFilePath(t.piece4)};
  if (t.piece5 != nullptr) paths[5] = systemFilePath(t.piece5);
  int64_t sizes[kWrapPieces] = {};
  for (int i = 0; i < kWrapPieces; ++i) {
    if (paths[i].empty()) continue;
    sizes[i] = fileSize(paths[i]);
    if (sizes[i] < 0)
      return refuse(why, kPackageFail, i < 4 ? kPiecesCode : "",
                    "Writing " + quoted(file) + ": " + quoted(paths[i]) + " is missing");
    if (sizes[i] > kMost32)
      return refuse(why, "Writing " + quoted(file) + ": " + quoted(paths[i]) + " is " + std::to_string(sizes[i]) +
                             " bytes, more than the 4,294,967,295 a wrapped file can carry");
  }
  const std::string unwrapper = systemFilePath(t.unwrapper);
  const int64_t unwrapperSize = fileSize(unwrapper);
  if (unwrapperSize < 0) return refuse(why, "Writing " + quoted(file) + ": " + quoted(unwrapper) + " is missing");

  PieceFile out;
  if (!out.create(temp)) return wrapperFailure(why, "WrapperWriteFail", file, out.error());
  {
    out.append(unwrapper, unwrapperSize);
    unsigned char marker[PKG_MARKER_LEN];
    for (int i = 0; i < PKG_MARKER_LEN; ++i) marker[i] = static_cast<unsigned char>(i);
    out.write(marker, sizeof marker);
    out.write("PMwrap_v01", 10);
    uint32_t values[kWrapValues] = {};
    for (int i = 0; i < kWrapPieces; ++i) values[i] = static_cast<uint32_t>(sizes[i]);
    values[14] = static_cast<uint32_t>(cropW());
    values[15] = static_cast<uint32_t>(cropH());
    for (uint32_t v : values) out.put32(v);
    for (int i = 0; i < kWrapPieces && !pal_StopRequested(); ++i) {
      gPackageProgress = static_cast<int>(base + span * i * 100 / 1000);
      if (sizes[i] > 0) out.append(paths[i], sizes[i]);
    }
    out.write(&kEndMark, 1);
    out.write(s.name.data(), s.name.size());
    out.chmod(pal_ProgramFileMode());
  }
  if (pal_StopRequested()) {
    out.close(false);
    std::remove(temp.c_str());
    return 0;
  }
  if (!out.close(true)) {
    std::remove(temp.c_str());
    return wrapperFailure(why, "WrapperAppendFail", file, out.error());
  }
  if (pal_FsRename(temp.c_str(), (folder + disk).c_str()) != 0) {
    const std::string reason = quoted(temp) + " cannot be renamed: " + std::strerror(errno);
    std::remove(temp.c_str());
    return refuse(why, kPackageFail, "", "Writing " + quoted(file) + " failed: " + reason);
  }
  return 1;
}

// ---- Packaging --------------------------------------------------------------------

// Why the settings cannot be packaged; empty when they can.
std::string settingsRefusal(const PackageSettings& s) {
  const int code = demoNameCode(s.name.c_str());
  if (code != 1) return std::string("The package name is not usable: ") + demoNameMessage(code);
  if (s.name.size() > kNameMax)
    return "The package name has " + std::to_string(s.name.size()) + " characters; at most 49 are allowed";
  if (s.notes.size() > kNotesMax)
    return "The splash screen notes have " + std::to_string(s.notes.size()) + " characters; at most 9,998 are allowed";
  if (s.type != PACKAGE_SMALL && s.type != PACKAGE_FAST) return "Unknown package type " + std::to_string(s.type);
  return {};
}

// Why no wrapped file can be written; empty when one can.
std::string targetsRefusal(const std::vector<WrapTarget>& targets) {
  std::string missing;
  for (const WrapTarget& t : targets) {
    if (t.possible) return {};
    missing += (missing.empty() ? "" : ", ") + t.missing + " (" + t.system + ")";
  }
  return "No simulation can be written: the system folder " + quoted(systemFilePath("")) + " lacks " + missing;
}

bool possible(const std::vector<WrapTarget>& targets, const char* system) {
  for (const WrapTarget& t : targets)
    if (std::strcmp(t.system, system) == 0) return t.possible;
  return false;
}

// Phases 1 to 4 of packaging: 1, 0 when the program is ending, -1.
int package(const PackageSettings& s, Failure* why) {
  beginPhase(1);
  std::string refusal = settingsRefusal(s);
  if (!refusal.empty()) return refuse(why, refusal);
  const std::string gba = systemFilePath("GBA");
  const int64_t branding = fileSize(gba);
  if (branding < 0)
    return refuse(why, "No GBA", "Missing Branding File", "The system file " + quoted(gba) + " is missing");
  if (branding < kSplashBytes)
    return refuse(why, "Bad GBA", "Bad Branding File",
                  "The system file " + quoted(gba) + " has " + std::to_string(branding) +
                      " bytes, fewer than the 1,620,180 of its values and splash picture");
  const std::vector<WrapTarget> targets = wrapTargets();
  refusal = targetsRefusal(targets);
  if (refusal.empty()) refusal = frameSizeRefusal();
  if (refusal.empty()) refusal = frameCountRefusal();
  if (!refusal.empty()) return refuse(why, refusal);
  const int64_t lines = fileSize(piecePath(kLinesPiece)), pool = fileSize(piecePath(kStackPiece));
  const int64_t flow = fileSize(piecePath(kFlowPiece)), rowBytes = int64_t{cropW()} * 3;
  if (lines != int64_t{frameCount()} * cropH() * 3 || pool < rowBytes || pool % rowBytes != 0 || flow < 1)
    return refuse(why, kPackageFail, kPiecesCode,
                  "The package pieces in " + quoted(demoFolderPath(gCurrDemoName)) +
                      " are missing or do not fit the demo; the package must be prepared again");
  const Directory d = directoryOf(s, branding, lines, pool, flow);
  if (d.a[3] + d.b[3] > kMost32)
    return refuse(why, "The package would be " + std::to_string(d.a[3] + d.b[3]) +
                           " bytes, more than the 4,294,967,295 its directory can describe");

  std::string reason;
  const int encoded = linePoolEncodeFile(piecePath(kStackPiece), piecePath(kComprPiece), cropW(), cropH(), s.type,
                                         &gPackageProgress, &reason);
  if (encoded != 1)
    return encoded == 0 ? 0
                        : refuse(why, kCompressFail, encoded == -1 ? "Compr PKG Error 002" : "Compr PKG Error 004", reason);
  if (pal_StopRequested()) return 0;
  beginPhase(2);
  if (writeHeader(s, d, why) != 1) return -1;
  if (makeFolder(libraryFolderPath() + "Demo_Packages", why) != 1 ||
      makeFolder(packageFolderPath(s.name), why) != 1)
    return -1;
  beginPhase(3);
  int result = 1;
  if (possible(targets, kMac.system)) result = writeWrapped(kMac, s, 0, 1000, why);
  if (result != 1) return result;
  gPackageProgress = 1000;
  beginPhase(4);
  const bool onLinux = possible(targets, kLinux.system), windows = possible(targets, kWindows.system);
  const int64_t span = onLinux && windows ? 500 : 1000;
  if (onLinux) result = writeWrapped(kLinux, s, 0, span, why);
  if (result == 1 && windows) result = writeWrapped(kWindows, s, onLinux ? span : 0, span, why);
  if (result != 1) return result;
  gPackageProgress = 1000;
  return 1;
}

}  // namespace

std::vector<WrapTarget> wrapTargets() {
  std::vector<WrapTarget> out;
  for (const TargetFiles* t : {&kLinux, &kMac, &kWindows}) {
    const char* missing = missingFile(*t);
    out.push_back({t->system, missing == nullptr, missing == nullptr ? "" : missing});
  }
  return out;
}

void removePackagePieces() { removePieces(); }

void removePackagePiecesIn(const std::string& demoFolder) {
  for (const char* piece : kPieces) std::remove((demoFolder + "/" + piece).c_str());
}

int removeUnfinishedPackages(const std::string& folder, const std::string& name) {
  int removed = 0;
  for (const TargetFiles* t : {&kLinux, &kMac, &kWindows})
    if (std::remove(publishing::unfinishedPath(folder, name + t->suffix).c_str()) == 0) ++removed;
  return removed;
}

std::string packageFolderPath(const std::string& name) {
  return libraryFolderPath() + "Demo_Packages/" + pal_SystemText(name) + "/";
}

int preparePackage(Failure* why) {
  Failure ignored;
  if (why == nullptr) why = &ignored;
  *why = Failure{kPackageFail, "", ""};
  beginPhase(1);
  std::string refusal = frameSizeRefusal();
  if (!refusal.empty()) return refuse(why, refusal);
  scrubUnreachableFrames();
  refusal = frameCountRefusal();
  if (!refusal.empty()) return refuse(why, refusal);
  removePieces();  // whatever an earlier packaging left behind
  beginPhase(2);
  int result = writeFlow(why);
  if (result == 1) {
    beginPhase(3);
    result = rowPass(why);
  }
  if (result != 1) removePieces();
  if (result == 0) gPackageCancel = 0;
  return result;
}

int writePackages(const PackageSettings& settings, Failure* why) {
  Failure ignored;
  if (why == nullptr) why = &ignored;
  *why = Failure{kPackageFail, "", ""};
  const int result = package(settings, why);
  // The pieces are of no use after packaging, whatever its outcome.
  if (result == 1) beginPhase(5);
  removePieces();
  if (result == 1) gPackageProgress = 1000;
  return result;
}
