// Tests of the CGI gateway: response bytes, form variables from the query
// string and from a POST body, and failed writes. Most cases inject the
// environment and the streams; the process-level cases fork a child whose
// real environment, standard input and standard output are set up for it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {
namespace {

using Env = std::map<std::string, std::string>;

// A gateway reading the given environment and body, writing into Out.
struct Gateway {
  explicit Gateway(Env env, std::string body = "")
      : Vars(std::move(env)), In(std::vector<std::uint8_t>(body.begin(), body.end())) {
    Cgi.SetEnvironment([this](const std::string& name) -> std::optional<std::string> {
      auto it = Vars.find(name);
      if (it == Vars.end()) return std::nullopt;
      return it->second;
    });
    Cgi.SetInput(&In);
    Cgi.SetOutput(&Out);
  }
  Env Vars;
  TMemoryStream In;
  TMemoryStream Out;
  TWvCGI Cgi{nullptr};
};

Env Query(const std::string& query) {
  return {{"QUERY_STRING", query}};
}

Env Post(const std::string& query, const std::string& length,
         const std::string& type = "application/x-www-form-urlencoded") {
  return {{"QUERY_STRING", query},
          {"REQUEST_METHOD", "POST"},
          {"CONTENT_TYPE", type},
          {"CONTENT_LENGTH", length}};
}

TEST(WvCGISend, HeaderOnlyOnTheFirstCall) {
  Gateway g({});
  g.Cgi.Send("A");
  g.Cgi.Send("B");
  EXPECT_EQ(g.Out.ToString(), "Content-Type: text/html\r\n\r\nA\r\n\r\nB\r\n");
  EXPECT_TRUE(g.Cgi.GetHeaderSent());
}

TEST(WvCGISend, EmptyTextStillWritesBothEmptyLines) {
  Gateway g({});
  g.Cgi.Send("");
  EXPECT_EQ(g.Out.ToString(), "Content-Type: text/html\r\n\r\n\r\n");
}

// An output that accepts nothing, as a full device would.
class TFullStream : public TMemoryStream {
 public:
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
};

TEST(WvCGISend, RefusedWriteRaisesInOutError) {
  Gateway g({});
  TFullStream full;
  g.Cgi.SetOutput(&full);
  EXPECT_THROW(g.Cgi.Send("A"), EInOutError);
  EXPECT_FALSE(g.Cgi.GetHeaderSent());
}

TEST(WvCGIFormVar, DecodesPlusAndHexEscapesOnce) {
  Gateway g(
      Query("name=Ann+Lee&city=New%20York&x=%41&plus=%2B&pct=%25&rate=100%25&"
            "lower=%2b%7e&twice=%2541&odd=%4&bad=%zz1&tail=50%&pp=%%41"));
  EXPECT_EQ(g.Cgi.FormVar("name", ""), "Ann Lee");
  EXPECT_EQ(g.Cgi.FormVar("city", ""), "New York");
  EXPECT_EQ(g.Cgi.FormVar("x", ""), "A");
  EXPECT_EQ(g.Cgi.FormVar("plus", ""), "+");
  EXPECT_EQ(g.Cgi.FormVar("pct", ""), "%");
  EXPECT_EQ(g.Cgi.FormVar("rate", ""), "100%");
  EXPECT_EQ(g.Cgi.FormVar("lower", ""), "+~");
  EXPECT_EQ(g.Cgi.FormVar("twice", ""), "%41");
  EXPECT_EQ(g.Cgi.FormVar("odd", ""), "%4");
  EXPECT_EQ(g.Cgi.FormVar("bad", ""), "%zz1");
  EXPECT_EQ(g.Cgi.FormVar("tail", ""), "50%");
  EXPECT_EQ(g.Cgi.FormVar("pp", ""), "%A");
}

TEST(WvCGIFormVar, DecodesEveryByteValue) {
  Gateway g(Query("z=%00%FF%e9"));
  EXPECT_EQ(g.Cgi.FormVar("z", ""), std::string("\0\xFF\xE9", 3));
}

TEST(WvCGIFormVar, DefaultComesBackAsGiven) {
  Gateway g(Query("other=1"));
  EXPECT_EQ(g.Cgi.FormVar("x", "x+y"), "x+y");
  EXPECT_EQ(g.Cgi.FormVar("x", "50%"), "50%");
  EXPECT_EQ(g.Cgi.FormVar("x", "%41"), "%41");
}

TEST(WvCGIFormVar, FirstExactNameWins) {
  Gateway g(Query("a=1&a=2&A=3&ab=4&q=a=b&flag&e="));
  EXPECT_EQ(g.Cgi.FormVar("a", "d"), "1");
  EXPECT_EQ(g.Cgi.FormVar("A", "d"), "3");
  EXPECT_EQ(g.Cgi.FormVar("ab", "d"), "4");
  EXPECT_EQ(g.Cgi.FormVar("q", "d"), "a=b");
  EXPECT_EQ(g.Cgi.FormVar("flag", "d"), "d");
  EXPECT_EQ(g.Cgi.FormVar("e", "d"), "");
  EXPECT_EQ(g.Cgi.FormVar("b", "d"), "d");
  EXPECT_EQ(g.Cgi.FormVar("", "d"), "d");
}

TEST(WvCGIFormVar, UpperCaseQueryDoesNotMatchLowerCaseName) {
  Gateway g(Query("A=1"));
  EXPECT_EQ(g.Cgi.FormVar("a", "none"), "none");
}

TEST(WvCGIFormVar, PiecesAreKeptRawInQueryOrder) {
  Gateway g(Query("&&x=1&y=%41+&"));
  g.Cgi.FormVar("x", "");
  ASSERT_NE(g.Cgi.GetVariables(), nullptr);
  EXPECT_EQ(g.Cgi.GetVariables()->ToVector(), (std::vector<std::string>{"", "", "x=1", "y=%41+"}));
}

TEST(WvCGIFormVar, EmptyOrMissingQueryStringGivesNoVariables) {
  Gateway empty(Query(""));
  EXPECT_EQ(empty.Cgi.FormVar("a", "d"), "d");
  EXPECT_EQ(empty.Cgi.GetVariables()->Count(), 0);
  Gateway missing({});
  EXPECT_EQ(missing.Cgi.GetQueryString(), "");
  EXPECT_EQ(missing.Cgi.FormVar("a", "d"), "d");
}

TEST(WvCGIFormVar, LongQueryStringIsReadWhole) {
  std::string query = "pad=" + std::string(5000, 'p') + "&last=end";
  Gateway g(Query(query));
  EXPECT_EQ(g.Cgi.GetQueryString(), query);
  EXPECT_EQ(g.Cgi.FormVar("last", ""), "end");
}

TEST(WvCGIFormVar, VariablesAreLoadedOnce) {
  Gateway g(Query("a=1"));
  EXPECT_EQ(g.Cgi.FormVar("a", ""), "1");
  g.Vars["QUERY_STRING"] = "a=2&b=3";
  EXPECT_EQ(g.Cgi.FormVar("a", ""), "1");
  EXPECT_EQ(g.Cgi.FormVar("b", "none"), "none");
}

TEST(WvCGIPost, BodyVariablesFollowTheQueryString) {
  Gateway g(Post("a=query", "29", "Application/X-WWW-Form-Urlencoded; charset=UTF-8"),
            "a=body&b=Hello+World%21&c=%41");
  EXPECT_EQ(g.Cgi.FormVar("a", ""), "query");
  EXPECT_EQ(g.Cgi.FormVar("b", ""), "Hello World!");
  EXPECT_EQ(g.Cgi.FormVar("c", ""), "A");
  EXPECT_EQ(g.Cgi.GetVariables()->ToVector(),
            (std::vector<std::string>{"a=query", "a=body", "b=Hello+World%21", "c=%41"}));
}

TEST(WvCGIPost, ReadsOnlyTheAnnouncedLength) {
  Gateway g(Post("", "3"), "a=1&b=2");
  EXPECT_EQ(g.Cgi.FormVar("a", ""), "1");
  EXPECT_EQ(g.Cgi.FormVar("b", "none"), "none");
  EXPECT_EQ(g.In.GetPosition(), 3);
}

TEST(WvCGIPost, ShortBodyIsTakenAsItArrived) {
  Gateway g(Post("", "100"), "a=1&b=tru");
  EXPECT_EQ(g.Cgi.FormVar("b", ""), "tru");
}

TEST(WvCGIPost, BodyIsIgnoredUnlessAUrlencodedPost) {
  Env get = Post("q=1", "3");
  get["REQUEST_METHOD"] = "GET";
  Gateway viaGet(get, "a=1");
  EXPECT_EQ(viaGet.Cgi.FormVar("a", "none"), "none");
  EXPECT_EQ(viaGet.In.GetPosition(), 0);
  Gateway multipart(Post("", "3", "multipart/form-data; boundary=x"), "a=1");
  EXPECT_EQ(multipart.Cgi.FormVar("a", "none"), "none");
  Gateway noLength(Post("", ""), "a=1");
  EXPECT_EQ(noLength.Cgi.FormVar("a", "none"), "none");
}

TEST(WvCGIPost, OversizedBodyIsRefusedWithoutReading) {
  Gateway g(Post("a=1", "1048577"), "b=2");
  try {
    g.Cgi.FormVar("a", "");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Request body of 1048577 bytes exceeds the limit of 1048576 bytes");
  }
  EXPECT_EQ(g.In.GetPosition(), 0);
  // The failure stays: later calls must not answer as if there were no body.
  EXPECT_THROW(g.Cgi.FormVar("a", ""), Exception);

  Gateway huge(Post("", "99999999999999999999999"), "b=2");
  EXPECT_THROW(huge.Cgi.FormVar("b", ""), Exception);
}

TEST(WvCGIPost, LimitIsASetting) {
  Gateway g(Post("", "7"), "a=12345");
  g.Cgi.SetMaxContentLength(6);
  EXPECT_THROW(g.Cgi.FormVar("a", ""), Exception);
  Gateway exact(Post("", "7"), "a=12345");
  exact.Cgi.SetMaxContentLength(7);
  EXPECT_EQ(exact.Cgi.FormVar("a", ""), "12345");
  EXPECT_THROW(exact.Cgi.SetMaxContentLength(-1), Exception);
}

TEST(WvCGIPost, MalformedContentLengthIsAnError) {
  Gateway g(Post("", "12abc"), "a=1");
  try {
    g.Cgi.FormVar("a", "");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Invalid CONTENT_LENGTH \"12abc\"");
  }
  Gateway negative(Post("", "-5"), "a=1");
  EXPECT_THROW(negative.Cgi.FormVar("a", ""), Exception);
}

