// Registration of the data-access components and the field resolver of form
// files. A reference binds through the property's own setter, which takes
// the TField as its value; the data set describes its columns for it without
// reading any row, so a closed query serves as well as an open one.
#include <tavkit/platform/data/DataAccess.h>

#include <tavkit/platform/formfile/FormFile.h>

namespace tavkit {

namespace {

bool ResolveField(const TFieldReference& reference) {
  auto* dataSet = dynamic_cast<TDataSet*>(reference.DataSet);
  if (dataSet == nullptr) return false;
  TField* field = dataSet->FieldForReference(reference.FieldName);
  if (reference.Property == nullptr || !reference.Property->Set)
    throw EDatabaseError("the property cannot be bound to a field");
  reference.Property->Set(*reference.Target, TPropValue(static_cast<TPersistent*>(field)));
  return true;
}

}  // namespace

namespace DataAccess {
void RegisterClasses() {
  static const int resolver = RegisterFieldResolver(ResolveField);
  (void)resolver;
  RegisterClass<TDataSource, TComponent>({
      props::Component<TDataSource, TDataSet>("DataSet", &TDataSource::GetDataSet,
                                              &TDataSource::SetDataSet),
  });
  RegisterClass<TDataSet, TComponent>({});
  using Q = TSQLiteQuery;
  RegisterClass<Q, TDataSet>({
      props::String<Q>("DatabaseFile", &Q::GetDatabaseFile, &Q::SetDatabaseFile),
      props::Strings<Q>("SQL", &Q::GetSQL, &Q::SetSQL),
      props::Boolean<Q>("Active", &Q::GetDesignedActive, &Q::SetActive),
      props::WithDefault(props::Integer<Q>("Timeout", &Q::GetTimeout, &Q::SetTimeout),
                         std::int64_t{10}),
  });
  using P = TPgQuery;
  RegisterClass<P, TDataSet>({
      props::String<P>("Connection", &P::GetConnection, &P::SetConnection),
      props::Strings<P>("SQL", &P::GetSQL, &P::SetSQL),
      props::Boolean<P>("Active", &P::GetDesignedActive, &P::SetActive),
      props::WithDefault(props::Integer<P>("Timeout", &P::GetTimeout, &P::SetTimeout),
                         std::int64_t{10}),
  });
}

void Register() {
  RegisterClasses();
  RegisterComponents(DataAccessPage, {"TDataSource", "TSQLiteQuery", "TPgQuery"});
}
}  // namespace DataAccess

}  // namespace tavkit
