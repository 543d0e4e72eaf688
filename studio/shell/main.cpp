// Pictomira: the authoring program. Runs from its program folder, beside
// its "zPictomiraSystemFiles" and "Demos" folders.
#include "studio/shell/shell.h"

int main() { return studioMain(); }
