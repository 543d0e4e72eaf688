// package_screens.h: the sharing screens opened from the demo screen, in
// its window: "Simulation" (the package dialog and the packaging screen),
// "HTML5" and "Demo Guide" (a dialog, the page written, where it is).
#pragma once

#include <cstdint>

// The package dialog; the preparation starts as it opens.
int packageDialogHandler(int32_t event[4], char* name);
// The packaging screen: the wrapped files written, then the result.
int packagingScreenHandler(int32_t event[4], char* name);

// The dialogs of the HTML5 page and of the Demo Guide.
int html5DialogHandler(int32_t event[4], char* name);
int guideDialogHandler(int32_t event[4], char* name);

// The package preparation's progress in tenths of a per cent (its three phases).
int64_t packagePrepareTenths();
