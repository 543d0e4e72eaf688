// demo_model.h: the in-memory demo shared by the Presenter and the
// authoring program: frame and instruction tables, the text datastore for
// frame names and speaker notes, the shown-frame state with its history,
// the crop rectangle and the display scale. Fixed-capacity global tables;
// nothing here allocates.
#pragma once

#include <cstdint>

// ---- Capacities and sentinels -------------------------------------------
constexpr int DEMO_FRAME_CAP = 90001;
constexpr int DEMO_INSTR_CAP = 149999;
constexpr int DEMO_TEXT_RECS = 49999;
constexpr int DEMO_TEXT_LEN = 1001;           // slot size of one text record
constexpr int DEMO_TEXT_MAX = 998;            // longest storable text
constexpr int DEMO_FIRST_TEXT_REC = 9;        // 0..8 are reserved
constexpr int DEMO_LAST_NEW_TEXT_REC = 49997; // highest index handed out
constexpr int DEMO_INSTR_LIST_LEN = 499;      // 498 instructions + the -1
constexpr int DEMO_HISTORY_LEN = 99;
constexpr int DEMO_HEADER_CAP = 9;
constexpr int64_t DEMO_NO_POSITION = -999;    // note placed by default

// Instruction types, stored as their ASCII codes.
constexpr int32_t INSTR_TIMER = 'T';
constexpr int32_t INSTR_KEY = 'K';
constexpr int32_t INSTR_LEFT = 'L';
constexpr int32_t INSTR_RIGHT = 'R';
constexpr int32_t INSTR_UP = 'U';
constexpr int32_t INSTR_MOVE_IN = 'M';
constexpr int32_t INSTR_MOVE_OUT = 'E';

struct FrameRec {
  int64_t nameText;   // text record of the name; -1 too long, -2 no record free
  int64_t frameId;    // the frame's number within its demo (authoring program)
  int64_t imageRefA;  // recording-file offset of the key record to rebuild from
  int64_t imageRefB;  // recording-file offset of the frame's own record
  int64_t noteText;   // text record of the speaker note (may be shared)
  int64_t noteX;      // note box corner, recorded-screen pixels; -999 default
  int64_t noteY;
};

struct InstrRec {
  int32_t frame;   // owning frame
  int32_t target;  // frame shown when it fires; -1 is frame + 1
  int32_t type;    // 'T', 'K', 'L', 'R', 'U', 'M' or 'E'
  int32_t v[4];    // ms / key code, or left, top, right, bottom (edges included)
};

struct MatchResult {
  int32_t kind;   // 0 nothing, 1 show frame value, 2 navigation key value
  int32_t value;
};

// The display modes of a presenting run, and the authoring program's
// further settings of it: nineteen values in all.
struct PlayerFlags {
  int32_t redBoxMode;      // 1 shown, -1 hidden, 2 / -2 switched off
  int32_t statusMode;      // 1 shown, -1 hidden
  int32_t noteMode;        // as redBoxMode
  int32_t windowMode;      // 0 square window corners, otherwise rounded top corners
  int32_t packageSetting;  // stored beside windowMode in a package's directory; 30 in the authoring program
  int32_t further[14];     // settings of later authoring screens; 0 until they use them
};
constexpr int PLAYER_FLAG_COUNT = 19;
static_assert(sizeof(PlayerFlags) == PLAYER_FLAG_COUNT * sizeof(int32_t), "nineteen display values");

// ---- Tables ---------------------------------------------------------------
extern FrameRec gFrameData[DEMO_FRAME_CAP];
extern int32_t gFrameCount;
extern InstrRec gInstrData[DEMO_INSTR_CAP];
extern int32_t gInstrCount;
extern char gTxtRecVals[DEMO_TEXT_RECS][DEMO_TEXT_LEN];
extern uint32_t gTxtRecData[DEMO_TEXT_RECS][2];
extern int32_t gHighestUsedTextRec;
extern int32_t gHeaderData[DEMO_HEADER_CAP];
extern int32_t gHeaderCount;

// ---- Shown-frame state and geometry ----------------------------------------
extern int32_t gCurrShownFrame;
extern int32_t gCurrInstrList[DEMO_INSTR_LIST_LEN];
extern int32_t gEdSizes[9];
extern int32_t gHistoryStack[DEMO_HISTORY_LEN];
extern int32_t gCropSize[4];  // left, top, width, height in recorded-screen pixels
extern int32_t gDemoScale;    // display scale in thousandths
extern PlayerFlags gPlayerFlags;

// ---- Text datastore ---------------------------------------------------------
// Marks every text record free and restarts the handing out at 9.
void demoInitDatastores();
// Stores text in the lowest free record from 9 up; returns its index, -1
// when the text is longer than 998 characters, -2 when no record is free.
int32_t demoStoreNewTextValue(const char* text);
// Overwrites record index with text; -1 (and no change) for 999 characters
// or more or an index outside the table, else index.
int32_t demoUpdateTextValue(int32_t index, const char* text);
// Copies record index into out (at least 1001 bytes): 0; -1 for an index
// outside 9..49,999 and -2 for 49,999 or a record not in use (out empty).
int32_t demoGetTextValue(int32_t index, char* out);
// Frees record index; indexes below 9 are left alone.
void demoDeleteTextValue(int32_t index);

// ---- Instruction lists and history ------------------------------------------
// Fills gCurrInstrList with the indexes of frame's instructions in table
// order, then -1; returns how many (at most 498: a list never overflows).
int32_t demoLoadFrameInstructionsToMemory(int32_t frame);
// The frame an instruction leads to: its target, or frame + 1 for -1.
int32_t demoResolveTarget(const InstrRec& instr);
// Pushes frame onto the history; the oldest entry drops off.
void demoPushHistory(int32_t frame);
// Pops count (1 or 2) entries; the vacated tail keeps its old values.
void demoPopHistory(int count);
// True when (x, y) lies inside the instruction's rectangle, edges included.
bool demoRectHolds(const InstrRec& instr, int32_t x, int32_t y);
