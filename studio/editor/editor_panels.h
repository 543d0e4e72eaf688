// editor_panels.h: the editor's parts shared between its main screen and
// its sub-screens (help, exit question, frame name, "More >", crop change,
// note editor, frame-view dragging, frame comparison).
#pragma once

#include "studio/editor/frame_commands.h"

#include <cstdint>
#include <string>

// ---- Main screen (editor_screen.cpp) ------------------------------------------------
// The text of text record `record`, or empty when it holds none.
std::string editorTextRecord(int64_t record);
// The text of the open edit box called box, or empty.
std::string editorBoxText(const char* box);
// A button of the editor's dark panel style, registered under its label.
void editorPanelButton(const char* label, int32_t x, int32_t y, int32_t w, int32_t h);
// The one-line message box at the top of the frame view.
void editorMessage(const char* text);
// The frame view's rectangle in the window: x, y, width, height.
void editorFrameViewRect(int32_t view[4]);
// Saves the demo data file; 1, or 0 after saying why (the edits are kept).
int editorSave();
// Shows each of o's notices as an alert.
void editorShowNotices(const Outcome& o);
// Checks the Advanced text, marks bad lines and, with commit 1 and no
// error, replaces the frame's instructions. Returns the error count.
int applyAdvancedText(int commit);
// The syntax-error notice with its "Undo Edits" button.
void drawSyntaxErrorPanel(int errorCount);
// The step of frame (drawing the step list).
StepBounds stepOf(int32_t frame);

// ---- Sub-screens (editor_panels.cpp) ------------------------------------------------
int openHelpScreen();
int openNoteEditor();
int openFrameNameScreen();
int openMoreScreen();
// "Exit": leaves for the demo screen, or asks first when edits are unsaved.
int leaveEditorOrAsk(int32_t event[4]);
// A press in the frame view starts a drag (event holds the window point).
int startFrameViewDrag(int32_t event[4]);
// Ctrl+D and Ctrl+M.
int compareWithPriorFrame();
int markRecordedPointer();

// ---- Presenting runs (demo_run.cpp) -------------------------------------------------
// Frames of the authoring program come from the current demo's recording:
// image buffer 1 is made crop-sized and the frame source installed.
void useStudioFrameSource();
