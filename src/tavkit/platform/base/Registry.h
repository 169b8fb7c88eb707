// The class registry: every streamable class records its name, its parent
// class, its published properties (with typed accessors) and, for components,
// a factory, its palette page and the painter of its palette bitmap. Form
// files, the command line and the designer work through it; C++ code calls
// the typed accessors directly.
//
// ```cpp
// // An element of the application, published so that form files can hold it.
// class TGreeting : public TWvStandardComponent {
//  public:
//   using TWvStandardComponent::TWvStandardComponent;
//   const std::string& GetVisitor() const { return FVisitor; }
//   void SetVisitor(const std::string& name) { FVisitor = name; }
//
//  private:
//   std::string FVisitor;
// };
// RegisterClass<TGreeting, TWvStandardComponent>(
//     {props::String<TGreeting>("Visitor", &TGreeting::GetVisitor, &TGreeting::SetVisitor)});
// RegisterComponents("Shop", {"TGreeting"});  // on the designer's palette page "Shop"
// TComponent form(nullptr);
// TComponent* greeting = CreateComponent("TGreeting", &form);
// ```
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <variant>
#include <vector>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TBitmap;

// Draws the palette picture of a component class onto a bitmap of
// PaletteIconSize pixels square in 16 colours that starts white.
using TPaletteIconPainter = std::function<void(TBitmap&)>;
inline constexpr int PaletteIconSize = 32;

enum class TPropKind {
  pkInteger,
  pkColor,
  pkBoolean,
  pkString,
  pkStrings,     // a string list, one line per entry
  pkEnum,        // an enumeration, by the names of its values
  pkObject,      // an owned sub-object whose own properties are published (a font)
  pkCollection,  // an owned collection of items
  pkComponent,   // a reference to another component
  pkField,       // a reference to a field of a data set: "DataSet.FIELD"
};

// A property value as the registry moves it. Integers, colours and enum
// ordinals travel as int64; objects and collections as the owned object.
using TPropValue = std::variant<std::monostate, std::int64_t, bool, std::string,
                                std::vector<std::string>, TPersistent*, TComponent*>;

struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::pkInteger;
  std::vector<std::string> EnumNames;        // pkEnum: value names by ordinal
  std::string RefClass;                      // pkComponent: the class a reference must be
  std::function<bool(TComponent*)> Accepts;  // pkComponent: whether a component fits
  std::function<TPropValue(TPersistent&)> Get;
  // Empty for sub-objects and collections, which are changed in place.
  std::function<void(TPersistent&, const TPropValue&)> Set;
  // A value that saved forms leave out, so that a property added later
  // does not change the files of the forms that never set it.
  std::optional<TPropValue> Default;
};

struct TClassInfo {
  std::string Name;
  std::string ParentName;
  std::vector<TPropInfo> Properties;                      // the class's own, in publishing order
  std::function<TComponent*(TComponent* owner)> Factory;  // components only
  std::string PalettePage;                                // set by RegisterComponents
  TPaletteIconPainter PaletteIcon;  // set by SetPaletteIcon; empty for no picture

  // The name of the class's palette bitmap: the class name in capitals.
  std::string ResourceName() const;

  // The published properties of the class and its ancestors, ancestors first.
  std::vector<const TPropInfo*> AllProperties() const;
  // Case-insensitive lookup through the ancestors.
  const TPropInfo* FindProperty(const std::string& name) const;
  const TClassInfo* Parent() const;
  // True when this class is className or descends from it.
  bool InheritsFrom(const std::string& className) const;
};

class TClassRegistry {
 public:
  static TClassRegistry& Instance();
  // Adds or replaces the class of that name.
  TClassInfo& Register(std::type_index type, TClassInfo info);
  const TClassInfo* Find(const std::string& name) const;
  const TClassInfo* Find(std::type_index type) const;
  // The registered class of an object, by its exact C++ type.
  const TClassInfo* ClassOf(const TObject& object) const;
  // Every registered class in the order of registration.
  std::vector<const TClassInfo*> Classes() const;
  // The components registered on a palette page, in palette order.
  std::vector<const TClassInfo*> PaletteComponents(const std::string& page) const;
  void SetPalettePage(const std::string& className, const std::string& page);
  // Gives a registered component class its palette picture; raises Exception
  // for a name that is no registered component class.
  void SetPaletteIcon(const std::string& className, TPaletteIconPainter painter);

 private:
  std::vector<std::unique_ptr<TClassInfo>> FClasses;
  std::map<std::string, TClassInfo*> FByName;  // upper-case names
  std::map<std::type_index, TClassInfo*> FByType;
  std::vector<std::string> FPaletteOrder;
};

// Puts the named (already registered) component classes on a palette page.
// Raises Exception for a class that is not registered or is no component.
void RegisterComponents(const std::string& page, std::initializer_list<std::string> classNames);

// Creates a component of a registered class, owned by owner; raises
// Exception "Class X not found" for an unknown or non-component class.
TComponent* CreateComponent(const std::string& className, TComponent* owner);

