// interrupted_exports.cpp: the start-up's tidying after publishing that the
// program did not live to finish. Each worker removes what it had not
// finished when it is told to stop; this catches the runs that were not
// told (the process killed, the system gone down), whose hidden files
// would otherwise stay for ever.
#include "studio/publishing/interrupted_exports.h"

#include "studio/capture/demo_files.h"
#include "studio/publishing/mirrit.h"
#include "studio/publishing/package_writer.h"
#include "studio/publishing/publishing_support.h"

#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The names of the folders directly inside path.
std::vector<std::string> foldersIn(const std::string& path) {
  std::vector<std::string> out;
  pal_FsList(path.c_str(), [&](const char* name, bool folder, bool) {
    if (folder) out.push_back(name);
    return true;
  });
  return out;
}

// In each folder NAME of top: the unfinished files of a package or page
// NAME; a folder that held nothing else goes with them.
void tidyOutputs(const std::string& top, bool packages) {
  for (const std::string& name : foldersIn(top)) {
    const std::string folder = top + "/" + name + "/";
    int removed = std::remove(publishing::unfinishedPath(folder, name + ".html").c_str()) == 0 ? 1 : 0;
    if (!packages) {  // the Markdown guide's page and pictures' folder
      removed += std::remove(publishing::unfinishedPath(folder, name + ".md").c_str()) == 0 ? 1 : 0;
      removed += pal_DeleteDirectory(publishing::unfinishedPath(folder, name + "_files").c_str(), 2) == 1 ? 1 : 0;
      // Pictures put aside while new ones took their place: back when the new ones never arrived.
      const std::string old = publishing::unfinishedPath(folder, name + "_files.old"), pictures = folder + name + "_files";
      if (pal_FsStatLink(old.c_str(), nullptr)) {
        if (!pal_FsStatLink(pictures.c_str(), nullptr)) pal_FsRename(old.c_str(), pictures.c_str());
        else pal_DeleteDirectory(old.c_str(), 2);
      }
    }
    if (packages) removed += removeUnfinishedPackages(folder, name);
    if (removed > 0) publishing::removeIfEmpty(folder);
  }
}

}  // namespace

void removeInterruptedExports() {
  const std::string demos = demosFolderPath();
  for (const std::string& name : foldersIn(demos)) {
    const std::string folder = demos + name;
    removePackagePiecesIn(folder);
    settleInterruptedMirrit(folder);
  }
  tidyOutputs(libraryFolderPath() + "Demo_Packages", true);
  tidyOutputs(libraryFolderPath() + "Demo_Guides", false);
}
