// multipath.cpp: the MultiPath worker. Every frame that a click starts
// from (its hover frame when a mouseover of the same rectangle leads into
// it) is rebuilt once, in recording order, through one FrameCursor pass;
// the areas of the clicks are kept as small patches, so every comparison
// of a click's area in two frames is made from that one pass (the patches
// kept for clicks still to come have a budget; what does not fit is
// compared in a second pass). The copies are then appended in the order of
// the source frames and clicks, each checked against the instruction table
// and its frame's list as they stand at that moment.
#include "studio/abstraction/multipath.h"

#include "studio/capture/demo_files.h"
#include "studio/capture/frame_cursor.h"

#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "pal/pal.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

std::atomic<int> gMultiPathProgress{0};
MultiPathReport gMultiPathReport;
int64_t gMultiPathKeptBudget = MULTIPATH_KEPT_BUDGET;

namespace {

// A click's rectangle relative to the crop: columns x0 .. x1 - 1 and rows
// y0 .. y1 - 1 are compared; cx0 .. cy1 is the part of that inside the crop.
struct Area {
  int64_t x0, y0, x1, y1;
  int64_t cx0, cy0, cx1, cy1;
  int64_t size() const { return std::max<int64_t>(0, x1 - x0) * std::max<int64_t>(0, y1 - y0); }
  int64_t insideW() const { return std::max<int64_t>(0, cx1 - cx0); }
  int64_t insideH() const { return std::max<int64_t>(0, cy1 - cy0); }
};

Area areaOf(const InstrRec& in) {
  Area a{in.v[0] - int64_t{gCropSize[0]}, in.v[1] - int64_t{gCropSize[1]}, in.v[2] - int64_t{gCropSize[0]},
         in.v[3] - int64_t{gCropSize[1]}, 0, 0, 0, 0};
  a.cx0 = std::clamp<int64_t>(a.x0, 0, gCropSize[2]);
  a.cy0 = std::clamp<int64_t>(a.y0, 0, gCropSize[3]);
  a.cx1 = std::clamp<int64_t>(a.x1, a.cx0, gCropSize[2]);
  a.cy1 = std::clamp<int64_t>(a.y1, a.cy0, gCropSize[3]);
  return a;
}

// 21 % of the rectangle's area, rounded to the nearest pixel.
int64_t shareOf(const Area& a) { return (a.size() * MULTIPATH_PERCENT + 50) / 100; }

bool sameRect(const InstrRec& a, const InstrRec& b) { return std::memcmp(a.v, b.v, sizeof a.v) == 0; }

// Pixels of the click instruction c's rectangle (edges included) inside the
// columns x0 .. x1 and rows y0 .. y1 of r, in recorded-screen pixels.
int64_t coveredBy(const InstrRec& c, const InstrRec& r) {
  const int64_t w = std::min<int64_t>(c.v[2], r.v[2]) - std::max<int64_t>(c.v[0], r.v[0]) + 1;
  const int64_t h = std::min<int64_t>(c.v[3], r.v[3]) - std::max<int64_t>(c.v[1], r.v[1]) + 1;
  return w > 0 && h > 0 ? w * h : 0;
}

// True when the clicks listed (indexes into gInstrData) already cover more
// than 21 % of the click's area.
bool alreadyCovered(const InstrRec& click, const std::vector<int32_t>& frameInstrs) {
  const int64_t limit = shareOf(areaOf(click));
  int64_t count = 0;
  for (int32_t i : frameInstrs)
    if (gInstrData[i].type == INSTR_LEFT) count += coveredBy(gInstrData[i], click);
  return count > limit;
}

// Pixels of the area that do not match: those outside the crop, and those
// inside where blue, green or red differ by more than the tolerance. a and b
// point at the area's first inside pixel, rows strideA / strideB bytes apart.
int64_t mismatches(const Area& area, const unsigned char* a, size_t strideA, const unsigned char* b, size_t strideB) {
  const int64_t w = area.insideW(), h = area.insideH();
  int64_t bad = area.size() - w * h;
  for (int64_t y = 0; y < h; ++y) {
    const unsigned char* p = a + static_cast<size_t>(y) * strideA;
    const unsigned char* q = b + static_cast<size_t>(y) * strideB;
    if (std::memcmp(p, q, static_cast<size_t>(w) * 3) == 0) continue;  // the usual case: an unchanged row
    for (int64_t i = 0; i < w * 3; i += 3)
      if (std::abs(p[i] - q[i]) > MULTIPATH_TOLERANCE || std::abs(p[i + 1] - q[i + 1]) > MULTIPATH_TOLERANCE ||
          std::abs(p[i + 2] - q[i + 2]) > MULTIPATH_TOLERANCE)
        ++bad;
  }
  return bad;
}

bool alike(const Area& area, const unsigned char* a, size_t strideA, const unsigned char* b, size_t strideB) {
  return mismatches(area, a, strideA, b, strideB) <= shareOf(area);
}

size_t cropStride() { return size_t{3} * static_cast<size_t>(gCropSize[2]); }

const unsigned char* at(const unsigned char* frame, const Area& a) {
  return frame + static_cast<size_t>(a.cy0) * cropStride() + static_cast<size_t>(a.cx0) * 3;
}

// The inside part of the area copied out of a crop-sized frame.
std::vector<unsigned char> patchOf(const unsigned char* frame, const Area& a) {
  const size_t rowBytes = static_cast<size_t>(a.insideW()) * 3;
  std::vector<unsigned char> out(rowBytes * static_cast<size_t>(a.insideH()));
  for (int64_t y = 0; y < a.insideH(); ++y)
    std::memcpy(&out[static_cast<size_t>(y) * rowBytes], at(frame, a) + static_cast<size_t>(y) * cropStride(), rowBytes);
  return out;
}

size_t patchStride(const Area& a) { return static_cast<size_t>(a.insideW()) * 3; }

// The memory a patch of that many pixel bytes takes: its pixels, its vector
// and heap block, and its entry in the map of kept patches.
int64_t heldBytes(size_t pixelBytes) { return static_cast<int64_t>(pixelBytes) + 96; }

// The instructions of every frame, in table order.
std::vector<std::vector<int32_t>> instrsByFrame() {
  std::vector<std::vector<int32_t>> of(static_cast<size_t>(std::max(gFrameCount, 0)));
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].frame >= 0 && gInstrData[i].frame < gFrameCount) of[static_cast<size_t>(gInstrData[i].frame)].push_back(i);
  return of;
}

