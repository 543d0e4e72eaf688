// demo_overlays.h: the overlays drawn into the frame buffer (image buffer 1)
// before it is scaled into the window: red boxes around the shown frame's
// click and mouse-over rectangles, the yellow speaker note, and the word
// wrapping used to fit texts into a width.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t DEMO_RED_BOX = 0xFF0000;
constexpr uint32_t DEMO_NOTE_FILL = 0xF4F899;
constexpr uint32_t DEMO_NOTE_BORDER = 0x000000;
constexpr uint32_t DEMO_HANDLE_FILL = 0xCCCCCC;
constexpr uint32_t DEMO_NOTE_TEXT = 0x000000;
constexpr int DEMO_NOTE_FONT = 2;
constexpr int DEMO_NOTE_LINE_HEIGHT = 18;
constexpr int DEMO_NOTE_MAX_LINES = 99;
constexpr const char* DEMO_END_TEXT = "End Of Demo (ESC to exit)";
constexpr const char* DEMO_DEFAULT_NOTE = "Click in a red box";

extern int32_t gNoteRect[4];  // x, y, width, height of the note last drawn

// Outlines every rectangle of gCurrInstrList in buffer 1, two pixels thick:
// the first entry of the list solid, the others dotted; K and T have no
// box. editMode 1 adds an 8 x 8 handle at each corner.
void demoDrawRedInstructionBoxes(int editMode);

// A speaker note laid out as it is drawn: its lines and its box (x, y,
// width, height in frame pixels) on a frame of frameW x frameH, for the
// note position (noteX, noteY), -999 meaning the default place.
struct DemoNoteLayout {
  std::vector<std::string> lines;
  int32_t box[4];
};
DemoNoteLayout demoLayOutNote(const char* text, int64_t noteX, int64_t noteY, int32_t frameW, int32_t frameH);
// Draws a laid-out note (its greyed halo, border, fill and lines) into
// slot, with the frame's point (dx, dy) at the slot's top-left corner.
void demoDrawNoteBox(int slot, const DemoNoteLayout& note, int32_t dx, int32_t dy);

// Draws frame's speaker note into buffer 1 (the end text on the last frame
// when its note is empty or the default one) and records its box in gNoteRect.
void demoDrawSpeakerNotes(int32_t frame);

// Copies text from start into out (outSize bytes) up to the last blank
// before which the text is still narrower than maxWidth in font; returns
// that length (0 when the first word is already too wide). The rest of a
// text without further blanks is returned whole.
int32_t demoGetLongestSubstringTextFit(const char* text, int32_t start, int32_t maxWidth, int font, char* out,
                                       int32_t outSize);

// Draws text word-wrapped between left and right into buffer 0, first line
// at top; a word wider than the box stands on its own line. Returns the y
// below the last line.
int32_t demoBreakTextToBox(const char* text, int32_t left, int32_t top, int32_t right, int font, uint32_t colour);
