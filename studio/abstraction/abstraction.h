// abstraction.h: turning the capture slot into a demo. The analysis worker
// detects the crop from the window file and reads the recording into one
// frame and one instruction per record; the step worker removes the frames
// that add nothing, refines the clicks and finishes the instructions, frame
// names and notes. Both are workers: no window calls; the screens read
// only the progress until it reaches 1000, then the model. Once the program
// is ending (pal_StopRequested) a worker ends between two frames, leaving
// the capture slot as it was.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

constexpr int ABSTRACT_RUN_CAP = 10000;  // change entries of one run

// Set to -1 before the analysis when the crop is to be detected; the
// recorded screen's width and height once the recording has been read.
extern int32_t gRecordedW, gRecordedH;
extern std::atomic<int> gAbstractProgress;  // 0 .. 1000


// What the analysis found, for the screen to say once progress is 1000.
enum { ABSTRACT_OK = 0, ABSTRACT_EMPTY = 1, ABSTRACT_CUT = 2 };
extern std::atomic<int> gAbstractOutcome;  // ABSTRACT_EMPTY: no usable record; ABSTRACT_CUT: more records than frames
extern int64_t gAbstractRecordsRead;       // whole records in the recording
// True (the default): a press the side file leaves out gets its caption
// from the label read off its key frame. Off for measuring without it.
extern bool gAbstractReadsLabels;

// One analysed frame: how it differs from the frame before it.
struct FrameChange {
  int32_t frame;       // frame index
  int32_t recompute;   // 0 up to date, 1 to be recomputed, 5 to be removed
  int32_t change;      // permyriad of the crop's pixels that changed
  int32_t caret;       // 1 when a text caret appeared
  int32_t caretX, caretY;
  int32_t box[4];      // pointer box left, top, right, bottom in crop pixels; left -1 when none
};

// ---- The workers (thread bodies) ----------------------------------------------------
// Detects the crop when gRecordedW is -1, writes the header values, reads
// the frame list and first instructions, sets the timer waits; progress ends
// at 1000. A capture slot that cannot be read ends the program.
void analyseCapture();
// Builds the steps of the frame list; progress ends at 1000. Where the
// capture slot's side file names what a press landed on, the press's note
// is a caption saying so instead of the default, and its click box fits
// the object; where it does not, the caption names the label read off the
// press's key frame over its click box, when one is read with confidence.
void buildSteps();
// Puts the default note back where the last buildSteps wrote a caption
// (the naming screen's "Write step notes" unchecked); loop thread, after
// buildSteps has ended.
void removeStepCaptions();
// A password field the last buildSteps found pressed: its rectangle
// (recorded-screen pixels, x, y, width, height) and the frame numbers from
// its press to the next press, the frames that show what was typed.
struct PasswordField {
  int32_t rect[4];
  int64_t from, to;
};
std::vector<PasswordField> passwordFields();

// ---- Their parts, for tests --------------------------------------------------------
// The crop chosen from the window file for a W x H screen (left, top, width, height).
void detectCropFromRects(const int32_t (*rects)[4], int count, int32_t W, int32_t H, int32_t crop[4]);
void setTimerWaits();
// Fills count entries from slot on: frame, frame + 1, ... each analysed
// against the frame before it (the recording of the capture slot, cropped).
void analyseFrameChanges(int32_t frame, int32_t slot, int32_t count, FrameChange* entries);
void growClickRects();
void finishInstructions();
