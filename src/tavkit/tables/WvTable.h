// TWvTable: the table element that application code fills row by row or cell
// by cell, with its column collection TWvTableColumnList. A new table has
// three columns and the standard look; its design preview shows the header
// and MaxRows rows with whatever cells have been filled in.
//
// ```cpp
// TComponent form(nullptr);
// auto* page = new TWvPage(&form);
// auto* table = new TWvTable(&form);          // three columns to start with
// table->SetParent(page);
// table->SetBounds(20, 40, 400, 200);
// table->Columns(0)->SetHeader("Product");
// table->Columns(1)->SetHeader("Price");
// table->Columns(2)->SetHeader("In stock");
// TStringList tea{"Tea", "3.20", "yes"};
// table->AddRow(&tea);
// table->SetItem(0, 1, new TWvTableItem("Coffee", "coffee.html", table));  // row 1 is made
// ```
#pragma once

#include <tavkit/tables/WvCustomColumnList.h>
#include <tavkit/tables/WvCustomTable.h>
#include <tavkit/tables/WvTableColumn.h>

namespace tavkit {

class TWvTableColumnList : public TWvCustomColumnList {
 public:
  explicit TWvTableColumnList(TWvCustomTable* table) : TWvCustomColumnList(table) {}

  TWvTableColumn* Items(int index) const { return static_cast<TWvTableColumn*>(GetItem(index)); }
  TWvTableColumn* AddItem() { return static_cast<TWvTableColumn*>(Add()); }

 protected:
  TCollectionItem* NewItem() override { return new TWvTableColumn(this); }
  // The reload notice of data-bound columns reaches the table too, which
  // has nothing to reload.
  void Dispatch(TMessage& message) override;
};

class TWvTable : public TWvCustomTable {
 public:
  explicit TWvTable(TComponent* owner);

  TWvTableColumnList* GetColumnList() const {
    return static_cast<TWvTableColumnList*>(TWvCustomTable::GetColumnList());
  }
  // Takes over copies of the columns of list, then repaints.
  void SetColumnList(const TWvTableColumnList* list) { AssignColumnList(list); }
  // Only stores the value: the preview shows the change when it is next
  // painted.
  void SetMaxRows(int value) override { StoreMaxRows(value); }

 protected:
  void paint() override { PaintTable(); }
};

namespace WvTable {
// Publishes TWvTable with its columns and the table classes beneath it.
void RegisterClasses();
// Puts TWvTable on the palette page "Taveno".
void Register();
}  // namespace WvTable

}  // namespace tavkit
