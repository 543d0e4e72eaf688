// demo_show.h: the one way a frame is shown, by the Presenter and by the
// authoring program alike. The frame comes from a frame source (a package
// or a recording), is overlaid with its red boxes, speaker note and status
// line in image buffer 1, and is scaled into slot 0. Loading a frame as a
// presenting run does adds the bad-request check, the frame's timer and the
// history of steps.
#pragma once

#include "demo/demo_model.h"

#include <cstdint>

constexpr int DEMO_FRAME_TIMER = 1;  // the shown frame's wait (its first T instruction)

// Where the frames of the demo being shown come from.
struct FrameSource {
  bool (*decode)(int32_t frame);                      // frame into image buffer 1 (crop size); false: cannot
  void (*status)(int32_t frame, char* out, int cap);  // the status line's text
  bool (*overlaysAllowed)();                          // red boxes and notes may be drawn
};
extern const FrameSource* gFrameSource;

// Decodes frame through gFrameSource, loads its instruction list, draws its
// red boxes (with corner handles when editMode is 1) and speaker note as
// the display modes say, the status line when it is on, and scales buffer 1
// onto slot 0 at destination (x, y, width, height; all of slot 0 for null).
// False when the source cannot decode it: then nothing is drawn and the
// instruction list is left as it was.
bool showDemoFrame(int32_t frame, const int32_t* destination, int editMode);

// Shows frame as a presenting run does: a frame outside the demo prints
// "BadFrameRequest:%d " and changes nothing; otherwise the frame is shown,
// its last T instruction starts DEMO_FRAME_TIMER, it becomes the shown
// frame and enters the history unless it is left by its timer or is the
// click frame that follows a mouse-over frame.
void loadDemoFrame(int32_t frame, const int32_t* destination);

// What a frame whose first instruction is `in` waits for, as the status
// line words it: "Waiting for Click", "Waiting 1.50 Seconds", "Waiting for
// Key Press: 13", "Waiting for Any Key Press" and so on. False (out empty)
// for a type that waits for nothing known.
bool demoWaitingText(const InstrRec& in, char* out, int cap);
