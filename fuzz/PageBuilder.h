// Builds a random page from a string of bytes: components of every
// registered class, placed in random containers at random bounds (extreme
// values included), with published properties set through the class registry
// to random values, some components freed again on the way. The page is then
// written with and without an optimizer, every element is written on its
// own, and at design time the previews are painted. The page fuzz target
// runs this on the fuzzer's bytes; the robustness tests run it again on every
// input that once went wrong, under the sanitizers of their build.
#pragma once

#include <unistd.h>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/core/WvVisibleComponent.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/platform/base/Collections.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include <tavkit/scripts/WvJavascriptList.h>

namespace tavkit::fuzz {

// Reads choices from the bytes, front to back; past the end every read
// gives zero, so any string of bytes describes some page.
class TByteReader {
 public:
  TByteReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

  std::size_t Remaining() const { return FSize - FPos; }
  std::uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  std::uint32_t Word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t(Byte()) << (8 * i);
    return value;
  }
  // A number from low to high inclusive; small ranges take one byte.
  std::int64_t Range(std::int64_t low, std::int64_t high) {
    const auto span = static_cast<std::uint64_t>(high - low) + 1;
    const std::uint64_t raw = span <= 256 ? Byte() : Word();
    return low + static_cast<std::int64_t>(raw % span);
  }
  std::string Text(std::size_t longest) {
    std::size_t length = Byte() % (longest + 1);
    std::string text;
    while (text.size() < length && FPos < FSize) text += static_cast<char>(FData[FPos++]);
    return text;
  }

 private:
  const std::uint8_t* FData;
  std::size_t FSize;
  std::size_t FPos = 0;
};

class TPageBuilder {
 public:
  static constexpr int MaxSteps = 48;
  static constexpr int MaxDepth = 3;

  TPageBuilder(TByteReader& input, TComponent& form) : FIn(input), FForm(form) {}

  void Add(TComponent* component) { FMade.push_back(component); }
  const std::vector<TComponent*>& Made() const { return FMade; }

  void Step() {
    switch (FIn.Range(0, 9)) {
      case 0:
      case 1:
      case 2:
      case 3:
        Create();
        return;
      case 4:
      case 5:
      case 6:
        if (TComponent* component = Pick<TComponent>()) SetProperty(*component, 0);
        return;
      case 7:
        if (TControl* control = Pick<TControl>()) Place(*control);
        return;
      case 8:
        if (TControl* control = Pick<TControl>())
          control->SetBounds(Number(), Number(), Number(), Number());
        return;
      default:
        Free();
        return;
    }
  }

 private:
  // The component classes of the package, in registration order.
  static const std::vector<const TClassInfo*>& ComponentClasses() {
    static const std::vector<const TClassInfo*> classes = [] {
      std::vector<const TClassInfo*> found;
      for (const TClassInfo* info : TClassRegistry::Instance().Classes())
        if (info->Factory) found.push_back(info);
      return found;
    }();
    return classes;
  }

  template <class T>
  T* Pick() {
    std::vector<T*> found;
    for (TComponent* component : FMade)
      if (auto* typed = dynamic_cast<T*>(component)) found.push_back(typed);
    if (found.empty()) return nullptr;
    return found[static_cast<std::size_t>(FIn.Range(0, std::int64_t(found.size()) - 1))];
  }

  // Small, ordinary and extreme values alike.
  int Number() {
    switch (FIn.Range(0, 3)) {
      case 0:
        return static_cast<int>(FIn.Range(-4, 4));
      case 1:
        return static_cast<int>(FIn.Range(0, 800));
      case 2: {
        const int edges[] = {INT_MIN, INT_MIN + 1, -65536, 65535, 65536, INT_MAX - 1, INT_MAX};
        return edges[FIn.Range(0, 6)];
      }
      default:
        return static_cast<int>(FIn.Word());
    }
  }

  TPropValue Value(const TPropInfo& prop) {
    switch (prop.Kind) {
      case TPropKind::pkInteger:
        return std::int64_t(Number());
      case TPropKind::pkColor: {
        const std::int64_t special[] = {clNone, std::int32_t(0x80000005), 0xFFFFFF, 0};
        if (FIn.Bool()) return special[FIn.Range(0, 3)];
        return std::int64_t(static_cast<std::int32_t>(FIn.Word()));
      }
      case TPropKind::pkBoolean:
        return FIn.Bool();
      case TPropKind::pkString:
        return FIn.Text(48);
      case TPropKind::pkStrings: {
        std::vector<std::string> lines(static_cast<std::size_t>(FIn.Range(0, 4)));
        for (std::string& line : lines) line = FIn.Text(48);
        return lines;
      }
      case TPropKind::pkEnum:
        if (prop.EnumNames.empty()) return {};
        return FIn.Range(0, std::int64_t(prop.EnumNames.size()) - 1);
      case TPropKind::pkComponent: {
        // Mostly a component the property can take, so that references
        // (scripts, data sources, wrapped controls) are made often.
        std::vector<TComponent*> fitting;
        for (TComponent* component : FMade)
          if (!prop.Accepts || prop.Accepts(component)) fitting.push_back(component);
        if (fitting.empty() || FIn.Range(0, 3) == 0) return static_cast<TComponent*>(nullptr);
        return fitting[static_cast<std::size_t>(FIn.Range(0, std::int64_t(fitting.size()) - 1))];
      }
      default:
        return {};
    }
  }

