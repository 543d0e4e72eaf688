// bench_support.h: what the screen-capture benchmarks compare against.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

// Frames per second that ffmpeg's x11grab reaches in three seconds on the
// 1280 x 800 screen of display; 0 when ffmpeg cannot run.
inline double ffmpegFramesPerSecond(const std::string& display) {
  const std::string cmd = "ffmpeg -nostdin -hide_banner -f x11grab -video_size 1280x800 -framerate 100000 -i " +
                          display + " -t 3 -fps_mode passthrough -f null - 2>&1";
  std::FILE* p = popen(cmd.c_str(), "r");
  if (p == nullptr) return 0;
  std::string out;
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  pclose(p);
  const size_t at = out.rfind("frame=");
  return at == std::string::npos ? 0 : std::atof(out.c_str() + at + 6) / 3.0;
}
