// mirrit.cpp: "DemoFlow.txt" and "DemoStack.bws" from the package
// preparation's line tables and plain line pool and from the scrubbed
// model. Each output is written through a checked file under a hidden
// temporary name and flushed to the disk; only when both are complete do
// they take the place of the two files written before, both or neither,
// so a failure leaves the earlier pair as it was. No window calls:
// failures come back with their reason.
#include "studio/publishing/mirrit.h"
#include "studio/publishing/publishing_support.h"

#include "studio/capture/demo_files.h"
#include "studio/publishing/line_pool.h"

#include "demo/demo_model.h"
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

std::atomic<int> gMirritProgress{0};

namespace {

using publishing::quoted;

constexpr const char* kFlowFile = "DemoFlow.txt";
constexpr const char* kStackFile = "DemoStack.bws";
constexpr const char* kLinesPiece = "tmpLinesDat.tmp";
constexpr const char* kStackPiece = "tmpStackDat.tmp";
constexpr const char* kPieces[] = {kLinesPiece, kStackPiece, "tmpFlowDat.tmp"};
constexpr size_t kChunk = 29996;
constexpr int kBase = 80;
constexpr char kDigitZero = 43;  // '+'

// The fixed opening of DemoFlow.txt.
constexpr const char* kHeader =
    "\r\nSplashText\r\n030\r\n040 Mirrit Demo converted from Pictomira"
    "\r\n030\r\nEndSplashText\r\n\r\n"
    "WindowText \"Mirrit Demo Simulation\"\r\nxWindowIconSm 006,008,023"
    "\r\n\r\nWindowRoundingStyle=1\r\nxCoverTaskBarOk\r\nScreenFill=0"
    "\r\n\r\nHelpOn\r\nxNotesOff\r\n\r\n"
    "xNotesFont \"Trebuchet MS\"\r\nxNotesFontSize=20\r\n\r\n"
    "xNotesBackColor=C8FFC8\r\nxNotesTextColor=202020\r\n\r\n"
    "HomeFrame \"000000\"\r\nTitleBarHeight 30\r\nCloseRightEdge 30"
    "\r\n\r\n\r\n\r\n";
constexpr const char* kEnd = "#\r\nEnd of Demo\r\n# -99\r\n";

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

std::string folder() { return demoFolderPath(gCurrDemoName) + "/"; }
std::string temporaryOf(const char* file) { return publishing::unfinishedPath(folder(), file); }
// Where the file written before waits in dir while the new pair is put in place.
std::string asideIn(const std::string& dir, const char* file) { return dir + "." + file + ".previous"; }
std::string asideOf(const char* file) { return asideIn(folder(), file); }

int fail(MirritFailure* failure, const char* code, const std::string& why) {
  failure->code = code;
  failure->why = why;
  return -1;
}

File openPiece(const char* piece) { return File(std::fopen((folder() + piece).c_str(), "rb"), std::fclose); }

int64_t sizeOf(std::FILE* f) { return pal_FsSize(pal_FsDescriptorOf(f)); }

std::string systemError() { return std::strerror(errno); }

const char* typeWord(int32_t type) {
  switch (type) {
    case INSTR_TIMER: return "Timer ";
    case INSTR_KEY: return "KeyDown ";
    case INSTR_LEFT: return "LeftClick ";
    case INSTR_MOVE_IN: return "MouseOver ";
    case INSTR_MOVE_OUT: return "ExitRect ";
    case INSTR_RIGHT: return "RightClick ";
    case INSTR_UP: return "UpClick ";
    default: return nullptr;
  }
}

std::string noteOf(int64_t index) {
  char text[DEMO_TEXT_LEN] = "";
  if (index < 0 || index > INT32_MAX || demoGetTextValue(static_cast<int32_t>(index), text) != 0) return {};
  return text;
}

// The frames' instructions in table order: first[f] .. first[f + 1] - 1 of order.
void instructionsByFrame(int32_t frames, std::vector<int32_t>* first, std::vector<int32_t>* order) {
  const int32_t instrs = std::clamp(gInstrCount, 0, DEMO_INSTR_CAP);
  first->assign(static_cast<size_t>(frames) + 1, 0);
  for (int32_t i = 0; i < instrs; ++i)
    if (gInstrData[i].frame >= 0 && gInstrData[i].frame < frames) ++(*first)[gInstrData[i].frame + 1];
  for (int32_t f = 0; f < frames; ++f) (*first)[f + 1] += (*first)[f];
  order->assign(static_cast<size_t>((*first)[frames]), 0);
  std::vector<int32_t> fill(first->begin(), first->end() - 1);
  for (int32_t i = 0; i < instrs; ++i)
    if (gInstrData[i].frame >= 0 && gInstrData[i].frame < frames) (*order)[fill[gInstrData[i].frame]++] = i;
}

// Writes DemoFlow.txt's temporary file: header, frames, end. Progress 10,
// then 200. 1, 0 when the program is ending, -1.
int writeFlow(MirritFailure* failure) {
  const std::string temp = temporaryOf(kFlowFile);
  const int32_t frames = std::clamp(gFrameCount, 0, DEMO_FRAME_CAP), h = gCropSize[3];
  const size_t tableBytes = static_cast<size_t>(h) * 3;
  PieceFile out;
  if (!out.create(temp)) return fail(failure, "NoRead MWF-002", out.error());
  out.write(kHeader, std::strlen(kHeader));
  gMirritProgress = 10;

  const std::string linesPath = folder() + kLinesPiece;
  File lines = openPiece(kLinesPiece);
  if (!lines) return fail(failure, "NoRead MWF-004", quoted(linesPath) + " cannot be opened: " + systemError());
  const int64_t expected = int64_t{frames} * static_cast<int64_t>(tableBytes);
  if (sizeOf(lines.get()) != expected)
    return fail(failure, "NoRead MWF-004",
                quoted(linesPath) + " does not hold the line numbers of " + std::to_string(frames) + " frames of " +
                    std::to_string(h) + " rows");

  std::vector<int32_t> first, order;
  instructionsByFrame(frames, &first, &order);
  std::vector<unsigned char> table(tableBytes);
  std::string text;
  for (int32_t f = 0; f < frames; ++f) {
    if (pal_StopRequested()) return 0;
    if (std::fread(table.data(), 1, tableBytes, lines.get()) != tableBytes)
      return fail(failure, "NoRead MWF-004", quoted(linesPath) + " cannot be read: " + systemError());
    char label[24];
    std::snprintf(label, sizeof label, "~%06lld\r\n$", static_cast<long long>(f) * 10);
    text = label;
    for (size_t at = 0; at < tableBytes; at += 3)
      text += mirritLineNumber(uint32_t{table[at]} << 16 | uint32_t{table[at + 1]} << 8 | table[at + 2]);
    text += "\r\n";
    for (int32_t k = first[f]; k < first[f + 1]; ++k) {
      const std::string line = mirritInstructionLine(gInstrData[order[k]], gCropSize);
      if (line.empty())
        return fail(failure, "Mirrit MWF-006",
                    "Instruction " + std::to_string(k - first[f] + 1) + " of frame " +
                        std::to_string(gFrameData[f].frameId) + " has the type code " +
                        std::to_string(gInstrData[order[k]].type) + ", which Mirrit has no word for");
      text += line + "\r\n";
    }
    const std::string note = noteOf(gFrameData[f].noteText);
    if (!note.empty()) text += "#\r\n" + mirritNoteText(note) + "\r\n";
    if (!out.write(text.data(), text.size())) break;
  }
  out.write(kEnd, std::strlen(kEnd));
  if (!out.close(true)) return fail(failure, "NoRead MWF-002", out.error());
  gMirritProgress = 200;
  return 1;
}

// Writes DemoStack.bws's temporary file: the width, most significant byte
// first, then the plain line pool. Progress rises by 3 per chunk below 997.
// 1, 0 when the program is ending, -1.
int writeStack(MirritFailure* failure) {
  const std::string temp = temporaryOf(kStackFile), poolPath = folder() + kStackPiece;
  const int32_t w = gCropSize[2];
  PieceFile out;
  if (!out.create(temp)) return fail(failure, "NoRead MWF-012", out.error());
  File pool = openPiece(kStackPiece);
  if (!pool) return fail(failure, "NoRead MWF-014", quoted(poolPath) + " cannot be opened: " + systemError());
  const unsigned char width[2] = {static_cast<unsigned char>((w >> 8) & 0xFF), static_cast<unsigned char>(w & 0xFF)};
  out.write(width, 2);
  std::vector<unsigned char> chunk(kChunk);
  for (;;) {
    if (pal_StopRequested()) return 0;
    const size_t got = std::fread(chunk.data(), 1, kChunk, pool.get());
    if (got > 0 && !out.write(chunk.data(), got)) break;
    if (gMirritProgress < 997) gMirritProgress += 3;
    if (got < kChunk) break;
  }
  if (std::ferror(pool.get()))
    return fail(failure, "NoRead MWF-014", quoted(poolPath) + " cannot be read: " + systemError());
  if (!out.close(true)) return fail(failure, "NoRead MWF-012", out.error());
  return 1;
}

bool exists(const std::string& path) { return pal_FsStatLink(path.c_str(), nullptr); }

// Puts both new files in place of those written before, or neither: the
// earlier files are moved aside first and moved back when a new one cannot
// take its place. A final name that is not a plain file (an author's folder,
// say) is never replaced.
int moveBothIntoPlace(MirritFailure* failure) {
  const char* const files[2] = {kFlowFile, kStackFile};
  const char* const codes[2] = {"NoRead MWF-002", "NoRead MWF-012"};
  for (int i = 0; i < 2; ++i) {
    pal_FsInfo info;
    const std::string path = folder() + files[i];
    if (pal_FsStatLink(path.c_str(), &info) && !info.file)
      return fail(failure, codes[i], quoted(path) + " is not a file, so it is not replaced");
  }
  bool aside[2] = {false, false}, placed[2] = {false, false};
  int result = 1;
  for (int i = 0; i < 2 && result == 1; ++i) {
    if (!exists(folder() + files[i])) continue;
    if (pal_FsRename((folder() + files[i]).c_str(), asideOf(files[i]).c_str()) != 0)
      result = fail(failure, codes[i], quoted(folder() + files[i]) + " cannot be moved aside: " + systemError());
    else aside[i] = true;
  }
  for (int i = 0; i < 2 && result == 1; ++i) {
    if (pal_FsRename(temporaryOf(files[i]).c_str(), (folder() + files[i]).c_str()) != 0)
      result = fail(failure, codes[i],
                    quoted(temporaryOf(files[i])) + " cannot be renamed to " + quoted(files[i]) + ": " + systemError());
    else placed[i] = true;
  }
  for (int i = 0; i < 2; ++i) {
    if (result == 1) {
      if (aside[i]) std::remove(asideOf(files[i]).c_str());
    } else if (aside[i]) {
      pal_FsRename(asideOf(files[i]).c_str(), (folder() + files[i]).c_str());
    } else if (placed[i]) {
      std::remove((folder() + files[i]).c_str());
    }
  }
  return result;
}

}  // namespace

