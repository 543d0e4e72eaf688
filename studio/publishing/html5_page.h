// html5_page.h: the pieces of the HTML5 page writer that are rules of
// their own, for its tests: the per-frame rectangle table, a frame's
// picture as RGBA (delta transparency, rounded corners), the jump list and
// its note texts, and the encoder the frames go through.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

// A slot of the rectangle table that no instruction set.
constexpr int32_t HTML5_NO_TARGET = INT32_MIN;
// How many of a frame's instructions (table order) the rectangle table looks at.
constexpr int HTML5_RECT_INSTRS = 96;

// The five target slots of a rectangle, one per instruction type.
enum Html5Slot { HTML5_L, HTML5_R, HTML5_M, HTML5_E, HTML5_U, HTML5_SLOTS };

struct Html5Rect {
  int32_t rect[4];               // left, top, right, bottom (recorded-screen pixels)
  int32_t target[HTML5_SLOTS];   // frame index, or HTML5_NO_TARGET
};

// The distinct rectangles of frame f's L, R, M, E and U instructions in
// order of first appearance, among its first 96 instructions (instrs:
// count indexes into gInstrData, table order). A target of -1 is f + 1;
// of two instructions of one type on one rectangle the first counts.
std::vector<Html5Rect> html5FrameRects(int32_t f, const int32_t* instrs, int32_t count);

// The RGBA picture (w x h, 4 bytes a pixel) of a frame given as blue,
// green, red rows. With previous (the frame before, same layout) every
// pixel equal to previous's becomes (0, 0, 0, 0), except inside keep
// (left, top, right, bottom, inclusive) when given. With rounded, the
// pixels a rounded top corner cuts off become (0, 0, 0, 0) as well.
void html5FramePicture(const unsigned char* bgr, const unsigned char* previous, const int32_t* keep, int32_t w,
                       int32_t h, bool rounded, std::vector<unsigned char>* rgba);

// The jump list: firstType[f] is the type of frame f's first instruction
// (0 for none). Each click frame, or the mouse-over frame before it, in
// frame order; of 7 or more only entries 0, s, .. 5s (s = count / 6).
std::vector<int32_t> html5JumpPoints(const std::vector<int32_t>& firstType);
// A jump entry's note as HTML: its first line when that ends within the
// first 100 characters, else the whole note with its last character
// replaced by "...".
std::string html5JumpNote(const std::string& note);

// Encodes w x h RGBA pixels as a PNG data URI; empty on failure. The page
// writer calls it from its encoding threads; tests put in a failing one.
using Html5Encoder = std::string (*)(const unsigned char* rgba, int32_t w, int32_t h);
extern Html5Encoder gHtml5Encoder;
