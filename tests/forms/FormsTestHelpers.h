// Small helpers shared by the form tests: script components with one
// function, and the class registrations that form files need.
#pragma once

#include <string>

#include <tavkit/forms/WvCheckBox.h>
#include <tavkit/forms/WvDropDownlist.h>
#include <tavkit/forms/WvInputForm.h>
#include <tavkit/forms/WvListBox.h>
#include <tavkit/forms/WvRadioButton.h>
#include <tavkit/forms/WvSubmitButton.h>
#include <tavkit/forms/WvTextArea.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/scripts/WvJavascript.h>

namespace tavkit::formstest {

// A script component whose first function is name(f).
inline TWvJavascript* MakeScript(TComponent* owner, const std::string& name) {
  auto* script = new TWvJavascript(owner);
  script->SetName(name + "JS");
  script->Getscript().Add("function " + name + "(f) {");
  script->Getscript().Add("  return f != '';");
  script->Getscript().Add("}");
  return script;
}

// Registers a page and every form element, so that form files and the
// registry know them.
inline void RegisterFormClasses() {
  WvPage::RegisterClasses();
  WvInputForm::RegisterClasses();
  WvSubmitButton::RegisterClasses();
  WvTextInputField::RegisterClasses();
  WvTextArea::RegisterClasses();
  WvCheckBox::RegisterClasses();
  WvRadioButton::RegisterClasses();
  WvDropDownlist::RegisterClasses();
  WvListBox::RegisterClasses();
}

}  // namespace tavkit::formstest
