// Reading form files. The reader creates components through the class
// registry, applies their properties in the order written, defers component
// and field references until every component exists, and frees everything
// it made when anything goes wrong, so a caller never sees half a form.
#include <tavkit/platform/formfile/FormFile.h>

#include <strings.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <utility>
#include <vector>

#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/base/Types.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/formfile/detail/FormJson.h>

namespace tavkit {

namespace {

using detail::ColorNames;
using detail::Hex;
using detail::Json;
using detail::ParseFormJson;
using detail::TColorName;

thread_local const TFormLoadContext* CurrentLoad = nullptr;

struct TResolverTable {
  std::mutex Lock;
  std::vector<std::pair<int, TFieldResolver>> Items;
  int NextId = 1;
};

TResolverTable& Resolvers() {
  static TResolverTable table;
  return table;
}

const char* JsonKind(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "an integer";
    default:
      return "a number with a fraction";
  }
}

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

bool SameText(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Sets and restores the per-thread load context.
class TLoadScope {
 public:
  explicit TLoadScope(const TFormLoadContext* context) : FPrevious(CurrentLoad) {
    CurrentLoad = context;
  }
  ~TLoadScope() { CurrentLoad = FPrevious; }
  TLoadScope(const TLoadScope&) = delete;
  TLoadScope& operator=(const TLoadScope&) = delete;

 private:
  const TFormLoadContext* FPrevious;
};

// Holds a collection's change notices back while its items are replaced.
class TUpdateScope {
 public:
  explicit TUpdateScope(TCollection& collection) : FCollection(collection) {
    collection.BeginUpdate();
  }
  ~TUpdateScope() { FCollection.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TCollection& FCollection;
};

// How every message about the file begins.
std::string MessagePrefix(const std::string& fileName) {
  return fileName.empty() ? "Form file: " : "Form file " + fileName + ": ";
}

class TFormReader {
 public:
  TFormReader(TComponent& form, const std::string& fileName)
      : FForm(form), FPrefix(MessagePrefix(fileName)) {}

  // Builds the form from a parsed document, which is only read: one document
  // serves any number of loads.
  void Read(const Json& root);
  // Frees every component made so far, the last first.
  void Discard();

 private:
  // A property whose value names other components; set once all exist.
  struct TPending {
    TPersistent* Target;
    const TPropInfo* Property;
    const Json* Value;
    std::string Place;
  };

  [[noreturn]] void Fail(const std::string& place, const std::string& what) const {
    throw EFormFileError(FPrefix + place + ": " + what);
  }
  // A failure of a setter or of Loaded(); a refusal of size stays one.
  [[noreturn]] void Fail(const std::string& place, const std::exception& e) const {
    if (const auto* tooLarge = dynamic_cast<const ETooLarge*>(&e))
      throw ETooLargeAs<EFormFileError>(tooLarge->LimitName(), tooLarge->LimitValue(),
                                        FPrefix + place + ": " + e.what());
    throw EFormFileError(FPrefix + place + ": " + e.what());
  }
  [[noreturn]] void FailTop(const std::string& what) const { throw EFormFileError(FPrefix + what); }
  [[noreturn]] void FailTooLarge(const char* limitName, std::int64_t limit,
                                 const std::string& what) const {
    throw ETooLargeAs<EFormFileError>(limitName, limit, FPrefix + what);
  }
  void ReadComponent(const Json& entry, TWinControl* parent, int level);
  void ReadProperties(TPersistent& object, const TClassInfo& info, const Json& values,
                      const std::string& owner, const std::string& path);
  void ReadValue(TPersistent& object, const TPropInfo& prop, const Json& value,
                 const std::string& place, const std::string& path);
  void ReadCollection(TPersistent& object, const TPropInfo& prop, const Json& value,
                      const std::string& owner, const std::string& path);
  void Store(TPersistent& object, const TPropInfo& prop, const TPropValue& value,
             const std::string& place) const;
  std::string ReadString(const Json& value, const std::string& place) const;
  std::int64_t ReadInteger(const Json& value, const std::string& place, std::int64_t low,
                           std::int64_t high) const;
  TColor ReadColor(const Json& value, const std::string& place) const;
  void Resolve(const TPending& pending);
  TComponent* FindByName(const std::string& name) const;

  TComponent& FForm;
  std::string FPrefix;
  std::vector<TComponent*> FCreated;
  std::vector<TPending> FPending;
};

std::string Describe(const TComponent& component, const std::string& className) {
  if (component.GetName().empty()) return "unnamed component (" + className + ")";
  return "component " + component.GetName() + " (" + className + ")";
}

void TFormReader::Read(const Json& root) {
  if (!root.is_object())
    FailTop("the file holds " + std::string(JsonKind(root)) + ", not an object");
  for (const auto& [key, value] : root.items())
    if (key != "form" && key != "components") FailTop("unknown key " + Quoted(key));
  const auto formEntry = root.find("form");
  if (formEntry == root.end() || !formEntry->is_string())
    FailTop("\"form\" must be given as a string");
  const auto componentsEntry = root.find("components");
  const Json* components = componentsEntry != root.end() ? &*componentsEntry : nullptr;
  if (components != nullptr && !components->is_array())
    FailTop("\"components\" must be an array, not " + std::string(JsonKind(*components)));

  std::string formName = formEntry->get<std::string>();
  try {
    FForm.SetName(formName);
  } catch (const Exception& e) {
    FailTop("form " + Quoted(formName) + ": " + e.Message());
  }
  FForm.SetLoading(true);

  // The form itself is the parent of the top-level controls when it can be one.
  auto* formControl = dynamic_cast<TWinControl*>(&FForm);
  if (components != nullptr)
    for (const Json& entry : *components) ReadComponent(entry, formControl, 0);

  for (const TPending& pending : FPending) Resolve(pending);

  for (TComponent* component : FCreated) {
    try {
      component->Loaded();
    } catch (const std::exception& e) {
      Fail(Describe(*component, component->ClassName()), e);
    }
  }
  try {
    FForm.Loaded();
  } catch (const std::exception& e) {
    FailTop("form " + FForm.GetName() + ": " + e.what());
  }
}

void TFormReader::ReadComponent(const Json& entry, TWinControl* parent, int level) {
  std::string where = "component #" + std::to_string(FCreated.size() + 1);
  if (FCreated.size() >= static_cast<std::size_t>(MaxFormComponents))
    FailTooLarge("MaxFormComponents", MaxFormComponents,
                 "the form holds more than " + std::to_string(MaxFormComponents) + " components");
  if (!entry.is_object()) Fail(where, "expected an object, found " + std::string(JsonKind(entry)));
  std::string name;
  if (entry.contains("name")) {
    if (!entry["name"].is_string()) Fail(where, "\"name\" must be a string");
    name = entry["name"].get<std::string>();
    if (!name.empty()) where = "component " + name;
  }
  for (const auto& [key, value] : entry.items())
    if (key != "class" && key != "name" && key != "properties" && key != "children")
      Fail(where, "unknown key " + Quoted(key));
  if (!entry.contains("class") || !entry["class"].is_string())
    Fail(where, "\"class\" must be given as a string");
  const std::string className = entry["class"].get<std::string>();
  const TClassInfo* info = TClassRegistry::Instance().Find(className);
  if (info == nullptr || !info->Factory) Fail(where, "unknown class " + className);
  where = name.empty() ? "unnamed component (" + info->Name + ")"
                       : "component " + name + " (" + info->Name + ")";
  if (level > MaxFormNesting)
    FailTooLarge(
        "MaxFormNesting", MaxFormNesting,
        where + ": children are nested deeper than " + std::to_string(MaxFormNesting) + " levels");
  if (!name.empty() && (FForm.FindComponent(name) != nullptr || SameText(name, FForm.GetName())))
    Fail(where, "the name " + name + " is already taken in the form");

  TComponent* component = nullptr;
  try {
    component = info->Factory(&FForm);
  } catch (const std::exception& e) {
    Fail(where, e);
  }
  FCreated.push_back(component);
  component->SetLoading(true);
  try {
    component->SetName(name);
  } catch (const Exception& e) {
    Fail(where, e.Message());
  }

  auto* control = dynamic_cast<TControl*>(component);
  if (parent != nullptr && parent != &FForm && control == nullptr)
    Fail(where, "is not a control and cannot be a child");
  if (parent != nullptr && control != nullptr) {
    try {
      control->SetParent(parent);
    } catch (const std::exception& e) {
      Fail(where, "cannot be placed in " + parent->GetName() + ": " + e.what());
    }
  }

  if (entry.contains("properties")) {
    const Json& values = entry["properties"];
    if (!values.is_object())
      Fail(where, "\"properties\" must be an object, not " + std::string(JsonKind(values)));
    ReadProperties(*component, *info, values, where, "");
  }

  if (!entry.contains("children")) return;
  const Json& children = entry["children"];
  if (!children.is_array())
    Fail(where, "\"children\" must be an array, not " + std::string(JsonKind(children)));
  if (children.empty()) return;
  auto* container = dynamic_cast<TWinControl*>(component);
  if (container == nullptr) Fail(where, "cannot hold child controls");
  for (const Json& child : children) ReadComponent(child, container, level + 1);
}

void TFormReader::ReadProperties(TPersistent& object, const TClassInfo& info, const Json& values,
                                 const std::string& owner, const std::string& path) {
  // Each property once: a second "Items" would free the items that pending
  // references of the first one point into.
  std::vector<const TPropInfo*> seen;
  for (const auto& [key, value] : values.items()) {
    const TPropInfo* prop = info.FindProperty(key);
    if (prop == nullptr) Fail(owner, "unknown property " + path + key + " of class " + info.Name);
    if (std::find(seen.begin(), seen.end(), prop) != seen.end())
      Fail(owner, "property " + path + prop->Name + " is given twice");
    seen.push_back(prop);
    ReadValue(object, *prop, value, owner, path + prop->Name);
  }
}

void TFormReader::ReadValue(TPersistent& object, const TPropInfo& prop, const Json& value,
                            const std::string& owner, const std::string& path) {
  const std::string place = owner + ", property " + path;
  switch (prop.Kind) {
    case TPropKind::pkInteger:
      Store(object, prop, ReadInteger(value, place, INT32_MIN, INT32_MAX), place);
      return;
    case TPropKind::pkColor:
      Store(object, prop, std::int64_t(ReadColor(value, place)), place);
      return;
    case TPropKind::pkBoolean:
      if (!value.is_boolean())
        Fail(place, "expected true or false, found " + std::string(JsonKind(value)));
      Store(object, prop, value.get<bool>(), place);
      return;
    case TPropKind::pkString:
      Store(object, prop, ReadString(value, place), place);
      return;
    case TPropKind::pkStrings: {
      if (!value.is_array())
        Fail(place, "expected an array of strings, found " + std::string(JsonKind(value)));
      std::vector<std::string> lines;
      for (const Json& line : value) lines.push_back(ReadString(line, place));
      Store(object, prop, std::move(lines), place);
      return;
    }
    case TPropKind::pkEnum: {
      std::string name = ReadString(value, place);
      const auto& names = prop.EnumNames;
      auto found = std::find(names.begin(), names.end(), name);
      if (found == names.end())
        found = std::find_if(names.begin(), names.end(),
                             [&](const std::string& n) { return SameText(n, name); });
      if (found == names.end()) {
        std::string known;
        for (const auto& n : names) known += (known.empty() ? "" : ", ") + n;
        Fail(place, "unknown value " + Quoted(name) + " (expected one of " + known + ")");
      }
      Store(object, prop, std::int64_t(found - names.begin()), place);
      return;
    }
    case TPropKind::pkObject: {
      if (value.is_null()) return;  // a sub-object saved while absent
      if (!value.is_object())
        Fail(place, "expected an object, found " + std::string(JsonKind(value)));
      const TPropValue got = prop.Get ? prop.Get(object) : TPropValue();
      const auto* sub = std::get_if<TPersistent*>(&got);
      TPersistent* target = sub != nullptr ? *sub : nullptr;
      if (target == nullptr) Fail(place, "the object has no such sub-object to set");
      const TClassInfo* info = TClassRegistry::Instance().ClassOf(*target);
      if (info == nullptr) Fail(place, "class " + target->ClassName() + " is not registered");
      ReadProperties(*target, *info, value, owner, path + ".");
      return;
    }
    case TPropKind::pkCollection:
      ReadCollection(object, prop, value, owner, path);
      return;
    case TPropKind::pkComponent:
    case TPropKind::pkField:
      if (!value.is_string() && !value.is_null())
        Fail(place, "expected a component name, found " + std::string(JsonKind(value)));
      // A field is bound by its resolver; a component reference needs a setter.
      if (prop.Kind == TPropKind::pkComponent && !prop.Set)
        Fail(place, "the property is read-only");
      FPending.push_back({&object, &prop, &value, place});
      return;
  }
}

void TFormReader::ReadCollection(TPersistent& object, const TPropInfo& prop, const Json& value,
                                 const std::string& owner, const std::string& path) {
  const std::string place = owner + ", property " + path;
  if (!value.is_array())
    Fail(place, "expected an array of items, found " + std::string(JsonKind(value)));
  TPropValue got = prop.Get ? prop.Get(object) : TPropValue();
  auto* held = std::get_if<TPersistent*>(&got);
  auto* collection = held != nullptr ? dynamic_cast<TCollection*>(*held) : nullptr;
  if (collection == nullptr) Fail(place, "the object has no collection to fill");
  TUpdateScope update(*collection);
  collection->Clear();
  for (std::size_t i = 0; i < value.size(); ++i) {
    const std::string itemPath = path + "[" + std::to_string(i) + "]";
    const Json& item = value[i];
    if (!item.is_object())
      Fail(owner + ", property " + itemPath,
           "expected an object, found " + std::string(JsonKind(item)));
    TCollectionItem* added = collection->Add();
    const TClassInfo* info = TClassRegistry::Instance().ClassOf(*added);
    if (info == nullptr)
      Fail(owner + ", property " + itemPath, "class " + added->ClassName() + " is not registered");
    ReadProperties(*added, *info, item, owner, itemPath + ".");
  }
}

void TFormReader::Store(TPersistent& object, const TPropInfo& prop, const TPropValue& value,
                        const std::string& place) const {
  if (!prop.Set) Fail(place, "the property is read-only");
  try {
    prop.Set(object, value);
  } catch (const std::exception& e) {
    Fail(place, e);
  }
}

std::string TFormReader::ReadString(const Json& value, const std::string& place) const {
  if (!value.is_string()) Fail(place, "expected a string, found " + std::string(JsonKind(value)));
  const auto& utf8 = value.get_ref<const std::string&>();
  if (unsigned tooWide = FirstBeyondLatin1(utf8); tooWide != 0)
    Fail(place, "the character U+" + Hex(tooWide, tooWide > 0xFFFF ? 6 : 4) +
                    " cannot be held (only U+0000 to U+00FF can)");
  return Utf8ToLatin1(utf8);
}

std::int64_t TFormReader::ReadInteger(const Json& value, const std::string& place, std::int64_t low,
                                      std::int64_t high) const {
  if (!value.is_number_integer())
    Fail(place, "expected an integer, found " + std::string(JsonKind(value)));
  bool inRange = value.is_number_unsigned()
                     ? value.get<std::uint64_t>() <= static_cast<std::uint64_t>(high)
                     : value.get<std::int64_t>() >= low && value.get<std::int64_t>() <= high;
  if (!inRange)
    Fail(place,
         value.dump() + " is outside " + std::to_string(low) + " to " + std::to_string(high));
  return value.get<std::int64_t>();
}

TColor TFormReader::ReadColor(const Json& value, const std::string& place) const {
  if (value.is_number_integer()) {
    // Accepted signed or unsigned: 0x80000000 and up are negative colours.
    auto bits = static_cast<std::uint32_t>(ReadInteger(value, place, INT32_MIN, UINT32_MAX));
    return static_cast<TColor>(bits);
  }
  if (!value.is_string())
    Fail(place,
         "expected a colour (integer, name or \"#RRGGBB\"), found " + std::string(JsonKind(value)));
  const std::string& text = value.get_ref<const std::string&>();
  for (const TColorName& c : ColorNames)
    if (SameText(text, c.Name)) return c.Value;
  if (text.size() == 7 && text[0] == '#' &&
      text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
    auto rgb = static_cast<unsigned>(std::stoul(text.substr(1), nullptr, 16));
    return RGB(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
               static_cast<std::uint8_t>(rgb));
  }
  Fail(place, "unknown colour " + Quoted(text) + " (expected a colour name or \"#RRGGBB\")");
}

TComponent* TFormReader::FindByName(const std::string& name) const {
  if (SameText(name, FForm.GetName())) return &FForm;
  return FForm.FindComponent(name);
}

void TFormReader::Resolve(const TPending& pending) {
  const std::string text =
      pending.Value->is_null() ? "" : ReadString(*pending.Value, pending.Place);
  const TPropInfo& prop = *pending.Property;
  if (prop.Kind == TPropKind::pkComponent) {
    TComponent* target = nullptr;
    if (!text.empty()) {
      target = FindByName(text);
      if (target == nullptr) Fail(pending.Place, "no component named " + text + " in the form");
      if (prop.Accepts && !prop.Accepts(target))
        Fail(pending.Place,
             text + " is a " + target->ClassName() + ", which the property cannot refer to" +
                 (prop.RefClass.empty() ? "" : " (it needs a " + prop.RefClass + ")"));
    }
    Store(*pending.Target, prop, target, pending.Place);
    return;
  }
  if (text.empty()) return;  // an unbound field stays as the constructor left it
  std::size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size())
    Fail(pending.Place, "expected \"DataSetName.FIELDNAME\", found " + Quoted(text));
  TFieldReference reference;
  reference.Target = pending.Target;
  reference.Property = &prop;
  reference.FieldName = text.substr(dot + 1);
  const std::string dataSetName = text.substr(0, dot);
  reference.DataSet = FindByName(dataSetName);
  if (reference.DataSet == nullptr)
    Fail(pending.Place, "no component named " + dataSetName + " in the form");
  std::vector<TFieldResolver> resolvers;
  {
    std::lock_guard<std::mutex> lock(Resolvers().Lock);
    for (const auto& item : Resolvers().Items) resolvers.push_back(item.second);
  }
  for (const TFieldResolver& resolver : resolvers) {
    try {
      if (resolver(reference)) return;
    } catch (const std::exception& e) {
      Fail(pending.Place, e);
    }
  }
  Fail(pending.Place, "no field resolver knows the field " + reference.FieldName + " of " +
                          dataSetName + " (" + reference.DataSet->ClassName() + ")");
}

void TFormReader::Discard() {
  for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it) delete *it;
  FCreated.clear();
}

void LoadWithContext(const Json& root, TComponent& form, const TFormLoadContext& context) {
  const std::string oldName = form.GetName();
  const bool wasLoading = form.IsLoading();
  TLoadScope scope(&context);
  TFormReader reader(form, context.FileName);
  try {
    reader.Read(root);
  } catch (...) {
    reader.Discard();
    form.SetLoading(wasLoading);
    form.SetName(oldName);
    throw;
  }
}

std::string ReadFormFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  if (file.GetSize() > MaxFormFileSize)
    throw ETooLargeAs<EFormFileError>("MaxFormFileSize", MaxFormFileSize,
                                      MessagePrefix(fileName) + "the file is larger than " +
                                          std::to_string(MaxFormFileSize) + " bytes");
  std::string text(static_cast<std::size_t>(file.GetSize()), '\0');
  file.ReadBuffer(text.data(), static_cast<std::int64_t>(text.size()));
  return text;
}

