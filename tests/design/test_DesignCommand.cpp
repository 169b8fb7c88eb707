// tavkit design's arguments and failures, as the other subcommands have
// them: usage on --help, exit 2 for bad arguments, exit 1 with one error
// line for a form that cannot be designed.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <thread>

#include "DesignTestSupport.h"

namespace tavkit {
namespace {

struct TRun {
  int Status = -1;
  std::string Out;
  std::string Err;
};

// Runs a command line, its output kept apart.
TRun RunCommand(const std::string& commandLine) {
  const auto folder = designtest::ScratchFolder("design-command");
  const std::string command = commandLine + " >'" + (folder / "out").string() + "' 2>'" +
                              (folder / "err").string() + "' </dev/null";
  const int status = std::system(command.c_str());
  TRun run;
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = testsupport::ReadText(folder / "out");
  run.Err = testsupport::ReadText(folder / "err");
  return run;
}

TRun Design(const std::string& arguments) {
  return RunCommand("'" TAVKIT_PROGRAM "' design " + arguments);
}

TEST(DesignCommand, PrintsItsUsage) {
  const TRun help = Design("--help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Out.rfind("usage: tavkit design FORM [--port N] [--data-time-limit SECONDS]\n", 0),
            0u);
}

TEST(DesignCommand, RefusesBadArgumentsAndFormsItCannotRead) {
  EXPECT_EQ(Design("").Status, 2);
  EXPECT_EQ(Design("a.json b.json").Status, 2);
  EXPECT_EQ(Design("a.json --port 70000").Err, "error: --port needs a number from 0 to 65535\n");
  EXPECT_EQ(Design("a.json --data-time-limit 0").Err,
            "error: --data-time-limit needs a number from 1 to 3600\n");
  EXPECT_EQ(Design("a.json --colour red").Err, "error: unknown option --colour\n");

  const auto folder = designtest::ScratchFolder("design-command-form");
  designtest::WriteFile(folder / "broken.json", "{\"form\": 1}");
  const TRun broken = Design("'" + (folder / "broken.json").string() + "'");
  EXPECT_EQ(broken.Status, 1);
  EXPECT_EQ(broken.Err, "error: Form file " + (folder / "broken.json").string() +
                            ": \"form\" must be given as a string\n");
  EXPECT_EQ(broken.Out, "");
}

TEST(DesignCommand, RefusesAPortInUseAndAFolderThatCannotTakeTheForm) {
  const auto folder = designtest::ScratchFolder("design-command-start");
  const auto form = folder / "form.json";
  designtest::WriteFile(form, designtest::kTestForm);
  designtest::DesignerProgram first(form, folder / "first.log");
  EXPECT_TRUE(std::regex_match(first.Url(),
                               std::regex(R"(http://127\.0\.0\.1:[0-9]+/\?token=[0-9a-f]{64})")))
      << first.Url();

  const std::string missing = (folder / "missing" / "form.json").string();
  const struct {
    std::string Arguments;
    std::string Error;
  } cases[] = {
      {"'" + form.string() + "' --port " + std::to_string(first.Port()),
       "error: port " + std::to_string(first.Port()) + " is in use\n"},
      {"'" + missing + "'", "error: Form file " + missing + " cannot be designed: the folder " +
                                (folder / "missing").string() + " does not exist\n"},
  };
  for (const auto& c : cases) {
    const TRun run = Design(c.Arguments);
    EXPECT_EQ(run.Status, 1) << c.Arguments;
    EXPECT_EQ(run.Err, c.Error);
    EXPECT_EQ(run.Out, "");
  }
  EXPECT_EQ(first.Request("GET", "/api/state").Status, 200);

  // A folder the user cannot write: run as nobody when the tests run as
  // root, whom no mode bit stops.
  const auto locked = folder / "locked";
  designtest::fs::create_directories(locked);
  designtest::WriteFile(locked / "form.json", designtest::kTestForm);
  designtest::fs::permissions(
      locked, designtest::fs::perms::owner_read | designtest::fs::perms::owner_exec |
                  designtest::fs::perms::group_read | designtest::fs::perms::group_exec |
                  designtest::fs::perms::others_read | designtest::fs::perms::others_exec);
  const std::string asUser =
      geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  const TRun run =
      RunCommand(asUser + "'" TAVKIT_PROGRAM "' design '" + (locked / "form.json").string() + "'");
  designtest::fs::permissions(locked, designtest::fs::perms::owner_all);
  EXPECT_EQ(run.Status, 1);
  EXPECT_EQ(run.Err, "error: Form file " + (locked / "form.json").string() +
                         " cannot be designed: the folder " + locked.string() +
                         " cannot be written (Permission denied)\n");
}

// SIGTERM or SIGINT while an edit waits on a query that never ends: the
// designer stops at once and the edit made before is kept.
TEST(DesignCommand, StopsOnASignalWhileAnEditWaitsAndKeepsTheWork) {
  for (const int signal : {SIGTERM, SIGINT}) {
    const auto folder = designtest::ScratchFolder("design-command-stop-" + std::to_string(signal));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((folder / "shop.db").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "CREATE TABLE t (a TEXT);", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    const auto form = folder / "form.json";
    designtest::WriteFile(form, R"({"form": "F", "components": [{"class": "TSQLiteQuery",
        "name": "Q", "properties": {"DatabaseFile": "shop.db", "SQL": ["SELECT a FROM t"],
        "Active": true}}, {"class": "TWvPage", "name": "Page1",
        "properties": {"Width": 300, "Height": 200}}]})");
    // The edit before is one that a loaded machine must not refuse for time.
    designtest::DesignerProgram designer(form, folder / "designer.log", {"--data-time-limit", "120"});
    const auto before = designer.Request("POST", "/api/bounds",
                                         R"({"component": "Page1", "left": 0, "top": 0, "width": 333,
                                             "height": 200})");
    ASSERT_EQ(before.Status, 200);
    ASSERT_NE(before.Body.find("\"changed\":true"), std::string::npos) << before.Body;
    std::thread stuck([&] {
      try {
        designer.Request(
            "POST", "/api/property",
            R"({"component": "Q", "path": ["SQL"], "value": ["WITH RECURSIVE c(x) AS )"
            R"((SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c WHERE x = 0"]})");
      } catch (const std::exception&) {
        // The connection may close without an answer as the designer stops.
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    designer.Signal(signal);
    int status = -1;
    const bool ended = designer.WaitForExit(10, status);
    stuck.join();
    ASSERT_TRUE(ended) << "signal " << signal << " did not stop the designer";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string unsaved = testsupport::ReadText(form.string() + ".unsaved");
    EXPECT_NE(unsaved.find("\"Width\": 333"), std::string::npos) << unsaved;
    EXPECT_EQ(testsupport::ReadText(folder / "designer.log"),
              "tavkit design: changes not saved to " + form.string() + " are kept in " +
                  form.string() + ".unsaved\n");
  }
}

}  // namespace
}  // namespace tavkit
