// TWvSubmitButton: the button that sends its form, written as a plain submit
// button with a caption or, when a picture is named, as an image button.
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

class TWvSubmitButton : public TWvVisibleComponent {
 public:
  explicit TWvSubmitButton(TComponent* owner);
  ~TWvSubmitButton() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  TWvScriptInvoker* GetJSOnClick() const { return FJSOnClick.get(); }
  // Web path of the button's picture; when set, value is not used.
  const std::string& Getimagepath() const { return Fimagepath; }
  void Setimagepath(const std::string& path) { Fimagepath = path; }
  // Caption of the plain submit button.
  const std::string& Getvalue() const { return Fvalue; }
  void Setvalue(const std::string& caption) { Fvalue = caption; }

 private:
  std::unique_ptr<TWvScriptInvoker> FJSOnClick;
  std::string Fimagepath;
  std::string Fvalue;
};

namespace WvSubmitButton {
void RegisterClasses();
void Register();
}  // namespace WvSubmitButton

}  // namespace tavkit
