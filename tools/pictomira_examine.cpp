// pictomira_examine: prints a demo data file (.DMD), a recording file's
// records (.DMR) or a package's directory, texts and flow data in readable
// text, and says what is wrong with a damaged one. For authors and support:
// "why does my demo not open". Usage:
//   pictomira_examine [--kind dmd|dmr|package] FILE
// Without --kind the kind is taken from the extension, else from the content.
// Exit status: 0 the file is sound, 1 it is damaged, 2 wrong usage.
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"
#include "studio/capture/demo_files.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
                  next == -2 ? "has a bad line (fewer than eleven fields, or a rectangle outside the screen)"
                             : "has its pixels cut short by the end of the file");
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
  return "package";
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind, path;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--kind") == 0 && i + 1 < argc) kind = argv[++i];
    else path = argv[i];
  }
  if (path.empty() || (!kind.empty() && kind != "dmd" && kind != "dmr" && kind != "package")) {
    std::fprintf(stderr, "usage: %s [--kind dmd|dmr|package] FILE\n", argv[0]);
    return 2;
  }
  pal_InitPAL();
  if (kind.empty()) kind = guessKind(path);
  if (kind == "dmd") return inspectDemoData(path);
  if (kind == "dmr") return inspectRecording(path);
  return inspectPackage(path);
}
