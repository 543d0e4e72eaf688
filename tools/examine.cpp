// examine.cpp: the examiner's readings of a demo data file, a recording, a
// package and a wrapped file, printed as readable text with what is wrong
// with a damaged one. A wrapped file's package is rebuilt in a temporary
// file (the line pool expanded row by row) and examined as a package.
#include "tools/examine.h"

#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"
#include "unwrapper/wrap_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string gSavePackage;  // where a wrapped file's rebuilt package is kept; empty: nowhere

std::string escaped(const char* text) {
  std::string out;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p == '\r') out += "\\r";
    else if (*p == '\n') out += "\\n";
    else if (*p < 32 || *p >= 127) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", *p);
      out += hex;
    } else {
      out += static_cast<char>(*p);
    }
  }
  return out;
}

// A text record shown with its index, or why it holds no text.
std::string textRecord(int64_t index) {
  if (index < DEMO_FIRST_TEXT_REC || index > DEMO_TEXT_RECS) return "(none: " + std::to_string(index) + ")";
  char out[DEMO_TEXT_LEN];
  if (demoGetTextValue(static_cast<int32_t>(index), out) != 0) return "(record " + std::to_string(index) + " unused)";
  return "\"" + escaped(out) + "\"";
}

std::string position(int64_t v) { return v == DEMO_NO_POSITION ? "default" : std::to_string(v); }

void printInstruction(int32_t i) {
  const InstrRec& r = gInstrData[i];
  const char type = r.type >= 32 && r.type < 127 ? static_cast<char>(r.type) : '?';
  std::printf("    instruction %d: %c -> %s", i, type, r.target == -1 ? "next" : std::to_string(r.target).c_str());
  switch (r.type) {
    case 'T': std::printf(" after %d ms\n", r.v[0]); break;
    case 'K': std::printf(r.v[0] == 0 ? " on any key\n" : " on key %d\n", r.v[0]); break;
    case 'L': case 'R': case 'U': case 'M': case 'E':
      std::printf(" rectangle %d,%d - %d,%d\n", r.v[0], r.v[1], r.v[2], r.v[3]);
      break;
    default: std::printf(" unknown type %d (%d, %d, %d, %d)\n", r.type, r.v[0], r.v[1], r.v[2], r.v[3]);
  }
  if (r.target != -1 && (r.target < 0 || r.target >= gFrameCount))
    std::printf("      note: target %d is not a frame of this demo\n", r.target);
}

void printFrames(bool withImageRefs) {
  std::vector<std::vector<int32_t>> byFrame(static_cast<size_t>(gFrameCount));
  std::vector<int32_t> strays;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    const int32_t f = gInstrData[i].frame;
    if (f >= 0 && f < gFrameCount) byFrame[f].push_back(i);
    else strays.push_back(i);
  }
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const FrameRec& r = gFrameData[f];
    std::printf("  frame %d: name %s\n", f, textRecord(r.nameText).c_str());
    if (withImageRefs)
      std::printf("    id %lld, key record at %lld, own record at %lld\n", static_cast<long long>(r.frameId),
                  static_cast<long long>(r.imageRefA), static_cast<long long>(r.imageRefB));
    std::printf("    note %s at %s, %s\n", textRecord(r.noteText).c_str(), position(r.noteX).c_str(),
                position(r.noteY).c_str());
    for (int32_t i : byFrame[f]) printInstruction(i);
  }
  for (int32_t i : strays) {
    std::printf("  instruction %d belongs to frame %d, which does not exist:\n", i, gInstrData[i].frame);
    printInstruction(i);
  }
}

int inspectDemoData(const std::string& path) {
  demoInitDatastores();
  std::string why;
  const int result = demoDataRead(path, &why);
  std::printf("Demo data file %s\n", path.c_str());
  if (result == 1) {
    std::printf("  header values:");
    for (int i = 0; i < gHeaderCount; ++i) std::printf(" %d", gHeaderData[i]);
    std::printf("\n");
    if (gHeaderCount > 0) std::printf("  crop text %s\n", textRecord(gHeaderData[0]).c_str());
    std::printf("  %d frames, %d instructions, text records 9 to %d\n", gFrameCount, gInstrCount,
                gHighestUsedTextRec - 1);
    printFrames(true);
    return 0;
  }
  std::printf("DAMAGED (result %d): %s\n", result, why.c_str());
  return 1;
}

