// abstraction.cpp: the analysis worker (crop, frame list, first
// instructions, waits) and the step worker (dropping the frames that add
// nothing, refining clicks, finishing instructions, names and notes).
// Frames are decoded through one sequential cursor per worker: a run is
// analysed in file order and only the frames of the run are asked for
// again, so the recording is read about once. While abstracting, a frame's
// nameText holds its record's time and noteX, noteY its pointer position.
#include "studio/abstraction/abstraction.h"
#include "studio/abstraction/control_label.h"
#include "studio/abstraction/step_captions.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"
#include "studio/capture/press_objects.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

int32_t gRecordedW = -1, gRecordedH = -1;
std::atomic<int> gAbstractProgress{0};
std::atomic<int> gAbstractOutcome{ABSTRACT_OK};
int64_t gAbstractRecordsRead = 0;
bool gAbstractReadsLabels = true;

namespace {

constexpr int kCaretDark = -63;
constexpr int kHoverChange = 47;
constexpr int kNoteMax = 999;
constexpr int32_t kFaceWidth = 30, kFaceHeight = 18;  // a click box narrower or lower than a face ...
constexpr int32_t kFaceMargin = 3;                    // ... is read with this much of the face around it

constexpr const char* kDefaultNote = "Click in a red box";

std::unique_ptr<FrameCursor> gCursor;  // the worker's decoder
std::map<int64_t, PressObject> gPresses;  // the side file's presses by their click key frame's time
std::vector<char> gFitted;                // per frame: its click box is the pressed object's extents
std::map<int64_t, std::string> gLabels;   // labels read off the key frames of presses the side file leaves out, by time
std::vector<int32_t> gCaptioned;          // the note records the last buildSteps wrote a caption into
std::vector<PasswordField> gPasswordFields;  // what the last buildSteps found
std::vector<int8_t> gMap;              // change map of the last analysis: d per crop pixel, 0 outside gDirty
int32_t gDirty[4] = {0, 0, 0, 0};      // the part of gMap the last analysis wrote

int32_t cropL() { return gCropSize[0]; }
int32_t cropT() { return gCropSize[1]; }
int32_t cropW() { return gCropSize[2]; }
int32_t cropH() { return gCropSize[3]; }

int64_t timeOf(int32_t f) { return gFrameData[f].nameText; }
InstrRec& instrOf(int32_t f) { return gInstrData[f]; }
bool isTimer(int32_t f) { return instrOf(f).type == INSTR_TIMER; }
bool isClick(int32_t f) { return instrOf(f).type == INSTR_LEFT; }

bool pointerInsideCrop(int32_t f) {
  const int64_t x = gFrameData[f].noteX, y = gFrameData[f].noteY;
  return x >= cropL() && x < int64_t{cropL()} + cropW() && y >= cropT() && y < int64_t{cropT()} + cropH();
}

// A wait from a time difference: a clock that went back gives 500 ms.
int32_t waitBetween(int32_t f, int32_t next, int32_t most) {
  if (next >= gFrameCount) return 0;
  const int64_t wait = timeOf(next) - timeOf(f);
  if (wait < 0) return 500;
  return static_cast<int32_t>(std::min<int64_t>(wait, most));
}

void makeTimer(int32_t f, int32_t wait) {
  instrOf(f).type = INSTR_TIMER;
  instrOf(f).v[0] = wait;
}

[[noreturn]] void fatal(const char* title, const char* text) { pal_FatalAlert(title, text); }

// Ends the worker once the program is ending. The workers change only the
// model in memory and read the capture slot, so nothing is left to remove
// and the capture stays as it was, to be abstracted at the next start.
void stopPoint() {
  if (!pal_StopRequested()) return;
  gCursor.reset();
  pal_EndWorker();
}

// Removes frame f and its instruction; with addWait its timer wait goes to
// the timer of the frame that takes its place.
void removeFrame(int32_t f, bool addWait) {
  if (addWait && f + 1 < gFrameCount && isTimer(f) && isTimer(f + 1)) instrOf(f + 1).v[0] += instrOf(f).v[0];
  for (int32_t i = f; i + 1 < gFrameCount; ++i) {
    gFrameData[i] = gFrameData[i + 1];
    gInstrData[i] = gInstrData[i + 1];
    gInstrData[i].frame = i;
  }
  --gFrameCount;
  --gInstrCount;
}

// ---- Change analysis ----------------------------------------------------------------

// The cropped pixels of frame f, the cursor moved to it.
const unsigned char* decoded(int32_t f) {
  if (!gCursor->seek(gFrameData[f].imageRefA, gFrameData[f].imageRefB)) {
    stopPoint();  // the cursor stops moving once the program is ending
    char text[160];
    std::snprintf(text, sizeof text, "Unexpected Error ABS-001: frame %d of the capture cannot be read", f);
    fatal("Exiting...", text);
  }
  return gCursor->pixels();
}

int dAt(int32_t x, int32_t y) { return gMap[static_cast<size_t>(y) * cropW() + x]; }
bool changedAt(int32_t x, int32_t y) { return std::abs(dAt(x, y)) > 1; }

bool caretAt(int32_t x, int32_t y) {
  if (dAt(x, y) >= kCaretDark) return false;
  int32_t run = 0;
  while (y + run + 1 <= cropH() - 3 && dAt(x, y + run + 1) < kCaretDark) ++run;
  if (run < 5 || run > 21) return false;
  const int32_t bottom = y + run;
  const int quiet = !changedAt(x - 1, y) + !changedAt(x + 1, y) + !changedAt(x - 1, bottom) + !changedAt(x + 1, bottom);
  return quiet >= 2;
}

// True when the band of column c (rows r0..r1) or row r (columns c0..c1) holds a changed pixel.
bool columnChanged(int32_t c, int32_t r0, int32_t r1) {
  r0 = std::max(r0, 0);
  r1 = std::min(r1, cropH() - 1);
  for (int32_t r = r0; r <= r1; ++r)
    if (changedAt(c, r)) return true;
  return false;
}
bool rowChanged(int32_t r, int32_t c0, int32_t c1) {
  c0 = std::max(c0, 0);
  c1 = std::min(c1, cropW() - 1);
  for (int32_t c = c0; c <= c1; ++c)
    if (changedAt(c, r)) return true;
  return false;
}

// Moves an edge outwards from start by step until 9 lines pass without a
// change in its band; the last line with a change (start itself at first).
template <typename Changed>
int32_t growEdge(int32_t start, int step, int32_t limit, Changed changed) {
  int32_t last = start;
  for (int32_t at = start + step; step < 0 ? at >= limit : at <= limit; at += step) {
    if (changed(at)) last = at;
    else if (std::abs(at - last) >= 9) break;
  }
  return last;
}

void pointerBox(int32_t mx, int32_t my, int32_t box[4]) {
  box[0] = -1;
  if (mx < 1 || my < 1 || mx >= cropW() - 2 || my >= cropH() - 2) return;
  const int32_t maxX = cropW() - 1, maxY = cropH() - 1;
  int32_t l = growEdge(mx, -1, 0, [&](int32_t c) { return columnChanged(c, my - 4, my + 4); });
  int32_t t = growEdge(my, -1, 0, [&](int32_t r) { return rowChanged(r, l - 4, mx + 4); });
  int32_t r = growEdge(mx, 1, maxX, [&](int32_t c) { return columnChanged(c, t - 4, my + 4); });
  int32_t b = growEdge(my, 1, maxY, [&](int32_t row) { return rowChanged(row, l - 4, r + 4); });
  l = growEdge(l, -1, 0, [&](int32_t c) { return columnChanged(c, t, b); });
  t = growEdge(t, -1, 0, [&](int32_t row) { return rowChanged(row, l, r); });
  r = growEdge(r, 1, maxX, [&](int32_t c) { return columnChanged(c, t, b); });
  b = growEdge(b, 1, maxY, [&](int32_t row) { return rowChanged(row, l, r); });
  if (r - l > 2 && b - t > 2) {
    box[0] = l;
    box[1] = t;
    box[2] = r;
    box[3] = b;
  }
}

// The last analyses, by the records of the two frames compared: a click's
// refinement looks at the two frames after it, which the next run then
// starts with.
struct Remembered {
  int64_t before = -1, after = -1;
  FrameChange change{};
};
Remembered gRemembered[4];
int gRememberedNext = 0;

void analyseUncached(int32_t g, FrameChange& e);

void analyse(int32_t g, FrameChange& e) {
  const int64_t before = gFrameData[g - 1].imageRefB, after = gFrameData[g].imageRefB;
  for (const Remembered& r : gRemembered)
    if (r.before == before && r.after == after) {
      e = r.change;
      e.frame = g;
      e.recompute = 0;
      return;
    }
  analyseUncached(g, e);
  gRemembered[gRememberedNext] = {before, after, e};
  gRememberedNext = (gRememberedNext + 1) % 4;
}

// Analyses frame g against frame g - 1 into e. Only the part of the crop
// that the records between the two frames touched can differ; the map is
// zero (unchanged) elsewhere.
void analyseUncached(int32_t g, FrameChange& e) {
  const int32_t w = cropW(), h = cropH();
  gMap.resize(static_cast<size_t>(w) * h, 0);
  for (int32_t y = gDirty[1]; y < gDirty[1] + gDirty[3]; ++y)
    std::memset(&gMap[static_cast<size_t>(y) * w + gDirty[0]], 0, static_cast<size_t>(gDirty[2]));
  int32_t r[4];
  decoded(g - 1);
  if (!gCursor->advanceNoting(gFrameData[g].imageRefB, r)) decoded(g);  // fails as a frame that cannot be read
  std::copy(r, r + 4, gDirty);
  const unsigned char* now = gCursor->pixels();
  int64_t c = 0;
  // Rows the records left alone, and the columns outside a row's changed
  // span, are equal before and after: their map stays 0.
  for (int32_t y = r[1]; y < r[1] + r[3]; ++y) {
    int32_t x0, x1;
    if (!gCursor->rowSpan(y, &x0, &x1)) continue;
    const unsigned char* a = now + size_t{3} * (static_cast<size_t>(y) * w + x0);
    const unsigned char* b = gCursor->rowBefore(y) + size_t{3} * x0;
    int8_t* m = &gMap[static_cast<size_t>(y) * w + x0];
    for (int32_t x = 0; x <= x1 - x0; ++x) {
      const int d = ((a[3 * x] + a[3 * x + 1] + a[3 * x + 2]) - (b[3 * x] + b[3 * x + 1] + b[3 * x + 2])) / 6;
      m[x] = static_cast<int8_t>(d);
      c += (d < -1 || d > 1) ? 1 : 0;
    }
  }
  const int64_t area = int64_t{w} * h;
  e.frame = g;
  e.recompute = 0;
  e.change = c <= 5 ? 0 : std::max<int32_t>(1, static_cast<int32_t>((c * 20000 + area) / (2 * area)));
  e.caret = 0;
  e.caretX = e.caretY = -1;
  e.box[0] = e.box[1] = e.box[2] = e.box[3] = -1;
  if (e.change == 0) return;
  // Only a darkened pixel can start a caret: the scan keeps to the changed part.
  for (int32_t y = std::max(2, r[1]); y <= std::min(h - 3, r[1] + r[3] - 1) && e.caret == 0; ++y) {
    int32_t x0, x1;
    if (!gCursor->rowSpan(y, &x0, &x1)) continue;
    for (int32_t x = std::max(2, x0); x <= std::min(w - 3, x1); ++x)
      if (caretAt(x, y)) {
        e.caret = 1;
        e.caretX = x;
        e.caretY = y;
        break;
      }
  }
  pointerBox(static_cast<int32_t>(gFrameData[g].noteX - cropL()), static_cast<int32_t>(gFrameData[g].noteY - cropT()),
             e.box);
}

// Recomputes the entries marked 1 against their present predecessors.
void recomputeMarked(std::vector<FrameChange>& entries) {
  for (FrameChange& e : entries)
    if (e.recompute == 1) analyse(e.frame, e);
}

void removeEntry(std::vector<FrameChange>& entries, size_t k, bool addWait) {
  removeFrame(entries[k].frame, addWait);
  for (size_t i = k + 1; i < entries.size(); ++i) --entries[i].frame;
  entries.erase(entries.begin() + static_cast<long>(k));
}

// ---- Run rules --------------------------------------------------------------------------

void removeUnchangedInner(std::vector<FrameChange>& entries) {
  for (size_t k = 1; k + 1 < entries.size();) {
    stopPoint();  // each removal moves the frames after it
    if (entries[k].change != 0) {
      ++k;
      continue;
    }
    entries[k + 1].recompute = 1;
    removeEntry(entries, k, true);
  }
  recomputeMarked(entries);
}

bool sameBox(const FrameChange& a, const FrameChange& b) { return std::equal(a.box, a.box + 4, b.box); }

// Turns the hover before the run's closing click into a mouseover.
void hoverBeforeClick(std::vector<FrameChange>& entries) {
  const int32_t n = static_cast<int32_t>(entries.size());
  if (n < 1 || !isClick(entries[n - 1].frame)) return;
  int32_t k = n - 1;
  while (k > 2 && entries[k].box[0] == -1) {
    if (entries[k].change > kHoverChange) return;
    --k;
  }
  if (entries[k].change > kHoverChange) return;
  int32_t m = k - 1;
  while (m >= 0 && sameBox(entries[m], entries[k])) --m;
  if (m < 0 || n - m >= 13) return;
  for (int32_t i = n - 2; i > m; --i) removeEntry(entries, static_cast<size_t>(i), false);
  FrameChange& click = entries.back();
  analyse(click.frame, click);
  if (click.box[0] == -1) return;
  InstrRec& in = instrOf(click.frame);
  in.type = INSTR_MOVE_IN;
  in.v[0] = click.box[0] + cropL();
  in.v[1] = click.box[1] + cropT();
  in.v[2] = click.box[2] + cropL();
  in.v[3] = click.box[3] + cropT();
}

bool sameCaret(const FrameChange& a, const FrameChange& b) {
  return b.caret == 1 && a.caretX == b.caretX && a.caretY == b.caretY;
}

void setWait(int32_t f, int32_t wait) {
  if (isTimer(f)) instrOf(f).v[0] = wait;
}

void blinkingCaret(std::vector<FrameChange>& entries) {
  const int32_t n = static_cast<int32_t>(entries.size());
  const bool hover = n > 0 && instrOf(entries[n - 1].frame).type == INSTR_MOVE_IN;
  const int32_t limit = hover ? n - 3 : n - 1;
  for (int32_t k = 0; k < n; ++k) {
    if (entries[k].caret != 1) continue;
    int32_t count = 1, last = k;
    for (int32_t i = k + 1; i <= limit; ++i)
      if (sameCaret(entries[k], entries[i])) {
        ++count;
        last = i;
      }
    if (count < 3) continue;
    for (int32_t i = k + 1; i < last; ++i) entries[i].recompute = 5;
    int32_t keep = -1;
    for (int32_t i = last - 1; i > k && keep < 0; --i)
      if (entries[i].caret == 0 && entries[i].box[0] == -1) keep = i;
    for (int32_t i = last - 1; i > k && keep < 0; --i)
      if (entries[i].caret == 0) keep = i;
    if (keep < 0) continue;
    entries[keep].recompute = 0;
    setWait(entries[keep].frame, 500);
  }
  for (int32_t k = 0; k + 2 < n; ++k)
    if (entries[k].caret == 1 && entries[k + 1].caret == 0 && sameCaret(entries[k], entries[k + 2]))
      for (int32_t i = k; i <= k + 2; ++i) setWait(entries[i].frame, 500);
}

void removeMarked(std::vector<FrameChange>& entries) {
  for (size_t k = 0; k < entries.size();) {
    stopPoint();
    if (entries[k].recompute != 5) {
      ++k;
      continue;
    }
    if (k + 1 < entries.size() && entries[k + 1].recompute == 0) entries[k + 1].recompute = 1;
    removeEntry(entries, k, false);
  }
  recomputeMarked(entries);
}

void shortAnimationSteps(std::vector<FrameChange>& entries) {
  const int32_t n = static_cast<int32_t>(entries.size());
  const int32_t most = std::min(n / 10 * 15, 150);
  if (most < 1 || n < 6) return;
  for (int32_t k = 2; k <= static_cast<int32_t>(entries.size()) - 4;) {
    const int32_t f = entries[k].frame;
    const bool consecutive = gFrameData[f].frameId == gFrameData[f - 1].frameId + 1 &&
                             gFrameData[f + 1].frameId == gFrameData[f].frameId + 1;
    if (isTimer(f) && instrOf(f).v[0] <= most && consecutive) {
      if (isTimer(f - 1)) instrOf(f - 1).v[0] += instrOf(f).v[0];
      removeEntry(entries, static_cast<size_t>(k), false);
      continue;
    }
    ++k;
  }
}

// Applies the run rules to frames first..last; the index of the run's last frame after.
int32_t scrubRun(int32_t first, int32_t last) {
  if (!gCursor->checkpointAt(gFrameData[first - 1].imageRefB)) {  // the rules look back into the run
    decoded(first - 1);
    gCursor->checkpoint();
  }
  std::vector<FrameChange> entries(static_cast<size_t>(last - first + 1));
  for (int32_t f = first; f <= last; ++f) {
    stopPoint();
    analyse(f, entries[static_cast<size_t>(f - first)]);
    if (f == last - 4) gCursor->lateCheckpoint();  // the end of the run is looked at again
  }
  removeUnchangedInner(entries);
  while (entries.size() >= 3 && entries.back().change == 0) {
    removeEntry(entries, entries.size() - 2, false);
    analyse(entries.back().frame, entries.back());
  }
  hoverBeforeClick(entries);
  blinkingCaret(entries);
  removeMarked(entries);
  removeUnchangedInner(entries);
  shortAnimationSteps(entries);
  return entries.back().frame;
}

// ---- Click refinement ------------------------------------------------------------------

// Grey levels of the decoded frame, computed where they are looked at.
struct Grey {
  const unsigned char* px;
  int at(int32_t x, int32_t y) const {
    const unsigned char* p = px + size_t{3} * (static_cast<size_t>(y) * cropW() + x);
    return (p[0] + p[1] + p[2]) / 3;
  }
};

bool rowBusy(const Grey& grey, int32_t row, int32_t c0, int32_t c1) {
  c0 = std::max(c0, 0);
  c1 = std::min(c1, cropW() - 1);
  for (int32_t c = c0; c < c1; ++c)
    if (std::abs(grey.at(c + 1, row) - grey.at(c, row)) > 6) return true;
  return false;
}

bool columnBusy(const Grey& grey, int32_t c, int32_t r0, int32_t r1) {
  for (int32_t r = std::max(r0, 0); r <= std::min(r1, cropH() - 1); ++r)
    if (rowBusy(grey, r, c - 6, c)) return true;
  return false;
}

void setRect(InstrRec& in, int32_t l, int32_t t, int32_t r, int32_t b) {
  in.v[0] = l + cropL();
  in.v[1] = t + cropT();
  in.v[2] = r + cropL();
  in.v[3] = b + cropT();
}

// The flat area around the pointer becomes the rectangle when it has the size of a control.
void flatArea(const Grey& grey, int32_t x, int32_t y, InstrRec& in) {
  if (y < 1 || x >= cropW() - 1 || y >= cropH() - 1) return;
  int32_t l = x, t = y, r = x, b = y;
  while (l > 1 && std::abs(grey.at(l - 1, y) - grey.at(l, y)) <= 6) --l;
  while (t > 1 && std::abs(grey.at(x, t - 1) - grey.at(x, t)) <= 6) --t;
  while (r < cropW() - 1 && std::abs(grey.at(r + 1, y) - grey.at(r, y)) <= 6) ++r;
  while (b < cropH() - 1 && std::abs(grey.at(x, b + 1) - grey.at(x, b)) <= 6) ++b;
  if (r - l >= 10 && r - l <= 699 && b - t >= 7 && b - t <= 59) setRect(in, l, t, r, b);
}

// The rows above and below the pointer that are not busy over columns c0..c1; false when none above.
bool quietRows(const Grey& grey, int32_t y, int32_t c0, int32_t c1, int32_t* top, int32_t* bottom) {
  int32_t t = y - 1;
  while (t >= 0 && rowBusy(grey, t, c0, c1)) --t;
  if (t < 0) return false;
  int32_t b = y + 1;
  while (b <= cropH() - 1 && rowBusy(grey, b, c0, c1)) ++b;
  *top = t;
  *bottom = std::min(b, cropH() - 1);
  return true;
}

void labelBox(const Grey& grey, int32_t x, int32_t y, InstrRec& in) {
  if (x < 7 || y < 7 || x + 6 >= cropW() - 1 || y + 6 >= cropH() - 1) return;
  int32_t top, bottom;
  if (!quietRows(grey, y, x - 6, x + 6, &top, &bottom)) return;
  if (bottom - top < 3 || bottom - top > 80) return;
  int32_t left = x;
  while (left >= 0 && columnBusy(grey, left, top, bottom)) --left;
  if (left < 0) return;
  int32_t right = x + 6;
  while (right <= cropW() - 1 && columnBusy(grey, right, top, bottom)) ++right;
  if (right > cropW() - 1) return;
  if (!quietRows(grey, y, left + 1, right, &top, &bottom)) return;
  if (right - left < 8 || bottom - top < 8 || bottom - top > 80) return;
  setRect(in, std::max(left - 2, 0), std::max(top - 2, 0), std::min(right + 2, cropW() - 1),
          std::min(bottom + 2, cropH() - 1));
}

void refineClick(int32_t f) {
  InstrRec& in = instrOf(f);
  const bool hover = in.type == INSTR_MOVE_IN;
  // The frame's own pixels are kept before the cursor moves on to the frames
  // after it; the next run starts from them too.
  decoded(f);
  gCursor->checkpoint();
  int32_t box[4] = {-1, -1, -1, -1};
  if (f + 1 < gFrameCount) {
    FrameChange e{};
    analyse(f + 1, e);
    std::copy(e.box, e.box + 4, box);
    if (box[0] == -1 && f + 2 < gFrameCount) {
      analyse(f + 2, e);
      std::copy(e.box, e.box + 4, box);
    }
  }
  const int32_t x = static_cast<int32_t>(gFrameData[f].noteX - cropL());
  const int32_t y = static_cast<int32_t>(gFrameData[f].noteY - cropT());
  bool accepted = false;
  if (box[0] != -1 && hover) {
    const bool edges = (box[0] + cropL() == in.v[0] && box[2] + cropL() == in.v[2]) ||
                       (box[1] + cropT() == in.v[1] && box[3] + cropT() == in.v[3]);
    accepted = edges && box[2] - box[0] <= in.v[2] - in.v[0] && box[3] - box[1] <= in.v[3] - in.v[1];
  } else if (box[0] != -1) {
    const int32_t bw = box[2] - box[0], bh = box[3] - box[1];
    accepted = bw >= 5 && (bw < 20 || bh < 81) && box[0] <= x && x <= box[2] && box[1] <= y && y <= box[3];
  }
  if (accepted) setRect(in, box[0], box[1], box[2], box[3]);
  if ((accepted || hover) && in.v[3] - in.v[1] > 7) return;
  if (x < 1) return;
  const Grey grey{gCursor->checkpointPixels()};
  flatArea(grey, x, y, in);
  labelBox(grey, x, y, in);
}

// The first rectangle of a click at the pointer.
void firstClickRect(InstrRec& in, int64_t px, int64_t py) {
  int64_t dx = std::min<int64_t>({px - cropL(), 40, int64_t{cropL()} + cropW() - 1 - px});
  int64_t left = px - dx, right = px + dx;
  if (right - left < 9) {
    if (left > cropL() + cropW() / 2) left = right - 9;
    else right = left + 9;
  }
  const int64_t dy = std::min<int64_t>(py - cropT(), 15);
  int64_t top = py - dy, bottom = py + dy;
  if (bottom - top < 9) {
    if (top > cropT() + cropH() / 2) top = bottom - 9;
    else bottom = top + 9;
  }
  in.v[0] = static_cast<int32_t>(left);
  in.v[1] = static_cast<int32_t>(top);
  in.v[2] = static_cast<int32_t>(right);
  in.v[3] = static_cast<int32_t>(bottom);
}

// Opens the capture slot's recording for the analyses, with a change map of
// the crop's size (the crop may differ from the last abstraction's).
void openFrames() {
  gCursor = std::make_unique<FrameCursor>(captureSlotPath(".DMR").c_str(), gCropSize);
  gMap.assign(static_cast<size_t>(std::max(0, cropW())) * std::max(0, cropH()), 0);
  std::fill(gDirty, gDirty + 4, 0);
  for (Remembered& r : gRemembered) r = Remembered{};
}

// ---- Reading the capture ------------------------------------------------------------------

void writeHeader() {
  demoInitDatastores();
  char crop[80];
  std::snprintf(crop, sizeof crop, "%d,%d,%d,%d\r\n", cropL(), cropT(), cropW(), cropH());
  gHeaderData[0] = demoStoreNewTextValue(crop);
  gHeaderData[1] = 0;
  gHeaderData[2] = 0;
  gHeaderData[3] = 1;
  gHeaderCount = 4;
}

void detectCrop() {
  std::FILE* f = std::fopen(captureSlotPath(".DMR").c_str(), "rb");
  if (f == nullptr) fatal("Fatal Error", "Unexpected Error GCBG-002");
  char line[REC_LINE_LIMIT + 1] = "";
  if (std::fgets(line, sizeof line, f) == nullptr) line[0] = '\0';
  std::fclose(f);
  const int64_t W = getLinePosValue(line, 3), H = getLinePosValue(line, 4);
  gRecordedW = W >= 1 && W <= 65535 ? static_cast<int32_t>(W) : -1;
  gRecordedH = H >= 1 && H <= 65535 ? static_cast<int32_t>(H) : -1;
  std::vector<std::array<int32_t, 4>> rects;
  if (!winReadRects(captureSlotPath(".DMW"), &rects)) fatal("Fatal Error", "Unexpected Error GCBG-004");
  std::vector<int32_t> flat;
  for (const auto& r : rects) flat.insert(flat.end(), r.begin(), r.end());
  detectCropFromRects(reinterpret_cast<const int32_t(*)[4]>(flat.data()), static_cast<int>(rects.size()), gRecordedW,
                      gRecordedH, gCropSize);
}

void buildFrameList() {
  const std::string path = captureSlotPath(".DMR");
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) std::fclose(f);
  else fatal("Exiting...", "Unexpected WID002");
  const std::vector<RecordEntry> records = indexRecording(path.c_str());
  stopPoint();  // the index may be short
  const int64_t last = records.empty() ? 1 : std::max<int64_t>(1, records.back().offset);
  gFrameCount = gInstrCount = 0;
  gAbstractRecordsRead = 0;
  int64_t key = -1;
  for (const RecordEntry& r : records) {
    ++gAbstractRecordsRead;
    if (r.key) key = r.offset;
    if (key < 0) break;  // a recording must open with a key frame
    if (gFrameCount >= DEMO_FRAME_CAP) {
      gAbstractOutcome = ABSTRACT_CUT;
      continue;
    }
    const int32_t n = gFrameCount++;
    gFrameData[n] = FrameRec{r.time, n, key, r.offset, -1, r.mouseX, r.mouseY};
    InstrRec& in = gInstrData[n];
    in = InstrRec{n, -1, r.click == 1 ? INSTR_LEFT : INSTR_TIMER, {0, 0, 0, 0}};
    if (r.click == 1) firstClickRect(in, r.mouseX, r.mouseY);
    if (n % 3 == 0) gAbstractProgress = static_cast<int>(std::min<int64_t>(999, r.offset * 940 / last));
    if (n % 1024 == 0) stopPoint();
  }
  gInstrCount = gFrameCount;
  setTimerWaits();
}

