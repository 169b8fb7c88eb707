// TWvInputForm: the HTML form. It lays out its children like every other
// container and wraps the grid table's rows in a FORM tag that carries the
// form's name, action and method, its hidden fields and one submit handler
// that runs the verification scripts of the input elements placed on it.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* order = new TWvInputForm(&form);
// order->SetParent(page);
// order->SetBounds(20, 20, 400, 120);
// order->SetFormName("order");
// order->SetAction("/cgi-bin/order");
// order->SetMethod(T_FormMethodType::Post);
// order->GetHiddenFields()->Add("shop=books");  // sent along unseen
// auto* filled = new TWvJavascript(&form);
// filled->writescript(TStringList{"function filled(v) {", "  return v != '';", "}"});
// auto* name = new TWvTextInputField(&form);
// name->SetParent(order);                     // laid out in the form's grid
// name->SetBounds(10, 10, 200, 25);
// name->SetFieldName("name");
// name->GetJSVerifyInput()->setScript(filled);  // checked before the form is sent
// std::string check = order->VerificationAttribute();  // OnSubmit="return ( filled(name.value))"
// std::string html = page->put(nullptr);
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <tavkit/layout/WvContainer.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {

// How the browser sends the form: written as "POST" and "GET".
enum class T_FormMethodType : std::uint8_t { Post = 0, Get = 1 };

class TWvInputForm : public TWvCustomContainer {
 public:
  explicit TWvInputForm(TComponent* owner);
  ~TWvInputForm() override;

  std::string put(TWvCustomOptimizer* optimizer) override;

  // Kept and streamed with the form; no output uses it.
  TWvScriptInvoker* GetJSOnBadVerify() const { return FJSOnBadVerify.get(); }
  T_FormMethodType GetMethod() const { return FMethod; }
  void SetMethod(T_FormMethodType method) { FMethod = method; }
  const std::string& GetAction() const { return FAction; }
  void SetAction(const std::string& action) { FAction = action; }
  const std::string& GetFormName() const { return FFormName; }
  void SetFormName(const std::string& name) { FFormName = name; }
  // One hidden field a line: name=value.
  TStrings* GetHiddenFields() const { return FHiddenFields.get(); }
  void SetHiddenFields(const TStrings* lines) { FHiddenFields->Assign(lines); }

  // The OnSubmit attribute that runs the verification calls of the input
  // elements placed directly on the form, joined by "&&"; empty when none
  // verifies.
  std::string VerificationAttribute() const;

 private:
  std::unique_ptr<TWvScriptInvoker> FJSOnBadVerify;
  T_FormMethodType FMethod = T_FormMethodType::Post;
  std::string FAction;
  std::string FFormName;
  std::unique_ptr<TStringList> FHiddenFields;
};

namespace WvInputForm {
void RegisterClasses();
void Register();
}  // namespace WvInputForm

}  // namespace tavkit
