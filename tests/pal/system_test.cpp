// File copying with progress, folder creation and deletion, threads.
#include "pal/pal.h"
#include "pal/pal_internal.h"
#include "tests/support/package_builder.h"
#include "tests/support/runtime.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::vector<unsigned char> bytesOf(size_t n, unsigned seed) {
  std::vector<unsigned char> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 31 + seed) >> 3);
  return b;
}

class System : public testing::Test {
 protected:
  void SetUp() override { resetRuntime(); }
  TempDir dir;
};

TEST_F(System, CopyAndAppendInChunksWithProgress) {
  const auto src = bytesOf(250000, 1);
  ASSERT_TRUE(writeBytes(dir.file("a"), src));
  std::atomic<int> progress{-1};
  pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("b").c_str(), 0, &progress);
  EXPECT_EQ(progress.load(), 100);
  EXPECT_EQ(slurp(dir.file("b")), slurp(dir.file("a")));
  pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("b").c_str(), 1, nullptr);
  EXPECT_EQ(slurp(dir.file("b")), slurp(dir.file("a")) + slurp(dir.file("a")));
  pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("b").c_str(), 0, nullptr);  // truncates
  EXPECT_EQ(slurp(dir.file("b")).size(), 250000u);
  pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("new").c_str(), 1, nullptr);  // append creates
  EXPECT_EQ(slurp(dir.file("new")).size(), 250000u);
}

TEST_F(System, EmptySourceMakesAnEmptyCopyAndLeavesProgressAlone) {
  ASSERT_TRUE(writeBytes(dir.file("empty"), {}));
  ASSERT_TRUE(writeBytes(dir.file("old"), {1, 2, 3}));
  std::atomic<int> progress{-5};
  pal_CopyOrAppendFile(dir.file("empty").c_str(), dir.file("old").c_str(), 0, &progress);
  EXPECT_EQ(progress.load(), -5);
  EXPECT_TRUE(exists(dir.file("old")));
  EXPECT_EQ(slurp(dir.file("old")).size(), 0u);
}

TEST_F(System, CopyFailuresAreFatal) {
  ASSERT_TRUE(writeBytes(dir.file("a"), {1}));
  EXPECT_EXIT(pal_CopyOrAppendFile(dir.file("missing").c_str(), dir.file("b").c_str(), 0, nullptr),
              testing::ExitedWithCode(1), "ALERT 1 Exiting\\.\\.\\. \\| Unexpected Err PCOAF06");
  EXPECT_EXIT(pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("no/such/b").c_str(), 0, nullptr),
              testing::ExitedWithCode(1), "Unexpected Err PCOAF04");
  EXPECT_EXIT(pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("no/such/b").c_str(), 1, nullptr),
              testing::ExitedWithCode(1), "Unexpected Err PCOAF02");
  EXPECT_EXIT(pal_CopyOrAppendFile(dir.file("a").c_str(), "/dev/full", 0, nullptr), testing::ExitedWithCode(1),
              "Unexpected Err PCOAF08");
}

// A copy failing on a worker while this thread stands for the window loop.
void failCopyOnAWorker(const std::string& missing, const std::string& destination) {
  palSetLoopThread(true);
  std::atexit([] { std::fputs("exit handlers ran\n", stderr); });
  std::thread([&] { pal_CopyOrAppendFile(missing.c_str(), destination.c_str(), 0, nullptr); }).join();
}

TEST_F(System, FatalAlertOffTheLoopThreadEndsTheProcessWithoutTheExitHandlers) {
  EXPECT_EXIT(failCopyOnAWorker(dir.file("missing"), dir.file("b")), testing::ExitedWithCode(1),
              "ALERT 1 Exiting\\.\\.\\. \\| Unexpected Err PCOAF06\n$");
}

TEST_F(System, FindOrCreateDirectory) {
  EXPECT_EQ(pal_FindOrCreateDirectory(dir.path().c_str()), 0);
  EXPECT_EQ(pal_FindOrCreateDirectory(dir.file("sub").c_str()), 1);
  EXPECT_EQ(pal_FindOrCreateDirectory(dir.file("sub").c_str()), 0);
  EXPECT_EQ(pal_FindOrCreateDirectory(dir.file("x/y/z").c_str()), -1);
}

