// Feeds arbitrary text to the form-file loader, with every class of the
// package registered. Bad text must give EFormFileError (or another error of
// the library), never a crash, a leak or a sanitizer report. A form that
// loads must save, load again from what was saved and save to the same text,
// and every page in it must write its document with and without the form's
// optimizer.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "PageBuilder.h"

namespace {

using tavkit::TComponent;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// An empty folder for the form's relative paths (database files), so that
// a fuzzed name never reaches a file of the working folder.
const std::string& FormFolder() {
  static const std::string folder = [] {
    std::filesystem::path path = std::filesystem::temp_directory_path() / "tavkit-fuzz-form";
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

void PutPages(TComponent& form) {
  tavkit::TWvCustomOptimizer* optimizer = nullptr;
  for (int i = 0; i < form.ComponentCount() && optimizer == nullptr; ++i)
    optimizer = dynamic_cast<tavkit::TWvCustomOptimizer*>(form.Components(i));
  for (int i = 0; i < form.ComponentCount(); ++i) {
    auto* page = dynamic_cast<tavkit::TWvPage*>(form.Components(i));
    if (page == nullptr) continue;
    try {
      page->put(nullptr);
      if (optimizer != nullptr) page->put(optimizer);
    } catch (const tavkit::Exception&) {
      // An element may refuse to be written (a missing picture file); the
      // refusal is an error the application sees, which is allowed.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavkit::RegisterPackage();
  tavkit::fuzz::UseScratchImageFolder();
  tavkit::fuzz::BoundPictureMemory();
  FormFolder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  TComponent form(nullptr);
  try {
    tavkit::LoadFormFromText(text, form, FormFolder());
  } catch (const tavkit::Exception&) {
    // Nothing half-built may stay behind after a refusal.
    Require(form.ComponentCount() == 0 && form.GetName().empty());
    return 0;
  }

  const std::string saved = tavkit::SaveForm(form);
  TComponent again(nullptr);
  tavkit::LoadFormFromText(saved, again, FormFolder());
  Require(tavkit::SaveForm(again) == saved);

  PutPages(form);
  tavkit::fuzz::ClearScratchImages();
  return 0;
}
