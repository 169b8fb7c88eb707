// TWvCheckBox: a check box of a form, sending its value when it is checked.
#pragma once

#include <tavkit/forms/WvCustomCheckInput.h>

namespace tavkit {

class TWvCheckBox : public TWvCustomCheckInput {
 public:
  explicit TWvCheckBox(TComponent* owner);

 protected:
  void PaintShape(TCanvas& canvas) override;
};

namespace WvCheckBox {
void RegisterClasses();
void Register();
}  // namespace WvCheckBox

}  // namespace tavkit
