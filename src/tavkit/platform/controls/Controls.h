// Controls: components with bounds that sit inside a parent control and are
// painted. TWinControl holds children in index order (a parent never owns its
// children); TCustomControl and TGraphicControl paint through a canvas.
// Messages are numbered and dispatched to per-control handlers, falling back
// to a default handler, so that design-time notices reach their targets.
//
// ```cpp
// TComponent form(nullptr);                   // owns the controls
// auto* panel = new TPanel(&form);
// panel->SetBounds(0, 0, 200, 80);
// auto* label = new TLabel(&form);
// label->SetParent(panel);                    // shown inside the panel, not owned by it
// label->SetBounds(10, 10, 180, 20);
// label->SetCaption("Inside the panel");
// TBitmap picture(200, 80);
// panel->PaintTo(picture.Canvas(), 0, 0);     // the panel with its children
// ```
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TCanvas;
class TWinControl;

struct TMessage {
  unsigned Msg = 0;
  std::intptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};

// The first message number free for applications and libraries.
inline constexpr unsigned WM_USER = 1024;

// Control style flags (a set held as bits).
enum TControlStyleFlag : unsigned {
  csAcceptsControls = 1u << 0,
  csOpaque = 1u << 1,
  csFramed = 1u << 2,
};

using TMessageHandler = std::function<void(TMessage&)>;

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  int GetLeft() const { return FLeft; }
  int GetTop() const { return FTop; }
  int GetWidth() const { return FWidth; }
  int GetHeight() const { return FHeight; }
  void SetLeft(int left) { SetBounds(left, FTop, FWidth, FHeight); }
  void SetTop(int top) { SetBounds(FLeft, top, FWidth, FHeight); }
  void SetWidth(int width) { SetBounds(FLeft, FTop, width, FHeight); }
  void SetHeight(int height) { SetBounds(FLeft, FTop, FWidth, height); }
  // Moves and sizes the control in one step; a negative size becomes 0 and
  // values beyond MaxControlCoordinate become that limit.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }

  TWinControl* GetParent() const { return FParent; }
  // Places the control into a new parent (null takes it out). The new
  // parent's validateInsert may refuse with an exception; then nothing changes.
  virtual void SetParent(TWinControl* parent);

  bool GetVisible() const { return FVisible; }
  void SetVisible(bool visible);
  unsigned GetControlStyle() const { return FControlStyle; }
  void SetControlStyle(unsigned style) { FControlStyle = style; }
  bool HasStyle(TControlStyleFlag flag) const { return (FControlStyle & flag) != 0; }

  // Asks for a repaint of the control.
  virtual void invalidate();
  // How many repaints have been asked for since the control was made.
  int RepaintRequests() const { return FRepaintRequests; }
  // Told of every repaint request (a designer refreshes its view here).
  TNotifyEvent OnInvalidate;

  // Sends a message to the control's handler (or the default handler) and
  // returns its result.
  std::intptr_t Perform(unsigned msg, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
  void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);

  // The canvas the control paints on, or null for controls that do not paint.
  virtual TCanvas* GetCanvas() { return nullptr; }
  // Paints the control (and its children) into canvas with its top-left
  // corner at (x, y) of that canvas.
  virtual void PaintTo(TCanvas& canvas, int x, int y);

 protected:
  // Installs the handler for one message number, replacing an inherited one.
  void SetMessageHandler(unsigned msg, TMessageHandler handler);
  // Draws the control on its canvas; empty unless a subclass paints.
  virtual void paint() {}
  // Binds the own canvas to the target canvas at (x, y), calls paint and unbinds.
  void PaintSelf(TCanvas& canvas, int x, int y);

 private:
  friend class TWinControl;
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FVisible = true;
  unsigned FControlStyle = 0;
  int FRepaintRequests = 0;
  TWinControl* FParent = nullptr;
  std::map<unsigned, TMessageHandler> FHandlers;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  int GetControlCount() const { return FControls.Count(); }
  TControl* GetControl(int index) const { return FControls.Get(index); }
  int IndexOfControl(const TControl* control) const { return FControls.IndexOf(control); }
  // Moves a child to another place in the index order.
  void SetChildOrder(TControl* child, int index);
  // Sends a message to every child, in index order.
  void NotifyControls(unsigned msg);
  void PaintTo(TCanvas& canvas, int x, int y) override;

  // Called before a component is placed inside this control; raising an
  // exception refuses it. The default accepts everything.
  virtual void validateInsert(TComponent* component);

 private:
  friend class TControl;
  TList<TControl> FControls;
};

// A windowed control that paints itself through its own canvas.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* GetCanvas() override { return FCanvas.get(); }
  TCanvas& Canvas() { return *FCanvas; }

 private:
  std::unique_ptr<TCanvas> FCanvas;
};

// A lightweight control without children that paints on its own canvas.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas* GetCanvas() override { return FCanvas.get(); }
  TCanvas& Canvas() { return *FCanvas; }

 private:
  std::unique_ptr<TCanvas> FCanvas;
};

// Publishes the framework's own classes (components and controls) to the
// class registry.
void RegisterControlClasses();

}  // namespace tavkit
