// abstraction_reference.cpp: the abstraction written out rule by rule for
// the tests. Frames are rebuilt from their key record whenever a rule
// looks at them; nothing is cached between rules.
#include "tests/support/abstraction_reference.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr int kCaretDark = -63;       // d below this: the pixel became much darker
constexpr int kHoverChange = 47;      // a change above this is more than a highlight
constexpr int kGreyStep = 6;          // neighbouring grey levels closer than this are flat

int32_t cropL() { return gCropSize[0]; }
int32_t cropT() { return gCropSize[1]; }
int32_t cropW() { return gCropSize[2]; }
int32_t cropH() { return gCropSize[3]; }

bool isTimer(int32_t f) { return gInstrData[f].type == INSTR_TIMER; }
bool isClick(int32_t f) { return gInstrData[f].type == INSTR_LEFT; }
bool isMouseover(int32_t f) { return gInstrData[f].type == INSTR_MOVE_IN; }
bool hasBox(const FrameChange& e) { return e.box[0] != -1; }

void setProgress(int64_t value) { gAbstractProgress.store(static_cast<int>(value)); }

// Frame f cut to the crop, blue, green, red, top row first, rebuilt from its
// key record. A frame that cannot be rebuilt reads as black.
std::vector<unsigned char> croppedFrame(int32_t f) {
  const int64_t w = std::max(cropW(), 0), h = std::max(cropH(), 0);
  std::vector<unsigned char> bgr(static_cast<size_t>(w * h * 3), 0);
  if (bgr.empty()) return bgr;
  const std::string path = captureSlotPath(".DMR");
  demoRecframeCroppedToMembuff(path.c_str(), gFrameData[f].imageRefA, gFrameData[f].imageRefB, gCropSize,
                               bgr.data(), 3, 1);
  return bgr;
}

// ---- Crop detection and the frame list --------------------------------------------

void detectCrop(const std::vector<std::array<int32_t, 4>>& lines, int32_t W, int32_t H, int32_t crop[4]) {
  crop[0] = 0;
  crop[1] = 0;
  crop[2] = W;
  crop[3] = H;
  // Candidates are computed in 64 bits so that far-off lines cannot overflow.
  int64_t best[4] = {0, 0, -999, -999};
  int count = 0;
  for (const auto& line : lines) {
    int64_t x = line[0], y = line[1], w = int64_t{line[2]} - line[0], h = int64_t{line[3]} - line[1];
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    if (x >= W) x = W - 1;
    if (y >= H) y = H - 1;
    if (w >= W) w = W - 1;
    if (h >= H) h = H - 1;
    if (x + w > W) w = W - x;
    if (y + h > H) h = H - y;
    if (w > best[2] && h > best[3]) {
      best[0] = x;
      best[1] = y;
      best[2] = w;
      best[3] = h;
    }
    ++count;
  }
  if ((count == 1 && best[2] < 500 && best[3] < 300) || best[2] < 41) return;
  if (best[3] > 30)
    for (int i = 0; i < 4; ++i) crop[i] = static_cast<int32_t>(best[i]);
}

// The first rectangle of a click at (px, py), recorded-screen pixels.
void firstClickRect(int64_t px, int64_t py, int32_t v[4]) {
  const int64_t L = cropL(), T = cropT(), W = cropW(), H = cropH();
  const int64_t dx = std::min({px - L, int64_t{40}, L + W - 1 - px});
  int64_t left = px - dx, right = px + dx;
  if (right - left < 9) {
    if (left > L + W / 2)
      left = right - 9;
    else
      right = left + 9;
  }
  const int64_t dy = std::min(py - T, int64_t{15});
  int64_t top = py - dy, bottom = py + dy;
  if (bottom - top < 9) {
    if (top > T + H / 2)
      top = bottom - 9;
    else
      bottom = top + 9;
  }
  v[0] = static_cast<int32_t>(left);
  v[1] = static_cast<int32_t>(top);
  v[2] = static_cast<int32_t>(right);
  v[3] = static_cast<int32_t>(bottom);
}

