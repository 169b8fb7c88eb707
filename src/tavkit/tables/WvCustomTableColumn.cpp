// Table columns: their properties, their display name and the way a change
// reaches the table.
#include <tavkit/tables/WvCustomTableColumn.h>

#include <tavkit/core/WvComponent.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/tables/WvCustomColumnList.h>

namespace tavkit {

TWvCustomTableColumn::TWvCustomTableColumn(TCollection* collection)
    : TCollectionItem(collection),
      FHeaderFont(std::make_unique<TWvFont>()),
      FRowFont(std::make_unique<TWvFont>()) {
  FHeaderFont->OnChange = [this](TObject* sender) { UpdateSelf(sender); };
  FRowFont->OnChange = [this](TObject* sender) { UpdateSelf(sender); };
}

TWvCustomTableColumn::~TWvCustomTableColumn() = default;

std::string TWvCustomTableColumn::GetDisplayName() const {
  return FHeader;
}

void TWvCustomTableColumn::SetHeader(const std::string& value) {
  FHeader = value;
  // The display name is the header: the collection hears of the new name.
  Changed(false);
  UpdateSelf(this);
}

void TWvCustomTableColumn::Setwidth(int value) {
  FWidth = value;
  UpdateSelf(this);
}

void TWvCustomTableColumn::SetHeaderAlign(t_WvTextAlign value) {
  FHeaderAlign = value;
  UpdateSelf(this);
}

void TWvCustomTableColumn::SetDataAlign(t_WvTextAlign value) {
  FDataAlign = value;
  UpdateSelf(this);
}

void TWvCustomTableColumn::UpdateSelf(TObject*) {
  if (OnChange) OnChange(this);
  if (auto* list = dynamic_cast<TWvCustomColumnList*>(GetCollection()))
    list->Perform(CM_DESIGNTIMEUPDATE);
}

void TWvCustomTableColumn::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TWvCustomTableColumn*>(source);
  if (other == nullptr) {
    TCollectionItem::Assign(source);
    return;
  }
  if (other == this) return;
  SetHeader(other->FHeader);
  Setwidth(other->FWidth);
  FHeaderFont->Assign(other->FHeaderFont.get());
  FRowFont->Assign(other->FRowFont.get());
  SetHeaderAlign(other->FHeaderAlign);
  SetDataAlign(other->FDataAlign);
}

namespace WvCustomTableColumn {
void RegisterClasses() {
  WvFont::RegisterClasses();
  using C = TWvCustomTableColumn;
  const std::vector<std::string> aligns = {"taCenter", "taLeft", "taRight", "taNone"};
  RegisterClass<C, TCollectionItem>({
      props::String<C>("Header", &C::GetHeader, &C::SetHeader),
      props::Integer<C>("width", &C::Getwidth, &C::Setwidth),
      props::Object<C>("HeaderFont", &C::GetHeaderFont),
      props::Object<C>("RowFont", &C::GetRowFont),
      props::Enum<C>("HeaderAlign", aligns, &C::GetHeaderAlign, &C::SetHeaderAlign),
      props::Enum<C>("DataAlign", aligns, &C::GetDataAlign, &C::SetDataAlign),
  });
}
}  // namespace WvCustomTableColumn

}  // namespace tavkit
