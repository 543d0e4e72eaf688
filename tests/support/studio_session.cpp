// studio_session.cpp: the authoring program's whole-program test fixture.
#include "tests/support/studio_session.h"

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

std::string windowTitles() {
  std::string out;
  if (std::FILE* p = popen("xdotool search --onlyvisible --name . getwindowname %@ 2>/dev/null", "r")) {
    char line[400];
    while (std::fgets(line, sizeof line, p)) out += line;
    pclose(p);
  }
  return out;
}

DemoFixture flatDemo(int frames, uint32_t (*colourOf)(int)) {
  DemoFixture fx;
  fx.screenW = 800;
  fx.screenH = 600;
  const int32_t crop[4] = {80, 100, 640, 400};
  std::copy(crop, crop + 4, fx.crop);
  fx.frames.resize(static_cast<size_t>(frames));
  for (int f = 0; f + 1 < frames; ++f) fx.frames[static_cast<size_t>(f)].instrs = {InstrRec{0, -1, 'L', {100, 120, 200, 160}}};
  fx.row = [colourOf](int32_t f, int32_t, unsigned char* bgr) { solidRow(colourOf(f), 800, bgr); };
  return fx;
}

void solidRow(uint32_t colour, int32_t width, unsigned char* bgr) {
  for (int32_t x = 0; x < width; ++x) {
    bgr[x * 3] = colour & 0xFF;
    bgr[x * 3 + 1] = (colour >> 8) & 0xFF;
    bgr[x * 3 + 2] = (colour >> 16) & 0xFF;
  }
}

void StudioSession::SetUp() {
  server = std::make_unique<XServer>();
  ASSERT_TRUE(server->ok());
  input = std::make_unique<XInput>();
  ASSERT_TRUE(installProgram(PICTOMIRA_STUDIO_BIN, dir, "Pictomira"));
}

void StudioSession::TearDown() {
  if (HasFailure() && app) app->report();
  app.reset();
  input.reset();
  server.reset();
}

void StudioSession::start() {
  std::vector<std::string> all{"PICTOMIRA_ALERTS=stderr"};
  all.insert(all.end(), env.begin(), env.end());
  app = std::make_unique<Child>(std::vector<std::string>{dir.file("Pictomira")}, all);
}

bool StudioSession::titled(const std::string& title, int ms) {
  for (int waited = 0; waited < ms; waited += 50, sleepMs(50))
    if (windowTitles().find(title + "\n") != std::string::npos) return true;
  ADD_FAILURE() << "no window titled '" << title << "' among:\n" << windowTitles();
  return false;
}

bool StudioSession::alert(const std::string& line, int ms) { return app->waitFor("ALERT 1 " + line, ms); }

void StudioSession::clickAt(int x, int y) {
  input->move(x, y);
  sleepMs(40);
  input->click(x, y);
}

void StudioSession::drag(int x0, int y0, int x1, int y1) {
  input->move(x0, y0);
  sleepMs(50);
  input->button(1, true);
  sleepMs(80);
  for (int i = 1; i <= 5; ++i) {
    input->move(x0 + (x1 - x0) * i / 5, y0 + (y1 - y0) * i / 5);
    sleepMs(40);
  }
  input->button(1, false);
  sleepMs(150);
}

void StudioSession::typeInto(int x, int y, const std::string& text) {
  clickAt(x, y);
  sleepMs(100);
  input->key(XK_a, {XK_Control_L});
  const std::string cmd = "xdotool type --delay 15 '" + text + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  sleepMs(150);
}

std::vector<std::string> StudioSession::listing() const {
  std::vector<std::string> out;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(dir.path(), error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
    out.push_back(std::filesystem::relative(it->path(), dir.path()).string());
  std::sort(out.begin(), out.end());
  return out;
}

void StudioSession::closeAndExpectCleanEnd(const std::string& title, int ms) {
  const unsigned long window = input->findWindow(title);
  ASSERT_NE(window, 0ul) << "no window titled '" << title << "' among:\n" << windowTitles();
  input->requestClose(window);
  std::vector<std::string> lines;
  int status = -1;
  for (int waited = 0; waited < ms && status == -1; waited += 100) {
    for (std::string& line : app->drain(100)) lines.push_back(std::move(line));
    status = app->wait(0);
  }
  for (std::string& line : app->drain(100)) lines.push_back(std::move(line));
  EXPECT_EQ(status, 0) << "the program did not end with status 0 within " << ms << " ms";
  for (const std::string& line : lines)
    EXPECT_TRUE(line.find("terminate") == std::string::npos && line.find("Sanitizer") == std::string::npos &&
                line.find("runtime error") == std::string::npos)
        << line;
}