// The frame a click of frame f with the rectangle of r is seen on: the
// frame before f when that one holds a mouseover of exactly r's rectangle.
int32_t hoverFrame(int32_t f, const InstrRec& r, const std::vector<std::vector<int32_t>>& of) {
  if (f < 1 || f > gFrameCount) return f;
  for (int32_t i : of[static_cast<size_t>(f - 1)])
    if (gInstrData[i].type == INSTR_MOVE_IN && sameRect(gInstrData[i], r)) return f - 1;
  return f;
}

bool timerOnly(int32_t d, const std::vector<std::vector<int32_t>>& of) {
  if (d < 0 || d >= gFrameCount) return false;
  const std::vector<int32_t>& list = of[static_cast<size_t>(d)];
  return list.size() == 1 && gInstrData[list[0]].type == INSTR_TIMER;
}

int32_t destinationOf(const InstrRec& in, const std::vector<std::vector<int32_t>>& of) {
  const int32_t first = demoResolveTarget(in);
  int32_t d = first;
  while (timerOnly(d, of)) ++d;
  return d >= gFrameCount && first < gFrameCount ? first : d;
}

// Rebuilds frame f cropped into buf (crop-sized); false when it cannot be.
bool decodeInto(int32_t f, unsigned char* buf) {
  if (f < 0 || f >= gFrameCount) return false;
  return demoRecframeCroppedToMembuff(demoFilePath(gCurrDemoName, ".DMR").c_str(), gFrameData[f].imageRefA,
                                      gFrameData[f].imageRefB, gCropSize, buf, 3, 1) >= 0;
}

