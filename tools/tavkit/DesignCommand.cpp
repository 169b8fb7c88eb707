// tavkit design: serves the visual designer of a form file on 127.0.0.1 and
// prints its address; a browser opened by the user does the rest. The
// program stops on Ctrl-C (or SIGTERM): it ends the renderers and trial
// loads it started, lets the request in hand finish for a moment, and keeps
// the work not saved in any case, even when that request does not end.
// Run as `tavkit design --trial`, it is the designer's own trial of work
// that may read data (see design/DesignApi.h).
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Exceptions.h>
#include "Commands.h"
#include "design/ChildProcesses.h"
#include "design/DesignApi.h"
#include "design/DesignServer.h"
#include "design/DesignSession.h"
#include "design/PageRenderer.h"

namespace tavkit::cli {

namespace {

namespace fs = std::filesystem;

const char* const kDesignUsage =
    "usage: tavkit design FORM [--port N] [--data-time-limit SECONDS]\n"
    "\n"
    "Serves the designer of the form file FORM on 127.0.0.1 and prints its\n"
    "address; open it in a browser. The palette, the form drawn by the\n"
    "components' own design previews, the property inspector and the\n"
    "rendered page are shown side by side. Save writes FORM (the previous\n"
    "file is kept as FORM.bak); a FORM that does not exist yet is made on\n"
    "the first save. The address printed holds a token that every request\n"
    "needs. Stop the designer with Ctrl-C: changes not saved are then kept\n"
    "in FORM.unsaved (or, when the form's folder will not take it, in the\n"
    "temporary folder; the message says where).\n"
    "\n"
    "  --port N   the port to listen on (default: any free port)\n"
    "  --data-time-limit SECONDS\n"
    "             how long opening the form or an edit may take to read the\n"
    "             form's data before it is refused (default: 20)\n";

// The running program, for the renderer to run again as `tavkit render`.
std::string ThisProgram() {
  std::error_code error;
  fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) throw Exception("Cannot find the tavkit program itself: " + error.message());
  return self.string();
}

// A folder of the designer's own for the page's server images, removed when
// the designer stops.
struct TImageFolder {
  std::string Path;
  TImageFolder() {
    std::string pattern = (fs::temp_directory_path() / "tavkit-design-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw EInOutError("Cannot make a folder for images");
    Path = pattern;
  }
  ~TImageFolder() { Remove(); }
  void Remove() const {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
};

// How long a stop waits for the request in hand before the program ends
// without it.
constexpr auto kStopGrace = std::chrono::seconds(3);

// Keeps the design's unsaved changes and says where; false when they could
// not be kept.
bool KeepUnsavedWork(const design::TDesignSession& session) {
  try {
    const std::string kept = session.KeepUnsaved();
    if (!kept.empty())
      std::fprintf(stderr, "tavkit design: changes not saved to %s are kept in %s\n",
                   session.FileName().c_str(), kept.c_str());
    return true;
  } catch (const Exception& e) {
    std::fprintf(stderr, "error: %s\n", e.Message().c_str());
    return false;
  }
}

// A whole number from low to high given to option, or UsageError.
int ParseNumber(const std::string& option, const std::string& text, long low, long high) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < low || value > high)
    throw UsageError(option + " needs a number from " + std::to_string(low) + " to " +
                     std::to_string(high));
  return static_cast<int>(value);
}

}  // namespace

int DesignCommand(const Args& arguments) {
  if (WantsHelp(arguments)) {
    std::fputs(kDesignUsage, stdout);
    return 0;
  }
  // The designer runs itself so to try work that may read data.
  if (arguments.size() == 1 && arguments[0] == "--trial") {
    RegisterPackage();
    design::RunDesignTrial(
        std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()));
    return 0;
  }
  Args args = arguments;
  const int port = ParseNumber("--port", TakeOption(args, "--port", "0"), 0, 65535);
  const int dataSeconds =
      ParseNumber("--data-time-limit",
                  TakeOption(args, "--data-time-limit",
                             std::to_string(design::TDataTrial::DefaultSeconds)),
                  1, 3600);
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one form file");

  RegisterPackage();
  design::TDesignSession session(args[0], design::TDataTrial{ThisProgram(), dataSeconds});
  TImageFolder images;
  design::TPageRenderer renderer(ThisProgram(), images.Path + "/", "/images/");
  design::TDesignServer server(
      session,
      [&renderer](const std::string& text, const std::string& file) {
        return renderer.Render(text, file);
      },
      images.Path);

  // The signals are taken by a thread of their own, which stops the server;
  // every other thread, the server's included, has them blocked.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  const int bound = server.Bind(port);
  std::mutex doneLock;
  std::condition_variable doneSignal;
  bool done = false;
  std::thread stopper([&] {
    int received = 0;
    sigwait(&stopSignals, &received);
    std::unique_lock<std::mutex> lock(doneLock);
    if (done) return;
    design::KillChildren();
    server.Stop();
    if (doneSignal.wait_for(lock, kStopGrace, [&] { return done; })) return;
    // A request holds the server and does not end: the design as the last
    // finished edit left it is kept, and the program ends without it.
    std::fprintf(stderr, "tavkit design: stopped while a request was still running\n");
    const bool kept = KeepUnsavedWork(session);
    images.Remove();
    std::fflush(stderr);
    _exit(kept ? 0 : 1);
  });

  std::printf("tavkit design: %s at http://127.0.0.1:%d/?token=%s (Ctrl-C stops)\n",
              args[0].c_str(), bound, server.Token().c_str());
  std::fflush(stdout);
  server.Run();
  {
    std::lock_guard<std::mutex> lock(doneLock);
    done = true;
  }
  doneSignal.notify_all();
  // Run ended by itself (the socket failed): let the signal thread go too.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return KeepUnsavedWork(session) ? 0 : 1;
}

}  // namespace tavkit::cli
