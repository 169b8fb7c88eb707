// The TEXTAREA element, the one element that writes line ends into the page:
// its text must arrive in the browser with the lines as they were given.
#include <tavkit/forms/WvTextArea.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

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
  std::unique_ptr<TWvJavascriptlist> list = TWvCustomInputComponent::ScriptList();
  list->AddScript(FJSOnBlur->getScript());
  list->AddScript(FJSOnFocus->getScript());
  list->AddScript(FJSOnChange->getScript());
  list->AddScript(FJSOnSelect->getScript());
  return list;
}

std::string TWvTextArea::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = EventsText({{FJSOnBlur.get(), "onBlur"},
                                   {FJSOnFocus.get(), "onFocus"},
                                   {FJSOnChange.get(), "OnChange"},
                                   {FJSOnSelect.get(), "OnSelect"}});
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
  using C = TWvTextArea;
  RegisterClass<C, TWvCustomInputComponent>({
      props::Strings<C>("Value", &C::GetValue, &C::SetValue),
      props::Integer<C>("Rows", &C::GetRows, &C::SetRows),
      props::Integer<C>("Columns", &C::GetColumns, &C::SetColumns),
      props::Object<C>("JSOnBlur", &C::GetJSOnBlur),
      props::Object<C>("JSOnFocus", &C::GetJSOnFocus),
      props::Object<C>("JSOnChange", &C::GetJSOnChange),
      props::Object<C>("JSOnSelect", &C::GetJSOnSelect),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvTextArea"});
}
}  // namespace WvTextArea

}  // namespace tavkit
