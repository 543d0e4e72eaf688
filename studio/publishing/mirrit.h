// mirrit.h: the Mirrit text output of the current demo, without window
// calls. After the package preparation (package_writer.h) has written the
// line tables and the plain line pool in the demo's folder, the writer
// turns them and the scrubbed model into "DemoFlow.txt" (every frame's rows
// as base-80 line numbers, its instructions as words, its note) and
// "DemoStack.bws" (the frame width, then the distinct rows), both in the
// demo's folder. The screens show the progress and the failures.
#pragma once

#include "demo/demo_model.h"

#include <atomic>
#include <cstdint>
#include <string>

// Progress of the writer, 0 .. 1000: 10 after the header, 200 after
// "DemoFlow.txt", then 3 more per chunk of the line pool, 1000 at the end.
extern std::atomic<int> gMirritProgress;

// What went wrong: code names the step ("NoRead MWF-002" and so on), why
// says which file and the system's reason.
struct MirritFailure {
  std::string code;
  std::string why;
};

// The four characters of line number n: base-80 digits from the most
// significant, each plus 43 (so 0 is "+"). n below 80^4.
std::string mirritLineNumber(uint32_t n);

// One instruction's line without its "\r\n": the target (`  "%06d" ` with
// target * 10, `  ">" ` for -1), the type word, then the value of a timer
// or key, or the rectangle less the crop's left and top (crop = left, top).
// Empty for a type that has no word.
std::string mirritInstructionLine(const InstrRec& in, const int32_t crop[2]);

// A note as written: a carriage return before every line feed that lacks
// one, trailing characters of code 14 or below removed.
std::string mirritNoteText(const std::string& note);

// Writes "DemoFlow.txt" and "DemoStack.bws" for the current demo
// (gCurrDemoName, the model as the preparation left it, gCropSize), each
// under a temporary name first; only when both are complete do both take
// the place of the pair written before, or neither does. The preparation's
// pieces and the temporary files are deleted at the end, whatever the
// outcome. 1; 0 when the program is ending; -1 with *failure (the earlier
// pair left as it was).
int writeMirrit(MirritFailure* failure);

// At start-up, for a demo's folder (no trailing '/'): the unfinished files
// of a Mirrit output the program did not live to finish are removed, and a
// pair caught while it took the earlier pair's place is completed or rolled
// back, so the folder holds one whole pair, the earlier one, or none.
void settleInterruptedMirrit(const std::string& demoFolder);
