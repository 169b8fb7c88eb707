// Running `tavkit render` on the design: the copy of the text, the child
// process with its two output pipes read together (either may fill up
// first), and a time limit.
#include "design/PageRenderer.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include "design/ChildProcesses.h"
#include "design/DesignFiles.h"

extern char** environ;

namespace tavkit::design {

namespace fs = std::filesystem;

namespace {

// Removes the copy of the form however the render ends.
struct TTemporaryFile {
  std::string Path;
  ~TTemporaryFile() {
    std::error_code ignored;
    fs::remove(Path, ignored);
  }
};

}  // namespace

TPageRenderer::TPageRenderer(std::string program, std::string imageDir, std::string imageUrl)
    : FProgram(std::move(program)),
      FImageDir(std::move(imageDir)),
      FImageUrl(std::move(imageUrl)) {}

TRenderResult TPageRenderer::Render(const std::string& formText,
                                    const std::string& formFile) const {
  TRenderResult result;
  const fs::path form(formFile);
  TTemporaryFile copy;
  try {
    const int fd = CreateUniqueFile(
        (form.parent_path() / ("." + form.filename().string() + ".render-")).string(), copy.Path);
    const bool written = WriteAllBytes(fd, formText.data(), formText.size()) == 0;
    if (close(fd) != 0 || !written) {
      result.Error = "cannot write " + copy.Path;
      return result;
    }
  } catch (const Exception& e) {
    result.Error = e.Message();
    return result;
  }
  TPipe out, err;
  if (out.Read < 0 || err.Read < 0) {
    result.Error = "cannot make a pipe for the renderer";
    return result;
  }
  const pid_t pid = StartChild(FProgram,
                               {FProgram, "render", copy.Path, "--image-dir", FImageDir,
                                "--image-url", FImageUrl},
                               -1, out.Write, err.Write);
  if (pid < 0) {
    result.Error = "cannot run " + FProgram;
    return result;
  }
  out.CloseWrite();
  err.CloseWrite();

  std::string stdoutText, stderrText;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutSeconds);
  bool outOpen = true, errOpen = true, timedOut = false;
  while (outOpen || errOpen) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      timedOut = true;
      break;
    }
    pollfd fds[2] = {{outOpen ? out.Read : -1, POLLIN, 0}, {errOpen ? err.Read : -1, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(left.count())) < 0) {
      if (errno == EINTR) continue;
      timedOut = true;
      break;
    }
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        (i == 0 ? outOpen : errOpen) = false;
        continue;
      }
      (i == 0 ? stdoutText : stderrText).append(buffer, static_cast<std::size_t>(n));
    }
  }
  if (timedOut) kill(pid, SIGKILL);
  ForgetChild(pid);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (timedOut) {
    result.Error =
        "the page took longer than " + std::to_string(TimeoutSeconds) + " seconds to render";
    return result;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    result.Ok = true;
    result.Html = std::move(stdoutText);
    return result;
  }
  while (!stderrText.empty() && (stderrText.back() == '\n' || stderrText.back() == '\r'))
    stderrText.pop_back();
  // The copy's name means nothing to the designer: the messages name the form.
  for (std::size_t at; (at = stderrText.find(copy.Path)) != std::string::npos;)
    stderrText.replace(at, copy.Path.size(), formFile);
  result.Error = stderrText.empty() ? "the renderer failed" : stderrText;
  return result;
}

}  // namespace tavkit::design
