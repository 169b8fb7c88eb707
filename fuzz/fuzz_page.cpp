// Builds a random page from the fuzzer's bytes: components of every
// registered class, placed in random containers at random bounds (extreme
// values included), with published properties set through the class registry
// to random values, some components freed again on the way. The page is then
// written with and without an optimizer, every element is written on its
// own, and at design time the previews are painted. A setter or a put may
// refuse with an error of the library; anything else that goes wrong (a
// crash, a leak, a sanitizer report, a foreign exception) is a fault.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/WvOptimizer.h"
#include "core/WvVisibleComponent.h"
#include "layout/WvPage.h"
#include "package/Package.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Collections.h"
#include "platform/Controls.h"
#include "platform/Exceptions.h"
#include "platform/Registry.h"
#include "scripts/WvJavascriptList.h"

namespace {

using tavkit::TClassInfo;
using tavkit::TClassRegistry;
using tavkit::TComponent;
using tavkit::TControl;
using tavkit::TPersistent;
using tavkit::TPropInfo;
using tavkit::TPropKind;
using tavkit::TPropValue;
using tavkit::TWinControl;

constexpr int kMaxSteps = 48;
constexpr int kMaxDepth = 3;

// The component classes of the package, in registration order.
const std::vector<const TClassInfo*>& ComponentClasses() {
  static const std::vector<const TClassInfo*> classes = [] {
    std::vector<const TClassInfo*> found;
    for (const TClassInfo* info : TClassRegistry::Instance().Classes())
      if (info->Factory) found.push_back(info);
    return found;
  }();
  return classes;
}

class TPageBuilder {
 public:
  TPageBuilder(FuzzedDataProvider& input, TComponent& form) : FIn(input), FForm(form) {}

  void Add(TComponent* component) { FMade.push_back(component); }
  const std::vector<TComponent*>& Made() const { return FMade; }

  void Step() {
    switch (FIn.ConsumeIntegralInRange(0, 9)) {
      case 0:
      case 1:
      case 2:
      case 3:
        Create();
        return;
      case 4:
      case 5:
      case 6:
        SetSomeProperty();
        return;
      case 7:
        Move();
        return;
      case 8:
        Resize();
        return;
      default:
        Free();
        return;
    }
  }

 private:
  template <class T>
  T* Pick() {
    std::vector<T*> found;
    for (TComponent* component : FMade)
      if (auto* typed = dynamic_cast<T*>(component)) found.push_back(typed);
    if (found.empty()) return nullptr;
    return found[FIn.ConsumeIntegralInRange<std::size_t>(0, found.size() - 1)];
  }

  // Small, ordinary and extreme values alike.
  int Number() {
    switch (FIn.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return FIn.ConsumeIntegralInRange(-4, 4);
      case 1:
        return FIn.ConsumeIntegralInRange(0, 800);
      case 2: {
        const int edges[] = {INT_MIN, INT_MIN + 1, -65536, 65535, 65536, INT_MAX - 1, INT_MAX};
        return edges[FIn.ConsumeIntegralInRange(0, 6)];
      }
      default:
        return FIn.ConsumeIntegral<int>();
    }
  }

  std::string Text() { return FIn.ConsumeRandomLengthString(48); }

