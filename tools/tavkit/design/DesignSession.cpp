// Edits of the design, undo and redo, and saving without losing the file.
// A change works on components loaded anew from the current text, so that a
// refused or failed edit leaves the design exactly as it was: the loaded
// copy is simply thrown away.
#include "design/DesignSession.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include <tavkit/platform/base/Dialogs.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/formfile/detail/FormJson.h>
#include "design/ChildProcesses.h"
#include "design/Clipboard.h"
#include "design/DesignFiles.h"
#include "design/PreviewPainter.h"
#include "design/PropertyModel.h"

namespace tavkit::design {

namespace fs = std::filesystem;

namespace {

const char* const kNewForm =
    R"({"form": "Form1", "components": [{"class": "TWvPage", "name": "Page1",)"
    R"( "properties": {"Left": 0, "Top": 0, "Width": 640, "Height": 480}}]})";

// Collects the message boxes shown while it lives; the handler that was
// installed before comes back afterwards.
class TMessageCapture {
 public:
  TMessageCapture()
      : FPrevious(SetMessageBoxHandler(
            [this](const std::string& text, TMsgDlgType) { FMessages.push_back(text); })) {}
  ~TMessageCapture() { SetMessageBoxHandler(std::move(FPrevious)); }
  TMessageCapture(const TMessageCapture&) = delete;
  TMessageCapture& operator=(const TMessageCapture&) = delete;

  bool Empty() const { return FMessages.empty(); }
  // Several boxes in one edit are shown as one, line after line.
  std::string Text() const {
    std::string text;
    for (const auto& m : FMessages) text += (text.empty() ? "" : "\n") + m;
    return text;
  }

 private:
  std::vector<std::string> FMessages;
  TMessageBoxHandler FPrevious;
};

struct TDiskFile {
  bool Exists = false;
  std::string Text;
};

// The form file as it is on disk. Only a regular file is read: opening a
// pipe would wait for a writer, and a folder or a device is no form.
TDiskFile ReadDiskFile(const std::string& fileName) {
  TDiskFile file;
  const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) return file;
  if (fd < 0) throw EFOpenError("Cannot open file " + fileName + ": " + std::strerror(errno));
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    throw EFormFileError("Form file " + fileName + ": not a regular file");
  }
  if (info.st_size > MaxFormFileSize) {
    close(fd);
    throw EFormFileError("Form file " + fileName + ": the file is larger than " +
                         std::to_string(MaxFormFileSize) + " bytes");
  }
  char buffer[65536];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || static_cast<std::int64_t>(file.Text.size()) + n > MaxFormFileSize) {
      const int error = n < 0 ? errno : EFBIG;
      close(fd);
      throw EFOpenError("Cannot read file " + fileName + ": " + std::strerror(error));
    }
    file.Text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  file.Exists = true;
  return file;
}

// Whether a form file's JSON holds a component of a data-set class, whose
// loading may run a query.
bool HoldsDataSets(const detail::TJsonValue& value) {
  if (value.IsObject()) {
    const detail::TJsonValue className = value.Find("class");
    if (className.IsString()) {
      const TClassInfo* info = TClassRegistry::Instance().Find(std::string(className.Text()));
      if (info != nullptr && info->InheritsFrom("TDataSet")) return true;
    }
  }
  if (value.IsObject() || value.IsArray())
    for (const detail::TJsonValue item : value)
      if (HoldsDataSets(item)) return true;
  return false;
}

bool HoldsDataSets(const std::string& text) {
  try {
    const detail::TJsonDocument document = detail::ParseFormJson(text, "");
    return HoldsDataSets(document.Root());
  } catch (const Exception&) {
    return false;  // the load itself reports what is wrong with the text
  }
}

