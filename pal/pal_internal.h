// pal_internal.h: helpers shared between the platform layer's own files.
#pragma once

#include <cstdint>

// Scales all of srcSlot into the rectangle (x, y, w, h) of slot 0 with the
// smoothing filter, clipped to slot 0; both slots hold pixels.
void palScaleSmoothed(int srcSlot, int32_t x, int32_t y, int32_t w, int32_t h);
