// Collections: owned, ordered lists of items of one class, published as one
// property (a script's dependencies, a table's columns). Items tell their
// collection when they change; the collection tells its owner through Update.
//
// ```cpp
// // Items of the application's own class, kept as one collection.
// class TStop : public TCollectionItem {
//  public:
//   using TCollectionItem::TCollectionItem;
//   std::string Place;
// };
// TCollectionOf<TStop> route;
// route.AddItem()->Place = "Berlin";
// route.AddItem()->Place = "Hamburg";
// route.Items(1)->SetIndex(0);                // Hamburg first
// for (int i = 0; i < route.Count(); ++i) std::cout << route.Items(i)->Place << "\n";
// ```
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <tavkit/platform/base/Objects.h>

namespace tavkit {

class TCollection;

class TCollectionItem : public TPersistent {
 public:
  explicit TCollectionItem(TCollection* collection);
  ~TCollectionItem() override;

  TCollection* GetCollection() const { return FCollection; }
  int GetIndex() const;
  // Moves the item within its collection.
  void SetIndex(int index);
  int GetID() const { return FID; }
  // The name a design environment shows for the item; the class name when
  // the item has nothing better to say.
  virtual std::string GetDisplayName() const;

 protected:
  // Reports a change of the item (allItems: the change concerns every item).
  void Changed(bool allItems);

 private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
  int FID = 0;
};

class TCollection : public TPersistent {
 public:
  TCollection() = default;
  ~TCollection() override;

  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* GetItem(int index) const;
  // Creates a new item of the collection's item class at the end.
  TCollectionItem* Add();
  TCollectionItem* Insert(int index);
  void Delete(int index);
  void Clear();
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  // The object the collection belongs to (a script, a table), or null.
  virtual TPersistent* GetOwner() const { return nullptr; }

  // Replaces the items by copies of another collection's items, each copied
  // with the item's Assign.
  void Assign(const TPersistent* source) override;

  template <class T>
  T* ItemAs(int index) const {
    return static_cast<T*>(GetItem(index));
  }

 protected:
  // Makes one item of the item class, already inserted into this collection.
  virtual TCollectionItem* NewItem() = 0;
  // Called after a change; item is the changed item, or null for all items.
  virtual void Update(TCollectionItem* item);

 private:
  friend class TCollectionItem;
  void Changed(TCollectionItem* item);
  void Attach(TCollectionItem* item);
  void Detach(TCollectionItem* item);
  std::vector<TCollectionItem*> FItems;
  int FNextID = 0;
  int FUpdateCount = 0;
  bool FDestroying = false;
};

// A collection of items of class Item, each made as Item(collection).
template <class Item>
class TCollectionOf : public TCollection {
 public:
  Item* Items(int index) const { return static_cast<Item*>(GetItem(index)); }
  Item* AddItem() { return static_cast<Item*>(Add()); }

 protected:
  TCollectionItem* NewItem() override { return new Item(this); }
};

}  // namespace tavkit
