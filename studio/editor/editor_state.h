// editor_state.h: what the editor's screens and commands share: the frame
// shown, the unsaved edit count, the tab, and where the demo's files are.
#pragma once

#include <cstdint>
#include <string>

extern int32_t gEditorFrame;  // index of the frame the editor shows
extern int32_t gEditCount;    // edits since the last save
extern int32_t gEditorTab;    // 1 Standard, 2 Advanced

// The current demo's recording file (NAME.DMR in its folder).
std::string editorRecordingPath();
// The frame index of the first frame whose number is n, or -1.
int32_t frameIndexOfNumber(int64_t n);
// The number of entries in gCurrInstrList before its -1 (the frame's
// instructions that demoLoadFrameInstructionsToMemory listed).
int listLength();
