// frame_commands.h: the editor's commands on the demo model: steps and
// step navigation, hiding a frame, the mouseover pair, the range commands
// (hide, show from the recording, typing, timing), jumping, the home frame
// and the window corners. Every command leaves the model unchanged when it
// refuses, and says why in an Outcome. No window calls.
#pragma once

#include <cstdint>
#include <string>

// A refusal or notice for the author: an alert's title and text.
struct Notice {
  std::string title, text;
};
// What a command did: count of frames changed, and the alerts to show in order.
struct Outcome {
  int count = 0;
  bool refused = false;
  Notice notices[4];
  int noticeCount = 0;
  void say(const std::string& title, const std::string& text);
};
// An Outcome that refuses with one alert.
Outcome refused(const std::string& title, const std::string& text);

// Reads the From and To texts of a range of frame numbers, blanks around
// them allowed. An empty To is From itself unless needTo. With visible,
// each end must be a visible frame's number and To at or after From by
// frame index too. False, with out refused and its alert, when the texts
// do not make a range; the editor's range commands and the bitmap import
// read their boxes through this.
bool readFrameRange(const char* fromText, const char* toText, bool needTo, bool visible, Outcome* out, int64_t* from,
                    int64_t* to);

// ---- Steps ----------------------------------------------------------------------
// A frame whose first instruction is L or R.
bool isClickFrame(int32_t frame);
struct StepBounds {
  int32_t first, last;  // frame indexes of the step holding frame
  int32_t number;       // 1 + click frames before frame
};
StepBounds stepBounds(int32_t frame);
// The targets of the editor's navigation from frame.
int32_t previousStepTarget(int32_t frame);  // "<", Left: last frame of the previous step (frame on the first)
int32_t nextStepTarget(int32_t frame);      // ">": last frame of the next step (frame on the last)
int32_t rightArrowTarget(int32_t frame);    // the step's last frame; if there already, the next step's
// Counts a click on "<" or ">" with the counter that starts at 1: true on
// the third click, once (the counter is then 0 and counts no more).
bool stepClickReminds(int32_t* counter);

// ---- One frame ----------------------------------------------------------------------
// Removes frame index's record and instructions and shifts the rest (a
// target of the removed frame now names the frame before it). No count.
void removeFrameRecord(int32_t index);
// Hide: refused (notice) when it is the only frame; else gEditCount + 1 and
// gEditorFrame on the frame that took its place (or the new last).
Outcome hideCurrentFrame();
// The mouseover command on click frame gEditorFrame with frame number n.
Outcome setMouseover(int64_t n);

// ---- Range commands (texts of FromFrameEditBox and ToFrameEditBox) ----------------
enum class Timing { Faster, Slower, MatchFirst };
Outcome hideRange(const char* from, const char* to);
// Brings frames back from the recording at recordingPath.
Outcome showRange(const char* from, const char* to, const std::string& recordingPath);
Outcome setTyping(const char* from, const char* to);
Outcome adjustTiming(const char* from, const char* to, Timing mode);
// The result line of a range command ("One frame was hidden", ...).
enum class RangeCommand { Hide, Show, Typing, Faster, SlowerOrMatch };
std::string rangeMessage(RangeCommand command, int count);

// ---- "More >" --------------------------------------------------------------------------
// The frame index "Jump to Frame" goes to for number n.
int32_t jumpTarget(int64_t n);
// Sets the home frame number (header value 2) to n when a visible frame has
// it (gEditCount + 1); else the "Hidden Home Frame" notice.
Outcome setHomeFrame(int64_t n);
// Window top corners: 0 square, 1 rounded (header value 3); gEditCount + 1.
void setCorners(int rounded);
int32_t homeFrameNumber();
int cornersRounded();
