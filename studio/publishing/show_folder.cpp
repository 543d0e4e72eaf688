// show_folder.cpp: opening the written files' folder from a done screen.
#include "studio/publishing/show_folder.h"

#include "studio/kit/open_folder.h"
#include "studio/kit/screen_kit.h"
#include "studio/publishing/publishing_support.h"

void drawShowFolderButton(int32_t x, int32_t y, int32_t h) { studioButton("Show Folder", x, y, 100, h); }

int onShowFolder(const std::string& folder, int32_t y) {
  if (studioOpenFolder(folder)) return PAL_NOTHING;
  studioPaintBackground(0, y, studioWinW(), 24, Gradient::Truncated);
  const std::string text = "No file manager could be started. The files are in " +
                           publishing::quoted(folder) + ".";
  studioCentredText(text.c_str(), studioWinW() / 2, y, STUDIO_FONT, STUDIO_WHITE);
  return PAL_SHOW;
}
