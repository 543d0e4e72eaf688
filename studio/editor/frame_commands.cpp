// frame_commands.cpp: the editor's commands on the demo model.
// Frames are indexes into gFrameData, which holds the visible frames in
// ascending number order; a frame's number is its record's place in the
// recording. Removing frames renumbers the instructions of the frames
// behind them in one pass over the instruction table, so hiding a range
// costs the same as hiding one frame. Every command checks what it needs
// (table room, free text records) before it changes anything.
#include "studio/editor/frame_commands.h"

#include "studio/capture/frame_cursor.h"
#include "studio/editor/editor_state.h"

#include "demo/demo_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

void Outcome::say(const std::string& title, const std::string& text) {
  if (noticeCount >= 4) return;
  notices[noticeCount++] = Notice{title, text};
}

namespace {

constexpr int32_t kPlainWait = 500;        // a broken mouseover's wait, and a wait with no time to go by
constexpr int32_t kMostShownWait = 999;    // longest wait of a frame brought back
constexpr int64_t kMostShown = 253;        // To - From must stay below this
constexpr int64_t kMostHeaderValue = 16777215;
constexpr int32_t kMostStoredValue = 8388608;  // largest instruction value the data file holds
constexpr int kMostDigits = 18;            // longer numbers are not read as numbers

int32_t gFirst[DEMO_FRAME_CAP];        // per frame: its first instruction's index, or -1
uint8_t gRemoved[DEMO_FRAME_CAP];      // per frame: 1 when a removal takes it out
int32_t gNewIndex[DEMO_FRAME_CAP];     // per frame: its index once the removal is done
int32_t gNoteUsers[DEMO_TEXT_RECS];    // per text record: the frames whose note it is

}  // namespace

Outcome refused(const std::string& title, const std::string& text) {
  Outcome out;
  out.refused = true;
  out.say(title, text);
  return out;
}

namespace {

Outcome demoFull() { return refused("Demo Full", "The demo has no room for this change."); }

std::string format(const char* fmt, long long a, long long b = 0) {
  char text[200];
  std::snprintf(text, sizeof text, fmt, a, b);
  return text;
}

// ---- Instructions -------------------------------------------------------------------

// The index of frame's first instruction of the given type (any type for 0), or -1.
int32_t findInstruction(int32_t frame, int32_t type = 0) {
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].frame == frame && (type == 0 || gInstrData[i].type == type)) return i;
  return -1;
}

int32_t firstType(int32_t frame) {
  const int32_t i = findInstruction(frame);
  return i < 0 ? 0 : gInstrData[i].type;
}

void appendInstruction(const InstrRec& in) { gInstrData[gInstrCount++] = in; }

void removeInstruction(int32_t i) {
  std::memmove(&gInstrData[i], &gInstrData[i + 1], sizeof(InstrRec) * static_cast<size_t>(gInstrCount - i - 1));
  --gInstrCount;
}

// Fills gFirst for every frame in one pass.
void indexFirstInstructions() {
  std::fill(gFirst, gFirst + gFrameCount, -1);
  for (int32_t i = gInstrCount - 1; i >= 0; --i) {
    const int32_t f = gInstrData[i].frame;
    if (f >= 0 && f < gFrameCount) gFirst[f] = i;
  }
}

bool clickAt(int32_t f) {
  const int32_t i = gFirst[f];
  return i >= 0 && (gInstrData[i].type == INSTR_LEFT || gInstrData[i].type == INSTR_RIGHT);
}

// The step holding frame, with gFirst filled.
StepBounds boundsOf(int32_t frame) {
  StepBounds b{0, gFrameCount - 1, 1};
  for (int32_t f = 0; f < frame; ++f)
    if (clickAt(f)) {
      ++b.number;
      b.first = f + 1;
    }
  for (int32_t f = frame; f < gFrameCount; ++f)
    if (clickAt(f)) {
      b.last = f;
      break;
    }
  return b;
}

int32_t clampFrame(int32_t frame) { return std::clamp<int32_t>(frame, 0, std::max(0, gFrameCount - 1)); }

// ---- Removing and inserting frames ---------------------------------------------------

// Maps an instruction's owning frame or target through gNewIndex; -1 and
// other values below 0 stay, values beyond the table fall by removed.
int32_t mapIndex(int32_t index, int32_t frames, int32_t removed) {
  if (index < 0) return index;
  return index < frames ? gNewIndex[index] : index - removed;
}

