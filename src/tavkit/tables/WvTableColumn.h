// TWvTableColumn: the column of the table that application code fills. It is
// the plain column and adds nothing; the data-bound table has a column of its
// own that also names a field.
//
// ```cpp
// TComponent form(nullptr);
// auto* table = new TWvTable(&form);
// TWvTableColumn* notes = table->GetColumnList()->AddItem();  // a fourth column
// notes->SetHeader("Notes");
// notes->Setwidth(150);
// ```
#pragma once

#include <tavkit/tables/WvCustomTableColumn.h>

namespace tavkit {

class TWvTableColumn : public TWvCustomTableColumn {
 public:
  using TWvCustomTableColumn::TWvCustomTableColumn;
};

namespace WvTableColumn {
// Publishes TWvTableColumn; safe to call more than once.
void RegisterClasses();
}  // namespace WvTableColumn

}  // namespace tavkit
