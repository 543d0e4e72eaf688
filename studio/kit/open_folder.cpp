// open_folder.cpp: xdg-open, started as a child of its own.
#include "studio/kit/open_folder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <thread>

extern char** environ;

bool studioOpenFolder(const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  char program[] = "xdg-open";
  std::string folder = path;
  char* argv[] = {program, folder.data(), nullptr};
  pid_t pid = -1;
  const int started = posix_spawnp(&pid, program, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return false;
  // A missing file manager shows at once as a failed exit; a file manager
  // that opens may keep xdg-open running for as long as it does.
  for (int i = 0; i < 50; ++i) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0) return false;
    const timespec wait{0, 20 * 1000 * 1000};
    ::nanosleep(&wait, nullptr);
  }
  std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
  return true;
}
