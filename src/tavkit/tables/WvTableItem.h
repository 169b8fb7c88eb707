// TWvTableItem: one cell of a table. A cell holds a text, an optional picture
// (a cell with a picture is written as an image instead of its text) and a
// hyperlink around its content. The table that stores a cell owns it.
//
// ```cpp
// TComponent form(nullptr);
// auto* table = new TWvTable(&form);
// auto* cell = new TWvTableItem("Tea", "tea.html", table);
// auto picture = std::make_unique<TPicture>();
// picture->LoadFromFile("tea.png");
// cell->SetPicture(std::move(picture));       // the cell shows the picture, not the text
// table->SetItem(0, 0, cell);                 // the table owns the cell from now on
// ```
#pragma once

#include <memory>
#include <string>

#include <tavkit/elements/WvLink.h>

namespace tavkit {

class TComponent;
class TPicture;

class TWvTableItem : public TObject {
 public:
  // An empty cell whose link reports to owner (the table).
  explicit TWvTableItem(TComponent* owner);
  // A cell with a text and the URL of its link.
  TWvTableItem(const std::string& text, const std::string& link, TComponent* owner);
  ~TWvTableItem() override;

  const std::string& GetText() const { return FText; }
  void SetText(const std::string& text) { FText = text; }
  // The cell's picture, or null for a text cell.
  TPicture* GetPicture() const { return FPicture.get(); }
  // Takes the picture over; null makes the cell a text cell again.
  void SetPicture(std::unique_ptr<TPicture> picture);
  TWvLink* GetHyperLink() const { return FHyperLink.get(); }
  const std::string& getlink() const { return FHyperLink->GetURL(); }
  void setlink(const std::string& Value) { FHyperLink->SetURL(Value); }

 private:
  friend class TWvCustomTable;
  std::string FText;
  std::unique_ptr<TPicture> FPicture;
  std::unique_ptr<TWvLink> FHyperLink;
  // How many cells of its table hold the item; kept by the table so that an
  // item is freed exactly once, when the last cell lets go of it.
  int FPlacements = 0;
};

}  // namespace tavkit
