// The list of running children, and trial runs in a process of their own.
#include "design/ChildProcesses.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <set>

#include <tavkit/platform/base/Streams.h>

namespace tavkit::design {

namespace {

struct TChildren {
  std::mutex Lock;
  std::set<pid_t> Running;
  bool Stopping = false;
};

TChildren& Children() {
  static TChildren children;
  return children;
}

// Waits until the pipe's other end is closed (the child ended) or the
// deadline passes; false for the deadline.
bool WaitForEnd(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd ready{fd, POLLIN, 0};
    const int n = poll(&ready, 1, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) return false;
    if (n <= 0) continue;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0 || (got < 0 && errno != EINTR)) return true;
  }
}

// The input of a trial as a file in memory: the child reads it at its own
// pace, and this side never waits on a pipe the child does not drain.
int MemoryFileOf(const std::string& input) {
  const int fd = memfd_create("tavkit-design-trial", MFD_CLOEXEC);
  if (fd < 0) return -1;
  if (WriteAllBytes(fd, input.data(), input.size()) != 0 || lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

void TrackChild(pid_t pid) {
  TChildren& children = Children();
  std::lock_guard<std::mutex> guard(children.Lock);
  children.Running.insert(pid);
  if (children.Stopping) kill(pid, SIGKILL);
}

void ForgetChild(pid_t pid) {
  TChildren& children = Children();
  std::lock_guard<std::mutex> guard(children.Lock);
  children.Running.erase(pid);
}

void KillChildren() {
  TChildren& children = Children();
  std::lock_guard<std::mutex> guard(children.Lock);
  children.Stopping = true;
  for (pid_t pid : children.Running) kill(pid, SIGKILL);
}

pid_t StartChild(const std::string& program, const std::vector<std::string>& arguments,
                 int input, int output, int error) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int ends[3] = {input, output, error};
  for (int fd = 0; fd < 3; ++fd) {
    if (ends[fd] < 0)
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                       0);
    else
      posix_spawn_file_actions_adddup2(&actions, ends[fd], fd);
  }
  std::vector<std::string> args = arguments;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int spawned =
      posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  TrackChild(pid);
  return pid;
}

TPipe::TPipe() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) == 0) {
    Read = fds[0];
    Write = fds[1];
  }
}

TPipe::~TPipe() {
  if (Read >= 0) close(Read);
  CloseWrite();
}

void TPipe::CloseWrite() {
  if (Write >= 0) close(Write);
  Write = -1;
}

TTrialResult RunTrial(const std::string& program, const std::string& input, int seconds) {
  const TDescriptor in(MemoryFileOf(input));
  // The child holds the pipe's writing end until it ends: its closing is
  // the sign, whatever the child writes.
  TPipe done;
  if (in.Get() < 0 || done.Read < 0) return TTrialResult::Failed;
  const pid_t pid = StartChild(program, {program, "design", "--trial"}, in.Get(), done.Write, -1);
  done.CloseWrite();
  if (pid < 0) return TTrialResult::Failed;
  const bool ended =
      WaitForEnd(done.Read, std::chrono::steady_clock::now() + std::chrono::seconds(seconds));
  if (!ended) kill(pid, SIGKILL);
  ForgetChild(pid);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!ended) return TTrialResult::TimedOut;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? TTrialResult::Finished
                                                       : TTrialResult::Failed;
}

}  // namespace tavkit::design
