// The data-access components as the class registry and form files see them:
// TDataSource, TSQLiteQuery and TPgQuery with their published properties, their
// palette page, and the resolver that binds "DataSet.FIELD" references in a
// form file to the fields of a data set before it is opened.
#pragma once

#include <tavkit/platform/data/DataSet.h>
#include <tavkit/platform/data/PgQuery.h>
#include <tavkit/platform/data/SQLiteQuery.h>

namespace tavkit {

// The palette page of the data-access components.
inline constexpr const char* DataAccessPage = "Data Access";

namespace DataAccess {
// Publishes the properties and installs the field resolver (once).
void RegisterClasses();
// RegisterClasses, then TDataSource and the two queries on the palette.
void Register();
}  // namespace DataAccess

}  // namespace tavkit