// ---- What the presses landed on ----------------------------------------------------------

void readPresses() {
  gPresses.clear();
  std::vector<PressObject> presses;
  readPressFile(captureSlotPath(".DMA"), &presses);  // none: the boxes and notes are made as without a tree
  for (PressObject& p : presses) gPresses.emplace(p.time, std::move(p));
}

const PressObject* pressOf(int32_t f) {
  const auto it = gPresses.find(timeOf(f));
  return it == gPresses.end() ? nullptr : &it->second;
}

bool isPress(int32_t f) { return isClick(f) || instrOf(f).type == INSTR_MOVE_IN; }

// A press's click box becomes the pressed object's extents where they hold
// the press point, lie inside the crop and cover less than a quarter of it;
// the changed pixels do not always outline a control.
void fitClickBoxes() {
  gFitted.assign(static_cast<size_t>(gFrameCount), 0);
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const PressObject* p = isPress(f) ? pressOf(f) : nullptr;
    if (p == nullptr) continue;
    const int64_t x = p->extents[0], y = p->extents[1], w = p->extents[2], h = p->extents[3];
    const int64_t px = gFrameData[f].noteX, py = gFrameData[f].noteY;
    if (px < x || px >= x + w || py < y || py >= y + h) continue;
    if (x < cropL() || y < cropT() || x + w > int64_t{cropL()} + cropW() || y + h > int64_t{cropT()} + cropH()) continue;
    if (w * h * 4 >= int64_t{cropW()} * cropH()) continue;
    setRect(instrOf(f), static_cast<int32_t>(x - cropL()), static_cast<int32_t>(y - cropT()),
            static_cast<int32_t>(x + w - 1 - cropL()), static_cast<int32_t>(y + h - 1 - cropT()));
    gFitted[static_cast<size_t>(f)] = 1;
  }
}

