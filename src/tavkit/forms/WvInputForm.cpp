// The FORM tag with its submit check and hidden fields, around the grid of
// the form's children.
#include <tavkit/forms/WvInputForm.h>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/forms/WvCustomInputComponent.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvInputForm::TWvInputForm(TComponent* owner)
    : TWvCustomContainer(owner),
      FJSOnBadVerify(std::make_unique<TWvScriptInvoker>(this)),
      FHiddenFields(std::make_unique<TStringList>()) {}

TWvInputForm::~TWvInputForm() = default;

std::string TWvInputForm::VerificationAttribute() const {
  std::string calls;
  for (int i = 0; i < GetControlCount(); ++i) {
    auto* input = dynamic_cast<const TWvCustomInputComponent*>(GetControl(i));
    if (input == nullptr) continue;
    // A script without a function gives no call; joining an empty call would
    // leave a handler the browser cannot parse, which silently drops the
    // checks of every other field as well.
    std::string call = input->GetJSVerifyInput()->GetScriptCall(input->GetFieldName());
    if (call.empty()) continue;
    calls += calls.empty() ? "return ( " : " && ";
    calls += call;
  }
  if (calls.empty()) return calls;
  return "OnSubmit=\"" + calls + ")\"";
}

std::string TWvInputForm::put(TWvCustomOptimizer* optimizer) {
  ActivateBeforePutEvent();
  const char* method = FMethod == T_FormMethodType::Get ? "GET" : "POST";
  std::string result = CollapsedBefore();

  std::string opening = "<FORM NAME=\"" + FFormName + "\" ACTION=\"" + FAction + "\"" +
                        VerificationAttribute() + " METHOD=" + method + ">" + CollapsedInside();
  // A line without "=" repeats the field before it.
  std::string name, value;
  for (int i = 0; i < FHiddenFields->Count(); ++i) {
    WvExtractHiddenValues(FHiddenFields->Get(i), name, value);
    opening += "<INPUT TYPE=HIDDEN NAME=" + name + " VALUE=" + value + ">";
  }

  result += IterateChildren(opening, "</FORM>", optimizer);
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvInputForm {
void RegisterClasses() {
  WvContainer::RegisterClasses();
  WvScriptInvoker::RegisterClasses();
  using C = TWvInputForm;
  RegisterClass<C, TWvCustomContainer>({
      props::Object<C>("JSOnBadVerify", &C::GetJSOnBadVerify),
      props::Enum<C>("Method", {"Post", "Get"}, &C::GetMethod, &C::SetMethod),
      props::String<C>("Action", &C::GetAction, &C::SetAction),
      props::String<C>("FormName", &C::GetFormName, &C::SetFormName),
      props::Strings<C>("HiddenFields", &C::GetHiddenFields, &C::SetHiddenFields),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvInputForm"});
}
}  // namespace WvInputForm

}  // namespace tavkit