// Removes the frames for which hidden(f) holds with their instructions, as
// removing them one by one from the highest down would: a frame behind a
// removed one moves down, and a target of a removed frame names the nearest
// kept frame before it (0 when there is none). Returns how many went.
template <typename Hidden>
int32_t removeFramesWhere(Hidden hidden) {
  const int32_t frames = gFrameCount;
  int32_t kept = 0;
  for (int32_t f = 0; f < frames; ++f) {
    gRemoved[f] = hidden(f) ? 1 : 0;
    if (gRemoved[f] != 0) {
      gNewIndex[f] = kept > 0 ? kept - 1 : 0;
      continue;
    }
    gNewIndex[f] = kept;
    gFrameData[kept++] = gFrameData[f];
  }
  const int32_t removed = frames - kept;
  int32_t w = 0;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    InstrRec in = gInstrData[i];
    if (in.frame >= 0 && in.frame < frames && gRemoved[in.frame] != 0) continue;
    in.frame = mapIndex(in.frame, frames, removed);
    in.target = mapIndex(in.target, frames, removed);
    gInstrData[w++] = in;
  }
  gFrameCount = kept;
  gInstrCount = w;
  return removed;
}

// Opens a place for a frame at index at: frames from it move up one, and
// so do the instruction owners and targets that name them.
void openFrameAt(int32_t at) {
  std::memmove(&gFrameData[at + 1], &gFrameData[at], sizeof(FrameRec) * static_cast<size_t>(gFrameCount - at));
  ++gFrameCount;
  for (int32_t i = 0; i < gInstrCount; ++i) {
    InstrRec& in = gInstrData[i];
    if (in.frame >= at) ++in.frame;
    if (in.target >= at) ++in.target;
  }
}

// ---- Names and notes ------------------------------------------------------------------

bool isText(int64_t id) { return id >= DEMO_FIRST_TEXT_REC && id < DEMO_TEXT_RECS; }

// True when frame f's name record can be rewritten where it is.
bool nameInPlace(int32_t f) {
  const int64_t id = gFrameData[f].nameText;
  return isText(id) && gTxtRecData[id][0] != 0;
}

// True when at least needed text records are free to be handed out.
bool textsFree(int32_t needed) {
  for (int32_t i = DEMO_FIRST_TEXT_REC; i <= DEMO_LAST_NEW_TEXT_REC && needed > 0; ++i)
    if (gTxtRecData[i][0] == 0) --needed;
  return needed <= 0;
}

// Names frame f: its own record is rewritten, else a new one is stored
// (the caller has made sure one is free).
void setName(int32_t f, const char* name) {
  if (nameInPlace(f)) demoUpdateTextValue(static_cast<int32_t>(gFrameData[f].nameText), name);
  else gFrameData[f].nameText = demoStoreNewTextValue(name);
}

void countNoteUsers() {
  std::fill(gNoteUsers, gNoteUsers + DEMO_TEXT_RECS, 0);
  for (int32_t f = 0; f < gFrameCount; ++f)
    if (isText(gFrameData[f].noteText)) ++gNoteUsers[gFrameData[f].noteText];
}

// Points frame f's note at text; its old note's record is released once no
// frame uses it. Needs countNoteUsers first.
void setNote(int32_t f, int64_t text) {
  const int64_t old = gFrameData[f].noteText;
  if (old == text) return;
  if (isText(text)) ++gNoteUsers[text];
  gFrameData[f].noteText = text;
  if (isText(old) && --gNoteUsers[old] <= 0) demoDeleteTextValue(static_cast<int32_t>(old));
}

// ---- The From and To texts -------------------------------------------------------------

enum class Field { Empty, Number, Bad };

// Reads a decimal number, blanks around it allowed.
Field readField(const char* text, int64_t* value) {
  if (text == nullptr) return Field::Empty;
  while (*text == ' ' || *text == '\t') ++text;
  const char* end = text + std::strlen(text);
  while (end > text && (end[-1] == ' ' || end[-1] == '\t')) --end;
  if (end == text) return Field::Empty;
  if (end - text > kMostDigits) return Field::Bad;
  int64_t v = 0;
  for (const char* p = text; p < end; ++p) {
    if (*p < '0' || *p > '9') return Field::Bad;
    v = v * 10 + (*p - '0');
  }
  *value = v;
  return Field::Number;
}

}  // namespace

