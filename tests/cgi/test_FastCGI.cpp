// The request loop of TWvCGI as a web server meets it: one process answering
// request after request over FastCGI, each seeing only its own variables,
// body and answer; faults answered with an error page and a log line while
// the worker goes on; the library's error log written to the request's log;
// and SIGTERM, which lets the request in flight finish.
// The same requests are answered once each as plain CGI.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/platform/base/ErrorLog.h>
#include "FastCGIClient.h"

namespace tavkit {
namespace {

using testsupport::CgiAnswer;
using testsupport::CgiEnv;
using testsupport::FastCGIWorker;

// Echoes what the request holds, so that a variable of one request seen by
// the next would show; some requests fail on purpose or stop the worker.
void Echo(TWvCGI& cgi) {
  if (cgi.FormVar("fail", "") == "1") throw Exception("deliberate failure\non two lines");
  // What the library logs while the page is made goes to the request's log.
  if (cgi.FormVar("log", "") == "1") LogError("went on past a failure\nof two lines");
  if (cgi.FormVar("stop", "") == "1") {
    // The stop comes while this request is being answered; its answer
    // still goes out whole.
    kill(getpid(), SIGTERM);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  cgi.Send("name=" + cgi.FormVar("name", "-") + " q=" + cgi.FormVar("q", "-") +
           " method=" + cgi.GetRequestVariable("REQUEST_METHOD").value_or("-") +
           " pieces=" + std::to_string(cgi.GetVariables()->Count()) +
           " x=" + cgi.GetRequestVariable("HTTP_X_TEST").value_or("-"));
  if (cgi.FormVar("late", "") == "1") throw Exception("failed after sending");
}

CgiEnv Get(const std::string& query) {
  return {{"REQUEST_METHOD", "GET"}, {"SCRIPT_NAME", "/echo"}, {"QUERY_STRING", query}};
}

CgiEnv Post(const std::string& length, const std::string& query = "") {
  return {{"REQUEST_METHOD", "POST"},
          {"SCRIPT_NAME", "/echo"},
          {"QUERY_STRING", query},
          {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
          {"CONTENT_LENGTH", length}};
}

std::string Page(const std::string& text) {
  return "Content-Type: text/html\r\n\r\n" + text + "\r\n";
}

std::string Refusal(const std::string& status, const std::string& reason,
                    const std::string& explanation) {
  return "Status: " + status + " " + reason +
         "\r\nContent-Type: text/html\r\n\r\n<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\">"
         "<HTML><HEAD><TITLE>" +
         status + " " + reason + "</TITLE></HEAD><BODY><H1>" + reason + "</H1><P>" + explanation +
         "</P></BODY></HTML>\r\n";
}

struct Request {
  std::string Name;
  CgiEnv Env;
  std::string Body;
  std::string Output;
  std::string Errors;
  int CgiExit;  // what Serve returns for it in a CGI program
};

// In this order through one worker: each request follows one that had
// other variables, a body, a header variable or a failure.
std::vector<Request> Requests() {
  CgiEnv first = Get("name=Ann&q=apple");
  first["HTTP_X_TEST"] = "1";
  return {
      {"get", first, "", Page("name=Ann q=apple method=GET pieces=2 x=1"), "", 0},
      {"post", Post("6"), "q=pear", Page("name=- q=pear method=POST pieces=1 x=-"), "", 0},
      {"post with query", Post("8", "name=Cy"), "name=Dee",
       Page("name=Cy q=- method=POST pieces=2 x=-"), "", 0},
      {"failure", Get("fail=1"), "",
       Refusal("500", "Internal Server Error", "The page could not be made just now."),
       "error: GET /echo answered 500: deliberate failure on two lines\n", 1},
      {"failure after the page", Get("late=1"), "", Page("name=- q=- method=GET pieces=1 x=-"),
       "error: GET /echo answered 500: failed after sending (after the page had gone out)\n", 1},
      {"malformed length", Post("12abc"), "q=pear",
       Refusal("400", "Bad Request", "The request could not be understood."),
       "error: POST /echo answered 400: Invalid CONTENT_LENGTH \"12abc\"\n", 0},
      {"body over the limit", Post("1048577"), "",
       Refusal("413", "Content Too Large", "The form sent is larger than this page accepts."),
       "error: POST /echo answered 413: Request body of 1048577 bytes exceeds the limit of "
       "1048576 bytes\n",
       0},
      {"logged while answering", Get("log=1"), "", Page("name=- q=- method=GET pieces=1 x=-"),
       "error: went on past a failure of two lines\n", 0},
      {"get after all that", Get("name=Bob"), "", Page("name=Bob q=- method=GET pieces=1 x=-"), "",
       0},
  };
}

TEST(FastCGI, OneWorkerAnswersEachRequestWithItsOwnStateAndSurvivesFaults) {
  FastCGIWorker worker([] {
    TWvCGI cgi(nullptr);
    const int status = cgi.Serve(Echo);
    return cgi.IsFastCGI() ? status : 99;
  });
  for (const Request& request : Requests()) {
    SCOPED_TRACE(request.Name);
    const CgiAnswer answer =
        testsupport::SendFastCGIRequest(worker.Socket(), request.Env, request.Body);
    EXPECT_EQ(answer.Output, request.Output);
    EXPECT_EQ(answer.Errors, request.Errors);
  }
  EXPECT_EQ(worker.Stop(), 0);
}

TEST(FastCGI, ACgiProgramAnswersTheSameRequestsOnce) {
  for (const Request& request : Requests()) {
    SCOPED_TRACE(request.Name);
    TMemoryStream in(std::vector<std::uint8_t>(request.Body.begin(), request.Body.end()));
    TMemoryStream out, errors;
    TWvCGI cgi(nullptr);
    cgi.SetEnvironment([&request](const std::string& name) -> std::optional<std::string> {
      auto it = request.Env.find(name);
      if (it == request.Env.end()) return std::nullopt;
      return it->second;
    });
    cgi.SetInput(&in);
    cgi.SetOutput(&out);
    cgi.SetErrorOutput(&errors);
    int calls = 0;
    EXPECT_EQ(cgi.Serve([&calls](TWvCGI& c) {
      ++calls;
      Echo(c);
    }),
              request.CgiExit);
    EXPECT_FALSE(cgi.IsFastCGI());
    EXPECT_EQ(out.ToString(), request.Output);
    EXPECT_EQ(errors.ToString(), request.Errors);
    // A request refused for its length never reaches the handler.
    EXPECT_EQ(calls, request.Output.rfind("Status: 4", 0) == 0 ? 0 : 1);
  }
}

TEST(FastCGI, StopLetsTheRequestInFlightFinish) {
  FastCGIWorker worker([] { return TWvCGI(nullptr).Serve(Echo); });
  const CgiAnswer answer =
      testsupport::SendFastCGIRequest(worker.Socket(), Get("stop=1&name=Last"));
  EXPECT_EQ(answer.Output, Page("name=Last q=- method=GET pieces=2 x=-"));
  EXPECT_EQ(worker.Wait(), 0);
}

TEST(FastCGI, AnIdleWorkerStopsAtOnce) {
  FastCGIWorker worker([] { return TWvCGI(nullptr).Serve(Echo); });
  // Once it has answered, it is surely waiting for the next request.
  ASSERT_EQ(testsupport::SendFastCGIRequest(worker.Socket(), Get("name=A")).Output,
            Page("name=A q=- method=GET pieces=1 x=-"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(worker.Stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

}  // namespace
}  // namespace tavkit
