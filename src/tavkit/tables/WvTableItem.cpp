// Table cells: text, picture and a link made when first asked for.
#include <tavkit/tables/WvTableItem.h>

#include <utility>

#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {

TWvTableItem::TWvTableItem(TComponent* owner) : FOwner(owner) {}

TWvTableItem::TWvTableItem(std::string text, const std::string& link, TComponent* owner)
    : FOwner(owner), FText(std::move(text)) {
  setlink(link);
}

TWvTableItem::~TWvTableItem() = default;

TWvLink* TWvTableItem::GetHyperLink() const {
  if (FHyperLink == nullptr) FHyperLink = std::make_unique<TWvLink>(FOwner);
  return FHyperLink.get();
}

const std::string& TWvTableItem::getlink() const {
  static const std::string none;
  return FHyperLink != nullptr ? FHyperLink->GetURL() : none;
}

void TWvTableItem::setlink(const std::string& Value) {
  // An empty URL on a cell without a link changes nothing.
  if (FHyperLink != nullptr || !Value.empty()) GetHyperLink()->SetURL(Value);
}

void TWvTableItem::SetPicture(std::unique_ptr<TPicture> picture) {
  FPicture = std::move(picture);
}

}  // namespace tavkit
