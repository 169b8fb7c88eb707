// Headless Chromium driven through its debugging protocol on a pair of
// pipes, for the tests that use a page as a person does: open a page, run a
// script in it (fill in and send a form, click a link), wait for the page
// that the browser loads next, press, move and release the mouse, and take
// screenshots. Shared by the test programs of the demo shop and the designer.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

namespace tavkit::testsupport {

class HeadlessBrowser {
 public:
  // Starts chromium with a fresh profile in folder (its output goes to
  // folder/chromium.log) and opens one tab whose window is width x height.
  // Raises std::runtime_error when the browser does not answer.
  explicit HeadlessBrowser(const std::filesystem::path& folder, int width = 1100, int height = 900);
  // Closes the browser; kills it when it does not end by itself.
  ~HeadlessBrowser();
  HeadlessBrowser(const HeadlessBrowser&) = delete;
  HeadlessBrowser& operator=(const HeadlessBrowser&) = delete;

  // Opens url and waits until the page has loaded.
  void Navigate(const std::string& url);
  // The value of a script expression (promises are awaited); a script that
  // throws raises std::runtime_error with the browser's description.
  nlohmann::json Evaluate(const std::string& expression);
  // Runs a script that makes the browser go to another page (a form sent, a
  // link clicked) and waits until that page has loaded.
  void EvaluateAndWaitForLoad(const std::string& expression);

  // The mouse, as the user's: type is "mousePressed", "mouseMoved" or
  // "mouseReleased"; x and y are in the window's pixels.
  void Mouse(const std::string& type, double x, double y);
  // The same with keys held: a sum of the protocol's modifier bits below.
  void Mouse(const std::string& type, double x, double y, int modifiers);
  // Presses the left button at (x1, y1), moves to (x2, y2) in steps and
  // releases it there.
  void Drag(double x1, double y1, double x2, double y2, int steps = 8);
  void Drag(double x1, double y1, double x2, double y2, int steps, int modifiers);

  static constexpr int kAlt = 1, kCtrl = 2, kShift = 8;
  // Presses and releases a key as the keyboard does: key is a character
  // ("c", "?") or a key's name ("ArrowLeft", "Tab", "Escape", "Delete").
  void Key(const std::string& key, int modifiers = 0);
  // Lets the page at origin read and write the system clipboard.
  void AllowClipboard(const std::string& origin);
  // The window as a PNG file.
  std::string Screenshot();

 private:
  using Clock = std::chrono::steady_clock;

  nlohmann::json Command(const std::string& method, const nlohmann::json& params,
                         bool inTab = true);
  void WaitForLoad();
  void DropEvents(const std::string& method);
  nlohmann::json ReadMessage(Clock::time_point deadline);

  pid_t FPid = -1;
  int FToBrowser = -1;
  int FFromBrowser = -1;
  int FNextId = 1;
  bool FButtonDown = false;
  std::string FSession;
  std::string FPending;                // bytes read after the last message
  std::deque<nlohmann::json> FEvents;  // events read while awaiting answers
  std::filesystem::path FLog;
};

}  // namespace tavkit::testsupport
