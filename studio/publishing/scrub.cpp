// scrub.cpp: drops the frames that no instruction path reaches from frame 0
// or the home frame, before a demo is shared. Changes only the model.
// Reachability is found by a walk over each frame's instructions, which
// marks exactly what repeated passes over the instruction table would. The
// removal then compacts the tables in one pass with the same result as
// removing the unmarked frames one by one from the last down: every index
// (owning frame or target) falls by the number of removed frames at or
// below it, and a note record is freed only when no kept frame shares it.
#include "studio/publishing/package_writer.h"
#include "studio/publishing/publishing_support.h"

#include "demo/demo_model.h"
#include "pal/pal.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int32_t frameCount() { return std::clamp(gFrameCount, 0, DEMO_FRAME_CAP); }
int32_t instrCount() { return std::clamp(gInstrCount, 0, DEMO_INSTR_CAP); }

// The home frame for the scrub: the last frame whose frameId equals header
// value 2 when that is above 0, else frame 0.
int32_t homeFrame(int32_t frames) {
  const int32_t id = gHeaderCount > 2 ? gHeaderData[2] : 0;
  int32_t home = 0;
  if (id > 0)
    for (int32_t f = 0; f < frames; ++f)
      if (gFrameData[f].frameId == id) home = f;
  return home;
}

// Marks the frames reachable from frame 0 and the home frame. Owners and
// targets outside the demo lead nowhere.
std::vector<char> reachable(int32_t frames) {
  const publishing::FrameInstructions instrs(frames);

  std::vector<char> marked(static_cast<size_t>(frames), 0);
  std::vector<int32_t> todo;
  const auto mark = [&](int64_t f) {
    if (f < 0 || f >= frames || marked[f]) return;
    marked[f] = 1;
    todo.push_back(static_cast<int32_t>(f));
  };
  mark(0);
  mark(homeFrame(frames));
  while (!todo.empty()) {
    const int32_t f = todo.back();
    todo.pop_back();
    for (int32_t k = 0; k < instrs.count(f); ++k) {
      const InstrRec& in = instrs.at(f, k);
      mark(in.target == -1 ? int64_t{f} + 1 : in.target);
    }
  }
  return marked;
}

bool textRecord(int64_t index) { return index >= DEMO_FIRST_TEXT_REC && index < DEMO_TEXT_RECS; }

void freeText(int64_t index) {
  if (textRecord(index)) demoDeleteTextValue(static_cast<int32_t>(index));
}

// Frees the names of the removed frames, and their notes that no kept
// frame shares.
void freeTexts(int32_t frames, const std::vector<char>& keep) {
  std::vector<char> noteKept(DEMO_TEXT_RECS, 0);
  for (int32_t f = 0; f < frames; ++f)
    if (keep[f] && textRecord(gFrameData[f].noteText)) noteKept[gFrameData[f].noteText] = 1;
  for (int32_t f = 0; f < frames; ++f) {
    if (keep[f]) continue;
    freeText(gFrameData[f].nameText);
    const int64_t note = gFrameData[f].noteText;
    if (note > 0 && textRecord(note) && !noteKept[note]) freeText(note);
  }
}

}  // namespace

void scrubUnreachableFrames() {
  pal_Trace("ScrubUnreachBefore: %ld ", static_cast<long>(gFrameCount));
  std::fflush(stdout);
  const int32_t frames = frameCount(), instrs = instrCount();
  std::vector<char> keep = reachable(frames);
  if (frames > 0) keep[0] = 1;  // frame 0 is never removed
  gPackageProgress = 100;

  // removedUpTo[i]: removed frames with an index below i.
  std::vector<int32_t> removedUpTo(static_cast<size_t>(frames) + 1, 0);
  for (int32_t f = 0; f < frames; ++f) removedUpTo[f + 1] = removedUpTo[f] + !keep[f];
  const int32_t removed = removedUpTo[frames];
  const auto shifted = [&](int32_t index) {
    if (index < 0) return index;
    return index - (index >= frames ? removed : removedUpTo[index + 1]);
  };
  if (removed > 0) {
    freeTexts(frames, keep);
    int32_t kept = 0;
    for (int32_t f = 0; f < frames; ++f)
      if (keep[f]) gFrameData[kept++] = gFrameData[f];
    int32_t keptInstrs = 0;
    for (int32_t i = 0; i < instrs; ++i) {
      InstrRec in = gInstrData[i];
      if (in.frame >= 0 && in.frame < frames && !keep[in.frame]) continue;
      in.frame = shifted(in.frame);
      in.target = shifted(in.target);
      gInstrData[keptInstrs++] = in;
    }
    gFrameCount = kept;
    gInstrCount = keptInstrs;
  }
  pal_Trace("ScrubUnreachAfter: %ld ", static_cast<long>(gFrameCount));
  std::fflush(stdout);
  gPackageProgress = 1000;
}
