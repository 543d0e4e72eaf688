// Pictomira: the authoring program. Runs from its program folder, beside
// its "zPictomiraSystemFiles" and "Demos" folders; with arguments it runs
// one command without a window instead (command_line.h).
#include "studio/shell/command_line.h"
#include "studio/shell/shell.h"

int main(int argc, char** argv) {
  if (argc > 1) return studioCommandLine(argc, argv);  // any argument: one command, no window
  return studioMain();
}
