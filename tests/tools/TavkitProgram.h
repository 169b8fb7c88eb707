// Runs the built tavkit program as a user runs it from a shell, for the
// tests of its subcommands: each test gets a fresh folder of its own, and a
// run gives the exit status and everything written to standard output and
// standard error.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestSupport.h"

namespace tavkit::tooltest {

namespace fs = std::filesystem;

struct Outcome {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// A fixture whose folder is TAVKIT_BINARY_DIR/<area>/<test name>, emptied
// before each test.
class TavkitProgramTest : public ::testing::Test {
 protected:
  explicit TavkitProgramTest(const std::string& area) : FArea(area) {}

  void SetUp() override {
    dir = fs::path(TAVKIT_BINARY_DIR) / FArea /
          ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
  }

  // Runs tavkit with the given arguments (already quoted for the shell) and
  // the given environment assignments in front, with nothing on its input.
  Outcome Tavkit(const std::string& arguments, const std::string& environment = "") {
    std::string command = environment + " '" TAVKIT_PROGRAM "' " + arguments + " >'" +
                          (dir / "out").string() + "' 2>'" + (dir / "err").string() +
                          "' </dev/null";
    int status = std::system(command.c_str());
    Outcome run;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Out = testsupport::ReadText(dir / "out");
    run.Err = testsupport::ReadText(dir / "err");
    return run;
  }

  fs::path dir;

 private:
  std::string FArea;
};

}  // namespace tavkit::tooltest
