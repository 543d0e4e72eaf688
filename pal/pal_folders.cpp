// pal_folders.cpp: finding or creating a folder, and deleting one, alone,
// with its files, or with the whole tree below it, the same on every platform over the file layer's
// listing and removals (so every path is read as the file layer reads it).
#include "pal/pal.h"
#include "pal/pal_fs.h"

#include <cstring>
#include <functional>
#include <string>

namespace {

constexpr size_t kPathCap = 298;

// Calls visit(entry path, is a real folder) for each entry of folder until
// visit returns false; a link to a folder is not a real folder and is
// never entered. False when the folder cannot be listed.
bool listFolder(const std::string& folder, const std::function<bool(const std::string&, bool)>& visit) {
  return pal_FsList(folder.c_str(), [&](const char* name, bool isFolder, bool) { return visit(folder + "/" + name, isFolder); });
}

// Deletes every entry of folder that is not a real folder; -7 when it cannot
// be listed, -6 when an entry cannot be deleted.
int deleteFilesIn(const std::string& folder) {
  int result = 1;
  const bool listed = listFolder(folder, [&](const std::string& entry, bool realFolder) {
    if (!realFolder && pal_FsRemove(entry.c_str()) != 0) result = -6;
    return true;
  });
  return listed ? result : -7;
}

// The first real subfolder of folder, or empty; -7 in *error when the
// folder cannot be listed.
std::string firstSubfolder(const std::string& folder, int* error) {
  std::string found;
  const bool listed = listFolder(folder, [&](const std::string& entry, bool realFolder) {
    if (realFolder) found = entry;
    return found.empty();
  });
  if (!listed) *error = -7;
  return found;
}

// Removes the tree at root depth first: descend to a folder without
// subfolders, empty it, remove it, start again from the root.
int deleteTree(const std::string& root) {
  for (;;) {
    std::string folder = root;
    int error = 0;
    for (std::string sub = firstSubfolder(folder, &error); !sub.empty(); sub = firstSubfolder(folder, &error))
      folder = sub;
    if (error != 0) return error;
    const int emptied = deleteFilesIn(folder);
    if (emptied != 1) return emptied;
    if (pal_FsRemoveFolder(folder.c_str()) != 0) return -1;
    if (folder == root) return 1;
  }
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

int pal_FindOrCreateDirectory(const char* path) {
  if (pal_FsStat(path, nullptr)) return 0;
  pal_FsMakeFolder(path, 0777);
  pal_FsInfo info;
  return pal_FsStat(path, &info) && info.folder ? 1 : -1;
}

int pal_DeleteDirectory(const char* path, int mode) {
  std::string p(path, strnlen(path, kPathCap));
  if (!p.empty() && isSeparator(p.back())) {
    if (p.size() == 1) return -8;
    p.pop_back();
  }
  if (!p.empty() && isSeparator(p.back())) return -9;
  if (mode >= 2) return deleteTree(p);
  if (mode == 1 && deleteFilesIn(p) == -7) return -7;
  return pal_FsRemoveFolder(p.c_str()) == 0 ? 1 : -1;
}
