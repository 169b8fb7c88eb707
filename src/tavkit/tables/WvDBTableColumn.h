// TWvDBTableColumn: the column of a data-bound table. Besides what every
// column has it names the field whose values fill its cells. Binding a field
// gives a column that still carries the default header the field's name, and
// asks the table to read its rows again.
//
// ```cpp
// TComponent form(nullptr);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");
// query->GetSQL()->SetText("SELECT name, price FROM products");
// auto* source = new TDataSource(&form);
// source->SetDataSet(query);
// auto* table = new TWvDBTable(&form);
// table->SetDataSource(source);
// TWvDBTableColumn* column = table->GetColumnList()->Items(0);
// column->SetField(query->FieldByName("price"));  // headed "price" unless renamed
// column->SetDataAlign(taRight);
// ```
#pragma once

#include <tavkit/tables/WvCustomTableColumn.h>

namespace tavkit {

class TField;

class TWvDBTableColumn : public TWvCustomTableColumn {
 public:
  using TWvCustomTableColumn::TWvCustomTableColumn;

  // The bound field (not owned), or null.
  TField* GetField() const { return FField; }
  // Binds a field (null unbinds). A column headed "default" takes the
  // field's display name; then the table reloads its rows.
  void SetField(TField* Field);

  // Copies the other column, its field included.
  void Assign(const TPersistent* source) override;

 private:
  // The table clears the reference when the field is freed.
  friend class TWvDBTable;
  TField* FField = nullptr;
};

namespace WvDBTableColumn {
// Publishes TWvDBTableColumn; safe to call more than once.
void RegisterClasses();
}  // namespace WvDBTableColumn

}  // namespace tavkit
