// Control bounds, parent/child bookkeeping, message dispatch and painting.
#include <tavkit/platform/controls/Controls.h>

#include <algorithm>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
  if (FParent != nullptr) FParent->FControls.Remove(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  left = std::clamp(left, -MaxControlCoordinate, MaxControlCoordinate);
  top = std::clamp(top, -MaxControlCoordinate, MaxControlCoordinate);
  width = std::clamp(width, 0, MaxControlCoordinate);
  height = std::clamp(height, 0, MaxControlCoordinate);
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  invalidate();
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw Exception("Control cannot be its own parent");
  for (TWinControl* p = parent; p != nullptr; p = p->FParent)
    if (p == this)
      throw Exception("Control " + GetName() + " cannot be put inside " + parent->GetName() +
                      ", which it contains");
  if (parent != nullptr) parent->validateInsert(this);
  if (FParent != nullptr) FParent->FControls.Remove(this);
  FParent = parent;
  if (parent != nullptr) parent->FControls.Add(this);
  invalidate();
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  FVisible = visible;
  invalidate();
}

void TControl::invalidate() {
  ++FRepaintRequests;
  if (OnInvalidate) OnInvalidate(this);
}

std::intptr_t TControl::Perform(unsigned msg, std::intptr_t wParam, std::intptr_t lParam) {
  TMessage message{msg, wParam, lParam, 0};
  Dispatch(message);
  return message.Result;
}

void TControl::Dispatch(TMessage& message) {
  auto it = FHandlers.find(message.Msg);
  if (it != FHandlers.end())
    it->second(message);
  else
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::SetMessageHandler(unsigned msg, TMessageHandler handler) {
  FHandlers[msg] = std::move(handler);
}

void TControl::PaintSelf(TCanvas& canvas, int x, int y) {
  TCanvas* own = GetCanvas();
  if (own == nullptr || canvas.GetTarget() == nullptr) return;
  TRect visible = IntersectRect(canvas.GetClipRect(), Bounds(x, y, FWidth, FHeight));
  if (visible.IsEmpty()) return;
  TPoint origin = canvas.GetOrigin();
  own->SetTarget(canvas.GetTarget());
  own->SetOrigin(TPoint{origin.X + x, origin.Y + y});
  own->SetClipRect(Rect(visible.Left - x, visible.Top - y, visible.Right - x, visible.Bottom - y));
  try {
    paint();
  } catch (...) {
    own->SetTarget(nullptr);
    throw;
  }
  own->SetTarget(nullptr);
}

void TControl::PaintTo(TCanvas& canvas, int x, int y) {
  if (FVisible) PaintSelf(canvas, x, y);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  // Children are not ours: they only lose their parent.
  for (TControl* child : FControls) child->FParent = nullptr;
  FControls.Clear();
}

void TWinControl::SetChildOrder(TControl* child, int index) {
  int current = FControls.IndexOf(child);
  if (current < 0) return;
  FControls.Move(current, index);
  invalidate();
}

void TWinControl::NotifyControls(unsigned msg) {
  TList<TControl> children;
  for (TControl* c : FControls) children.Add(c);
  for (TControl* c : children) c->Perform(msg);
}

void TWinControl::PaintTo(TCanvas& canvas, int x, int y) {
  if (!GetVisible()) return;
  PaintSelf(canvas, x, y);
  // Children draw inside our rectangle only.
  TRect saved = canvas.GetClipRect();
  TRect inside = IntersectRect(saved, Bounds(x, y, GetWidth(), GetHeight()));
  if (inside.IsEmpty()) return;
  canvas.SetClipRect(inside);
  try {
    for (TControl* child : FControls)
      child->PaintTo(canvas, x + child->GetLeft(), y + child->GetTop());
  } catch (...) {
    canvas.SetClipRect(saved);
    throw;
  }
  canvas.SetClipRect(saved);
}

void TWinControl::validateInsert(TComponent*) {}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(std::make_unique<TCanvas>()) {}

TCustomControl::~TCustomControl() = default;

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void RegisterControlClasses() {
  RegisterClass<TControl, TComponent>({
      props::Integer<TControl>("Left", &TControl::GetLeft, &TControl::SetLeft),
      props::Integer<TControl>("Top", &TControl::GetTop, &TControl::SetTop),
      props::Integer<TControl>("Width", &TControl::GetWidth, &TControl::SetWidth),
      props::Integer<TControl>("Height", &TControl::GetHeight, &TControl::SetHeight),
  });
  RegisterClass<TWinControl, TControl>({});
  RegisterClass<TCustomControl, TWinControl>({});
  RegisterClass<TGraphicControl, TControl>({});
}

}  // namespace tavkit
