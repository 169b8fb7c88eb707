// The processes the designer starts: the page renderer and trial loads of
// a form's data. Each is known while it runs, so that stopping the designer
// ends them at once rather than waiting out their time limits, and none
// outlives the designer.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace tavkit::design {

// Records a running child. When the designer is already stopping, the child
// is killed at once.
void TrackChild(pid_t pid);
// Forgets a child; called before it is waited for, so that its number,
// once free, is never killed.
void ForgetChild(pid_t pid);
// Kills every child that runs now or is started from now on.
void KillChildren();

// Starts program with arguments (the first is the program's own name) and
// tracks it. Its standard input, output and error are the descriptors
// given, /dev/null for -1, and it starts with no signal blocked, whatever
// the calling thread blocks. Returns the process, or -1 when it could not
// be started.
pid_t StartChild(const std::string& program, const std::vector<std::string>& arguments,
                 int input, int output, int error);

// A pipe from a child, both ends closed on exec and when it goes. Read and
// Write are -1 when no pipe could be made.
struct TPipe {
  TPipe();
  ~TPipe();
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  // Closes this side's writing end, once the child holds its own copy, so
  // that reading meets the end when the child ends.
  void CloseWrite();

  int Read = -1;
  int Write = -1;
};

enum class TTrialResult { Finished, TimedOut, Failed };

// Runs `program design --trial` with input on its standard input and waits
// for it at most seconds seconds: Finished when it exited with 0, TimedOut
// when the time ran out, Failed when it could not start or died (a crash,
// or the designer stopping). A run that is not done is killed. Meant for
// work that may hang in code this program cannot interrupt, such as a
// query: the work runs in a process of its own, started afresh, so that
// nothing of this one's threads and locks is carried into it.
TTrialResult RunTrial(const std::string& program, const std::string& input, int seconds);

}  // namespace tavkit::design
