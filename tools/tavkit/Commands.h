// The subcommands of the tavkit program and the small argument helpers they
// share. A subcommand returns its exit code; it raises UsageError for bad
// arguments (exit 2) and any other exception for a failure (exit 1).
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tavkit::cli {

using Args = std::vector<std::string>;

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Command {
  const char* Name;
  const char* Summary;
  int (*Run)(const Args& args);
};

// Every subcommand, in the order the usage lists them.
const std::vector<Command>& Commands();

// True when args holds --help or -h.
bool WantsHelp(const Args& args);
// Takes "--name VALUE" out of args; returns the value or fallback.
std::string TakeOption(Args& args, const std::string& name, const std::string& fallback = "");
// Takes the flag "--name" out of args; returns whether it was there.
bool TakeFlag(Args& args, const std::string& name);
// Raises UsageError when an unknown option is left.
void RejectUnknownOptions(const Args& args);

int RenderCommand(const Args& args);
int CgiCommand(const Args& args);
int GifCommand(const Args& args);
int PreviewCommand(const Args& args);
int PaletteCommand(const Args& args);
int DesignCommand(const Args& args);

}  // namespace tavkit::cli