// A press the side file leaves out, or whose object it names without a name
// (a password field's contents are never read).
bool wantsLabel(int32_t f) {
  const PressObject* p = pressOf(f);
  return p == nullptr || (p->name.empty() && !isPasswordRole(p->role));
}

// The label read off frame f over the click box grown by grow pixels (inside the crop).
std::string labelIn(int32_t f, const InstrRec& in, int32_t grow) {
  const int32_t l = std::max(in.v[0] - grow - cropL(), 0), t = std::max(in.v[1] - grow - cropT(), 0);
  const int32_t r = std::min(in.v[2] + grow - cropL(), cropW() - 1);
  const int32_t b = std::min(in.v[3] + grow - cropT(), cropH() - 1);
  if (r < l || b < t) return std::string();
  const size_t stride = size_t{3} * static_cast<size_t>(cropW());
  const unsigned char* at = decoded(f) + static_cast<size_t>(t) * stride + size_t{3} * static_cast<size_t>(l);
  return readControlLabel(at, r - l + 1, b - t + 1, stride).text;
}

// The label of every such press, read off its key frame over its click box
// (the changed pixels' or the object's, before it is grown). A key frame
// caught while the control redraws its pressed face shows the face without
// its label, and the changed pixels are then the label's alone: such a
// small box is read in the next frame, with some of the face around it.
void readLabels() {
  gLabels.clear();
  if (!gAbstractReadsLabels) return;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    if (!isPress(f) || !wantsLabel(f)) continue;
    stopPoint();
    const InstrRec& in = instrOf(f);
    std::string label = labelIn(f, in, 0);
    const bool labelOnly = in.v[2] - in.v[0] < kFaceWidth || in.v[3] - in.v[1] < kFaceHeight;
    if (label.empty() && labelOnly && f + 1 < gFrameCount) label = labelIn(f + 1, in, kFaceMargin);
    if (!label.empty()) gLabels[timeOf(f)] = std::move(label);
  }
}

