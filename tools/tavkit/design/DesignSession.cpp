// Edits of the design, undo and redo, and saving without losing the file.
// A change works on components loaded anew from the current text, so that a
// refused or failed edit leaves the design exactly as it was: the loaded
// copy is simply thrown away.
#include "design/DesignSession.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <tavkit/platform/base/Dialogs.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/formfile/FormFile.h>
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

TDiskFile ReadDiskFile(const std::string& fileName) {
  TDiskFile file;
  std::error_code error;
  if (!fs::exists(fileName, error)) return file;
  if (fs::file_size(fileName, error) > static_cast<std::uintmax_t>(MaxFormFileSize))
    throw EFormFileError("Form file " + fileName + ": the file is larger than " +
                         std::to_string(MaxFormFileSize) + " bytes");
  std::ifstream in(fileName, std::ios::binary);
  if (!in) throw EFOpenError("Cannot open file " + fileName);
  std::ostringstream text;
  text << in.rdbuf();
  file.Exists = true;
  file.Text = text.str();
  return file;
}

[[noreturn]] void FailWrite(const std::string& fileName, int error) {
  throw EInOutError("Cannot write " + fileName + ": " + std::strerror(error));
}

// Writes bytes into fileName through fileName.tmp and a rename, so that a
// reader finds the old file or the new one, never a part of either.
void WriteFileAtomically(const std::string& fileName, const std::string& bytes, mode_t mode) {
  const std::string temporary = fileName + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) FailWrite(temporary, errno);
  for (std::size_t written = 0; written < bytes.size();) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = n < 0 ? errno : EIO;
      close(fd);
      unlink(temporary.c_str());
      FailWrite(temporary, error);
    }
    written += static_cast<std::size_t>(n);
  }
  // The umask may have taken bits of the mode away; the file keeps its own.
  if (fchmod(fd, mode) != 0 || fsync(fd) != 0) {
    const int error = errno;
    close(fd);
    unlink(temporary.c_str());
    FailWrite(temporary, error);
  }
  if (close(fd) != 0 || rename(temporary.c_str(), fileName.c_str()) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    FailWrite(fileName, error);
  }
  // The rename itself reaches the disk with the folder.
  const std::string folder = fs::path(fileName).parent_path().string();
  int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}

// Class TWvText gives WvText1, WvText2, ...: the first name the form has free.
std::string FreeName(TComponent& form, const std::string& className) {
  std::string base = className;
  if (base.size() > 1 && (base[0] == 'T' || base[0] == 't')) base.erase(0, 1);
  for (int n = 1;; ++n) {
    std::string name = base + std::to_string(n);
    if (form.FindComponent(name) == nullptr &&
        strcasecmp(name.c_str(), form.GetName().c_str()) != 0)
      return name;
  }
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

}  // namespace

TComponent& FindDesignComponent(TComponent& form, const std::string& name) {
  TComponent* found = name.empty() ? nullptr : form.FindComponent(name);
  if (found == nullptr) throw Exception("The form has no component named " + name);
  return *found;
}

TDesignSession::TDesignSession(std::string fileName) : FFileName(std::move(fileName)) {
  std::error_code error;
  fs::path absolute = fs::absolute(FFileName, error);
  FFolder = (error ? fs::path(FFileName) : absolute).parent_path().string();
  TDiskFile disk = ReadDiskFile(FFileName);
  FDiskExists = disk.Exists;
  FDiskText = disk.Text;
  TMessageCapture boxes;  // what loading refuses is the file's business
  try {
    FForm = Load(disk.Exists ? disk.Text : kNewForm);
  } catch (const EFormFileError& e) {
    // The text was read here, so the reader could not name the file.
    std::string message = e.Message();
    const std::string unnamed = "Form file: ";
    if (message.rfind(unnamed, 0) == 0)
      message.replace(0, unnamed.size(), "Form file " + FFileName + ": ");
    throw EFormFileError(message);
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

TEditResult TDesignSession::Change(const TChange& change) {
  TEditResult result;
  std::unique_ptr<TComponent> changed;
  std::string text;
  {
    TMessageCapture boxes;
    try {
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
    if (!result.Warning.empty() || !result.Error.empty()) result.Name.clear();
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
  FText = std::move(text);
  FForm = std::move(form);
  ++FVersion;
}

TEditResult TDesignSession::SetProperty(const std::string& component, const TJson& path,
                                        const TJson& value) {
  return Change([&](TEditResult&) { return Load(SetFormProperty(FText, component, path, value)); });
}

TEditResult TDesignSession::SetBounds(const std::string& component, int left, int top, int width,
                                      int height) {
  return Change([&](TEditResult&) {
    auto form = Scratch();
    FindControl(*form, component).SetBounds(left, top, width, height);
    return form;
  });
}

TEditResult TDesignSession::Insert(const std::string& className, const std::string& parent,
                                   int left, int top) {
  return Change([&](TEditResult& result) -> std::unique_ptr<TComponent> {
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
  return Change([&](TEditResult&) -> std::unique_ptr<TComponent> {
    auto form = Scratch();
    TControl& control = FindControl(*form, component);
    if (!PlaceControl(control, FindParent(*form, parent))) return nullptr;
    control.SetBounds(left, top, control.GetWidth(), control.GetHeight());
    return form;
  });
}

TEditResult TDesignSession::Delete(const std::string& component) {
  return Change([&](TEditResult&) {
    auto form = Scratch();
    DeleteWithChildren(&FindDesignComponent(*form, component));
    return form;
  });
}

TEditResult TDesignSession::Rename(const std::string& component, const std::string& newName) {
  return Change([&](TEditResult& result) {
    auto form = Scratch();
    if (strcasecmp(newName.c_str(), form->GetName().c_str()) == 0)
      throw Exception("The name " + newName + " is the form's own");
    FindDesignComponent(*form, component).SetName(newName);
    result.Name = newName;
    return form;
  });
}

bool TDesignSession::Undo() {
  if (FUndo.empty()) return false;
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
  if (disk.Exists != FDiskExists || disk.Text != FDiskText)
    throw EDesignConflict(FFileName +
                          " has changed on disk since the designer read it; the design was not "
                          "saved, so that the other change is not lost");
  mode_t mode = 0644;
  struct stat info {};
  if (disk.Exists && stat(FFileName.c_str(), &info) == 0) mode = info.st_mode & 07777;
  if (disk.Exists) WriteFileAtomically(FFileName + ".bak", disk.Text, mode);
  WriteFileAtomically(FFileName, FText, mode);
  FDiskExists = true;
  FDiskText = FText;
  FSavedText = FText;
}

std::string TDesignSession::KeepUnsaved() const {
  const std::string fileName = FFileName + ".unsaved";
  WriteFileAtomically(fileName, FText, 0644);
  return fileName;
}

}  // namespace tavkit::design
