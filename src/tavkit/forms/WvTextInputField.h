// TWvTextInputField: a one-line text field of a form, plain or for a
// password, with its initial value, its width and length in characters and
// four script events.
//
// ```cpp
// TComponent form(nullptr);
// auto* login = new TWvInputForm(&form);
// auto* hint = new TWvJavascript(&form);
// hint->writescript(TStringList{"function hint(text) {", "  window.status = text;", "}"});
// auto* password = new TWvTextInputField(&form);
// password->SetParent(login);
// password->SetBounds(10, 40, 150, 25);
// password->SetFieldName("pw");
// password->SetPassWord(true);                // the browser hides what is typed
// password->SetSize(20);                      // visible width in characters
// password->SetMaxLength(64);
// password->GetJSOnFocus()->setScript(hint);
// password->GetJSOnFocus()->getParameterlist()->Add("'Eight characters or more'");
// std::string tag = password->put(nullptr);   // <INPUT TYPE="PASSWORD" NAME="pw" ... onFocus=...>
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tavkit/forms/WvCustomInputComponent.h>

namespace tavkit {

class TWvTextInputField : public TWvCustomInputComponent {
 public:
  explicit TWvTextInputField(TComponent* owner);
  ~TWvTextInputField() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  std::string put(TWvCustomOptimizer* optimizer) override;

  // Visible width of the field in characters.
  std::uint16_t GetSize() const { return FSize; }
  void SetSize(std::uint16_t size);
  // How many characters the browser lets the user type.
  std::uint16_t GetMaxLength() const { return FMaxLength; }
  void SetMaxLength(std::uint16_t length) { FMaxLength = length; }
  const std::string& GetValue() const { return FValue; }
  void SetValue(const std::string& value);
  bool GetPassWord() const { return FPassWord; }
  void SetPassWord(bool password) { FPassWord = password; }
  TWvScriptInvoker* GetJSOnBlur() const { return FJSOnBlur.get(); }
  TWvScriptInvoker* GetJSOnFocus() const { return FJSOnFocus.get(); }
  TWvScriptInvoker* GetJSOnChange() const { return FJSOnChange.get(); }
  TWvScriptInvoker* GetJSOnSelect() const { return FJSOnSelect.get(); }

 protected:
  void paint() override;

 private:
  std::uint16_t FSize = 15;
  std::uint16_t FMaxLength = 15;
  std::string FValue;
  bool FPassWord = false;
  std::unique_ptr<TWvScriptInvoker> FJSOnBlur;
  std::unique_ptr<TWvScriptInvoker> FJSOnFocus;
  std::unique_ptr<TWvScriptInvoker> FJSOnChange;
  std::unique_ptr<TWvScriptInvoker> FJSOnSelect;
};

namespace WvTextInputField {
void RegisterClasses();
void Register();
}  // namespace WvTextInputField

}  // namespace tavkit
