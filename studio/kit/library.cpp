// library.cpp: the program and library folders, the current demo, the
// library's paths and the demo name rule.
#include "studio/kit/library.h"

#include "pal/pal.h"
#include "pal/pal_codepage.h"
#include "pal/pal_fs.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

char gProgramFolder[500];
char gLibraryFolder[500];
char gCurrDemoName[DEMO_NAME_LEN];

namespace {

constexpr const char* kIllegal = "&?./>^<\\:*!;,|\"";

// The letters of Windows-1252 a name may hold beyond ASCII: 0xC0 .. 0xFF and
// the code page's own Œ œ Š š Ž ž Ÿ. Its other bytes of 128 and above are
// signs, spaces and undefined bytes, not letters.
bool codePageLetter(unsigned char c) {
  return c >= 0xC0 || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
}

}  // namespace

bool setStudioFolders(const std::string& program, const std::string& library, std::string* why) {
  constexpr size_t kRoom = 480;  // the folder, its slash and the longest name below it fit the tables
  std::string p = program.empty() ? std::string(gpal_ProgPath) : program;
  pal_FsInfo info;
  if (p.empty() || p.size() > kRoom || !pal_FsStat(p.c_str(), &info) || !info.folder) {
    *why = "the program folder '" + p + "' is not a folder";
    return false;
  }
  if (p.back() != '/') p += '/';
  std::string l = library;
  if (!l.empty() && l.back() != '/') l += '/';
  if (l.size() > kRoom) {
    *why = "the library folder '" + library + "' is a longer path than 480 characters";
    return false;
  }
  std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s", p.c_str());
  std::snprintf(gLibraryFolder, sizeof gLibraryFolder, "%s", l.c_str());
  return true;
}

bool makeLibraryFolder() {
  std::error_code error;
  std::filesystem::create_directories(libraryFolderPath(), error);
  return std::filesystem::is_directory(libraryFolderPath(), error);
}

std::string libraryFolderPath() { return std::string(gLibraryFolder[0] != '\0' ? gLibraryFolder : gProgramFolder); }
std::string demosFolderPath() { return libraryFolderPath() + "Demos/"; }
std::string demoFolderPath(const std::string& name) { return demosFolderPath() + pal_SystemText(name); }
std::string demoFilePath(const std::string& name, const char* ext) {
  const std::string disk = pal_SystemText(name);
  return demosFolderPath() + disk + "/" + disk + ext;
}
std::string captureSlotPath(const char* ext) { return libraryFolderPath() + "TempCapture" + ext; }

int demoNameCode(const char* name) {
  const size_t n = std::strlen(name);
  if (n == 0) return -9;
  if (n > DEMO_NAME_MAX) return -8;
  if (name[0] == ' ') return -7;
  if (name[n - 1] == ' ') return -6;
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 128 ? !codePageLetter(c) : c < 32 || c == 127 || std::strchr(kIllegal, c) != nullptr) return -1;
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

int validateDemoName(const char* name, int showAlerts) {
  const int code = demoNameCode(name);
  if (code != 1 && showAlerts == 1) pal_Alert(1, "Bad Demo Name", demoNameMessage(code));
  return code;
}
