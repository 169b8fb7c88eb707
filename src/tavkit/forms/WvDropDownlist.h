// TWvDropDownlist: a one-line drop-down selection list of a form. Each line of
// OptionValues is one option, value=shown text; one option is preselected.
//
// ```cpp
// TComponent form(nullptr);
// auto* order = new TWvInputForm(&form);
// auto* country = new TWvDropDownlist(&form);
// country->SetParent(order);
// country->SetBounds(10, 10, 125, 25);
// country->SetFieldName("country");
// TStringList options{"de=Germany", "fr=France", "nl=Netherlands"};  // value=shown text
// country->SetOptionValues(&options);
// country->SetSelected(1);                    // France; a negative index is taken as 0
// std::string tag = country->put(nullptr);    // <SELECT NAME="country" ...><OPTION  VALUE="de">...
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TWvDropDownlist : public TWvCustomInputComponent {
 public:
  explicit TWvDropDownlist(TComponent* owner);
  ~TWvDropDownlist() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  TStrings* GetOptionValues() const { return FOptionValues.get(); }
  void SetOptionValues(const TStrings* lines);
  // Index (from 0) of the preselected option; a negative index is stored as
  // 0, so a drop-down list always shows an option.
  int GetSelected() const { return FSelected; }
  void SetSelected(int index);
  TWvScriptInvoker* GetJSOnBlur() const { return FJSOnBlur.get(); }
  TWvScriptInvoker* GetJSOnFocus() const { return FJSOnFocus.get(); }
  TWvScriptInvoker* GetJSOnChange() const { return FJSOnChange.get(); }

 protected:
  void paint() override;

 private:
  std::unique_ptr<TStringList> FOptionValues;
  int FSelected = 0;
  std::unique_ptr<TWvScriptInvoker> FJSOnBlur;
  std::unique_ptr<TWvScriptInvoker> FJSOnFocus;
  std::unique_ptr<TWvScriptInvoker> FJSOnChange;
};

namespace WvDropDownlist {
void RegisterClasses();
void Register();
}  // namespace WvDropDownlist

}  // namespace tavkit