  TPropValue Value(const TPropInfo& prop) {
    switch (prop.Kind) {
      case TPropKind::pkInteger:
        return std::int64_t(Number());
      case TPropKind::pkColor: {
        const std::int64_t special[] = {0x1FFFFFFF, std::int32_t(0x80000005), 0xFFFFFF, 0};
        if (FIn.ConsumeBool()) return special[FIn.ConsumeIntegralInRange(0, 3)];
        return std::int64_t(FIn.ConsumeIntegral<std::int32_t>());
      }
      case TPropKind::pkBoolean:
        return FIn.ConsumeBool();
      case TPropKind::pkString:
        return Text();
      case TPropKind::pkStrings: {
        std::vector<std::string> lines(FIn.ConsumeIntegralInRange(0, 4));
        for (std::string& line : lines) line = Text();
        return lines;
      }
      case TPropKind::pkEnum:
        if (prop.EnumNames.empty()) return {};
        return FIn.ConsumeIntegralInRange<std::int64_t>(0, prop.EnumNames.size() - 1);
      case TPropKind::pkComponent: {
        TComponent* target = FIn.ConsumeBool() ? Pick<TComponent>() : nullptr;
        if (prop.Accepts && !prop.Accepts(target)) return {};
        return target;
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
    const TPropInfo& prop = *all[FIn.ConsumeIntegralInRange<std::size_t>(0, all.size() - 1)];
    try {
      if (prop.Kind == TPropKind::pkObject || prop.Kind == TPropKind::pkCollection) {
        if (depth < kMaxDepth) SetInside(object, prop, depth);
        return;
      }
      TPropValue value = Value(prop);
      if (prop.Set && value.index() != 0) prop.Set(object, value);
    } catch (const tavkit::Exception&) {
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
    auto* collection = dynamic_cast<tavkit::TCollection*>(*sub);
    if (collection == nullptr) return;
    switch (FIn.ConsumeIntegralInRange(0, 3)) {
      case 0:
        collection->Clear();
        return;
      case 1:
        if (collection->Count() > 0)
          collection->Delete(FIn.ConsumeIntegralInRange(0, collection->Count() - 1));
        return;
      case 2:
        SetProperty(*collection->Add(), depth + 1);
        return;
      default:
        if (collection->Count() > 0)
          SetProperty(*collection->GetItem(FIn.ConsumeIntegralInRange(0, collection->Count() - 1)),
                      depth + 1);
        return;
    }
  }

  void Place(TControl& control) {
    TWinControl* parent = FIn.ConsumeBool() ? Pick<TWinControl>() : nullptr;
    try {
      control.SetParent(parent);
    } catch (const tavkit::Exception&) {
      // The container refused the child: a control inside itself, a page
      // inside a panel, ...
    }
  }

  void Create() {
    const auto& classes = ComponentClasses();
    const TClassInfo* info =
        classes[FIn.ConsumeIntegralInRange<std::size_t>(0, classes.size() - 1)];
    TComponent* component = info->Factory(&FForm);
    FMade.push_back(component);
    if (FIn.ConsumeBool()) component->SetName("C" + std::to_string(FMade.size()));
    auto* control = dynamic_cast<TControl*>(component);
    if (control == nullptr) return;
    Place(*control);
    control->SetBounds(Number(), Number(), Number(), Number());
  }

  void SetSomeProperty() {
    if (TComponent* component = Pick<TComponent>()) SetProperty(*component, 0);
  }

  void Move() {
    if (TControl* control = Pick<TControl>()) Place(*control);
  }

  void Resize() {
    if (TControl* control = Pick<TControl>())
      control->SetBounds(Number(), Number(), Number(), Number());
  }

  // Frees any component but the page, so that references to it must be
  // dropped by their holders' free notifications.
  void Free() {
    if (FMade.size() < 2) return;
    std::size_t index = FIn.ConsumeIntegralInRange<std::size_t>(1, FMade.size() - 1);
    delete FMade[index];
    FMade.erase(FMade.begin() + static_cast<std::ptrdiff_t>(index));
  }

  FuzzedDataProvider& FIn;
  TComponent& FForm;
  std::vector<TComponent*> FMade;
};

template <class F>
void Tolerating(F&& action) {
  try {
    action();
  } catch (const tavkit::Exception&) {
    // An element that refuses to be written raises an error of the library.
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavkit::RegisterPackage();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool designing = input.ConsumeBool();

  TComponent form(nullptr);
  form.SetDesigning(designing);
  auto* page = new tavkit::TWvPage(&form);
  TPageBuilder builder(input, form);
  builder.Add(page);
  for (int step = 0; step < kMaxSteps && input.remaining_bytes() > 0; ++step) builder.Step();

  tavkit::TWvOptimizer optimizer(nullptr);
  optimizer.setUseCSS(input.ConsumeBool());
  optimizer.setoptimizeTableDefinitions(input.ConsumeBool());
  optimizer.SetautoReset(input.ConsumeBool());
  optimizer.setBrowserType(static_cast<tavkit::t_browser>(input.ConsumeIntegralInRange(0, 4)));

  Tolerating([&] { page->put(nullptr); });
  Tolerating([&] { page->put(&optimizer); });
  Tolerating([&] { page->ScriptList(); });
  for (TComponent* component : builder.Made()) {
    auto* element = dynamic_cast<tavkit::TWvVisibleComponent*>(component);
    if (element == nullptr) continue;
    Tolerating([&] { element->put(&optimizer); });
  }

  if (designing) {
    tavkit::TBitmap picture(96, 64, tavkit::TPixelFormat::pf24bit);
    Tolerating([&] { page->PaintTo(picture.Canvas(), 0, 0); });
  }
  return 0;
}
