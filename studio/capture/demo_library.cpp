// demo_library.cpp: the rules for demo names and the library's changes
// that must never lose a demo: renaming (undone file by file when a move
// fails) and copying on a worker thread (the recording arrives under a
// temporary name, so a cut-short copy is never listed). No window calls.
#include "studio/capture/demo_files.h"

#include "pal/pal.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

std::atomic<int> gCopyFilesDone{0};

namespace {

constexpr const char* kIllegal = "&?./>^<\\:*!;,|\"";
constexpr const char* kDemoExtensions[] = {".DMW", ".DMD", ".DMR"};

std::string gCopyTarget;  // handed to the copy worker before it starts

void copyWorker() { copyDemoFiles(gCopyTarget); }

}  // namespace

int demoNameCode(const char* name) {
  const size_t n = std::strlen(name);
  if (n == 0) return -9;
  if (n > DEMO_NAME_MAX) return -8;
  if (name[0] == ' ') return -7;
  if (name[n - 1] == ' ') return -6;
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 32 || c > 126 || std::strchr(kIllegal, c) != nullptr) return -1;
  }
  return 1;
}

const char* demoNameMessage(int code) {
  switch (code) {
    case -9: return "Name for Demo is too short";
    case -8: return "Name for Demo is too long";
    case -7: return "Name for Demo cannot start with ' '";
    case -6: return "Name for Demo cannot end with ' '";
    case -1: return "Name for Demo contains an illegal character";
    default: return "";
  }
}

int renameDemoFiles(const std::string& oldName, const std::string& newName) {
  for (int i = 0; i < 3; ++i) {
    const char* ext = kDemoExtensions[i];
    if (std::rename(demoFilePath(oldName, ext).c_str(), demoFilePath(newName, ext).c_str()) == 0) continue;
    std::printf("Rename: moving %s failed; moving the demo back\n", ext);
    for (int back = i - 1; back >= 0; --back)
      std::rename(demoFilePath(newName, kDemoExtensions[back]).c_str(),
                  demoFilePath(oldName, kDemoExtensions[back]).c_str());
    ::rmdir(demoFolderPath(newName).c_str());
    return -1 - i;
  }
  return pal_DeleteDirectory(demoFolderPath(oldName).c_str(), 2) == 1 ? 1 : -4;
}

void copyDemoFiles(const std::string& newName) {
  for (const char* ext : {".DMW", ".DMD"})
    pal_CopyOrAppendFile(demoFilePath(gCurrDemoName, ext).c_str(), demoFilePath(newName, ext).c_str(), 0, nullptr);
  const std::string recording = demoFilePath(newName, ".DMR");
  const std::string partial = recording + ".partial";
  pal_CopyOrAppendFile(demoFilePath(gCurrDemoName, ".DMR").c_str(), partial.c_str(), 0, &gCopyFilesPercent);
  if (std::rename(partial.c_str(), recording.c_str()) != 0) {
    char text[700];
    std::snprintf(text, sizeof text, "Unexpected DCPY-001 on '%s'", recording.c_str());
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
