// Threads, events, the replaceable clock and the main thread's queue: what
// the GIF painter leans on. Timed waits run against a virtual clock, so no
// test here waits for the wall clock beyond a poll; waits for another thread
// have a deadline and fail when it passes.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include <tavkit/platform/base/Threads.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using ClockInUse = TClockInUse;
using testsupport::WaitUntil;

// A thread whose work is a function.
class TWorker : public TThread {
 public:
  explicit TWorker(std::function<void(TWorker&)> work) : FWork(std::move(work)) {}
  ~TWorker() override {
    Terminate();
    while (GetSuspended()) Resume();
    WaitFor();
  }
  bool IsTerminated() const { return Terminated(); }
  void Pause() { CheckSuspended(); }

 protected:
  void Execute() override { FWork(*this); }

 private:
  std::function<void(TWorker&)> FWork;
};

TEST(PlatformEvents, AutoResetReleasesOneWaitAndTimesOutOnTheClock) {
  TVirtualClock clock;
  ClockInUse inUse(clock);
  TEvent event;
  event.SetEvent();
  EXPECT_EQ(event.WaitFor(1000), TWaitResult::wrSignaled);
  const std::uint32_t before = GetTickCount();
  EXPECT_EQ(event.WaitFor(250), TWaitResult::wrTimeout);
  EXPECT_EQ(GetTickCount() - before, 250u);
  Sleep(40);
  EXPECT_EQ(GetTickCount() - before, 290u);

  TEvent manual(true, true);
  EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
  manual.ResetEvent();
  EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);
}

TEST(PlatformEvents, ASignalFromAnotherThreadEndsAnInfiniteWait) {
  TEvent event;
  TWorker setter([&event](TWorker&) { event.SetEvent(); });
  setter.Resume();
  EXPECT_EQ(event.WaitFor(INFINITE), TWaitResult::wrSignaled);
}

TEST(PlatformThreads, ThreadsStartSuspendedAndRunOnResume) {
  std::atomic<int> runs{0};
  TWorker worker([&runs](TWorker&) { ++runs; });
  EXPECT_TRUE(worker.GetSuspended());
  EXPECT_EQ(runs.load(), 0);
  worker.Resume();
  worker.WaitFor();
  EXPECT_EQ(runs.load(), 1);
  EXPECT_TRUE(worker.GetFinished());
}

TEST(PlatformThreads, SynchronizeRunsOnTheMainThreadAndPassesErrorsBack) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> errorCame{false};
  TWorker worker([&](TWorker&) {
    TThread::Synchronize([&] { ranOnMain = IsMainThread(); });
    try {
      TThread::Synchronize([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& e) {
      errorCame = std::string(e.what()) == "refused";
    }
  });
  int ends = 0;
  worker.OnTerminate = [&ends](TObject*) {
    EXPECT_TRUE(IsMainThread());
    ++ends;
  };
  worker.Resume();
  // WaitFor on the main thread runs the calls the worker waits for.
  worker.WaitFor();
  EXPECT_TRUE(ranOnMain.load());
  EXPECT_TRUE(errorCame.load());
  EXPECT_EQ(ends, 1);
}

TEST(PlatformThreads, SuspendTakesEffectWhereTheThreadChecksAndTerminateIsSeen) {
  std::atomic<int> rounds{0};
  TWorker worker([&rounds](TWorker& self) {
    while (!self.IsTerminated()) {
      self.Pause();
      ++rounds;
      std::this_thread::yield();
    }
  });
  worker.Resume();
  ASSERT_TRUE(WaitUntil([&] { return rounds.load() >= 3; })) << "the worker did not run";
  worker.Suspend();
  EXPECT_TRUE(worker.GetSuspended());
  // At most one round was under way when the pause was asked for.
  const int paused = rounds.load();
  for (int i = 0; i < 100; ++i) std::this_thread::yield();
  EXPECT_LE(rounds.load(), paused + 1);
  worker.Resume();
  EXPECT_TRUE(WaitUntil([&] { return rounds.load() >= paused + 5; }))
      << "the worker did not go on after Resume";
  worker.Terminate();
  worker.WaitFor();
}

TEST(PlatformThreads, AThreadCannotWaitForItself) {
  std::atomic<bool> refused{false};
  TWorker worker([&refused](TWorker& self) {
    try {
      self.WaitFor();
    } catch (const EThread&) {
      refused = true;
    }
  });
  worker.Resume();
  worker.WaitFor();
  EXPECT_TRUE(refused.load());
}

TEST(PlatformThreads, ThreadsThatFreeThemselvesAreJoined) {
  class TSelfFreeing : public TThread {
   public:
    explicit TSelfFreeing(std::atomic<int>& done) : FDone(done) { SetFreeOnTerminate(true); }
    ~TSelfFreeing() override { ++FDone; }

   protected:
    void Execute() override {}

   private:
    std::atomic<int>& FDone;
  };
  std::atomic<int> done{0};
  for (int i = 0; i < 4; ++i) (new TSelfFreeing(done))->Resume();
  EXPECT_TRUE(WaitUntil([&] { return done.load() >= 4; }, [] { CheckSynchronize(10); }))
      << done.load() << " of 4 threads freed themselves";
  ReapFinishedThreads();
  EXPECT_EQ(done.load(), 4);
}

TEST(PlatformMessages, QuitMessagesAreTakenOnceAndCanBePostedAgain) {
  EXPECT_TRUE(ProcessMessages());
  PostQuitMessage(3);
  int code = 0;
  EXPECT_FALSE(ProcessMessages(&code));
  EXPECT_EQ(code, 3);
  EXPECT_TRUE(ProcessMessages());
  PostQuitMessage(code);
  EXPECT_FALSE(ProcessMessages());
}

}  // namespace
}  // namespace tavkit
