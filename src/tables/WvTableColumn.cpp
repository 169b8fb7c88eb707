// Publishing of the plain table column.
#include "tables/WvTableColumn.h"

#include "platform/Registry.h"

namespace tavkit {

namespace WvTableColumn {
void RegisterClasses() {
  WvCustomTableColumn::RegisterClasses();
  RegisterClass<TWvTableColumn, TWvCustomTableColumn>({});
}
}  // namespace WvTableColumn

}  // namespace tavkit
