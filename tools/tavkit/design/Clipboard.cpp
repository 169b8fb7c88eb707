// Copy and paste of components as form file text. References are found by
// the kinds the class registry gives each property, read from a sample
// instance of the class (sub-objects and collection items have their class
// only there), never by matching strings: a caption that happens to read
// like a component's name stays as written.
#include "design/Clipboard.h"

#include <strings.h>

#include <cctype>
#include <functional>
#include <map>
#include <memory>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/formfile/FormFile.h>

namespace tavkit::design {

namespace {

// Names of a form are the same in any letter case.
std::string Key(const std::string& name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

std::string EntryText(const TJson& entry, const char* key) {
  return entry.is_object() && entry.contains(key) && entry[key].is_string()
             ? entry[key].get<std::string>()
             : std::string();
}

// Every component entry of a list of entries, each before its children.
void CollectEntries(TJson& entries, std::vector<TJson*>& all) {
  if (!entries.is_array()) return;
  for (TJson& entry : entries) {
    if (!entry.is_object()) continue;
    all.push_back(&entry);
    if (entry.contains("children")) CollectEntries(entry["children"], all);
  }
}

using TReferenceVisit = std::function<void(TJson& value, TPropKind kind)>;

// Calls visit on every component and field reference among values, the
// properties of object (whose class is info) as a form file writes them.
void VisitReferences(TPersistent& object, const TClassInfo& info, TJson& values,
                     const TReferenceVisit& visit) {
  if (!values.is_object()) return;
  for (auto item : values.items()) {
    const TPropInfo* prop = info.FindProperty(item.key());
    TJson& value = item.value();
    if (prop == nullptr) continue;
    if (prop->Kind == TPropKind::pkComponent || prop->Kind == TPropKind::pkField) {
      if (value.is_string()) visit(value, prop->Kind);
      continue;
    }
    if ((prop->Kind != TPropKind::pkObject && prop->Kind != TPropKind::pkCollection) || !prop->Get)
      continue;
    const TPropValue held = prop->Get(object);
    const auto* sub = std::get_if<TPersistent*>(&held);
    if (sub == nullptr || *sub == nullptr) continue;
    if (prop->Kind == TPropKind::pkObject) {
      if (const TClassInfo* subInfo = TClassRegistry::Instance().ClassOf(**sub))
        VisitReferences(**sub, *subInfo, value, visit);
      continue;
    }
    auto* collection = dynamic_cast<TCollection*>(*sub);
    if (collection == nullptr || !value.is_array()) continue;
    for (TJson& itemValues : value) {
      TCollectionItem* sample = collection->Add();
      if (const TClassInfo* itemInfo = TClassRegistry::Instance().ClassOf(*sample))
        VisitReferences(*sample, *itemInfo, itemValues, visit);
    }
  }
}

// Calls visit on every reference in the properties of the component
// entries, each entry's class telling their kinds through a sample of it.
void VisitEntryReferences(const std::vector<TJson*>& entries, const TReferenceVisit& visit) {
  TComponent samples(nullptr);
  samples.SetDesigning(true);
  std::map<const TClassInfo*, TComponent*> sampleOf;
  for (TJson* entry : entries) {
    const TClassInfo* info = TClassRegistry::Instance().Find(EntryText(*entry, "class"));
    if (info == nullptr || !info->Factory || !entry->contains("properties")) continue;
    TComponent*& sample = sampleOf[info];
    if (sample == nullptr) sample = info->Factory(&samples);
    VisitReferences(*sample, *info, (*entry)["properties"], visit);
  }
}

}  // namespace

std::string FreeName(TComponent& form, const std::string& className,
                     const std::set<std::string>& taken, int* next) {
  std::string base = className;
  if (base.size() > 1 && (base[0] == 'T' || base[0] == 't')) base.erase(0, 1);
  for (int n = next != nullptr ? *next : 1;; ++n) {
    std::string name = base + std::to_string(n);
    if (form.FindComponent(name) == nullptr &&
        strcasecmp(name.c_str(), form.GetName().c_str()) != 0 && taken.count(Key(name)) == 0) {
      if (next != nullptr) *next = n + 1;
      return name;
    }
  }
}

std::string CopyText(TComponent& form, const std::string& formText,
                     const std::vector<std::string>& names) {
  if (names.empty()) throw Exception("No component named to copy");
  std::set<std::string> chosen;
  const TControl* first = nullptr;
  for (const std::string& name : names) {
    TComponent& component = FindDesignComponent(form, name);
    chosen.insert(Key(component.GetName()));
    const auto* control = dynamic_cast<const TControl*>(&component);
    if (control == nullptr) continue;
    if (first == nullptr) first = control;
    if (control->GetParent() != first->GetParent())
      throw Exception(first->GetName() + " and " + control->GetName() +
                      " are not on the same parent; only components of one parent are copied "
                      "together");
  }
  TJson root = TJson::parse(formText);
  TJson copied = TJson::array();
  // The chosen controls have one parent, so none is inside another: the
  // first entry of each found in the form's order is the whole of it.
  const std::function<void(const TJson&)> collect = [&](const TJson& entries) {
    if (!entries.is_array()) return;
    for (const TJson& entry : entries) {
      if (chosen.count(Key(EntryText(entry, "name"))) != 0)
        copied.push_back(entry);
      else if (entry.is_object() && entry.contains("children"))
        collect(entry["children"]);
    }
  };
  collect(root["components"]);
  const TJson text = {{"form", root["form"]}, {"components", std::move(copied)}};
  return text.dump(2) + "\n";
}

TPasteEntries ReadPasteText(TComponent& form, const std::string& text) {
  // The reader judges the text as it is, its messages naming the
  // components as the text does, on a copy whose references are emptied:
  // those are judged once they have their new names, in the form they
  // join, where the components outside the text can be found.
  TFormTemplate::FromText(text);
  TJson root = TJson::parse(text);
  {
    TJson alone = root;
    std::vector<TJson*> entries;
    if (alone.is_object() && alone.contains("components"))
      CollectEntries(alone["components"], entries);
    VisitEntryReferences(entries, [](TJson& value, TPropKind) { value = std::string(); });
    TComponent scratch(nullptr);
    scratch.SetDesigning(true);
    LoadFormFromText(alone.dump(), scratch);
  }
  TPasteEntries paste;
  if (!root.contains("components")) return paste;
  paste.Entries = std::move(root["components"]);
  std::vector<TJson*> all;
  CollectEntries(paste.Entries, all);

  // Names the form has free are kept first, so that a fresh name given
  // below never takes a name a later component of the text keeps.
  std::set<std::string> taken;
  std::set<std::string> pasted;
  std::vector<bool> kept(all.size(), false);
  for (std::size_t i = 0; i < all.size(); ++i) {
    const std::string name = EntryText(*all[i], "name");
    if (name.empty()) continue;
    pasted.insert(Key(name));
    if (form.FindComponent(name) == nullptr &&
        strcasecmp(name.c_str(), form.GetName().c_str()) != 0 && taken.insert(Key(name)).second)
      kept[i] = true;
  }
  std::map<std::string, std::string> renamed;
  std::map<std::string, int> nextNumber;  // of each class
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (kept[i]) continue;
    std::string className = EntryText(*all[i], "class");
    if (className.empty()) className = "Component";
    auto number = nextNumber.try_emplace(Key(className), 1).first;
    const std::string fresh = FreeName(form, className, taken, &number->second);
    taken.insert(Key(fresh));
    const std::string old = EntryText(*all[i], "name");
    if (!old.empty()) renamed.emplace(Key(old), fresh);
    (*all[i])["name"] = fresh;
  }

