// Publishing of the typed-in text element.
#include <tavkit/elements/WvText.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvText::TWvText(TComponent* owner) : TWvCustomText(owner) {}

void TWvText::WriteText(const TStrings* lines) {
  TextLines().Assign(lines);
  invalidate();
}

namespace WvText {
void RegisterClasses() {
  WvCustomText::RegisterClasses();
  using C = TWvText;
  RegisterClass<C, TWvCustomText>({
      props::Boolean<C>("AutoLineBreak", &C::GetAutoLineBreak, &C::SetAutoLineBreak),
      props::Strings<C>("Text", &C::readText, &C::WriteText),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvText"});
}
}  // namespace WvText

}  // namespace tavkit