bool readFrameRange(const char* fromText, const char* toText, bool needTo, bool visible, Outcome* out, int64_t* from,
                    int64_t* to) {
  const auto refuse = [out](const char* title, const char* text) {
    *out = refused(title, text);
    return false;
  };
  if (readField(fromText, from) != Field::Number)
    return refuse("No 'From Frame#'", "Please Enter a frame number in 'From frame#'");
  const char* const notVisibleTo = "'To frame#' must be a visible frame";
  if (visible && frameIndexOfNumber(*from) < 0) return refuse("Bad 'From Frame#'", "'From frame#' must be a visible frame");
  const Field t = readField(toText, to);
  if (t == Field::Empty && needTo) return refuse("No 'To Frame#'", "Please Enter a frame number in 'To frame#'");
  if (t == Field::Empty) *to = *from;
  if (visible && (t == Field::Bad || frameIndexOfNumber(*to) < 0)) return refuse("Bad 'To Frame#'", notVisibleTo);
  if (t == Field::Bad || *to < *from || (visible && frameIndexOfNumber(*to) < frameIndexOfNumber(*from)))
    return refuse("Bad Frame#s", "'To frame#' must be equal to or greater than 'From frame#'");
  return true;
}

namespace {

// The frame indexes of a range whose ends must be visible frames.
bool readVisibleRange(const char* fromText, const char* toText, bool needTo, Outcome& out, int32_t* first,
                      int32_t* last) {
  int64_t from = 0, to = 0;
  if (!readFrameRange(fromText, toText, needTo, true, &out, &from, &to)) return false;
  *first = frameIndexOfNumber(from);
  *last = frameIndexOfNumber(to);
  return true;
}

void countEdit(const Outcome& out) {
  if (out.count > 0) ++gEditCount;
}

// ---- Showing one frame ---------------------------------------------------------------------

// True when index at splits a mouseover pair: the frame before it has an M
// first instruction and the frame at it an E back to that frame.
bool pairAt(int32_t at) {
  if (at < 1 || at >= gFrameCount || firstType(at - 1) != INSTR_MOVE_IN) return false;
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].frame == at && gInstrData[i].type == INSTR_MOVE_OUT && gInstrData[i].target == at - 1)
      return true;
  return false;
}

// Breaks the pair pairAt(at) found: the M becomes a plain wait named
// "wait" and the E instructions back to it go.
void breakPairAt(int32_t at, Outcome& out) {
  const int32_t before = at - 1;
  for (int32_t i = gInstrCount - 1; i >= 0; --i) {
    const InstrRec& in = gInstrData[i];
    if (in.frame == at && in.type == INSTR_MOVE_OUT && in.target == before) removeInstruction(i);
  }
  gInstrData[findInstruction(before)] = InstrRec{before, -1, INSTR_TIMER, {kPlainWait, 0, 0, 0}};
  setName(before, "wait");
  out.say("Info", format("Mouseover was removed from frame %lld", static_cast<long long>(gFrameData[before].frameId)));
}

}  // namespace

// ---- Steps --------------------------------------------------------------------------------

bool isClickFrame(int32_t frame) {
  const int32_t type = firstType(frame);
  return type == INSTR_LEFT || type == INSTR_RIGHT;
}

StepBounds stepBounds(int32_t frame) {
  if (gFrameCount <= 0) return {0, 0, 1};
  indexFirstInstructions();
  return boundsOf(clampFrame(frame));
}

int32_t previousStepTarget(int32_t frame) {
  if (gFrameCount <= 0) return frame;
  const StepBounds b = stepBounds(frame);
  return b.first > 0 ? b.first - 1 : frame;
}

int32_t nextStepTarget(int32_t frame) {
  if (gFrameCount <= 0) return frame;
  const StepBounds b = stepBounds(frame);
  return b.last >= gFrameCount - 1 ? frame : boundsOf(b.last + 1).last;
}

int32_t rightArrowTarget(int32_t frame) {
  if (gFrameCount <= 0) return frame;
  const StepBounds b = stepBounds(frame);
  if (clampFrame(frame) != b.last || b.last >= gFrameCount - 1) return b.last;
  return boundsOf(b.last + 1).last;
}

