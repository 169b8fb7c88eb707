// Descriptions of the form and its published properties for the designer's
// UI, and property edits written into the form text.
#include "design/PropertyModel.h"

#include <strings.h>

#include <cstdio>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/data/DataSet.h>

namespace tavkit::design {

namespace {

// The colour constants a form file names, in the order a picker lists them.
const char* const kColorNames[] = {"clNone", "clBlack",  "clMaroon", "clGreen", "clOlive",
                                   "clNavy", "clPurple", "clTeal",   "clGray",  "clSilver",
                                   "clRed",  "clLime",   "clYellow", "clBlue",  "clFuchsia",
                                   "clAqua", "clWhite"};

bool SameName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// The entry of a component in the "components" tree of a form file.
TJson* FindEntry(TJson& entries, const std::string& name) {
  if (!entries.is_array()) return nullptr;
  for (TJson& entry : entries) {
    if (!entry.is_object()) continue;
    if (entry.contains("name") && entry["name"].is_string() &&
        SameName(entry["name"].get<std::string>(), name))
      return &entry;
    if (entry.contains("children"))
      if (TJson* found = FindEntry(entry["children"], name)) return found;
  }
  return nullptr;
}

std::string WebColor(TColor color) {
  TColor rgb = ColorToRGB(color);
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  return text;
}

TJson ComponentChoices(TComponent& form, const TPropInfo& prop) {
  TJson choices = TJson::array({""});
  for (int i = 0; i < form.ComponentCount(); ++i) {
    TComponent* candidate = form.Components(i);
    if (!candidate->GetName().empty() && (!prop.Accepts || prop.Accepts(candidate)))
      choices.push_back(candidate->GetName());
  }
  return choices;
}

// Every field of every data set of the form that can tell its fields; a data
// set that cannot (a missing database) offers none.
TJson FieldChoices(TComponent& form) {
  TJson choices = TJson::array({""});
  for (int i = 0; i < form.ComponentCount(); ++i) {
    auto* dataSet = dynamic_cast<TDataSet*>(form.Components(i));
    if (dataSet == nullptr || dataSet->GetName().empty()) continue;
    try {
      for (int f = 0; f < dataSet->FieldCount(); ++f)
        choices.push_back(dataSet->GetName() + "." + dataSet->Fields(f)->FieldName());
    } catch (const std::exception&) {
      continue;
    }
  }
  return choices;
}

TJson DescribeProperties(TComponent& form, TPersistent& object, const TClassInfo& info,
                         const TJson& values);

TJson DescribeProperty(TComponent& form, TPersistent& object, const TPropInfo& prop,
                       const TJson& value) {
  TJson entry = {{"name", prop.Name}, {"kind", KindName(prop.Kind)}};
  switch (prop.Kind) {
    case TPropKind::pkObject: {
      const TPropValue held = prop.Get(object);
      const auto* sub = std::get_if<TPersistent*>(&held);
      const TClassInfo* info =
          sub != nullptr && *sub != nullptr ? TClassRegistry::Instance().ClassOf(**sub) : nullptr;
      if (info == nullptr) return TJson();
      entry["class"] = info->Name;
      entry["properties"] = DescribeProperties(form, **sub, *info, value);
      return entry;
    }
    case TPropKind::pkCollection: {
      const TPropValue held = prop.Get(object);
      const auto* sub = std::get_if<TPersistent*>(&held);
      auto* collection = sub != nullptr ? dynamic_cast<TCollection*>(*sub) : nullptr;
      if (collection == nullptr) return TJson();
      TJson items = TJson::array();
      for (int i = 0; i < collection->Count(); ++i) {
        TCollectionItem& item = *collection->GetItem(i);
        const TClassInfo* info = TClassRegistry::Instance().ClassOf(item);
        const auto index = static_cast<std::size_t>(i);
        const TJson itemValues = value.is_array() && index < value.size() ? value[index] : TJson();
        items.push_back(info == nullptr ? TJson::array()
                                        : DescribeProperties(form, item, *info, itemValues));
      }
      entry["items"] = std::move(items);
      return entry;
    }
    case TPropKind::pkEnum:
      entry["choices"] = prop.EnumNames;
      break;
    case TPropKind::pkColor: {
      entry["choices"] = kColorNames;
      const TPropValue held = prop.Get(object);
      if (const auto* color = std::get_if<std::int64_t>(&held))
        entry["rgb"] = WebColor(static_cast<TColor>(*color));
      break;
    }
    case TPropKind::pkComponent:
      entry["choices"] = ComponentChoices(form, prop);
      break;
    case TPropKind::pkField:
      entry["choices"] = FieldChoices(form);
      break;
    default:
      break;
  }
  entry["value"] = value;
  if (!prop.Set && prop.Kind != TPropKind::pkField) entry["readOnly"] = true;
  return entry;
}

TJson DescribeProperties(TComponent& form, TPersistent& object, const TClassInfo& info,
                         const TJson& values) {
  TJson list = TJson::array();
  for (const TPropInfo* prop : info.AllProperties()) {
    if (!prop->Get) continue;
    TJson value = values.is_object() && values.contains(prop->Name) ? values[prop->Name] : TJson();
    // A property at its default is left out of the saved text.
    if (value.is_null() && prop->Default)
      if (const auto* number = std::get_if<std::int64_t>(&*prop->Default)) value = *number;
    TJson entry = DescribeProperty(form, object, *prop, value);
    if (!entry.is_null()) list.push_back(std::move(entry));
  }
  return list;
}

TJson DescribeControl(TComponent& form, TControl& control) {
  const TClassInfo* info = TClassRegistry::Instance().ClassOf(control);
  auto* container = dynamic_cast<TWinControl*>(&control);
  TJson node = {{"name", control.GetName()},
                {"class", info != nullptr ? info->Name : control.ClassName()},
                {"left", control.GetLeft()},
                {"top", control.GetTop()},
                {"width", control.GetWidth()},
                {"height", control.GetHeight()},
                {"parentable", container != nullptr},
                {"accepts", control.HasStyle(csAcceptsControls)}};
  TJson children = TJson::array();
  if (container != nullptr)
    for (int i = 0; i < container->GetControlCount(); ++i) {
      TControl* child = container->GetControl(i);
      if (child->GetOwner() == &form) children.push_back(DescribeControl(form, *child));
    }
  node["children"] = std::move(children);
  return node;
}

// The entries of list that other has too (the same name and kind), each
// member kept where both agree and null where they differ; sub-properties
// are compared one by one. A property read-only for one is so for all.
TJson SharedProperties(const TJson& list, const TJson& other) {
  TJson shared = TJson::array();
  for (const TJson& entry : list) {
    const TJson* match = nullptr;
    for (const TJson& candidate : other)
      if (candidate["name"] == entry["name"] && candidate["kind"] == entry["kind"]) {
        match = &candidate;
        break;
      }
    if (match == nullptr) continue;
    TJson merged = entry;
    for (auto item : merged.items()) {
      const std::string& key = item.key();
      if (key == "name" || key == "kind") continue;
      if (key == "properties" && match->contains(key))
        item.value() = SharedProperties(entry[key], (*match)[key]);
      else if (!match->contains(key) || (*match)[key] != item.value())
        item.value() = key == "readOnly" ? TJson(true) : TJson();
    }
    for (auto item : match->items())
      if (!merged.contains(item.key()))
        merged[item.key()] = item.key() == "readOnly" ? TJson(true) : TJson();
    shared.push_back(std::move(merged));
  }
  return shared;
}

}  // namespace

const char* KindName(TPropKind kind) {
  switch (kind) {
    case TPropKind::pkInteger:
      return "integer";
    case TPropKind::pkColor:
      return "color";
    case TPropKind::pkBoolean:
      return "boolean";
    case TPropKind::pkString:
      return "string";
    case TPropKind::pkStrings:
      return "strings";
    case TPropKind::pkEnum:
      return "enum";
    case TPropKind::pkObject:
      return "object";
    case TPropKind::pkCollection:
      return "collection";
    case TPropKind::pkComponent:
      return "component";
    case TPropKind::pkField:
      return "field";
  }
  return "unknown";
}

TJson DescribeComponent(TComponent& form, const std::string& formText, const std::string& name) {
  TJson root = TJson::parse(formText);
  return DescribeComponent(form, root, name);
}

TJson DescribeComponent(TComponent& form, TJson& root, const std::string& name) {
  TComponent& component = FindDesignComponent(form, name);
  const TClassInfo* info = TClassRegistry::Instance().ClassOf(component);
  if (info == nullptr) throw Exception("Class " + component.ClassName() + " is not registered");
  const TJson* entry = FindEntry(root["components"], component.GetName());
  const TJson values =
      entry != nullptr && entry->contains("properties") ? (*entry)["properties"] : TJson::object();
  return {{"name", component.GetName()},
          {"class", info->Name},
          {"control", dynamic_cast<TControl*>(&component) != nullptr},
          {"properties", DescribeProperties(form, component, *info, values)}};
}

TJson DescribeForm(TComponent& form) {
  TJson controls = TJson::array();
  TJson others = TJson::array();
  for (int i = 0; i < form.ComponentCount(); ++i) {
    TComponent* component = form.Components(i);
    auto* control = dynamic_cast<TControl*>(component);
    if (control == nullptr) {
      const TClassInfo* info = TClassRegistry::Instance().ClassOf(*component);
      others.push_back({{"name", component->GetName()},
                        {"class", info != nullptr ? info->Name : component->ClassName()}});
    } else if (control->GetParent() == nullptr || control->GetParent()->GetOwner() != &form) {
      controls.push_back(DescribeControl(form, *control));
    }
  }
  return {{"form", form.GetName()}, {"controls", controls}, {"components", others}};
}

TJson DescribePalette(const std::string& page) {
  TJson palette = TJson::array();
  for (const TClassInfo* info : TClassRegistry::Instance().PaletteComponents(page))
    palette.push_back({{"class", info->Name},
                       {"control", info->InheritsFrom("TControl")},
                       {"icon", static_cast<bool>(info->PaletteIcon)}});
  return palette;
}

std::string SetFormProperty(const std::string& formText, const std::string& component,
                            const TJson& path, const TJson& value) {
  TJson root = TJson::parse(formText);
  SetFormProperty(root, component, path, value);
  return root.dump(2) + "\n";
}

void SetFormProperty(TJson& root, const std::string& component, const TJson& path,
                     const TJson& value) {
  const TJson steps = path.is_string() ? TJson::array({path}) : path;
  if (!steps.is_array() || steps.empty()) throw Exception("No property named");
  TJson* entry = FindEntry(root["components"], component);
  if (entry == nullptr) throw Exception("The form has no component named " + component);
  TJson* at = &(*entry)["properties"];
  if (at->is_null()) *at = TJson::object();
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const TJson& step = steps[i];
    const bool last = i + 1 == steps.size();
    if (step.is_string() && at->is_object()) {
      const std::string key = step.get<std::string>();
      // A sub-object the file leaves out is made for the step below it.
      if (!at->contains(key) && !last) (*at)[key] = TJson::object();
      at = &(*at)[key];
    } else if (step.is_number_unsigned() && at->is_array() &&
               step.get<std::size_t>() < at->size()) {
      at = &(*at)[step.get<std::size_t>()];
    } else {
      throw Exception("Component " + component + " has no property " + path.dump());
    }
  }
  *at = value;
}

TJson DescribeShared(TComponent& form, const std::string& formText,
                     const std::vector<std::string>& names) {
  if (names.empty()) throw Exception("No component named");
  TJson root = TJson::parse(formText);
  TJson components = TJson::array();
  TJson properties;
  for (const std::string& name : names) {
    const TJson described = DescribeComponent(form, root, name);
    components.push_back(described["name"]);
    properties = properties.is_null() ? described["properties"]
                                      : SharedProperties(properties, described["properties"]);
  }
  TJson shared = TJson::array();
  for (TJson& entry : properties)
    if (entry["name"] != "Name") shared.push_back(std::move(entry));
  return {{"components", std::move(components)}, {"properties", std::move(shared)}};
}

}  // namespace tavkit::design
