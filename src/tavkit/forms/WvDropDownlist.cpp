// The drop-down SELECT element and its preview: a white box as wide as the
// longest option, showing the selected one, with the drop button at its right.
#include <tavkit/forms/WvDropDownlist.h>

#include <tavkit/forms/detail/WvEventTable.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {
using C = TWvDropDownlist;
// The script events, in the order the tag and the script list take them.
constexpr TWvEvent<C> kEvents[] = {
    {"JSOnBlur", "onBlur", &C::GetJSOnBlur},
    {"JSOnFocus", "onFocus", &C::GetJSOnFocus},
    {"JSOnChange", "OnChange", &C::GetJSOnChange},
};
}  // namespace

TWvDropDownlist::TWvDropDownlist(TComponent* owner)
    : TWvCustomInputComponent(owner),
      FOptionValues(std::make_unique<TStringList>()),
      FJSOnBlur(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnFocus(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnChange(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 125, 25);
}

TWvDropDownlist::~TWvDropDownlist() = default;

void TWvDropDownlist::SetOptionValues(const TStrings* lines) {
  FOptionValues->Assign(lines);
  HasChanged();
}

void TWvDropDownlist::SetSelected(int index) {
  FSelected = index < 0 ? 0 : index;
  HasChanged();
}

std::unique_ptr<TWvJavascriptlist> TWvDropDownlist::ScriptList() {
  return WvAddEventScripts(TWvCustomInputComponent::ScriptList(), *this, kEvents);
}

std::string TWvDropDownlist::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = WvEventsText(*this, kEvents);
  std::string result = CollapsedBefore();
  result += "<SELECT NAME=\"" + GetFieldName() + "\" " + events + " >";
  result += WvOptionsHTML(WvSplitOptionLines(*FOptionValues), FSelected);
  result += CollapsedInside() + "</SELECT>" + CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

void TWvDropDownlist::paint() {
  PaintSafely([this] {
    BeginFieldPreview();
    std::vector<TWvOptionPair> options = WvSplitOptionLines(*FOptionValues);
    int length = WvLongestOptionText(options);
    int right = 7 * length + 20;
    FillFieldBox(right, 22);
    SetPreviewFont("MS Sans Serif");
    TCanvas& canvas = Canvas();
    std::string shown;
    if (static_cast<std::size_t>(FSelected) < options.size()) shown = options[FSelected].Text;
    canvas.TextRect(Rect(0, 0, right, 22), 3, 3, shown);
    PaintFieldFrame(right, 22);
    // The drop button: its left edge and a small square for the arrow.
    canvas.MoveTo(7 * length + 5, 1);
    canvas.LineTo(7 * length + 5, 22);
    canvas.Rectangle(7 * length + 12, 11, 7 * length + 14, 13);
    canvas.Pen().Width = 1;
  });
}

namespace WvDropDownlist {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  std::vector<TPropInfo> properties{
      props::Strings<C>("OptionValues", &C::GetOptionValues, &C::SetOptionValues),
      props::Integer<C>("Selected", &C::GetSelected, &C::SetSelected),
  };
  WvPublishEvents(properties, kEvents);
  RegisterClass<C, TWvCustomInputComponent>(std::move(properties));
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvDropDownlist"});
}
}  // namespace WvDropDownlist

}  // namespace tavkit