// Every press on a password field, over the frames from the press to the
// next press: the frames that show what is typed into it.
void findPasswordFields() {
  gPasswordFields.clear();
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const PressObject* p = isPress(f) ? pressOf(f) : nullptr;
    if (p == nullptr || !isPasswordRole(p->role)) continue;
    const int64_t x0 = std::max<int64_t>(p->extents[0], 0), y0 = std::max<int64_t>(p->extents[1], 0);
    const int64_t x1 = std::min<int64_t>(int64_t{p->extents[0]} + p->extents[2], gRecordedW);
    const int64_t y1 = std::min<int64_t>(int64_t{p->extents[1]} + p->extents[3], gRecordedH);
    if (x1 <= x0 || y1 <= y0) continue;
    int32_t next = f + 1;
    while (next < gFrameCount && !isPress(next)) ++next;
    PasswordField field;
    field.rect[0] = static_cast<int32_t>(x0);
    field.rect[1] = static_cast<int32_t>(y0);
    field.rect[2] = static_cast<int32_t>(x1 - x0);
    field.rect[3] = static_cast<int32_t>(y1 - y0);
    field.from = gFrameData[f].frameId;
    field.to = gFrameData[std::min(next, gFrameCount - 1)].frameId;
    gPasswordFields.push_back(field);
  }
}

