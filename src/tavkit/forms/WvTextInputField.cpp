// The INPUT tag of a text or password field and its preview: a white box as
// wide as the field's characters, showing the value (a password in clear, so
// the designer can read it).
#include <tavkit/forms/WvTextInputField.h>

#include <tavkit/forms/detail/WvEventTable.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {
using C = TWvTextInputField;
// The script events, in the order the tag and the script list take them.
constexpr TWvEvent<C> kEvents[] = {
    {"JSOnBlur", "onBlur", &C::GetJSOnBlur},
    {"JSOnFocus", "onFocus", &C::GetJSOnFocus},
    {"JSOnChange", "OnChange", &C::GetJSOnChange},
    {"JSOnSelect", "OnSelect", &C::GetJSOnSelect},
};
}  // namespace

TWvTextInputField::TWvTextInputField(TComponent* owner)
    : TWvCustomInputComponent(owner),
      FJSOnBlur(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnFocus(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnChange(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnSelect(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 120, 25);
  SetContainer(false);
}

TWvTextInputField::~TWvTextInputField() = default;

void TWvTextInputField::SetSize(std::uint16_t size) {
  FSize = size;
  HasChanged();
}

void TWvTextInputField::SetValue(const std::string& value) {
  FValue = value;
  HasChanged();
}

std::unique_ptr<TWvJavascriptlist> TWvTextInputField::ScriptList() {
  return WvAddEventScripts(TWvCustomInputComponent::ScriptList(), *this, kEvents);
}

std::string TWvTextInputField::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = WvEventsText(*this, kEvents);
  std::string result = CollapsedBefore();
  result += "<INPUT TYPE=\"";
  result += FPassWord ? "PASSWORD" : "text";
  result += "\" NAME=\"" + GetFieldName() + "\" VALUE=\"" + FValue +
            "\" SIZE=" + std::to_string(FSize) + " MAXLENGTH=" + std::to_string(FMaxLength) + " " +
            events + " " + CollapsedInside() + ">";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

void TWvTextInputField::paint() {
  PaintSafely([this] {
    BeginFieldPreview();
    int right = 7 * FSize;
    FillFieldBox(right, 22);
    SetPreviewFont("MS Sans Serif");
    Canvas().TextRect(Rect(0, 0, right, 22), 3, 3, FValue);
    PaintFieldFrame(right, 22);
    Canvas().Pen().Width = 1;
  });
}

namespace {
// Size and MaxLength hold 16 bits; a form file asking for more is refused
// rather than wrapped around to some other width.
std::uint16_t CheckedWord(int value, const char* what) {
  if (value < 0 || value > 0xFFFF)
    throw EConvertError(std::string(what) + " must lie between 0 and 65535, not " +
                        std::to_string(value));
  return static_cast<std::uint16_t>(value);
}
}  // namespace

namespace WvTextInputField {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  std::vector<TPropInfo> properties{
      props::Integer<C>("Size", &C::GetSize,
                        [](C& c, int v) { c.SetSize(CheckedWord(v, "Size")); }),
      props::Integer<C>("MaxLength", &C::GetMaxLength,
                        [](C& c, int v) { c.SetMaxLength(CheckedWord(v, "MaxLength")); }),
      props::String<C>("Value", &C::GetValue, &C::SetValue),
      props::Boolean<C>("PassWord", &C::GetPassWord, &C::SetPassWord),
  };
  WvPublishEvents(properties, kEvents);
  RegisterClass<C, TWvCustomInputComponent>(std::move(properties));
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvTextInputField"});
}
}  // namespace WvTextInputField

}  // namespace tavkit
