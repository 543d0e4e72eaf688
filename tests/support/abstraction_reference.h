// abstraction_reference.h: a plain, literal abstraction of the capture
// slot for the tests: the crop detection, the frame list with its first
// instructions and timer waits, and the step building, written rule by
// rule. Every frame it looks at is decoded from its key record again; it
// keeps no cache and takes no short cut, so it is slow and easy to check.
// The tests compare the abstraction worker's demo with the one this builds.
#pragma once

#include "studio/abstraction/abstraction.h"

// Reads the capture slot (gProgramFolder's TempCapture.DMR / .DMW): crop detection when gRecordedW is -1,
// header values, frame list, first instructions, timer waits. Same globals as the fast worker.
void referenceAnalyseCapture();
// The step building of the frame list: drop the last click, clicks outside the crop, double clicks,
// refine, scrub the runs, grow the rectangles, finish the instructions.
void referenceBuildSteps();

// The parts, for tests of the reference itself.
// The crop chosen from the window file's lines for a W x H screen (left, top, width, height).
void referenceDetectCrop(const int32_t (*rects)[4], int count, int32_t W, int32_t H, int32_t crop[4]);
// The change entry of frame g against frame g - 1 of the model.
FrameChange referenceFrameChange(int32_t g);
// Improves the rectangle of frame f's click or mouseover instruction.
void referenceRefineClick(int32_t f);