  const std::string textForm = EntryText(root, "form");
  const auto follow = [&](const std::string& name) -> std::string {
    if (name.empty()) return name;
    const auto to = renamed.find(Key(name));
    if (to != renamed.end()) return to->second;
    if (pasted.count(Key(name)) != 0) return name;
    if (strcasecmp(name.c_str(), textForm.c_str()) == 0) return form.GetName();
    if (form.FindComponent(name) != nullptr ||
        strcasecmp(name.c_str(), form.GetName().c_str()) == 0)
      return name;
    return std::string();
  };
  const TReferenceVisit visit = [&](TJson& value, TPropKind kind) {
    const std::string reference = value.get<std::string>();
    if (kind == TPropKind::pkComponent) {
      value = follow(reference);
      return;
    }
    // A field is "DataSetName.FIELDNAME"; the reader judges any other text.
    const std::size_t dot = reference.find('.');
    if (dot == std::string::npos) return;
    const std::string dataSet = follow(reference.substr(0, dot));
    value = dataSet.empty() ? std::string() : dataSet + reference.substr(dot);
  };

  VisitEntryReferences(all, visit);
  for (const TJson& entry : paste.Entries) paste.Names.push_back(EntryText(entry, "name"));
  return paste;
}

}  // namespace tavkit::design