// The caption of every press frame that has one, by frame (before the
// finishing pass, which turns a mouseover into a pair and the times into names).
std::vector<std::string> pressCaptions() {
  std::vector<std::string> captions(static_cast<size_t>(gFrameCount));
  for (int32_t f = 0; f < gFrameCount; ++f) {
    if (!isPress(f)) continue;
    CaptionPress press;
    const PressObject* p = pressOf(f);
    if (p != nullptr) {
      press.role = p->role;
      press.name = p->name;
    }
    if (const auto label = gLabels.find(timeOf(f)); label != gLabels.end()) press.name = label->second;
    if (p == nullptr && press.name.empty()) continue;
    press.hover = instrOf(f).type == INSTR_MOVE_IN && f > 0;
    press.typingFollows = f + 1 < gFrameCount && isTimer(f + 1);
    captions[static_cast<size_t>(f)] = captionOf(press);
  }
  return captions;
}

// Writes each caption as its frame's note where the note is still the
// default one; a mouseover pair shares its note, so both frames say it.
void writeCaptions(const std::vector<std::string>& captions) {
  gCaptioned.clear();
  for (size_t f = 0; f < captions.size() && f < static_cast<size_t>(gFrameCount); ++f) {
    if (captions[f].empty()) continue;
    const int64_t note = gFrameData[f].noteText;
    if (note < DEMO_FIRST_TEXT_REC || note >= DEMO_TEXT_RECS) continue;
    char text[DEMO_TEXT_LEN] = "";
    demoGetTextValue(static_cast<int32_t>(note), text);
    if (std::strcmp(text, kDefaultNote) != 0) continue;
    if (demoUpdateTextValue(static_cast<int32_t>(note), captions[f].c_str()) >= 0)
      gCaptioned.push_back(static_cast<int32_t>(note));
  }
}

}  // namespace

