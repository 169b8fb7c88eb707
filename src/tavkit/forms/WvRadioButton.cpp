// The radio button tag and its preview: a white circle with a dot when chosen.
#include <tavkit/forms/WvRadioButton.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvRadioButton::TWvRadioButton(TComponent* owner)
    : TWvCustomInputComponent(owner), FJSOnClick(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 25, 25);
}

TWvRadioButton::~TWvRadioButton() = default;

void TWvRadioButton::SetChecked(bool checked) {
  FChecked = checked;
  invalidate();
}

std::unique_ptr<TWvJavascriptlist> TWvRadioButton::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvCustomInputComponent::ScriptList();
  list->AddScript(FJSOnClick->getScript());
  return list;
}

std::string TWvRadioButton::put(TWvCustomOptimizer*) {
  return PutCheckInput("<INPUT TYPE=RADIO NAME=", FChecked, FValue, *FJSOnClick);
}

void TWvRadioButton::paint() {
  PaintSafely([this] {
    BeginCheckPreview();
    TCanvas& canvas = Canvas();
    canvas.Ellipse(2, 2, 14, 14);
    if (FChecked) canvas.Ellipse(6, 6, 10, 10);
    EndCheckPreview();
  });
}

namespace WvRadioButton {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  using C = TWvRadioButton;
  RegisterClass<C, TWvCustomInputComponent>({
      props::Boolean<C>("Checked", &C::GetChecked, &C::SetChecked),
      props::String<C>("Value", &C::GetValue, &C::SetValue),
      props::Object<C>("JSOnClick", &C::GetJSOnClick),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvRadioButton"});
}
}  // namespace WvRadioButton

}  // namespace tavkit
