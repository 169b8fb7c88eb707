// The error log's one replaceable handler. Standard error is written with a
// single write call, so that the lines of several worker processes sharing
// one log do not interleave within a line.
#include <tavkit/platform/base/ErrorLog.h>

#include <unistd.h>

#include <mutex>
#include <utility>

namespace tavkit {

namespace {

struct TErrorLog {
  std::mutex Lock;
  TErrorLogHandler Handler;
};

TErrorLog& Log() {
  static TErrorLog log;
  return log;
}

}  // namespace

void WriteErrorLineToStandardError(const std::string& line) {
  const std::string text = line + "\n";
  // When even the log cannot be written there is nowhere left to say so.
  [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
}

void LogError(const std::string& message) {
  // A huge value quoted in a message (a statement, a number of a thousand
  // digits) must not flood the log: the line is cut.
  std::string line = "error: " + (message.size() > MaxErrorLogMessage
                                      ? message.substr(0, MaxErrorLogMessage) + "..."
                                      : message);
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  TErrorLogHandler handler;
  {
    std::lock_guard<std::mutex> lock(Log().Lock);
    handler = Log().Handler;
  }
  if (handler)
    handler(line);
  else
    WriteErrorLineToStandardError(line);
}

TErrorLogHandler SetErrorLogHandler(TErrorLogHandler handler) {
  std::lock_guard<std::mutex> lock(Log().Lock);
  return std::exchange(Log().Handler, std::move(handler));
}

}  // namespace tavkit