// One frame and one instruction per whole record; false when the recording
// cannot be opened.
bool buildFrameList() {
  const std::string path = captureSlotPath(".DMR");
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) {
    std::fprintf(stderr, "reference: Unexpected WID002\n");
    return false;
  }
  fseeko(f.get(), 0, SEEK_END);
  const int64_t size = ftello(f.get());
  int64_t p = 0, key = -1, records = 0;
  int32_t n = 0;
  RecordLine r;
  // The list ends at the first record that is not whole (cut short or damaged).
  for (int64_t next; (next = recReadRecord(f.get(), p, &r, nullptr)) >= 0; p = next) {
    ++records;
    if (n >= DEMO_FRAME_CAP) continue;  // counted, but the frame table is full
    if (r.w == r.W && r.h == r.H) key = p;
    if (key < 0) break;  // nothing before the first key record can be rebuilt
    gFrameData[n] = FrameRec{r.time, n, key, p, 0, r.mouseX, r.mouseY};
    InstrRec& in = gInstrData[n];
    in = InstrRec{n, -1, r.click == 1 ? INSTR_LEFT : INSTR_TIMER, {0, 0, 0, 0}};
    if (in.type == INSTR_LEFT) firstClickRect(r.mouseX, r.mouseY, in.v);
    ++n;
    if (n % 3 == 0 && size > 0) setProgress(std::min<int64_t>(p * 940 / size, 999));
  }
  gFrameCount = n;
  gInstrCount = n;
  gAbstractRecordsRead = records;
  gAbstractOutcome.store(n == 0 ? ABSTRACT_EMPTY : records > n ? ABSTRACT_CUT : ABSTRACT_OK);
  return true;
}

void setTimerWaitsReference() {
  for (int32_t i = 0; i + 1 < gFrameCount; ++i) {
    if (!isTimer(i)) continue;
    int64_t wait = gFrameData[i + 1].nameText - gFrameData[i].nameText;
    if (wait < 0) wait = 500;
    if (wait > 1000) wait = 1000;
    gInstrData[i].v[0] = static_cast<int32_t>(wait);
  }
}

// ---- Frame change analysis --------------------------------------------------------

