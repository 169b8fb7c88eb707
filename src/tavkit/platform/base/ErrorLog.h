// The error log: problems that do not stop the work (a server image that
// could not be written, a query that failed) are told in one line each,
// for the people who run the program. By default the lines go to standard
// error, which a web server keeps as its error log; a program may send them
// elsewhere.
//
// ```cpp
// std::vector<std::string> lines;
// TErrorLogWriter previous = SetErrorLogWriter([&](const std::string& line) { lines.push_back(line); });
// LogError("cannot write a server image: Cannot create file \"/srv/images/AG1_2.gif\": Permission denied");
// SetErrorLogWriter(previous);  // lines[0] starts with "tavkit: cannot write"
// ```
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tavkit {

// Receives each line without its line end.
using TErrorLogWriter = std::function<void(const std::string& line)>;

// The longest line written; the text is cut with "..." beyond it, so that a
// huge value in a message cannot flood the log.
inline constexpr std::size_t MaxErrorLogLine = 2000;

// Writes "tavkit: " and the text as one line: line ends within the text
// become spaces. Safe to call from several threads.
void LogError(const std::string& text);

// Sends the lines to writer instead (an empty writer: standard error again)
// and returns the writer used before.
TErrorLogWriter SetErrorLogWriter(TErrorLogWriter writer);

}  // namespace tavkit
