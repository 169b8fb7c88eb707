// The record cursor shared by every data set: opening, moving, the end-of-
// data rule, field values and observers. Moving back is done by rewinding
// the cursor and reading forward again, which keeps a data set's memory to
// one record however many rows its query yields.
#include <tavkit/platform/data/DataSet.h>

#include <strings.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit {

namespace {

const TFieldValue NullValue;

std::string FloatText(double value) {
  char text[40];
  auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
  return std::string(text, result.ptr);
}

// A number written as text, read whole; anything else is refused.
template <class T>
T ParseNumber(const std::string& text, const char* what) {
  T value{};
  const char* end = text.data() + text.size();
  auto result = std::from_chars(text.data(), end, value);
  if (text.empty() || result.ec != std::errc() || result.ptr != end)
    throw EConvertError("'" + text + "' is not a valid " + what + " value");
  return value;
}

TFieldType TypeOfValue(const TFieldValue& value) {
  if (std::holds_alternative<std::int64_t>(value)) return ftInteger;
  if (std::holds_alternative<double>(value)) return ftFloat;
  if (std::holds_alternative<std::string>(value)) return ftString;
  if (std::holds_alternative<TFieldBlob>(value)) return ftBlob;
  return ftUnknown;
}

}  // namespace

// ---- Observers --------------------------------------------------------------

int TDataObservers::Add(TDataEventHandler handler) {
  int id = FNextId++;
  FItems.emplace_back(id, std::move(handler));
  return id;
}

void TDataObservers::Remove(int id) {
  std::erase_if(FItems, [id](const auto& item) { return item.first == id; });
}

void TDataObservers::Notify(TDataSet& dataSet, TDataEvent event) const {
  if (FItems.empty()) return;
  // Handlers may change the list; each one still registered is told once.
  std::vector<int> ids;
  for (const auto& item : FItems) ids.push_back(item.first);
  for (int id : ids) {
    auto it = std::find_if(FItems.begin(), FItems.end(),
                           [id](const auto& item) { return item.first == id; });
    if (it == FItems.end()) continue;
    TDataEventHandler handler = it->second;
    handler(dataSet, event);
  }
}

// ---- Fields -----------------------------------------------------------------

TField::TField(TDataSet& dataSet, int fieldNo, const TFieldDef& def)
    : TComponent(&dataSet),
      FDataSet(dataSet),
      FFieldNo(fieldNo),
      FFieldName(def.Name),
      FDataType(def.DataType),
      FTypedByValue(def.DataType == ftUnknown) {}

std::string TField::Reference() const {
  return FDataSet.GetName() + "." + FFieldName;
}

const TFieldValue& TField::Value() const {
  const auto& record = FDataSet.FRecord;
  if (!FDataSet.FHasRecord || FFieldNo >= static_cast<int>(record.size())) return NullValue;
  return record[static_cast<std::size_t>(FFieldNo)];
}

void TField::LearnType(const TFieldValue& value) {
  if (!FTypedByValue || FDataType != ftUnknown) return;
  FDataType = TypeOfValue(value);
}

bool TField::IsNull() const {
  return std::holds_alternative<std::monostate>(Value());
}

std::string TField::AsString() const {
  const TFieldValue& value = Value();
  if (const auto* integer = std::get_if<std::int64_t>(&value)) {
    if (FDataType == ftBoolean) return *integer != 0 ? "True" : "False";
    return std::to_string(*integer);
  }
  if (const auto* real = std::get_if<double>(&value)) {
    if (FDataType == ftBoolean) return *real != 0 ? "True" : "False";
    return FloatText(*real);
  }
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* blob = std::get_if<TFieldBlob>(&value)) return blob->Bytes;
  return "";
}

void TField::ReadString(std::string& text) const {
  const TFieldValue& value = Value();
  if (const auto* stored = std::get_if<std::string>(&value))
    text.assign(*stored);
  else if (const auto* blob = std::get_if<TFieldBlob>(&value))
    text.assign(blob->Bytes);
  else
    text = AsString();
}

std::int64_t TField::AsInteger() const {
  const TFieldValue& value = Value();
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return *integer;
  if (const auto* real = std::get_if<double>(&value)) {
    // Beyond the integer range (or not a number) there is no honest answer.
    if (!(std::fabs(*real) < 9.2e18))
      throw EConvertError(FloatText(*real) + " is not a valid integer value");
    return static_cast<std::int64_t>(*real);
  }
  if (std::holds_alternative<std::monostate>(value)) return 0;
  return ParseNumber<std::int64_t>(AsString(), "integer");
}

