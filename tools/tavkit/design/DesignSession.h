// The form being designed. Its truth is the form-file text: every edit is
// made on components freshly loaded from that text in the designing state,
// and its result is the text those components save to. Undo and redo are
// snapshots of the text. Saving goes through a temporary file and a rename,
// keeps the previous file as FORM.bak and refuses to overwrite a file that
// changed on disk since the designer read it. On a form with data sets,
// where loading or an edit may run a query, the work is first done in a
// process of its own (`tavkit design --trial`) under a time limit, so that
// a query that never ends cannot hold the designer.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit::design {

// Form files keep the order of their keys: properties are applied in it.
using TJson = nlohmann::ordered_json;

// What became of one edit. A refusal of the library (a message box it
// showed, or an insertion its validateInsert refused) is a warning; a value
// or a name the form cannot take is an error. Either way nothing changed.
struct TEditResult {
  bool Changed = false;
  std::string Warning;
  std::string Error;
  std::string Name;                // the component the edit made or renamed
  std::vector<std::string> Names;  // the top-level components a paste added, in order
};

// One edit of a batch: the members of the edit route it names.
struct TBatchEdit {
  std::string Route{};  // "property", "bounds", "parent" or "delete"
  std::string Component{};
  TJson Path{};          // property
  TJson Value{};         // property
  std::string Parent{};  // parent
  int Left = 0;          // bounds and parent
  int Top = 0;           // bounds and parent
  int Width = 0;         // bounds
  int Height = 0;        // bounds
};

// The file on disk is not the one the designer read or last wrote.
class EDesignConflict : public Exception {
 public:
  using Exception::Exception;
};

// Loading the form's data did not finish within the time limit.
class EDesignTimeout : public Exception {
 public:
  using Exception::Exception;
};

// How the work that may read data is tried before it is done: the tavkit
// program run as `tavkit design --trial`, and the time it is given.
struct TDataTrial {
  // How long loading a form's data may take by default.
  static constexpr int DefaultSeconds = 20;

  // Empty: the work is done without a trial, with no time limit of the
  // designer's own (the trial run itself works so).
  std::string Program;
  int Seconds = DefaultSeconds;
};

class TDesignSession {
 public:
  // How many edits undo can take back.
  static constexpr std::size_t MaxUndo = 500;
  // How many edits one batch may make.
  static constexpr std::size_t MaxBatchEdits = 10000;

  // Reads the form file; a file that does not exist yet starts a new form
  // holding one page. Raises the form file's errors for a file that cannot
  // be read as a form, EInOutError when the form's folder cannot take
  // files (a design that could never be saved), and EDesignTimeout when its
  // data does not load within the trial's time.
  explicit TDesignSession(std::string fileName, TDataTrial trial = {});
  // The design of the form file fileName as text holds it, for a trial run:
  // nothing is read from disk or tried first, and nothing may be saved.
  static std::unique_ptr<TDesignSession> ForTrial(std::string fileName, std::string text);
  ~TDesignSession();
  TDesignSession(const TDesignSession&) = delete;
  TDesignSession& operator=(const TDesignSession&) = delete;

  const std::string& FileName() const { return FFileName; }
  // The absolute folder of the form file, against which it names its files.
  const std::string& Folder() const { return FFolder; }
  // The form file text of the design as it stands.
  const std::string& Text() const { return FText; }
  // The components of the design, in the designing state. Replaced by every
  // change: hold no pointer into it across an edit.
  TComponent& Form() { return *FForm; }
  // Grows with every change, undo and redo.
  int Version() const { return FVersion; }
  // Whether the design differs from the file as last read or saved.
  bool Modified() const { return FText != FSavedText; }
  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  // Whether the form file did not exist when the designer read it and the
  // design has not been saved since.
  bool IsNew() const { return !FDiskExists; }
  // Why data-bound parts of the design are empty: a line for each data set
  // that cannot read its data (a missing database, a query that fails),
  // naming it and the cause. The form is designed all the same.
  std::vector<std::string> Warnings() const;