// The comparisons of the run, made in one pass over the source frames (two
// when the pixels kept for later clicks would exceed their budget).
struct Pass {
  std::vector<int32_t> clicks;                  // instruction indexes
  std::vector<int32_t> from;                    // per click: the frame it is seen on
  std::vector<Area> areas;                      // per click
  std::vector<int32_t> sources;                 // distinct `from` values, in click order
  std::vector<std::vector<unsigned char>> own;  // per click: its area on its own frame
  std::vector<bool> alikeOn;                    // click * sources + source: area alike there
  size_t key(size_t c, size_t s) const { return c * sources.size() + s; }
};

// True when click c may be copied to source s as far as the table alone
// tells (copies only ever add cover, so a pair refused now stays refused
// while the copies are appended).
bool mayCopy(const Pass& p, size_t c, size_t s, const std::vector<std::vector<int32_t>>& of) {
  const InstrRec& in = gInstrData[p.clicks[c]];
  const int32_t g = p.sources[s];
  return in.frame != g && p.from[c] != g && !alreadyCovered(in, of[static_cast<size_t>(g)]);
}

// Moves the cursor to source frame s and counts the rebuild; false (with
// the reason) when the frame cannot be rebuilt or the program is ending.
bool seekSource(FrameCursor& cursor, const Pass& p, size_t s, std::vector<int32_t>& decodes, MultiPathReport* rep) {
  const FrameRec& fr = gFrameData[p.sources[s]];
  if (pal_StopRequested()) return false;
  if (!cursor.seek(fr.imageRefA, fr.imageRefB)) {
    if (!pal_StopRequested()) rep->why = "frame " + std::to_string(fr.frameId) + " cannot be rebuilt from the recording";
    return false;
  }
  ++rep->framesDecoded;
  rep->mostDecodes = std::max(rep->mostDecodes, ++decodes[static_cast<size_t>(p.sources[s])]);
  return true;
}

