// TWvJavaApplet: a Java applet on a page. The developer enters the applet's
// class, code base, instance name and parameters; the element writes them as
// an APPLET tag with one PARAM tag per parameter line, sized like the element.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* ticker = new TWvJavaApplet(&form);
// ticker->SetParent(page);
// ticker->SetBounds(20, 10, 300, 40);
// ticker->SetCode("Ticker.class");
// ticker->SetCodeBase("/applets/");
// ticker->GetParameters()->Add("speed=3");    // one PARAM tag a line
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/platform/base/Strings.h>

namespace tavkit {

class TWvJavaApplet : public TWvVisibleComponent {
 public:
  explicit TWvJavaApplet(TComponent* owner);
  ~TWvJavaApplet() override;

  // The optimizer is not used: an applet draws its own content.
  std::string put(TWvCustomOptimizer* optimizer) override;

  const std::string& GetCode() const { return FCode; }
  void SetCode(const std::string& code) { FCode = code; }
  const std::string& GetCodeBase() const { return FCodeBase; }
  void SetCodeBase(const std::string& codeBase) { FCodeBase = codeBase; }
  const std::string& GetInstanceName() const { return FInstanceName; }
  void SetInstanceName(const std::string& name) { FInstanceName = name; }
  // One parameter a line, as name=value; the value may hold further "=".
  TStrings* GetParameters() const { return FParameters.get(); }
  void SetParameters(const TStrings* lines) { FParameters->Assign(lines); }

 private:
  std::string FCode;
  std::string FCodeBase;
  std::string FInstanceName;
  std::unique_ptr<TStringList> FParameters;
};

namespace WvJavaApplet {
// Publishes TWvJavaApplet; safe to call more than once.
void RegisterClasses();
// Puts TWvJavaApplet on the palette page "Taveno".
void Register();
}  // namespace WvJavaApplet

}  // namespace tavkit
