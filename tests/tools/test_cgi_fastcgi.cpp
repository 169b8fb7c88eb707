// tavkit cgi as a web server runs it: the same request, by GET or by POST,
// answered by a CGI process of its own and by one FastCGI worker that
// answers them all, must give the same bytes for every example page, apart
// from the names of the server images, which are new for every request.
// (The demo shop, a program of its own, is checked with the demo's tests.)
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "FastCGIClient.h"
#include "tools/TavkitProgram.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using testsupport::CgiAnswer;
using testsupport::CgiEnv;

class TavkitCgi : public tooltest::TavkitProgramTest {
 protected:
  TavkitCgi() : TavkitProgramTest("tavkit-cgi") {}
};

struct Request {
  CgiEnv Env;
  std::string Body;
};

std::vector<Request> Requests() {
  const CgiEnv get = {{"REQUEST_METHOD", "GET"}, {"SCRIPT_NAME", "/page"}, {"QUERY_STRING", ""}};
  CgiEnv query = get;
  query["QUERY_STRING"] = "visitor=Ann+Lee&q=p";
  CgiEnv post = {{"REQUEST_METHOD", "POST"},
                 {"SCRIPT_NAME", "/page"},
                 {"QUERY_STRING", "a=1"},
                 {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                 {"CONTENT_LENGTH", "12"}};
  return {{get, ""}, {query, ""}, {post, "visitor=Bo&x"}};
}

// The answer with every server image name replaced by one placeholder; the
// names are collected into names.
std::string WithoutImageNames(const std::string& answer, std::vector<std::string>& names) {
  const std::regex name("AG[0-9]+_[0-9]+\\.gif");
  for (std::sregex_iterator it(answer.begin(), answer.end(), name), end; it != end; ++it)
    names.push_back(it->str());
  return std::regex_replace(answer, name, "AG#.gif");
}

TEST_F(TavkitCgi, EveryExamplePageGivesTheSameBytesThroughCgiAndFastCgi) {
  // The forms with a page; pictures/ holds a form of drawings for the
  // showcase, with nothing to serve.
  const std::vector<std::string> forms = {"hello.json", "showcase.json"};
  for (const std::string& name : forms) {
    SCOPED_TRACE(name);
    const fs::path images = dir / "images" / name;
    fs::create_directories(images);
    const std::vector<std::string> command = {TAVKIT_PROGRAM, "cgi",
                                              TAVKIT_SOURCE_DIR "/examples/" + name, "--image-dir",
                                              images.string()};
    testsupport::FastCGIWorker worker(command);
    std::vector<std::string> names;
    for (const Request& request : Requests()) {
      SCOPED_TRACE(request.Env.at("QUERY_STRING"));
      const CgiAnswer cgi = testsupport::RunCgiProgram(command, request.Env, request.Body);
      const CgiAnswer fast =
          testsupport::SendFastCGIRequest(worker.Socket(), request.Env, request.Body);
      EXPECT_EQ(cgi.ExitStatus, 0) << cgi.Errors;
      EXPECT_EQ(cgi.Errors, "");
      EXPECT_EQ(fast.Errors, "");
      EXPECT_EQ(cgi.Output.rfind("Content-Type: text/html\r\n\r\n<!DOCTYPE", 0), 0u);
      EXPECT_EQ(WithoutImageNames(fast.Output, names), WithoutImageNames(cgi.Output, names));
    }
    EXPECT_EQ(worker.Stop(), 0);
    // Every page drew its pictures under names of its own.
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    for (const std::string& picture : names) EXPECT_TRUE(fs::exists(images / picture)) << picture;
  }
}

TEST_F(TavkitCgi, AWorkerWhoseFormCannotBeReadStopsWithItsName) {
  testsupport::FastCGIWorker worker({TAVKIT_PROGRAM, "cgi", (dir / "missing.json").string()});
  EXPECT_EQ(worker.Wait(), 1);
}

}  // namespace
}  // namespace tavkit
