// The submit button's INPUT tag. It has no NAME, so the browser sends no value
// for it.
#include <tavkit/forms/WvSubmitButton.h>

#include <tavkit/forms/detail/WvEventTable.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

namespace {
using C = TWvSubmitButton;
// The script events, in the order the tag and the script list take them.
constexpr TWvEvent<C> kEvents[] = {
    {"JSOnClick", "onClick", &C::GetJSOnClick},
};
}  // namespace

TWvSubmitButton::TWvSubmitButton(TComponent* owner)
    : TWvVisibleComponent(owner), FJSOnClick(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 70, 20);
  SetContainer(false);
}

TWvSubmitButton::~TWvSubmitButton() = default;

std::unique_ptr<TWvJavascriptlist> TWvSubmitButton::ScriptList() {
  return WvAddEventScripts(TWvVisibleComponent::ScriptList(), *this, kEvents);
}

std::string TWvSubmitButton::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = WvEventsText(*this, kEvents);
  std::string result = CollapsedBefore();
  std::string type =
      Fimagepath.empty() ? "SUBMIT VALUE=\"" + Fvalue + "\"" : "IMAGE SRC=\"" + Fimagepath + "\"";
  result += "<INPUT TYPE=" + type + " BORDER=0 " + events + " " + CollapsedInside() + " >";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

namespace WvSubmitButton {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  WvScriptInvoker::RegisterClasses();
  // The click event comes first, where form files have always had it.
  std::vector<TPropInfo> properties;
  WvPublishEvents(properties, kEvents);
  properties.push_back(props::String<C>("imagepath", &C::Getimagepath, &C::Setimagepath));
  properties.push_back(props::String<C>("value", &C::Getvalue, &C::Setvalue));
  RegisterClass<C, TWvVisibleComponent>(std::move(properties));
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvSubmitButton"});
}
}  // namespace WvSubmitButton

}  // namespace tavkit
