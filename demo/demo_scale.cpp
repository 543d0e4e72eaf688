// demo_scale.cpp: the display scale in thousandths.
#include "demo/demo_scale.h"

#include "demo/demo_model.h"
#include "pal/pal.h"

#include <algorithm>

int32_t demoSetDemoScale(const int32_t* rect, int allowEnlarge) {
  int64_t w, h;
  if (rect != nullptr) {
    w = rect[2];
    h = rect[3];
  } else {
    int32_t work[4];
    pal_GetAvailableScreenPixels(1, work);
    w = work[2] - work[0];
    h = work[3] - work[1];
  }
  int64_t scale = 1000;
  if (gCropSize[2] > 0 && gCropSize[3] > 0) scale = std::min(w * 1000 / gCropSize[2], h * 1000 / gCropSize[3]);
  if (!allowEnlarge && scale > 1000) scale = 1000;
  if (scale < 1) scale = 1;  // a window never shrinks to nothing
  gDemoScale = static_cast<int32_t>(scale);
  return gDemoScale;
}