// The file a save writes: the form file, or the file its link leads to.
std::string SaveTarget(const std::string& fileName) {
  fs::path path(fileName);
  std::error_code error;
  for (int links = 0; links < 40 && fs::is_symlink(path, error); ++links) {
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path.string();
}

// The folder of a file, as a name that can be opened.
std::string FolderOf(const std::string& fileName) {
  const std::string folder = fs::path(fileName).parent_path().string();
  return folder.empty() ? "." : folder;
}

TControl& FindControl(TComponent& form, const std::string& name) {
  auto* control = dynamic_cast<TControl*>(&FindDesignComponent(form, name));
  if (control == nullptr) throw Exception(name + " is no control");
  return *control;
}

// The parent a control is to go into: null for the form itself.
TWinControl* FindParent(TComponent& form, const std::string& name) {
  if (name.empty()) return nullptr;
  auto* parent = dynamic_cast<TWinControl*>(&FindDesignComponent(form, name));
  if (parent == nullptr) throw Exception(name + " cannot hold other controls");
  return parent;
}

// Places a control into a parent the way the framework does, asking the
// parent's validateInsert; a refusal is shown as the library's warning box.
bool PlaceControl(TControl& control, TWinControl* parent) {
  try {
    control.SetParent(parent);
    return true;
  } catch (const Exception& e) {
    MessageDlg(e.Message(), TMsgDlgType::mtWarning);
    return false;
  }
}

void MoveControl(TComponent& form, const TBatchEdit& edit) {
  FindControl(form, edit.Component).SetBounds(edit.Left, edit.Top, edit.Width, edit.Height);
}

// False when the new parent refuses the control (the library's warning
// box says why).
bool MoveToParent(TComponent& form, const TBatchEdit& edit) {
  TControl& control = FindControl(form, edit.Component);
  if (!PlaceControl(control, FindParent(form, edit.Parent))) return false;
  control.SetBounds(edit.Left, edit.Top, control.GetWidth(), control.GetHeight());
  return true;
}

void DeleteWithChildren(TComponent* component) {
  if (auto* container = dynamic_cast<TWinControl*>(component))
    while (container->GetControlCount() > 0) {
      TControl* child = container->GetControl(container->GetControlCount() - 1);
      if (child->GetOwner() != component->GetOwner()) {
        child->SetParent(nullptr);  // not ours to free: another form's control
        continue;
      }
      DeleteWithChildren(child);
    }
  delete component;
}

// The body of an edit route that makes edit, with the route named.
TJson BatchEditBody(const TBatchEdit& edit) {
  TJson body = {{"route", edit.Route}, {"component", edit.Component}};
  if (edit.Route == "property") {
    body["path"] = edit.Path;
    body["value"] = edit.Value;
  } else if (edit.Route == "bounds") {
    body.update(
        {{"left", edit.Left}, {"top", edit.Top}, {"width", edit.Width}, {"height", edit.Height}});
  } else if (edit.Route == "parent") {
    body.update({{"parent", edit.Parent}, {"left", edit.Left}, {"top", edit.Top}});
  }
  return body;
}

std::string FormText(const TJson& root) {
  return root.dump(2) + "\n";
}

}  // namespace

void ReadDesignData(TComponent& form) {
  for (int i = 0; i < form.ComponentCount(); ++i) {
    TComponent* component = form.Components(i);
    try {
      if (auto* dataSet = dynamic_cast<TDataSet*>(component)) dataSet->FieldCount();
      if (auto* control = dynamic_cast<TControl*>(component)) PaintPreviewPng(*control);
    } catch (const std::exception&) {
      continue;
    }
  }
}

TComponent& FindDesignComponent(TComponent& form, const std::string& name) {
  TComponent* found = name.empty() ? nullptr : form.FindComponent(name);
  if (found == nullptr) throw Exception("The form has no component named " + name);
  return *found;
}

TDesignSession::TDesignSession(std::string fileName, TDataTrial trial)
    : FFileName(std::move(fileName)), FTrial(std::move(trial)) {
  std::error_code error;
  fs::path absolute = fs::absolute(FFileName, error);
  FFolder = (error ? fs::path(FFileName) : absolute).parent_path().string();
  // The renderer writes its copies beside the form and saving writes beside
  // the file saved: a folder that takes neither is said now, not after the
  // work is done.
  try {
    RequireWritableFolder(FolderOf(FFileName));
    RequireWritableFolder(FolderOf(SaveTarget(FFileName)));
  } catch (const EInOutError& e) {
    throw EInOutError("Form file " + FFileName + " cannot be designed: " + e.Message(),
                      e.ErrorCode);
  }
  TDiskFile disk = ReadDiskFile(FFileName);
  FDiskExists = disk.Exists;
  FDiskText = disk.Text;
  TMessageCapture boxes;  // what loading refuses is the file's business
  try {
    const std::string text = disk.Exists ? disk.Text : kNewForm;
    TryInTime(text);
    FForm = Load(text);
  } catch (const EFormFileError& e) {
    // The text was read here, so the reader could not name the file.
    std::string message = e.Message();
    const std::string unnamed = "Form file: ";
    if (message.rfind(unnamed, 0) == 0)
      message.replace(0, unnamed.size(), "Form file " + FFileName + ": ");
    throw EFormFileError(message);
  } catch (const EDesignTimeout& e) {
    throw EDesignTimeout("Form file " + FFileName + ": " + e.Message());
  }
  FText = SaveForm(*FForm);
  FSavedText = disk.Exists ? FText : std::string();
}

