// Pictomira: the authoring program. Runs from its program folder, beside
// its "zPictomiraSystemFiles" and "Demos" folders, or on the folders given
// with --folder and --library; with a command it runs that one command
// without a window instead (command_line.h).
#include "studio/shell/command_line.h"
#include "studio/shell/shell.h"

#include <string>

int main(int argc, char** argv) {
  std::string program, library;
  if (argc > 1 && !windowFolders(argc, argv, &program, &library)) return studioCommandLine(argc, argv);
  return studioMain(program, library);
}