// Rebuilds each source frame once, in recording order, keeping every
// click's area on its own frame and comparing it with each source frame
// where a copy may go. A source frame rebuilt before a click's own frame
// keeps its pixels under that click's rectangle (once per distinct
// rectangle, until the last click of that rectangle has come) within
// gMultiPathKeptBudget; the pairs that did not fit are compared in a second
// pass over their source frames, once every click's area is known. So the
// pixels held stay within the budget plus one patch per click, however
// many clicks and frames the demo has.
bool comparePass(Pass& p, const std::vector<std::vector<int32_t>>& of, MultiPathReport* rep) {
  const size_t nC = p.clicks.size(), nS = p.sources.size();
  std::vector<size_t> sourceOfClick(nC), rectOf(nC);
  std::vector<std::vector<size_t>> clicksFrom(nS);
  std::unordered_map<int32_t, size_t> sourceIndex;
  for (size_t s = 0; s < nS; ++s) sourceIndex[p.sources[s]] = s;
  std::map<std::array<int32_t, 4>, size_t> rects;  // the distinct rectangles, numbered
  for (size_t c = 0; c < nC; ++c) {
    sourceOfClick[c] = sourceIndex[p.from[c]];
    clicksFrom[sourceOfClick[c]].push_back(c);
    const int32_t* v = gInstrData[p.clicks[c]].v;
    rectOf[c] = rects.emplace(std::array<int32_t, 4>{v[0], v[1], v[2], v[3]}, rects.size()).first->second;
  }
  std::vector<size_t> order(nS), rank(nS);
  for (size_t s = 0; s < nS; ++s) order[s] = s;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const FrameRec &fa = gFrameData[p.sources[a]], &fb = gFrameData[p.sources[b]];
    return std::make_pair(fa.imageRefB, fa.imageRefA) < std::make_pair(fb.imageRefB, fb.imageRefA);
  });
  for (size_t k = 0; k < nS; ++k) rank[order[k]] = k;
  // Per rectangle: the pass step after which no click of it is still to come.
  const size_t nR = rects.size();
  std::vector<size_t> lastStep(nR, 0);
  for (size_t c = 0; c < nC; ++c) lastStep[rectOf[c]] = std::max(lastStep[rectOf[c]], rank[sourceOfClick[c]]);
  std::vector<std::vector<size_t>> doneAt(nS);  // per pass step: the rectangles whose kept pixels can go
  for (size_t r = 0; r < nR; ++r) doneAt[lastStep[r]].push_back(r);
  FrameCursor cursor(demoFilePath(gCurrDemoName, ".DMR").c_str(), gCropSize);
  if (!cursor.ok()) {
    rep->why = "its recording file cannot be opened";
    return false;
  }
  p.own.assign(nC, {});
  p.alikeOn.assign(nC * nS, false);
  std::vector<bool> pending(nC * nS, false);  // pairs left for the second pass
  std::vector<char> done(nS, 0), revisit(nS, 0);
  std::unordered_map<size_t, std::vector<unsigned char>> kept;  // source * rectangles + rectangle
  std::vector<std::vector<size_t>> keptOfRect(nR);
  int64_t keptBytes = 0, ownBytes = 0;
  std::vector<int32_t> decodes(static_cast<size_t>(gFrameCount), 0);
  for (size_t k = 0; k < nS; ++k) {
    const size_t s = order[k];
    if (!seekSource(cursor, p, s, decodes, rep)) return false;
    const unsigned char* px = cursor.pixels();
    // The clicks seen on this frame: their areas, and the frames rebuilt before that waited for them.
    for (size_t c : clicksFrom[s]) {
      const Area& a = p.areas[c];
      p.own[c] = patchOf(px, a);
      ownBytes += heldBytes(p.own[c].size());
      for (size_t s2 = 0; s2 < nS; ++s2)
        if (done[s2] && !pending[p.key(c, s2)] && mayCopy(p, c, s2, of)) {
          const std::vector<unsigned char>& patch = kept.at(s2 * nR + rectOf[c]);
          p.alikeOn[p.key(c, s2)] = alike(a, p.own[c].data(), patchStride(a), patch.data(), patchStride(a));
        }
    }
    // This frame against the clicks seen before it; kept for those seen later while the budget allows.
    for (size_t c = 0; c < nC; ++c) {
      if (!mayCopy(p, c, s, of)) continue;
      const Area& a = p.areas[c];
      if (done[sourceOfClick[c]]) {
        p.alikeOn[p.key(c, s)] = alike(a, p.own[c].data(), patchStride(a), at(px, a), cropStride());
        continue;
      }
      if (sourceOfClick[c] == s || kept.count(s * nR + rectOf[c]) != 0) continue;
      const int64_t bytes = heldBytes(patchStride(a) * static_cast<size_t>(a.insideH()));
      if (keptBytes + bytes > gMultiPathKeptBudget) {
        pending[p.key(c, s)] = true;
        revisit[s] = 1;
        continue;
      }
      kept.emplace(s * nR + rectOf[c], patchOf(px, a));
      keptOfRect[rectOf[c]].push_back(s * nR + rectOf[c]);
      keptBytes += bytes;
    }
    rep->keptPeak = std::max(rep->keptPeak, keptBytes + ownBytes);
    // Rectangles with no click still to come need their kept pixels no more.
    for (size_t r : doneAt[k]) {
      for (size_t key : keptOfRect[r]) {
        keptBytes -= heldBytes(kept[key].size());
        kept.erase(key);
      }
      keptOfRect[r].clear();
    }
    done[s] = 1;
    gMultiPathProgress = static_cast<int>((k + 1) * 800 / nS);
  }
  // The pairs the budget left over, every click's area now known.
  for (size_t k = 0; k < nS; ++k) {
    const size_t s = order[k];
    if (!revisit[s]) continue;
    if (!seekSource(cursor, p, s, decodes, rep)) return false;
    const unsigned char* px = cursor.pixels();
    for (size_t c = 0; c < nC; ++c)
      if (pending[p.key(c, s)])
        p.alikeOn[p.key(c, s)] = alike(p.areas[c], p.own[c].data(), patchStride(p.areas[c]), at(px, p.areas[c]),
                                       cropStride());
    gMultiPathProgress = static_cast<int>(800 + (k + 1) * 100 / nS);
  }
  return true;
}