std::string mirritLineNumber(uint32_t n) {
  const uint32_t digits[4] = {n / (kBase * kBase * kBase), n % (kBase * kBase * kBase) / (kBase * kBase),
                              n % (kBase * kBase) / kBase, n % kBase};
  std::string out;
  for (uint32_t d : digits) out += static_cast<char>(kDigitZero + d);
  return out;
}

std::string mirritInstructionLine(const InstrRec& in, const int32_t crop[2]) {
  const char* word = typeWord(in.type);
  if (word == nullptr) return {};
  char text[160];
  if (in.target == -1) std::snprintf(text, sizeof text, "  \">\" ");
  else std::snprintf(text, sizeof text, "  \"%06lld\" ", static_cast<long long>(in.target) * 10);
  std::string out = std::string(text) + word;
  if (in.type == INSTR_TIMER || in.type == INSTR_KEY) {
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(in.v[0]));
  } else {
    std::snprintf(text, sizeof text, "%lld,%lld,%lld,%lld", static_cast<long long>(in.v[0]) - crop[0],
                  static_cast<long long>(in.v[1]) - crop[1], static_cast<long long>(in.v[2]) - crop[0],
                  static_cast<long long>(in.v[3]) - crop[1]);
  }
  return out + text;
}

std::string mirritNoteText(const std::string& note) {
  std::string out;
  for (size_t i = 0; i < note.size(); ++i) {
    if (note[i] == '\n' && (i == 0 || note[i - 1] != '\r')) out += '\r';
    out += note[i];
  }
  while (!out.empty() && static_cast<unsigned char>(out.back()) <= 14) out.pop_back();
  return out;
}

