// pal_accessibility_win32.cpp: the accessibility tree's answers on
// Windows. Not asked yet: every point answers "nothing accessible known",
// so captions fall back to the labels read off the screen and to the
// press's kind, as they do on a Linux desktop without an accessibility bus.
#include "pal/pal_accessibility.h"

int pal_AccessibleAtPoint(int32_t, int32_t, int, const pal_AccessiblePopups*, pal_AccessibleObject*) { return 0; }

int pal_AccessiblePopupsNow(int, pal_AccessiblePopups* out) {
  if (out != nullptr) out->count = 0;
  return 0;
}