FrameChange analyse(int32_t g) {
  FrameChange e{};
  e.frame = g;
  e.recompute = 0;
  e.caret = 0;
  e.caretX = e.caretY = -1;
  e.box[0] = e.box[1] = e.box[2] = e.box[3] = -1;  // no box: all four edges -1
  const int32_t w = cropW(), h = cropH();
  if (w < 1 || h < 1) return e;
  const std::vector<unsigned char> now = croppedFrame(g), before = croppedFrame(g - 1);
  std::vector<int> d(static_cast<size_t>(w) * h);
  int64_t c = 0;
  for (size_t i = 0; i < d.size(); ++i) {
    const int sumNow = now[i * 3] + now[i * 3 + 1] + now[i * 3 + 2];
    const int sumBefore = before[i * 3] + before[i * 3 + 1] + before[i * 3 + 2];
    d[i] = (sumNow - sumBefore) / 6;
    if (d[i] < -1 || d[i] > 1) ++c;
  }
  auto at = [&](int64_t x, int64_t y) { return d[static_cast<size_t>(y * w + x)]; };
  auto changed = [&](int64_t x, int64_t y) { return at(x, y) < -1 || at(x, y) > 1; };
  const int64_t area = int64_t{w} * h;
  int64_t change = (2 * c * 10000 + area) / (2 * area);  // rounded to the nearest
  if (change == 0 && c > 5) change = 1;
  if (c <= 5) change = 0;
  e.change = static_cast<int32_t>(change);
  if (change == 0) return e;

  // The caret: a pixel that turned much darker with 5 to 21 more below it.
  for (int64_t y = 2; y <= h - 3 && !e.caret; ++y) {
    for (int64_t x = 2; x <= w - 3; ++x) {
      if (at(x, y) >= kCaretDark) continue;
      int64_t run = 0;
      while (y + run + 1 <= h - 3 && at(x, y + run + 1) < kCaretDark) ++run;  // counting stops 2 rows above the bottom
      if (run < 5 || run > 21) continue;
      const int64_t bottom = y + run;
      const int quiet = !changed(x - 1, y) + !changed(x + 1, y) + !changed(x - 1, bottom) + !changed(x + 1, bottom);
      if (quiet < 2) continue;
      e.caret = 1;
      e.caretX = static_cast<int32_t>(x);
      e.caretY = static_cast<int32_t>(y);
      break;
    }
  }

  // The pointer box, grown from the pointer one edge at a time.
  const int64_t mx = gFrameData[g].noteX - cropL(), my = gFrameData[g].noteY - cropT();
  if (mx < 1 || my < 1 || mx >= w - 2 || my >= h - 2) return e;
  auto columnHolds = [&](int64_t x, int64_t r0, int64_t r1) {
    for (int64_t y = std::max<int64_t>(r0, 0); y <= std::min<int64_t>(r1, h - 1); ++y)
      if (changed(x, y)) return true;
    return false;
  };
  auto rowHolds = [&](int64_t y, int64_t c0, int64_t c1) {
    for (int64_t x = std::max<int64_t>(c0, 0); x <= std::min<int64_t>(c1, w - 1); ++x)
      if (changed(x, y)) return true;
    return false;
  };
  // Moves from `from` by step up to the border (examined), keeping the last
  // position whose band holds a change; stops 9 past it.
  auto grow = [](int64_t from, int step, int64_t border, auto holds) {
    int64_t last = from;
    for (int64_t p = from + step; step < 0 ? p >= border : p <= border; p += step) {
      if (holds(p))
        last = p;
      else if ((p - last) * step >= 9)
        break;
    }
    return last;
  };
  int64_t left, top, right, bottom;
  left = grow(mx, -1, 0, [&](int64_t x) { return columnHolds(x, my - 4, my + 4); });
  top = grow(my, -1, 0, [&](int64_t y) { return rowHolds(y, left - 4, mx + 4); });
  right = grow(mx, 1, w - 1, [&](int64_t x) { return columnHolds(x, top - 4, my + 4); });
  bottom = grow(my, 1, h - 1, [&](int64_t y) { return rowHolds(y, left - 4, right + 4); });
  // Second pass: over the box's extent between the two other edges, no margin.
  left = grow(left, -1, 0, [&](int64_t x) { return columnHolds(x, top, bottom); });
  top = grow(top, -1, 0, [&](int64_t y) { return rowHolds(y, left, right); });
  right = grow(right, 1, w - 1, [&](int64_t x) { return columnHolds(x, top, bottom); });
  bottom = grow(bottom, 1, h - 1, [&](int64_t y) { return rowHolds(y, left, right); });
  if (right - left > 2 && bottom - top > 2) {
    e.box[0] = static_cast<int32_t>(left);
    e.box[1] = static_cast<int32_t>(top);
    e.box[2] = static_cast<int32_t>(right);
    e.box[3] = static_cast<int32_t>(bottom);
  }
  return e;
}

// ---- Model edits ---------------------------------------------------------------------

// Removes frame f and its instruction; with addWait a removed timer's wait
// goes to the timer that takes its place.
void removeFrame(int32_t f, bool addWait) {
  if (addWait && f + 1 < gFrameCount && isTimer(f) && isTimer(f + 1))
    gInstrData[f + 1].v[0] += gInstrData[f].v[0];
  for (int32_t k = f; k + 1 < gFrameCount; ++k) gFrameData[k] = gFrameData[k + 1];
  for (int32_t k = f; k + 1 < gInstrCount; ++k) {
    gInstrData[k] = gInstrData[k + 1];
    gInstrData[k].frame = k;
  }
  --gFrameCount;
  --gInstrCount;
}

