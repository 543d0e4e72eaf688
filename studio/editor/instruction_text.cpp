// instruction_text.cpp: a frame's instructions as lines of text and back,
// the check of an edited Advanced text and its commit, and the values the
// Standard tab accepts.
// A line is scanned once for its type letter, commas and '>' before any
// number is read. Digit runs of any length are read with a cap, and a
// number outside what the demo data file stores (24 bits) is refused as
// INSTR_ERR_RANGE instead of being wrapped or saturated. The Advanced text
// is refused as a whole when it is beyond what one check or the tables hold,
// so a commit never has to give up half way.
#include "studio/editor/instruction_text.h"

#include "studio/editor/editor_state.h"

#include <cstdio>
#include <cstring>

namespace {

// A digit run is accumulated up to this value and no further: a run of any
// length reads without overflow and still lies outside the storable range.
constexpr int64_t kNumberCap = int64_t{INSTR_VALUE_MAX} * 10;
constexpr int kShortLine = 3;  // Advanced lines shorter than this are passed over
constexpr int kFormat = 1, kParse = 2;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isTypeLetter(int32_t c) { return c > 0 && c < 128 && std::strchr("TLMEKRU", c) != nullptr; }
bool isTimerOrKey(int32_t type) { return type == INSTR_TIMER || type == INSTR_KEY; }
bool isStorable(int64_t v) { return v >= INSTR_VALUE_MIN && v <= INSTR_VALUE_MAX; }

// Reads the run of digits at p (none reads 0); returns where the run ends.
const char* readDigits(const char* p, int64_t* value) {
  int64_t v = 0;
  for (; isDigit(*p); ++p)
    if (v < kNumberCap) v = v * 10 + (*p - '0');
  *value = v;
  return p;
}

// Reads a number the way strtol does: leading blanks, an optional sign,
// then digits; no digits reads 0.
int64_t readSigned(const char* p) {
  while (isBlank(*p)) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  int64_t v;
  readDigits(p, &v);
  return negative ? -v : v;
}

// Blanks around [*begin, *end) dropped.
void trimBlanks(const char** begin, const char** end) {
  while (*begin < *end && isBlank(**begin)) ++*begin;
  while (*end > *begin && isBlank((*end)[-1])) --*end;
}

int formatLine(const InstrRec& r, char* text) {
  text[0] = '\0';
  if (!isTypeLetter(r.type)) return INSTR_ERR_TWO_TYPES;  // nothing that could be read back
  const char type = static_cast<char>(r.type);
  int n = isTimerOrKey(r.type)
              ? std::snprintf(text, INSTR_LINE_TEXT, "%c %ld", type, static_cast<long>(r.v[0]))
              : std::snprintf(text, INSTR_LINE_TEXT, "%ld,%ld,%ld,%ld %c", static_cast<long>(r.v[0]),
                              static_cast<long>(r.v[1]), static_cast<long>(r.v[2]), static_cast<long>(r.v[3]), type);
  if (n > 0 && n < INSTR_LINE_TEXT && r.target != -1) {
    // A target is written as the frame's number, which stays right when
    // frames before it are hidden; an index past the table has none.
    if (r.target < 0 || r.target >= gFrameCount)
      n = 0;
    else
      n += std::snprintf(text + n, INSTR_LINE_TEXT - n, " >%lld", static_cast<long long>(gFrameData[r.target].frameId));
  }
  if (n <= 0 || n >= INSTR_LINE_TEXT) {
    text[0] = '\0';
    return INSTR_ERR_TWO_TYPES;
  }
  return INSTR_OK;
}

// The '>' part of a line: the index of the first frame with that number.
int readTarget(const char* afterMark, int32_t* target) {
  while (isBlank(*afterMark)) ++afterMark;
  if (!isDigit(*afterMark)) return INSTR_ERR_NO_TARGET;
  int64_t number;
  readDigits(afterMark, &number);
  if (!isStorable(number)) return INSTR_ERR_RANGE;
  *target = frameIndexOfNumber(number);
  return *target < 0 ? INSTR_ERR_UNKNOWN_FRAME : INSTR_OK;
}

// The rectangle of an L, R, U, M or E line from the text around its three commas.
int readRectangle(const char* text, const char* const comma[3], int32_t v[4]) {
  int64_t n[4];
  // x1 is the digit run ending at the first comma, with a '-' just before it.
  const char* start = comma[0];
  while (start > text && isDigit(start[-1])) --start;
  readDigits(start, &n[0]);
  if (start > text && start[-1] == '-') n[0] = -n[0];
  n[1] = readSigned(comma[0] + 1);
  n[2] = readSigned(comma[1] + 1);
  // y2 starts right at the third comma: a blank there leaves it 0.
  readDigits(comma[2] + 1, &n[3]);
  for (int64_t x : n)
    if (!isStorable(x)) return INSTR_ERR_RANGE;
  if (n[0] >= n[2] || n[1] >= n[3]) return INSTR_ERR_NOT_POSITIVE;
  for (int i = 0; i < 4; ++i) v[i] = static_cast<int32_t>(n[i]);
  return INSTR_OK;
}

int parseLine(InstrRec* record, char* text) {
  const char* typeAt = nullptr;
  const char* targetAt = nullptr;
  const char* comma[3] = {nullptr, nullptr, nullptr};
  int commas = 0;
  for (char* p = text; *p; ++p) {
    if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    if (isTypeLetter(*p)) {
      if (typeAt) return INSTR_ERR_TWO_TYPES;
      typeAt = p;
    } else if (*p == ',') {
      if (commas == 3) return INSTR_ERR_COMMAS;
      comma[commas++] = p;
    } else if (*p == '>') {
      if (targetAt) return INSTR_ERR_TWO_TARGETS;
      targetAt = p;
    }
  }
  if (text[0] == '\0') return INSTR_ERR_NO_TYPE;
  InstrRec r{gEditorFrame, -1, 0, {0, 0, 0, 0}};
  if (targetAt) {
    const int result = readTarget(targetAt + 1, &r.target);
    if (result != INSTR_OK) return result;
  }
  if (!typeAt) return INSTR_ERR_NO_TYPE;
  r.type = *typeAt;
  if (isTimerOrKey(r.type)) {
    // The number after the letter; text before the letter is not looked at.
    if (commas > 0) return INSTR_ERR_VALUE_COMMA;
    const char* p = typeAt + 1;
    while (isBlank(*p)) ++p;
    if (!isDigit(*p)) return INSTR_ERR_NO_VALUE;
    int64_t value;
    readDigits(p, &value);
    if (!isStorable(value)) return INSTR_ERR_RANGE;
    r.v[0] = static_cast<int32_t>(value);
  } else {
    if (commas < 3) return INSTR_ERR_FEW_COMMAS;
    const int result = readRectangle(text, comma, r.v);
    if (result != INSTR_OK) return result;
  }
  *record = r;
  return INSTR_OK;
}

// Takes the records at the ascending table indexes listed[0..count) out of
// gInstrData, moving the later records down in one pass.
void removeInstructions(const int32_t* listed, int count) {
  if (count <= 0) return;
  int32_t write = listed[0];
  int k = 0;
  for (int32_t read = listed[0]; read < gInstrCount; ++read) {
    if (k < count && read == listed[k]) {
      ++k;
      continue;
    }
    gInstrData[write++] = gInstrData[read];
  }
  gInstrCount = write;
}

bool sameRecord(const InstrRec& a, const InstrRec& b) {
  return a.frame == b.frame && a.target == b.target && a.type == b.type && a.v[0] == b.v[0] && a.v[1] == b.v[1] &&
         a.v[2] == b.v[2] && a.v[3] == b.v[3];
}

AdvancedTextCheck refuse(AdvancedTextCheck check, const std::string& why) {
  check.records.clear();
  check.refusal = why;
  return check;
}

// The end of the line that starts at p (its '\n' or the text's end).
char* lineEnd(char* p) {
  char* end = std::strchr(p, '\n');
  return end ? end : p + std::strlen(p);
}

}  // namespace