TDesignSession::~TDesignSession() = default;

std::unique_ptr<TComponent> TDesignSession::Load(const std::string& text) const {
  auto form = std::make_unique<TComponent>(nullptr);
  form->SetDesigning(true);  // the components the load makes are designed too
  LoadFormFromText(text, *form, FFolder);
  return form;
}

std::unique_ptr<TDesignSession> TDesignSession::ForTrial(std::string fileName, std::string text) {
  return std::unique_ptr<TDesignSession>(
      new TDesignSession(TTrialCopy{}, std::move(fileName), std::move(text)));
}

TDesignSession::TDesignSession(TTrialCopy, std::string fileName, std::string text)
    : FFileName(std::move(fileName)), FText(std::move(text)) {
  std::error_code error;
  fs::path absolute = fs::absolute(FFileName, error);
  FFolder = (error ? fs::path(FFileName) : absolute).parent_path().string();
  FForm = Load(FText);
}

void TDesignSession::TryInTime(const std::string& text, const std::string& route,
                               const TJson& body) const {
  // A paste may bring the form its first data sets.
  const bool pastesData = route == "paste" && body.contains("text") && body["text"].is_string() &&
                          HoldsDataSets(body["text"].get<std::string>());
  if (FTrial.Program.empty() || (!HoldsDataSets(text) && !pastesData)) return;
  TJson input = {{"file", FFileName}, {"text", text}};
  if (!route.empty()) {
    input["route"] = route;
    input["body"] = body;
  }
  const TTrialResult trial = RunTrial(FTrial.Program, input.dump(), FTrial.Seconds);
  if (trial == TTrialResult::TimedOut)
    throw EDesignTimeout("the form's data took longer than " + std::to_string(FTrial.Seconds) +
                         " seconds to load (a query that does not end?)");
  if (trial == TTrialResult::Failed) throw EDesignTimeout("loading the form's data was broken off");
}

TEditResult TDesignSession::Change(const std::string& route, const TJson& body,
                                   const TChange& change) {
  TEditResult result;
  std::unique_ptr<TComponent> changed;
  std::string text;
  {
    TMessageCapture boxes;
    try {
      // An edit may read data (a property of a query, a control moved into
      // a data-bound panel): on a form with data sets it is tried first.
      TryInTime(FText, route, body);
      changed = change(result);
      if (changed) text = SaveForm(*changed);
    } catch (const std::exception& e) {
      result.Error = e.what();
    }
    if (!boxes.Empty()) {
      result.Warning = boxes.Text();
      result.Error.clear();
    }
  }
  if (!result.Warning.empty() || !result.Error.empty() || !changed || text == FText) {
    if (!result.Warning.empty() || !result.Error.empty()) {
      result.Name.clear();
      result.Names.clear();
    }
    return result;
  }
  FUndo.push_back(FText);
  if (FUndo.size() > MaxUndo) FUndo.erase(FUndo.begin());
  FRedo.clear();
  Replace(std::move(text), std::move(changed));
  result.Changed = true;
  return result;
}

void TDesignSession::Replace(std::string text, std::unique_ptr<TComponent> form) {
  std::lock_guard<std::mutex> guard(FTextLock);
  FText = std::move(text);
  FForm = std::move(form);
  ++FVersion;
}

TEditResult TDesignSession::SetProperty(const std::string& component, const TJson& path,
                                        const TJson& value) {
  return Change("property", {{"component", component}, {"path", path}, {"value", value}},
                [&](TEditResult&) { return Load(SetFormProperty(FText, component, path, value)); });
}

TEditResult TDesignSession::SetBounds(const std::string& component, int left, int top, int width,
                                      int height) {
  return Change("bounds",
                {{"component", component},
                 {"left", left},
                 {"top", top},
                 {"width", width},
                 {"height", height}},
                [&](TEditResult&) {
    auto form = Scratch();
    MoveControl(*form, {"bounds", component, {}, {}, {}, left, top, width, height});
    return form;
  });
}

