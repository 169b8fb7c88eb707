// Every script event of every form element, reached through its published
// property: its script must be in the element's script list and its
// attribute in the tag, alone and together with the element's other events.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <tavkit/platform/base/Registry.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include "FormsTestHelpers.h"

namespace tavkit {
namespace {

using formstest::MakeScript;

struct Element {
  const char* ClassName;
  // Published name and the attribute written into the tag, in tag order.
  std::vector<std::pair<std::string, std::string>> Events;
};

const std::vector<std::pair<std::string, std::string>> kFieldEvents = {
    {"JSOnBlur", "onBlur"},
    {"JSOnFocus", "onFocus"},
    {"JSOnChange", "OnChange"},
    {"JSOnSelect", "OnSelect"},
};
const std::vector<std::pair<std::string, std::string>> kListEvents(kFieldEvents.begin(),
                                                                   kFieldEvents.end() - 1);
const std::vector<std::pair<std::string, std::string>> kClickEvent = {{"JSOnClick", "onClick"}};

const Element kElements[] = {
    {"TWvTextInputField", kFieldEvents}, {"TWvTextArea", kFieldEvents},
    {"TWvDropDownlist", kListEvents},    {"TWvListBox", kListEvents},
    {"TWvCheckBox", kClickEvent},        {"TWvRadioButton", kClickEvent},
    {"TWvSubmitButton", kClickEvent},
};

// The invoker behind a published event, or nullptr when the class does not
// publish one under exactly that name.
TWvScriptInvoker* PublishedInvoker(TComponent& element, const std::string& property) {
  const TPropInfo* info = TClassRegistry::Instance().ClassOf(element)->FindProperty(property);
  if (info == nullptr || info->Name != property) return nullptr;
  return dynamic_cast<TWvScriptInvoker*>(std::get<TPersistent*>(info->Get(element)));
}

// How often text occurs in html.
int Occurrences(const std::string& html, const std::string& text) {
  int count = 0;
  for (auto at = html.find(text); at != std::string::npos; at = html.find(text, at + 1)) ++count;
  return count;
}

TEST(WvElementEvents, EachEventAloneReachesScriptListAndTag) {
  formstest::RegisterFormClasses();
  for (const Element& element : kElements) {
    for (const auto& [property, attribute] : element.Events) {
      SCOPED_TRACE(std::string(element.ClassName) + "." + property);
      TComponent form(nullptr);
      auto* input = dynamic_cast<TWvVisibleComponent*>(CreateComponent(element.ClassName, &form));
      ASSERT_NE(input, nullptr);
      TWvScriptInvoker* invoker = PublishedInvoker(*input, property);
      ASSERT_NE(invoker, nullptr);
      TWvJavascript* script = MakeScript(&form, "handler");
      invoker->setScript(script);

      auto list = input->ScriptList();
      ASSERT_EQ(list->numberOfScripts(), 1);
      EXPECT_EQ(list->GetScript(0), script);
      // Written once, under this event's attribute and no other.
      std::string html = input->put(nullptr);
      EXPECT_EQ(Occurrences(html, "=\"handler()\""), 1) << html;
      EXPECT_EQ(Occurrences(html, " " + attribute + "=\"handler()\""), 1) << html;
    }
  }
}

TEST(WvElementEvents, AllEventsTogetherKeepTheirOrder) {
  formstest::RegisterFormClasses();
  for (const Element& element : kElements) {
    SCOPED_TRACE(element.ClassName);
    TComponent form(nullptr);
    auto* input = dynamic_cast<TWvVisibleComponent*>(CreateComponent(element.ClassName, &form));
    ASSERT_NE(input, nullptr);
    std::vector<TWvJavascript*> scripts;
    for (const auto& [property, attribute] : element.Events) {
      TWvScriptInvoker* invoker = PublishedInvoker(*input, property);
      ASSERT_NE(invoker, nullptr) << property;
      scripts.push_back(MakeScript(&form, "on" + std::to_string(scripts.size())));
      invoker->setScript(scripts.back());
    }

    auto list = input->ScriptList();
    ASSERT_EQ(list->numberOfScripts(), static_cast<int>(scripts.size()));
    for (std::size_t i = 0; i < scripts.size(); ++i) EXPECT_EQ(list->GetScript(i), scripts[i]);
    std::string html = input->put(nullptr);
    std::size_t previous = 0;
    for (std::size_t i = 0; i < scripts.size(); ++i) {
      const std::string& attribute = element.Events[i].second;
      std::size_t at = html.find(" " + attribute + "=\"on" + std::to_string(i) + "()\"");
      ASSERT_NE(at, std::string::npos) << attribute << " in " << html;
      EXPECT_GT(at, previous) << attribute << " in " << html;
      previous = at;
    }
  }
}

}  // namespace
}  // namespace tavkit
