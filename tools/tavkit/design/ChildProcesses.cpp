// The list of running children, and trial runs in a forked copy.
#include "design/ChildProcesses.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <set>

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

// Waits until the pipe's other end is closed (the copy ended) or the
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
    char byte;
    const ssize_t got = read(fd, &byte, 1);
    if (got == 0 || (got < 0 && errno != EINTR)) return true;
  }
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

TTrialResult RunTrial(const std::function<void()>& work, int seconds) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return TTrialResult::Failed;
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    close(ends[0]);
    close(ends[1]);
    return TTrialResult::Failed;
  }
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    close(ends[0]);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null >= 0) dup2(null, 2);
    try {
      work();
    } catch (...) {
      // A failure is the work's own answer, given again when it runs for real.
    }
    _exit(0);
  }
  close(ends[1]);
  TrackChild(pid);
  const bool ended =
      WaitForEnd(ends[0], std::chrono::steady_clock::now() + std::chrono::seconds(seconds));
  close(ends[0]);
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
