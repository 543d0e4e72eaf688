// demo_library.cpp: the library's changes
// that must never lose a demo: renaming (undone file by file when a move
// fails) and copying on a worker thread (the new demo is built in a hidden
// folder and renamed into place once complete, so a cut-short copy is
// never listed and never blocks its name). The press side file (.DMA) goes
// along when a demo has one; a demo without one is whole. No window calls.
#include "studio/capture/demo_files.h"

#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_fs.h"

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

std::atomic<int> gCopyFilesDone{0};

namespace {

constexpr const char* kDemoExtensions[] = {".DMW", ".DMD", ".DMR"};
constexpr const char* kPressFile = ".DMA";  // optional

std::string gCopyTarget;  // handed to the copy worker before it starts

void copyWorker() { copyDemoFiles(gCopyTarget); }

bool exists(const std::string& path) { return pal_FsStatLink(path.c_str(), nullptr); }

// A side file a copy can take: a readable file (one that is not is left behind).
bool copyable(const std::string& path) {
  pal_FsInfo info;
  return pal_FsStat(path.c_str(), &info) && info.file && pal_FsReadable(path.c_str());
}

void deleteFolder(const std::string& path) {
  if (exists(path)) pal_DeleteDirectory(path.c_str(), 2);
}

constexpr const char* kCopying = ".copying";

}  // namespace

std::string hiddenWorkName(const std::string& newName, const char* suffix) { return "." + newName + suffix; }

std::string demoInsideWorkName(const std::string& name, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (name.size() < n + 2 || name[0] != '.' || name.compare(name.size() - n, n, suffix) != 0) return {};
  const std::string inner = name.substr(1, name.size() - n - 1);
  return demoNameCode(inner.c_str()) == 1 ? inner : std::string();
}

int moveBuiltDemoIntoPlace(const std::string& built, const std::string& newName) {
  const auto move = [&](const char* ext) {
    return pal_FsRename(demoFilePath(built, ext).c_str(),
                       (demoFolderPath(built) + "/" + pal_SystemText(newName) + ext).c_str()) == 0;
  };
  for (const char* ext : kDemoExtensions)
    if (!move(ext)) return -1;
  if (exists(demoFilePath(built, kPressFile)) && !move(kPressFile)) return -1;
  // Over the empty folder that reserved the name, if there is one.
  return pal_FsRename(demoFolderPath(built).c_str(), demoFolderPath(newName).c_str()) == 0 ? 1 : -1;
}

std::vector<std::string> demosFolderEntries() {
  std::vector<std::string> names;
  std::string name;
  pal_FsList(demosFolderPath().c_str(), [&](const char* entry, bool, bool) {
    if (pal_TextFromSystem(entry, &name)) names.push_back(name);
    return true;
  });
  return names;
}

int removeInterruptedCopies() {
  std::vector<std::string> found;
  for (const std::string& name : demosFolderEntries()) {
    if (!demoInsideWorkName(name, kCopying).empty()) {
      found.push_back(name);
    } else if (demoNameCode(name.c_str()) == 1) {
      // An earlier way of copying left the recording as NAME.DMR.partial
      // beside the other two files: never a demo, but its name was taken.
      const std::string partial = demoFilePath(name, ".DMR") + ".partial";
      if (exists(partial) && !exists(demoFilePath(name, ".DMR"))) found.push_back(name);
    }
  }
  for (const std::string& name : found) {
    const std::string inner = demoInsideWorkName(name, kCopying);
    if (inner.empty()) {
      std::remove((demoFilePath(name, ".DMR") + ".partial").c_str());
      std::remove(demoFilePath(name, ".DMD").c_str());
      std::remove(demoFilePath(name, ".DMW").c_str());
      std::remove(demoFilePath(name, kPressFile).c_str());
      pal_FsRemoveFolder(demoFolderPath(name).c_str());
    } else {
      deleteFolder(demoFolderPath(name));
      pal_FsRemoveFolder(demoFolderPath(inner).c_str());  // the empty folder that reserved the name
    }
  }
  return static_cast<int>(found.size());
}

int renameDemoFiles(const std::string& oldName, const std::string& newName) {
  for (int i = 0; i < 3; ++i) {
    const char* ext = kDemoExtensions[i];
    if (pal_FsRename(demoFilePath(oldName, ext).c_str(), demoFilePath(newName, ext).c_str()) == 0) continue;
    std::printf("Rename: moving %s failed; moving the demo back\n", ext);
    for (int back = i - 1; back >= 0; --back)
      pal_FsRename(demoFilePath(newName, kDemoExtensions[back]).c_str(),
                  demoFilePath(oldName, kDemoExtensions[back]).c_str());
    pal_FsRemoveFolder(demoFolderPath(newName).c_str());
    return -1 - i;
  }
  // The demo is whole without its side file: when that cannot move, the old
  // folder stays with it rather than being deleted (-4, nothing lost).
  const std::string presses = demoFilePath(oldName, kPressFile);
  if (exists(presses) && pal_FsRename(presses.c_str(), demoFilePath(newName, kPressFile).c_str()) != 0) {
    std::printf("Rename: moving %s failed; the old folder keeps it\n", kPressFile);
    return -4;
  }
  return pal_DeleteDirectory(demoFolderPath(oldName).c_str(), 2) == 1 ? 1 : -4;
}

void copyDemoFiles(const std::string& newName) {
  const std::string built = hiddenWorkName(newName, kCopying);
  const std::string folder = demoFolderPath(built);
  deleteFolder(folder);
  if (pal_FindOrCreateDirectory(folder.c_str()) != 1) {
    char text[700];
    std::snprintf(text, sizeof text, "Unexpected DCPY-002 on '%s'", folder.c_str());
    pal_FatalAlert("Exiting...", text);
  }
  std::vector<const char*> files(std::begin(kDemoExtensions), std::end(kDemoExtensions));
  if (copyable(demoFilePath(gCurrDemoName, kPressFile))) files.push_back(kPressFile);
  for (const char* ext : files) {
    pal_CopyOrAppendFile(demoFilePath(gCurrDemoName, ext).c_str(), demoFilePath(built, ext).c_str(), 0,
                         std::strcmp(ext, ".DMR") == 0 ? &gCopyFilesPercent : nullptr);
    if (pal_StopRequested()) {
      // The program is ending: nothing of the copy stays, not even its name.
      deleteFolder(folder);
      pal_FsRemoveFolder(demoFolderPath(newName).c_str());
      return;
    }
  }
  if (moveBuiltDemoIntoPlace(built, newName) != 1) {
    deleteFolder(folder);
    char text[700];
    std::snprintf(text, sizeof text, "Unexpected DCPY-001 on '%s'", demoFolderPath(newName).c_str());
    pal_FatalAlert("Exiting...", text);
  }
  gCopyFilesPercent = 100;  // an empty recording reports nothing on its way
  gCopyFilesDone = 1;
}

void startCopyDemoFiles(const std::string& newName) {
  gCopyFilesPercent = 0;
  gCopyFilesDone = 0;
  gCopyTarget = newName;
  pal_BeginThread(copyWorker);
}
