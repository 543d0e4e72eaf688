// package_screens.h: "Simulation" on the demo screen: the package dialog
// and the packaging screen, in the demo screen's window.
#pragma once

#include <cstdint>

// The package dialog; the preparation starts as it opens.
int packageDialogHandler(int32_t event[4], char* name);
// The packaging screen: the wrapped files written, then the result.
int packagingScreenHandler(int32_t event[4], char* name);
