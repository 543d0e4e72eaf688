// open_folder.h: showing a folder in the desktop's file manager.
#pragma once

#include <string>

// Opens the folder at path (system bytes) with xdg-open, started without a
// shell, its output dropped. False when it cannot be started, or ends with
// a failure within its first second (no file manager for folders); once it
// runs longer it is left to run and reaped when it ends.
bool studioOpenFolder(const std::string& path);
