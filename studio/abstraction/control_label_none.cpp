// control_label_none.cpp: the label reader of a build without a text
// recogniser (the Windows build): nothing is read, so a press without a
// name from the accessibility tree gets its kind's caption.
#include "studio/abstraction/control_label.h"

ControlLabel readControlLabel(const unsigned char*, int32_t, int32_t, size_t) { return {}; }