  // Sets the property at path (names of properties and sub-properties,
  // indices of collection items) of a component to a value written as in
  // form files.
  TEditResult SetProperty(const std::string& component, const TJson& path, const TJson& value);
  // Moves and sizes a control through its own SetBounds.
  TEditResult SetBounds(const std::string& component, int left, int top, int width, int height);
  // Makes a component of a registered class. A control goes into the
  // control named parent (none: onto the form) at left, top.
  TEditResult Insert(const std::string& className, const std::string& parent, int left, int top);
  // Moves a control into another parent (none: onto the form) at left, top.
  TEditResult SetParent(const std::string& component, const std::string& parent, int left, int top);
  // Removes a component; a control takes its children with it.
  TEditResult Delete(const std::string& component);
  TEditResult Rename(const std::string& component, const std::string& newName);
  // Makes the edits in order as one change, undone in one step: when one
  // is refused or fails, none is made and the result is that edit's.
  TEditResult Batch(const std::vector<TBatchEdit>& edits);
  // A form file text holding the named components with their children and
  // properties: controls of one parent, or components that are no
  // controls. Raises Exception for a name the form lacks or controls of
  // different parents.
  std::string Copy(const std::vector<std::string>& components) const;
  // Adds the components of a form file text (as Copy writes it) into the
  // control named parent (none: onto the form), under names free in the
  // form and with their references among themselves following them. Its
  // top-level controls keep their places shifted by (8, 8), or, with at,
  // are shifted together so that their top-left corner lands there.
  TEditResult Paste(const std::string& text, const std::string& parent,
                    std::optional<TPoint> at = std::nullopt);
  // Each returns false when there is nothing to take back or bring again,
  // and raises EDesignTimeout when the design's data no longer loads in time.
  bool Undo();
  bool Redo();

  // Writes the design to the form file; a form file that is a symbolic
  // link is written through to the file it leads to. Raises EDesignConflict
  // when the file on disk is not the one read or last written, EInOutError
  // when it is read-only or cannot be written; the file on disk is whole in
  // every case.
  void Save();
  // For a designer stopped with changes not saved: writes the design beside
  // the form file as FORM.unsaved, or where the user can write when that
  // folder will not take it, and returns the name written; returns an empty
  // name when there is nothing unsaved. Safe to call from another thread
  // while an edit is under way: it keeps the design as the last finished
  // edit left it.
  std::string KeepUnsaved() const;

 private:
  struct TTrialCopy {};
  TDesignSession(TTrialCopy, std::string fileName, std::string text);

  using TChange = std::function<std::unique_ptr<TComponent>(TEditResult&)>;

  std::unique_ptr<TComponent> Load(const std::string& text) const;
  // For a text with data sets: has a trial run load it and make the edit
  // (an API route and its body; none: only the loading) and raises
  // EDesignTimeout when that does not finish within the trial's time.
  void TryInTime(const std::string& text, const std::string& route = std::string(),
                 const TJson& body = TJson()) const;
  // Loads the design as it stands, for a change to work on.
  std::unique_ptr<TComponent> Scratch() const { return Load(FText); }
  // Makes the edit the API names route with body, by change.
  TEditResult Change(const std::string& route, const TJson& body, const TChange& change);
  void Replace(std::string text, std::unique_ptr<TComponent> form);

  std::string FFileName;
  std::string FFolder;
  TDataTrial FTrial;
  // Guards FText and FSavedText where they change and where another thread
  // reads them (KeepUnsaved).
  mutable std::mutex FTextLock;
  std::string FText;
  std::string FSavedText;
  bool FDiskExists = false;
  std::string FDiskText;  // the bytes of the file as last read or written
  std::unique_ptr<TComponent> FForm;
  std::vector<std::string> FUndo;
  std::vector<std::string> FRedo;
  int FVersion = 1;
};

// A component of the form by name (case-insensitive), or an Exception.
TComponent& FindDesignComponent(TComponent& form, const std::string& name);

// What the designer does with a loaded form that reads data: every data
// set tells its fields (the inspector's choices) and every control paints
// its preview (a data-bound table reads its rows).
void ReadDesignData(TComponent& form);

}  // namespace tavkit::design