int inspectRecording(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  std::printf("Recording file %s\n", path.c_str());
  if (f == nullptr) {
    std::printf("DAMAGED: the file cannot be opened\n");
    return 1;
  }
  int64_t at = 0, records = 0, keys = 0;
  RecordLine r;
  int status = 0;
  for (int64_t next; (next = recReadRecord(f, at, &r, nullptr)) != -1; at = next, ++records) {
    if (next == -2 || next == -3) {
      std::printf("DAMAGED: record %lld at byte %lld %s\n", static_cast<long long>(records), static_cast<long long>(at),
                  next == -2 ? "has a bad line (fewer than eleven fields, a field that is not a number, or a "
                               "screen, rectangle, time or click flag out of range)"
                             : "has its pixels cut short by the end of the file");
      status = 1;
      break;
    }
    if (next <= at) {  // a reader that does not move on would loop forever
      std::printf("DAMAGED: record %lld at byte %lld does not advance\n", static_cast<long long>(records),
                  static_cast<long long>(at));
      status = 1;
      break;
    }
    const bool key = r.x == 0 && r.y == 0 && r.w == r.W && r.h == r.H;
    keys += key;
    std::printf("  #%lld at %lld: %s %lldx%lld screen, rect %lld,%lld %lldx%lld, %lld ms, mouse %lld,%lld%s\n",
                static_cast<long long>(records), static_cast<long long>(at), key ? "key  " : "patch",
                static_cast<long long>(r.W), static_cast<long long>(r.H), static_cast<long long>(r.x),
                static_cast<long long>(r.y), static_cast<long long>(r.w), static_cast<long long>(r.h),
                static_cast<long long>(r.time), static_cast<long long>(r.mouseX), static_cast<long long>(r.mouseY),
                r.click ? ", click" : "");
  }
  std::fclose(f);
  std::printf("  %lld records, %lld key frames\n", static_cast<long long>(records), static_cast<long long>(keys));
  if (status == 0 && records > 0 && keys == 0) std::printf("  note: no key frame, so no frame can be rebuilt\n");
  return status;
}

// Checks every frame's line numbers against the pool; the first bad one is reported.
bool checkLineTables(const std::string& path) {
  pal_File* file = pal_FileOpenRead(path.c_str());
  const int64_t h = gCropSize[3];
  std::vector<unsigned char> table(static_cast<size_t>(h) * 3);
  bool ok = true;
  for (int32_t f = 0; f < gFrameCount && ok; ++f) {
    const int64_t at = gDemoPackageOffsetBytes[PKG_OFF_LINE_TABLES] + f * h * 3;
    if (pal_FileReadAt(file, at, table.data(), h * 3) != h * 3) {
      std::printf("DAMAGED: the line table of frame %d is cut short\n", f);
      ok = false;
    }
    for (int64_t y = 0; y < h && ok; ++y) {
      const int64_t line = (table[y * 3] << 16) | (table[y * 3 + 1] << 8) | table[y * 3 + 2];
      if (line >= gDemoPackageLineCount) {
        std::printf("DAMAGED: row %lld of frame %d names line %lld, but the pool holds %lld lines\n",
                    static_cast<long long>(y), f, static_cast<long long>(line),
                    static_cast<long long>(gDemoPackageLineCount));
        ok = false;
      }
    }
  }
  pal_FileClose(file);
  return ok;
}

int inspectPackage(const std::string& path) {
  std::printf("Package in %s\n", path.c_str());
  pal_File* file = pal_FileOpenRead(path.c_str());
  if (file == nullptr) {
    std::printf("DAMAGED: the file cannot be opened\n");
    return 1;
  }
  char magic[10] = {};
  pal_FileReadAt(file, 0, magic, 9);
  int64_t start = 0;
  if (std::strcmp(magic, "PMpkg_v04") != 0) {
    start = demoFindAttachedPackage(path.c_str());
    if (start > 0) pal_FileReadAt(file, start, magic, 9);
  }
  unsigned char dir[240] = {};
  const int64_t dirBytes = pal_FileReadAt(file, start + 10, dir, sizeof dir);
  const int64_t size = pal_FileSize(file);
  pal_FileClose(file);
  if (std::strcmp(magic, "PMpkg_v04") != 0) {
    std::printf("DAMAGED: no package magic \"PMpkg_v04\" at the start, and no attached package behind a marker\n");
    std::printf("  the Presenter would say: Bad Package format in '%s'\n", path.c_str());
    return 1;
  }
  std::printf("  %s package starting at byte %lld of %lld\n", start ? "attached" : "stand-alone",
              static_cast<long long>(start), static_cast<long long>(size));
  std::printf("  directory (non-zero entries):\n");
  for (int i = 0; i < PKG_DIR_ENTRIES && (i + 1) * 8 <= dirBytes; ++i) {
    const unsigned char* e = dir + 8 * i;
    const uint32_t a = (uint32_t{e[0]} << 24) | (e[1] << 16) | (e[2] << 8) | e[3];
    const uint32_t b = (uint32_t{e[4]} << 24) | (e[5] << 16) | (e[6] << 8) | e[7];
    if (a != 0 || b != 0) std::printf("    entry %2d: %10u %10u\n", i, a, b);
  }
  demoInitDatastores();
  PkgProblem problem;
  const bool read = demoReadPackage(path.c_str(), start, &problem);
  std::printf("  title \"%s\"\n  description \"%s\"\n", escaped(gDemoPackageStrings.title).c_str(),
              escaped(gDemoPackageStrings.description).c_str());
  const int32_t date = gDemoPackageVals[PKG_VAL_DATE];
  std::printf("  packaged %04d-%02d-%02d, %d frames of %d x %d, home frame %d\n", 2000 + (date >> 16),
              (date >> 8) & 0xFF, date & 0xFF, gFrameCount, gCropSize[2], gCropSize[3],
              gDemoPackageVals[PKG_VAL_HOME_FRAME]);
  std::printf("  window %s corners, red boxes %d, notes %d, %lld distinct rows in the pool\n",
              gPlayerFlags.windowMode ? "rounded" : "square", gPlayerFlags.redBoxMode, gPlayerFlags.noteMode,
              static_cast<long long>(gDemoPackageLineCount));
  if (!read) {
    std::printf("DAMAGED: %s\n  the Presenter would say: %s / %s\n", problem.detail.c_str(), problem.title.c_str(),
                problem.text.c_str());
    return 1;
  }
  printFrames(false);
  return checkLineTables(path) ? 0 : 1;
}

