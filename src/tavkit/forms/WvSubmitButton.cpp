// The submit button's INPUT tag. It has no NAME, so the browser sends no value
// for it.
#include <tavkit/forms/WvSubmitButton.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvSubmitButton::TWvSubmitButton(TComponent* owner)
    : TWvVisibleComponent(owner), FJSOnClick(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 70, 20);
  SetContainer(false);
}

TWvSubmitButton::~TWvSubmitButton() = default;

std::unique_ptr<TWvJavascriptlist> TWvSubmitButton::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  list->AddScript(FJSOnClick->getScript());
  return list;
}

std::string TWvSubmitButton::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string click = FJSOnClick->GetEventCall("onClick");
  std::string result = CollapsedBefore();
  std::string type =
      Fimagepath.empty() ? "SUBMIT VALUE=\"" + Fvalue + "\"" : "IMAGE SRC=\"" + Fimagepath + "\"";
  result += "<INPUT TYPE=" + type + " BORDER=0 " + click + " " + CollapsedInside() + " >";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvSubmitButton {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  WvScriptInvoker::RegisterClasses();
  using C = TWvSubmitButton;
  RegisterClass<C, TWvVisibleComponent>({
      props::Object<C>("JSOnClick", &C::GetJSOnClick),
      props::String<C>("imagepath", &C::Getimagepath, &C::Setimagepath),
      props::String<C>("value", &C::Getvalue, &C::Setvalue),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvSubmitButton"});
}
}  // namespace WvSubmitButton

}  // namespace tavkit
