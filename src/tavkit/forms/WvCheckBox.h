// TWvCheckBox: a check box of a form, sending its value when it is checked.
#pragma once

#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TWvCheckBox : public TWvCustomInputComponent {
 public:
  explicit TWvCheckBox(TComponent* owner);
  ~TWvCheckBox() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  bool GetChecked() const { return FChecked; }
  void SetChecked(bool checked);
  // The value sent when the box is checked.
  const std::string& GetValue() const { return FValue; }
  void SetValue(const std::string& value) { FValue = value; }
  TWvScriptInvoker* GetJSOnClick() const { return FJSOnClick.get(); }

 protected:
  void paint() override;

 private:
  bool FChecked = false;
  std::string FValue;
  std::unique_ptr<TWvScriptInvoker> FJSOnClick;
};

namespace WvCheckBox {
void RegisterClasses();
void Register();
}  // namespace WvCheckBox

}  // namespace tavkit
