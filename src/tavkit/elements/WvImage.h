// TWvImage: the palette element for a picture that already lies on the web
// server, entered by its web path. Image maps can be dropped on it.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* logo = new TWvImage(&form);
// logo->SetParent(page);
// logo->SetBounds(20, 10, 120, 60);
// logo->SetImagePath("/images/logo.gif");     // a web path, as the browser asks for it
// logo->SetStretch(true);                     // WIDTH and HEIGHT of the element
// logo->SetLink("index.html");
// ```
#pragma once

#include <tavkit/elements/WvCustomImage.h>

namespace tavkit {

class TWvImage : public TWvCustomImage {
 public:
  explicit TWvImage(TComponent* owner);
};

namespace WvImage {
void RegisterClasses();
// Puts TWvImage on the palette page "Taveno".
void Register();
}  // namespace WvImage

}  // namespace tavkit
