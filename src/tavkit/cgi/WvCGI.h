// TWvCGI: the component through which an application running as a CGI
// program answers its request. It sends the page behind a content-type header
// on standard output and reads the form variables of the request from the
// query string and, for a urlencoded POST, from the request body.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* search = new TWvInputForm(&form);
// search->SetParent(page);
// search->SetBounds(20, 10, 300, 40);
// search->SetMethod(T_FormMethodType::Get);
// auto* field = new TWvTextInputField(&form);
// field->SetParent(search);
// field->SetBounds(10, 10, 200, 20);
// field->SetFieldName("q");
// auto* cgi = new TWvCGI(&form);
// std::string wanted = cgi->FormVar("q", "");  // decoded; "" when it was not sent
// // ... fill the page from it, escaping whatever goes back into the markup ...
// cgi->Send(page->put(nullptr));              // the header, then the page
// ```
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>

namespace tavkit {

// Looks up one environment variable; nullopt when it is not set.
using TWvEnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

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

  bool GetHeaderSent() const { return FHeaderSent; }
  // The raw pieces loaded so far, or null before the first FormVar.
  const TStringList* GetVariables() const { return FVariables.get(); }

  // A POST body announced longer than this is refused with an Exception.
  std::int64_t GetMaxContentLength() const { return FMaxContentLength; }
  void SetMaxContentLength(std::int64_t limit);

  // Replace the process environment, standard input and standard output
  // (tests, embedding in a server); an empty lookup or a null stream restores
  // the process's own. Streams are not owned.
  void SetEnvironment(TWvEnvironmentLookup lookup);
  void SetInput(TStream* input);
  void SetOutput(TStream* output);

 private:
  std::optional<std::string> Env(const std::string& name) const;
  void Write(const std::string& bytes);
  void AppendBodyVars();
  std::string ReadBody(std::int64_t length);

  bool FHeaderSent = false;
  bool FBodyRead = false;
  std::exception_ptr FLoadError;
  std::unique_ptr<TStringList> FVariables;
  std::int64_t FMaxContentLength = MaxCGIContentLength;
  TWvEnvironmentLookup FEnvironment;
  TStream* FInput = nullptr;
  TStream* FOutput = nullptr;
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