// ---- Building property descriptions from accessors -----------------------
// Each helper takes the class C, a getter and a setter (member pointers or
// callables taking C&), and wraps them into the registry's value type.

namespace props {

// The property, with value as its default (left out of saved forms).
inline TPropInfo WithDefault(TPropInfo info, TPropValue value) {
  info.Default = std::move(value);
  return info;
}

inline TPropInfo MakeInfo(std::string name, TPropKind kind) {
  TPropInfo info;
  info.Name = std::move(name);
  info.Kind = kind;
  return info;
}

template <class C, class F>
decltype(auto) Call(F&& f, TPersistent& object) {
  return std::invoke(f, static_cast<C&>(object));
}

template <class C, class G, class S>
TPropInfo Integer(std::string name, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkInteger);
  info.Get = [get](TPersistent& o) { return TPropValue(std::int64_t(Call<C>(get, o))); };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    std::invoke(set, static_cast<C&>(o), static_cast<int>(std::get<std::int64_t>(v)));
  };
  return info;
}

template <class C, class G, class S>
TPropInfo Color(std::string name, G get, S set) {
  TPropInfo info = Integer<C>(std::move(name), get, set);
  info.Kind = TPropKind::pkColor;
  return info;
}

template <class C, class G, class S>
TPropInfo Boolean(std::string name, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkBoolean);
  info.Get = [get](TPersistent& o) { return TPropValue(bool(Call<C>(get, o))); };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    std::invoke(set, static_cast<C&>(o), std::get<bool>(v));
  };
  return info;
}

template <class C, class G, class S>
TPropInfo String(std::string name, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkString);
  info.Get = [get](TPersistent& o) { return TPropValue(std::string(Call<C>(get, o))); };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    std::invoke(set, static_cast<C&>(o), std::get<std::string>(v));
  };
  return info;
}

// get returns the owned list (pointer or reference); set takes a TStrings.
template <class C, class G, class S>
TPropInfo Strings(std::string name, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkStrings);
  info.Get = [get](TPersistent& o) {
    decltype(auto) list = Call<C>(get, o);
    if constexpr (std::is_pointer_v<std::remove_reference_t<decltype(list)>>)
      return TPropValue(list->ToVector());
    else
      return TPropValue(list.ToVector());
  };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    // The setter copies what it keeps; a view spares a copy of every line.
    const TStringsView lines(std::get<std::vector<std::string>>(v));
    if constexpr (std::is_invocable_v<S, C&, const TStrings*>)
      std::invoke(set, static_cast<C&>(o), static_cast<const TStrings*>(&lines));
    else
      std::invoke(set, static_cast<C&>(o), static_cast<const TStrings&>(lines));
  };
  return info;
}

template <class C, class G, class S>
TPropInfo Enum(std::string name, std::vector<std::string> names, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkEnum);
  info.EnumNames = std::move(names);
  info.Get = [get](TPersistent& o) { return TPropValue(std::int64_t(Call<C>(get, o))); };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    using Arg = std::decay_t<decltype(Call<C>(get, o))>;
    std::invoke(set, static_cast<C&>(o), static_cast<Arg>(std::get<std::int64_t>(v)));
  };
  return info;
}

// get returns a pointer to the owned sub-object.
template <class C, class G>
TPropInfo Object(std::string name, G get) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkObject);
  info.Get = [get](TPersistent& o) {
    return TPropValue(static_cast<TPersistent*>(Call<C>(get, o)));
  };
  return info;
}

template <class C, class G>
TPropInfo Collection(std::string name, G get) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkCollection);
  info.Get = [get](TPersistent& o) {
    return TPropValue(static_cast<TPersistent*>(Call<C>(get, o)));
  };
  return info;
}

// A reference to a component of class Target (or a descendant).
template <class C, class Target, class G, class S>
TPropInfo Component(std::string name, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkComponent);
  info.RefClass = DemangledClassName(typeid(Target).name());
  info.Accepts = [](TComponent* c) { return c == nullptr || dynamic_cast<Target*>(c) != nullptr; };
  info.Get = [get](TPersistent& o) {
    return TPropValue(static_cast<TComponent*>(Call<C>(get, o)));
  };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    std::invoke(set, static_cast<C&>(o), dynamic_cast<Target*>(std::get<TComponent*>(v)));
  };
  return info;
}

}  // namespace props

// Registers class C under its own name with parent Parent and the given
// properties; components get a factory calling C(owner).
template <class C, class Parent>
TClassInfo& RegisterClass(std::vector<TPropInfo> properties) {
  TClassInfo info;
  info.Name = DemangledClassName(typeid(C).name());
  info.ParentName = DemangledClassName(typeid(Parent).name());
  info.Properties = std::move(properties);
  if constexpr (std::is_base_of_v<TComponent, C> && !std::is_abstract_v<C> &&
                std::is_constructible_v<C, TComponent*>)
    info.Factory = [](TComponent* owner) -> TComponent* { return new C(owner); };
  return TClassRegistry::Instance().Register(std::type_index(typeid(C)), std::move(info));
}

}  // namespace tavkit
