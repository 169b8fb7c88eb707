// TWvSubmitButton: the button that sends its form, written as a plain submit
// button with a caption or, when a picture is named, as an image button.
//
// ```cpp
// TComponent form(nullptr);
// auto* search = new TWvInputForm(&form);
// auto* send = new TWvSubmitButton(&form);
// send->SetParent(search);
// send->SetBounds(220, 10, 70, 20);
// send->Setvalue("Search");                   // <INPUT TYPE=SUBMIT VALUE="Search" ...>
// auto* go = new TWvSubmitButton(&form);
// go->SetParent(search);
// go->SetBounds(300, 10, 20, 20);
// go->Setimagepath("/img/go.gif");            // <INPUT TYPE=IMAGE SRC="/img/go.gif" ...>
// ```
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