// ---- Lines ---------------------------------------------------------------------------

int convertInstructionLine(InstrRec* record, char* text, int mode) {
  if (!record || !text) return INSTR_ERR_TWO_TYPES;
  if (mode == kFormat) return formatLine(*record, text);
  if (mode == kParse) return parseLine(record, text);
  return INSTR_ERR_TWO_TYPES;
}

int buildFrameInstructionText(int32_t frame, char* text, int capacity, int rebuild) {
  if (!text || capacity < 1) return -1;
  if (rebuild == 1) demoLoadFrameInstructionsToMemory(frame);
  text[0] = '\0';
  int used = 0;
  char line[INSTR_LINE_TEXT];
  const int count = listLength();
  for (int k = 0; k < count; ++k) {
    const int32_t index = gCurrInstrList[k];
    InstrRec r = index >= 0 && index < gInstrCount ? gInstrData[index] : InstrRec{0, -1, 0, {0, 0, 0, 0}};
    if (convertInstructionLine(&r, line, kFormat) != INSTR_OK) {
      text[0] = '\0';
      return -1;
    }
    const int length = static_cast<int>(std::strlen(line));
    const int separator = k > 0 ? 1 : 0;
    if (used + separator + length >= capacity) {  // the terminating zero needs room too
      text[0] = '\0';
      return -1;
    }
    if (separator) text[used++] = '\n';
    std::memcpy(text + used, line, static_cast<size_t>(length) + 1);
    used += length;
  }
  return 1;
}

// ---- The Advanced text -------------------------------------------------------------------

