// runtime.cpp: shared test helpers.
#include "tests/support/runtime.h"

#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "pal/pal.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

#include <fstream>
#include <iterator>

#include "tests/support/package_builder.h"

void resetRuntime() {
  for (int slot = 0; slot < PAL_BUFFER_SLOTS; ++slot) pal_DestroyWinBuff(slot);
  pal_InitPAL();
  demoInitDatastores();
  gFrameCount = 0;
  gInstrCount = 0;
  gCurrShownFrame = 0;
  gCurrInstrList[0] = -1;
  std::memset(gCropSize, 0, sizeof gCropSize);
  std::memset(gHistoryStack, 0, sizeof gHistoryStack);
  gDemoScale = 1000;
  gDemoFilePath[0] = '\0';
  std::memset(gDemoPackageOffsetBytes, 0, sizeof gDemoPackageOffsetBytes);
  gDemoPackageLineCount = 0;
}

TempDir::TempDir() {
  char tmpl[] = "/tmp/pictomira-test-XXXXXX";
  const char* made = mkdtemp(tmpl);
  path_ = made ? made : "/tmp";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool installProgram(const std::string& built, const TempDir& dir, const std::string& name) {
  const std::string bytes = slurp(built);
  return !bytes.empty() && writeBytes(dir.file(name), std::vector<unsigned char>(bytes.begin(), bytes.end())) &&
         ::chmod(dir.file(name).c_str(), 0755) == 0;
}

CommandResult runCommand(const std::string& command) {
  CommandResult r{-1, {}};
  std::FILE* p = popen((command + " 2>&1").c_str(), "r");
  if (p == nullptr) return r;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
  const int w = pclose(p);
  r.status = WIFEXITED(w) ? WEXITSTATUS(w) : -1;
  return r;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

bool loadPackageWithSetFile(const TempDir& dir, const std::string& name, const std::vector<unsigned char>& bytes,
                            const std::string& setLine) {
  if (!writeBytes(dir.file(name), bytes) ||
      !writeBytes(dir.file("PMP_set.txt"), std::vector<unsigned char>(setLine.begin(), setLine.end())))
    return false;
  std::snprintf(gPathToFiles, PKG_PATH_LEN, "%s/", dir.path().c_str());
  setDemoParams();
  loadMetaData();
  return true;
}

uint32_t pixelColour(int slot, int32_t x, int32_t y) {
  int32_t rgb[3];
  pal_GetBufferPixelRGB(slot, x, y, rgb);
  return (static_cast<uint32_t>(rgb[0]) << 16) | (static_cast<uint32_t>(rgb[1]) << 8) | static_cast<uint32_t>(rgb[2]);
}
