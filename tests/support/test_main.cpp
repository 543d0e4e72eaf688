// test_main.cpp: GoogleTest entry point. Alerts go to standard error so
// that death tests can match them; death tests re-run the binary.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("PICTOMIRA_ALERTS", "stderr", 1);
  GTEST_FLAG_SET(death_test_style, "fast");  // tests run no threads of their own
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
