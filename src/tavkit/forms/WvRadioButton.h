// TWvRadioButton: one button of a radio group of a form; the buttons of a group
// share one field name, and the browser lets only one of them be chosen.
#pragma once

#include <tavkit/forms/WvCustomCheckInput.h>

namespace tavkit {

class TWvRadioButton : public TWvCustomCheckInput {
 public:
  explicit TWvRadioButton(TComponent* owner);

 protected:
  void PaintShape(TCanvas& canvas) override;
};

namespace WvRadioButton {
void RegisterClasses();
void Register();
}  // namespace WvRadioButton

}  // namespace tavkit