// ---- Exported parts ---------------------------------------------------------------------------

void detectCropFromRects(const int32_t (*rects)[4], int count, int32_t W, int32_t H, int32_t crop[4]) {
  crop[0] = crop[1] = 0;
  crop[2] = W;
  crop[3] = H;
  if (count < 1) return;
  int32_t best[4] = {0, 0, -999, -999};
  for (int i = 0; i < count; ++i) {
    int64_t x = rects[i][0], y = rects[i][1], w = int64_t{rects[i][2]} - rects[i][0], h = int64_t{rects[i][3]} - rects[i][1];
    x = std::max<int64_t>(x, 0);
    y = std::max<int64_t>(y, 0);
    w = std::max<int64_t>(w, 0);
    h = std::max<int64_t>(h, 0);
    if (x >= W) x = W - 1;
    if (y >= H) y = H - 1;
    if (w >= W) w = W - 1;
    if (h >= H) h = H - 1;
    if (x + w > W) w = W - x;
    if (y + h > H) h = H - y;
    if (w > best[2] && h > best[3]) {
      best[0] = static_cast<int32_t>(x);
      best[1] = static_cast<int32_t>(y);
      best[2] = static_cast<int32_t>(w);
      best[3] = static_cast<int32_t>(h);
    }
  }
  if ((count == 1 && best[2] < 500 && best[3] < 300) || best[2] < 41) return;
  if (best[3] > 30) std::copy(best, best + 4, crop);
}

