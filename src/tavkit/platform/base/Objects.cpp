// Class names from C++ type information and the default assignment protocol.
#include <tavkit/platform/base/Objects.h>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

std::string DemangledClassName(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> text(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = (status == 0 && text) ? text.get() : mangled;
  auto angle = name.find('<');
  if (angle != std::string::npos) name.erase(angle);
  auto colon = name.rfind("::");
  if (colon != std::string::npos) name.erase(0, colon + 2);
  return name;
}

std::string TObject::ClassName() const {
  return DemangledClassName(typeid(*this).name());
}

void TPersistent::Assign(const TPersistent* source) {
  if (source != nullptr) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) const {
  std::string sourceName = ClassName();
  throw EConvertError("Cannot assign a " + sourceName + " to a " +
                      (dest ? dest->ClassName() : std::string("nil")));
}

}  // namespace tavkit
