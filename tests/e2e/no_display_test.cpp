// The three programs started without a display they can open: each ends at
// once with a non-zero status and one line on standard error saying why.
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

TEST(NoDisplay, EveryProgramEndsAtOnceWithAOneLineReason) {
  TempDir dir;
  ASSERT_TRUE(installProgram(PICTOMIRA_STUDIO_BIN, dir, "Pictomira"));
  const std::string programs[] = {dir.file("Pictomira"), PICTOMIRA_PRESENTER_BIN, PICTOMIRA_UNWRAPPER_BIN};
  for (const std::string& program : programs) {
    for (const char* display : {"env -u DISPLAY", "env DISPLAY=:93"}) {
      SCOPED_TRACE(program + " with " + display);
      // Started in its own folder (the Presenter finds its sample package
      // there); standard error only; the time-out's status 124 would mean a hang.
      const std::string folder = program.substr(0, program.rfind('/'));
      const CommandResult r = runCommand("{ cd '" + folder + "' && " + display + " timeout 5 '" + program +
                                         "' 2>&1 >/dev/null; }");
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
      EXPECT_NE(r.out.find("No Display"), std::string::npos) << r.out;
    }
  }
}

}  // namespace
