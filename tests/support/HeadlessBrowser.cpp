// Chromium's debugging protocol over --remote-debugging-pipe: the browser
// reads commands from its descriptor 3 and writes answers and events to
// descriptor 4, each message one JSON text ended by a zero byte.
#include "HeadlessBrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <map>
#include <stdexcept>
#include <thread>

namespace tavkit::testsupport {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr auto kAnswerTime = std::chrono::seconds(60);

// Moves a descriptor above the range that the child's dup2 calls fill.
int High(int fd) {
  const int moved = fcntl(fd, F_DUPFD, 10);
  close(fd);
  return moved;
}

std::string DecodeBase64(const std::string& text) {
  static const std::string digits =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string bytes;
  unsigned bits = 0;
  int count = 0;
  for (char c : text) {
    const std::size_t value = digits.find(c);
    if (value == std::string::npos) continue;  // padding and line breaks
    bits = (bits << 6) | static_cast<unsigned>(value);
    count += 6;
    if (count >= 8) {
      count -= 8;
      bytes += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return bytes;
}

}  // namespace

HeadlessBrowser::HeadlessBrowser(const fs::path& folder, int width, int height)
    : FLog(folder / "chromium.log") {
  fs::create_directories(folder);
  int toBrowser[2], fromBrowser[2];
  if (pipe(toBrowser) != 0 || pipe(fromBrowser) != 0) throw std::runtime_error("no pipe");
  for (int* fd : {&toBrowser[0], &toBrowser[1], &fromBrowser[0], &fromBrowser[1]}) *fd = High(*fd);
  const std::string profile = "--user-data-dir=" + (folder / "profile").string();
  const std::string window =
      "--window-size=" + std::to_string(width) + "," + std::to_string(height);
  FPid = fork();
  if (FPid < 0) throw std::runtime_error("cannot fork");
  if (FPid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const std::string log = FLog.string();
    if (!freopen(log.c_str(), "w", stdout) || dup2(fileno(stdout), 2) < 0) _exit(126);
    if (dup2(toBrowser[0], 3) < 0 || dup2(fromBrowser[1], 4) < 0) _exit(126);
    for (int fd : {toBrowser[0], toBrowser[1], fromBrowser[0], fromBrowser[1]}) close(fd);
    execlp("chromium", "chromium", "--headless", "--no-sandbox", "--disable-gpu",
           "--disable-dev-shm-usage", "--remote-debugging-pipe", window.c_str(), profile.c_str(),
           "about:blank", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toBrowser[0]);
  close(fromBrowser[1]);
  FToBrowser = toBrowser[1];
  FFromBrowser = fromBrowser[0];

  const json created = Command("Target.createTarget", {{"url", "about:blank"}}, false);
  const json attached = Command("Target.attachToTarget",
                                {{"targetId", created["targetId"]}, {"flatten", true}}, false);
  FSession = attached["sessionId"];
  Command("Page.enable", json::object());
  Command("Runtime.enable", json::object());
}

HeadlessBrowser::~HeadlessBrowser() {
  if (FPid > 0) {
    try {
      Command("Browser.close", json::object(), false);
    } catch (const std::exception&) {
      // the browser is beyond asking; it is killed below
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    int status = 0;
    bool ended = false;
    while (!ended && Clock::now() < deadline) {
      ended = waitpid(FPid, &status, WNOHANG) == FPid;
      if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!ended) {
      kill(FPid, SIGKILL);
      waitpid(FPid, &status, 0);
    }
  }
  if (FToBrowser >= 0) close(FToBrowser);
  if (FFromBrowser >= 0) close(FFromBrowser);
}

json HeadlessBrowser::Command(const std::string& method, const json& params, bool inTab) {
  const int id = FNextId++;
  json message = {{"id", id}, {"method", method}, {"params", params}};
  if (inTab) message["sessionId"] = FSession;
  const std::string text = message.dump() + '\0';
  for (std::size_t sent = 0; sent < text.size();) {
    const ssize_t n = write(FToBrowser, text.data() + sent, text.size() - sent);
    if (n <= 0) throw std::runtime_error("the browser went away; see " + FLog.string());
    sent += static_cast<std::size_t>(n);
  }
  const auto deadline = Clock::now() + kAnswerTime;
  for (;;) {
    json answer = ReadMessage(deadline);
    if (!answer.contains("id")) {
      FEvents.push_back(std::move(answer));
      continue;
    }
    if (answer["id"] != id) continue;
    if (answer.contains("error"))
      throw std::runtime_error(method + " failed: " + answer["error"].dump());
    return answer["result"];
  }
}

json HeadlessBrowser::ReadMessage(Clock::time_point deadline) {
  for (;;) {
    const std::size_t end = FPending.find('\0');
    if (end != std::string::npos) {
      const std::string text = FPending.substr(0, end);
      FPending.erase(0, end + 1);
      return json::parse(text);
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd ready{FFromBrowser, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
      throw std::runtime_error("the browser did not answer in time; see " + FLog.string());
    char buffer[65536];
    const ssize_t n = read(FFromBrowser, buffer, sizeof buffer);
    if (n <= 0) throw std::runtime_error("the browser went away; see " + FLog.string());
    FPending.append(buffer, static_cast<std::size_t>(n));
  }
}

void HeadlessBrowser::DropEvents(const std::string& method) {
  std::erase_if(FEvents, [&](const json& event) { return event["method"] == method; });
}

void HeadlessBrowser::WaitForLoad() {
  const auto deadline = Clock::now() + kAnswerTime;
  for (;;) {
    for (const json& event : FEvents) {
      if (event["method"] == "Page.loadEventFired") {
        DropEvents("Page.loadEventFired");
        return;
      }
    }
    FEvents.push_back(ReadMessage(deadline));
  }
}

void HeadlessBrowser::Navigate(const std::string& url) {
  DropEvents("Page.loadEventFired");
  const json result = Command("Page.navigate", {{"url", url}});
  if (result.contains("errorText"))
    throw std::runtime_error("cannot open " + url + ": " + result["errorText"].get<std::string>());
  WaitForLoad();
}

json HeadlessBrowser::Evaluate(const std::string& expression) {
  const json result =
      Command("Runtime.evaluate",
              {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
  if (result.contains("exceptionDetails"))
    throw std::runtime_error("the script failed: " + result["exceptionDetails"].dump());
  return result["result"].value("value", json());
}

void HeadlessBrowser::EvaluateAndWaitForLoad(const std::string& expression) {
  DropEvents("Page.loadEventFired");
  Evaluate(expression);
  WaitForLoad();
}

void HeadlessBrowser::Mouse(const std::string& type, double x, double y) {
  Mouse(type, x, y, 0);
}

void HeadlessBrowser::Mouse(const std::string& type, double x, double y, int modifiers) {
  json params = {{"type", type},     {"x", x},          {"y", y},
                 {"button", "left"}, {"clickCount", 1}, {"modifiers", modifiers}};
  // A move made while the button is down carries it, as a real drag does.
  if (type == "mousePressed" || (type == "mouseMoved" && FButtonDown)) params["buttons"] = 1;
  if (type == "mouseMoved" && !FButtonDown) params["button"] = "none";
  Command("Input.dispatchMouseEvent", params);
  if (type == "mousePressed") FButtonDown = true;
  if (type == "mouseReleased") FButtonDown = false;
}

void HeadlessBrowser::Drag(double x1, double y1, double x2, double y2, int steps) {
  Drag(x1, y1, x2, y2, steps, 0);
}

void HeadlessBrowser::Drag(double x1, double y1, double x2, double y2, int steps, int modifiers) {
  Mouse("mouseMoved", x1, y1, modifiers);
  Mouse("mousePressed", x1, y1, modifiers);
  for (int i = 1; i <= steps; ++i)
    Mouse("mouseMoved", x1 + (x2 - x1) * i / steps, y1 + (y2 - y1) * i / steps, modifiers);
  Mouse("mouseReleased", x2, y2, modifiers);
}

void HeadlessBrowser::Key(const std::string& key, int modifiers) {
  // Windows key codes, which the page sees as keyCode; a character's is its
  // capital letter or digit.
  static const std::map<std::string, std::pair<int, std::string>> named = {
      {"ArrowLeft", {37, "ArrowLeft"}},
      {"ArrowUp", {38, "ArrowUp"}},
      {"ArrowRight", {39, "ArrowRight"}},
      {"ArrowDown", {40, "ArrowDown"}},
      {"Tab", {9, "Tab"}},
      {"Escape", {27, "Escape"}},
      {"Delete", {46, "Delete"}},
      {"Enter", {13, "Enter"}},
      {"?", {191, "Slash"}},
      {"+", {187, "Equal"}},
      {"-", {189, "Minus"}}};
  json down = {{"type", "rawKeyDown"}, {"key", key}, {"modifiers", modifiers}};
  const auto found = named.find(key);
  if (found != named.end()) {
    down["windowsVirtualKeyCode"] = found->second.first;
    down["code"] = found->second.second;
  } else if (key.size() == 1 && std::isalnum(static_cast<unsigned char>(key[0]))) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(key[0])));
    down["windowsVirtualKeyCode"] = static_cast<int>(upper);
    down["code"] = std::isdigit(static_cast<unsigned char>(upper)) ? std::string("Digit") + upper
                                                                   : std::string("Key") + upper;
  }
  // A character typed without Ctrl or Alt carries its text, as a key
  // that types does.
  if (key.size() == 1 && (modifiers & (kCtrl | kAlt)) == 0) {
    down["type"] = "keyDown";
    down["text"] = key;
  }
  Command("Input.dispatchKeyEvent", down);
  json up = down;
  up["type"] = "keyUp";
  up.erase("text");
  Command("Input.dispatchKeyEvent", up);
}

void HeadlessBrowser::AllowClipboard(const std::string& origin) {
  Command("Browser.grantPermissions",
          {{"origin", origin}, {"permissions", {"clipboardReadWrite", "clipboardSanitizedWrite"}}},
          false);
}

std::string HeadlessBrowser::Screenshot() {
  const json shot = Command("Page.captureScreenshot", {{"format", "png"}});
  return DecodeBase64(shot["data"].get<std::string>());
}

}  // namespace tavkit::testsupport
