// TWvCGI: the component through which an application answers web requests,
// as a CGI program (one request per process) or as a FastCGI worker (request
// after request over a socket, whichever way the web server started it). It
// sends the page behind a content-type header and reads the form variables
// of the request from the query string and a urlencoded POST body.
//
// ```cpp
// TWvCGI cgi(nullptr);
// int status = cgi.Serve([](TWvCGI& request) {
//   TComponent form(nullptr);  // a fresh page for every request
//   auto* page = new TWvPage(&form);
//   auto* search = new TWvInputForm(&form);
//   search->SetParent(page);
//   search->SetBounds(20, 10, 300, 40);
//   search->SetMethod(T_FormMethodType::Get);
//   auto* field = new TWvTextInputField(&form);
//   field->SetParent(search);
//   field->SetBounds(10, 10, 200, 20);
//   field->SetFieldName("q");
//   std::string wanted = request.FormVar("q", "");  // decoded; "" when it was not sent
//   // ... fill the page from it, escaping whatever goes back into the markup ...
//   request.Send(page->put(nullptr));  // the header, then the page
// });
// // status is what main returns: Serve answers until the web server stops it.
// ```
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/ErrorLog.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>

namespace tavkit {

namespace detail {
class TFastCGIConnection;
}

// Looks up one environment variable; nullopt when it is not set.
using TWvEnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

class TWvCGI;
// Answers the request that cgi holds: reads it through cgi and sends the page.
using TWvRequestHandler = std::function<void(TWvCGI& cgi)>;

// A request that cannot be understood as sent, such as a CONTENT_LENGTH that
// is not a number; Serve answers it with 400.
class EWvBadRequest : public Exception {
 public:
  using Exception::Exception;
};

class TWvCGI : public TComponent {
 public:
  explicit TWvCGI(TComponent* owner);
  ~TWvCGI() override;

  // Writes the header line (first call only), an empty line and Text with a
  // line end. A failed write raises EInOutError.
  void Send(const std::string& Text);
  // The whole value of QUERY_STRING; empty when it is not set.
  std::string GetQueryString();
  // Appends the raw pieces of the query string (and, on the first call, of a
  // urlencoded POST body) to the variable list, creating the list if needed.
  void LoadFormVars();
  // The decoded value of the first variable called VarName (exact, case-
  // sensitive name), else DefaultValue unchanged. The variables are loaded on
  // the first call; a body that cannot be read raises on every call.
  std::string FormVar(const std::string& VarName, const std::string& DefaultValue);

  // Serving. Accept makes the next request the one this component answers
  // and returns true, or returns false when there is none left: a CGI
  // program has the one request of its process, a FastCGI worker waits for
  // requests until it gets SIGTERM. Everything of the request before (its
  // variables, its body, whether its header went out) is forgotten, and its
  // answer finished, so nothing of one request is seen by the next.
  bool Accept();
  // Accept after Accept, each request answered by handler. A handler that
  // raises gets its request answered with a short error page (400 for a
  // malformed request, 413 for a body over the limit, else 500) and one line
  // naming the error in the web server's error log; the next request is
  // served as usual. Returns the exit status for main: 1 when a CGI
  // program's request failed, else 0.
  int Serve(const TWvRequestHandler& handler);
  // True once Accept found the process started as a FastCGI worker.
  bool IsFastCGI() const { return FFastCGI != nullptr; }
  // A CGI variable of the request being answered (SCRIPT_NAME, REMOTE_ADDR,
  // ...); nullopt when the request has none of that name.
  std::optional<std::string> GetRequestVariable(const std::string& name) const;

  bool GetHeaderSent() const { return FHeaderSent; }
  // The raw pieces loaded so far, or null before the first FormVar.
  const TStringList* GetVariables() const { return FVariables.get(); }

  // A POST body announced longer than this is refused with an Exception.
  std::int64_t GetMaxContentLength() const { return FMaxContentLength; }
  void SetMaxContentLength(std::int64_t limit);

  // Replace the process environment, standard input, standard output and
  // standard error of a CGI request (tests, embedding in a server); an empty
  // lookup or a null stream restores the process's own. Streams are not
  // owned. A component given an environment serves it as CGI.
  void SetEnvironment(TWvEnvironmentLookup lookup);
  void SetInput(TStream* input);
  void SetOutput(TStream* output);
  void SetErrorOutput(TStream* errors);

 private:
  void Write(const std::string& bytes);
  void WriteErrorLine(const std::string& line);
  std::int64_t AnnouncedContentLength() const;
  void AppendBodyVars();
  std::string ReadBody(std::int64_t length);
  bool Refuse(std::exception_ptr error);

  std::unique_ptr<detail::TFastCGIConnection> FFastCGI;
  bool FServingKnown = false;
  bool FAccepted = false;
  bool FHeaderSent = false;
  bool FBodyRead = false;
  std::exception_ptr FLoadError;
  std::unique_ptr<TStringList> FVariables;
  std::int64_t FMaxContentLength = MaxCGIContentLength;
  TWvEnvironmentLookup FEnvironment;
  TStream* FInput = nullptr;
  TStream* FOutput = nullptr;
  TStream* FErrors = nullptr;
  // The error log's handler before this component took it while serving.
  TErrorLogHandler FPreviousLog;
  bool FLogTaken = false;
};

// Decodes one form value: "+" is a blank and "%" with two hexadecimal digits
// is the byte they give; any other "%" stays as it is.
std::string WvDecodeFormValue(const std::string& Value);

// Cuts a urlencoded text at every "&" and appends the pieces to list; an
// empty last piece is dropped.
void WvSplitFormVars(const std::string& text, TStrings& list);

namespace WvCGI {
// Publishes TWvCGI to the class registry.
void RegisterClasses();
// Registers the classes and puts TWvCGI on the palette page "Taveno".
void Register();
}  // namespace WvCGI

}  // namespace tavkit
