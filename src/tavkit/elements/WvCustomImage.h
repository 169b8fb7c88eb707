// TWvCustomImage: one picture written as an IMG tag. Without hot spots a
// hyperlink may enclose it; with image maps placed on it, it writes a client-
// side MAP of their rectangles instead. Elements whose picture is made at run
// time set the image path to the fresh server image and write through here.
//
// ```cpp
// // A picture drawn by the program for this request, shown as a server image.
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// TBitmap badge(80, 20);
// badge.Canvas().Brush().Color = clRed;
// badge.Canvas().FillRect(Rect(0, 0, 80, 20));
// auto* image = new TWvImage(&form);
// image->SetParent(page);
// image->SetBounds(20, 10, 80, 20);
// image->SetImagePath(WvGenerateServerImage(badge, 80, 20, false));
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/elements/WvLink.h>

namespace tavkit {

class TWvScriptInvoker;

class TWvCustomImage : public TWvVisibleComponent {
 public:
  explicit TWvCustomImage(TComponent* owner);
  ~TWvCustomImage() override;

  std::unique_ptr<TWvJavascriptlist> ScriptList() override;
  // The optimizer is not used: a picture has no font.
  std::string put(TWvCustomOptimizer* optimizer) override;
  // Accepts image maps and nothing else.
  void validateInsert(TComponent* component) override;

  TWvLink* GetHyperlink() const { return FHyperlink.get(); }
  const std::string& GetImagePath() const { return FImagePath; }
  void SetImagePath(const std::string& path) { FImagePath = path; }
  const std::string& GetLink() const { return FHyperlink->GetURL(); }
  void SetLink(const std::string& url) { FHyperlink->SetURL(url); }
  bool GetStretch() const { return FStretch; }
  void SetStretch(bool stretch);
  TWvScriptInvoker* GetJSOnAbort() const { return FJSOnAbort.get(); }
  TWvScriptInvoker* GetJSOnLoad() const { return FJSOnLoad.get(); }

 private:
  std::unique_ptr<TWvLink> FHyperlink;
  std::string FImagePath;
  bool FStretch = false;
  std::unique_ptr<TWvScriptInvoker> FJSOnAbort;
  std::unique_ptr<TWvScriptInvoker> FJSOnLoad;
};

namespace WvCustomImage {
// Publishes TWvCustomImage and what it nests; safe to call more than once.
void RegisterClasses();
}  // namespace WvCustomImage

}  // namespace tavkit
