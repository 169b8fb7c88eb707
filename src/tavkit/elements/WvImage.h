// TWvImage: the palette element for a picture that already lies on the web
// server, entered by its web path. Image maps can be dropped on it.
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
