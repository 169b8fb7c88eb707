// The demo shop under lighttpd for the end-to-end tests, and the HTTP client
// they check raw answers with.
#include "DemoServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tavkit::demotest {

namespace fs = std::filesystem;

namespace {

class Socket {
 public:
  explicit Socket(int fd) : FFd(fd) {}
  ~Socket() {
    if (FFd >= 0) close(FFd);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int Get() const { return FFd; }

 private:
  int FFd;
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Splits a whole HTTP/1.0 answer into status, content type and body.
HttpReply ParseReply(const std::string& answer) {
  const std::size_t end = answer.find("\r\n\r\n");
  if (end == std::string::npos) throw std::runtime_error("no header in the answer: " + answer);
  HttpReply reply;
  std::istringstream head(answer.substr(0, end));
  std::string line;
  std::getline(head, line);
  if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12)
    throw std::runtime_error("not an HTTP status line: " + line);
  reply.Status = std::stoi(line.substr(9, 3));
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && Lower(line.substr(0, colon)) == "content-type")
      reply.ContentType = line.substr(line.find_first_not_of(' ', colon + 1));
  }
  reply.Body = answer.substr(end + 4);
  return reply;
}

}  // namespace

HttpReply HttpRequest(int port, const std::string& method, const std::string& target,
                      const std::string& body) {
  Socket socket(::socket(AF_INET, SOCK_STREAM, 0));
  if (socket.Get() < 0) throw std::runtime_error("no socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(socket.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
  std::string request = method + " " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
  if (method == "POST")
    request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n";
  request += "\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n =
        send(socket.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("cannot send the request");
    sent += static_cast<std::size_t>(n);
  }
  std::string answer;
  char buffer[16384];
  for (ssize_t n; (n = recv(socket.Get(), buffer, sizeof buffer, 0)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(n));
  return ParseReply(answer);
}

DemoServer::DemoServer(const fs::path& site, int firstPort, const std::vector<std::string>& options)
    : FSite(site) {
  fs::create_directories(site / "images");
  const fs::path urlFile = site.parent_path() / (site.filename().string() + ".url");
  const fs::path log = site.parent_path() / (site.filename().string() + ".log");
  fs::remove(urlFile);
  fs::create_directories(TempFolder());
  const std::string temp = TempFolder().string();
  const std::string script = std::string(TAVKIT_SOURCE_DIR) + "/scripts/serve-demo";
  const std::string port = std::to_string(firstPort);
  std::vector<std::string> command = {"bash",   script,        "--port",     port,
                                      "--site", site.string(), "--url-file", urlFile.string()};
  command.insert(command.end(), options.begin(), options.end());
  command.push_back(TAVKIT_DEMO_DIR);
  std::vector<char*> argv;
  for (std::string& arg : command) argv.push_back(arg.data());
  argv.push_back(nullptr);
  FPid = fork();
  if (FPid < 0) throw std::runtime_error("cannot fork");
  if (FPid == 0) {
    // A group of its own, so that a stray lighttpd can be reached as a
    // group; and a TERM when this test process dies, however it dies.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    setenv("TMPDIR", temp.c_str(), 1);
    const std::string out = log.string();
    if (!freopen(out.c_str(), "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
    execv("/bin/bash", argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(urlFile);
    std::string url;
    if (in >> url) {
      FPort = std::stoi(url.substr(url.rfind(':') + 1));
      return;
    }
    int status = 0;
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
      FPid = -1;
      throw std::runtime_error("serve-demo ended; see " + log.string());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Stop();
  throw std::runtime_error("serve-demo did not start; see " + log.string());
}

DemoServer::~DemoServer() {
  Stop();
}

fs::path DemoServer::TempFolder() const {
  return FSite.parent_path() / (FSite.filename().string() + ".tmp");
}

std::string DemoServer::Origin() const {
  return "http://127.0.0.1:" + std::to_string(FPort);
}

bool DemoServer::Stop() {
  if (FPid < 0) return true;
  kill(FPid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    ended = waitpid(FPid, &status, WNOHANG) == FPid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!ended) {
    kill(-FPid, SIGKILL);
    waitpid(FPid, &status, 0);
  }
  FPid = -1;
  return ended;
}

fs::path FreshFolder(const std::string& name) {
  const fs::path folder =
      fs::path(TAVKIT_BINARY_DIR) / "demo-tests" / (name + "-" + std::to_string(getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

}  // namespace tavkit::demotest
