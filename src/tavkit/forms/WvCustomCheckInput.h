// TWvCustomCheckInput: the base of the two inputs that are either checked or
// not, the check box and the radio button. They write one INPUT tag that
// differs only in its TYPE, and their previews differ only in the shape drawn.
//
// ```cpp
// TComponent form(nullptr);
// auto* wrapped = new TWvJavascript(&form);
// wrapped->writescript(TStringList{"function wrapped(box) {", "  return box.checked;", "}"});
// TWvCustomCheckInput* inputs[] = {new TWvCheckBox(&form), new TWvRadioButton(&form)};
// for (TWvCustomCheckInput* input : inputs) {
//   input->SetFieldName("gift");
//   input->SetValue("wrap");                  // the value sent when it is checked
//   input->SetChecked(true);
//   input->GetJSOnClick()->setScript(wrapped);
//   input->GetJSOnClick()->getParameterlist()->Add("this");
//   std::string tag = input->put(nullptr);    // TYPE=CHECKBOX, then TYPE=RADIO; the rest alike
// }
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TCanvas;

class TWvCustomCheckInput : public TWvCustomInputComponent {
 public:
  ~TWvCustomCheckInput() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  bool GetChecked() const { return FChecked; }
  void SetChecked(bool checked);
  // The value sent when the input is checked.
  const std::string& GetValue() const { return FValue; }
  void SetValue(const std::string& value) { FValue = value; }
  TWvScriptInvoker* GetJSOnClick() const { return FJSOnClick.get(); }

 protected:
  // inputType: the TYPE of the INPUT tag, written unquoted.
  TWvCustomCheckInput(TComponent* owner, const char* inputType);

  void paint() override;
  // Draws the input's shape, and its mark when it is checked, with the black
  // pen and white brush that the preview has set.
  virtual void PaintShape(TCanvas& canvas) = 0;

 private:
  const char* FInputType;
  bool FChecked = false;
  std::string FValue;
  std::unique_ptr<TWvScriptInvoker> FJSOnClick;
};

namespace WvCustomCheckInput {
void RegisterClasses();
}

}  // namespace tavkit
