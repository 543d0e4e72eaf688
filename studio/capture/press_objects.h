// press_objects.h: the side file of a recording that names what each press
// landed on, as the desktop's accessibility tree reported it: the capture
// slot's TempCapture.DMA, a demo's NAME.DMA. One line per press, in the order
// of the presses:
//
//   TIME,ROLE,X,Y,W,H,NAME\r\n
//
// TIME is the record time (milliseconds, as in the recording's lines) of the
// press's click key frame; ROLE the accessible role's name ("push button",
// "menu item", "password text", ...); X, Y, W, H the object's extents in
// screen pixels; NAME its accessible name in UTF-8. In ROLE and NAME a
// backslash, a comma and every byte below 0x20 are escaped ("\\", "\,",
// "\xHH"), so a line stays one line and its fields split at bare commas.
//
// The file is optional: a demo without one is whole, and a capture made
// without an accessibility bus writes none. Its lines come from strangers
// like the other files: the reader skips every line it cannot take. No
// window calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t PRESS_NAME_CAP = 200;  // bytes of a name kept (cut at a character's boundary)
constexpr size_t PRESS_ROLE_CAP = 40;   // bytes of a role kept
constexpr size_t PRESS_LINE_CAP = 4096; // longest line the reader takes

struct PressObject {
  int64_t time = 0;
  std::string role;
  int32_t extents[4] = {0, 0, 0, 0};  // x, y, width, height in screen pixels
  std::string name;
};

// The file's line for p, role and name cut to their caps and escaped.
std::string pressLine(const PressObject& p);
// Reads one line (without its line end); false when it is not a whole line
// of the format (wrong field count, a number out of range or not a number,
// a width or height below 1, a bad escape, a role or name over its cap).
bool readPressLine(const std::string& line, PressObject* out);
// Appends p's line to the file at path (made when missing) and closes it; false when it cannot be written.
bool appendPressLine(const std::string& path, const PressObject& p);
// Every well-formed line of the file at path, in order. A missing file is
// an empty list (true); false only when the file exists and cannot be read.
bool readPressFile(const std::string& path, std::vector<PressObject>* out);
