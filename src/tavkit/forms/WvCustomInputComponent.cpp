// Field name, verification script and the shared pieces of the input
// elements: option lines and the field box of the previews.
#include <tavkit/forms/WvCustomInputComponent.h>

#include <algorithm>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvCustomInputComponent::TWvCustomInputComponent(TComponent* owner)
    : TWvVisibleComponent(owner), FJSVerifyInput(std::make_unique<TWvScriptInvoker>(this)) {}

TWvCustomInputComponent::~TWvCustomInputComponent() = default;

std::unique_ptr<TWvJavascriptlist> TWvCustomInputComponent::ScriptList() {
  std::unique_ptr<TWvJavascriptlist> list = TWvVisibleComponent::ScriptList();
  list->AddScript(FJSVerifyInput->getScript());
  return list;
}

void TWvCustomInputComponent::Notification(TComponent* component, TOperation operation) {
  TWvVisibleComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component != nullptr &&
      component == FJSVerifyInput->getScript())
    FJSVerifyInput->setScript(nullptr);
}

void TWvCustomInputComponent::paint() {
  PaintSafely([this] {
    SetControlStyle(GetControlStyle() | csFramed);
    TCanvas& canvas = Canvas();
    canvas.Pen() = TPen{};
    canvas.Brush().Color = clWhite;
    canvas.FillRect(Rect(1, 1, GetWidth() - 1, GetHeight() - 1));
    canvas.Rectangle(0, 0, GetWidth(), GetHeight());
    PaintFieldFrame(GetWidth() - 2, GetHeight() - 2);
  });
}

void TWvCustomInputComponent::BeginFieldPreview() {
  SetControlStyle(GetControlStyle() & ~static_cast<unsigned>(csFramed));
  TCanvas& canvas = Canvas();
  // A fresh pen, whatever the previous preview left behind.
  canvas.Pen() = TPen{};
  canvas.Brush().Style = TBrushStyle::bsSolid;
  canvas.Brush().Color = GetBackGroundColor();
  canvas.FillRect(ClientRect());
  canvas.Rectangle(ClientRect());
  canvas.Pen().Width = 2;
}

void TWvCustomInputComponent::FillFieldBox(int right, int bottom) {
  TCanvas& canvas = Canvas();
  canvas.Brush().Color = clWhite;
  canvas.FillRect(Rect(0, 0, right, bottom));
}

void TWvCustomInputComponent::SetPreviewFont(const char* name) {
  TFont& font = Canvas().Font();
  font.Name = name;
  font.Height = 16;
  font.Style = 0;
  font.Color = clBlack;
}

void TWvCustomInputComponent::PaintFieldLines(const std::vector<std::string>& lines, int right,
                                              int bottom) {
  TCanvas& canvas = Canvas();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // Lines past the bottom of the box could show nothing.
    long long top = 14LL * static_cast<long long>(i) + 1;
    if (top >= bottom) break;
    int y = static_cast<int>(top);
    canvas.TextRect(Rect(0, y, right, bottom), 2, y, lines[i]);
  }
}

int TWvCustomInputComponent::PreviewCoordinate(long long value) {
  const long long limit = MaxControlCoordinate;
  return static_cast<int>(std::clamp(value, -limit, limit));
}

void TWvCustomInputComponent::PaintFieldFrame(int right, int bottom) {
  TCanvas& canvas = Canvas();
  canvas.Pen().Color = clBlack;
  canvas.MoveTo(1, 1);
  canvas.LineTo(1, bottom);
  canvas.LineTo(right, bottom);
  canvas.LineTo(right, 1);
  canvas.LineTo(1, 1);
}

std::vector<TWvOptionPair> WvSplitOptionLines(const TStrings& lines) {
  std::vector<TWvOptionPair> pairs;
  pairs.reserve(static_cast<std::size_t>(lines.Count()));
  std::string value, text;
  for (int i = 0; i < lines.Count(); ++i) {
    WvExtractHiddenValues(lines.Get(i), value, text);
    pairs.push_back({value, text});
  }
  return pairs;
}

std::string WvOptionsHTML(const std::vector<TWvOptionPair>& options, int selected) {
  std::string html;
  for (std::size_t i = 0; i < options.size(); ++i) {
    html += "<OPTION ";
    if (selected >= 0 && static_cast<std::size_t>(selected) == i) html += "SELECTED";
    html += " VALUE=\"" + options[i].Value + "\">" + options[i].Text + "</OPTION>";
  }
  return html;
}

int WvLongestOptionText(const std::vector<TWvOptionPair>& options) {
  std::size_t longest = 0;
  for (const auto& option : options) longest = std::max(longest, option.Text.size());
  if (longest == 0) return 10;
  return static_cast<int>(
      std::min<std::size_t>(longest, static_cast<std::size_t>(MaxPreviewTextLength)));
}

namespace WvCustomInputComponent {
void RegisterClasses() {
  WvVisibleComponent::RegisterClasses();
  WvScriptInvoker::RegisterClasses();
  using C = TWvCustomInputComponent;
  RegisterClass<C, TWvVisibleComponent>({
      props::String<C>("FieldName", &C::GetFieldName, &C::SetFieldName),
      props::Object<C>("JSVerifyInput", &C::GetJSVerifyInput),
  });
}
}  // namespace WvCustomInputComponent

}  // namespace tavkit
