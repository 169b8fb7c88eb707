// Form files: the JSON documents that hold the components of one form with
// their classes, names, published properties and the parent/child tree of
// the controls. Loading and saving go only through the class registry, so a
// class registered later is read and written without any change here.
//
// ```cpp
// RegisterPackage();                          // the classes a form file may name
// TComponent form(nullptr);
// try {
//   LoadForm("shop.json", form);              // form owns every component of the file
// } catch (const EFormFileError& error) {     // says which file, component and property
//   std::cerr << error.Message() << "\n";
//   return;
// } catch (const EFOpenError& error) {        // the file cannot be read
//   std::cerr << error.Message() << "\n";
//   return;
// }
// auto* page = dynamic_cast<TWvPage*>(form.FindComponent("Page1"));
// if (page != nullptr) page->SetPageTitle("Our shop, today");
// SaveFormToFile(form, "shop-today.json");    // every published property, pretty-printed
// TComponent copy(nullptr);
// LoadFormFromText(SaveForm(form), copy);     // the same components once more
// ```
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>

namespace tavkit {

class TStream;
struct TPropInfo;

// A form file that cannot be read as a form. The message names the file,
// the component and the property concerned.
class EFormFileError : public Exception {
 public:
  using Exception::Exception;
};

// Where the form being loaded comes from. Property setters and Loaded() of
// the components can ask for it (CurrentFormLoad) while loading runs; data
// components resolve their relative file paths against Folder.
struct TFormLoadContext {
  std::string FileName;  // empty when the form comes from a text or stream
  std::string Folder;    // absolute folder of the file; empty: the working folder
  TComponent* Form = nullptr;
};

// The load in progress on this thread, or null outside loading.
const TFormLoadContext* CurrentFormLoad();

// A field reference ("DataSetName.FIELDNAME") met while loading, handed to
// the field resolvers once every component of the form exists.
struct TFieldReference {
  TPersistent* Target = nullptr;        // the object whose property it is
  const TPropInfo* Property = nullptr;  // a pkField property of Target
  TComponent* DataSet = nullptr;        // the component named before the dot
  std::string FieldName;                // the text after the dot
};

// Binds a field reference and returns true, or returns false when it does
// not know the data set or the field (the next resolver is asked). It may
// raise to refuse the reference; the loader adds the place to the message.
using TFieldResolver = std::function<bool(const TFieldReference& reference)>;

// Installs a resolver (the data-access code does, at start-up); the result
// identifies it for UnregisterFieldResolver. Resolvers are asked in the order
// of registration.
int RegisterFieldResolver(TFieldResolver resolver);
void UnregisterFieldResolver(int id);

// Loads a form file into form: the form's Name becomes the file's "form"
// value and form owns every component of the file. Components take the
// form's designing state; form and components are csLoading until the end,
// when Loaded() runs on every new component and then on the form. On any
// error every component made so far is freed, the form's name is restored,
// and EFormFileError is raised (EFOpenError when the file cannot be read).
void LoadForm(const std::string& fileName, TComponent& form);
// The same from the rest of a stream or from a text; folder stands for the
// form file's folder.
void LoadFormFromStream(TStream& stream, TComponent& form, const std::string& folder = "");
void LoadFormFromText(const std::string& text, TComponent& form, const std::string& folder = "");

// A form file read and parsed once, from which forms are loaded as often as
// wanted without reading or parsing any text again. A server keeps one for
// its life and gives every request a fresh form from it; loading only reads
// the parsed document, which stays as it was.
//
// ```cpp
// const TFormTemplate shop("shop.json");   // EFOpenError, or EFormFileError for bad JSON
// while (cgi.Accept()) {
//   TComponent form(nullptr);
//   shop.Load(form);                        // as LoadForm("shop.json", form)
//   ...
// }
// ```
class TFormTemplate {
 public:
  // Reads and parses the file; the errors are those of LoadForm for a file
  // that cannot be read, is too large or is not JSON. Everything else (an
  // unknown class, a wrong value) is found by Load.
  explicit TFormTemplate(const std::string& fileName);
  // The same from a text; folder stands for the form file's folder.
  static TFormTemplate FromText(const std::string& text, const std::string& folder = "");
  TFormTemplate(TFormTemplate&&) noexcept;
  TFormTemplate& operator=(TFormTemplate&&) noexcept;
  ~TFormTemplate();

  // Loads into form exactly what LoadForm would load from the file, with the
  // same errors and the same guarantee: on failure nothing is left in form.
  void Load(TComponent& form) const;

 private:
  struct TDocument;
  explicit TFormTemplate(std::unique_ptr<const TDocument> document);
  std::unique_ptr<const TDocument> FDocument;
};

// Writes the form's components and every published property in the form-
// file format, pretty-printed with an indent of two and a final line end.
// A pkField property's getter gives its reference as the string
// "DataSetName.FIELDNAME" (empty when unbound).
std::string SaveForm(TComponent& form);
void SaveFormToFile(TComponent& form, const std::string& fileName);

}  // namespace tavkit
