// TWvVCLWrapper: any native windowed control of the framework (a chart, a
// styled panel, a button) shown on a page as a picture. At run time the
// control paints itself into a bitmap, the bitmap becomes a GIF file in the
// server image folder, and the element writes it through the picture base,
// with the hot spots placed on it as a client-side map.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* chart = new TBarChart(&form);
// chart->SetBounds(0, 0, 300, 200);
// chart->SetTitle("Visitors");
// chart->AddValue("Mon", 120);
// chart->AddValue("Tue", 180);
// auto* wrapper = new TWvVCLWrapper(&form);
// wrapper->SetParent(page);
// wrapper->SetBounds(20, 40, 300, 200);
// wrapper->SetControl(chart);                 // a new server image on every put
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/elements/WvCustomImage.h>

namespace tavkit {

class TBitmap;

class TWvVCLWrapper : public TWvCustomImage {
 public:
  explicit TWvVCLWrapper(TComponent* owner);

  // Clears the reference when the wrapped control goes away.
  void Notification(TComponent* component, TOperation operation) override;
  // Accepts image maps and nothing else.
  void validateInsert(TComponent* component) override;
  // The control's picture as a new server image, shrunk or stretched to the
  // wrapper's size, written by the picture base with the hot spots as a map.
  // When the server image cannot be made the IMG tag has an empty SRC. A
  // wrapper without a control has no picture: it writes its free HTML only.
  std::string put(TWvCustomOptimizer* optimizer) override;

  TWinControl* GetVCLControl() const { return FVCLControl; }
  // Page elements are refused (the old control stays): they have no look of
  // their own to paint, only HTML. At design time the refusal is shown in a
  // warning box; at run time it is silent.
  void SetControl(TWinControl* control);

 protected:
  // The control's picture stretched over the wrapper; blank without one.
  void paint() override;

 private:
  // The wrapped control, with its children, painted passes times into a
  // bitmap of its own size; null when the wrapper is already painting it.
  std::unique_ptr<TBitmap> PaintControl(int passes);
  // The web path of a new server image of the control, or "" on failure.
  std::string ServerImage();

  TWinControl* FVCLControl = nullptr;
  bool FPainting = false;
};

namespace WvVCLWrapper {
// Publishes TWvVCLWrapper; safe to call more than once.
void RegisterClasses();
// Puts TWvVCLWrapper on the palette page "Taveno".
void Register();
}  // namespace WvVCLWrapper

}  // namespace tavkit
