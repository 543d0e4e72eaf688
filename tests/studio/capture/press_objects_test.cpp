// The press side file: lines written and read back (escapes, the caps and
// their cuts), lines the reader refuses, and whole files with damage.
#include "studio/capture/press_objects.h"

#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(PressObjects, LinesGoRoundTripEscapedAndCutToTheCaps) {
  const std::string a199(199, 'a'), r39(39, 'r');
  const struct {
    PressObject p;
    std::string line, role, name;  // role and name as read back
  } cases[] = {
      {{1234, "push button", {10, 20, 80, 24}, "OK"}, "1234,push button,10,20,80,24,OK", "push button", "OK"},
      {{0, "menu item", {-2147483647 - 1, -5, 1, 2147483647}, "Save, then\\quit"},
       "0,menu item,-2147483648,-5,1,2147483647,Save\\, then\\\\quit", "menu item", "Save, then\\quit"},
      {{INT64_MAX, "a,b", {0, 0, 3, 4}, "one\r\ntwo\tthree\x1f"},
       "9223372036854775807,a\\,b,0,0,3,4,one\\x0D\\x0Atwo\\x09three\\x1F", "a,b", "one\r\ntwo\tthree\x1f"},
      {{7, "text", {1, 1, 1, 1}, "Größe ✓ 日本"}, "7,text,1,1,1,1,Größe ✓ 日本", "text", "Größe ✓ 日本"},
      {{7, "", {1, 1, 1, 1}, ""}, "7,,1,1,1,1,", "", ""},
      // Over the caps: whole characters and whole escapes only.
      {{1, r39 + "\t", {1, 1, 1, 1}, a199 + "é"}, "1," + r39 + ",1,1,1,1," + a199, r39, a199},
      {{1, r39 + "xy", {1, 1, 1, 1}, a199 + ","}, "1," + r39 + "x,1,1,1,1," + a199, r39 + "x", a199},
      {{1, "r", {1, 1, 1, 1}, a199.substr(1) + ",b"}, "1,r,1,1,1,1," + a199.substr(1) + "\\,", "r", a199.substr(1) + ","},
      {{1, "r", {1, 1, 1, 1}, a199.substr(1) + "✓"}, "1,r,1,1,1,1," + a199.substr(1), "r", a199.substr(1)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pressLine(c.p), c.line + "\r\n");
    PressObject back;
    ASSERT_TRUE(readPressLine(c.line, &back)) << c.line;
    EXPECT_EQ(back.time, c.p.time);
    EXPECT_EQ(back.role, c.role);
    EXPECT_EQ(back.name, c.name);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(back.extents[i], c.p.extents[i]) << c.line;
  }
}

TEST(PressObjects, MalformedLinesAreRefused) {
  const std::string longName(PRESS_NAME_CAP + 1, 'n'), longRole(PRESS_ROLE_CAP + 1, 'r');
  for (const std::string& line : std::vector<std::string>{
           "", "1,r,1,2,3,4", "1,r,1,2,3,4,n,extra", "-1,r,1,2,3,4,n", "x,r,1,2,3,4,n", "9223372036854775808,r,1,2,3,4,n",
           "1,r,2147483648,2,3,4,n", "1,r,1,-2147483649,3,4,n", "1,r,1,2,0,4,n", "1,r,1,2,3,-1,n", "+1,r,1,2,3,4,n",
           " 1,r,1,2,3,4,n", "1,r,1,2,3,4 ,n", "1,r,-,2,3,4,n", "1,r,1,2,3,4,\\q", "1,r,1,2,3,4,\\x0a", "1,r,1,2,3,4,\\x41",
           "1,r,1,2,3,4,\\x0", "1,r,1,2,3,4,n\\", "1,r,1,2,3,4,a\tb", "1,r,1,2,3,4,a\rb", "1,r,1,2,3,4," + longName,
           "1," + longRole + ",1,2,3,4,n"}) {
    PressObject p;
    EXPECT_FALSE(readPressLine(line, &p)) << line;
  }
}

TEST(PressObjects, FilesKeepTheirGoodLinesInOrder) {
  TempDir dir;
  const std::string path = dir.file("TempCapture.DMA");
  std::vector<PressObject> got{PressObject{}};
  EXPECT_TRUE(readPressFile(path, &got));  // missing: no presses, no error
  EXPECT_TRUE(got.empty());
  EXPECT_TRUE(appendPressLine(path, {5, "push button", {1, 2, 3, 4}, "A, b"}));
  EXPECT_TRUE(appendPressLine(path, {9, "menu", {5, 6, 7, 8}, "C"}));
  EXPECT_FALSE(appendPressLine(dir.file("no/such/folder.DMA"), {}));
  // A line exactly at the cap is taken (its time padded with zeros); one a
  // byte longer is skipped whole, even where its tail would make a line.
  const std::string tail = "3,r,1,1,1,1,cap";
  const std::string atCap = std::string(PRESS_LINE_CAP - tail.size(), '0') + tail;
  std::ofstream(path, std::ios::binary | std::ios::app)
      << "garbage\r\n" << std::string("\xff\x00\x01\r\n", 5) << "11,r,1,1,1,1,bare\n"
      << std::string(PRESS_LINE_CAP, 'z') + "12,r,1,1,1,1,tail\r\n" << atCap << "\r\n0" << atCap << "\r\n13,r,1,1,1,1,cut";
  ASSERT_TRUE(readPressFile(path, &got));
  std::vector<std::string> names;
  for (const PressObject& p : got) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A, b", "C", "bare", "cap"}));
  EXPECT_EQ(got[1].time, 9);
  EXPECT_EQ(got[1].extents[3], 8);
  put(path, std::string(1 << 20, 'q') + "\r\n14,r,1,1,1,1,after\r\n");  // a huge line, then one more
  ASSERT_TRUE(readPressFile(path, &got));
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].name, "after");
  ::mkdir(dir.file("folder.DMA").c_str(), 0777);
  EXPECT_FALSE(readPressFile(dir.file("folder.DMA"), &got));  // there, but not readable as a file
}

}  // namespace