double TField::AsFloat() const {
  const TFieldValue& value = Value();
  if (const auto* integer = std::get_if<std::int64_t>(&value)) return static_cast<double>(*integer);
  if (const auto* real = std::get_if<double>(&value)) return *real;
  if (std::holds_alternative<std::monostate>(value)) return 0;
  return ParseNumber<double>(AsString(), "floating point");
}

bool TField::AsBoolean() const {
  const TFieldValue& value = Value();
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr) return AsFloat() != 0;
  if (strcasecmp(text->c_str(), "true") == 0) return true;
  if (strcasecmp(text->c_str(), "false") == 0) return false;
  return ParseNumber<double>(*text, "boolean") != 0;
}

void TField::AssignTo(TPersistent* dest) const {
  auto* picture = dynamic_cast<TPicture*>(dest);
  if (picture == nullptr) {
    TComponent::AssignTo(dest);
    return;
  }
  if (IsNull()) {
    picture->Assign(nullptr);
    return;
  }
  std::string bytes = AsString();
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  picture->LoadFromStream(stream);
}

// ---- Data sets --------------------------------------------------------------

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  // The cursor belongs to the descendant, which has closed it by now.
  DestroyFields();
}

std::string TDataSet::DisplayIdent() const {
  return GetName().empty() ? ClassName() : GetName();
}

void TDataSet::DatabaseError(const std::string& what) const {
  throw EDatabaseError(DisplayIdent() + ": " + what);
}

void TDataSet::SetActive(bool active) {
  if (IsLoading()) {
    FStreamedActive = active;
    return;
  }
  FDesignOpenFailed = false;
  if (active)
    Open();
  else
    Close();
}

void TDataSet::Loaded() {
  TComponent::Loaded();
  if (!FStreamedActive) return;
  FStreamedActive = false;
  if (!IsDesigning()) {
    Open();
    return;
  }
  try {
    Open();
  } catch (const std::exception& e) {
    FDesignOpenFailed = true;
    FDesignFailure = e.what();
  }
}

void TDataSet::Open() {
  if (GetActive()) return;
  InternalOpen();
  FState = TDataSetState::dsBrowse;
  try {
    Rewind();
  } catch (...) {
    FState = TDataSetState::dsInactive;
    ClearRecord();
    InternalClose();
    throw;
  }
  FObservers.Notify(*this, TDataEvent::deOpen);
}

void TDataSet::Close() {
  if (!GetActive()) return;
  FState = TDataSetState::dsInactive;
  ClearRecord();
  InternalClose();
  FObservers.Notify(*this, TDataEvent::deClose);
}

void TDataSet::CheckActive() const {
  if (!GetActive()) DatabaseError("the data set is closed");
}

void TDataSet::ClearRecord() {
  FRecord.clear();
  FFetched.clear();
  FHasRecord = false;
  FRecordIndex = 0;
  FEof = true;
  FBof = true;
}

bool TDataSet::FetchRecord() {
  // The values of the record before the current one are written over.
  FFetched.resize(FFields.size());
  if (!InternalFetch(FFetched)) return false;
  FRecord.swap(FFetched);
  for (TField* field : FFields)
    if (field->FFieldNo < static_cast<int>(FRecord.size()))
      field->LearnType(FRecord[static_cast<std::size_t>(field->FFieldNo)]);
  return true;
}

// Back to the first record (reading it), or to no record when there is none.
void TDataSet::Rewind() {
  ClearRecord();
  InternalRewind();
  try {
    FHasRecord = FetchRecord();
  } catch (...) {
    ClearRecord();
    throw;
  }
  FEof = !FHasRecord;
}

bool TDataSet::FindFirst() {
  CheckActive();
  // On the first record with the cursor right behind it: nothing to read.
  if (!(FHasRecord && FRecordIndex == 0 && !FEof)) Rewind();
  FBof = true;
  FObservers.Notify(*this, TDataEvent::deRecordChange);
  return FHasRecord;
}

void TDataSet::Next() {
  MoveBy(1);
}

