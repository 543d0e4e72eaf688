// runtime.h: helpers shared by the tests: a clean runtime, temporary
// folders, and buffers filled with a lopsided pattern.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Releases every buffer, re-initialises the platform tables and empties the demo model.
void resetRuntime();

// A fresh temporary folder for one test, removed when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Copies the program file at built into dir as name, executable, so that
// it runs with dir as its program folder; false when it cannot be written.
bool installProgram(const std::string& built, const TempDir& dir, const std::string& name);

// The whole content of a file (empty when it cannot be read).
std::string slurp(const std::string& path);
// Runs a shell command line: its exit status (-1 when it did not exit) and
// its standard output and error together.
struct CommandResult {
  int status;
  std::string out;
};
CommandResult runCommand(const std::string& command);

// Writes a package as dir/name with a set file whose line is setLine, points
// gPathToFiles at dir, and locates and loads it; false when a file cannot be written.
bool loadPackageWithSetFile(const TempDir& dir, const std::string& name, const std::vector<unsigned char>& bytes,
                            const std::string& setLine);

// The long colour of pixel (x, y) of slot.
uint32_t pixelColour(int slot, int32_t x, int32_t y);
