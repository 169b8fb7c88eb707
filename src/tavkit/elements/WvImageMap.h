// TWvImageMap: one rectangular hot spot on a picture. The developer places it
// as a child of an image element; its position and size inside the image
// become the coordinates of an AREA tag and its link the AREA's link. It is
// refused everywhere but on an image.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* plan = new TWvImage(&form);
// plan->SetParent(page);
// plan->SetBounds(20, 10, 400, 300);
// plan->SetImagePath("/images/floor.gif");
// auto* kitchen = new TWvImageMap(&form);
// kitchen->SetParent(plan);                   // only an image takes hot spots
// kitchen->SetBounds(10, 10, 150, 100);       // inside the picture
// kitchen->SetLink("kitchen.html");
// kitchen->SetAltText("Kitchen");
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/core/WvComponent.h>
#include <tavkit/elements/WvLink.h>

namespace tavkit {

class TWvJavascriptlist;

class TWvImageMap : public TWvComponent {
 public:
  explicit TWvImageMap(TComponent* owner);
  ~TWvImageMap() override;

  bool IsImageMap() const override { return true; }

  // The scripts of the hot spot's link, in a new list that the caller owns.
  std::unique_ptr<TWvJavascriptlist> ScriptList() const;

  TWvLink* GetHyperLink() const { return FHyperLink.get(); }
  const std::string& GetAltText() const { return FAltText; }
  void SetAltText(const std::string& text) { FAltText = text; }
  const std::string& GetLink() const { return FHyperLink->GetURL(); }
  void SetLink(const std::string& url);

 protected:
  // A dashed frame and nothing else, so the picture below stays visible.
  void paint() override;

 private:
  std::unique_ptr<TWvLink> FHyperLink;
  std::string FAltText;
};

namespace WvImageMap {
void RegisterClasses();
// Puts TWvImageMap on the palette page "Taveno".
void Register();
}  // namespace WvImageMap

}  // namespace tavkit
