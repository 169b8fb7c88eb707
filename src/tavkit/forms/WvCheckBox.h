// TWvCheckBox: a check box of a form, sending its value when it is checked.
//
// ```cpp
// TComponent form(nullptr);
// auto* signup = new TWvInputForm(&form);
// auto* news = new TWvCheckBox(&form);
// news->SetParent(signup);
// news->SetBounds(10, 10, 25, 25);
// news->SetFieldName("news");
// news->SetValue("yes");                      // sent as news=yes, and only when checked
// news->SetChecked(true);                     // checked when the page opens
// news->GetHTMLAfter()->Add("Send me the newsletter");  // its label, after the box
// std::string tag = news->put(nullptr);       // <INPUT TYPE=CHECKBOX NAME=news ... checked ...
// ```
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