// The wait of a click turned into a timer: the next frame's time minus its
// own (0 on the last frame), 500 when negative, at most cap when cap > 0.
int32_t waitFromTimes(int32_t f, int64_t cap) {
  if (f + 1 >= gFrameCount) return 0;
  int64_t wait = gFrameData[f + 1].nameText - gFrameData[f].nameText;
  if (wait < 0) wait = 500;
  if (cap > 0 && wait > cap) wait = cap;
  return static_cast<int32_t>(wait);
}

bool pointerInsideCrop(int32_t f) {
  const int64_t x = gFrameData[f].noteX, y = gFrameData[f].noteY;
  return cropL() <= x && x < int64_t{cropL()} + cropW() && cropT() <= y && y < int64_t{cropT()} + cropH();
}

// ---- Scrubbing a run --------------------------------------------------------------------

class Run {
 public:
  Run(int32_t first, int32_t last) : first_(first) {
    for (int32_t g = first; g <= last; ++g) e_.push_back(analyse(g));
  }
  int32_t scrub();

 private:
  int32_t frameOf(int64_t k) const { return first_ + static_cast<int32_t>(k); }
  int64_t size() const { return static_cast<int64_t>(e_.size()); }
  void remove(int64_t k, bool addWait) {
    removeFrame(frameOf(k), addWait);
    e_.erase(e_.begin() + k);
  }
  void recomputeMarked() {
    for (int64_t k = 0; k < size(); ++k)
      if (e_[k].recompute == 1) e_[k] = analyse(frameOf(k));
  }
  void setWait(int64_t k, int32_t wait) {
    if (isTimer(frameOf(k))) gInstrData[frameOf(k)].v[0] = wait;
  }
  void unchangedFrames();
  void unchangedEnd();
  void hoverBeforeClick();
  void blinkingCaret();
  void caretOnOffOn();
  void removeMarked();
  void shortAnimationSteps();

  int32_t first_;
  std::vector<FrameChange> e_;
};

// Rule 1: inner frames that show no change go, their waits added forward.
// The stale change of the marked entry is read again before it is recomputed.
void Run::unchangedFrames() {
  for (int64_t k = 1; k + 1 < size();) {
    if (e_[k].change != 0) {
      ++k;
      continue;
    }
    e_[k + 1].recompute = 1;
    remove(k, true);
  }
  recomputeMarked();
}

// Rule 2: the frame before an unchanged last frame goes (its wait is not added).
void Run::unchangedEnd() {
  while (size() >= 3 && e_.back().change == 0) {
    remove(size() - 2, false);
    e_.back() = analyse(frameOf(size() - 1));
  }
}

// Rule 3: the frames between a hover highlight and its click go.
void Run::hoverBeforeClick() {
  if (!isClick(frameOf(size() - 1))) return;
  // The walk examines entries down to entry 1 and stops there (entry 0 only for a one-entry run).
  int64_t k = size() - 1;
  for (;;) {
    if (hasBox(e_[k])) {
      if (e_[k].change > kHoverChange) return;
      break;
    }
    if (e_[k].change > kHoverChange) return;
    if (k < 2) break;
    --k;
  }
  int64_t differs = -1;
  for (int64_t m = k - 1; m >= 0 && differs < 0; --m)
    for (int i = 0; i < 4; ++i)
      if (e_[m].box[i] != e_[k].box[i]) differs = m;
  if (differs < 0 || size() - differs >= 13) return;
  while (size() - 1 > differs + 1) remove(differs + 1, false);
  const int64_t click = size() - 1;
  e_[click] = analyse(frameOf(click));
  if (!hasBox(e_[click])) return;
  InstrRec& in = gInstrData[frameOf(click)];
  in.type = INSTR_MOVE_IN;
  in.v[0] = e_[click].box[0] + cropL();
  in.v[1] = e_[click].box[1] + cropT();
  in.v[2] = e_[click].box[2] + cropL();
  in.v[3] = e_[click].box[3] + cropT();
}