TEditResult TDesignSession::Insert(const std::string& className, const std::string& parent,
                                   int left, int top) {
  return Change("insert", {{"class", className}, {"parent", parent}, {"left", left}, {"top", top}},
                [&](TEditResult& result) -> std::unique_ptr<TComponent> {
    auto form = Scratch();
    const TClassInfo* info = TClassRegistry::Instance().Find(className);
    if (info == nullptr || !info->Factory) throw Exception("Class " + className + " not found");
    TWinControl* target = FindParent(*form, parent);
    TComponent* component = CreateComponent(info->Name, form.get());
    component->SetName(FreeName(*form, info->Name));
    result.Name = component->GetName();
    if (auto* control = dynamic_cast<TControl*>(component)) {
      if (!PlaceControl(*control, target)) return nullptr;
      control->SetBounds(left, top, control->GetWidth(), control->GetHeight());
    }
    return form;
  });
}

TEditResult TDesignSession::SetParent(const std::string& component, const std::string& parent,
                                      int left, int top) {
  return Change("parent",
                {{"component", component}, {"parent", parent}, {"left", left}, {"top", top}},
                [&](TEditResult&) -> std::unique_ptr<TComponent> {
    auto form = Scratch();
    if (!MoveToParent(*form, {"parent", component, {}, {}, parent, left, top})) return nullptr;
    return form;
  });
}

TEditResult TDesignSession::Delete(const std::string& component) {
  return Change("delete", {{"component", component}}, [&](TEditResult&) {
    auto form = Scratch();
    DeleteWithChildren(&FindDesignComponent(*form, component));
    return form;
  });
}

TEditResult TDesignSession::Rename(const std::string& component, const std::string& newName) {
  return Change("rename", {{"component", component}, {"name", newName}}, [&](TEditResult& result) {
    auto form = Scratch();
    if (strcasecmp(newName.c_str(), form->GetName().c_str()) == 0)
      throw Exception("The name " + newName + " is the form's own");
    FindDesignComponent(*form, component).SetName(newName);
    result.Name = newName;
    return form;
  });
}

TEditResult TDesignSession::Batch(const std::vector<TBatchEdit>& edits) {
  TJson bodies = TJson::array();
  for (const TBatchEdit& edit : edits) bodies.push_back(BatchEditBody(edit));
  return Change("batch", {{"edits", std::move(bodies)}},
                [&](TEditResult&) -> std::unique_ptr<TComponent> {
    // Property edits are written into the text, the others made on loaded
    // components: the text is loaded or saved only where the kind of edit
    // changes, so that a batch of one kind loads the design once.
    TJson root = TJson::parse(FText);
    std::unique_ptr<TComponent> form;
    for (const TBatchEdit& edit : edits) {
      if (edit.Route == "property") {
        if (form) {
          root = TJson::parse(SaveForm(*form));
          form.reset();
        }
        SetFormProperty(root, edit.Component, edit.Path, edit.Value);
        continue;
      }
      if (!form) form = Load(FormText(root));
      if (edit.Route == "bounds") {
        MoveControl(*form, edit);
      } else if (edit.Route == "parent") {
        if (!MoveToParent(*form, edit)) return nullptr;
      } else if (edit.Route == "delete") {
        DeleteWithChildren(&FindDesignComponent(*form, edit.Component));
      } else {
        throw Exception("A batch holds no " + edit.Route + " edit");
      }
    }
    return form ? std::move(form) : Load(FormText(root));
  });
}

std::string TDesignSession::Copy(const std::vector<std::string>& components) const {
  return CopyText(*FForm, FText, components);
}

