// TWvText: the palette element for text typed in at design time. It
// publishes the lines and the choice of a line break after each of them;
// everything else it inherits from TWvCustomText.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* text = new TWvText(&form);
// text->SetParent(page);
// text->SetBounds(20, 10, 300, 40);
// TStringList lines{"Fresh coffee,", "every morning"};
// text->WriteText(&lines);                    // one line break after each line
// text->GetFont()->SetBold(true);
// text->SetLink("coffee.html");               // the whole text is the link
// ```
#pragma once

#include <tavkit/elements/WvCustomText.h>

namespace tavkit {

class TWvText : public TWvCustomText {
 public:
  explicit TWvText(TComponent* owner);

  // Copies lines into the element's own list and repaints the preview.
  void WriteText(const TStrings* lines);
};

namespace WvText {
void RegisterClasses();
// Puts TWvText on the palette page "Taveno".
void Register();
}  // namespace WvText

}  // namespace tavkit
