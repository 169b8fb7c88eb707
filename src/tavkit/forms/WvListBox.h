// TWvListBox: a selection list of a form showing several lines at once, which
// may let the user choose more than one option. Options are written as for the
// drop-down list.
//
// ```cpp
// TComponent form(nullptr);
// auto* order = new TWvInputForm(&form);
// auto* toppings = new TWvListBox(&form);
// toppings->SetParent(order);
// toppings->SetBounds(10, 10, 200, 75);
// toppings->SetFieldName("toppings");
// TStringList options{"ch=Cheese", "mu=Mushrooms", "ol=Olives", "pe=Peppers"};
// toppings->SetOptionValues(&options);
// toppings->SetSelectMultiple(true);          // every chosen option is sent as toppings=...
// toppings->SetListSize(4);                   // lines shown at once
// toppings->SetSelected(-1);                  // none preselected
// std::string tag = toppings->put(nullptr);   // <SELECT NAME="toppings" MULTIPLE SIZE=4 ...>
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TWvListBox : public TWvCustomInputComponent {
 public:
  explicit TWvListBox(TComponent* owner);
  ~TWvListBox() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  TStrings* GetOptionValues() const { return FOptionValues.get(); }
  void SetOptionValues(const TStrings* lines);
  // Index (from 0) of the preselected option; outside the list none is.
  int GetSelected() const { return FSelected; }
  void SetSelected(int index) { FSelected = index; }
  bool GetSelectMultiple() const { return FSelectMultiple; }
  void SetSelectMultiple(bool multiple) { FSelectMultiple = multiple; }
  // Number of visible lines, at least 1.
  int GetListSize() const { return FListSize; }
  void SetListSize(int lines);
  TWvScriptInvoker* GetJSOnBlur() const { return FJSOnBlur.get(); }
  TWvScriptInvoker* GetJSOnFocus() const { return FJSOnFocus.get(); }
  TWvScriptInvoker* GetJSOnChange() const { return FJSOnChange.get(); }

 protected:
  void paint() override;

 private:
  std::unique_ptr<TStringList> FOptionValues;
  int FSelected = 0;
  bool FSelectMultiple = false;
  std::unique_ptr<TWvScriptInvoker> FJSOnBlur;
  std::unique_ptr<TWvScriptInvoker> FJSOnFocus;
  std::unique_ptr<TWvScriptInvoker> FJSOnChange;
  int FListSize = 3;
};

namespace WvListBox {
void RegisterClasses();
void Register();
}  // namespace WvListBox

}  // namespace tavkit
