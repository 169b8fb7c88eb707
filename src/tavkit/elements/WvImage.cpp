// Publishing of the server-picture element.
#include <tavkit/elements/WvImage.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

TWvImage::TWvImage(TComponent* owner) : TWvCustomImage(owner) {
  SetBounds(GetLeft(), GetTop(), 100, 100);
  SetContainer(true);
}

namespace WvImage {
void RegisterClasses() {
  WvCustomImage::RegisterClasses();
  using C = TWvImage;
  RegisterClass<C, TWvCustomImage>({
      props::String<C>("ImagePath", &C::GetImagePath, &C::SetImagePath),
      props::String<C>("Link", &C::GetLink, &C::SetLink),
      props::Boolean<C>("Stretch", &C::GetStretch, &C::SetStretch),
      props::Object<C>("Hyperlink", &C::GetHyperlink),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvImage"});
}
}  // namespace WvImage

}  // namespace tavkit