bool stepClickReminds(int32_t* counter) {
  if (*counter <= 0) return false;
  if (*counter == 3) {
    *counter = 0;
    return true;
  }
  ++*counter;
  return false;
}

// ---- One frame -------------------------------------------------------------------------------

void removeFrameRecord(int32_t index) {
  if (index < 0 || index >= gFrameCount) return;
  removeFramesWhere([index](int32_t f) { return f == index; });
}

Outcome hideCurrentFrame() {
  if (gFrameCount <= 1) return refused("Cannot Hide", "A demo must keep at least one frame.");
  const int32_t at = clampFrame(gEditorFrame);
  removeFrameRecord(at);
  ++gEditCount;
  gEditorFrame = std::min(at, gFrameCount - 1);
  Outcome out;
  out.count = 1;
  return out;
}

Outcome setMouseover(int64_t n) {
  const int32_t c = gEditorFrame;
  const int32_t clickType = c >= 0 && c < gFrameCount ? firstType(c) : 0;
  if (clickType != INSTR_LEFT && clickType != INSTR_MOVE_IN)
    return refused("Not a Click", "A mouseover can only be set on a frame whose first instruction is a click.");
  const int32_t s = stepBounds(c).first;
  const int64_t low = gFrameData[s].frameId, high = gFrameData[c > 0 ? c - 1 : 0].frameId;
  const std::string range = format("Please enter the number for a frame from '%lld' to '%lld'", low, high);
  if (n == gFrameData[c].frameId) return refused("Already a Click", range);
  if (c == 0 || s == c || n < low || n > high) return refused("Number outside range of Step", range);
  const int32_t m = frameIndexOfNumber(n);
  if (m < s || m >= c)
    return refused("Frame is Hidden", "Please choose a visible frame in the range of this Step");

  // Room: an E appended to c, an instruction for m when it has none, a name
  // record for m and a note record when neither frame has a note.
  const int32_t instrsNeeded = (findInstruction(c, INSTR_MOVE_OUT) < 0 ? 1 : 0) + (findInstruction(m) < 0 ? 1 : 0);
  const int32_t textsNeeded =
      (nameInPlace(m) ? 0 : 1) + (isText(gFrameData[c].noteText) || isText(gFrameData[m].noteText) ? 0 : 1);
  if (gInstrCount + instrsNeeded > DEMO_INSTR_CAP || !textsFree(textsNeeded)) return demoFull();

  int32_t rect[4];
  std::memcpy(rect, gInstrData[findInstruction(c)].v, sizeof rect);
  // The frames between m and c go, with their names and the notes no
  // remaining frame shares.
  countNoteUsers();
  for (int32_t f = m + 1; f < c; ++f) {
    if (isText(gFrameData[f].nameText)) demoDeleteTextValue(static_cast<int32_t>(gFrameData[f].nameText));
    gFrameData[f].nameText = -1;
    setNote(f, 0);
  }
  removeFramesWhere([m, c](int32_t f) { return f > m && f < c; });
  const int32_t click = m + 1;

  setName(m, "Mouseover");
  FrameRec& cf = gFrameData[click];
  FrameRec& mf = gFrameData[m];
  if (!isText(cf.noteText)) {
    if (isText(mf.noteText)) {
      setNote(click, mf.noteText);
      cf.noteX = mf.noteX;
      cf.noteY = mf.noteY;
    } else {
      setNote(click, demoStoreNewTextValue("Click in a red box"));
    }
  }
  setNote(m, cf.noteText);
  mf.noteX = cf.noteX;
  mf.noteY = cf.noteY;

  const int32_t e = findInstruction(click, INSTR_MOVE_OUT);
  const InstrRec out{click, m, INSTR_MOVE_OUT, {rect[0], rect[1], rect[2], rect[3]}};
  if (e >= 0) gInstrData[e] = out;
  else appendInstruction(out);
  const InstrRec in{m, -1, INSTR_MOVE_IN, {rect[0], rect[1], rect[2], rect[3]}};
  const int32_t first = findInstruction(m);
  if (first >= 0) gInstrData[first] = in;
  else appendInstruction(in);

  ++gEditCount;
  gEditorFrame = click;
  Outcome done;
  done.count = 1;
  return done;
}

// ---- Range commands --------------------------------------------------------------------------