std::string FolderOf(const std::string& fileName) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(fileName, error);
  return (error ? std::filesystem::path(fileName) : path).parent_path().string();
}

}  // namespace

struct TFormTemplate::TDocument {
  Json Root;
  std::string FileName;
  std::string Folder;
};

TFormTemplate::TFormTemplate(const std::string& fileName)
    : FDocument(std::make_unique<TDocument>(
          TDocument{ParseFormJson(ReadFormFile(fileName), MessagePrefix(fileName)), fileName,
                    FolderOf(fileName)})) {}

TFormTemplate::TFormTemplate(std::unique_ptr<const TDocument> document)
    : FDocument(std::move(document)) {}

TFormTemplate TFormTemplate::FromText(const std::string& text, const std::string& folder) {
  return TFormTemplate(
      std::make_unique<TDocument>(TDocument{ParseFormJson(text, MessagePrefix("")), "", folder}));
}

TFormTemplate::TFormTemplate(TFormTemplate&&) noexcept = default;
TFormTemplate& TFormTemplate::operator=(TFormTemplate&&) noexcept = default;
TFormTemplate::~TFormTemplate() = default;

void TFormTemplate::Load(TComponent& form) const {
  TFormLoadContext context;
  context.FileName = FDocument->FileName;
  context.Folder = FDocument->Folder;
  context.Form = &form;
  LoadWithContext(FDocument->Root, form, context);
}

