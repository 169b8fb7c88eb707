// Class registry lookups, palette pages and pictures, and component creation
// by name.
#include <tavkit/platform/base/Registry.h>

#include <strings.h>

#include <algorithm>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/TextEncoding.h>

namespace tavkit {

std::vector<const TPropInfo*> TClassInfo::AllProperties() const {
  std::vector<const TPropInfo*> all;
  if (const TClassInfo* parent = Parent()) all = parent->AllProperties();
  for (const auto& p : Properties) {
    // A class may publish again what an ancestor published: the newer wins
    // but keeps the ancestor's place.
    auto same = std::find_if(all.begin(), all.end(), [&](const TPropInfo* q) {
      return strcasecmp(q->Name.c_str(), p.Name.c_str()) == 0;
    });
    if (same != all.end())
      *same = &p;
    else
      all.push_back(&p);
  }
  return all;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& name) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->Parent())
    for (const auto& p : c->Properties)
      if (strcasecmp(p.Name.c_str(), name.c_str()) == 0) return &p;
  return nullptr;
}

std::string TClassInfo::ResourceName() const {
  return AsciiUpperCase(Name);
}

const TClassInfo* TClassInfo::Parent() const {
  if (ParentName.empty() || ParentName == Name) return nullptr;
  return TClassRegistry::Instance().Find(ParentName);
}

bool TClassInfo::InheritsFrom(const std::string& className) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->Parent())
    if (strcasecmp(c->Name.c_str(), className.c_str()) == 0) return true;
  return false;
}

TClassRegistry& TClassRegistry::Instance() {
  static TClassRegistry* registry = [] {
    auto* r = new TClassRegistry;
    TClassInfo persistent;
    persistent.Name = "TPersistent";
    r->Register(std::type_index(typeid(TPersistent)), persistent);
    TClassInfo component;
    component.Name = "TComponent";
    component.ParentName = "TPersistent";
    component.Properties.push_back(
        props::Integer<TComponent>("Tag", &TComponent::GetTag, &TComponent::SetTag));
    r->Register(std::type_index(typeid(TComponent)), component);
    return r;
  }();
  return *registry;
}

TClassInfo& TClassRegistry::Register(std::type_index type, TClassInfo info) {
  std::string key = AsciiUpperCase(info.Name);
  auto existing = FByName.find(key);
  if (existing != FByName.end()) {
    // Registering a class again renews its description, not its place on
    // the palette nor its picture.
    std::string page = existing->second->PalettePage;
    TPaletteIconPainter icon = std::move(existing->second->PaletteIcon);
    *existing->second = std::move(info);
    existing->second->PalettePage = page;
    existing->second->PaletteIcon = std::move(icon);
    FByType[type] = existing->second;
    return *existing->second;
  }
  FClasses.push_back(std::make_unique<TClassInfo>(std::move(info)));
  TClassInfo* stored = FClasses.back().get();
  FByName[key] = stored;
  FByType[type] = stored;
  return *stored;
}

const TClassInfo* TClassRegistry::Find(const std::string& name) const {
  auto it = FByName.find(AsciiUpperCase(name));
  return it == FByName.end() ? nullptr : it->second;
}

const TClassInfo* TClassRegistry::Find(std::type_index type) const {
  auto it = FByType.find(type);
  return it == FByType.end() ? nullptr : it->second;
}

const TClassInfo* TClassRegistry::ClassOf(const TObject& object) const {
  return Find(std::type_index(typeid(object)));
}

std::vector<const TClassInfo*> TClassRegistry::Classes() const {
  std::vector<const TClassInfo*> all;
  for (const auto& c : FClasses) all.push_back(c.get());
  return all;
}

std::vector<const TClassInfo*> TClassRegistry::PaletteComponents(const std::string& page) const {
  std::vector<const TClassInfo*> result;
  for (const auto& name : FPaletteOrder) {
    const TClassInfo* info = Find(name);
    if (info != nullptr && info->PalettePage == page) result.push_back(info);
  }
  return result;
}

void TClassRegistry::SetPalettePage(const std::string& className, const std::string& page) {
  auto it = FByName.find(AsciiUpperCase(className));
  if (it == FByName.end() || !it->second->Factory)
    throw Exception("Cannot register " + className + ": not a registered component class");
  it->second->PalettePage = page;
  if (std::find(FPaletteOrder.begin(), FPaletteOrder.end(), it->second->Name) ==
      FPaletteOrder.end())
    FPaletteOrder.push_back(it->second->Name);
}

void TClassRegistry::SetPaletteIcon(const std::string& className, TPaletteIconPainter painter) {
  auto it = FByName.find(AsciiUpperCase(className));
  if (it == FByName.end() || !it->second->Factory)
    throw Exception("Cannot give " + className +
                    " a palette bitmap: not a registered component class");
  it->second->PaletteIcon = std::move(painter);
}

void RegisterComponents(const std::string& page, std::initializer_list<std::string> classNames) {
  for (const auto& name : classNames) TClassRegistry::Instance().SetPalettePage(name, page);
}

TComponent* CreateComponent(const std::string& className, TComponent* owner) {
  const TClassInfo* info = TClassRegistry::Instance().Find(className);
  if (info == nullptr || !info->Factory) throw Exception("Class " + className + " not found");
  return info->Factory(owner);
}

}  // namespace tavkit