void settleInterruptedMirrit(const std::string& demoFolder) {
  const std::string dir = demoFolder + "/";
  const char* const files[2] = {kFlowFile, kStackFile};
  bool partial[2], aside[2];
  for (int i = 0; i < 2; ++i) {
    partial[i] = exists(publishing::unfinishedPath(dir, files[i]));
    aside[i] = exists(asideIn(dir, files[i]));
  }
  if (!partial[0] && !partial[1]) {
    // Both new files were in place (or no output ran): an earlier file still
    // aside is no longer needed, unless its place is empty.
    for (int i = 0; i < 2; ++i) {
      if (!aside[i]) continue;
      if (exists(dir + files[i])) std::remove(asideIn(dir, files[i]).c_str());
      else pal_FsRename(asideIn(dir, files[i]).c_str(), (dir + files[i]).c_str());
    }
  } else if (aside[0] || aside[1] || !partial[0]) {
    // Caught while the new pair took the earlier pair's place (the flow file
    // goes first): the earlier pair comes back, a new file without one goes.
    for (int i = 0; i < 2; ++i) {
      if (aside[i]) pal_FsRename(asideIn(dir, files[i]).c_str(), (dir + files[i]).c_str());
      else if (!partial[i]) std::remove((dir + files[i]).c_str());
    }
  }
  for (const char* file : files) std::remove(publishing::unfinishedPath(dir, file).c_str());
}

int writeMirrit(MirritFailure* failure) {
  MirritFailure ignored;
  if (failure == nullptr) failure = &ignored;
  gMirritProgress = 0;
  int result = writeFlow(failure);
  if (result == 1) result = writeStack(failure);
  if (result == 1) result = moveBothIntoPlace(failure);
  std::remove(temporaryOf(kFlowFile).c_str());
  std::remove(temporaryOf(kStackFile).c_str());
  for (const char* piece : kPieces) std::remove((folder() + piece).c_str());
  if (result == 1) gMirritProgress = 1000;
  return result;
}
