// paste_screens.h: the screens of "Paste" on the demo management screen:
// choosing the giving demo, the paste form and the paste's progress.
#pragma once

#include <cstdint>

// The choose-demo screen; the paste form and the progress follow from it.
int pasteChooseHandler(int32_t event[4], char* name);