Outcome hideRange(const char* fromText, const char* toText) {
  Outcome out;
  int64_t from = 0, to = 0;
  if (!readFrameRange(fromText, toText, false, false, &out, &from, &to)) return out;
  auto inRange = [from, to](int32_t f) { return gFrameData[f].frameId >= from && gFrameData[f].frameId <= to; };
  int32_t hidden = 0;
  for (int32_t f = 0; f < gFrameCount; ++f) hidden += inRange(f) ? 1 : 0;
  if (hidden > 0 && hidden >= gFrameCount) return refused("Cannot Hide", "A demo must keep at least one frame.");
  if (hidden == 0) return out;
  const int32_t frames = gFrameCount;
  const int32_t current = gEditorFrame;
  out.count = removeFramesWhere(inRange);
  // The current frame stays, moves to the frame before the range when it
  // was in it, or moves down with the frames behind the range.
  const int32_t moved = current < 0 ? 0 : current < frames ? gNewIndex[current] : current - out.count;
  gEditorFrame = clampFrame(moved);
  countEdit(out);
  return out;
}

Outcome showRange(const char* fromText, const char* toText, const std::string& recordingPath) {
  Outcome out;
  int64_t from = 0, to = 0;
  if (!readFrameRange(fromText, toText, false, false, &out, &from, &to)) return out;
  if (to - from >= kMostShown)
    return refused("Too many Frames", "A maximum of 250 frames can be shown at one time");
  const std::vector<RecordEntry> records = indexRecording(recordingPath.c_str());
  if (records.empty()) return refused("Cannot Show Frames", "The demo's recording file cannot be read.");
  // Per record: the offset of the last key record at or before it (-1: none).
  std::vector<int64_t> keyAt(records.size());
  int64_t key = -1;
  for (size_t r = 0; r < records.size(); ++r) {
    if (records[r].key) key = records[r].offset;
    keyAt[r] = key;
  }
  const auto recordCount = static_cast<int64_t>(records.size());
  for (int64_t n = std::min(to, recordCount - 1); n >= std::max<int64_t>(from, 0); --n) {
    if (keyAt[n] < 0 || frameIndexOfNumber(n) >= 0) continue;
    int32_t at = 0;
    for (int32_t f = 0; f < gFrameCount; ++f)
      if (gFrameData[f].frameId < n) at = f + 1;
    const bool pair = pairAt(at);
    if (gFrameCount >= DEMO_FRAME_CAP || gInstrCount >= DEMO_INSTR_CAP ||
        !textsFree(1 + (pair && !nameInPlace(at - 1) ? 1 : 0))) {
      out.refused = out.count == 0;
      out.say("Demo Full", "The demo has no room for more frames.");
      break;
    }
    if (pair) breakPairAt(at, out);
    const int64_t gap = n + 1 < recordCount ? records[n + 1].time - records[n].time : -1;
    const int32_t wait = gap < 0 ? kPlainWait : static_cast<int32_t>(std::min<int64_t>(gap, kMostShownWait));
    openFrameAt(at);
    gFrameData[at] = FrameRec{demoStoreNewTextValue("wait"), n, keyAt[n], records[n].offset, 0, DEMO_NO_POSITION,
                              DEMO_NO_POSITION};
    appendInstruction(InstrRec{at, -1, INSTR_TIMER, {wait, 0, 0, 0}});
    if (at <= gEditorFrame && gFrameCount > 1) ++gEditorFrame;
    ++out.count;
  }
  gEditorFrame = clampFrame(gEditorFrame);
  countEdit(out);
  return out;
}

Outcome setTyping(const char* fromText, const char* toText) {
  Outcome out;
  int32_t first = 0, last = 0;
  if (!readVisibleRange(fromText, toText, true, out, &first, &last)) return out;
  int64_t shared = 0;
  int32_t texts = 0, instrs = 0;
  for (int32_t f = first; f <= last; ++f) {
    if (shared == 0 && isText(gFrameData[f].noteText)) shared = gFrameData[f].noteText;
    texts += nameInPlace(f) ? 0 : 1;
  }
  indexFirstInstructions();
  for (int32_t f = first; f <= last; ++f) instrs += gFirst[f] < 0 ? 1 : 0;
  if (gInstrCount + instrs > DEMO_INSTR_CAP || !textsFree(texts + (shared == 0 ? 1 : 0))) return demoFull();

  countNoteUsers();
  if (shared == 0) {
    shared = demoStoreNewTextValue("Press any key");
    setNote(first, shared);
  }
  for (int32_t f = first; f <= last; ++f) {
    const InstrRec key{f, -1, INSTR_KEY, {0, 0, 0, 0}};
    if (gFirst[f] >= 0) gInstrData[gFirst[f]] = key;
    else appendInstruction(key);
    setName(f, "type");
    setNote(f, shared);
  }
  out.count = last - first + 1;
  countEdit(out);
  return out;
}

