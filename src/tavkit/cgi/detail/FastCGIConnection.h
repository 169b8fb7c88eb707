// The FastCGI side of the CGI gateway: libfcgi's request on the listening
// socket a process manager handed over as standard input, and the wait for
// the next request, which a SIGTERM ends. Internal: programs see only TWvCGI
// and never need libfcgi's headers.
#pragma once

#include <fcgiapp.h>

#include <cstdint>
#include <optional>
#include <string>

namespace tavkit::detail {

class TFastCGIConnection {
 public:
  // True when standard input is a listening socket, which is how spawn-fcgi,
  // lighttpd, Apache and systemd start a FastCGI program.
  static bool StartedAsFastCGI();

  // Takes over standard input and catches SIGTERM (unless the program has a
  // handler of its own), so that a stop waits for the request in flight.
  TFastCGIConnection();
  ~TFastCGIConnection();
  TFastCGIConnection(const TFastCGIConnection&) = delete;
  TFastCGIConnection& operator=(const TFastCGIConnection&) = delete;

  // Finishes the request being answered, then waits for the next one. False
  // once the process has been asked to stop; a socket that fails raises
  // EInOutError.
  bool Next();
  // Sends what is left of the answer and lets the connection go.
  void Finish();
  bool InRequest() const { return FInRequest; }

  // The request's CGI variables, its body and its answer.
  std::optional<std::string> Param(const std::string& name) const;
  std::int64_t Read(char* buffer, std::int64_t count);
  void Write(const std::string& bytes);
  // One line for the web server's error log.
  void WriteError(const std::string& line);

 private:
  int WaitingSocket() const;

  FCGX_Request FRequest{};
  bool FInRequest = false;
};

}  // namespace tavkit::detail