AdvancedTextCheck checkAdvancedText(char* text) {
  AdvancedTextCheck check;
  char empty[1] = {'\0'};
  if (!text) text = empty;
  // The capacities of the text itself first, so a refused text is left as the author wrote it.
  if (std::strlen(text) > static_cast<size_t>(INSTR_TEXT_CAP))
    return refuse(check, "The instructions are longer than " + std::to_string(INSTR_TEXT_CAP) + " characters.");
  int instructionLines = 0;
  for (char* p = text;;) {
    char* end = lineEnd(p);
    const long length = end - p;
    if (length > INSTR_LINE_CAP)
      return refuse(check, "An instruction line is longer than " + std::to_string(INSTR_LINE_CAP) + " characters.");
    if (length >= kShortLine && ++instructionLines > INSTR_WORKING_CAP)
      return refuse(check, "A frame can hold at most " + std::to_string(INSTR_WORKING_CAP) + " instruction lines.");
    if (*end == '\0') break;
    p = end + 1;
  }
  // Each line is parsed in a copy, which then goes back upper-cased.
  char line[INSTR_LINE_CAP + 1];
  int position = 0;
  for (char* p = text;; ++position) {
    char* end = lineEnd(p);
    const size_t length = static_cast<size_t>(end - p);
    if (length >= static_cast<size_t>(kShortLine)) {
      std::memcpy(line, p, length);
      line[length] = '\0';
      InstrRec r;
      if (convertInstructionLine(&r, line, kParse) == INSTR_OK)
        check.records.push_back(r);
      else
        check.badLines.push_back(position);
      std::memcpy(p, line, length);
    }
    if (*end == '\0') break;
    p = end + 1;
  }
  // A frame keeps at least one instruction.
  if (check.records.empty() && check.badLines.empty()) check.badLines.push_back(0);
  if (check.records.size() > static_cast<size_t>(DEMO_INSTR_LIST_LEN - 1))
    return refuse(check, "A frame can hold at most " + std::to_string(DEMO_INSTR_LIST_LEN - 1) + " instructions.");
  int64_t current = 0;
  for (int32_t i = 0; i < gInstrCount; ++i)
    if (gInstrData[i].frame == gEditorFrame) ++current;
  if (int64_t{gInstrCount} - current + static_cast<int64_t>(check.records.size()) > DEMO_INSTR_CAP)
    return refuse(check, "The demo's instruction table cannot hold these instructions.");
  return check;
}

int commitAdvancedRecords(const std::vector<InstrRec>& records) {
  const int count = listLength();
  if (records.size() == static_cast<size_t>(count)) {
    // The same number of lines: each record stays at its table position.
    for (int k = 0; k < count; ++k)
      if (gInstrData[gCurrInstrList[k]].frame != records[k].frame) return -3;
    bool changed = false;
    for (int k = 0; k < count; ++k) {
      InstrRec& stored = gInstrData[gCurrInstrList[k]];
      if (sameRecord(stored, records[k])) continue;
      stored = records[k];
      changed = true;
    }
    if (changed) ++gEditCount;
  } else {
    // Another number of lines: the old records go and the new ones are appended.
    if (int64_t{gInstrCount} - count + static_cast<int64_t>(records.size()) > DEMO_INSTR_CAP) return -2;
    ++gEditCount;
    removeInstructions(gCurrInstrList, count);
    for (const InstrRec& r : records) gInstrData[gInstrCount++] = r;
  }
  demoLoadFrameInstructionsToMemory(gEditorFrame);
  return 1;
}

// ---- Standard tab values -------------------------------------------------------------------

int32_t parseWaitText(const char* text) {
  if (!text) return -1;
  const char* begin = text;
  const char* end = text + std::strlen(text);
  trimBlanks(&begin, &end);
  // Read exactly from the digits: whole part, and the first three decimals
  // as milliseconds (further decimals are truncated).
  int64_t whole = 0, thousandths = 0;
  int decimals = 0;
  bool point = false, digits = false;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      if (point) return -1;
      point = true;
    } else if (isDigit(*p)) {
      digits = true;
      if (!point) {
        if (whole < kNumberCap) whole = whole * 10 + (*p - '0');
      } else if (decimals < 3) {
        thousandths = thousandths * 10 + (*p - '0');
        ++decimals;
      }
    } else {
      return -1;
    }
  }
  if (!digits) return -1;
  int64_t ms = whole;
  if (point || end - begin == 1) {
    for (; decimals < 3; ++decimals) thousandths *= 10;
    ms = whole * 1000 + thousandths;
  }
  return ms >= 10 && ms <= 9000 ? static_cast<int32_t>(ms) : -1;
}

int32_t parseKeypressText(const char* text) {
  if (!text) return -1;
  const char* begin = text;
  const char* end = text + std::strlen(text);
  trimBlanks(&begin, &end);
  if (begin == end) return -1;
  for (const char* p = begin; p < end; ++p)
    if (!isDigit(*p)) return -1;
  int64_t code;
  readDigits(begin, &code);
  const bool letter = code >= 'A' && code <= 'Z', digit = code >= '0' && code <= '9';
  return letter || digit || code == 9 || code == 13 || code == 0 ? static_cast<int32_t>(code) : -1;
}