// Publishes the report; the progress says the worker has finished.
void finish(const MultiPathReport& rep) {
  gMultiPathReport = rep;
  gMultiPathProgress = MULTIPATH_DONE;
}

}  // namespace

int32_t multiPathDestination(int32_t instr) { return destinationOf(gInstrData[instr], instrsByFrame()); }

int compareClickTarget(int32_t click, int32_t other, int mode, unsigned char* bufA, unsigned char* bufB) {
  const std::vector<std::vector<int32_t>> of = instrsByFrame();
  const InstrRec& c = gInstrData[click];
  int32_t g;
  if (mode == 0) {
    const InstrRec& o = gInstrData[other];
    if (!sameRect(c, o)) return MP_OTHER_RECT;
    g = hoverFrame(o.frame, o, of);
  } else {
    g = other;
    if (g >= 0 && g < gFrameCount && alreadyCovered(c, of[static_cast<size_t>(g)])) return MP_ALREADY_COVERED;
  }
  const int32_t f = hoverFrame(c.frame, c, of);
  if (f == g) return MP_SAME_FRAME;
  if (!decodeInto(f, bufA) || !decodeInto(g, bufB)) return MP_AREAS_DIFFER;
  const Area a = areaOf(c);
  if (!alike(a, at(bufA, a), cropStride(), at(bufB, a), cropStride())) return MP_AREAS_DIFFER;
  return mode == 0 ? MP_SAME_CLICK : MP_SAME_AREA;
}

