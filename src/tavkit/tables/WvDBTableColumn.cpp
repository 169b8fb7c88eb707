// The data-bound column: its field, the header it takes from the field and
// the reload it asks of its table.
#include <tavkit/tables/WvDBTableColumn.h>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/tables/WvCustomColumnList.h>
#include <tavkit/tables/WvCustomTable.h>

namespace tavkit {

void TWvDBTableColumn::SetField(TField* Field) {
  FField = Field;
  if (Field != nullptr && GetHeader() == "default") SetHeader(Field->GetDisplayName());
  auto* list = dynamic_cast<TWvCustomColumnList*>(GetCollection());
  if (list == nullptr) return;
  // A column is no component and cannot hear of the field going; its table
  // listens in its place and clears the reference.
  if (Field != nullptr && list->GetTable() != nullptr) list->GetTable()->FreeNotification(Field);
  list->Perform(CM_RELOADDB);
}

void TWvDBTableColumn::Assign(const TPersistent* source) {
  TWvCustomTableColumn::Assign(source);
  if (auto* other = dynamic_cast<const TWvDBTableColumn*>(source);
      other != nullptr && other != this)
    SetField(other->FField);
}

namespace WvDBTableColumn {
void RegisterClasses() {
  WvCustomTableColumn::RegisterClasses();
  using C = TWvDBTableColumn;
  RegisterClass<C, TWvCustomTableColumn>({
      props::FieldRef<C>("Field", &C::GetField, &C::SetField),
  });
}
}  // namespace WvDBTableColumn

}  // namespace tavkit
