// Data sets, their fields and data sources: the record cursor through which
// data-bound elements read a database. TDataSet does the navigation (first
// record, moving on, end of data) over a small protected cursor interface,
// so that an SQLite query and a test's in-memory table share every rule of
// movement; rows are fetched one at a time as the cursor moves.
//
// ```cpp
// TComponent form(nullptr);
// auto* query = new TSQLiteQuery(&form);
// query->SetDatabaseFile("shop.db");
// query->GetSQL()->SetText("SELECT id, name FROM products ORDER BY id");
// TField* name = query->FieldByName("name");  // known before the query opens
// auto* source = new TDataSource(&form);      // what data-bound elements point at
// source->SetDataSet(query);
// source->AddObserver([](TDataSet& dataSet, TDataEvent event) {
//   if (event == TDataEvent::deRecordChange) std::cout << "record " << dataSet.RecNo() << "\n";
// });
// query->Open();
// query->MoveBy(2);                           // the third record
// std::string third = name->AsString();
// ```
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>

namespace tavkit {

class TDataSet;

// A failure of the data-access layer: a database that cannot be opened, SQL
// that cannot run, a field that does not exist, a closed data set moved.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// The host's field type numbers; data-bound elements decide by them whether
// a field is read as text, as a picture or not at all.
enum TFieldType : int {
  ftUnknown = 0,
  ftString = 1,
  ftSmallint = 2,
  ftInteger = 3,
  ftWord = 4,
  ftBoolean = 5,
  ftFloat = 6,
  ftCurrency = 7,
  ftBCD = 8,
  ftDate = 9,
  ftTime = 10,
  ftDateTime = 11,
  ftBytes = 12,
  ftVarBytes = 13,
  ftAutoInc = 14,
  ftBlob = 15,
  ftMemo = 16,
  ftGraphic = 17,
};

enum class TDataSetState { dsInactive, dsBrowse };

// What a data set tells its observers.
enum class TDataEvent {
  deOpen,          // opened, positioned on the first record
  deClose,         // closed
  deRecordChange,  // moved to another record
};

// One value of a record as the cursor delivers it: NULL, an integer, a
// floating-point number, text or a blob (bytes kept apart from text so that
// an untyped column can tell them apart).
struct TFieldBlob {
  std::string Bytes;
};
using TFieldValue = std::variant<std::monostate, std::int64_t, double, std::string, TFieldBlob>;

// A column as the cursor describes it. ftUnknown: no declared type, the
// field takes the type of the first value that is not NULL.
struct TFieldDef {
  std::string Name;
  TFieldType DataType = ftUnknown;
};

using TDataEventHandler = std::function<void(TDataSet& dataSet, TDataEvent event)>;

// Observers of a data set or a data source, identified by the number Add
// returns. A handler may add or remove observers while it is being told.
class TDataObservers {
 public:
  int Add(TDataEventHandler handler);
  void Remove(int id);
  void Notify(TDataSet& dataSet, TDataEvent event) const;

 private:
  std::vector<std::pair<int, TDataEventHandler>> FItems;
  int FNextId = 1;
};

// A column of a data set, owned by it. Values are those of the data set's
// current record; with no current record (closed or empty) a field reads
// as NULL. Elements that keep a field ask for its free notification: a
// field goes when its data set is freed or its SQL changes.
class TField : public TComponent {
 public:
  TField(TDataSet& dataSet, int fieldNo, const TFieldDef& def);

  TDataSet& DataSet() const { return FDataSet; }
  const std::string& FieldName() const { return FFieldName; }
  TFieldType DataType() const { return FDataType; }
  // The caption shown for the field (a column header): its name.
  const std::string& GetDisplayName() const { return FFieldName; }
  // "DataSetName.FIELDNAME", the way form files refer to the field.
  std::string Reference() const;

  bool IsNull() const;
  // The value as text: NULL is empty, integers in decimal, floating-point
  // numbers with up to 15 significant digits, a numeric boolean as "True"
  // or "False", text and blobs as stored.
  std::string AsString() const;
  // The same text written over text, whose room is reused: reading many
  // records into the same strings then allocates nothing.
  void ReadString(std::string& text) const;
  // Numeric readings; NULL is 0 and text must hold a number (EConvertError).
  std::int64_t AsInteger() const;
  double AsFloat() const;
  bool AsBoolean() const;

 protected:
  // Copies the value into a picture (picture.Assign(field)): the bytes are
  // read as whatever registered picture format their signature names; NULL
  // empties the picture.
  void AssignTo(TPersistent* dest) const override;

 private:
  friend class TDataSet;
  const TFieldValue& Value() const;
  // An untyped field learns its type from the first value that is not NULL.
  void LearnType(const TFieldValue& value);

  TDataSet& FDataSet;
  int FFieldNo;
  std::string FFieldName;
  TFieldType FDataType;
  bool FTypedByValue;
};

class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  TDataSetState State() const { return FState; }
  bool GetActive() const { return FState != TDataSetState::dsInactive; }
  // While the form is loading, opening waits for Loaded().
  void SetActive(bool active);
  void Open();
  void Close();