// Rule 4: a caret blinking at one place leaves one frame of 500 ms. Every
// entry with a caret starts a count, marked ones too; matches need not be adjacent.
void Run::blinkingCaret() {
  const int64_t limit = isMouseover(frameOf(size() - 1)) ? size() - 3 : size() - 1;
  for (int64_t k = 0; k < size(); ++k) {
    if (!e_[k].caret) continue;
    int64_t count = 1, last = k;
    for (int64_t m = k + 1; m <= limit; ++m)
      if (e_[m].caret && e_[m].caretX == e_[k].caretX && e_[m].caretY == e_[k].caretY) {
        ++count;
        last = m;
      }
    if (count < 3) continue;
    for (int64_t m = k + 1; m < last; ++m) e_[m].recompute = 5;
    int64_t keep = -1;
    for (int64_t m = last - 1; m > k && keep < 0; --m)
      if (!e_[m].caret && !hasBox(e_[m])) keep = m;
    for (int64_t m = last - 1; m > k && keep < 0; --m)
      if (!e_[m].caret) keep = m;
    if (keep < 0) continue;  // every entry between shows a caret: all go
    e_[keep].recompute = 0;
    setWait(keep, 500);
  }
}

// Rule 5: caret on, off, on keeps each of the three timers at 500 ms.
void Run::caretOnOffOn() {
  for (int64_t k = 0; k + 2 < size(); ++k) {
    const FrameChange &a = e_[k], &b = e_[k + 1], &c = e_[k + 2];
    if (!a.caret || !c.caret || b.caret || a.caretX != c.caretX || a.caretY != c.caretY) continue;
    for (int64_t m = k; m <= k + 2; ++m) setWait(m, 500);
  }
}

// Rule 6: the marked frames go (their waits are not added).
void Run::removeMarked() {
  for (int64_t k = 0; k < size();) {
    if (e_[k].recompute != 5) {
      ++k;
      continue;
    }
    if (k + 1 < size() && e_[k + 1].recompute == 0) e_[k + 1].recompute = 1;
    remove(k, false);
  }
  recomputeMarked();
}

// Rule 8: short steps between untouched neighbours join the step before.
// The bound follows the entries left; L is taken from the count at the start.
void Run::shortAnimationSteps() {
  const int64_t L = std::min<int64_t>(size() / 10 * 15, 150);
  if (L < 1 || size() < 6) return;
  for (int64_t k = 2; k <= size() - 4; ++k) {
    const int32_t f = frameOf(k);
    if (gInstrData[f].v[0] > L) continue;
    if (gFrameData[f - 1].frameId + 1 != gFrameData[f].frameId || gFrameData[f].frameId + 1 != gFrameData[f + 1].frameId)
      continue;
    gInstrData[f - 1].v[0] += gInstrData[f].v[0];
    removeFrame(f, false);
    e_.erase(e_.begin() + k);
  }
}

// Applies the run rules; returns the index of the run's last frame afterwards.
int32_t Run::scrub() {
  unchangedFrames();
  unchangedEnd();
  hoverBeforeClick();
  blinkingCaret();
  caretOnOffOn();
  removeMarked();
  unchangedFrames();
  shortAnimationSteps();
  return frameOf(size() - 1);
}

// ---- Instructions -----------------------------------------------------------------------

void growRects() {
  const int32_t right = cropL() + cropW() - 1, bottom = cropT() + cropH() - 1;
  for (int32_t k = 0; k < gInstrCount; ++k) {
    InstrRec& in = gInstrData[k];
    if (in.type == INSTR_TIMER) continue;
    in.v[0] = std::max(in.v[0] - 3, cropL());
    in.v[1] = std::max(in.v[1] - 3, cropT());
    in.v[2] = std::min(in.v[2] + 3, right);
    in.v[3] = std::min(in.v[3] + 3, bottom);
  }
}

