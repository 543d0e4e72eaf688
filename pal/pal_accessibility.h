// pal_accessibility.h: what the desktop's accessibility tree says is at a
// point of the screen. Linux asks the AT-SPI registry over D-Bus, Windows
// Active Accessibility (the role spelt as AT-SPI spells it). Kept out
// of pal.h and its library: only the authoring program links it, so the
// Presenter stays free of the accessibility libraries.
#pragma once

#include <cstdint>

struct pal_AccessibleObject {
  char role[64];        // the role's name: "push button", "menu item", "password text", ...
  char name[256];       // the accessible name, UTF-8 (empty when it has none)
  int32_t extents[4];   // x, y, width, height in screen pixels
};

// The pop-up windows (menus, lists, tool tips) showing at one moment, by
// their rectangles.
constexpr int PAL_POPUPS_CAP = 32;
struct pal_AccessiblePopups {
  int count;
  int32_t rects[PAL_POPUPS_CAP][4];  // x, y, width, height
};

// The deepest accessible object at screen point (x, y): 1 with *out filled,
// 0 when nothing accessible is there or there is no accessibility bus, -1
// when an application did not answer within timeoutMs (each call to it is
// given that long). A press that opens a pop-up is asked about after the
// pop-up has opened: with before (the pop-ups showing before the press) a
// pop-up that is not among them is passed over, so the object is the one
// that was pressed, not the pop-up's item under the pointer. Call this and
// pal_AccessiblePopupsNow from one thread only: the first call connects.
int pal_AccessibleAtPoint(int32_t x, int32_t y, int timeoutMs, const pal_AccessiblePopups* before,
                          pal_AccessibleObject* out);
// The pop-ups showing now: 1, or 0 without an accessibility bus (out empty).
int pal_AccessiblePopupsNow(int timeoutMs, pal_AccessiblePopups* out);
