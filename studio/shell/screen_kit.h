// screen_kit.h: what every authoring screen draws the same way: the
// blue-grey background, the standard buttons, centred texts, and the alert
// that a button of a later build answers with. Drawing goes into slot 0.
#pragma once

#include <cstdint>

// Texts of the authoring screens: normal and large.
constexpr int STUDIO_FONT = 2;
constexpr int STUDIO_FONT_LARGE = 3;
constexpr uint32_t STUDIO_WHITE = 0xFFFFFF;
constexpr uint32_t STUDIO_YELLOW = 0xDADF11;
constexpr uint32_t STUDIO_PANEL = 0x282F3E;

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