TEditResult TDesignSession::Paste(const std::string& text, const std::string& parent,
                                  std::optional<TPoint> at) {
  TJson body = {{"text", text}, {"parent", parent}};
  if (at) body.update({{"left", at->X}, {"top", at->Y}});
  return Change("paste", body, [&](TEditResult& result) -> std::unique_ptr<TComponent> {
    auto form = Scratch();
    FindParent(*form, parent);  // a parent the form lacks is said before the text is read
    TPasteEntries paste = ReadPasteText(*form, text);
    if (paste.Names.empty()) return nullptr;
    TJson root = TJson::parse(FText);
    for (TJson& entry : paste.Entries) root["components"].push_back(std::move(entry));
    // Loaded at the top of the form, then placed one by one as an insertion
    // is: the new parent's validateInsert has its say.
    form = Load(FormText(root));
    TWinControl* target = FindParent(*form, parent);
    std::vector<TControl*> controls;
    for (const std::string& name : paste.Names)
      if (auto* control = dynamic_cast<TControl*>(form->FindComponent(name)))
        controls.push_back(control);
    long long shiftX = 8, shiftY = 8;
    if (at && !controls.empty()) {
      int left = controls.front()->GetLeft(), top = controls.front()->GetTop();
      for (const TControl* control : controls) {
        left = std::min(left, control->GetLeft());
        top = std::min(top, control->GetTop());
      }
      shiftX = static_cast<long long>(at->X) - left;
      shiftY = static_cast<long long>(at->Y) - top;
    }
    const auto shifted = [](int position, long long shift) {
      return static_cast<int>(std::clamp<long long>(position + shift, INT32_MIN, INT32_MAX));
    };
    for (TControl* control : controls) {
      if (!PlaceControl(*control, target)) return nullptr;
      control->SetBounds(shifted(control->GetLeft(), shiftX), shifted(control->GetTop(), shiftY),
                         control->GetWidth(), control->GetHeight());
    }
    result.Names = std::move(paste.Names);
    return form;
  });
}

std::vector<std::string> TDesignSession::Warnings() const {
  std::vector<std::string> warnings;
  for (int i = 0; i < FForm->ComponentCount(); ++i) {
    const auto* dataSet = dynamic_cast<const TDataSet*>(FForm->Components(i));
    if (dataSet == nullptr || dataSet->DesignFailure().empty()) continue;
    // The data set's own errors name it already.
    const std::string& cause = dataSet->DesignFailure();
    const std::string name = dataSet->GetName() + ": ";
    warnings.push_back(cause.rfind(name, 0) == 0 ? cause : name + cause);
  }
  return warnings;
}

bool TDesignSession::Undo() {
  if (FUndo.empty()) return false;
  TryInTime(FUndo.back());
  TMessageCapture boxes;
  auto form = Load(FUndo.back());
  FRedo.push_back(FText);
  std::string text = std::move(FUndo.back());
  FUndo.pop_back();
  Replace(std::move(text), std::move(form));
  return true;
}

bool TDesignSession::Redo() {
  if (FRedo.empty()) return false;
  TryInTime(FRedo.back());
  TMessageCapture boxes;
  auto form = Load(FRedo.back());
  FUndo.push_back(FText);
  std::string text = std::move(FRedo.back());
  FRedo.pop_back();
  Replace(std::move(text), std::move(form));
  return true;
}

void TDesignSession::Save() {
  const TDiskFile disk = ReadDiskFile(FFileName);
  if (FDiskExists && !disk.Exists)
    throw EDesignConflict(FFileName +
                          " has been deleted or moved since the designer read it; the design was "
                          "not saved, so that the removal is not undone without a word");
  if (disk.Exists != FDiskExists || disk.Text != FDiskText)
    throw EDesignConflict(FFileName +
                          " has changed on disk since the designer read it; the design was not "
                          "saved, so that the other change is not lost");
  const std::string target = SaveTarget(FFileName);
  mode_t mode = 0644;
  struct stat info {};
  if (disk.Exists && stat(target.c_str(), &info) == 0) {
    mode = info.st_mode & 07777;
    // The rename would replace a file its owner keeps from being written.
    if ((mode & 0222) == 0 || faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
      throw EInOutError(FFileName + " is read-only; the design was not saved");
  }
  const int permissions = static_cast<int>(mode);
  if (disk.Exists) WriteFileAtomically(target + ".bak", disk.Text.data(), disk.Text.size(), permissions);
  WriteFileAtomically(target, FText.data(), FText.size(), permissions);
  FDiskExists = true;
  FDiskText = FText;
  std::lock_guard<std::mutex> guard(FTextLock);
  FSavedText = FText;
}

std::string TDesignSession::KeepUnsaved() const {
  std::lock_guard<std::mutex> guard(FTextLock);
  if (FText == FSavedText) return std::string();
  return KeepUnsavedText(FFileName, FText);
}

}  // namespace tavkit::design
