// The INPUT tag shared by check boxes and radio buttons, and the frame of
// their previews around the shape each draws.
#include <tavkit/forms/WvCustomCheckInput.h>

#include <tavkit/forms/detail/WvEventTable.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

namespace {
using C = TWvCustomCheckInput;
// The script events, in the order the tag and the script list take them.
constexpr TWvEvent<C> kEvents[] = {
    {"JSOnClick", "onClick", &C::GetJSOnClick},
};
}  // namespace

TWvCustomCheckInput::TWvCustomCheckInput(TComponent* owner, const char* inputType)
    : TWvCustomInputComponent(owner),
      FInputType(inputType),
      FJSOnClick(std::make_unique<TWvScriptInvoker>(this)) {
  SetBounds(GetLeft(), GetTop(), 25, 25);
}

TWvCustomCheckInput::~TWvCustomCheckInput() = default;

void TWvCustomCheckInput::SetChecked(bool checked) {
  FChecked = checked;
  invalidate();
}

std::unique_ptr<TWvJavascriptlist> TWvCustomCheckInput::ScriptList() {
  return WvAddEventScripts(TWvCustomInputComponent::ScriptList(), *this, kEvents);
}

std::string TWvCustomCheckInput::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  std::string events = WvEventsText(*this, kEvents);
  std::string result = CollapsedBefore();
  result += std::string("<INPUT TYPE=") + FInputType + " NAME=" + GetFieldName() + " value=\"" +
            FValue + "\" " + (FChecked ? "checked" : "") + " " + events + " " + CollapsedInside() +
            ">";
  result += CollapsedAfter();
  ActivateAfterPutEvent();
  return result;
}

void TWvCustomCheckInput::paint() {
  PaintSafely([this] {
    TCanvas& canvas = Canvas();
    canvas.Brush().Style = TBrushStyle::bsSolid;
    canvas.Brush().Color = GetBackGroundColor();
    canvas.FillRect(ClientRect());
    // Kept inside the frame, so a two-pixel line does not grow the shape.
    canvas.Pen() = TPen{clBlack, 2, TPenStyle::psInsideFrame, TPenMode::pmCopy};
    canvas.Brush().Color = clWhite;
    PaintShape(canvas);
    canvas.Pen().Style = TPenStyle::psSolid;
    canvas.Pen().Width = 1;
    PaintOutline();
  });
}

namespace WvCustomCheckInput {
void RegisterClasses() {
  WvCustomInputComponent::RegisterClasses();
  std::vector<TPropInfo> properties{
      props::Boolean<C>("Checked", &C::GetChecked, &C::SetChecked),
      props::String<C>("Value", &C::GetValue, &C::SetValue),
  };
  WvPublishEvents(properties, kEvents);
  RegisterClass<C, TWvCustomInputComponent>(std::move(properties));
}
}  // namespace WvCustomCheckInput

}  // namespace tavkit
