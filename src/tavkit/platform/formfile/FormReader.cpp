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
using detail::ParseFormJson;
using detail::Shown;
using detail::TColorName;
using detail::TJsonDocument;
using detail::TJsonKind;
using detail::TJsonValue;

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

// Digits alone, with a sign or not: an integer too large for 64 bits.
bool IsWholeNumber(std::string_view text) {
  if (!text.empty() && text[0] == '-') text.remove_prefix(1);
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string JsonKind(const TJsonValue& value) {
  switch (value.Kind()) {
    case TJsonKind::jkNull:
      return "null";
    case TJsonKind::jkObject:
      return "an object";
    case TJsonKind::jkArray:
      return "an array";
    case TJsonKind::jkString:
      return "a string";
    case TJsonKind::jkBoolean:
      return "a boolean";
    case TJsonKind::jkInteger:
    case TJsonKind::jkUnsigned:
      return "an integer";
    case TJsonKind::jkNumber:
      break;
  }
  // A number is told by how it is written, so that 1e2 is not taken for a
  // fraction.
  const std::string_view text = value.Text();
  if (IsWholeNumber(text)) return "an integer beyond 64 bits";
  if (text.find('.') == std::string_view::npos) return "a number with an exponent";
  return "a number with a fraction";
}

std::string Quoted(std::string_view text) {
  return "\"" + Shown(text) + "\"";
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
  void Read(const TJsonValue& root);
  // Frees every component made so far, the last first.
  void Discard();

 private:
  // A property whose value names other components; set once all exist.
  struct TPending {
    TPersistent* Target;
    const TPropInfo* Property;
    TJsonValue Value;
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
  void ReadComponent(const TJsonValue& entry, TWinControl* parent, int level);
  void ReadProperties(TPersistent& object, const TClassInfo& info, const TJsonValue& values,
                      const std::string& owner, const std::string& path);
  void ReadValue(TPersistent& object, const TPropInfo& prop, const TJsonValue& value,
                 const std::string& place, const std::string& path);
  void ReadCollection(TPersistent& object, const TPropInfo& prop, const TJsonValue& value,
                      const std::string& owner, const std::string& path);
  void Store(TPersistent& object, const TPropInfo& prop, const TPropValue& value,
             const std::string& place) const;
  std::string ReadString(const TJsonValue& value, const std::string& place) const;
  std::int64_t ReadInteger(const TJsonValue& value, const std::string& place, std::int64_t low,
                           std::int64_t high) const;
  TColor ReadColor(const TJsonValue& value, const std::string& place) const;
  void Resolve(const TPending& pending);
  TComponent* FindByName(const std::string& name) const;

  TComponent& FForm;
  std::string FPrefix;
  std::vector<TComponent*> FCreated;
  std::vector<TPending> FPending;
};

std::string Describe(const TComponent& component, const std::string& className) {
  if (component.GetName().empty()) return "unnamed component (" + className + ")";
  return "component " + Shown(component.GetName()) + " (" + className + ")";
}

void TFormReader::Read(const TJsonValue& root) {
  if (!root.IsObject()) FailTop("the file holds " + JsonKind(root) + ", not an object");
  for (const TJsonValue member : root)
    if (member.Key() != "form" && member.Key() != "components")
      FailTop("unknown key " + Quoted(member.Key()));
  const TJsonValue formEntry = root.Find("form");
  if (!formEntry.IsString()) FailTop("\"form\" must be given as a string");
  const TJsonValue components = root.Find("components");
  if (components.Exists() && !components.IsArray())
    FailTop("\"components\" must be an array, not " + JsonKind(components));

  std::string formName(formEntry.Text());
  try {
    FForm.SetName(formName);
  } catch (const Exception& e) {
    FailTop("form " + Quoted(formName) + ": " + e.Message());
  }
  FForm.SetLoading(true);

  // The form itself is the parent of the top-level controls when it can be one.
  auto* formControl = dynamic_cast<TWinControl*>(&FForm);
  if (components.Exists())
    for (const TJsonValue entry : components) ReadComponent(entry, formControl, 0);

  for (const TPending& pending : FPending) Resolve(pending);

  for (const bool last : {false, true})
    for (TComponent* component : FCreated) {
      if (component->LoadedLast() != last) continue;
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

void TFormReader::ReadComponent(const TJsonValue& entry, TWinControl* parent, int level) {
  std::string where = "component #" + std::to_string(FCreated.size() + 1);
  if (FCreated.size() >= static_cast<std::size_t>(MaxFormComponents))
    FailTooLarge("MaxFormComponents", MaxFormComponents,
                 "the form holds more than " + std::to_string(MaxFormComponents) + " components");
  if (!entry.IsObject()) Fail(where, "expected an object, found " + JsonKind(entry));
  std::string name;
  if (const TJsonValue nameEntry = entry.Find("name"); nameEntry.Exists()) {
    if (!nameEntry.IsString()) Fail(where, "\"name\" must be a string");
    name = nameEntry.Text();
    if (!name.empty()) where = "component " + Shown(name);
  }
  for (const TJsonValue member : entry) {
    const std::string_view key = member.Key();
    if (key != "class" && key != "name" && key != "properties" && key != "children")
      Fail(where, "unknown key " + Quoted(key));
  }
  const TJsonValue classEntry = entry.Find("class");
  if (!classEntry.IsString()) Fail(where, "\"class\" must be given as a string");
  const std::string className(classEntry.Text());
  const TClassInfo* info = TClassRegistry::Instance().Find(className);
  if (info == nullptr || !info->Factory) Fail(where, "unknown class " + Shown(className));
  where = name.empty() ? "unnamed component (" + info->Name + ")"
                       : "component " + Shown(name) + " (" + info->Name + ")";
  if (level > MaxFormNesting)
    FailTooLarge(
        "MaxFormNesting", MaxFormNesting,
        where + ": children are nested deeper than " + std::to_string(MaxFormNesting) + " levels");
  if (!name.empty() && (FForm.FindComponent(name) != nullptr || SameText(name, FForm.GetName())))
    Fail(where, "the name " + Shown(name) + " is already taken in the form");

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
      Fail(where, "cannot be placed in " + Shown(parent->GetName()) + ": " + e.what());
    }
  }

  if (const TJsonValue values = entry.Find("properties"); values.Exists()) {
    if (!values.IsObject())
      Fail(where, "\"properties\" must be an object, not " + JsonKind(values));
    ReadProperties(*component, *info, values, where, "");
  }

  const TJsonValue children = entry.Find("children");
  if (!children.Exists()) return;
  if (!children.IsArray()) Fail(where, "\"children\" must be an array, not " + JsonKind(children));
  if (children.Size() == 0) return;
  auto* container = dynamic_cast<TWinControl*>(component);
  if (container == nullptr) Fail(where, "cannot hold child controls");
  for (const TJsonValue child : children) ReadComponent(child, container, level + 1);
}

void TFormReader::ReadProperties(TPersistent& object, const TClassInfo& info,
                                 const TJsonValue& values, const std::string& owner,
                                 const std::string& path) {
  // Each property once: a second "Items" would free the items that pending
  // references of the first one point into.
  std::vector<const TPropInfo*> seen;
  for (const TJsonValue value : values) {
    const TPropInfo* prop = info.FindProperty(std::string(value.Key()));
    if (prop == nullptr)
      Fail(owner, "unknown property " + path + Shown(value.Key()) + " of class " + info.Name);
    if (std::find(seen.begin(), seen.end(), prop) != seen.end())
      Fail(owner, "property " + path + prop->Name + " is given twice");
    seen.push_back(prop);
    ReadValue(object, *prop, value, owner, path + prop->Name);
  }
}

void TFormReader::ReadValue(TPersistent& object, const TPropInfo& prop, const TJsonValue& value,
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
      if (!value.IsBoolean()) Fail(place, "expected true or false, found " + JsonKind(value));
      Store(object, prop, value.Boolean(), place);
      return;
    case TPropKind::pkString:
      Store(object, prop, ReadString(value, place), place);
      return;
    case TPropKind::pkStrings: {
      if (!value.IsArray()) Fail(place, "expected an array of strings, found " + JsonKind(value));
      std::vector<std::string> lines;
      lines.reserve(value.Size());
      for (const TJsonValue line : value) lines.push_back(ReadString(line, place));
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
      if (value.IsNull()) return;  // a sub-object saved while absent
      if (!value.IsObject()) Fail(place, "expected an object, found " + JsonKind(value));
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
      if (!value.IsString() && !value.IsNull())
        Fail(place, "expected a component name, found " + JsonKind(value));
      // A field is bound by its resolver; a component reference needs a setter.
      if (prop.Kind == TPropKind::pkComponent && !prop.Set)
        Fail(place, "the property is read-only");
      FPending.push_back({&object, &prop, value, place});
      return;
  }
}

void TFormReader::ReadCollection(TPersistent& object, const TPropInfo& prop,
                                 const TJsonValue& value, const std::string& owner,
                                 const std::string& path) {
  const std::string place = owner + ", property " + path;
  if (!value.IsArray()) Fail(place, "expected an array of items, found " + JsonKind(value));
  TPropValue got = prop.Get ? prop.Get(object) : TPropValue();
  auto* held = std::get_if<TPersistent*>(&got);
  auto* collection = held != nullptr ? dynamic_cast<TCollection*>(*held) : nullptr;
  if (collection == nullptr) Fail(place, "the object has no collection to fill");
  TUpdateScope update(*collection);
  collection->Clear();
  std::size_t i = 0;
  for (const TJsonValue item : value) {
    const std::string itemPath = path + "[" + std::to_string(i++) + "]";
    if (!item.IsObject())
      Fail(owner + ", property " + itemPath, "expected an object, found " + JsonKind(item));
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

std::string TFormReader::ReadString(const TJsonValue& value, const std::string& place) const {
  if (!value.IsString()) Fail(place, "expected a string, found " + JsonKind(value));
  const std::string utf8(value.Text());
  if (unsigned tooWide = FirstBeyondLatin1(utf8); tooWide != 0)
    Fail(place, "the character U+" + Hex(tooWide, tooWide > 0xFFFF ? 6 : 4) +
                    " cannot be held (only U+0000 to U+00FF can)");
  return Utf8ToLatin1(utf8);
}

std::int64_t TFormReader::ReadInteger(const TJsonValue& value, const std::string& place,
                                      std::int64_t low, std::int64_t high) const {
  const std::string range = " is outside " + std::to_string(low) + " to " + std::to_string(high);
  if (value.Kind() == TJsonKind::jkNumber && IsWholeNumber(value.Text()))
    Fail(place, Shown(value.Text()) + range);
  if (!value.IsInteger()) Fail(place, "expected an integer, found " + JsonKind(value));
  if (value.Kind() == TJsonKind::jkUnsigned) Fail(place, std::to_string(value.Unsigned()) + range);
  if (value.Integer() < low || value.Integer() > high)
    Fail(place, std::to_string(value.Integer()) + range);
  return value.Integer();
}

TColor TFormReader::ReadColor(const TJsonValue& value, const std::string& place) const {
  if (value.IsInteger() || (value.Kind() == TJsonKind::jkNumber && IsWholeNumber(value.Text()))) {
    // Accepted signed or unsigned: 0x80000000 and up are negative colours.
    auto bits = static_cast<std::uint32_t>(ReadInteger(value, place, INT32_MIN, UINT32_MAX));
    return static_cast<TColor>(bits);
  }
  if (!value.IsString())
    Fail(place, "expected a colour (integer, name or \"#RRGGBB\"), found " + JsonKind(value));
  const std::string text(value.Text());
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
  const std::string text = pending.Value.IsNull() ? "" : ReadString(pending.Value, pending.Place);
  const TPropInfo& prop = *pending.Property;
  if (prop.Kind == TPropKind::pkComponent) {
    TComponent* target = nullptr;
    if (!text.empty()) {
      target = FindByName(text);
      if (target == nullptr)
        Fail(pending.Place, "no component named " + Shown(text) + " in the form");
      if (prop.Accepts && !prop.Accepts(target))
        Fail(pending.Place,
             Shown(text) + " is a " + target->ClassName() + ", which the property cannot refer to" +
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
    Fail(pending.Place, "no component named " + Shown(dataSetName) + " in the form");
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
  Fail(pending.Place, "no field resolver knows the field " + Shown(reference.FieldName) + " of " +
                          Shown(dataSetName) + " (" + reference.DataSet->ClassName() + ")");
}

void TFormReader::Discard() {
  for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it) delete *it;
  FCreated.clear();
}

void LoadWithContext(const TJsonValue& root, TComponent& form, const TFormLoadContext& context) {
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

// The document of a form file. A pipe is read as it comes (a form given as
// <(command)), and a folder is refused as one.
TJsonDocument ReadFormFile(const std::string& fileName) {
  std::vector<std::uint8_t> bytes;
  try {
    bytes = ReadFileBytes(fileName, MaxFormFileSize, "MaxFormFileSize");
  } catch (const ETooLarge&) {
    throw ETooLargeAs<EFormFileError>("MaxFormFileSize", MaxFormFileSize,
                                      MessagePrefix(fileName) + "the file is larger than " +
                                          std::to_string(MaxFormFileSize) + " bytes");
  }
  return ParseFormJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                       MessagePrefix(fileName));
}

std::string FolderOf(const std::string& fileName) {
  std::error_code error;
  std::filesystem::path path = std::filesystem::absolute(fileName, error);
  return (error ? std::filesystem::path(fileName) : path).parent_path().string();
}

}  // namespace

struct TFormTemplate::TDocument {
  TJsonDocument Root;
  std::string FileName;
  std::string Folder;
};

TFormTemplate::TFormTemplate(const std::string& fileName)
    : FDocument(std::make_unique<TDocument>(
          TDocument{ReadFormFile(fileName), fileName, FolderOf(fileName)})) {}

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
  LoadWithContext(FDocument->Root.Root(), form, context);
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
