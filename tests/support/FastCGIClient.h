// FastCGI and CGI programs run the way a web server runs them, for the tests
// of every suite that serves pages: a worker on a Unix socket handed over as
// its standard input (as spawn-fcgi starts one), requests sent to it through
// libfcgi's cgi-fcgi bridge, and the same request run as a plain CGI program.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tavkit::testsupport {

using CgiEnv = std::map<std::string, std::string>;

struct CgiAnswer {
  std::string Output;  // what the program sent, header included
  std::string Errors;  // what it wrote to the web server's error log
  int ExitStatus = -1;
};

// Runs command with env as its whole environment and body on its standard
// input, as a web server runs a CGI program.
CgiAnswer RunCgiProgram(const std::vector<std::string>& command, const CgiEnv& env,
                        const std::string& body = "");

// The same request sent to the FastCGI worker listening on socket: cgi-fcgi
// passes its environment on as the request's variables and its standard
// input as the body, and writes the answer and the error stream back.
CgiAnswer SendFastCGIRequest(const std::filesystem::path& socket, const CgiEnv& env,
                             const std::string& body = "");

// A worker listening on a socket of its own in a fresh folder under /tmp
// (a socket's path must be short).
class FastCGIWorker {
 public:
  // A forked process that runs serve with the socket as its standard input
  // and exits with what serve returns.
  explicit FastCGIWorker(const std::function<int()>& serve);
  // A program run with the socket as its standard input and env as its
  // environment.
  FastCGIWorker(const std::vector<std::string>& command, const CgiEnv& env = {});
  // Kills the worker if it is still running.
  ~FastCGIWorker();
  FastCGIWorker(const FastCGIWorker&) = delete;
  FastCGIWorker& operator=(const FastCGIWorker&) = delete;

  const std::filesystem::path& Socket() const { return FSocket; }
  pid_t Pid() const { return FPid; }
  // Waits for the worker to end by itself and returns its exit status (128 +
  // signal when a signal ended it); -1 when it did not end within ten
  // seconds, and it is then killed.
  int Wait();
  // Sends TERM, then waits as Wait does.
  int Stop();

 private:
  int Listen();
  void Start(const std::function<void()>& child);

  std::filesystem::path FSocket;
  pid_t FPid = -1;
};

}  // namespace tavkit::testsupport
