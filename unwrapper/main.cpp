// The unwrapper program: writes the Presenter and its package out of the
// wrapped file it heads, into the folder where that file lies.
#include "pal/pal.h"
#include "unwrapper/unwrapper.h"
#include "unwrapper/wrap_io.h"

// The frame size read from the wrapped file: 0, 0, width, height.
int32_t gCropSize[4];

int main(int argc, char** /*argv*/) {
  gPMPonlyFlag = argc > 1 ? 1 : 0;  // any argument: the package file alone
  // The work needs only the program's own path: it starts before the fonts
  // and the window are set up, and overlaps them.
  wrapOwnProgramPath(gUnwrapProgramPath, sizeof gUnwrapProgramPath);
  startUnwrapWorker();
  pal_InitPAL();
  pal_RunWindow(1, -1, -1, UNWRAP_W, UNWRAP_H, "Building the Demo", unwrapHandler);
  return 0;
}
