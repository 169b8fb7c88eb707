// The library's error log: where it says so when it goes on past a failure
// on purpose (a query that fails leaves its elements empty, a picture that
// cannot be written leaves its source empty). By default each message is one
// line on standard error, which for a CGI or FastCGI program is the web
// server's error log; a program or a test may take the lines instead.
//
// ```cpp
// std::vector<std::string> lines;
// TErrorLogHandler previous =
//     SetErrorLogHandler([&](const std::string& line) { lines.push_back(line); });
// LogError("Query1: no such table: products");  // lines[0] is "error: Query1: ..."
// SetErrorLogHandler(previous);
// ```
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace tavkit {

// Takes one complete line, "error: " and the message, without a line end.
using TErrorLogHandler = std::function<void(const std::string& line)>;

// The longest message written whole; a longer one is cut, with "...".
inline constexpr std::size_t MaxErrorLogMessage = 2000;

// Writes "error: MESSAGE" as one line: line breaks inside the message
// become blanks, so that a database's message of several lines stays one
// entry of the web server's log.
void LogError(const std::string& message);

// Sends the lines to handler from now on; an empty handler restores
// standard error. Returns the handler it replaces (empty for standard error).
TErrorLogHandler SetErrorLogHandler(TErrorLogHandler handler);

// The default: line and a line end written to standard error at once.
void WriteErrorLineToStandardError(const std::string& line);

}  // namespace tavkit
