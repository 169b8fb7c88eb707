// The processes the designer starts: the page renderer and trial loads of
// a form's data. Each is known while it runs, so that stopping the designer
// ends them at once rather than waiting out their time limits, and none
// outlives the designer.
#pragma once

#include <sys/types.h>

#include <functional>

namespace tavkit::design {

// Records a running child. When the designer is already stopping, the child
// is killed at once.
void TrackChild(pid_t pid);
// Forgets a child; called before it is waited for, so that its number,
// once free, is never killed.
void ForgetChild(pid_t pid);
// Kills every child that runs now or is started from now on.
void KillChildren();

enum class TTrialResult { Finished, TimedOut, Failed };

// Runs work in a copy of this process (fork) and waits for it at most
// seconds seconds: Finished when work returned or raised, TimedOut when the
// time ran out, Failed when the copy died (a crash, or the designer
// stopping). The copy is killed when it is not done; it writes nothing to
// standard error and ends without destructors, so it leaves nothing
// behind. Meant for work that may hang in code this program cannot
// interrupt, such as a query. The caller holds the lock that every use of
// the library takes, so that the copy finds no lock of the library held.
TTrialResult RunTrial(const std::function<void()>& work, int seconds);

}  // namespace tavkit::design