  // Moves to the first record; false when there is none.
  bool FindFirst();
  // Moves distance records on (back when negative) and returns how many it
  // moved; stops at either end.
  int MoveBy(int distance);
  void Next();
  // True once a move ran past the last record, for an empty or closed set.
  bool Eof() const { return FEof; }
  // True on the first record after opening or moving back past it.
  bool Bof() const { return FBof; }
  // The current record counted from 1; 0 with no current record.
  int RecNo() const { return FHasRecord ? FRecordIndex + 1 : 0; }

  // The fields are known before the data set opens: asking for them makes
  // the data set describe its columns without reading rows.
  int FieldCount();
  TField* Fields(int index);
  // Case-insensitive, as column names are; null when there is no such field.
  TField* FindField(const std::string& fieldName);
  // Raises EDatabaseError "<data set>: field 'NAME' not found".
  TField* FieldByName(const std::string& fieldName);

  // In the designing state a data set that cannot read its data (a missing
  // database, a query that fails) does not keep its form from loading, so
  // that the form can be mended in a designer: opening leaves it closed,
  // and a form's reference to one of its fields gets a field of that name
  // with no data. Either way the form saves as it was loaded: Active as the
  // form gave it (GetDesignedActive), the references as they were.
  // DesignFailure tells why the data could not be read; empty otherwise.
  const std::string& DesignFailure() const { return FDesignFailure; }
  bool GetDesignedActive() const { return GetActive() || FDesignOpenFailed; }
  // The field a form's reference names: FieldByName, or in the designing
  // state, when the columns cannot be described, a field made for it.
  TField* FieldForReference(const std::string& fieldName);

  // Observers are told of opening, closing and every move.
  int AddObserver(TDataEventHandler handler) { return FObservers.Add(std::move(handler)); }
  void RemoveObserver(int id) { FObservers.Remove(id); }

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 protected:
  // The cursor a data set is made of. InternalOpen makes the cursor ready
  // before its first row and calls DefineFields; InternalFetch reads the
  // next row (false past the last one) into row, one value per field, which
  // still holds the values of an earlier row so that their room can be
  // reused: every value must be written; InternalRewind goes back before the
  // first row; InternalDescribe calls DefineFields without opening.
  virtual void InternalOpen() = 0;
  virtual void InternalClose() = 0;
  virtual bool InternalFetch(std::vector<TFieldValue>& row) = 0;
  virtual void InternalRewind() = 0;
  virtual void InternalDescribe() = 0;

  // Sets the columns. Fields whose names match the columns in order are
  // kept (and retyped), so references to them stay valid across reopening;
  // otherwise the old fields are freed and new ones made.
  void DefineFields(const std::vector<TFieldDef>& defs);
  // Frees the fields (after closing): the next use describes them anew.
  void DestroyFields();
  // The name used in messages: the component's name, else its class.
  std::string DisplayIdent() const;
  [[noreturn]] void DatabaseError(const std::string& what) const;

 private:
  friend class TField;
  void EnsureFields();
  void CheckActive() const;
  // Reads the next row into the current record; false at the end.
  bool FetchRecord();
  void ClearRecord();
  void Rewind();

  TDataSetState FState = TDataSetState::dsInactive;
  bool FStreamedActive = false;
  bool FDesignOpenFailed = false;
  std::string FDesignFailure;
  bool FFieldsDefined = false;
  bool FEof = true;
  bool FBof = true;
  bool FHasRecord = false;
  int FRecordIndex = 0;
  std::vector<TField*> FFields;
  std::vector<TFieldValue> FRecord;
  std::vector<TFieldValue> FFetched;
  TDataObservers FObservers;
};

// Connects data-bound elements to a data set; the elements observe the
// source, so that pointing it at another data set reaches them all.
class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;

  TDataSet* GetDataSet() const { return FDataSet; }
  void SetDataSet(TDataSet* dataSet);
  TDataSetState State() const;

  // Told of the data set's events, and of a change of data set (deClose
  // from the old one when it was open, deOpen from the new one when it is).
  int AddObserver(TDataEventHandler handler) { return FObservers.Add(std::move(handler)); }
  void RemoveObserver(int id) { FObservers.Remove(id); }

  void Notification(TComponent* component, TOperation operation) override;

 private:
  void Detach();

  TDataSet* FDataSet = nullptr;
  int FSubscription = 0;
  TDataObservers FObservers;
};

namespace props {

// A published reference to a field (pkField): saved as "DataSetName.FIELD",
// bound on loading by the data-access field resolver. get returns the
// TField* held, set takes one (null unbinds).
template <class C, class G, class S>
TPropInfo FieldRef(std::string name, G get, S set) {
  TPropInfo info = MakeInfo(std::move(name), TPropKind::pkField);
  info.Get = [get](TPersistent& o) {
    const TField* field = Call<C>(get, o);
    return TPropValue(field == nullptr ? std::string() : field->Reference());
  };
  info.Set = [set](TPersistent& o, const TPropValue& v) {
    const auto* object = std::get_if<TPersistent*>(&v);
    std::invoke(set, static_cast<C&>(o),
                object == nullptr ? nullptr : dynamic_cast<TField*>(*object));
  };
  return info;
}

}  // namespace props

}  // namespace tavkit
