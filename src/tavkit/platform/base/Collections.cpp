// Collection bookkeeping: item identity, order and change propagation.
#include <tavkit/platform/base/Collections.h>

#include <algorithm>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

TCollectionItem::TCollectionItem(TCollection* collection) : FCollection(collection) {
  if (collection != nullptr) collection->Attach(this);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection != nullptr) FCollection->Detach(this);
}

int TCollectionItem::GetIndex() const {
  if (FCollection == nullptr) return -1;
  auto& items = FCollection->FItems;
  auto it = std::find(items.begin(), items.end(), this);
  return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int index) {
  int current = GetIndex();
  if (current < 0 || current == index) return;
  auto& items = FCollection->FItems;
  if (index < 0 || index >= static_cast<int>(items.size())) ListIndexError(index);
  items.erase(items.begin() + current);
  items.insert(items.begin() + index, this);
  Changed(true);
}

std::string TCollectionItem::GetDisplayName() const {
  return ClassName();
}

void TCollectionItem::Changed(bool allItems) {
  if (FCollection != nullptr) FCollection->Changed(allItems ? nullptr : this);
}

TCollection::~TCollection() {
  FDestroying = true;
  Clear();
}

TCollectionItem* TCollection::GetItem(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
  return FItems[static_cast<std::size_t>(index)];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = NewItem();
  Changed(nullptr);
  return item;
}

TCollectionItem* TCollection::Insert(int index) {
  if (index < 0 || index > Count()) ListIndexError(index);
  TCollectionItem* item = NewItem();
  FItems.pop_back();
  FItems.insert(FItems.begin() + index, item);
  Changed(nullptr);
  return item;
}

void TCollection::Delete(int index) {
  delete GetItem(index);
  Changed(nullptr);
}

void TCollection::Clear() {
  if (FItems.empty()) return;
  ++FUpdateCount;
  while (!FItems.empty()) delete FItems.back();
  --FUpdateCount;
  Changed(nullptr);
}

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed(nullptr);
}

void TCollection::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TCollection*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  if (other == this) return;
  BeginUpdate();
  Clear();
  for (TCollectionItem* item : other->FItems) Add()->Assign(item);
  EndUpdate();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed(TCollectionItem* item) {
  if (FUpdateCount == 0 && !FDestroying) Update(item);
}

void TCollection::Attach(TCollectionItem* item) {
  item->FID = FNextID++;
  FItems.push_back(item);
}

void TCollection::Detach(TCollectionItem* item) {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  if (it != FItems.end()) FItems.erase(it);
  item->FCollection = nullptr;
}

}  // namespace tavkit
