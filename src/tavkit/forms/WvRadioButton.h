// TWvRadioButton: one button of a radio group of a form; the buttons of a group
// share one field name, and the browser lets only one of them be chosen.
//
// ```cpp
// TComponent form(nullptr);
// auto* order = new TWvInputForm(&form);
// int left = 10;
// for (const char* size : {"S", "M", "L"}) {
//   auto* button = new TWvRadioButton(&form);
//   button->SetParent(order);
//   button->SetBounds(left, 10, 25, 25);
//   button->SetFieldName("size");             // one name, one group: one choice is sent
//   button->SetValue(size);
//   button->SetChecked(std::string(size) == "M");  // the choice the page opens with
//   button->GetHTMLAfter()->Add(size);
//   left += 50;
// }
// ```
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
