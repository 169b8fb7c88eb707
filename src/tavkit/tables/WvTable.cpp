// The table filled by code: its column list, its start-up look and its
// publishing.
#include <tavkit/tables/WvTable.h>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

void TWvTableColumnList::Dispatch(TMessage& message) {
  if (message.Msg == CM_RELOADDB) {
    PassToTable(message);
    return;
  }
  TWvCustomColumnList::Dispatch(message);
}

TWvTable::TWvTable(TComponent* owner) : TWvCustomTable(owner) {
  SetupTable(std::make_unique<TWvTableColumnList>(this));
}

namespace WvTable {
void RegisterClasses() {
  WvCustomTable::RegisterClasses();
  WvTableColumn::RegisterClasses();
  RegisterClass<TWvTableColumnList, TWvCustomColumnList>({});
  using C = TWvTable;
  RegisterClass<C, TWvCustomTable>({
      props::Collection<C>("ColumnList", &C::GetColumnList),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents("Taveno", {"TWvTable"});
}
}  // namespace WvTable

}  // namespace tavkit
