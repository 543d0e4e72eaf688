// capture_fixture.h: a test fixture that writes the capture slot
// (TempCapture.DMR and TempCapture.DMW) from screens drawn by a callback,
// recording them as the capture does: a key record first, a key record at
// every click, otherwise a record of the rectangle that changed (the whole
// screen once the change passes the capture's threshold). CaptureScript
// builds such captures from a small scene: a window with buttons, a text
// field with a caret, an animation and a pop-up on a desktop.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A whole recorded screen: W x H pixels of blue, green, red, top row first.
struct CaptureScreen {
  int32_t W = 0, H = 0;
  std::vector<unsigned char> bgr;
  // Fills the part of the rectangle x, y, w, h that lies on the screen with colour 0xRRGGBB.
  void fill(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
};

struct CaptureFrame {
  int32_t time = 0;                           // milliseconds since the capture started
  int32_t x = 0, y = 0;                       // pointer position, screen pixels
  int click = 0;                              // 1: written as a key record for a press
  std::function<void(CaptureScreen&)> paint;  // draws the whole screen (it starts black)
};

struct CaptureFixture {
  int32_t W = 320, H = 240;                          // the recorded screen
  std::vector<CaptureFrame> frames;                  // one record each
  std::vector<std::array<int32_t, 4>> windowLines;   // left, top, right, bottom
  int64_t cutBytes = 0;                              // bytes cut off the end of the recording
};

// Writes programFolder/TempCapture.DMR and .DMW from fx. Frame 0 and every
// click are key records (click flag as the frame says); every other frame
// is a record of the rectangle that differs from the frame before it, the
// whole screen when it is larger than the capture's threshold allows, and
// a one-pixel record of the top-left pixel when nothing differs (so that
// every frame is one record). programFolder may end in "/" or not;
// gProgramFolder is left alone. False when a file cannot be written.
bool writeCaptureSlot(const std::string& programFolder, const CaptureFixture& fx);

// ---- Scenes --------------------------------------------------------------------------

// What the scene shows; every frame keeps a copy.
struct SceneState {
  int page = 0;         // the window's content panel, changed by clicks
  int lit = -1;         // the button lit up under the pointer (-1 none)
  bool caret = false;   // the text field's caret is shown
  int typed = 0;        // characters in the text field
  int spin = -1;        // animation phase (-1: no animation shown)
  bool popup = false;   // the pop-up is open
};

// Builds a capture frame by frame: a window (x, y, w, h) with three
// buttons along its bottom, a content panel, a text field and a small
// animation, on a desktop. Each call appends frames showing the state as
// it is then; times grow by the given milliseconds.
class CaptureScript {
 public:
  explicit CaptureScript(int32_t W = 320, int32_t H = 240, int32_t winX = 40, int32_t winY = 30, int32_t winW = 240,
                         int32_t winH = 180);

  SceneState& state() { return state_; }
  int32_t buttonX(int b) const;  // centre of button b (0..2), off its label
  int32_t buttonY(int b) const;
  int32_t fieldX() const;        // centre of the text field
  int32_t fieldY() const;
  int32_t window(int i) const { return win_[i]; }  // x, y, w, h
  int32_t now() const { return time_; }

  // One frame after ms with the state as it is.
  CaptureScript& frame(int32_t ms = 100);
  // n frames, each ms after the one before.
  CaptureScript& frames(int n, int32_t ms = 100);
  // The pointer moves to (x, y): one frame.
  CaptureScript& moveTo(int32_t x, int32_t y, int32_t ms = 100);
  // The pointer moves onto button b, which lights up: one frame.
  CaptureScript& hover(int b, int32_t ms = 100);
  // A press where the pointer is: a key record of the screen as it is; the
  // window file gains a line of the window.
  CaptureScript& click(int32_t ms = 100);
  // Moves onto button b, clicks it and shows the next page: three frames.
  CaptureScript& clickButton(int b, int32_t ms = 100);
  // Two presses on button b ms apart, then the next page: four frames.
  CaptureScript& doubleClickButton(int b, int32_t ms);
  // Clicks into the text field, moves the pointer to (x, y) and blinks the
  // caret n times (on, off, ...): n + 2 frames.
  CaptureScript& blink(int n, int32_t x, int32_t y, int32_t ms = 100);
  // Types one character: one frame.
  CaptureScript& type(int32_t ms = 100);
  // The animation steps n times: n frames.
  CaptureScript& animate(int n, int32_t ms = 40);
  // The pop-up opens or closes: one frame.
  CaptureScript& popup(bool open, int32_t ms = 100);
  // A click on the desktop outside the window at (x, y), without a window line: two frames.
  CaptureScript& clickOutside(int32_t x, int32_t y, int32_t ms = 100);
  // The final click on "Pause Capture", on the desktop at the bottom right.
  CaptureScript& pauseCapture(int32_t ms = 300);

  CaptureFixture fixture() const { return fx_; }
  CaptureFixture& edit() { return fx_; }

 private:
  CaptureFrame make(int32_t ms, int click);

  CaptureFixture fx_;
  SceneState state_;
  int32_t win_[4];
  int32_t px_, py_;
  int32_t time_ = -1;  // -1 before the first frame, which is at 0
};
