// command_line.h: the authoring program without a window. "Pictomira" with
// a command runs it on a program folder and its library and ends: the
// library's list, or one of the publishing workers on a demo, with no
// window and no X display (text is drawn by the font engine alone). Given
// only the folders (--folder DIR, --library DIR) it opens its window on them.
//
// Conventions: progress on standard error (one updating line on a
// terminal, plain lines otherwise), what was written on standard output,
// exit status 0 on success, 1 with a one-line reason on failure (the
// dialogs' reasons), 2 on a usage error. Runs on the program's main thread;
// the workers it starts are the ones the screens start.
#pragma once

#include <string>

// True when argv holds nothing but --folder DIR and --library DIR (each
// optional, the last of a kind counting): the window program on those
// folders, set in *program and *library (empty when not given).
bool windowFolders(int argc, char** argv, std::string* program, std::string* library);

// Runs the command of argv (the program was given arguments); returns the exit status.
int studioCommandLine(int argc, char** argv);