void finish() {
  gHeaderData[3] = 1;
  gHeaderCount = 4;
  const int32_t frames = gFrameCount;
  for (int32_t i = 0; i < frames; ++i) gFrameData[i].noteText = 0;
  const char* note = "Click in a red box";
  for (int32_t i = 0; i < frames; ++i) {
    const char* name = "wait";
    if (i + 1 < frames && isMouseover(i + 1)) {
      name = "Mouseover";
      const int32_t shared = demoStoreNewTextValue(note);
      gFrameData[i].noteText = shared;
      gFrameData[i + 1].noteText = shared;
    }
    InstrRec& in = gInstrData[i];
    if (in.type == INSTR_LEFT || in.type == INSTR_MOVE_IN) {
      name = "Click";
      if (gFrameData[i].noteText == 0) gFrameData[i].noteText = demoStoreNewTextValue(note);
    }
    if (in.type == INSTR_TIMER) in.v[1] = in.v[2] = in.v[3] = 0;
    gFrameData[i].nameText = demoStoreNewTextValue(name);
    gFrameData[i].noteX = DEMO_NO_POSITION;
    gFrameData[i].noteY = DEMO_NO_POSITION;
    if (in.type == INSTR_MOVE_IN) {
      if (i > 0) {
        gInstrData[i - 1] = InstrRec{i - 1, -1, INSTR_MOVE_IN, {in.v[0], in.v[1], in.v[2], in.v[3]}};
        // A full instruction table takes no exit instruction.
        if (gInstrCount < DEMO_INSTR_CAP)
          gInstrData[gInstrCount++] = InstrRec{i, i - 1, INSTR_MOVE_OUT, {in.v[0], in.v[1], in.v[2], in.v[3]}};
      }
      in.type = INSTR_LEFT;
    } else if (in.type == INSTR_TIMER && in.v[0] > 999) {
      in.v[0] = 999;
    }
  }
}

}  // namespace

// ---- Refining a click ------------------------------------------------------------------

FrameChange referenceFrameChange(int32_t g) { return analyse(g); }

