// capture_screens.h: the capture preparation screen, the capturing screen
// and the paused screen, in the 400 x 120 window of state 20.
//
// The capture family records the author's walk through an application and
// keeps the authoring program's files:
//   - screens (this header): loop thread only; they stand on studio/kit and
//     hand the window back by returning their state;
//   - capture_checks.h: the display checks before a capture, on the loop
//     thread (its refusals are alerts);
//   - the workers, capture_recorder.h: the capture and click-watching
//     threads, which write the capture slot (TempCapture.DMR and .DMW);
//     their one window call is the window-size warning, an alert the
//     platform layer shows from any thread;
//   - the files of the demo library, callable from any one thread at a
//     time: demo_files.h (a demo's four files, copies, exchange files),
//     demo_paste.h (the paste worker) and frame_cursor.h (the sequential
//     reader of a recording that abstraction, publishing and the editor's
//     import use).
// The other families call its workers and files; nothing here includes a
// screen of another family or the shell.
#pragma once

#include <cstdint>

constexpr int CAPTURE_W = 400, CAPTURE_H = 120;
constexpr int CAPTURE_START_TIMER = 1;   // "Start Capture": the first run after 200 ms
constexpr int CAPTURE_MORE_TIMER = 2;    // "Capture More": the next run after 200 ms
constexpr int CAPTURE_TITLE_TIMER = 3;   // the step count in the title, and a full recording

int capturePrepHandler(int32_t event[4], char* name);
int capturingHandler(int32_t event[4], char* name);
int capturePausedHandler(int32_t event[4], char* name);
// The title of a run with steps key frames at clicks.
void captureStepTitle(int steps, char* out, int cap);