const TFormLoadContext* CurrentFormLoad() {
  return CurrentLoad;
}

int RegisterFieldResolver(TFieldResolver resolver) {
  TResolverTable& table = Resolvers();
  std::lock_guard<std::mutex> lock(table.Lock);
  int id = table.NextId++;
  table.Items.emplace_back(id, std::move(resolver));
  return id;
}

void UnregisterFieldResolver(int id) {
  TResolverTable& table = Resolvers();
  std::lock_guard<std::mutex> lock(table.Lock);
  std::erase_if(table.Items, [id](const auto& item) { return item.first == id; });
}

void LoadForm(const std::string& fileName, TComponent& form) {
  TFormTemplate(fileName).Load(form);
}

void LoadFormFromStream(TStream& stream, TComponent& form, const std::string& folder) {
  std::int64_t remaining = stream.GetSize() - stream.GetPosition();
  if (remaining > MaxFormFileSize)
    throw ETooLargeAs<EFormFileError>(
        "MaxFormFileSize", MaxFormFileSize,
        "Form file: the file is larger than " + std::to_string(MaxFormFileSize) + " bytes");
  std::string text(static_cast<std::size_t>(remaining > 0 ? remaining : 0), '\0');
  stream.ReadBuffer(text.data(), static_cast<std::int64_t>(text.size()));
  LoadFormFromText(text, form, folder);
}

void LoadFormFromText(const std::string& text, TComponent& form, const std::string& folder) {
  TFormTemplate::FromText(text, folder).Load(form);
}

}  // namespace tavkit
