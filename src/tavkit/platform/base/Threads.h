// Threads of the host framework and the timing they rely on: TThread (created
// suspended, resumed, suspended again, terminated, with a priority and a way
// to run a call on the main thread), an event with a timed wait, the
// millisecond tick counter and sleeping behind a clock that tests and tools
// can replace, and the main thread's message pump that runs the calls other
// threads synchronise and sees quit messages.
//
// ```cpp
// class TTicker : public TThread {
//  public:
//   ~TTicker() override {                     // Execute uses Ticks: stop before it goes
//     Terminate();
//     while (GetSuspended()) Resume();
//     WaitFor();
//   }
//   std::atomic<int> Ticks{0};
//
//  protected:
//   void Execute() override {
//     while (!Terminated()) {
//       CheckSuspended();                     // where Suspend takes effect
//       ++Ticks;
//       Sleep(100);                           // on the clock in use
//     }
//   }
// };
// TTicker ticker;
// ticker.Resume();                            // threads are made suspended
// while (ticker.Ticks < 3) CheckSynchronize(10);
// ```
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Objects.h>

namespace tavkit {

// A timeout that never passes.
inline constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

// Where the time comes from. Everything that waits or measures time in the
// library goes through the current clock, so that timing logic can be run
// against a clock that only moves when it is told to.
class TClock {
 public:
  virtual ~TClock() = default;
  // Milliseconds since some fixed moment; wraps round after 2^32.
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Waits on condition, whose mutex lock holds, until ready() answers true or
  // the timeout passes; answers ready().
  virtual bool WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                       std::uint32_t milliseconds, const std::function<bool()>& ready) = 0;
};

// The real time of the machine.
class TSystemClock : public TClock {
 public:
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t milliseconds) override;
  bool WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
               std::uint32_t milliseconds, const std::function<bool()>& ready) override;
};

// A clock that stands still until something sleeps or waits on it: a sleep
// or a wait that runs out moves it on by its length at once. Timing logic
// runs against it without waiting, and tools use it to play an animation as
// fast as it can be drawn. Infinite waits still block until ready.
class TVirtualClock : public TClock {
 public:
  std::uint32_t GetTickCount() override { return FNow.load(); }
  void Sleep(std::uint32_t milliseconds) override { Advance(milliseconds); }
  bool WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
               std::uint32_t milliseconds, const std::function<bool()>& ready) override;
  void Advance(std::uint32_t milliseconds) { FNow.fetch_add(milliseconds); }

 private:
  std::atomic<std::uint32_t> FNow{0};
};

// The clock in use; a TSystemClock unless replaced.
TClock& Clock();
// Replaces the clock of the whole process (null restores the system clock)
// and answers the one replaced. The caller keeps the clock alive while it is
// in use.
TClock* SetClock(TClock* clock);

// Puts a clock in place for the life of the object and then brings back the
// one it replaced: for tools and tests that play time instead of waiting it.
class TClockInUse {
 public:
  explicit TClockInUse(TClock& clock) : FPrevious(SetClock(&clock)) {}
  ~TClockInUse() { SetClock(FPrevious); }
  TClockInUse(const TClockInUse&) = delete;
  TClockInUse& operator=(const TClockInUse&) = delete;

 private:
  TClock* FPrevious;
};
std::uint32_t GetTickCount();
void Sleep(std::uint32_t milliseconds);

enum class TWaitResult { wrSignaled, wrTimeout };

// An event object: set, it releases one waiter and resets itself (auto
// reset) or stays set until reset (manual reset).
class TEvent {
 public:
  explicit TEvent(bool manualReset = false, bool initialState = false)
      : FManualReset(manualReset), FSignaled(initialState) {}
  void SetEvent();
  void ResetEvent();
  // Waits through the current clock.
  TWaitResult WaitFor(std::uint32_t timeout);

 private:
  std::mutex FMutex;
  std::condition_variable FCondition;
  bool FManualReset;
  bool FSignaled;
};

// The seven scheduling priorities a thread can run at.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The main thread is the one that loaded the library.
std::thread::id MainThreadID();
bool IsMainThread();

// Runs, on the main thread, the calls other threads have queued with
// TThread::Synchronize; when none is queued it waits up to timeout ms for
// one. Elsewhere than on the main thread it does nothing. Answers whether a
// call ran.
bool CheckSynchronize(std::uint32_t timeout = 0);

// Posts a quit message to the calling thread's queue.
void PostQuitMessage(int exitCode);
// Processes the calling thread's pending messages: the synchronised calls
// (on the main thread) and posted messages. Answers false when it took a
// quit message, whose exit code goes to exitCode; a caller that gives up
// waiting on it posts it again so that outer loops see it too.
bool ProcessMessages(int* exitCode = nullptr);
// Blocks until the calling thread has something to process or the timeout
// (real milliseconds: it bounds a poll, it measures nothing) passes.
void WaitMessage(std::uint32_t timeout);

// A thread of the framework. It is created suspended (a thread started from
// the base constructor would run before its own class is built) and starts
// with the first Resume. Execute is the work, which watches Terminated and
// calls CheckSuspended where a pause may take effect: suspension is
// cooperative, so that a paused thread never holds a lock someone else
// needs. A thread with FreeOnTerminate frees itself when Execute has
// returned and DoTerminate has run; nobody may wait for it or free it.
class TThread : public TObject {
 public:
  TThread();
  // Terminates the thread, resumes it and waits for it (processing
  // synchronised calls when that is the main thread). A class whose Execute
  // uses its own members stops the thread in its own destructor first.
  ~TThread() override;

  // Lowers the suspend count; at zero the thread starts or goes on.
  void Resume();
  // Raises the suspend count; the thread stops at its next CheckSuspended.
  void Suspend();
  void Terminate();
  // Waits until Execute has returned (and DoTerminate has run). Raises
  // EThread when called from the thread itself.
  void WaitFor();

  bool GetSuspended() const;
  bool GetTerminated() const { return FTerminated.load(); }
  bool GetFinished() const { return FFinished.load(); }
  TThreadPriority GetPriority() const { return FPriority.load(); }
  // On this platform priorities below normal make the thread nicer to the
  // others; priorities above normal are granted only when the process may
  // raise them.
  void SetPriority(TThreadPriority priority);
  bool GetFreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool value) { FFreeOnTerminate = value; }
  std::thread::id GetThreadID() const { return FThreadID.load(); }

  // Runs method on the main thread and waits until it has run; on the main
  // thread itself it runs at once. An exception from method is raised again
  // in the caller.
  static void Synchronize(const std::function<void()>& method);

  // Called on the main thread when the thread ends.
  TNotifyEvent OnTerminate;

 protected:
  virtual void Execute() = 0;
  // Runs OnTerminate through Synchronize.
  virtual void DoTerminate();
  bool Terminated() const { return FTerminated.load(); }
  // Blocks while the thread is suspended.
  void CheckSuspended();

 private:
  void Run();
  void ApplyPriority();

  mutable std::mutex FMutex;
  std::condition_variable FCondition;
  std::thread FThread;
  std::atomic<std::thread::id> FThreadID{};
  std::atomic<long> FNativeID{0};
  int FSuspendCount = 1;
  bool FStarted = false;
  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  std::atomic<TThreadPriority> FPriority{tpNormal};
  bool FFreeOnTerminate = false;
};

// Joins the threads that freed themselves and have ended or are ending. The
// library calls it when a thread is created and when the process exits.
void ReapFinishedThreads();

}  // namespace tavkit
