// What the designer's tests share: a scratch folder per test, whole-file
// writes, a plain HTTP/1.1 client on a socket of its own (so the
// tests speak to the server as any browser would, through no code of the
// server's side), and the form the session tests edit.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace tavkit::designtest {

namespace fs = std::filesystem;

// An empty folder named after the running test.
inline fs::path ScratchFolder(const std::string& suite) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  fs::path folder = fs::path(TAVKIT_BINARY_DIR) / suite / test->name();
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder;
}

inline void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

struct THttpReply {
  int Status = 0;
  std::string ContentType;
  std::string Head;  // the status line and the headers
  std::string Body;

  // The value of a header, or empty.
  std::string Header(const std::string& name) const {
    const std::size_t at = Head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return std::string();
    const std::size_t start = at + name.size() + 4;
    return Head.substr(start, Head.find("\r\n", start) - start);
  }
};

// The header line that carries a designer's token as its cookie.
inline std::string TokenCookie(int port, const std::string& token) {
  return "Cookie: tavkit-design-" + std::to_string(port) + "=" + token + "\r\n";
}

// One request on a connection of its own to 127.0.0.1:port. headers are
// whole header lines, each ending in CR LF.
inline THttpReply HttpRequest(int port, const std::string& method, const std::string& path,
                              const std::string& body = "",
                              const std::string& contentType = "application/json",
                              const std::string& host = "", const std::string& headers = "") {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("no socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    throw std::runtime_error("cannot connect to port " + std::to_string(port));
  }
  std::string request = method + " " + path + " HTTP/1.1\r\nHost: " +
                        (host.empty() ? "127.0.0.1:" + std::to_string(port) : host) +
                        "\r\nConnection: close\r\n" + headers;
  if (method == "POST")
    request += "Content-Type: " + contentType +
               "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
  request += "\r\n" + body;
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  std::string answer;
  char buffer[65536];
  for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
    answer.append(buffer, static_cast<std::size_t>(n));
  close(fd);

  THttpReply reply;
  const std::size_t headEnd = answer.find("\r\n\r\n");
  if (answer.rfind("HTTP/1.1 ", 0) != 0 || headEnd == std::string::npos)
    throw std::runtime_error("not an HTTP answer: " + answer.substr(0, 80));
  reply.Status = std::stoi(answer.substr(9, 3));
  reply.Head = answer.substr(0, headEnd);
  reply.ContentType = reply.Header("Content-Type");
  reply.Body = answer.substr(headEnd + 4);
  return reply;
}

// `tavkit design FORM [options]` as a child process, stopped as Ctrl-C
// stops it. Its first line tells the address, token included.
class DesignerProgram {
 public:
  DesignerProgram(const fs::path& form, const fs::path& log,
                  const std::vector<std::string>& options = {}) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("no pipe");
    std::vector<std::string> args = {TAVKIT_PROGRAM, "design", form.string()};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    FPid = fork();
    if (FPid < 0) throw std::runtime_error("cannot fork");
    if (FPid == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int err = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (err < 0 || dup2(out[1], 1) < 0 || dup2(err, 2) < 0) _exit(126);
      close(out[0]);
      execv(TAVKIT_PROGRAM, argv.data());
      _exit(127);
    }
    close(out[1]);
    FOut = out[0];
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (line.find('\n') == std::string::npos) {
      pollfd ready{FOut, POLLIN, 0};
      if (std::chrono::steady_clock::now() > deadline || poll(&ready, 1, 1000) < 0)
        throw std::runtime_error("tavkit design did not start; see " + log.string());
      char c;
      if (ready.revents != 0 && read(FOut, &c, 1) != 1)
        throw std::runtime_error("tavkit design ended; see " + log.string());
      if (ready.revents != 0) line += c;
    }
    const std::size_t at = line.find("http://127.0.0.1:");
    if (at == std::string::npos) throw std::runtime_error("no address in: " + line);
    FUrl = line.substr(at, line.find(' ', at) - at);
    FPort = std::stoi(line.substr(at + 17));
    const std::size_t token = FUrl.find("?token=");
    if (token != std::string::npos) FToken = FUrl.substr(token + 7);
  }
  ~DesignerProgram() {
    if (FPid > 0) {
      kill(FPid, SIGINT);
      int status = 0;
      if (!WaitForExit(20, status)) {
        kill(FPid, SIGKILL);
        waitpid(FPid, &status, 0);
      }
    }
    close(FOut);
  }
  DesignerProgram(const DesignerProgram&) = delete;
  DesignerProgram& operator=(const DesignerProgram&) = delete;

  int Port() const { return FPort; }
  // The address printed, with its token.
  const std::string& Url() const { return FUrl; }
  const std::string& Token() const { return FToken; }
  void Signal(int number) const { kill(FPid, number); }

  // Waits at most seconds for the program to end; true with its status
  // when it did.
  bool WaitForExit(int seconds, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (waitpid(FPid, &status, WNOHANG) != FPid) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    FPid = -1;
    return true;
  }

  // A request to the program, carrying its token.
  THttpReply Request(const std::string& method, const std::string& path,
                     const std::string& body = "") const {
    return HttpRequest(FPort, method, path, body, "application/json", "",
                       TokenCookie(FPort, FToken));
  }

 private:
  pid_t FPid = -1;
  int FOut = -1;
  int FPort = 0;
  std::string FUrl;
  std::string FToken;
};

// A page with a panel, an image and a text on it, and two scripts, Second
// depending on First.
inline const char* const kTestForm = R"({
  "form": "TestForm",
  "components": [
    { "class": "TWvJavascript", "name": "First",
      "properties": { "script": ["function first() {", "}"] } },
    { "class": "TWvJavascript", "name": "Second",
      "properties": { "script": ["function second() {", "}"],
                      "DependList": [ { "script": "First" } ] } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 400, "Height": 300, "PageTitle": "Test" },
      "children": [
        { "class": "TWvPanel", "name": "Panel1",
          "properties": { "Left": 10, "Top": 10, "Width": 200, "Height": 150,
                          "BackGroundColor": "#E0E8F0" },
          "children": [
            { "class": "TWvText", "name": "Inner",
              "properties": { "Left": 5, "Top": 5, "Width": 100, "Height": 20,
                              "Text": ["inside"] } } ] },
        { "class": "TWvImage", "name": "Image1",
          "properties": { "Left": 220, "Top": 10, "Width": 100, "Height": 80 } },
        { "class": "TWvText", "name": "Text1",
          "properties": { "Left": 10, "Top": 200, "Width": 150, "Height": 20,
                          "Text": ["Hello"],
                          "HyperLink": { "URL": "next.html",
                                         "JSOnClick": { "Script": "Second" } } } }
      ] }
  ]
})";

}  // namespace tavkit::designtest
