// Publishing of the plain table column.
#include <tavkit/tables/WvTableColumn.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {

namespace WvTableColumn {
void RegisterClasses() {
  WvCustomTableColumn::RegisterClasses();
  RegisterClass<TWvTableColumn, TWvCustomTableColumn>({});
}
}  // namespace WvTableColumn

}  // namespace tavkit