void referenceRefineClick(int32_t f) {
  InstrRec& in = gInstrData[f];
  const bool mouseover = in.type == INSTR_MOVE_IN;
  if (in.type != INSTR_LEFT && !mouseover) return;
  const int32_t cl = cropL(), ct = cropT(), w = cropW(), h = cropH();
  FrameChange next{};
  next.box[0] = -1;
  if (f + 2 <= gFrameCount - 1) {
    const FrameChange a = analyse(f + 1), b = analyse(f + 2);
    next = hasBox(a) ? a : b;
  } else if (f + 1 == gFrameCount - 1) {
    next = analyse(f + 1);
  }
  const int64_t x = gFrameData[f].noteX - cl, y = gFrameData[f].noteY - ct;
  bool accepted = false;
  if (hasBox(next)) {
    const int32_t* b = next.box;
    if (mouseover) {
      const bool sameLR = b[0] + cl == in.v[0] && b[2] + cl == in.v[2];
      const bool sameTB = b[1] + ct == in.v[1] && b[3] + ct == in.v[3];
      accepted = (sameLR || sameTB) && b[2] - b[0] <= in.v[2] - in.v[0] && b[3] - b[1] <= in.v[3] - in.v[1];
    } else {
      const int32_t bw = b[2] - b[0], bh = b[3] - b[1];
      accepted = bw >= 5 && (bw < 20 || bh < 81) && b[0] <= x && x <= b[2] && b[1] <= y && y <= b[3];
    }
    if (accepted) {
      in.v[0] = b[0] + cl;
      in.v[1] = b[1] + ct;
      in.v[2] = b[2] + cl;
      in.v[3] = b[3] + ct;
    }
  }
  if ((accepted || mouseover) && in.v[3] - in.v[1] > 7) return;

  // Flat area around the pointer.
  if (x < 1) return;
  const std::vector<unsigned char> bgr = croppedFrame(f);
  std::vector<int> grey(static_cast<size_t>(w) * h);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = (bgr[i * 3] + bgr[i * 3 + 1] + bgr[i * 3 + 2]) / 3;
  auto g = [&](int64_t cx, int64_t cy) { return grey[static_cast<size_t>(cy * w + cx)]; };
  if (y >= 1 && x < w - 1 && y < h - 1) {
    int64_t l = x, t = y, r = x, b = y;
    while (l > 1 && std::abs(g(l - 1, y) - g(l, y)) <= kGreyStep) --l;
    while (t > 1 && std::abs(g(x, t - 1) - g(x, t)) <= kGreyStep) --t;
    while (r < w - 1 && std::abs(g(r + 1, y) - g(r, y)) <= kGreyStep) ++r;
    while (b < h - 1 && std::abs(g(x, b + 1) - g(x, b)) <= kGreyStep) ++b;
    if (r - l >= 10 && r - l <= 699 && b - t >= 7 && b - t <= 59) {
      in.v[0] = static_cast<int32_t>(l + cl);
      in.v[1] = static_cast<int32_t>(t + ct);
      in.v[2] = static_cast<int32_t>(r + cl);
      in.v[3] = static_cast<int32_t>(b + ct);
    }
  }

  // Label box: the quiet rows and columns around the busy ones at the pointer.
  if (x < 7 || y < 7 || x + 6 >= w - 1 || y + 6 >= h - 1) return;
  // Pairs of neighbours with both pixels inside the column range.
  auto rowBusy = [&](int64_t r, int64_t c0, int64_t c1) {
    for (int64_t c = std::max<int64_t>(c0, 0); c < std::min<int64_t>(c1, w - 1); ++c)
      if (std::abs(g(c + 1, r) - g(c, r)) > kGreyStep) return true;
    return false;
  };
  auto columnBusy = [&](int64_t c, int64_t r0, int64_t r1) {
    for (int64_t r = r0; r <= r1; ++r)
      if (rowBusy(r, c - 6, c)) return true;  // columns left of 0 are clipped away
    return false;
  };
  auto topAndBottom = [&](int64_t c0, int64_t c1, int64_t* top, int64_t* bottom) {
    int64_t t = y - 1;
    while (t >= 0 && rowBusy(t, c0, c1)) --t;
    if (t < 0) return false;
    int64_t b = y + 1;
    while (b < h - 1 && rowBusy(b, c0, c1)) ++b;  // the scan ends at the last row
    *top = t;
    *bottom = b;
    return true;
  };
  int64_t top, bottom;
  if (!topAndBottom(x - 6, x + 6, &top, &bottom)) return;
  if (bottom - top < 3 || bottom - top > 80) return;
  int64_t left = x;
  while (left >= 0 && columnBusy(left, top, bottom)) --left;
  if (left < 0) return;
  int64_t right = x + 6;
  while (right <= w - 1 && columnBusy(right, top, bottom)) ++right;
  if (right > w - 1) return;
  if (!topAndBottom(left + 1, right, &top, &bottom)) return;
  if (right - left < 8 || bottom - top < 8 || bottom - top > 80) return;
  in.v[0] = static_cast<int32_t>(std::max<int64_t>(left - 2 + cl, cl));
  in.v[1] = static_cast<int32_t>(std::max<int64_t>(top - 2 + ct, ct));
  in.v[2] = static_cast<int32_t>(std::min<int64_t>(right + 2 + cl, int64_t{cl} + w - 1));
  in.v[3] = static_cast<int32_t>(std::min<int64_t>(bottom + 2 + ct, int64_t{ct} + h - 1));
}

// ---- The two workers ---------------------------------------------------------------------

void referenceDetectCrop(const int32_t (*rects)[4], int count, int32_t W, int32_t H, int32_t crop[4]) {
  std::vector<std::array<int32_t, 4>> lines;
  for (int i = 0; i < count; ++i) lines.push_back({rects[i][0], rects[i][1], rects[i][2], rects[i][3]});
  detectCrop(lines, W, H, crop);
}

