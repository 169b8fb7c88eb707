// Call texts and event attributes of script invokers.
#include <tavkit/scripts/WvScriptInvoker.h>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascript.h>

namespace tavkit {

// A component of the invoker's own that holds the free-notification bond
// with the chosen script, whatever form or module either one lives on.
class TWvScriptInvoker::TScriptLink : public TComponent {
 public:
  explicit TScriptLink(TWvScriptInvoker& invoker) : TComponent(nullptr), FInvoker(invoker) {}
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == FInvoker.FScript)
      FInvoker.FScript = nullptr;
  }

 private:
  TWvScriptInvoker& FInvoker;
};

TWvScriptInvoker::TWvScriptInvoker(TComponent* element)
    : FElement(element),
      FParameterlist(std::make_unique<TStringList>()),
      FLink(std::make_unique<TScriptLink>(*this)) {}

TWvScriptInvoker::~TWvScriptInvoker() = default;

void TWvScriptInvoker::setScript(TWvJavascript* value) {
  if (value == FScript) return;
  if (FScript != nullptr) FLink->RemoveFreeNotification(FScript);
  FScript = value;
  if (value != nullptr) FLink->FreeNotification(value);
}

std::string TWvScriptInvoker::GetScriptCall(const std::string& fieldName) const {
  if (FScript == nullptr) return std::string();
  std::string name = FScript->getScriptFunctionName();
  if (name.empty()) return std::string();
  std::string call = name + "(";
  if (FParameterlist->Count() > 0 || fieldName.empty()) {
    for (int i = 0; i < FParameterlist->Count(); ++i) {
      if (i > 0) call += ',';
      call += FParameterlist->Get(i);
    }
  } else {
    call += fieldName + ".value";
  }
  return call + ")";
}

std::string TWvScriptInvoker::GetEventCall(const std::string& eventName) const {
  if (FScript == nullptr) return std::string();
  return eventName + "=\"" + GetScriptCall(std::string()) + "\"";
}

void TWvScriptInvoker::Assign(const TPersistent* source) {
  auto* other = dynamic_cast<const TWvScriptInvoker*>(source);
  if (other == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  setScript(other->FScript);
  FParameterlist->Assign(other->FParameterlist.get());
}

namespace WvScriptInvoker {
void RegisterClasses() {
  WvJavascript::RegisterClasses();
  using C = TWvScriptInvoker;
  RegisterClass<C, TPersistent>({
      props::Strings<C>("parameterlist", &C::getParameterlist, &C::setParameterlist),
      props::Component<C, TWvJavascript>("Script", &C::getScript, &C::setScript),
  });
}
}  // namespace WvScriptInvoker

}  // namespace tavkit