void analyseFrameChanges(int32_t frame, int32_t slot, int32_t count, FrameChange* entries) {
  if (!gCursor) openFrames();
  for (int32_t i = 0; i < count && frame + i < gFrameCount; ++i) analyse(frame + i, entries[slot + i]);
}

void setTimerWaits() {
  for (int32_t i = 0; i + 1 < gFrameCount; ++i)
    if (isTimer(i)) instrOf(i).v[0] = waitBetween(i, i + 1, 1000);
}

void growClickRects() {
  for (int32_t i = 0; i < gInstrCount; ++i) {
    InstrRec& in = gInstrData[i];
    if (in.type == INSTR_TIMER) continue;
    if (in.frame == i && static_cast<size_t>(i) < gFitted.size() && gFitted[static_cast<size_t>(i)] != 0) continue;
    in.v[0] = std::max(in.v[0] - 3, cropL());
    in.v[1] = std::max(in.v[1] - 3, cropT());
    in.v[2] = std::min(in.v[2] + 3, cropL() + cropW() - 1);
    in.v[3] = std::min(in.v[3] + 3, cropT() + cropH() - 1);
  }
}

void finishInstructions() {
  gHeaderData[3] = 1;
  gHeaderCount = 4;
  const int32_t frames = gFrameCount;
  for (int32_t i = 0; i < frames; ++i) gFrameData[i].noteText = 0;
  const char* note = kDefaultNote;
  for (int32_t i = 0; i < frames; ++i) {
    const char* name = "wait";
    InstrRec& in = gInstrData[i];
    if (i + 1 < frames && gInstrData[i + 1].type == INSTR_MOVE_IN) {
      name = "Mouseover";
      const int32_t text = demoStoreNewTextValue(note);
      gFrameData[i].noteText = gFrameData[i + 1].noteText = text;
    }
    if (in.type == INSTR_LEFT || in.type == INSTR_MOVE_IN) {
      name = "Click";
      if (gFrameData[i].noteText == 0) gFrameData[i].noteText = demoStoreNewTextValue(note);
    }
    if (in.type == INSTR_TIMER) in.v[1] = in.v[2] = in.v[3] = 0;
    gFrameData[i].nameText = demoStoreNewTextValue(name);
    gFrameData[i].noteX = gFrameData[i].noteY = DEMO_NO_POSITION;
    if (in.type == INSTR_MOVE_IN) {
      if (i > 0) {
        gInstrData[i - 1] = InstrRec{i - 1, -1, INSTR_MOVE_IN, {in.v[0], in.v[1], in.v[2], in.v[3]}};
        if (gInstrCount < DEMO_INSTR_CAP)
          gInstrData[gInstrCount++] = InstrRec{i, i - 1, INSTR_MOVE_OUT, {in.v[0], in.v[1], in.v[2], in.v[3]}};
      }
      in.type = INSTR_LEFT;
    } else if (in.type == INSTR_TIMER && in.v[0] > kNoteMax) {
      in.v[0] = kNoteMax;
    }
  }
}

