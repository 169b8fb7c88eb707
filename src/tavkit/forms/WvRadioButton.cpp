// The radio button: an INPUT of type RADIO, previewed as a white circle with
// a dot when chosen.
#include <tavkit/forms/WvRadioButton.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

TWvRadioButton::TWvRadioButton(TComponent* owner) : TWvCustomCheckInput(owner, "RADIO") {}

void TWvRadioButton::PaintShape(TCanvas& canvas) {
  canvas.Ellipse(2, 2, 14, 14);
  if (GetChecked()) canvas.Ellipse(6, 6, 10, 10);
}

namespace WvRadioButton {
void RegisterClasses() {
  WvCustomCheckInput::RegisterClasses();
  RegisterClass<TWvRadioButton, TWvCustomCheckInput>({});
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvRadioButton"});
}
}  // namespace WvRadioButton

}  // namespace tavkit
