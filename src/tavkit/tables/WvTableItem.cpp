// Table cells: text, picture and link.
#include <tavkit/tables/WvTableItem.h>

#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {

TWvTableItem::TWvTableItem(TComponent* owner) : FHyperLink(std::make_unique<TWvLink>(owner)) {}

TWvTableItem::TWvTableItem(const std::string& text, const std::string& link, TComponent* owner)
    : FText(text), FHyperLink(std::make_unique<TWvLink>(owner)) {
  setlink(link);
}

TWvTableItem::~TWvTableItem() = default;

void TWvTableItem::SetPicture(std::unique_ptr<TPicture> picture) {
  FPicture = std::move(picture);
}

}  // namespace tavkit
