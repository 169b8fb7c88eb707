// Threads, events, the replaceable clock and the main thread's queue of
// synchronised calls. A thread that asks for a call on the main thread
// blocks until the main thread takes it from the queue in CheckSynchronize
// or ProcessMessages, so the main thread must pump while it waits for
// threads; TThread::WaitFor does so. Threads that free themselves hand their
// handle to a reaper that joins them, so that no thread outlives the
// process unjoined.
#include <tavkit/platform/base/Threads.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <exception>
#include <vector>

namespace tavkit {

namespace {

// The thread that ran the library's static initialisation: the main thread.
const std::thread::id gMainThread = std::this_thread::get_id();

std::atomic<TClock*> gClock{nullptr};

TSystemClock& SystemClock() {
  static TSystemClock clock;
  return clock;
}

struct TSyncRequest {
  const std::function<void()>* Method = nullptr;
  std::exception_ptr Error;
  bool Done = false;
};

// Calls queued for the main thread, and a counter that wakes it when a
// thread it may be waiting for has ended.
struct TSyncQueue {
  std::mutex Mutex;
  std::condition_variable Arrived;
  std::condition_variable Finished;
  std::deque<TSyncRequest*> Requests;
  std::uint64_t Wakeups = 0;
};

// Threads that are running, and the handles of those that freed themselves,
// waiting to be joined.
struct TReaper {
  std::mutex Mutex;
  std::condition_variable Ended;
  int Running = 0;
  std::vector<std::thread> Threads;
};

// Made once and never destroyed: threads still ending while the process
// exits may touch it after every static object is gone.
struct TThreadState {
  TSyncQueue Sync;
  TReaper Reaper;
};

TThreadState& State() {
  static TThreadState* state = new TThreadState;
  return *state;
}

TSyncQueue& SyncQueue() {
  return State().Sync;
}

TReaper& Reaper() {
  return State().Reaper;
}

// At exit, joins the threads that freed themselves, giving those still
// ending a moment to do so; a thread that does not end (one still painting
// an image that was never freed) is left to the end of the process.
struct TExitJoiner {
  ~TExitJoiner() {
    TReaper& reaper = Reaper();
    std::unique_lock lock(reaper.Mutex);
    reaper.Ended.wait_for(lock, std::chrono::seconds(2), [&] { return reaper.Running == 0; });
    std::vector<std::thread> threads;
    threads.swap(reaper.Threads);
    lock.unlock();
    for (std::thread& thread : threads) thread.join();
  }
} gExitJoiner;

// Wakes the main thread from CheckSynchronize or WaitMessage.
void WakeMainThread() {
  TSyncQueue& queue = SyncQueue();
  {
    std::lock_guard lock(queue.Mutex);
    ++queue.Wakeups;
  }
  queue.Arrived.notify_all();
}

// Waits on the main thread until a call is queued, a thread has ended or
// the timeout passes.
void WaitForMainThreadWork(std::uint32_t timeout) {
  TSyncQueue& queue = SyncQueue();
  std::unique_lock lock(queue.Mutex);
  const std::uint64_t seen = queue.Wakeups;
  const auto ready = [&] { return !queue.Requests.empty() || queue.Wakeups != seen; };
  if (timeout == INFINITE)
    queue.Arrived.wait(lock, ready);
  else
    queue.Arrived.wait_for(lock, std::chrono::milliseconds(timeout), ready);
}

// Quit messages posted to this thread, oldest first.
thread_local std::deque<int> tPostedQuits;

int NiceValue(TThreadPriority priority) {
  static constexpr int values[] = {19, 10, 5, 0, -5, -10, -15};
  return values[priority];
}

}  // namespace

// Clocks

std::uint32_t TSystemClock::GetTickCount() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void TSystemClock::Sleep(std::uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool TSystemClock::WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                           std::uint32_t milliseconds, const std::function<bool()>& ready) {
  if (milliseconds == INFINITE) {
    condition.wait(lock, ready);
    return true;
  }
  return condition.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

bool TVirtualClock::WaitFor(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                            std::uint32_t milliseconds, const std::function<bool()>& ready) {
  if (ready()) return true;
  if (milliseconds == INFINITE) {
    condition.wait(lock, ready);
    return true;
  }
  Advance(milliseconds);
  return ready();
}

TClock& Clock() {
  TClock* clock = gClock.load();
  return clock != nullptr ? *clock : SystemClock();
}

TClock* SetClock(TClock* clock) {
  return gClock.exchange(clock);
}

std::uint32_t GetTickCount() {
  return Clock().GetTickCount();
}

void Sleep(std::uint32_t milliseconds) {
  Clock().Sleep(milliseconds);
}

// Events

void TEvent::SetEvent() {
  {
    std::lock_guard lock(FMutex);
    FSignaled = true;
  }
  if (FManualReset)
    FCondition.notify_all();
  else
    FCondition.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard lock(FMutex);
  FSignaled = false;
}

TWaitResult TEvent::WaitFor(std::uint32_t timeout) {
  std::unique_lock lock(FMutex);
  if (!Clock().WaitFor(FCondition, lock, timeout, [this] { return FSignaled; }))
    return TWaitResult::wrTimeout;
  if (!FManualReset) FSignaled = false;
  return TWaitResult::wrSignaled;
}

// The main thread's messages

std::thread::id MainThreadID() {
  return gMainThread;
}

bool IsMainThread() {
  return std::this_thread::get_id() == gMainThread;
}

bool CheckSynchronize(std::uint32_t timeout) {
  if (!IsMainThread()) return false;
  TSyncQueue& queue = SyncQueue();
  std::deque<TSyncRequest*> taken;
  {
    std::unique_lock lock(queue.Mutex);
    if (queue.Requests.empty() && timeout > 0) {
      lock.unlock();
      WaitForMainThreadWork(timeout);
      lock.lock();
    }
    taken.swap(queue.Requests);
  }
  for (TSyncRequest* request : taken) {
    try {
      (*request->Method)();
    } catch (...) {
      request->Error = std::current_exception();
    }
    std::lock_guard lock(queue.Mutex);
    request->Done = true;
  }
  if (!taken.empty()) queue.Finished.notify_all();
  return !taken.empty();
}

void PostQuitMessage(int exitCode) {
  tPostedQuits.push_back(exitCode);
}

bool ProcessMessages(int* exitCode) {
  CheckSynchronize(0);
  if (tPostedQuits.empty()) return true;
  if (exitCode != nullptr) *exitCode = tPostedQuits.front();
  tPostedQuits.pop_front();
  return false;
}

void WaitMessage(std::uint32_t timeout) {
  if (!tPostedQuits.empty()) return;
  if (IsMainThread())
    WaitForMainThreadWork(timeout);
  else if (timeout != INFINITE)
    std::this_thread::sleep_for(std::chrono::milliseconds(timeout));
}

// Threads

void ReapFinishedThreads() {
  std::vector<std::thread> threads;
  {
    TReaper& reaper = Reaper();
    std::lock_guard lock(reaper.Mutex);
    threads.swap(reaper.Threads);
  }
  for (std::thread& thread : threads) thread.join();
}

TThread::TThread() {
  ReapFinishedThreads();
}

TThread::~TThread() {
  std::unique_lock lock(FMutex);
  if (!FStarted) return;
  if (std::this_thread::get_id() == FThread.get_id()) {
    // Freeing itself at its end: the thread cannot join itself, so the
    // reaper joins it once it has returned.
    TReaper& reaper = Reaper();
    {
      std::lock_guard reaperLock(reaper.Mutex);
      reaper.Threads.push_back(std::move(FThread));
      --reaper.Running;
    }
    reaper.Ended.notify_all();
    return;
  }
  FTerminated = true;
  FSuspendCount = 0;
  lock.unlock();
  FCondition.notify_all();
  WaitFor();
  FThread.join();
}

void TThread::Resume() {
  {
    std::lock_guard lock(FMutex);
    if (FSuspendCount > 0) --FSuspendCount;
    if (FSuspendCount > 0) return;
    if (!FStarted) {
      FStarted = true;
      {
        std::lock_guard reaperLock(Reaper().Mutex);
        ++Reaper().Running;
      }
      FThread = std::thread(&TThread::Run, this);
      FThreadID = FThread.get_id();
      return;
    }
  }
  FCondition.notify_all();
}

void TThread::Suspend() {
  {
    std::lock_guard lock(FMutex);
    ++FSuspendCount;
  }
  if (std::this_thread::get_id() == FThreadID.load()) CheckSuspended();
}

void TThread::Terminate() {
  FTerminated = true;
}

bool TThread::GetSuspended() const {
  std::lock_guard lock(FMutex);
  return FSuspendCount > 0;
}

void TThread::CheckSuspended() {
  std::unique_lock lock(FMutex);
  FCondition.wait(lock, [this] { return FSuspendCount == 0; });
}

void TThread::WaitFor() {
  if (std::this_thread::get_id() == FThreadID.load())
    throw EThread("A thread cannot wait for itself");
  {
    std::lock_guard lock(FMutex);
    if (!FStarted) return;
  }
  while (!FFinished) {
    if (IsMainThread()) {
      // The thread may be blocked in a call to the main thread.
      CheckSynchronize(50);
      continue;
    }
    std::unique_lock lock(FMutex);
    FCondition.wait(lock, [this] { return FFinished.load(); });
  }
}

void TThread::SetPriority(TThreadPriority priority) {
  if (FPriority.exchange(priority) != priority) ApplyPriority();
}

void TThread::ApplyPriority() {
  const long id = FNativeID.load();
  if (id == 0) return;
  // Refused when the process may not raise priorities; the thread then runs
  // at the priority it has, which changes nothing it does.
  setpriority(PRIO_PROCESS, static_cast<id_t>(id), NiceValue(FPriority.load()));
}

void TThread::Synchronize(const std::function<void()>& method) {
  if (IsMainThread()) {
    method();
    return;
  }
  TSyncQueue& queue = SyncQueue();
  TSyncRequest request;
  request.Method = &method;
  {
    std::unique_lock lock(queue.Mutex);
    queue.Requests.push_back(&request);
    queue.Arrived.notify_all();
    queue.Finished.wait(lock, [&] { return request.Done; });
  }
  if (request.Error) std::rethrow_exception(request.Error);
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}

void TThread::Run() {
  {
    // Resume has finished setting the thread up once this lock is had.
    std::lock_guard lock(FMutex);
  }
  FNativeID = static_cast<long>(syscall(SYS_gettid));
  if (FPriority.load() != tpNormal) ApplyPriority();
  try {
    Execute();
  } catch (...) {
    // A thread's failure ends the thread, not the process.
  }
  try {
    DoTerminate();
  } catch (...) {
    // Same for its end notification.
  }
  const bool freeSelf = FFreeOnTerminate;
  {
    std::lock_guard lock(FMutex);
    FFinished = true;
  }
  FCondition.notify_all();
  WakeMainThread();
  if (freeSelf) {
    delete this;
    return;
  }
  // The owner joins this thread; nothing of it is touched after this.
  TReaper& reaper = Reaper();
  {
    std::lock_guard lock(reaper.Mutex);
    --reaper.Running;
  }
  reaper.Ended.notify_all();
}

}  // namespace tavkit