  void SetProperty(TPersistent& object, int depth) {
    const TClassInfo* info = TClassRegistry::Instance().ClassOf(object);
    if (info == nullptr) return;
    const std::vector<const TPropInfo*> all = info->AllProperties();
    if (all.empty()) return;
    const TPropInfo& prop =
        *all[static_cast<std::size_t>(FIn.Range(0, std::int64_t(all.size()) - 1))];
    try {
      if (prop.Kind == TPropKind::pkObject || prop.Kind == TPropKind::pkCollection) {
        if (depth < MaxDepth) SetInside(object, prop, depth);
        return;
      }
      TPropValue value = Value(prop);
      if (prop.Set && value.index() != 0) prop.Set(object, value);
    } catch (const Exception&) {
      // A setter that refuses a value says so; the component stays usable.
    }
  }

  // Sub-objects are changed in place; collections grow, shrink or change items.
  void SetInside(TPersistent& object, const TPropInfo& prop, int depth) {
    if (!prop.Get) return;
    TPropValue held = prop.Get(object);
    auto* sub = std::get_if<TPersistent*>(&held);
    if (sub == nullptr || *sub == nullptr) return;
    if (prop.Kind == TPropKind::pkObject) {
      SetProperty(**sub, depth + 1);
      return;
    }
    auto* collection = dynamic_cast<TCollection*>(*sub);
    if (collection == nullptr) return;
    const int count = collection->Count();
    switch (FIn.Range(0, 3)) {
      case 0:
        collection->Clear();
        return;
      case 1:
        if (count > 0) collection->Delete(static_cast<int>(FIn.Range(0, count - 1)));
        return;
      case 2:
        SetProperty(*collection->Add(), depth + 1);
        return;
      default:
        if (count > 0)
          SetProperty(*collection->GetItem(static_cast<int>(FIn.Range(0, count - 1))), depth + 1);
        return;
    }
  }

  void Place(TControl& control) {
    TWinControl* parent = FIn.Bool() ? Pick<TWinControl>() : nullptr;
    try {
      control.SetParent(parent);
    } catch (const Exception&) {
      // The container refused the child: a control inside itself, a page
      // inside a panel, ...
    }
  }

  void Create() {
    const auto& classes = ComponentClasses();
    const TClassInfo* info =
        classes[static_cast<std::size_t>(FIn.Range(0, std::int64_t(classes.size()) - 1))];
    TComponent* component = info->Factory(&FForm);
    FMade.push_back(component);
    if (FIn.Bool()) {
      try {
        component->SetName("C" + std::to_string(++FNamed));
      } catch (const Exception&) {
        // A name the bytes already gave through a property stays unused.
      }
    }
    auto* control = dynamic_cast<TControl*>(component);
    if (control == nullptr) return;
    Place(*control);
    control->SetBounds(Number(), Number(), Number(), Number());
  }

  // Frees any component but the page, so that references to it must be
  // dropped by their holders' free notifications.
  void Free() {
    if (FMade.size() < 2) return;
    auto index = static_cast<std::ptrdiff_t>(FIn.Range(1, std::int64_t(FMade.size()) - 1));
    delete FMade[static_cast<std::size_t>(index)];
    FMade.erase(FMade.begin() + index);
  }

  TByteReader& FIn;
  TComponent& FForm;
  std::vector<TComponent*> FMade;
  int FNamed = 0;
};

template <class F>
void Tolerating(F&& action) {
  try {
    action();
  } catch (const Exception&) {
    // An element that refuses to be written raises an error of the library.
  }
}

// Pictures that elements write as server images go to a folder of this
// process under the temporary directory, emptied after every page, so that a
// long run neither fills the disk nor writes beside the program.
inline void UseScratchImageFolder() {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("tavkit-fuzz-images-" + std::to_string(::getpid()));
  WvSetInternalImagePath(folder.string() + "/");
  WvSetExternalImagePath("/images/");
}

// Pages may hold controls of up to 2^24 pixels a side; what they paint is
// bounded by the bitmap limit. The fuzzer lowers it to 16 MiB, so that a run
// spends its time on many pages rather than seconds on the pixels of one,
// and the refusal of larger pictures is exercised as often as their drawing.
inline void BoundPictureMemory() {
  MaxBitmapBytes = std::int64_t{16} << 20;
}

inline void ClearScratchImages() {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(WvGetInternalImagePath(), error))
    std::filesystem::remove(entry.path(), error);
}

// Builds the page the bytes describe and writes it every way there is. The
// classes must be registered (RegisterPackage) first. Errors of the library
// are allowed; any other exception leaves this function.
inline void BuildAndWritePage(const std::uint8_t* data, std::size_t size) {
  TByteReader input(data, size);
  const bool designing = input.Bool();

  TComponent form(nullptr);
  form.SetDesigning(designing);
  auto* page = new TWvPage(&form);
  TPageBuilder builder(input, form);
  builder.Add(page);
  for (int step = 0; step < TPageBuilder::MaxSteps && input.Remaining() > 0; ++step) builder.Step();

  TWvOptimizer optimizer(nullptr);
  optimizer.setUseCSS(input.Bool());
  optimizer.setoptimizeTableDefinitions(input.Bool());
  optimizer.SetautoReset(input.Bool());
  optimizer.setBrowserType(static_cast<t_browser>(input.Range(0, 4)));

  Tolerating([&] { page->put(nullptr); });
  Tolerating([&] { page->put(&optimizer); });
  Tolerating([&] { page->ScriptList(); });
  for (TComponent* component : builder.Made()) {
    auto* element = dynamic_cast<TWvVisibleComponent*>(component);
    if (element == nullptr) continue;
    Tolerating([&] { element->put(&optimizer); });
  }

  if (designing) {
    TBitmap picture(96, 64, TPixelFormat::pf24bit);
    Tolerating([&] { page->PaintTo(picture.Canvas(), 0, 0); });
  }
}

}  // namespace tavkit::fuzz