// ---- Wrapped files ---------------------------------------------------------------

const char* pieceName(int piece) {
  static const char* kNames[WRAP_PIECES] = {"package head",      "line tables", "line pool, compressed",
                                            "flow data",         "Presenter program (Mac: icon)",
                                            "Mac Presenter program"};
  return kNames[piece] != nullptr ? kNames[piece] : "unused";
}

// Where the piece holds the marker (from the piece's start), or -1.
int64_t markerInPiece(int fd, int64_t at, int64_t size) {
  std::vector<unsigned char> buf(65536);
  int expected = 0;
  for (int64_t done = 0; done < size;) {
    const ssize_t got = ::pread(fd, buf.data(), static_cast<size_t>(std::min<int64_t>(size - done, 65536)), at + done);
    if (got <= 0) return -1;
    for (ssize_t i = 0; i < got; ++i) {
      if (buf[i] == expected) {
        if (++expected == WRAP_MARKER_LEN) return done + i + 1 - WRAP_MARKER_LEN;
      } else {
        expected = buf[i] == 0 ? 1 : 0;
      }
    }
    done += got;
  }
  return -1;
}

void printLayout(const WrapLayout& l) {
  std::printf("  unwrapper program of %lld bytes; payload from byte %lld of %lld\n",
              static_cast<long long>(l.start - WRAP_MARKER_LEN), static_cast<long long>(l.start),
              static_cast<long long>(l.fileSize));
  std::printf("  value table:");
  for (int i = 0; i < WRAP_VALUES; ++i) std::printf("%s%u", i % 6 == 0 ? "\n   " : " ", l.values[i]);
  std::printf("\n  frames of %u x %u pixels\n", l.values[WRAP_VAL_WIDTH], l.values[WRAP_VAL_HEIGHT]);
  for (int i = 0; i < WRAP_PIECES; ++i)
    if (l.values[i] != 0)
      std::printf("    piece %d (%s): %u bytes at byte %lld\n", i, pieceName(i), l.values[i],
                  static_cast<long long>(l.pieceAt[i]));
  if (l.endMarkAt >= 0)
    std::printf("  end mark at byte %lld, package name \"%s\" (%zu bytes)\n", static_cast<long long>(l.endMarkAt),
                escaped(l.name).c_str(), std::strlen(l.name));
}

// What keeps the unwrapper from writing a sound Presenter, or empty.
std::string wrapLayoutProblem(int fd, const WrapLayout& l, int fault) {
  if (fault != WRAP_OK) return wrapFaultText(fault);
  if (l.piecesEnd != l.endMarkAt)
    return "the pieces end at byte " + std::to_string(l.piecesEnd) + ", but the end mark stands at byte " +
           std::to_string(l.endMarkAt);
  for (int i = WRAP_PIECE_HEAD; i <= WRAP_PIECE_PRESENTER; ++i)
    if (l.values[i] == 0)
      return "piece " + std::to_string(i) + " (" + pieceName(i) + ") is absent: the unwrapper says No File to Unwrap";
  const int64_t marker = markerInPiece(fd, l.pieceAt[WRAP_PIECE_PRESENTER], l.values[WRAP_PIECE_PRESENTER]);
  if (marker >= 0)
    return "the Presenter program holds the marker at its byte " + std::to_string(marker) +
           ": it would take that for the start of its package";
  return {};
}