void referenceAnalyseCapture() {
  setProgress(0);
  if (gRecordedW == -1) {
    const std::string path = captureSlotPath(".DMR");
    File f(std::fopen(path.c_str(), "rb"));
    if (!f) {
      std::fprintf(stderr, "reference: Unexpected Error GCBG-002\n");
      setProgress(1000);
      return;
    }
    char line[REC_LINE_LIMIT + 1] = "";
    if (std::fgets(line, sizeof line, f.get()) == nullptr) line[0] = '\0';
    gRecordedW = static_cast<int32_t>(getLinePosValue(line, 3));
    gRecordedH = static_cast<int32_t>(getLinePosValue(line, 4));
    std::vector<std::array<int32_t, 4>> lines;
    if (!winReadRects(captureSlotPath(".DMW"), &lines)) {
      std::fprintf(stderr, "reference: Unexpected Error GCBG-004\n");
      setProgress(1000);
      return;
    }
    detectCrop(lines, gRecordedW, gRecordedH, gCropSize);
  }
  demoInitDatastores();
  char crop[80];
  std::snprintf(crop, sizeof crop, "%d,%d,%d,%d\r\n", gCropSize[0], gCropSize[1], gCropSize[2], gCropSize[3]);
  gHeaderData[0] = demoStoreNewTextValue(crop);
  gHeaderData[1] = 0;
  gHeaderData[2] = 0;
  gHeaderData[3] = 1;
  gHeaderCount = 4;
  if (buildFrameList()) setTimerWaitsReference();
  setProgress(1000);
}

void referenceBuildSteps() {
  // 1. The last click (at index 1 or more) and everything after it go.
  for (int32_t k = gFrameCount - 1; k >= 1; --k)
    if (isClick(k)) {
      gFrameCount = gInstrCount = k;
      break;
    }
  // 2. Clicks outside the crop at the end cut the demo before them.
  for (int32_t k = gFrameCount - 1; k >= 1;) {
    if (!isClick(k)) {
      --k;
    } else if (!pointerInsideCrop(k)) {
      gFrameCount = gInstrCount = k;
      k -= 2;
    } else {
      break;
    }
  }
  // 3. Other clicks outside the crop become timers.
  for (int32_t k = 0; k + 1 < gFrameCount; ++k)
    if (isClick(k) && !pointerInsideCrop(k)) {
      gInstrData[k].type = INSTR_TIMER;
      gInstrData[k].v[0] = waitFromTimes(k, 0);
    }
  // 4. The second click of a double click becomes a timer; clicks are looked
  // for in frame order in the table as it is being changed.
  for (int32_t a = 0; a < gFrameCount; ++a) {
    if (!isClick(a)) continue;
    int32_t b = a + 1;
    while (b < gFrameCount && !isClick(b)) ++b;
    if (b >= gFrameCount) continue;
    if (gFrameData[b].nameText - gFrameData[a].nameText < 500) {
      gInstrData[b].type = INSTR_TIMER;
      gInstrData[b].v[0] = waitFromTimes(b, 1000);
    }
  }
  // 5. The clicks at the start.
  setProgress(1);
  int32_t i = 0;
  for (; i < gFrameCount && !isTimer(i); ++i) referenceRefineClick(i);
  // 6. Each run of timers with the click that ends it.
  while (i < gFrameCount) {
    int32_t j = i;
    while (j < gFrameCount && isTimer(j)) ++j;
    if (j >= gFrameCount) j = gFrameCount - 1;
    setProgress(int64_t{i} * 940 / gFrameCount + 5);
    int32_t first = std::max(i, 1);
    // The run's length counts the timers before j; the entry array never starts before frame 1.
    if (j - i > 9997) first = std::max(j - 9998, 1);
    int32_t last = j;
    if (first <= j) last = Run(first, j).scrub();
    referenceRefineClick(last);
    i = last + 1;
    while (i < gFrameCount && !isTimer(i)) ++i;
  }
  // 7 and 8.
  growRects();
  setProgress(970);
  finish();
  setProgress(1000);
}
