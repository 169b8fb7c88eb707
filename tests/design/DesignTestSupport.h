// What the designer's tests share: a scratch folder per test, whole-file
// writes, a plain HTTP/1.1 client on a socket of its own (so the
// tests speak to the server as any browser would, through no code of the
// server's side), and the form the session tests edit.
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

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
  std::string Body;
};

// One request on a connection of its own to 127.0.0.1:port.
inline THttpReply HttpRequest(int port, const std::string& method, const std::string& path,
                              const std::string& body = "",
                              const std::string& contentType = "application/json",
                              const std::string& host = "") {
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
                        "\r\nConnection: close\r\n";
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
  const std::string head = answer.substr(0, headEnd);
  const std::size_t type = head.find("\r\nContent-Type: ");
  if (type != std::string::npos) {
    const std::size_t start = type + 16;
    reply.ContentType = head.substr(start, head.find("\r\n", start) - start);
  }
  reply.Body = answer.substr(headEnd + 4);
  return reply;
}

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
