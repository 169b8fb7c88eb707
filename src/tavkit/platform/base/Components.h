// TComponent: the framework's unit of ownership and naming. An owner frees
// the components it owns; components that refer to each other across owners
// ask for free notification so that a reference never outlives its target.
//
// ```cpp
// TComponent form(nullptr);
// auto* query = new TSQLiteQuery(&form);      // the form frees it
// query->SetName("Products");                 // unique among the form's components
// TComponent* found = form.FindComponent("products");  // letter case aside
// int owned = form.ComponentCount();
// ```
#pragma once

#include <string>

#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Objects.h>

namespace tavkit {

enum class TOperation { opInsert, opRemove };

// Component state flags (a set held as bits).
enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csDestroying = 1u << 1,
  csDesigning = 1u << 2,
};

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* GetOwner() const { return FOwner; }
  const std::string& GetName() const { return FName; }
  // Raises Exception for a name that is not an identifier or is taken by
  // another component of the same owner; the empty name is always allowed.
  virtual void SetName(const std::string& name);
  int GetTag() const { return FTag; }
  void SetTag(int tag) { FTag = tag; }

  int ComponentCount() const { return FComponents.Count(); }
  TComponent* Components(int index) const { return FComponents.Get(index); }
  int GetComponentIndex() const;
  // The owned component of that name (case-insensitive, as names are), or null.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, the last first.
  void DestroyComponents();

  // Asks to be told (through Notification) when component is freed; the
  // bond is mutual, so each side learns of the other's end.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);
  // Told when a component is inserted or removed; the default passes the
  // news on to every owned component.
  virtual void Notification(TComponent* component, TOperation operation);

  unsigned ComponentState() const { return FState; }
  bool IsDesigning() const { return (FState & csDesigning) != 0; }
  bool IsLoading() const { return (FState & csLoading) != 0; }
  bool IsDestroying() const { return (FState & csDestroying) != 0; }
  // Switches the design state on or off, for the owned components too.
  void SetDesigning(bool designing);
  void SetLoading(bool loading);
  // Called once the form this component belongs to has been read completely.
  virtual void Loaded();
  // True for a component whose Loaded reads what others make ready in
  // theirs (a table reading a query that opens when loaded): a form reader
  // tells such components last, so that the order of the file plays no part.
  virtual bool LoadedLast() const { return false; }

 private:
  TComponent* FOwner = nullptr;
  std::string FName;
  int FTag = 0;
  unsigned FState = 0;
  TList<TComponent> FComponents;
  TList<TComponent> FFreeNotifies;
};

// True for a name that can identify a component: a letter or "_" followed by
// letters, digits and "_".
bool IsValidIdent(const std::string& name);

}  // namespace tavkit