int TDataSet::MoveBy(int distance) {
  CheckActive();
  if (distance == 0 || !FHasRecord) return 0;
  int moved = 0;
  if (distance > 0) {
    FBof = false;
    while (moved < distance && !FEof) {
      bool got = false;
      try {
        got = FetchRecord();
      } catch (...) {
        // The cursor cannot go on: the record read last stays current.
        FEof = true;
        if (moved > 0) FObservers.Notify(*this, TDataEvent::deRecordChange);
        throw;
      }
      if (!got) {
        FEof = true;
        break;
      }
      ++FRecordIndex;
      ++moved;
    }
  } else {
    // A forward-only cursor goes back by starting again.
    std::int64_t target = std::int64_t(FRecordIndex) + distance;
    bool pastStart = target < 0;
    if (pastStart) target = 0;
    int from = FRecordIndex;
    Rewind();
    while (FRecordIndex < target && FHasRecord) {
      if (!FetchRecord()) {
        FEof = true;  // the rows changed since: fewer than before
        break;
      }
      ++FRecordIndex;
    }
    FBof = pastStart || FRecordIndex == 0;
    moved = FRecordIndex - from;
  }
  if (moved != 0) FObservers.Notify(*this, TDataEvent::deRecordChange);
  return moved;
}

void TDataSet::EnsureFields() {
  if (!FFieldsDefined) InternalDescribe();
}

int TDataSet::FieldCount() {
  EnsureFields();
  return static_cast<int>(FFields.size());
}

TField* TDataSet::Fields(int index) {
  EnsureFields();
  if (index < 0 || index >= static_cast<int>(FFields.size())) ListIndexError(index);
  return FFields[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(const std::string& fieldName) {
  EnsureFields();
  for (TField* field : FFields)
    if (strcasecmp(field->FieldName().c_str(), fieldName.c_str()) == 0) return field;
  return nullptr;
}

TField* TDataSet::FieldByName(const std::string& fieldName) {
  TField* field = FindField(fieldName);
  if (field == nullptr) DatabaseError("field '" + fieldName + "' not found");
  return field;
}

TField* TDataSet::FieldForReference(const std::string& fieldName) {
  if (!IsDesigning()) return FieldByName(fieldName);
  if (FDesignFailure.empty()) {
    try {
      EnsureFields();
    } catch (const std::exception& e) {
      FDesignFailure = e.what();
    }
  }
  if (FFieldsDefined) return FieldByName(fieldName);
  for (TField* field : FFields)
    if (strcasecmp(field->FieldName().c_str(), fieldName.c_str()) == 0) return field;
  // Not marked defined: opening, once the data can be read, describes the
  // real columns.
  FFields.push_back(
      new TField(*this, static_cast<int>(FFields.size()), TFieldDef{fieldName, ftUnknown}));
  return FFields.back();
}

void TDataSet::DefineFields(const std::vector<TFieldDef>& defs) {
  bool same = FFieldsDefined && defs.size() == FFields.size();
  for (std::size_t i = 0; same && i < defs.size(); ++i)
    same = FFields[i]->FFieldNo == static_cast<int>(i) && FFields[i]->FFieldName == defs[i].Name;
  if (same) {
    for (std::size_t i = 0; i < defs.size(); ++i) {
      FFields[i]->FDataType = defs[i].DataType;
      FFields[i]->FTypedByValue = defs[i].DataType == ftUnknown;
    }
    return;
  }
  DestroyFields();
  for (std::size_t i = 0; i < defs.size(); ++i)
    FFields.push_back(new TField(*this, static_cast<int>(i), defs[i]));
  FFieldsDefined = true;
}

void TDataSet::DestroyFields() {
  FFieldsDefined = false;
  // Each field leaves FFields through Notification as it is freed.
  while (!FFields.empty()) delete FFields.back();
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove)
    std::erase_if(FFields, [component](TField* field) { return field == component; });
}

// ---- Data sources -------------------------------------------------------------

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  Detach();
}

TDataSetState TDataSource::State() const {
  return FDataSet == nullptr ? TDataSetState::dsInactive : FDataSet->State();
}

void TDataSource::Detach() {
  if (FDataSet == nullptr) return;
  FDataSet->RemoveObserver(FSubscription);
  RemoveFreeNotification(FDataSet);
  FDataSet = nullptr;
  FSubscription = 0;
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == FDataSet) return;
  TDataSet* old = FDataSet;
  Detach();
  if (old != nullptr && old->GetActive()) FObservers.Notify(*old, TDataEvent::deClose);
  if (dataSet == nullptr) return;
  FDataSet = dataSet;
  FreeNotification(dataSet);
  FSubscription = dataSet->AddObserver(
      [this](TDataSet& sender, TDataEvent event) { FObservers.Notify(sender, event); });
  if (dataSet->GetActive()) FObservers.Notify(*dataSet, TDataEvent::deOpen);
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FDataSet && FDataSet != nullptr) {
    // The data set is going: its observer list goes with it.
    FDataSet = nullptr;
    FSubscription = 0;
  }
}

}  // namespace tavkit
