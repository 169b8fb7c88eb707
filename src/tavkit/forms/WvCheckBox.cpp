// The check box: an INPUT of type CHECKBOX, previewed as a white square
// that is ticked when checked.
#include <tavkit/forms/WvCheckBox.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

TWvCheckBox::TWvCheckBox(TComponent* owner) : TWvCustomCheckInput(owner, "CHECKBOX") {}

void TWvCheckBox::PaintShape(TCanvas& canvas) {
  canvas.Rectangle(2, 2, 15, 15);
  if (!GetChecked()) return;
  canvas.MoveTo(6, 8);
  canvas.LineTo(8, 11);
  canvas.LineTo(11, 4);
}

namespace WvCheckBox {
void RegisterClasses() {
  WvCustomCheckInput::RegisterClasses();
  RegisterClass<TWvCheckBox, TWvCustomCheckInput>({});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvCheckBox"});
}
}  // namespace WvCheckBox

}  // namespace tavkit
