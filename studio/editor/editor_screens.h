// editor_screens.h: the editor (state 50) and the demo's presenting runs:
// "Present the Demo" over the whole window (state 40) and the test run in
// the editor's frame view.
//
// The editor family changes a demo the author has made:
//   - screens (this header, bitmap_screens.h, redact_screens.h,
//     rewrite_screen.h and editor_panels.h): loop thread only, on
//     studio/kit and on the Presenter's way of showing a frame (demo/);
//   - commands on the demo model, free of window calls and called from the
//     loop thread: frame_commands.h (steps, hiding, ranges, timing),
//     frame_view_edits.h (notes, boxes), instruction_text.h (the
//     instruction lines), editor_state.h (the frame shown, the edit count);
//   - bitmap_io.h and redaction.h: the bitmap export, and the workers of
//     the import and the redaction, which run on a thread of their own over
//     a copy of the frame table and commit on the loop thread
//     (recording_rewrite.h).
// Saving goes through the capture family's demo files.
#pragma once

#include <cstdint>

constexpr int EDITOR_VIEW_X = 400;      // the frame view's left edge in the window
constexpr int EDITOR_MIN_W = 1020, EDITOR_MIN_H = 710;

// The editor window's content size and gDemoScale for the current demo's
// crop on the primary monitor's work area (w, h out).
void editorWindowSize(int32_t* w, int32_t* h);
// The editor: a handler of the window opened for state 50.
int editorHandler(int32_t event[4], char* name);
// Draws the whole editor screen for frame index; keepRange 1 keeps the
// texts of the range boxes.
void drawEditor(int32_t frame, int keepRange);
// Shows frame f in the frame view as the editor shows it (decoded from the
// recording, red boxes with handles, speaker note, scaled), without panels.
void drawEditorFrameView(int32_t frame);

// "Present the Demo": the handler of the window opened for state 40.
int presentDemoHandler(int32_t event[4], char* name);
// The test run, entered from the editor; "Stop Run" and Esc return to it.
int testRunHandler(int32_t event[4], char* name);
// The frame a test run from frame starts at: the frame before its step's
// first frame, or 0.
int32_t testRunStartFrame(int32_t frame);
// The status line text of frame in the authoring program's runs: the frame's
// index and name with what it waits for, or its number and name when it has
// no instructions (gCurrInstrList holds frame's instructions).
void studioStatusText(int32_t frame, char* out, int cap);
