// pag.h: drawing primitives. Each writes straight into an image buffer slot,
// clipped pixel by pixel; only text is anti-aliased. Colours are long
// colours 0xRRGGBB. Rectangles are x, y, width, height.
#pragma once

#include <cstdint>

// The standard button of the system's dialogs.
constexpr uint32_t PAG_BUTTON_BORDER_TOP = 0x515655;
constexpr uint32_t PAG_BUTTON_BORDER_BOTTOM = 0x282F3E;
constexpr uint32_t PAG_BUTTON_FACE_TOP = 0xFFFFFF;
constexpr uint32_t PAG_BUTTON_FACE_BOTTOM = 0xDADF11;
constexpr uint32_t PAG_BUTTON_LABEL = 0x282F3E;

// Fills columns x .. x+w-1 of rows y .. y+h-1.
void pag_FillRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
// Outlines columns x .. x+w and rows y .. y+h; gap 0 solid, 1 every second pixel.
void pag_DrawRectOutline(int slot, int32_t x, int32_t y, int32_t w, int32_t h, int gap, uint32_t colour);
// Fills with a vertical gradient; the bottom colour itself is never reached.
void pag_FillGradientRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t top, uint32_t bottom);
// Fills with two pixels clipped off each corner.
void pag_FillRoundedRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t colour);
// The rounded shape with a vertical gradient reaching both colours.
void pag_FillGradientRoundedRect(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t top, uint32_t bottom);
// Complements every second pixel of the outline; twice restores the image.
void pag_InvertDashedRectOutline(int slot, int32_t x, int32_t y, int32_t w, int32_t h);
// Fills a triangle with its tip at (x, y) pointing "D", "U", "L" or right;
// slope 1, 2 or 3 (else an alert and nothing drawn).
void pag_DrawTrianglePointer(int slot, int32_t x, int32_t y, int32_t size, int slope, const char* direction,
                             uint32_t colour);
// Greys the area: each channel becomes (red + green + blue) / 6.
void pag_FlattenColorsToGrey(int slot, int32_t x, int32_t y, int32_t w, int32_t h);
// Draws one line of text with its top edge one pixel above y (fonts 4 to 6
// raised by 4, 6, 8 more); x or y of -1 centres the text in the slot.
void pag_DrawTextOnBuff(int slot, int32_t x, int32_t y, const char* text, int font, uint32_t colour);
// Draws the standard button into slot 0 (whatever slot says) and, when
// clickable is 1, registers it under its label.
void pag_DrawButtonType1(int slot, int32_t x, int32_t y, int32_t w, int32_t h, uint32_t borderTop,
                         uint32_t borderBottom, uint32_t faceTop, uint32_t faceBottom, const char* label, int font,
                         uint32_t labelColour, int clickable, int32_t labelOffset);
