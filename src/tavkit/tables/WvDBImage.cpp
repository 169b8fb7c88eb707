// The data-bound image: the server image of the field's picture at put, the
// picture kept for the design preview, and the notices that drop it.
#include <tavkit/tables/WvDBImage.h>

#include <tavkit/core/WvComponent.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/platform/graphics/DecodeBudget.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/tables/WvDBPanel.h>

namespace tavkit {

TWvDBImage::TWvDBImage(TComponent* owner) : TWvCustomImage(owner) {
  SetBounds(GetLeft(), GetTop(), 100, 100);
  SetContainer(true);
  SetMessageHandler(CM_DBCONTROLSUPDATE, [this](TMessage&) {
    DropCache();
    invalidate();
  });
}

TWvDBImage::~TWvDBImage() = default;

std::string TWvDBImage::MakeServerImage() {
  if (FField == nullptr) return std::string();
  try {
    TPicture picture;
    {
      // Shown at the element's size, a picture has no use for more pixels
      // than the budget, however many its file claims.
      const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
      picture.Assign(FField);
      // A NULL field holds no picture: there is nothing to write.
      if (picture.GetGraphic() == nullptr || picture.GetGraphic()->GetEmpty()) return std::string();
      picture.Bitmap();
    }
    return WvGenerateServerImage(picture.Bitmap(), GetWidth(), GetHeight(), GetStretch());
  } catch (const std::exception&) {
    return std::string();
  }
}

std::string TWvDBImage::put(TWvCustomOptimizer* optimizer) {
  SetImagePath(MakeServerImage());
  return TWvCustomImage::put(optimizer);
}

void TWvDBImage::SetField(TField* Field) {
  if (Field != FField) {
    DropCache();
    if (FField != nullptr) RemoveFreeNotification(FField);
    if (Field != nullptr) FreeNotification(Field);
  }
  FField = Field;
  invalidate();
}

void TWvDBImage::DropCache() {
  FCache.reset();
}

void TWvDBImage::LoadDataForCache() {
  auto* panel = dynamic_cast<TWvDBPanel*>(GetParent());
  TDataSet* dataSet = panel == nullptr ? nullptr : panel->DataSet();
  if (dataSet == nullptr || FField == nullptr) return;
  try {
    TWvDataSetVisit visit(*dataSet);
    visit.MoveTo(panel->GetDBIndex());
    auto picture = std::make_unique<TPicture>();
    const TDecodeBudget budget("MaxElementPicturePixels", MaxElementPicturePixels);
    picture->Assign(FField);
    FCache = std::move(picture);
  } catch (const std::exception&) {
    // No picture for the preview; the plain one is drawn.
  }
}

void TWvDBImage::paint() {
  // Outside a data-bound panel nothing says which record to show.
  if (dynamic_cast<TWvDBPanel*>(GetParent()) != nullptr) {
    try {
      if (!FCache) LoadDataForCache();
      TGraphic* graphic = FCache ? FCache->GetGraphic() : nullptr;
      if (graphic != nullptr && !graphic->GetEmpty()) {
        TCanvas& canvas = Canvas();
        canvas.Brush().Color = GetBackGroundColor();
        canvas.FillRect(ClientRect());
        if (GetStretch())
          canvas.StretchDraw(ClientRect(), *graphic);
        else
          canvas.Draw(0, 0, *graphic);
        PaintOutline();
        return;
      }
    } catch (const std::exception&) {
      // The plain preview below.
    }
  }
  TWvCustomImage::paint();
}

void TWvDBImage::Notification(TComponent* component, TOperation operation) {
  TWvCustomImage::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FField) {
    FField = nullptr;
    DropCache();
  }
}

namespace WvDBImage {
void RegisterClasses() {
  WvCustomImage::RegisterClasses();
  using C = TWvDBImage;
  RegisterClass<C, TWvCustomImage>({
      props::String<C>("Link", &C::GetLink, &C::SetLink),
      props::Boolean<C>("Stretch", &C::GetStretch, &C::SetStretch),
      props::Object<C>("Hyperlink", &C::GetHyperlink),
      props::FieldRef<C>("Field", &C::GetField, &C::SetField),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvDBImage"});
}
}  // namespace WvDBImage

}  // namespace tavkit
