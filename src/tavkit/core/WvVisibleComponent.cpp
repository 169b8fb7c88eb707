// Background colour inheritance, free-HTML lists, bounds rules and the
// design preview shared by every visible element.
#include <tavkit/core/WvVisibleComponent.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit {

TWvVisibleComponent::TWvVisibleComponent(TComponent* owner)
    : TWvComponent(owner),
      FHTMLBefore(std::make_unique<TStringList>()),
      FHTMLInside(std::make_unique<TStringList>()),
      FHTMLAfter(std::make_unique<TStringList>()) {
  SetBounds(GetLeft(), GetTop(), 300, 300);
  SetMessageHandler(CM_DESIGNTIMEUPDATE, [this](TMessage& m) { CMDesignTimeUpdate(m); });
}

TWvVisibleComponent::~TWvVisibleComponent() = default;

std::string TWvVisibleComponent::put(TWvCustomOptimizer*) {
  ActivateBeforePutEvent();
  ActivateAfterPutEvent();
  return std::string();
}

TColor TWvVisibleComponent::GetBackGroundColor() const {
  if (FBackGroundColor != clNone) return FBackGroundColor;
  if (auto* parent = dynamic_cast<const TWvVisibleComponent*>(GetParent()))
    return parent->GetBackGroundColor();
  return clNone;
}

std::unique_ptr<TWvJavascriptlist> TWvVisibleComponent::ScriptList() {
  return std::make_unique<TWvJavascriptlist>();
}

void TWvVisibleComponent::SetBackGroundColor(TColor color) {
  FBackGroundColor = color;
  invalidate();
  InvalidateChildren();
}

void TWvVisibleComponent::SetIsBackgroundTransparent(bool) {
  invalidate();
}

void TWvVisibleComponent::SetAlign(t_WvTextAlign align) {
  FAlign = align;
  invalidate();
}

void TWvVisibleComponent::invalidate() {
  if (IsDesigning()) TWvComponent::invalidate();
}

void TWvVisibleComponent::InvalidateChildren() {
  for (int i = 0; i < GetControlCount(); ++i) GetControl(i)->invalidate();
}

void TWvVisibleComponent::HasChanged() {
  if (OnChange) OnChange(this);
  invalidate();
}

void TWvVisibleComponent::updateSelf(TObject*) {
  invalidate();
}

void TWvVisibleComponent::StyleChanged(TObject*) {}

void TWvVisibleComponent::SetBounds(int left, int top, int width, int height) {
  if (!IsPage()) {
    if (left < 1) left = 1;
    if (top < 1) top = 1;
  }
  TWvComponent::SetBounds(left, top, width, height);
}

void TWvVisibleComponent::CMDesignTimeUpdate(TMessage& message) {
  invalidate();
  DefaultHandler(message);
}

void TWvVisibleComponent::paint() {
  TCanvas& canvas = Canvas();
  canvas.Pen().Mode = TPenMode::pmNop;
  canvas.Brush().Color = GetBackGroundColor();
  canvas.FillRect(Rect(0, 0, GetWidth(), GetHeight()));
  canvas.Rectangle(0, 0, GetWidth(), GetHeight());
  canvas.Font().Name = "ARIAL";
  canvas.Font().Height = 12;
  canvas.Font().Color = 0xAAAAAA;
  canvas.TextOut(5, 5, GetName());
  PaintOutline();
}

void TWvVisibleComponent::PaintOutline() {
  TCanvas& canvas = Canvas();
  canvas.Pen().Mode = TPenMode::pmNot;
  canvas.Pen().Style = TPenStyle::psDash;
  canvas.Pen().Color = clBlack;
  int right = GetWidth() - 1;
  int bottom = GetHeight() - 1;
  canvas.MoveTo(0, 0);
  canvas.LineTo(0, bottom);
  canvas.LineTo(right, bottom);
  canvas.LineTo(right, 0);
  canvas.LineTo(0, 0);
  canvas.Pen().Mode = TPenMode::pmCopy;
}

namespace WvVisibleComponent {
void RegisterClasses() {
  WvComponent::RegisterClasses();
  using C = TWvVisibleComponent;
  RegisterClass<C, TWvComponent>({
      props::Color<C>("BackGroundColor", &C::GetOwnBackGroundColor, &C::SetBackGroundColor),
      props::Strings<C>("HTMLBefore", &C::GetHTMLBefore, &C::SetHTMLBefore),
      props::Strings<C>("HTMLAfter", &C::GetHTMLAfter, &C::SetHTMLAfter),
      props::Strings<C>("HTMLInside", &C::GetHTMLInside, &C::SetHTMLInside),
  });
}
}  // namespace WvVisibleComponent

}  // namespace tavkit
