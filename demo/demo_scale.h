// demo_scale.h: the display scale that fits the crop into an area.
#pragma once

#include <cstdint>

// Computes min(area width * 1000 / crop width, area height * 1000 / crop
// height) for rect (x, y, width, height) or, when null, the work area of
// the primary monitor; keeps it when allowEnlarge is nonzero or it is at
// most 1000, else uses 1000. Stores it in gDemoScale and returns it; 1000
// for an empty crop.
int32_t demoSetDemoScale(const int32_t* rect, int allowEnlarge);
