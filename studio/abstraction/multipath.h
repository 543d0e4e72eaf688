// multipath.h: MultiPath, the worker that copies the author's clicks to
// every other step frame where the clicked item shows unchanged, so that
// the demo can be clicked through along more than the recorded path. Each
// copy goes from its frame to the same place as the click it copies. No
// window calls: the screen around it polls gMultiPathProgress.
#pragma once

#include "studio/editor/instruction_text.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t MULTIPATH_LIST_CAP = 10000;  // clicks (and so source frames) looked at
constexpr int MULTIPATH_DONE = 1001;           // progress once the worker has finished
constexpr int MULTIPATH_TOLERANCE = 8;         // largest difference of a colour byte that still matches
constexpr int MULTIPATH_PERCENT = 21;          // share of a rectangle that decides overlap and likeness
// The most instructions a copy may leave on a frame: as many as the
// editor's Advanced tab shows and takes back, so its author can always
// leave that tab.
constexpr int32_t MULTIPATH_FRAME_CAP = INSTR_WORKING_CAP;
// Most bytes of patches (pixels and their bookkeeping) kept from frames
// rebuilt before the clicks they are compared with; pairs beyond it are
// compared in a second pass instead.
constexpr int64_t MULTIPATH_KEPT_BUDGET = int64_t{64} << 20;

// compareClickTarget results.
constexpr int MP_SAME_CLICK = 1;        // mode 0: the two clicks' areas look alike
constexpr int MP_SAME_AREA = 2;         // mode 1: the frame shows the click's area unchanged
constexpr int MP_OTHER_RECT = -2;       // mode 0: the clicks' rectangles differ
constexpr int MP_ALREADY_COVERED = -5;  // mode 1: a click of the frame already covers the area
constexpr int MP_SAME_FRAME = -9;       // both sides are the same frame
constexpr int MP_AREAS_DIFFER = -13;    // the area looks different (or a frame cannot be rebuilt)

// What the last run did; written by the worker before progress becomes MULTIPATH_DONE.
struct MultiPathReport {
  int32_t clicks = 0;        // clicks looked at
  int32_t leftOut = 0;       // clicks beyond MULTIPATH_LIST_CAP, not looked at
  int32_t sources = 0;       // distinct frames the clicks start from
  int32_t distinct = 0;      // clicks left once those alike on the same rectangle count once
  int32_t added = 0;         // instructions appended
  int32_t notCopied = 0;     // copies refused because the instruction table was full
  int32_t frameFull = 0;     // copies refused because their frame held as many instructions as the editor shows
  int32_t framesDecoded = 0; // frames rebuilt from the recording
  int32_t mostDecodes = 0;   // the most times one frame was rebuilt
  int64_t keptPeak = 0;      // the most bytes of kept patches (pixels and their bookkeeping) held at once
  bool stopped = false;      // the program was ending: nothing was changed or saved
  bool saved = false;        // the demo data file was written
  std::string why;           // when not empty: why nothing was added or the file not saved
};

// What a finished run tells its author, in order: an alert's title and text
// each. A failed notice (nothing added, or not saved) is the only one.
struct MultiPathNotice {
  std::string title, text;
  bool failed;
};
std::vector<MultiPathNotice> multiPathNotices(const MultiPathReport& r, const std::string& demo);

extern std::atomic<int> gMultiPathProgress;  // 0 .. 1000 while running, MULTIPATH_DONE at the end
extern MultiPathReport gMultiPathReport;
extern int64_t gMultiPathKeptBudget;  // MULTIPATH_KEPT_BUDGET unless a test sets another

// The worker: works on the model of the current demo (gCurrDemoName,
// gCropSize) and its recording, appends the copies and saves NAME.DMD
// through the atomic save. Run on its own thread; it is the model's only
// writer meanwhile. A frame never gets more instructions than the editor's
// Advanced tab can hold. Once the program is ending (pal_StopRequested) it
// returns between two frames, the model and the saved files as they were.
void addMultiPath();

// Compares the area of click instruction `click` (its rectangle, relative
// to the crop) in its frame with the same area in another frame: in mode 0
// the frame of click instruction `other`, in mode 1 frame `other`. bufA and
// bufB hold a crop-sized frame each (width x height x 3 bytes). A frame
// preceded by a mouseover of exactly the rectangle is compared as that
// hover frame. Results above.
int compareClickTarget(int32_t click, int32_t other, int mode, unsigned char* bufA, unsigned char* bufB);

// Where a copy of instruction `instr` leads: its target (frame + 1 for -1),
// moved on past frames whose only instruction is a timer; back to the
// first answer when that runs past the last frame.
int32_t multiPathDestination(int32_t instr);
