// TWvDBImage: an image element whose picture is the value of a graphic field
// at the data set's current record (inside a data-bound panel, the panel's
// record). Each put writes the picture as a new server image and refers to
// it; image maps may be placed on it as on any image. At design time the
// preview shows the picture of the record its panel names.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");
// query->GetSQL()->SetText("SELECT picture FROM products WHERE id = 3");
// auto* photo = new TWvDBImage(&form);
// photo->SetParent(page);
// photo->SetBounds(20, 10, 120, 90);
// photo->SetField(query->FieldByName("picture"));  // a GRAPHIC column: BMP, PNG or GIF
// photo->SetStretch(true);                         // drawn at the element's size
// query->Open();
// std::string html = page->put(nullptr);      // the picture as a new server image
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/elements/WvCustomImage.h>

namespace tavkit {

class TField;
class TPicture;

class TWvDBImage : public TWvCustomImage {
 public:
  explicit TWvDBImage(TComponent* owner);
  ~TWvDBImage() override;

  // Writes the field's picture as a server image of the element's size
  // (stretched when Stretch says so) and the IMG tag that shows it. Without
  // a picture (no field, NULL, unreadable bytes, a failed write) no file is
  // made and the tag's source is empty.
  std::string put(TWvCustomOptimizer* optimizer) override;

  TField* GetField() const { return FField; }
  // Binds another field (null unbinds), drops the preview's picture and
  // repaints.
  void SetField(TField* Field);
  // Reads the picture of the parent panel's record for the preview; on a
  // failure the preview stays without one.
  void LoadDataForCache();

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void paint() override;

 private:
  // The web path of a new server image of the field's picture, or "".
  std::string MakeServerImage();
  void DropCache();

  TField* FField = nullptr;
  std::unique_ptr<TPicture> FCache;
};

namespace WvDBImage {
// Publishes TWvDBImage; safe to call more than once.
void RegisterClasses();
// Puts TWvDBImage on the palette page "Taveno".
void Register();
}  // namespace WvDBImage

}  // namespace tavkit
