// frame_view_edits.cpp: the author's changes in the frame view and the note
// editor. A speaker note is a text record that frames share by holding the
// same record id (9 and above); a frame whose note goes releases the record
// and every frame that shared it lets go of it too, so no frame is left
// pointing at a freed record. Boxes are kept in recorded-screen pixels;
// the frame view works in frame pixels, which are offset by the crop's
// top left corner.
#include "studio/editor/frame_view_edits.h"

#include "demo/demo_model.h"
#include "studio/editor/editor_state.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr const char* kDefaultNote = "Click in a red box";
constexpr const char* kClickName = "Click";
constexpr int64_t kCornerReach = 16;  // a corner this near or nearer is not taken
constexpr int64_t kFarAway = 999;     // the distance the corner search starts from
constexpr int64_t kMinBoxWidth = 7;
constexpr int64_t kMinBoxHeight = 6;

int32_t cropL() { return gCropSize[0]; }
int32_t cropT() { return gCropSize[1]; }
int32_t cropW() { return gCropSize[2]; }
int32_t cropH() { return gCropSize[3]; }

bool validFrame(int32_t f) { return f >= 0 && f < gFrameCount; }
bool isBox(int32_t type) { return type != INSTR_TIMER && type != INSTR_KEY; }

// A note id that names a text record (ids below 9 mean no note).
bool isNoteId(int64_t id) { return id >= DEMO_FIRST_TEXT_REC; }

// The text record id when it lies in the table and is in use, else -1.
int32_t recordInUse(int64_t id) {
  if (id < DEMO_FIRST_TEXT_REC || id >= DEMO_TEXT_RECS) return -1;
  return gTxtRecData[id][0] != 0 ? static_cast<int32_t>(id) : -1;
}

// Calls visit(g) for every frame g other than f with f's note id.
template <typename Visit>
void forEachSharer(int32_t f, Visit visit) {
  const int64_t id = gFrameData[f].noteText;
  if (!isNoteId(id)) return;
  for (int32_t g = 0; g < gFrameCount; ++g)
    if (g != f && gFrameData[g].noteText == id) visit(gFrameData[g]);
}

bool sameRect(const int32_t a[4], const int32_t b[4]) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

// Takes instruction record index out of gInstrData, moving the later ones down.
void removeInstruction(int32_t index) {
  if (index < 0 || index >= gInstrCount) return;
  std::memmove(&gInstrData[index], &gInstrData[index + 1],
               sizeof(InstrRec) * static_cast<size_t>(gInstrCount - index - 1));
  --gInstrCount;
}

}  // namespace

// ---- Speaker notes ------------------------------------------------------------------

std::string noteEditorText(int32_t frame) {
  if (!validFrame(frame) || !isNoteId(gFrameData[frame].noteText)) return "";
  char text[DEMO_TEXT_LEN];
  if (demoGetTextValue(static_cast<int32_t>(gFrameData[frame].noteText), text) != 0) return "";
  // The default note opens empty, so "OK" without typing removes it.
  return std::strcmp(text, kDefaultNote) == 0 ? "" : text;
}

bool noteShared(int32_t frame) {
  if (!validFrame(frame)) return false;
  bool shared = false;
  forEachSharer(frame, [&](FrameRec&) { shared = true; });
  return shared;
}

bool storeNoteText(int32_t frame, const std::string& text, bool* truncated) {
  if (truncated) *truncated = false;
  if (!validFrame(frame)) return false;
  // The length is checked before trailing line feeds go, as the editor box
  // holds at most NOTE_TEXT_CAP - 1 characters of what the author typed.
  std::string note = text;
  const bool cut = note.size() >= static_cast<size_t>(NOTE_TEXT_CAP);
  if (cut) note.resize(NOTE_TEXT_CAP - 1);
  while (!note.empty() && (note.back() == '\n' || note.back() == '\r')) note.pop_back();
  FrameRec& f = gFrameData[frame];
  if (note.empty()) {
    if (isNoteId(f.noteText)) {
      forEachSharer(frame, [](FrameRec& g) { g.noteText = 0; });
      demoDeleteTextValue(static_cast<int32_t>(f.noteText));
    }
    f.noteText = 0;
  } else if (recordInUse(f.noteText) >= 0) {
    demoUpdateTextValue(static_cast<int32_t>(f.noteText), note.c_str());  // every sharer sees the new text
  } else {
    const int32_t stored = demoStoreNewTextValue(note.c_str());
    if (stored < 0) return false;
    f.noteText = stored;
  }
  ++gEditCount;
  if (truncated) *truncated = cut;
  return true;
}

void resetNotePosition(int32_t frame) {
  if (!validFrame(frame)) return;
  bool moved = false;
  auto toDefault = [&moved](FrameRec& g) {
    moved = moved || g.noteX != DEMO_NO_POSITION || g.noteY != DEMO_NO_POSITION;
    g.noteX = g.noteY = DEMO_NO_POSITION;
  };
  toDefault(gFrameData[frame]);
  forEachSharer(frame, toDefault);
  if (moved) ++gEditCount;  // kept even when the note editor is left by "Cancel"
}

bool removeNoteSharing(int32_t frame) {
  // A note nobody else holds is already the frame's own.
  if (!validFrame(frame) || recordInUse(gFrameData[frame].noteText) < 0 || !noteShared(frame)) return true;
  char text[DEMO_TEXT_LEN];
  demoGetTextValue(static_cast<int32_t>(gFrameData[frame].noteText), text);
  const int32_t copy = demoStoreNewTextValue(text);
  if (copy < 0) return false;
  gFrameData[frame].noteText = copy;
  ++gEditCount;  // kept even when the note editor is left by "Cancel"
  return true;
}

