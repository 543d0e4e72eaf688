// multipath_screen.h: the screen that "Add MultiPath" on the demo screen
// opens: what MultiPath does and the warning to review its result, then
// the worker's progress; the demo screen returns when it has finished.
#pragma once

#include <cstdint>

constexpr int MULTIPATH_TIMER = 1;
constexpr int MULTIPATH_POLL_MS = 200;

int multiPathScreenHandler(int32_t event[4], char* name);
