// The root of the host framework's class tree. TObject gives every object a
// virtual destructor and its class name; TPersistent adds copying of one
// object's published state into another (Assign / AssignTo).
//
// ```cpp
// TWvFont heading;
// heading.SetBold(true);
// TWvFont copy;
// copy.Assign(&heading);                      // the published state, through the setters
// std::string name = copy.ClassName();        // "TWvFont"
// ```
#pragma once

#include <functional>
#include <string>

namespace tavkit {

class TObject;

// The framework's event shape: a callback told which object sent it.
using TNotifyEvent = std::function<void(TObject* sender)>;

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The class's name as the framework knows it ("TWvPage"), taken from the
  // C++ type of the object so that no class has to repeat it.
  std::string ClassName() const;
};

class TPersistent : public TObject {
 public:
  // Copies the source's state into this object. The default asks the source
  // to do it (AssignTo) and fails when neither side knows how.
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

// The plain name of a C++ type, without namespaces or template arguments.
std::string DemangledClassName(const char* mangled);

}  // namespace tavkit