void spreadNotePosition(int32_t frame) {
  if (!validFrame(frame)) return;
  const FrameRec& f = gFrameData[frame];
  forEachSharer(frame, [&](FrameRec& g) {
    g.noteX = f.noteX;
    g.noteY = f.noteY;
  });
}

// ---- Boxes -------------------------------------------------------------------------------

int findBoxCorner(const int32_t p[2], int32_t anchor[2], int32_t moving[2]) {
  const int64_t px = int64_t{p[0]} + cropL(), py = int64_t{p[1]} + cropT();
  int64_t best = kFarAway;
  int bestPos = -1, bestCorner = 0;
  const int count = listLength();
  for (int k = 0; k < count; ++k) {
    const InstrRec& r = gInstrData[gCurrInstrList[k]];
    if (!isBox(r.type)) continue;
    // Corners 0..3: top left, top right, bottom left, bottom right; 3 - c is
    // the opposite one. Only a strictly nearer corner wins, so the first of
    // equals in this order stays.
    for (int c = 0; c < 4; ++c) {
      const int64_t x = (c & 1) ? r.v[2] : r.v[0], y = (c & 2) ? r.v[3] : r.v[1];
      const int64_t d = std::llabs(x - px) + std::llabs(y - py);
      if (d < best) {
        best = d;
        bestPos = k;
        bestCorner = c;
      }
    }
  }
  if (bestPos < 0 || best >= kCornerReach) return -1;
  const InstrRec& r = gInstrData[gCurrInstrList[bestPos]];
  const int opposite = 3 - bestCorner;
  moving[0] = ((bestCorner & 1) ? r.v[2] : r.v[0]) - cropL();
  moving[1] = ((bestCorner & 2) ? r.v[3] : r.v[1]) - cropT();
  anchor[0] = ((opposite & 1) ? r.v[2] : r.v[0]) - cropL();
  anchor[1] = ((opposite & 2) ? r.v[3] : r.v[1]) - cropT();
  return bestPos;
}

void dragRectangle(const int32_t anchor[2], const int32_t release[2], int32_t rect[4]) {
  // The released corner reaches one pixel right and two down of the
  // pointer; dragged up past the anchor, the top edge is the pointer itself.
  int64_t x1 = int64_t{cropL()} + anchor[0], y1 = int64_t{cropT()} + anchor[1];
  int64_t x2 = int64_t{cropL()} + 1 + release[0], y2 = int64_t{cropT()} + 2 + release[1];
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) {
    y2 = y1;
    y1 = int64_t{cropT()} + release[1];
  }
  if (x1 < cropL()) x1 = cropL();
  if (y1 < cropT()) y1 = cropT();
  if (x2 > int64_t{cropL()} + cropW() - 1) x2 = int64_t{cropL()} + cropW() - 1;
  if (y2 > int64_t{cropT()} + cropH() - 1) y2 = int64_t{cropT()} + cropH() - 1;
  rect[0] = static_cast<int32_t>(x1);
  rect[1] = static_cast<int32_t>(y1);
  rect[2] = static_cast<int32_t>(x2);
  rect[3] = static_cast<int32_t>(y2);
}

void moveBox(int listPos, const int32_t rect[4]) {
  if (listPos < 0 || listPos >= listLength()) return;
  const int32_t moved = gCurrInstrList[listPos];
  int32_t old[4];
  std::memcpy(old, gInstrData[moved].v, sizeof old);
  std::memcpy(gInstrData[moved].v, rect, sizeof old);
  // The same box on other frames (the pointer over one control in several
  // frames) moves with it.
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (i != moved && isBox(gInstrData[i].type) && sameRect(gInstrData[i].v, old))
      std::memcpy(gInstrData[i].v, rect, sizeof old);
}

bool addBox(const int32_t anchor[2], const int32_t release[2]) {
  if (std::llabs(int64_t{release[0]} - anchor[0]) < kMinBoxWidth ||
      std::llabs(int64_t{release[1]} - anchor[1]) < kMinBoxHeight)
    return false;
  if (!validFrame(gEditorFrame)) return false;
  const int32_t count = demoLoadFrameInstructionsToMemory(gEditorFrame);
  const bool loneTimer = count == 1 && gInstrData[gCurrInstrList[0]].type == INSTR_TIMER;
  // Everything that can refuse is asked before anything changes.
  if (!loneTimer && (gInstrCount >= DEMO_INSTR_CAP || count >= DEMO_INSTR_LIST_LEN - 1)) return false;
  FrameRec& f = gFrameData[gEditorFrame];
  if (loneTimer) {
    // A frame that only waited becomes a click frame, named for it.
    if (recordInUse(f.nameText) >= 0) {
      demoUpdateTextValue(static_cast<int32_t>(f.nameText), kClickName);
    } else {
      const int32_t name = demoStoreNewTextValue(kClickName);
      if (name < 0) return false;
      f.nameText = name;
    }
    removeInstruction(gCurrInstrList[0]);
  }
  InstrRec box{gEditorFrame, -1, INSTR_LEFT, {0, 0, 0, 0}};
  dragRectangle(anchor, release, box.v);
  gInstrData[gInstrCount++] = box;
  demoLoadFrameInstructionsToMemory(gEditorFrame);
  return true;
}
