// Small helpers that tests of several suites share: the message an action
// raises, the lines of the error log, nested form texts, pixels of one colour in a bitmap, whole
// files, and waiting for another thread with a deadline, so that a test that waits for something
// that never happens fails with a message instead of hanging.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <tavkit/platform/base/ErrorLog.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>

namespace tavkit::testsupport {

// What ErrorOf answers when the action raises nothing; no message of the
// library reads like this.
inline const std::string kNoError = "(no error)";

// The message of the E (or of a class derived from it) that action raises,
// or kNoError when it raises none. Any other exception passes through and
// fails the test, so the class of the error is checked as well.
template <class E = Exception, class F>
std::string ErrorOf(F&& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  return kNoError;
}

// The lines the library writes to its error log while this object lives.
class TCapturedErrorLog {
 public:
  TCapturedErrorLog()
      : FPrevious(SetErrorLogHandler([this](const std::string& line) { Lines.push_back(line); })) {}
  ~TCapturedErrorLog() { SetErrorLogHandler(std::move(FPrevious)); }
  TCapturedErrorLog(const TCapturedErrorLog&) = delete;
  TCapturedErrorLog& operator=(const TCapturedErrorLog&) = delete;

  std::vector<std::string> Lines;

 private:
  TErrorLogHandler FPrevious;
};

// The text of a form file holding a chain of `levels` + 1 containers of the
// class, each the only child of the one above, named P0, P1, ...
inline std::string NestedFormText(const std::string& className, int levels) {
  std::string text = R"({"form": "F", "components": [)";
  for (int i = 0; i <= levels; ++i) {
    text += R"({"class": ")" + className + R"(", "name": "P)" + std::to_string(i) + R"(")";
    if (i < levels) text += R"(, "children": [)";
  }
  for (int i = 0; i < levels; ++i) text += "}]";
  return text + "}]}";
}

// How many pixels of the bitmap, or of one rectangle of it, have the colour.
inline int CountPixels(const TBitmap& bitmap, const TRect& area, TColor colour) {
  int count = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) count += bitmap.GetPixel(x, y) == colour;
  return count;
}

inline int CountPixels(const TBitmap& bitmap, TColor colour) {
  return CountPixels(bitmap, Rect(0, 0, bitmap.GetWidth(), bitmap.GetHeight()), colour);
}

// A PNG file as a bitmap.
inline std::unique_ptr<TBitmap> LoadPNG(const std::filesystem::path& path) {
  TFileStream stream(path.string(), fmOpenRead);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->LoadFromPNGStream(stream);
  return bitmap;
}

// The bytes of a file as they are; empty when it cannot be read.
inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs step until ready() answers true and answers true, or answers false
// once limit has passed. Callers assert on the answer with a message that
// says what did not happen.
template <class Ready, class Step>
bool WaitUntil(Ready&& ready, Step&& step,
               std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    step();
  }
  return true;
}

template <class Ready>
bool WaitUntil(Ready&& ready) {
  return WaitUntil(std::forward<Ready>(ready), [] { std::this_thread::yield(); });
}

}  // namespace tavkit::testsupport
