// The tavkit command: renders and serves form files, draws previews and
// inspects, decodes and encodes GIF files. Each subcommand lives in a file of
// its own; this file only dispatches and turns exceptions into exit codes.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include <tavkit/package/Version.h>
#include "Commands.h"

namespace {

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: tavkit COMMAND [ARGS...]\n"
      "\n"
      "commands:\n",
      out);
  for (const auto& command : tavkit::cli::Commands())
    std::fprintf(out, "  %-10s %s\n", command.Name, command.Summary);
  std::fputs(
      "\nRun 'tavkit COMMAND --help' for the options of one command, 'tavkit --version'\n"
      "for the library's version.\n",
      out);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  if (args[0] == "--version") {
    std::printf("tavkit %s (%s, host framework %d.%d)\n", tavkit::LibraryVersion().c_str(),
                tavkit::LibraryName().c_str(), tavkit::HostFrameworkVersion() / 10,
                tavkit::HostFrameworkVersion() % 10);
    return 0;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    PrintUsage(stdout);
    return 0;
  }
  for (const auto& command : tavkit::cli::Commands()) {
    if (args[0] != command.Name) continue;
    args.erase(args.begin());
    try {
      return command.Run(args);
    } catch (const tavkit::cli::UsageError& e) {
      std::fprintf(stderr, "error: %s\n", e.what());
      return 2;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "error: %s\n", e.what());
      return 1;
    }
  }
  std::fprintf(stderr, "error: unknown command '%s'\n", args[0].c_str());
  PrintUsage(stderr);
  return 2;
}
