// open_folder.cpp: the desktop's file manager on a folder, through the
// platform layer (a child program of its own, no shell).
#include "studio/kit/open_folder.h"

#include "pal/pal_fs.h"

bool studioOpenFolder(const std::string& path) { return pal_FsShowFolder(path.c_str()); }
