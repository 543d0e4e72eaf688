// step_captions.h: the speaker note that says what a step asks for, made
// from what the press landed on: `Click "Save".`, `Choose "File".`, `Type
// in the "Name" field.` ... The wording follows the role the accessibility
// tree gave (or none, for a label read off the screen); the name stands in
// double quotes, cut to fit a note. No window calls.
#pragma once

#include <string>

constexpr size_t CAPTION_NAME_CAP = 60;  // characters of a name in a caption, "..." included

struct CaptionPress {
  std::string role;            // the accessible role's name; empty when the tree knew nothing
  std::string name;            // UTF-8
  bool hover = false;          // the step is a mouseover pair
  bool typingFollows = false;  // frames follow the press before the next one
};

// The caption in Windows-1252 (the notes' code page); empty when there is
// nothing to name (no name and not a password field).
std::string captionOf(const CaptionPress& press);
// True for the roles whose contents must never reach a caption.
bool isPasswordRole(const std::string& role);
