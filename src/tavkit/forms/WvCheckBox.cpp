// The check box tag and its preview: a white square, ticked when checked.
#include <tavkit/forms/WvCheckBox.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvCheckBox::TWvCheckBox(TComponent* owner)
    : TWvCustomInputComponent(owner), FJSOnClick(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 25, 25);
}

TWvCheckBox::~TWvCheckBox() = default;

void TWvCheckBox::SetChecked(bool checked) {
  FChecked = checked;
  invalidate();
}

std::unique_ptr<TWvJavascriptlist> TWvCheckBox::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvCustomInputComponent::ScriptList();
  list->AddScript(FJSOnClick->getScript());
  return list;
}

std::string TWvCheckBox::put(TWvCustomOptimizer*) {
  return PutCheckInput("<INPUT TYPE=CHECKBOX NAME=", FChecked, FValue, *FJSOnClick);
}

void TWvCheckBox::paint() {
  PaintSafely([this] {
    BeginCheckPreview();
    TCanvas& canvas = Canvas();
    canvas.Rectangle(2, 2, 15, 15);
    if (FChecked) {
      canvas.MoveTo(6, 8);
      canvas.LineTo(8, 11);
      canvas.LineTo(11, 4);
    }
    EndCheckPreview();
  });
}

namespace WvCheckBox {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  using C = TWvCheckBox;
  RegisterClass<C, TWvCustomInputComponent>({
      props::Boolean<C>("Checked", &C::GetChecked, &C::SetChecked),
      props::String<C>("Value", &C::GetValue, &C::SetValue),
      props::Object<C>("JSOnClick", &C::GetJSOnClick),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvCheckBox"});
}
}  // namespace WvCheckBox

}  // namespace tavkit
