// Ownership, naming and free notification of components.
#include <tavkit/platform/base/Components.h>

#include <strings.h>

#include <cctype>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

bool IsValidIdent(const std::string& name) {
  if (name.empty()) return false;
  auto first = static_cast<unsigned char>(name[0]);
  if (!(std::isalpha(first) || first == '_')) return false;
  for (char c : name) {
    auto u = static_cast<unsigned char>(c);
    if (!(std::isalnum(u) || u == '_') || u > 127) return false;
  }
  return true;
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  FState |= csDestroying;
  // Tell everyone bound to us, and drop our entry from their lists.
  while (FFreeNotifies.Count() > 0) {
    TComponent* other = FFreeNotifies.Last();
    FFreeNotifies.Delete(FFreeNotifies.Count() - 1);
    other->FFreeNotifies.Remove(this);
    other->Notification(this, TOperation::opRemove);
  }
  DestroyComponents();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::string& name) {
  if (name == FName) return;
  if (!name.empty()) {
    if (!IsValidIdent(name)) throw Exception("'" + name + "' is not a valid component name");
    if (FOwner != nullptr) {
      TComponent* other = FOwner->FindComponent(name);
      if (other != nullptr && other != this)
        throw Exception("A component named " + name + " already exists");
    }
  }
  FName = name;
}

int TComponent::GetComponentIndex() const {
  return FOwner == nullptr ? -1 : FOwner->FComponents.IndexOf(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (strcasecmp(c->FName.c_str(), name.c_str()) == 0) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component == nullptr || component->FOwner == this) return;
  if (!component->FName.empty() && FindComponent(component->FName) != nullptr)
    throw Exception("A component named " + component->FName + " already exists");
  if (component->FOwner != nullptr) component->FOwner->RemoveComponent(component);
  FComponents.Add(component);
  component->FOwner = this;
  if (IsDesigning()) component->SetDesigning(true);
  Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  if (component == nullptr || component->FOwner != this) return;
  Notification(component, TOperation::opRemove);
  FComponents.Remove(component);
  component->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (FComponents.Count() > 0) {
    TComponent* last = FComponents.Last();
    FComponents.Delete(FComponents.Count() - 1);
    last->FOwner = nullptr;
    delete last;
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (component == nullptr || component == this) return;
  if (FFreeNotifies.IndexOf(component) < 0) FFreeNotifies.Add(component);
  if (component->FFreeNotifies.IndexOf(this) < 0) component->FFreeNotifies.Add(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (component == nullptr) return;
  FFreeNotifies.Remove(component);
  component->FFreeNotifies.Remove(this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == TOperation::opRemove && component != nullptr) RemoveFreeNotification(component);
  // Iterate over a copy: a handler may change the list.
  TList<TComponent> owned;
  for (TComponent* c : FComponents) owned.Add(c);
  for (TComponent* c : owned)
    if (c != component) c->Notification(component, operation);
}

void TComponent::SetDesigning(bool designing) {
  if (designing)
    FState |= csDesigning;
  else
    FState &= ~static_cast<unsigned>(csDesigning);
  for (TComponent* c : FComponents) c->SetDesigning(designing);
}

void TComponent::SetLoading(bool loading) {
  if (loading)
    FState |= csLoading;
  else
    FState &= ~static_cast<unsigned>(csLoading);
}

void TComponent::Loaded() {
  SetLoading(false);
}

}  // namespace tavkit
