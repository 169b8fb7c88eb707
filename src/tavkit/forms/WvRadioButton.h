// TWvRadioButton: one button of a radio group of a form; the buttons of a group
// share one field name, and the browser lets only one of them be chosen.
#pragma once

#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TWvRadioButton : public TWvCustomInputComponent {
 public:
  explicit TWvRadioButton(TComponent* owner);
  ~TWvRadioButton() override;

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

namespace WvRadioButton {
void RegisterClasses();
void Register();
}  // namespace WvRadioButton

}  // namespace tavkit
