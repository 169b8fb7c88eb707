// Helpers of the demo shop's end-to-end tests: the demo served by
// scripts/serve-demo (lighttpd on 127.0.0.1, with FastCGI workers or as
// CGI) or by nginx or Apache in front of a worker started by spawn-fcgi,
// each stopped
// when the helper goes away, also when a test fails; and a small HTTP/1.0
// client for requests that a browser would not show byte for byte.
#pragma once

#include <sys/types.h>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace tavkit::demotest {

struct HttpReply {
  int Status = 0;
  std::string ContentType;
  std::string Body;
};

// One request on a connection of its own. A POST sends body as a urlencoded
// form. Raises std::runtime_error when the server cannot be reached.
HttpReply HttpRequest(int port, const std::string& method, const std::string& target,
                      const std::string& body = "");

class DemoServer {
 public:
  // Starts scripts/serve-demo on the first free port from firstPort on,
  // serving site (its document root), with the script's options (such as
  // --cgi), and waits until it answers. Raises std::runtime_error when it
  // does not within 30 seconds. With brokenOutput the script's standard
  // output is a pipe that nobody reads (its messages go nowhere).
  DemoServer(const std::filesystem::path& site, int firstPort = 18080,
             const std::vector<std::string>& options = {}, bool brokenOutput = false);
  // Stops the script, which stops lighttpd and removes its configuration.
  ~DemoServer();
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  int Port() const { return FPort; }
  // "http://127.0.0.1:PORT"
  std::string Origin() const;
  // The document root; the program's pictures go to its images folder.
  const std::filesystem::path& Site() const { return FSite; }
  // The folder in which the script keeps its configuration (its TMPDIR).
  std::filesystem::path TempFolder() const;
  // Sends TERM and waits for the script; true when it ended by itself then.
  bool Stop();

 private:
  std::filesystem::path FSite;
  pid_t FPid = -1;
  int FPort = 0;
};

// The web servers that pass requests to workers they did not start.
enum class FrontServer { Nginx, Apache };

// The server's name in the tests' names and messages.
inline const char* Name(FrontServer server) {
  return server == FrontServer::Nginx ? "Nginx" : "Apache";
}
inline void PrintTo(FrontServer server, std::ostream* out) {
  *out << Name(server);
}

// The demo shop behind nginx or Apache (mod_proxy_fcgi), as the README
// deploys it: one FastCGI worker started by spawn-fcgi on a socket of its
// own, and the server on a free port of 127.0.0.1 passing /demo to it and
// serving the pictures from folder/site/images. Configuration and logs stay
// in folder.
class SpawnedWorkerDemo {
 public:
  // Raises std::runtime_error when the server does not answer within 30
  // seconds.
  SpawnedWorkerDemo(const std::filesystem::path& folder, FrontServer server);
  // Stops the server and the worker, killing what does not end by itself.
  ~SpawnedWorkerDemo();
  SpawnedWorkerDemo(const SpawnedWorkerDemo&) = delete;
  SpawnedWorkerDemo& operator=(const SpawnedWorkerDemo&) = delete;

  int Port() const { return FPort; }
  std::string Origin() const;
  std::filesystem::path Site() const { return FFolder / "site"; }
  // Sends TERM to the worker and waits for it: its exit status, or -1 when
  // it did not end within ten seconds (it is killed then).
  int StopWorker();

 private:
  void Shutdown();

  std::filesystem::path FFolder;
  std::filesystem::path FSockets;
  pid_t FWorker = -1;
  pid_t FServer = -1;
  int FPort = 0;
};

// A fresh folder under the build tree for one test process.
std::filesystem::path FreshFolder(const std::string& name);

}  // namespace tavkit::demotest