std::vector<PasswordField> passwordFields() { return gPasswordFields; }

void removeStepCaptions() {
  for (int32_t note : gCaptioned) demoUpdateTextValue(note, kDefaultNote);
  gCaptioned.clear();
}

void analyseCapture() {
  gCursor.reset();
  gAbstractProgress = 0;
  gAbstractOutcome = ABSTRACT_OK;
  if (gRecordedW == -1) detectCrop();
  writeHeader();
  if (gRecordedW < 1 || cropW() < 1 || cropH() < 1) {
    gFrameCount = gInstrCount = 0;
    gAbstractOutcome = ABSTRACT_EMPTY;
    gAbstractProgress = 1000;
    return;
  }
  buildFrameList();
  if (gFrameCount == 0) gAbstractOutcome = ABSTRACT_EMPTY;
  gAbstractProgress = 1000;
}

void buildSteps() {
  gAbstractProgress = 0;
  gPasswordFields.clear();
  readPresses();
  openFrames();
  stopPoint();
  if (!gCursor->ok()) fatal("Exiting...", "Unexpected WID002");
  int32_t lastClick = -1;
  for (int32_t i = 1; i < gFrameCount; ++i)
    if (isClick(i)) lastClick = i;
  if (lastClick >= 1) gFrameCount = gInstrCount = lastClick;
  for (int32_t f = gFrameCount - 1; f >= 1;) {
    if (!isClick(f)) {
      --f;
      continue;
    }
    if (pointerInsideCrop(f)) break;
    gFrameCount = gInstrCount = f;
    f -= 2;
  }
  for (int32_t i = 0; i + 1 < gFrameCount; ++i)
    if (isClick(i) && !pointerInsideCrop(i)) makeTimer(i, waitBetween(i, i + 1, INT32_MAX));
  for (int32_t i = 0; i < gFrameCount; ++i) {
    if (!isClick(i)) continue;
    int32_t j = i + 1;
    while (j < gFrameCount && !isClick(j)) ++j;
    if (j < gFrameCount && timeOf(j) - timeOf(i) < 500) makeTimer(j, waitBetween(j, j + 1, 1000));
  }
  gAbstractProgress = 1;
  int32_t i = 0;
  for (; i < gFrameCount && !isTimer(i); ++i)
    if (instrOf(i).type == INSTR_LEFT || instrOf(i).type == INSTR_MOVE_IN) refineClick(i);
  while (i < gFrameCount) {
    stopPoint();
    if (!isTimer(i)) {
      ++i;
      continue;
    }
    int32_t j = i;
    while (j < gFrameCount && isTimer(j)) ++j;
    if (j >= gFrameCount) j = gFrameCount - 1;
    gAbstractProgress = static_cast<int>(int64_t{i} * 940 / std::max(1, gFrameCount) + 5);
    int32_t first = std::max(i, 1);
    if (j - first + 1 > ABSTRACT_RUN_CAP - 3) first = j - (ABSTRACT_RUN_CAP - 2);  // the run's last 9,999 frames
    const int32_t end = first < j ? scrubRun(first, j) : j;
    if (!isTimer(end)) refineClick(end);
    i = end + 1;
    while (i < gFrameCount && !isTimer(i)) ++i;
  }
  fitClickBoxes();
  readLabels();
  findPasswordFields();
  growClickRects();
  gAbstractProgress = 970;
  const std::vector<std::string> captions = pressCaptions();
  finishInstructions();
  writeCaptions(captions);
  gFitted.clear();
  gLabels.clear();
  gPresses.clear();
  gCursor.reset();
  gAbstractProgress = 1000;
}
