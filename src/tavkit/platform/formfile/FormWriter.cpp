// Writing form files: every component the form owns, with every published
// property its class registers, walked through the same registry
// descriptions that the reader applies. Nested controls are written inside
// their parents; references to other components are written by name.
#include <tavkit/platform/formfile/FormFile.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/formfile/detail/FormJson.h>

namespace tavkit {

namespace {

using detail::ColorNames;
using detail::Hex;
using detail::Json;
using detail::TColorName;

Json SaveObject(TPersistent& object, const std::string& place);

[[noreturn]] void SaveFail(const std::string& place, const std::string& what) {
  throw Exception("Cannot save " + place + ": " + what);
}

Json SaveColor(TColor color) {
  for (const TColorName& c : ColorNames)
    if (c.Value == color) return c.Name;
  if ((static_cast<std::uint32_t>(color) & 0xFF000000u) == 0)
    return "#" + Hex(GetRValue(color), 2) + Hex(GetGValue(color), 2) + Hex(GetBValue(color), 2);
  return color;
}

Json SaveValue(TPersistent& object, const TPropInfo& prop, const std::string& place) {
  const TPropValue value = prop.Get(object);
  const std::string where = place + ", property " + prop.Name;
  auto need = [&](auto* held) {
    if (held == nullptr) SaveFail(where, "the property gives a value of the wrong kind");
    return *held;
  };
  switch (prop.Kind) {
    case TPropKind::pkInteger:
      return need(std::get_if<std::int64_t>(&value));
    case TPropKind::pkColor:
      return SaveColor(static_cast<TColor>(need(std::get_if<std::int64_t>(&value))));
    case TPropKind::pkBoolean:
      return need(std::get_if<bool>(&value));
    case TPropKind::pkString:
      return Latin1ToUtf8(need(std::get_if<std::string>(&value)));
    case TPropKind::pkStrings: {
      Json lines = Json::array();
      for (const auto& line : need(std::get_if<std::vector<std::string>>(&value)))
        lines.push_back(Latin1ToUtf8(line));
      return lines;
    }
    case TPropKind::pkEnum: {
      std::int64_t ordinal = need(std::get_if<std::int64_t>(&value));
      if (ordinal < 0 || ordinal >= static_cast<std::int64_t>(prop.EnumNames.size()))
        SaveFail(where, "the value " + std::to_string(ordinal) + " has no name");
      return prop.EnumNames[static_cast<std::size_t>(ordinal)];
    }
    case TPropKind::pkObject: {
      TPersistent* sub = need(std::get_if<TPersistent*>(&value));
      return sub == nullptr ? Json() : SaveObject(*sub, where);
    }
    case TPropKind::pkCollection: {
      auto* collection = dynamic_cast<TCollection*>(need(std::get_if<TPersistent*>(&value)));
      if (collection == nullptr) SaveFail(where, "the property holds no collection");
      Json items = Json::array();
      for (int i = 0; i < collection->Count(); ++i)
        items.push_back(SaveObject(*collection->GetItem(i), where + "[" + std::to_string(i) + "]"));
      return items;
    }
    case TPropKind::pkComponent: {
      TComponent* target = need(std::get_if<TComponent*>(&value));
      return target == nullptr ? "" : target->GetName();
    }
    case TPropKind::pkField: {
      const auto* reference = std::get_if<std::string>(&value);
      return reference == nullptr ? "" : Latin1ToUtf8(*reference);
    }
  }
  SaveFail(where, "unknown property kind");
}

Json SaveObject(TPersistent& object, const std::string& place) {
  const TClassInfo* info = TClassRegistry::Instance().ClassOf(object);
  if (info == nullptr) SaveFail(place, "class " + object.ClassName() + " is not registered");
  Json values = Json::object();
  for (const TPropInfo* prop : info->AllProperties()) {
    if (!prop->Get) continue;
    if (prop->Default && prop->Get(object) == *prop->Default) continue;
    values[prop->Name] = SaveValue(object, *prop, place);
  }
  return values;
}

Json SaveComponent(TComponent& form, TComponent& component) {
  const TClassInfo* info = TClassRegistry::Instance().ClassOf(component);
  const std::string place = "component " + component.GetName();
  if (info == nullptr) SaveFail(place, "class " + component.ClassName() + " is not registered");
  Json entry = Json::object();
  entry["class"] = info->Name;
  entry["name"] = component.GetName();
  entry["properties"] = SaveObject(component, place + " (" + info->Name + ")");
  if (auto* container = dynamic_cast<TWinControl*>(&component)) {
    Json children = Json::array();
    for (int i = 0; i < container->GetControlCount(); ++i) {
      TControl* child = container->GetControl(i);
      // A child owned elsewhere belongs to another form's file, not this one.
      if (child->GetOwner() == &form) children.push_back(SaveComponent(form, *child));
    }
    if (!children.empty()) entry["children"] = std::move(children);
  }
  return entry;
}

// Top level: every owned component that is not a control, or a control whose
// parent is missing, the form itself, or something the form does not own.
bool IsTopLevel(TComponent& form, TComponent& component) {
  auto* control = dynamic_cast<TControl*>(&component);
  if (control == nullptr) return true;
  TWinControl* parent = control->GetParent();
  return parent == nullptr || parent == &form || parent->GetOwner() != &form;
}

}  // namespace

std::string SaveForm(TComponent& form) {
  Json components = Json::array();
  for (int i = 0; i < form.ComponentCount(); ++i) {
    TComponent* component = form.Components(i);
    if (IsTopLevel(form, *component)) components.push_back(SaveComponent(form, *component));
  }
  Json root = Json::object();
  root["form"] = form.GetName();
  root["components"] = std::move(components);
  return root.dump(2) + "\n";
}

void SaveFormToFile(TComponent& form, const std::string& fileName) {
  const std::string text = SaveForm(form);
  WriteFileAtomically(fileName, text.data(), text.size());
}

}  // namespace tavkit
