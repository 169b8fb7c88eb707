// TWvTableItem: one cell of a table. A cell holds a text, an optional picture
// (a cell with a picture is written as an image instead of its text) and a
// hyperlink around its content. The table that stores a cell owns it. A
// table may hold hundreds of thousands of cells read from a database, and
// few of them ever carry a link or a script: a cell is its text alone until
// its link is first asked for.
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
  TWvTableItem(std::string text, const std::string& link, TComponent* owner);
  ~TWvTableItem() override;

  const std::string& GetText() const { return FText; }
  void SetText(const std::string& text) { FText = text; }
  // The cell's picture, or null for a text cell.
  TPicture* GetPicture() const { return FPicture.get(); }
  // Takes the picture over; null makes the cell a text cell again.
  void SetPicture(std::unique_ptr<TPicture> picture);
  // The cell's link, made on first use; it reports to the cell's owner.
  TWvLink* GetHyperLink() const;
  // The link if it has been made, else null: a cell without one has no URL,
  // target or script.
  TWvLink* FindHyperLink() const { return FHyperLink.get(); }
  // The link's URL, empty for a cell without a link.
  const std::string& getlink() const;
  void setlink(const std::string& Value);

 private:
  friend class TWvCustomTable;
  TComponent* FOwner;
  std::string FText;
  std::unique_ptr<TPicture> FPicture;
  mutable std::unique_ptr<TWvLink> FHyperLink;
  // How many cells of its table hold the item; kept by the table so that an
  // item is freed exactly once, when the last cell lets go of it.
  int FPlacements = 0;
};

}  // namespace tavkit
