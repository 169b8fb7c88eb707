// The demo shop program as a FastCGI worker, without a web server in front:
// the same requests give the same bytes as the program run as CGI, apart
// from the server image names, whether the worker reads the shop from its
// SQLite file or from PostgreSQL; and its picture folder stays bounded by
// age and by count.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "DemoServer.h"
#include "FastCGIClient.h"
#include "TestSupport.h"
#include "PgTestDatabase.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using testsupport::CgiAnswer;
using testsupport::CgiEnv;

const std::string kProgram = std::string(TAVKIT_DEMO_DIR) + "/tavkit-demo";

CgiEnv Paths(const fs::path& images) {
  return {{"TAVKIT_IMAGE_DIR", images.string() + "/"}, {"TAVKIT_IMAGE_URL", "/images/"}};
}

CgiEnv With(CgiEnv env, const CgiEnv& more) {
  env.insert(more.begin(), more.end());
  return env;
}

std::string WithoutImageNames(const std::string& answer) {
  return std::regex_replace(answer, std::regex("AG[0-9]+_[0-9]+\\.gif"), "AG#.gif");
}

std::vector<fs::path> ServerImages(const fs::path& folder) {
  std::vector<fs::path> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind("AG", 0) == 0) found.push_back(entry.path());
  return found;
}

TEST(DemoWorker, AnswersAsTheCgiProgramDoes) {
  const fs::path images = demotest::FreshFolder("worker-bytes") / "images";
  fs::create_directories(images);
  testsupport::TPgTestDatabase shop;
  const std::string load = "'" TAVKIT_SOURCE_DIR "/examples/data/build-shop-db' --postgres '" +
                           shop.Connection + "' > /dev/null";
  ASSERT_EQ(std::system(load.c_str()), 0);
  testsupport::FastCGIWorker lite({kProgram}, Paths(images));
  testsupport::FastCGIWorker pg({kProgram},
                                With(Paths(images), {{"TAVKIT_DEMO_POSTGRES", shop.Connection}}));
  const CgiEnv get = {{"REQUEST_METHOD", "GET"}, {"SCRIPT_NAME", "/demo"}};
  const std::vector<std::pair<CgiEnv, std::string>> requests = {
      {get, ""},
      {With(get, {{"QUERY_STRING", "visitor=Ann+Lee&q=p&product=3"}}), ""},
      {{{"REQUEST_METHOD", "POST"},
        {"SCRIPT_NAME", "/demo"},
        {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
        {"CONTENT_LENGTH", "17"}},
       "visitor=Bo&q=an&x"},
      {With(get, {{"QUERY_STRING", "q=%3Cb%3E"}}), ""},
  };
  for (const auto& [env, body] : requests) {
    SCOPED_TRACE(env.at("REQUEST_METHOD") + " " +
                 (env.count("QUERY_STRING") ? env.at("QUERY_STRING") : ""));
    const CgiAnswer cgi = testsupport::RunCgiProgram({kProgram}, With(env, Paths(images)), body);
    EXPECT_EQ(cgi.ExitStatus, 0) << cgi.Errors;
    EXPECT_EQ(cgi.Output.rfind("Content-Type: text/html\r\n\r\n<!DOCTYPE", 0), 0u);
    for (const testsupport::FastCGIWorker* worker : {&lite, &pg}) {
      SCOPED_TRACE(worker == &pg ? "PostgreSQL" : "SQLite");
      const CgiAnswer fast = testsupport::SendFastCGIRequest(worker->Socket(), env, body);
      EXPECT_EQ(fast.Errors, "");
      EXPECT_EQ(WithoutImageNames(fast.Output), WithoutImageNames(cgi.Output));
    }
  }
  EXPECT_EQ(lite.Stop(), 0);
  EXPECT_EQ(pg.Stop(), 0);
}

TEST(DemoWorker, KeepsItsPicturesBoundedByAgeAndCount) {
  const fs::path images = demotest::FreshFolder("worker-cleanup") / "images";
  fs::create_directories(images);
  // Ten thousand and fifty pictures of the last nine minutes, oldest first, one
  // more than a quarter of an hour old, and a file that is no server image.
  const auto now = fs::file_time_type::clock::now();
  const int fresh = 10050;
  for (int i = 0; i < fresh; ++i) {
    const fs::path file = images / ("AG" + std::to_string(i) + "_1.gif");
    std::ofstream(file) << "x";
    fs::last_write_time(file, now - std::chrono::milliseconds(50 * (fresh - i)));
  }
  std::ofstream(images / "AG99999_9.gif") << "x";
  fs::last_write_time(images / "AG99999_9.gif", now - std::chrono::minutes(16));
  std::ofstream(images / "logo.gif") << "x";
  fs::last_write_time(images / "logo.gif", now - std::chrono::hours(2));

  testsupport::FastCGIWorker worker({kProgram}, Paths(images));
  const CgiAnswer answer = testsupport::SendFastCGIRequest(
      worker.Socket(), {{"REQUEST_METHOD", "GET"}, {"SCRIPT_NAME", "/demo"}});
  ASSERT_EQ(answer.Output.rfind("Content-Type: text/html", 0), 0u) << answer.Errors;
  // The worker cleans up beside its requests, not before answering.
  EXPECT_TRUE(testsupport::WaitUntil([&] { return ServerImages(images).size() == 10000u; },
                                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }))
      << ServerImages(images).size() << " pictures left";
  EXPECT_FALSE(fs::exists(images / "AG99999_9.gif"));
  EXPECT_TRUE(fs::exists(images / "logo.gif"));
  // The oldest went; the newest, among them the page's own, stayed.
  EXPECT_FALSE(fs::exists(images / "AG51_1.gif"));
  EXPECT_TRUE(fs::exists(images / "AG52_1.gif"));
  const std::regex name("AG[0-9]+_[0-9]+\\.gif");
  for (std::sregex_iterator it(answer.Output.begin(), answer.Output.end(), name), end; it != end;
       ++it)
    EXPECT_TRUE(fs::exists(images / it->str())) << it->str();
  EXPECT_EQ(worker.Stop(), 0);
}

}  // namespace
}  // namespace tavkit
