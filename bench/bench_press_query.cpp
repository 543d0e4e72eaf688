// bench_press_query: what the accessibility tree costs a capture. A GTK
// application runs on a private display with its accessibility bus; each of
// 60 presses on its controls is asked about as the capture's worker asks
// (the pop-ups noted, then the object at the point), and the time of each
// answer is reported as median and 95th percentile. The capture thread never
// waits for these answers: they bound how far the captions lag behind.
#include "pal/pal_accessibility.h"
#include "tests/support/xsession.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

double ms(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

int main() {
  XServer x(1920, 1080);
  AccessibilityBus bus;
  if (!x.ok() || !bus.ok()) {
    std::fprintf(stderr, "bench_press_query: no display or no session bus\n");
    return 1;
  }
  Child wm({"openbox", "--sm-disable"});
  Child factory({"gtk3-widget-factory"});
  // Controls of the application's first page (check box, toggle button, table cell, radio button, text field).
  const int32_t points[][2] = {{346, 549}, {741, 247}, {1486, 267}, {469, 689}, {500, 335}, {1488, 196}};
  pal_AccessibleObject object{};
  bool ready = false;
  for (int i = 0; i < 100 && !ready; ++i, sleepMs(100))
    ready = pal_AccessibleAtPoint(points[2][0], points[2][1], 400, nullptr, &object) == 1;
  if (!ready) {
    std::fprintf(stderr, "bench_press_query: the application's tree never answered\n");
    return 1;
  }
  std::vector<double> popups, at;
  int found = 0;
  for (int i = 0; i < 60; ++i) {
    pal_AccessiblePopups before{};
    auto start = std::chrono::steady_clock::now();
    pal_AccessiblePopupsNow(400, &before);
    popups.push_back(ms(start));
    const int32_t* p = points[i % 6];
    start = std::chrono::steady_clock::now();
    found += pal_AccessibleAtPoint(p[0], p[1], 400, &before, &object) == 1 ? 1 : 0;
    at.push_back(ms(start));
  }
  std::printf("accessible object at a press: median %6.2f ms, p95 %6.2f ms (%d of 60 found)\n", percentile(at, 0.5),
              percentile(at, 0.95), found);
  std::printf("pop-ups noted while idle:     median %6.2f ms, p95 %6.2f ms\n", percentile(popups, 0.5),
              percentile(popups, 0.95));
  return found == 60 ? 0 : 1;
}
