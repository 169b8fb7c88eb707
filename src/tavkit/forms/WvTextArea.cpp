// The TEXTAREA element, the one element that writes line ends into the page:
// its text must arrive in the browser with the lines as they were given.
#include <tavkit/forms/WvTextArea.h>

#include <tavkit/forms/detail/WvEventTable.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {
using C = TWvTextArea;
// The script events, in the order the tag and the script list take them.
constexpr TWvEvent<C> kEvents[] = {
    {"JSOnBlur", "onBlur", &C::GetJSOnBlur},
    {"JSOnFocus", "onFocus", &C::GetJSOnFocus},
    {"JSOnChange", "OnChange", &C::GetJSOnChange},
    {"JSOnSelect", "OnSelect", &C::GetJSOnSelect},
};
}  // namespace

TWvTextArea::TWvTextArea(TComponent* owner)
    : TWvCustomInputComponent(owner),
      FValue(std::make_unique<TStringList>()),
      FJSOnBlur(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnFocus(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnChange(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnSelect(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 425, 150);
}

TWvTextArea::~TWvTextArea() = default;

void TWvTextArea::SetValue(const TStrings* lines) {
  FValue->Assign(lines);
  HasChanged();
}

void TWvTextArea::SetRows(int rows) {
  FRows = rows;
  HasChanged();
}

void TWvTextArea::SetColumns(int columns) {
  FColumns = columns;
  HasChanged();
}

std::unique_ptr<TWvJavascriptlist> TWvTextArea::ScriptList() {
  return WvAddEventScripts(TWvCustomInputComponent::ScriptList(), *this, kEvents);
}

std::string TWvTextArea::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = WvEventsText(*this, kEvents);
  std::string result = CollapsedBefore();
  result += "<TEXTAREA NAME=\"" + GetFieldName() + "\" ROWS=" + std::to_string(FRows) +
            " COLS=" + std::to_string(FColumns) + " " + events + " " + CollapsedInside() + ">";
  for (const auto& line : *FValue) result += line + "\r\n";
  result += "</TEXTAREA>";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

void TWvTextArea::paint() {
  PaintSafely([this] {
    BeginFieldPreview();
    int right = PreviewCoordinate(8LL * FColumns + 15);
    int bottom = PreviewCoordinate(14LL * FRows + 10);
    FillFieldBox(right, bottom);
    SetPreviewFont("COURIER NEW");
    PaintFieldLines(FValue->ToVector(), right, bottom);
    PaintFieldFrame(right, bottom);
    Canvas().Pen().Width = 1;
  });
}

namespace WvTextArea {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  std::vector<TPropInfo> properties{
      props::Strings<C>("Value", &C::GetValue, &C::SetValue),
      props::Integer<C>("Rows", &C::GetRows, &C::SetRows),
      props::Integer<C>("Columns", &C::GetColumns, &C::SetColumns),
  };
  WvPublishEvents(properties, kEvents);
  RegisterClass<C, TWvCustomInputComponent>(std::move(properties));
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvTextArea"});
}
}  // namespace WvTextArea

}  // namespace tavkit