// Rebuilds the package from pieces 0-3 into out; empty, or what went wrong.
std::string rebuildPackage(int in, int out, const WrapLayout& l) {
  for (int i = WRAP_PIECE_HEAD; i <= WRAP_PIECE_FLOW; ++i) {
    if (::lseek(in, l.pieceAt[i], SEEK_SET) != l.pieceAt[i]) return "piece " + std::to_string(i) + " cannot be read";
    const int fault = i == WRAP_PIECE_POOL
                          ? wrapExpand(in, out, l.values[i], static_cast<int32_t>(std::min<uint32_t>(
                                                                 l.values[WRAP_VAL_WIDTH], INT32_MAX)),
                                       nullptr)
                          : wrapCopy(in, out, l.values[i], nullptr);
    if (fault != WRAP_OK) return std::string("piece ") + std::to_string(i) + " (" + pieceName(i) + "): " +
                                 wrapFaultText(fault);
  }
  return {};
}

int inspectWrapped(const std::string& path) {
  std::printf("Wrapped file %s\n", path.c_str());
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    std::printf("DAMAGED: the file cannot be opened\n");
    return 1;
  }
  WrapLayout layout;
  const int fault = wrapReadLayout(in, &layout);
  if (fault == WRAP_NO_MARKER || fault == WRAP_BAD_MAGIC || fault == WRAP_SHORT_TABLE) {
    ::close(in);
    std::printf("DAMAGED: %s\n", wrapFaultText(fault));
    return 1;
  }
  printLayout(layout);
  std::string problem = wrapLayoutProblem(in, layout, fault);
  if (!problem.empty()) {
    ::close(in);
    std::printf("DAMAGED: %s\n", problem.c_str());
    return 1;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string rebuilt = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/pictomira-examine-XXXXXX";
  const int out = ::mkstemp(&rebuilt[0]);
  problem = out < 0 ? "no temporary file for the rebuilt package" : rebuildPackage(in, out, layout);
  const int64_t pool = layout.values[WRAP_PIECE_POOL];
  const int64_t size = out < 0 ? 0 : ::lseek(out, 0, SEEK_END);
  ::close(in);
  if (out >= 0) ::close(out);
  if (!problem.empty()) {
    ::unlink(rebuilt.c_str());
    std::printf("DAMAGED: %s\n", problem.c_str());
    return 1;
  }
  const int64_t poolBytes = size - layout.values[0] - layout.values[1] - layout.values[3];
  std::printf("  line pool: %lld compressed bytes expand to %lld bytes (%lld rows)\n", static_cast<long long>(pool),
              static_cast<long long>(poolBytes),
              static_cast<long long>(poolBytes / (3 * std::max<int64_t>(1, layout.values[WRAP_VAL_WIDTH]))));
  std::printf("  the rebuilt package (%lld bytes):\n", static_cast<long long>(size));
  const int status = inspectPackage(rebuilt);
  if (!gSavePackage.empty() && std::rename(rebuilt.c_str(), gSavePackage.c_str()) == 0) {
    std::printf("  the rebuilt package is kept as %s\n", gSavePackage.c_str());
    return status;
  }
  if (!gSavePackage.empty()) std::printf("  the rebuilt package cannot be kept as %s\n", gSavePackage.c_str());
  ::unlink(rebuilt.c_str());
  return gSavePackage.empty() ? status : 1;
}

// True when the file holds the marker followed by the wrapped file's magic.
bool looksWrapped(const std::string& path) {
  const int64_t at = demoFindAttachedPackage(path.c_str());
  pal_File* file = at > 0 ? pal_FileOpenRead(path.c_str()) : nullptr;
  char magic[WRAP_MAGIC_LEN] = {};
  const bool read = file != nullptr && pal_FileReadAt(file, at, magic, WRAP_MAGIC_LEN) == WRAP_MAGIC_LEN;
  pal_FileClose(file);
  return read && std::memcmp(magic, "PMwrap_v01", WRAP_MAGIC_LEN) == 0;
}

bool endsWith(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
  return true;
}

std::string guessKind(const std::string& path) {
  if (endsWith(path, ".DMD")) return "dmd";
  if (endsWith(path, ".DMR")) return "dmr";
  if (endsWith(path, ".PMP")) return "package";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  char head[4] = {};
  if (f != nullptr) {
    if (std::fread(head, 1, 2, f) < 2) head[0] = 0;
    std::fclose(f);
  }
  if (static_cast<unsigned char>(head[0]) == 0xFF) return "dmd";
  if (head[0] == '0' && head[1] == ',') return "dmr";
  return looksWrapped(path) ? "wrap" : "package";
}

}  // namespace

int examineFile(const std::string& path, std::string kind, const std::string& savePackage) {
  gSavePackage = savePackage;
  if (kind.empty()) kind = guessKind(path);
  if (kind == "dmd") return inspectDemoData(path);
  if (kind == "dmr") return inspectRecording(path);
  if (kind == "wrap") return inspectWrapped(path);
  return inspectPackage(path);
}
