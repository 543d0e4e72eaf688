// pal_clickables.cpp: named clickable rectangles and the lookup that decides
// whether a press lands in an edit box or on a named rectangle.
// The edit-box table lives here too; its editing behaviour is elsewhere.
#include "pal/pal.h"

#include <cstring>

int32_t gpal_ClickableRectList[PAL_CLICKABLE_CAP][4];
char gpal_ClickableRectNames[PAL_CLICKABLE_CAP][PAL_NAME_LEN];
char gpal_TextEditNames[PAL_EDIT_SLOTS][PAL_NAME_LEN];
int32_t gpal_TextEditRects[PAL_EDIT_SLOTS][6];
char gpal_TextEditHolders[PAL_EDIT_SLOTS + 1][PAL_EDIT_TEXT_LEN];
int gpal_TextEditCurrSlot = -1;

namespace {

// Both edges are included: x <= px <= x + w, y <= py <= y + h.
bool rectHolds(const int32_t* r, int32_t px, int32_t py) {
  return r[0] <= px && px <= r[0] + r[2] && r[1] <= py && py <= r[1] + r[3];
}

void copyName(char* dst, const char* name) {
  std::strncpy(dst, name ? name : "", PAL_NAME_LEN - 1);
  dst[PAL_NAME_LEN - 1] = '\0';
}

}  // namespace

void pal_MarkClickableRect(const char* name, int32_t x, int32_t y, int32_t w, int32_t h) {
  for (int i = 0; i < PAL_CLICKABLE_CAP; ++i) {
    if (gpal_ClickableRectList[i][0] != PAL_FREE_CLICKABLE) continue;
    gpal_ClickableRectList[i][0] = x;
    gpal_ClickableRectList[i][1] = y;
    gpal_ClickableRectList[i][2] = w;
    gpal_ClickableRectList[i][3] = h;
    copyName(gpal_ClickableRectNames[i], name);
    return;
  }
}

void pal_UnmarkAllClickableRects() {
  for (int i = 0; i < PAL_CLICKABLE_CAP; ++i) {
    gpal_ClickableRectList[i][0] = PAL_FREE_CLICKABLE;
    gpal_ClickableRectNames[i][0] = '\0';
  }
  for (int i = 0; i < PAL_EDIT_SLOTS; ++i) {
    gpal_TextEditRects[i][0] = PAL_FREE_EDIT;
    gpal_TextEditNames[i][0] = '\0';
  }
  gpal_TextEditCurrSlot = -1;
}

int pal_FindClickableRectAtLocation(char* dst, int32_t x, int32_t y) {
  dst[0] = '\0';
  gpal_TextEditCurrSlot = -1;
  for (int i = 0; i < PAL_EDIT_SLOTS && gpal_TextEditRects[i][0] != PAL_FREE_EDIT; ++i) {
    if (rectHolds(gpal_TextEditRects[i], x, y)) {
      gpal_TextEditCurrSlot = i;
      return i;
    }
  }
  for (int i = 0; i < PAL_CLICKABLE_CAP && gpal_ClickableRectList[i][0] != PAL_FREE_CLICKABLE; ++i) {
    if (rectHolds(gpal_ClickableRectList[i], x, y)) {
      copyName(dst, gpal_ClickableRectNames[i]);
      return i;
    }
  }
  return -1;
}

// A click of kind 1 (single), 2 (double), 10 (press only) or 11 (release
// only), from the platform's single press and release.
void pal_ClickMouse(int kind) {
  switch (kind) {
    case 1:
      pal_ClickMouseSingleAction(1);
      pal_ClickMouseSingleAction(0);
      break;
    case 2:
      for (int i = 0; i < 2; ++i) {
        pal_ClickMouseSingleAction(1);
        pal_ClickMouseSingleAction(0);
      }
      break;
    case 10: pal_ClickMouseSingleAction(1); break;
    case 11: pal_ClickMouseSingleAction(0); break;
    default: break;
  }
}
