// show_folder.h: the "Show Folder" button of the sharing done screens.
#pragma once

#include <cstdint>
#include <string>

// Draws "Show Folder" at x, y (100 x h) and registers it.
void drawShowFolderButton(int32_t x, int32_t y, int32_t h);
// The button's press: opens folder (system bytes) in the file manager;
// when none can be started, the row at y says where the files are.
// PAL_SHOW or PAL_NOTHING for the handler to return.
int onShowFolder(const std::string& folder, int32_t y);
