// TWvText: the palette element for text typed in at design time. It
// publishes the lines and the choice of a line break after each of them;
// everything else it inherits from TWvCustomText.
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