void addMultiPath() {
  gMultiPathProgress = 0;
  MultiPathReport rep;
  const int32_t before = gInstrCount;
  if (gFrameCount < 0 || gFrameCount > DEMO_FRAME_CAP || gInstrCount < 0 || gInstrCount > DEMO_INSTR_CAP) {
    rep.why = "its frame or instruction table is beyond its capacity";
    return finish(rep);
  }
  std::vector<std::vector<int32_t>> of = instrsByFrame();
  Pass p;
  // 1, 2: the clicks and the frames they start from.
  std::unordered_map<int32_t, size_t> listed;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    const InstrRec& in = gInstrData[i];
    if (in.type != INSTR_LEFT || in.frame < 0 || in.frame >= gFrameCount) continue;
    if (static_cast<int32_t>(p.clicks.size()) >= MULTIPATH_LIST_CAP) {
      ++rep.leftOut;
      continue;
    }
    p.clicks.push_back(i);
    p.from.push_back(hoverFrame(in.frame, in, of));
    p.areas.push_back(areaOf(in));
    if (listed.emplace(p.from.back(), p.sources.size()).second) p.sources.push_back(p.from.back());
  }
  rep.clicks = static_cast<int32_t>(p.clicks.size());
  rep.sources = static_cast<int32_t>(p.sources.size());
  if (!comparePass(p, of, &rep)) {
    rep.stopped = pal_StopRequested();
    return finish(rep);
  }
  // 3: a later click on the same rectangle that looks alike on another frame counts once.
  const size_t nC = p.clicks.size(), nS = p.sources.size();
  std::vector<char> dropped(nC, 0);
  for (size_t i = 0; i < nC && !pal_StopRequested(); ++i) {
    if (dropped[i]) continue;
    const Area& a = p.areas[i];
    for (size_t j = i + 1; j < nC; ++j)
      if (!dropped[j] && sameRect(gInstrData[p.clicks[i]], gInstrData[p.clicks[j]]) && p.from[i] != p.from[j] &&
          alike(a, p.own[i].data(), patchStride(a), p.own[j].data(), patchStride(a)))
        dropped[j] = 1;
  }
  rep.distinct = static_cast<int32_t>(std::count(dropped.begin(), dropped.end(), 0));
  p.own.clear();
  p.own.shrink_to_fit();
  // 4: the copies, checked against the table and the frame's list as they grow.
  for (size_t s = 0; s < nS && !pal_StopRequested(); ++s) {
    gMultiPathProgress = static_cast<int>(900 + s * 100 / nS);
    const int32_t g = p.sources[s];
    std::vector<int32_t>& list = of[static_cast<size_t>(g)];
    for (size_t c = 0; c < nC; ++c) {
      if (dropped[c]) continue;
      const InstrRec in = gInstrData[p.clicks[c]];
      if (in.frame == g || p.from[c] == g || alreadyCovered(in, list)) continue;
      if (!p.alikeOn[p.key(c, s)]) continue;
      if (gInstrCount >= DEMO_INSTR_CAP) {
        ++rep.notCopied;
        continue;
      }
      if (static_cast<int32_t>(list.size()) >= MULTIPATH_FRAME_CAP) {
        ++rep.frameFull;
        continue;
      }
      gInstrData[gInstrCount] = InstrRec{g, destinationOf(in, of), in.type, {in.v[0], in.v[1], in.v[2], in.v[3]}};
      list.push_back(gInstrCount++);
      ++rep.added;
    }
  }
  // A program that is ending keeps the demo as it was saved.
  if (pal_StopRequested()) {
    gInstrCount = before;
    rep = MultiPathReport{};
    rep.stopped = true;
    return finish(rep);
  }
  // 5: the demo data file, replaced only once the new one is whole.
  rep.saved = demoDataWrite(demoFilePath(gCurrDemoName, ".DMD"), DMD_VERSION) == 1;
  if (!rep.saved) rep.why = "its data file '" + demoFilePath(gCurrDemoName, ".DMD") + "' cannot be written";
  finish(rep);
}

std::vector<MultiPathNotice> multiPathNotices(const MultiPathReport& r, const std::string& demo) {
  const char* name = demo.c_str();
  char text[700];
  if (!r.why.empty() && r.added == 0 && !r.saved) {
    std::snprintf(text, sizeof text, "MultiPath could not work on the demo '%s': %s. Nothing was added.", name,
                  r.why.c_str());
    return {{"MultiPath Fail", text, true}};
  }
  if (!r.saved) {
    std::snprintf(text, sizeof text, "The %d new instructions of '%s' could not be saved: %s.", r.added, name,
                  r.why.c_str());
    return {{"MultiPath Fail", text, true}};
  }
  std::vector<MultiPathNotice> out;
  if (r.frameFull > 0) {
    std::snprintf(text, sizeof text,
                  "%d copies were not added to frames of '%s' that already hold %d instructions, as many as the "
                  "Advanced tab shows.",
                  r.frameFull, name, MULTIPATH_FRAME_CAP);
    out.push_back({"Frame Full", text, false});
  }
  if (r.notCopied > 0) {
    std::snprintf(text, sizeof text,
                  "The demo '%s' holds as many instructions as it can: %d clicks were added and saved, %d more could "
                  "not be copied.",
                  name, r.added, r.notCopied);
    out.push_back({"Instruction Table Full", text, false});
  }
  if (r.leftOut > 0) {
    std::snprintf(text, sizeof text, "MultiPath looked at the first %d clicks of '%s' only; %d later clicks were not copied.",
                  MULTIPATH_LIST_CAP, name, r.leftOut);
    out.push_back({"Too Many Clicks", text, false});
  }
  return out;
}
