// mirrit_screens.h: Control + W on the demo screen: the preparation
// screen, the writing screen and the "Done" alert of the Mirrit output,
// after which the program ends.
#pragma once

#include <cstdint>

// The preparation screen; it opens the writing screen when the line tables
// and the line pool are complete.
int mirritPrepareScreenHandler(int32_t event[4], char* name);
// The writing screen: "DemoFlow.txt" and "DemoStack.bws", then "Done".
int mirritWriteScreenHandler(int32_t event[4], char* name);
