// instruction_text.h: a frame's instructions as text, one line each
// ("T 891", "K 13", "120,73,267,97 L >472"), parsed back with the line
// errors marked; and the values the Standard tab accepts. No window calls.
#pragma once

#include "demo/demo_model.h"

#include <cstdint>
#include <string>
#include <vector>

// What the demo data file can store in an instruction field.
constexpr int32_t INSTR_VALUE_MIN = -8388607;
constexpr int32_t INSTR_VALUE_MAX = 8388608;
constexpr int INSTR_TEXT_CAP = 9998;     // characters of the Advanced text
constexpr int INSTR_LINE_CAP = 499;      // characters of one line
constexpr int INSTR_WORKING_CAP = 99;    // instruction lines one check handles
constexpr int INSTR_LINE_TEXT = 128;     // room for one formatted line

// Parse results: 1, or the codes of a bad line.
enum {
  INSTR_OK = 1,
  INSTR_ERR_TWO_TYPES = -1,     // a second type letter (formatting: empty result)
  INSTR_ERR_COMMAS = -2,        // more than three commas
  INSTR_ERR_TWO_TARGETS = -3,   // more than one '>'
  INSTR_ERR_NO_TARGET = -4,     // '>' without a number
  INSTR_ERR_UNKNOWN_FRAME = -5, // the target names no frame
  INSTR_ERR_NO_TYPE = -6,       // empty line or no type letter
  INSTR_ERR_VALUE_COMMA = -12,  // a comma in a T or K line
  INSTR_ERR_NO_VALUE = -14,     // no number after T or K
  INSTR_ERR_FEW_COMMAS = -18,   // a rectangle with fewer than three commas
  INSTR_ERR_NOT_POSITIVE = -20, // x1 >= x2 or y1 >= y2
  INSTR_ERR_RANGE = -22         // a number the demo data file cannot store
};

// Mode 1 formats record into text (INSTR_LINE_TEXT bytes); mode 2 parses
// text into record (owning frame gEditorFrame), upper-casing the text in
// place. Returns INSTR_OK or a code above.
int convertInstructionLine(InstrRec* record, char* text, int mode);

// Fills text (capacity bytes) with frame's instructions, one line each,
// joined by line feeds. rebuild 1 first rebuilds gCurrInstrList for frame.
// 1, or -1 when a line cannot be formatted or the text does not fit.
int buildFrameInstructionText(int32_t frame, char* text, int capacity, int rebuild);

// The check of an edited Advanced text.
struct AdvancedTextCheck {
  std::vector<InstrRec> records;  // the parsed lines, in order
  std::vector<int> badLines;      // positions (from 0, short lines counted) of bad lines; 0 when nothing parsed
  std::string refusal;            // not empty: the text is beyond a capacity, said for the author
  int errors() const { return static_cast<int>(badLines.size()) + (refusal.empty() ? 0 : 1); }
};
// Checks text (upper-casing it in place): lines under three characters are
// skipped, every other line is parsed. Lines longer than INSTR_LINE_CAP,
// more than INSTR_WORKING_CAP instruction lines, or more instructions than
// the frame's list or the table can hold are refused as a whole.
AdvancedTextCheck checkAdvancedText(char* text);

// Replaces gEditorFrame's instructions (gCurrInstrList) by records: in
// place when the counts agree (gEditCount + 1 when a field changed), else
// the old ones removed and the new ones appended (gEditCount + 1); then
// gCurrInstrList is rebuilt. Returns 1; -3 when an in-place record belongs
// to another frame (nothing changed); -2 when the table cannot hold them.
int commitAdvancedRecords(const std::vector<InstrRec>& records);

// The wait of the Standard tab in milliseconds: text with a decimal point,
// or a single character, is seconds (read exactly from its digits: "2.01"
// is 2010), else whole milliseconds. -1 for text that is not a number or
// lies outside 10 .. 9000 ms.
int32_t parseWaitText(const char* text);
// The key code of the Standard tab: 65-90, 48-57, 9, 13 or 0; else -1.
int32_t parseKeypressText(const char* text);
