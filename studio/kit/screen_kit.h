// screen_kit.h: the floor of the authoring program: what every screen
// draws the same way and the one way back to the demo screen.
//
// The authoring program's rooms stand on each other in one direction:
//   studio/kit      this floor: the look of the screens, the state numbers
//                   (studio_states.h) and the demo library (library.h);
//   studio/capture, abstraction, editor, publishing
//                   the screen families, each with window-free workers and
//                   the screens around them; they stand on the kit and on
//                   demo/, never on the shell or on each other's screens;
//   studio/shell    start-up, the state machine, the home, management and
//                   demo screens: the only room that includes the families'
//                   screen headers.
// The kit includes nothing from the rooms above it.
//
// Threads: everything here draws into slot 0 or shows an alert, so it is
// for the loop thread (the screens' event handlers) only; workers never
// call it.
#pragma once

#include "pal/pal.h"

#include <cstdint>
#include <cstring>

// Texts of the authoring screens: normal and large.
constexpr int STUDIO_FONT = 2;
constexpr int STUDIO_FONT_LARGE = 3;
constexpr uint32_t STUDIO_WHITE = 0xFFFFFF;
constexpr uint32_t STUDIO_YELLOW = 0xDADF11;
constexpr uint32_t STUDIO_PANEL = 0x282F3E;

// The drawing area's size: slot 0, which the window shows.
inline int32_t studioWinW() { return gpal_ImageBuffSize[0][0]; }
inline int32_t studioWinH() { return gpal_ImageBuffSize[0][1]; }

// True when an event's button or edit box name is label.
inline bool studioNamed(const char* name, const char* label) { return std::strcmp(name, label) == 0; }

// How the background's rows are computed: rounded to the nearest value
// (the screens of the library) or truncated (the sharing dialogs and the
// demo screen).
enum class Gradient { Rounded, Truncated };

// The background colour of row y of a drawing area h rows high.
uint32_t studioBackgroundAt(int32_t y, int32_t h, Gradient kind);
// Paints the background over the rectangle of slot 0 (rows measured
// against the whole window's height), so a strip can be cleared alone.
void studioPaintBackground(int32_t x, int32_t y, int32_t w, int32_t h, Gradient kind);
// Paints the background over all of slot 0.
void studioPaintWholeBackground(Gradient kind);
// Draws the standard button with its label in font 2 and registers it
// under its label.
void studioButton(const char* label, int32_t x, int32_t y, int32_t w, int32_t h);
// Draws text with its centre at column centreX.
void studioCentredText(const char* text, int32_t centreX, int32_t y, int font, uint32_t colour);
// The blocking "Not Yet Available" alert for a button whose screen comes
// with a later build; the screen stays as it was.
void studioNotYetAvailable(const char* button);
// The dark band across the window's foot (y 520, 38 high) in which a
// screen shows the progress of its worker, text large and centred.
void studioProgressBand(const char* text);

// ---- Back to the demo screen -------------------------------------------------
// A dialog opened from the demo screen (sharing, MultiPath) ends by handing
// its window back to the demo screen, which reads the demo again. The shell
// names that screen's handler at start-up, so no family needs the shell.
void studioSetDemoScreen(pal_EventHandler handler);
// Disables every timer and makes the demo screen the window's handler;
// returns PAL_NOTHING for the event handler to return.
int studioBackToDemoScreen();
