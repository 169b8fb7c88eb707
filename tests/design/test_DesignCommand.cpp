// tavkit design's arguments and failures, as the other subcommands have
// them: usage on --help, exit 2 for bad arguments, exit 1 with one error
// line for a form that cannot be designed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "DesignTestSupport.h"

namespace tavkit {
namespace {

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

TRun Design(const std::string& arguments) {
  const auto folder = designtest::ScratchFolder("design-command");
  const std::string command = "'" TAVKIT_PROGRAM "' design " + arguments + " >'" +
                              (folder / "out").string() + "' 2>'" + (folder / "err").string() +
                              "' </dev/null";
  const int status = std::system(command.c_str());
  TRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = testsupport::ReadText(folder / "out");
  run.Err = testsupport::ReadText(folder / "err");
  return run;
}

TEST(DesignCommand, PrintsItsUsage) {
  const TRun help = Design("--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Out.rfind("usage: tavkit design FORM [--port N]\n", 0), 0u);
}

TEST(DesignCommand, RefusesBadArgumentsAndFormsItCannotRead) {
  EXPECT_EQ(Design("").Status, 2);
  EXPECT_EQ(Design("a.json b.json").Status, 2);
  EXPECT_EQ(Design("a.json --port 70000").Err, "error: --port needs a number from 0 to 65535\n");
  EXPECT_EQ(Design("a.json --colour red").Err, "error: unknown option --colour\n");

  const auto folder = designtest::ScratchFolder("design-command-form");
  designtest::WriteFile(folder / "broken.json", "{\"form\": 1}");
  const TRun broken = Design("'" + (folder / "broken.json").string() + "'");
  EXPECT_EQ(broken.Status, 1);
  EXPECT_EQ(broken.Err, "error: Form file " + (folder / "broken.json").string() +
                            ": \"form\" must be given as a string\n");
  EXPECT_EQ(broken.Out, "");
}

}  // namespace
}  // namespace tavkit
