// control_label.h: reading the label of a clicked control off a recorded
// picture, for the step captions (Click "7".). A worker part: no window
// calls. Each thread that reads keeps one text-recognition engine of its
// own, started on its first read and ended with the thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The least confidence (0..100) a reading needs to be given back. A reading
// with a character in doubt (its next choice nearly as likely, a glyph the
// engine puts for marks it does not know, I against l, a lone letter whose
// case only its size tells) counts 0 whatever the engine says. Below it, a
// second reading is made, the text enlarged one step more: it is given back
// when it agrees on the text and one of the two reaches 70, or when the
// first was in doubt and the second reaches 90.
//
// Measured on xcalc's 55 keys under Xvfb (bitmap font), each key in three
// states (as drawn; pointed at, thick frame; pressed, white on black) and
// over three rectangles (inside its 1-pixel frame; with it; 2 pixels beyond,
// taking in the neighbours' frames): 495 readings; and on 990 buttons drawn
// with the tree's own text (66 labels, 5 light and dark faces, fonts 1-3).
//   threshold   xcalc right / wrong / empty     drawn right / wrong / empty
//     1-50        405 (82%) /   0   /  90         910 (92%) /   2   /  78
//    60-70        396 (80%) /   0   /  99         905 (91%) /   2   /  83
//      80         375 (76%) /   0   / 120         904 (91%) /   0   /  86
//      90         288 (58%) /   0   / 207         893 (90%) /   0   /  97
// The two wrong ones are "A4" read "Ad" (77, 79) in the smallest font: 80
// is the lowest threshold with no wrong reading in either set. The xcalc
// keys left empty at any threshold are 1/x, x-root, ln, y^x, pi, (, C,
// divide, = and . (a lone glyph without size or shape context). A second
// set of 990 drawn buttons (other labels) read 922 right at 80, 927 with the
// agreeing second reading and 931 with the sure one; the one miss is "Log
// in" read "Login" (a space lost in the smallest font, at 96). The sure
// second reading was right in all 6 cases of both sets where it applied
// ("=" among them); where the first reading was sure it is sometimes sure
// of a wrong text ("4" as "A" at 84), so it never overrules one.
constexpr int CONTROL_LABEL_MIN_CONFIDENCE = 80;

// The largest picture read: a control, not a window. Larger ones read as empty.
constexpr int32_t CONTROL_LABEL_MAX_WIDTH = 1024;
constexpr int32_t CONTROL_LABEL_MAX_HEIGHT = 256;

struct ControlLabel {
  std::string text;    // UTF-8, without leading or trailing white space; empty when nothing was read
  int confidence = 0;  // 0..100; 0 with the empty text
};

// Reads the text of a control from its pixels: height rows of width pixels
// of 3 bytes (blue, green, red), the rows stride bytes apart. The empty
// text when nothing is read with at least CONTROL_LABEL_MIN_CONFIDENCE, when
// the picture is not a plain face with text on it (a photograph, noise),
// and for a null, empty, too large or badly strided picture. Never reads
// outside height rows of 3 * width bytes.
ControlLabel readControlLabel(const unsigned char* bgr, int32_t width, int32_t height, size_t stride);
