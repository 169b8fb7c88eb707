// The multi-line SELECT element and its preview: a white box showing the
// first options, as many as the list has visible lines.
#include <tavkit/forms/WvListBox.h>

#include <algorithm>

#include <tavkit/forms/detail/WvEventTable.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {
using C = TWvListBox;
// The script events, in the order the tag and the script list take them.
constexpr TWvEvent<C> kEvents[] = {
    {"JSOnBlur", "onBlur", &C::GetJSOnBlur},
    {"JSOnFocus", "onFocus", &C::GetJSOnFocus},
    {"JSOnChange", "OnChange", &C::GetJSOnChange},
};
}  // namespace

TWvListBox::TWvListBox(TComponent* owner)
    : TWvCustomInputComponent(owner),
      FOptionValues(std::make_unique<TStringList>()),
      FJSOnBlur(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnFocus(std::make_unique<TWvScriptInvoker>(this)),
      FJSOnChange(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 200, 75);
}

TWvListBox::~TWvListBox() = default;

void TWvListBox::SetOptionValues(const TStrings* lines) {
  FOptionValues->Assign(lines);
  HasChanged();
}

void TWvListBox::SetListSize(int lines) {
  FListSize = lines < 1 ? 1 : lines;
  HasChanged();
}

std::unique_ptr<TWvJavascriptlist> TWvListBox::ScriptList() {
  return WvAddEventScripts(TWvCustomInputComponent::ScriptList(), *this, kEvents);
}

std::string TWvListBox::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = WvEventsText(*this, kEvents);
  std::string result = CollapsedBefore();
  result += "<SELECT NAME=\"" + GetFieldName() + "\" " + (FSelectMultiple ? "MULTIPLE" : "") +
            " SIZE=" + std::to_string(FListSize) + " " + events + ">";
  result += WvOptionsHTML(WvSplitOptionLines(*FOptionValues), FSelected);
  result += CollapsedInside() + "</SELECT>" + CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

void TWvListBox::paint() {
  PaintSafely([this] {
    BeginFieldPreview();
    std::vector<TWvOptionPair> options = WvSplitOptionLines(*FOptionValues);
    int length = WvLongestOptionText(options);
    int right = 7 * length + 15;
    int bottom = PreviewCoordinate(14LL * FListSize + 10);
    FillFieldBox(right, bottom);
    SetPreviewFont("MS Sans Serif");
    std::vector<std::string> shown;
    std::size_t visible = std::min(options.size(), static_cast<std::size_t>(FListSize));
    for (std::size_t i = 0; i < visible; ++i) shown.push_back(options[i].Text);
    PaintFieldLines(shown, right, bottom);
    PaintFieldFrame(right, bottom);
    Canvas().Pen().Width = 1;
  });
}

namespace WvListBox {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  std::vector<TPropInfo> properties{
      props::Strings<C>("OptionValues", &C::GetOptionValues, &C::SetOptionValues),
      props::Integer<C>("Selected", &C::GetSelected, &C::SetSelected),
      props::Boolean<C>("SelectMultiple", &C::GetSelectMultiple, &C::SetSelectMultiple),
  };
  WvPublishEvents(properties, kEvents);
  // After the events, where form files have always had it.
  properties.push_back(props::Integer<C>("ListSize", &C::GetListSize, &C::SetListSize));
  RegisterClass<C, TWvCustomInputComponent>(std::move(properties));
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvListBox"});
}
}  // namespace WvListBox

}  // namespace tavkit
