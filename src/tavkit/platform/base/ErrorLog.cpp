#include <tavkit/platform/base/ErrorLog.h>

#include <cstdio>
#include <mutex>
#include <utility>

namespace tavkit {

namespace {

struct TErrorLog {
  std::mutex Lock;
  TErrorLogWriter Writer;
};

TErrorLog& Log() {
  static TErrorLog log;
  return log;
}

std::string OneLine(const std::string& text) {
  std::string line = "tavkit: ";
  line += text.size() > MaxErrorLogLine ? text.substr(0, MaxErrorLogLine) + "..." : text;
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  return line;
}

}  // namespace

void LogError(const std::string& text) {
  const std::string line = OneLine(text);
  TErrorLog& log = Log();
  std::lock_guard<std::mutex> guard(log.Lock);
  if (log.Writer) {
    log.Writer(line);
    return;
  }
  // One write for the whole line, so that lines of processes sharing the
  // log do not interleave.
  const std::string withEnd = line + "\n";
  std::fwrite(withEnd.data(), 1, withEnd.size(), stderr);
  std::fflush(stderr);
}

TErrorLogWriter SetErrorLogWriter(TErrorLogWriter writer) {
  TErrorLog& log = Log();
  std::lock_guard<std::mutex> guard(log.Lock);
  return std::exchange(log.Writer, std::move(writer));
}

}  // namespace tavkit