TEST(WvCGIRegistry, OnTheTavenoPalette) {
  WvCGI::Register();
  const TClassInfo* info = TClassRegistry::Instance().Find("TWvCGI");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PalettePage, "Taveno");
  EXPECT_TRUE(info->Properties.empty());
  TComponent owner(nullptr);
  EXPECT_NE(dynamic_cast<TWvCGI*>(CreateComponent("TWvCGI", &owner)), nullptr);
}

// ---- The real process environment, standard input and standard output ----

struct ChildRun {
  std::string Stdout;
  std::string Report;
  int ExitStatus = -1;
};

std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

// Runs body in a forked child with exactly the environment env and input on
// its standard input. Its standard output is captured, or is outFd when one
// is given. What body returns (or the message of what it raised) comes back
// as the report.
ChildRun RunInChild(const Env& env, const std::string& input,
                    const std::function<std::string()>& body, int outFd = -1) {
  int in[2], out[2], report[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(report) != 0) return {};
  WriteAll(in[1], input);  // small inputs fit in the pipe
  close(in[1]);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(outFd >= 0 ? outFd : out[1], STDOUT_FILENO);
    close(out[0]);
    close(report[0]);
    clearenv();
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::string result;
    try {
      result = body();
    } catch (const EInOutError& e) {
      result = "EInOutError " + std::to_string(e.ErrorCode) + ": " + e.Message();
    } catch (const std::exception& e) {
      result = std::string("exception: ") + e.what();
    }
    WriteAll(report[1], result);
    _exit(0);
  }
  close(in[0]);
  close(out[1]);
  close(report[1]);
  ChildRun run;
  run.Stdout = ReadAll(out[0]);
  run.Report = ReadAll(report[0]);
  close(out[0]);
  close(report[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

TEST(WvCGIProcess, AnswersAPostRequestThroughTheRealStreams) {
  ChildRun run = RunInChild(Post("page=2", "18"), "name=Ann+Lee&x=%41", [] {
    TWvCGI cgi(nullptr);
    std::string values = cgi.FormVar("page", "") + "|" + cgi.FormVar("name", "") + "|" +
                         cgi.FormVar("x", "") + "|" + cgi.FormVar("none", "d+%");
    cgi.Send("<HTML></HTML>");
    cgi.Send("more");
    return values;
  });
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_EQ(run.Report, "2|Ann Lee|A|d+%");
  EXPECT_EQ(run.Stdout, "Content-Type: text/html\r\n\r\n<HTML></HTML>\r\n\r\nmore\r\n");
}

TEST(WvCGIProcess, UnsetQueryStringIsEmpty) {
  ChildRun run = RunInChild({}, "", [] {
    TWvCGI cgi(nullptr);
    return "[" + cgi.GetQueryString() + "]" + cgi.FormVar("a", "d");
  });
  EXPECT_EQ(run.Report, "[]d");
}

TEST(WvCGIProcess, FullDiskIsReported) {
  int full = open("/dev/full", O_WRONLY);
  if (full < 0) GTEST_SKIP() << "no /dev/full";
  ChildRun run = RunInChild(
      {}, "",
      [] {
        TWvCGI cgi(nullptr);
        cgi.Send("page");
        return std::string("no error");
      },
      full);
  close(full);
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_EQ(run.Report, "EInOutError " + std::to_string(ENOSPC) +
                            ": Cannot write to standard output: No space left on device");
}

TEST(WvCGIProcess, ClosedPipeIsReportedAndDoesNotKillTheProcess) {
  int p[2];
  ASSERT_EQ(pipe(p), 0);
  close(p[0]);
  ChildRun run = RunInChild(
      {}, "",
      [] {
        TWvCGI cgi(nullptr);
        cgi.Send("page");
        return std::string("no error");
      },
      p[1]);
  close(p[1]);
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_EQ(run.Report, "EInOutError " + std::to_string(EPIPE) +
                            ": Cannot write to standard output: Broken pipe");
}

}  // namespace
}  // namespace tavkit
