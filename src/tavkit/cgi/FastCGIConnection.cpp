// FastCGI through libfcgi. The wait for a request is ours rather than
// libfcgi's blocking accept: a poll on the listening socket (or on the
// connection the web server keeps open) and on a pipe that the SIGTERM
// handler writes to, so that a stop is seen at once when the worker is idle
// and only after the answer when it is busy.
#include <tavkit/cgi/detail/FastCGIConnection.h>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit::detail {

namespace {

// A worker makes the same page again and again, with bitmaps of some
// hundred kilobytes each time. The allocator's defaults give that memory
// back to the system after every request and the next one takes it again,
// paying a page fault and a zeroed page for every 4 KB. Freed memory up to
// this much stays with the process instead; larger blocks (a big picture)
// are still mapped on their own and returned at once.
constexpr int KeptFreeBytes = 32 << 20;
constexpr int OwnMappingBytes = 4 << 20;

int StopPipe[2] = {-1, -1};
volatile sig_atomic_t StopAsked = 0;

void OnStop(int) {
  const int saved = errno;
  StopAsked = 1;
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost.
  [[maybe_unused]] ssize_t written = write(StopPipe[1], &byte, 1);
  errno = saved;
}

// SIGTERM is how web servers and service managers stop a worker. A program
// that handles it itself keeps its handler: it then decides how to stop.
// libfcgi puts a handler of its own in place when it starts, which only
// marks a flag its blocking accept looks at, so the program's choice is
// taken before libfcgi starts.
bool StopLookedAt = false;
bool ProgramHandlesStop = false;

void LookAtStopHandler() {
  if (StopLookedAt) return;
  StopLookedAt = true;
  struct sigaction current {};
  sigaction(SIGTERM, nullptr, &current);
  ProgramHandlesStop = (current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL;
}

void CatchStop() {
  LookAtStopHandler();
  if (StopPipe[0] >= 0) return;
  if (pipe2(StopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    throw EInOutError("Cannot set up the stop signal: " + std::generic_category().message(errno),
                      errno);
  if (ProgramHandlesStop) return;
  struct sigaction stop {};
  stop.sa_handler = OnStop;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &stop, nullptr);
}

std::string ErrorText(int error) {
  return error > 0 ? std::generic_category().message(error) : "FastCGI protocol error";
}

// Where a process manager puts the listening socket.
constexpr int ListeningSocket = STDIN_FILENO;

// libfcgi counts in int; longer texts go in pieces.
constexpr std::int64_t MaxPiece = INT_MAX / 2;

}  // namespace

bool TFastCGIConnection::StartedAsFastCGI() {
  LookAtStopHandler();
  return FCGX_IsCGI() == 0;
}

TFastCGIConnection::TFastCGIConnection() {
  mallopt(M_MMAP_THRESHOLD, OwnMappingBytes);
  mallopt(M_TRIM_THRESHOLD, KeptFreeBytes);
  CatchStop();
  if (FCGX_Init() != 0) throw EInOutError("Cannot start FastCGI");
  // Several workers may wait on one socket; the one that loses the race
  // for a connection must come back to the wait instead of blocking in
  // accept, where a stop would not reach it.
  const int flags = fcntl(ListeningSocket, F_GETFL);
  if (flags >= 0) fcntl(ListeningSocket, F_SETFL, flags | O_NONBLOCK);
  FCGX_InitRequest(&FRequest, ListeningSocket, 0);
}

TFastCGIConnection::~TFastCGIConnection() {
  Finish();
  FCGX_Free(&FRequest, 1);
}

int TFastCGIConnection::WaitingSocket() const {
  // A web server that keeps its connection open sends the next request on
  // it rather than connecting anew.
  return FRequest.ipcFd >= 0 ? FRequest.ipcFd : FRequest.listen_sock;
}

bool TFastCGIConnection::Next() {
  Finish();
  for (;;) {
    if (StopAsked) return false;
    pollfd waits[2] = {{WaitingSocket(), POLLIN, 0}, {StopPipe[0], POLLIN, 0}};
    if (poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      throw EInOutError("Cannot wait for a request: " + ErrorText(errno), errno);
    }
    if (StopAsked) return false;
    if (waits[0].revents == 0) continue;
    const int result = FCGX_Accept_r(&FRequest);
    if (result == 0) {
      FInRequest = true;
      return true;
    }
    // Another worker took the connection, or the web server closed the one
    // it kept: wait again.
    if (result == -EAGAIN || result == -EWOULDBLOCK || result == -EINTR) continue;
    throw EInOutError("Cannot accept a request: " + ErrorText(-result), result < 0 ? -result : 0);
  }
}

void TFastCGIConnection::Finish() {
  if (!FInRequest) return;
  FInRequest = false;
  FCGX_Finish_r(&FRequest);
}

std::optional<std::string> TFastCGIConnection::Param(const std::string& name) const {
  if (!FInRequest) return std::nullopt;
  const char* value = FCGX_GetParam(name.c_str(), FRequest.envp);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::int64_t TFastCGIConnection::Read(char* buffer, std::int64_t count) {
  if (!FInRequest) return 0;
  std::int64_t done = 0;
  while (done < count) {
    const int piece = static_cast<int>(std::min(count - done, MaxPiece));
    const int n = FCGX_GetStr(buffer + done, piece, FRequest.in);
    if (n <= 0) break;
    done += n;
  }
  return done;
}

void TFastCGIConnection::Write(const std::string& bytes) {
  if (!FInRequest) throw EInOutError("Cannot write the response: no request is being answered");
  for (std::size_t done = 0; done < bytes.size();) {
    const int piece =
        static_cast<int>(std::min(static_cast<std::int64_t>(bytes.size() - done), MaxPiece));
    if (FCGX_PutStr(bytes.data() + done, piece, FRequest.out) != piece) {
      const int error = FCGX_GetError(FRequest.out);
      throw EInOutError("Cannot write the response: " + ErrorText(error), error > 0 ? error : EIO);
    }
    done += static_cast<std::size_t>(piece);
  }
}

void TFastCGIConnection::WriteError(const std::string& line) {
  if (!FInRequest) return;
  FCGX_PutStr(line.data(), static_cast<int>(std::min<std::size_t>(line.size(), MaxPiece)),
              FRequest.err);
  FCGX_FFlush(FRequest.err);
}

}  // namespace tavkit::detail
