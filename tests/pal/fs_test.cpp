// The authoring program's file layer: opening modes, replacing renames,
// listings that do not follow links, copies and positioned reads.
#include "pal/pal_fs.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

namespace {

void put(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class Fs : public testing::Test {
 protected:
  TempDir dir;
};

TEST_F(Fs, OpensByModeAndRefusesWhatTheModeForbids) {
  struct Case {
    bool existing;
    unsigned flags;
    int error;            // 0: opens
    const char* content;  // after writing "xy" (null: nothing written)
  };
  const Case cases[] = {
      {false, PAL_FS_READ, ENOENT, nullptr},
      {true, PAL_FS_READ, 0, nullptr},
      {true, PAL_FS_WRITE | PAL_FS_CREATE | PAL_FS_EXCLUSIVE, EEXIST, nullptr},
      {false, PAL_FS_WRITE | PAL_FS_CREATE | PAL_FS_EXCLUSIVE, 0, "xy"},
      {true, PAL_FS_WRITE | PAL_FS_CREATE | PAL_FS_TRUNCATE, 0, "xy"},
      {true, PAL_FS_WRITE, 0, "xyd"},
      {true, PAL_FS_WRITE | PAL_FS_APPEND, 0, "oldxy"},
      {false, PAL_FS_WRITE | PAL_FS_APPEND | PAL_FS_CREATE, 0, "xy"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = dir.file("f" + std::to_string(n++));
    if (c.existing) put(path, "old");
    errno = 0;
    const int fd = pal_FsOpen(path.c_str(), c.flags, 0666);
    SCOPED_TRACE(path);
    ASSERT_EQ(fd < 0, c.error != 0);
    if (fd < 0) {
      EXPECT_EQ(errno, c.error);
      continue;
    }
    if (c.content != nullptr) {
      EXPECT_EQ(pal_FsWrite(fd, "xy", 2), 2);
    }
    EXPECT_EQ(pal_FsClose(fd), 0);
    EXPECT_EQ(slurp(path), c.content != nullptr ? c.content : "old");
  }
}

TEST_F(Fs, RenameReplacesAFileAndAnEmptyFolderButNotAFullOne) {
  put(dir.file("new"), "new");
  put(dir.file("old"), "old");
  ASSERT_EQ(pal_FsRename(dir.file("new").c_str(), dir.file("old").c_str()), 0);
  EXPECT_EQ(slurp(dir.file("old")), "new");
  EXPECT_FALSE(pal_FsStatLink(dir.file("new").c_str(), nullptr));

  for (const char* f : {"a", "empty", "full"}) ASSERT_EQ(pal_FsMakeFolder(dir.file(f).c_str(), 0777), 0);
  EXPECT_EQ(pal_FsMakeFolder(dir.file("a").c_str(), 0777), -1);
  EXPECT_EQ(errno, EEXIST);
  put(dir.file("a/x"), "x");
  put(dir.file("full/y"), "y");
  EXPECT_NE(pal_FsRename(dir.file("a").c_str(), dir.file("full").c_str()), 0);
  ASSERT_EQ(pal_FsRename(dir.file("a").c_str(), dir.file("empty").c_str()), 0);
  EXPECT_EQ(slurp(dir.file("empty/x")), "x");
  EXPECT_NE(pal_FsRemoveFolder(dir.file("full").c_str()), 0);
  EXPECT_EQ(std::remove(dir.file("full/y").c_str()), 0);
  EXPECT_EQ(pal_FsRemoveFolder(dir.file("full").c_str()), 0);
}

TEST_F(Fs, ListsAndStatsLinksWithoutFollowingThem) {
  ASSERT_EQ(pal_FsMakeFolder(dir.file("sub").c_str(), 0777), 0);
  put(dir.file("file"), "12345");
  ASSERT_EQ(::symlink("sub", dir.file("to_sub").c_str()), 0);
  ASSERT_EQ(::symlink("file", dir.file("to_file").c_str()), 0);
  ASSERT_EQ(pal_FsLink(dir.file("file").c_str(), dir.file("second").c_str()), 0);
  struct Seen {
    bool folder, link;
    bool operator==(const Seen& o) const { return folder == o.folder && link == o.link; }
  };
  std::map<std::string, Seen> seen;
  ASSERT_TRUE(pal_FsList(dir.path().c_str(), [&](const char* name, bool folder, bool link) {
    seen[name] = {folder, link};
    return true;
  }));
  const std::map<std::string, Seen> want = {{"sub", {true, false}},    {"file", {false, false}},
                                            {"to_sub", {false, true}}, {"to_file", {false, true}},
                                            {"second", {false, false}}};
  EXPECT_TRUE(seen == want);
  EXPECT_FALSE(pal_FsList(dir.file("missing").c_str(), [](const char*, bool, bool) { return true; }));

  struct Query {
    const char* name;
    bool follow, exists, folder, file, link;
    int64_t size;
  };
  const Query queries[] = {
      {"to_sub", false, true, false, false, true, -1}, {"to_sub", true, true, true, false, false, -1},
      {"to_file", true, true, false, true, false, 5},  {"second", false, true, false, true, false, 5},
      {"missing", true, false, false, false, false, -1},
  };
  for (const Query& q : queries) {
    pal_FsInfo info;
    const std::string path = dir.file(q.name);
    SCOPED_TRACE(std::string(q.name) + (q.follow ? " followed" : ""));
    ASSERT_EQ(q.follow ? pal_FsStat(path.c_str(), &info) : pal_FsStatLink(path.c_str(), &info), q.exists);
    if (!q.exists) continue;
    EXPECT_EQ(info.folder, q.folder);
    EXPECT_EQ(info.file, q.file);
    EXPECT_EQ(info.link, q.link);
    if (q.size >= 0) {
      EXPECT_EQ(info.size, q.size);
    }
    EXPECT_GT(info.modified, 1500000000);
  }

  // Removing a link leaves its target; a folder is not removed as a file.
  for (const char* name : {"to_sub", "to_file", "second"}) EXPECT_EQ(pal_FsRemove(dir.file(name).c_str()), 0) << name;
  EXPECT_EQ(pal_FsRemove(dir.file("sub").c_str()), -1);
  EXPECT_TRUE(pal_FsStat(dir.file("sub").c_str(), nullptr));
  EXPECT_EQ(slurp(dir.file("file")), "12345");
  EXPECT_EQ(pal_FsRemove(dir.file("file").c_str()), 0);
  EXPECT_FALSE(pal_FsStatLink(dir.file("file").c_str(), nullptr));
}

TEST_F(Fs, CopiesRangesReadsAtOffsetsAndCutsBack) {
  put(dir.file("in"), "0123456789");
  const int in = pal_FsOpen(dir.file("in").c_str(), PAL_FS_READ, 0);
  const int out = pal_FsOpen(dir.file("out").c_str(), PAL_FS_READWRITE | PAL_FS_CREATE | PAL_FS_TRUNCATE, 0666);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  ASSERT_EQ(pal_FsWriteTwo(out, "ab", 2, "cd", 2), 4);
  int64_t from = 3;
  ASSERT_EQ(pal_FsCopyRange(in, &from, out, 4), 4);
  EXPECT_EQ(from, 7);
  char got[4] = {};
  EXPECT_EQ(pal_FsReadAt(in, got, 3, 8), 2);  // short at the end of the file
  EXPECT_EQ(std::string(got, 2), "89");
  EXPECT_EQ(pal_FsRead(in, got, 2), 2);  // the position stayed at 0
  EXPECT_EQ(std::string(got, 2), "01");
  EXPECT_EQ(pal_FsSize(out), 8);
  EXPECT_EQ(pal_FsTruncate(out, 6), 0);
  EXPECT_EQ(pal_FsSeekEnd(out), 6);
  EXPECT_EQ(pal_FsMakeRunnable(out, 0700), 0);
  EXPECT_EQ(pal_FsSync(out), 0);
  EXPECT_EQ(pal_FsClose(out), 0);
  EXPECT_EQ(pal_FsClose(in), 0);
  EXPECT_EQ(slurp(dir.file("out")), "abcd34");
  EXPECT_TRUE(pal_FsReadable(dir.file("out").c_str()));
  EXPECT_FALSE(pal_FsReadable(dir.file("none").c_str()));
}

TEST(FsProcess, SetsTheEnvironmentAndTellsLocalTime) {
  ASSERT_EQ(pal_SetEnvironment("PICTOMIRA_FS_TEST", "on"), 0);
  EXPECT_STREQ(std::getenv("PICTOMIRA_FS_TEST"), "on");
  std::tm local{};
  ASSERT_TRUE(pal_LocalTime(86400 * 400, &local));
  EXPECT_EQ(local.tm_year, 71);
  EXPECT_FALSE(pal_FsIsTerminal(-1));
}

}  // namespace