TEST_F(System, DeleteDirectoryModes) {
  const std::string top = dir.file("top");
  ::mkdir(top.c_str(), 0777);
  ::mkdir((top + "/a").c_str(), 0777);
  ::mkdir((top + "/a/b").c_str(), 0777);
  ::mkdir((top + "/c").c_str(), 0777);
  for (const char* f : {"/f1", "/a/f2", "/a/b/f3", "/c/f4"}) ASSERT_TRUE(writeBytes(top + f, {7}));
  EXPECT_EQ(pal_DeleteDirectory(top.c_str(), 0), -1);  // not empty: nothing deleted
  EXPECT_TRUE(exists(top + "/a/b/f3"));
  EXPECT_EQ(pal_DeleteDirectory((top + "/c").c_str(), 1), 1);
  EXPECT_FALSE(exists(top + "/c"));
  EXPECT_EQ(pal_DeleteDirectory((top + "/").c_str(), 2), 1);
  EXPECT_FALSE(exists(top));
  EXPECT_EQ(pal_DeleteDirectory("/", 2), -8);
  EXPECT_EQ(pal_DeleteDirectory((dir.path() + "//").c_str(), 2), -9);
  EXPECT_TRUE(exists(dir.path()));
  EXPECT_EQ(pal_DeleteDirectory(dir.file("missing").c_str(), 2), -7);
}

TEST_F(System, RecursiveDeleteRemovesLinksWithoutFollowingThem) {
  const std::string keep = dir.file("keep"), top = dir.file("top");
  ::mkdir(keep.c_str(), 0777);
  ASSERT_TRUE(writeBytes(keep + "/precious", {1}));
  ::mkdir(top.c_str(), 0777);
  ASSERT_EQ(::symlink(keep.c_str(), (top + "/link").c_str()), 0);
  EXPECT_EQ(pal_DeleteDirectory(top.c_str(), 2), 1);
  EXPECT_FALSE(exists(top));
  EXPECT_TRUE(exists(keep + "/precious"));
}

int handlerNeverCalled(int32_t*, char*) { return PAL_CLOSE; }

void runWindowBeforeInit() {
  gpal_PlatformFlag = 0;
  pal_RunWindow(1, -1, -1, 100, 100, "Too early", handlerNeverCalled);
}

TEST_F(System, WindowBeforeInitialisationEndsTheProgramWithAnAlert) {
  EXPECT_EXIT(runWindowBeforeInit(), testing::ExitedWithCode(1),
              "ALERT 1 Need Init \\| Please run 'pal_InitPAL' first");
}

TEST_F(System, TimersNeedAWindowAndANumberFromOneToFive) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(pal_SetTimer(3, 100, 0), -1);
  EXPECT_EQ(pal_SetTimer(6, 100, 0), -1);
  EXPECT_EQ(pal_SetTimer(0, 100, 1), -1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("ALERT 1 No Window | Cannot Set Timer with no Window Avaliable"), std::string::npos);
  EXPECT_NE(err.find("ALERT 1 Bad Timer Number | Timer number must be 1 to 5"), std::string::npos);
  EXPECT_EQ(gpal_TimerStat[3][0], 0);
}

std::atomic<int> gThreadRan{0};
void markRan() { gThreadRan = 1; }

TEST_F(System, BeginThreadRunsTheFunction) {
  gThreadRan = 0;
  pal_BeginThread(markRan);
  for (int i = 0; i < 2000 && gThreadRan == 0; ++i) {
    pal_ForfeitThreadExecution();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(gThreadRan.load(), 1);
}

// A worker that polls the stop request and cleans up, and one that ends
// itself from deep inside its work.
void politeWorker() {
  while (!pal_StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::fprintf(stderr, "polite cleaned up\n");
}
void deepWorker() {
  while (!pal_StopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  pal_EndWorker();
}

// Each case ends the process, so each runs in a child of its own: the stop
// request, once made, stays for the process's life.
TEST_F(System, TheProgramsEndStopsItsWorkersAndWaitsForThem) {
  EXPECT_EXIT(
      {
        pal_BeginThread(politeWorker);
        pal_BeginThread(deepWorker);
        if (pal_WorkersRunning() != 2) std::_Exit(9);
        pal_EndProgram(3);
      },
      testing::ExitedWithCode(3), "polite cleaned up");
  EXPECT_EXIT(
      {
        pal_BeginThread([] { pal_EndProgram(4); });  // a worker ending the program does not wait for itself
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      },
      testing::ExitedWithCode(4), "");
  // Copying returns between chunks once the program is ending.
  ASSERT_TRUE(writeBytes(dir.file("a"), bytesOf(300000, 1)));
  EXPECT_EXIT(
      {
        pal_RequestStop();
        pal_CopyOrAppendFile(dir.file("a").c_str(), dir.file("b").c_str(), 0, nullptr);
        std::fprintf(stderr, "copied %zu\n", slurp(dir.file("b")).size());
        std::_Exit(0);
      },
      testing::ExitedWithCode(0), "copied 0");
}

}  // namespace