Outcome adjustTiming(const char* fromText, const char* toText, Timing mode) {
  Outcome out;
  int32_t first = 0, last = 0;
  if (!readVisibleRange(fromText, toText, false, out, &first, &last)) return out;
  indexFirstInstructions();
  int64_t reference = -1;
  for (int32_t f = first; f <= last; ++f) {
    if (gFirst[f] < 0 || gInstrData[gFirst[f]].type != INSTR_TIMER) continue;
    int32_t& wait = gInstrData[gFirst[f]].v[0];
    if (mode == Timing::MatchFirst && reference < 0) {
      reference = wait;
      continue;
    }
    int64_t next = reference;
    if (mode == Timing::Faster) next = int64_t{wait} * 9 / 10;
    if (mode == Timing::Slower) next = int64_t{wait} * 11 / 10;
    wait = static_cast<int32_t>(std::min<int64_t>(next, kMostStoredValue));
    ++out.count;
  }
  countEdit(out);
  return out;
}

std::string rangeMessage(RangeCommand command, int count) {
  struct Wording {
    const char* zero;
    const char* one;
    const char* many;
  };
  static const Wording kWordings[] = {
      {"Zero frames were hidden", "One frame was hidden", "%d frames were hidden"},
      {"Zero frames were shown", "One frame was shown", "%d frames were shown"},
      {"Zero frames were set for Typing", "One frame was set for Typing", "%d frames were set for Typing"},
      {"Timing of zero frames were adjusted", "Timing of one frame was adjusted", "Timing of %d frames was adjusted"},
      {"Timing of zero frames were adjusted", "Timing of one frame was adjusted", "Timing of %d frames were adjusted"},
  };
  const Wording& w = kWordings[static_cast<int>(command)];
  if (count == 0) return w.zero;
  if (count == 1) return w.one;
  char text[80];
  std::snprintf(text, sizeof text, w.many, count);
  return text;
}

// ---- "More >" ----------------------------------------------------------------------------------

int32_t jumpTarget(int64_t n) {
  if (n < 0 || gFrameCount <= 0) return 0;
  if (n >= gFrameData[gFrameCount - 1].frameId) return gFrameCount - 1;
  int32_t best = 0;
  int64_t bestGap = -1;
  for (int32_t f = 0; f < gFrameCount; ++f) {
    const int64_t gap = gFrameData[f].frameId > n ? gFrameData[f].frameId - n : n - gFrameData[f].frameId;
    if (bestGap < 0 || gap < bestGap) {
      best = f;
      bestGap = gap;
    }
  }
  return best;
}

namespace {

// Makes the header hold at least count values; new ones start at 0.
void growHeader(int32_t count) {
  for (int32_t i = std::max(gHeaderCount, 0); i < count; ++i) gHeaderData[i] = 0;
  gHeaderCount = std::max(gHeaderCount, count);
}

}  // namespace

Outcome setHomeFrame(int64_t n) {
  if (n < 0 || n > kMostHeaderValue || frameIndexOfNumber(n) < 0)
    return refused("Hidden Home Frame",
                   "The Home frame is set to a hidden frame.  Please choose a frame that is not hidden.");
  growHeader(3);
  gHeaderData[2] = static_cast<int32_t>(n);
  ++gEditCount;
  Outcome out;
  out.count = 1;
  return out;
}

void setCorners(int rounded) {
  growHeader(4);
  gHeaderData[3] = rounded != 0 ? 1 : 0;
  ++gEditCount;
}

int32_t homeFrameNumber() { return gHeaderCount >= 3 ? gHeaderData[2] : 0; }

int cornersRounded() { return gHeaderCount >= 4 ? (gHeaderData[3] != 0 ? 1 : 0) : 1; }
