// demo_paste.h: pasting a stretch of one demo into another, producing a
// third demo: the receiving demo's frames up to a chosen frame, the chosen
// frames of the giving demo, then the rest of the receiving demo. Each piece
// is first cut into a temporary demo whose recording is rewritten so that
// the crop is the whole frame; the pieces are then joined two at a time.
// Both input demos stay unchanged. No window calls beyond alerts.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// 0 idle, 1..5 the step under way, 99 finished, negative after a refusal.
extern std::atomic<int> gPasteStatus;
// The percentage (0..100) of the step under way.
extern std::atomic<int> gPastePercent;

// Refusals (values of gPasteStatus).
constexpr int PASTE_UNKNOWN_FOLLOW = -1;   // no frame of the receiving demo has number F
constexpr int PASTE_BAD_FOLLOW = -2;       // F outside R0..R1
constexpr int PASTE_BAD_FROM = -4;         // A outside G0..G1
constexpr int PASTE_BAD_TO = -6;           // B outside G0..G1
constexpr int PASTE_TO_BEFORE_FROM = -8;   // B below A
constexpr int PASTE_MISSING_FRAME = -9;    // A or B within the bounds but no frame has it
constexpr int PASTE_BAD_NAME = -10;        // the new name breaks a name rule
constexpr int PASTE_NAME_USED = -12;       // the new name's folder cannot be made (it exists)
constexpr int PASTE_UNREADABLE = -14;      // a demo's data file cannot be read
constexpr int PASTE_TOO_BIG = -16;         // the new demo would overflow the frame, instruction or text table
constexpr int PASTE_DONE = 99;

struct PasteRequest {
  std::string into;       // the receiving demo
  std::string from;       // the giving demo
  int64_t fromFrame = 0;  // A: first pasted frame number of the giving demo
  int64_t toFrame = 0;    // B: last pasted frame number
  int64_t followFrame = 0;  // F: the receiving demo's frame the pasted frames follow
  std::string newName;
};

// Checks a request with the alerts of a refusal, which it also stores in
// gPasteStatus; returns 1 when the paste may go ahead. A new demo that
// would not fit the frame, instruction or text table is refused too
// (PASTE_TOO_BIG). Reads both demos into the model; no demo changes.
int pasteCheck(const PasteRequest& request);
// Builds the new demo of a checked request: steps 1 to 5 on gPasteStatus,
// then 99. Failures of files are fatal. Once the program is ending
// (pal_StopRequested) the worker removes every folder it made and ends
// (pal_EndWorker): run it only on a worker thread or where no stop comes.
void pasteBuild(const PasteRequest& request);
// The whole paste on the calling thread: check, then build; returns the
// final status.
int pasteRun(const PasteRequest& request);
// Stores the request the worker thread takes, then starts pasteWorker on a
// thread of its own (status and percentage cleared first).
void startPasteWorker(const PasteRequest& request);
// The worker thread's body: pasteRun of the stored request.
void pasteWorker();

// The four temporary demo names for a time in seconds: "tmp_<t+i>_tmp?".
// The '?' is refused by demoNameCode, so no author's demo can have them.
std::string pasteTemporaryName(long seconds, int i);
// True for a folder name of the form pasteTemporaryName gives.
bool isPasteTemporaryName(const std::string& name);
// Deletes every folder of the Demos folder that an interrupted paste left
// behind (its temporary demos and the hidden "." NEWNAME ".pasting" it
// builds the new demo in), and what an interrupted copy left
// (removeInterruptedCopies); returns how many. Called once at start-up.
int removeInterruptedPastes();

// Reads a demo's crop (left, top, width, height) from the text of header
// value 0 of its data file; a missing number is -1. False (crop all -1)
// when the data file cannot be read. Leaves that demo in the model.
bool readDemoCrop(const std::string& name, int32_t crop[4]);

