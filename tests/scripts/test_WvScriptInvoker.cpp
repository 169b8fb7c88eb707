// Script invokers: the call text built from a script's first function and the
// arguments, the event attribute, and forgetting a script that is freed.
#include <gtest/gtest.h>

#include <memory>

#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {
namespace {

class ScriptInvokerTest : public ::testing::Test {
 protected:
  TComponent form{nullptr};
  TComponent element{&form};
  TWvScriptInvoker invoker{&element};

  TWvJavascript* Script(const std::string& line) {
    auto* script = new TWvJavascript(&form);
    script->Getscript().Add("var unused = 0;");
    script->Getscript().Add(line);
    return script;
  }
  void Parameters(std::initializer_list<const char*> lines) {
    for (const char* line : lines) invoker.getParameterlist()->Add(line);
  }
};

TEST_F(ScriptInvokerTest, WithoutAScriptBothTextsAreEmpty) {
  Parameters({"this"});
  EXPECT_EQ(invoker.GetScriptCall("email"), "");
  EXPECT_EQ(invoker.GetEventCall("onClick"), "");
}

TEST_F(ScriptInvokerTest, ArgumentsComeFromTheListOrTheFieldValue) {
  invoker.setScript(Script("function check(v) {"));
  EXPECT_EQ(invoker.GetScriptCall(""), "check()");
  EXPECT_EQ(invoker.GetScriptCall("email"), "check(email.value)");
  Parameters({"a", "b", "c"});
  EXPECT_EQ(invoker.GetScriptCall(""), "check(a,b,c)");
  EXPECT_EQ(invoker.GetScriptCall("email"), "check(a,b,c)");  // the parameters win
  EXPECT_EQ(invoker.GetEventCall("onClick"), "onClick=\"check(a,b,c)\"");
}

TEST_F(ScriptInvokerTest, SpacesAroundTheFunctionNameStay) {
  invoker.setScript(Script("  Function  Show () {"));
  Parameters({"this", "1"});
  EXPECT_EQ(invoker.GetScriptCall(""), " Show (this,1)");
  EXPECT_EQ(invoker.GetEventCall("onMouseOver"), "onMouseOver=\" Show (this,1)\"");
}

TEST_F(ScriptInvokerTest, AScriptWithoutFunctionGivesAnEmptyAttributeValue) {
  invoker.setScript(Script("// function hidden() {"));
  Parameters({"this"});
  EXPECT_EQ(invoker.GetScriptCall("x"), "");
  EXPECT_EQ(invoker.GetEventCall("onClick"), "onClick=\"\"");
}

TEST_F(ScriptInvokerTest, AScriptOnAnotherFormIsForgottenWhenFreed) {
  auto other = std::make_unique<TComponent>(nullptr);
  auto* script = new TWvJavascript(other.get());
  script->Getscript().Add("function go() {}");
  invoker.setScript(script);
  EXPECT_EQ(invoker.GetEventCall("onLoad"), "onLoad=\"go()\"");
  other.reset();
  EXPECT_EQ(invoker.getScript(), nullptr);
  EXPECT_EQ(invoker.GetEventCall("onLoad"), "");
}

TEST_F(ScriptInvokerTest, AssignCopiesScriptAndArguments) {
  invoker.setScript(Script("function check(v) {"));
  Parameters({"this"});
  TWvScriptInvoker copy(&element);
  copy.Assign(&invoker);
  EXPECT_EQ(copy.getScript(), invoker.getScript());
  EXPECT_EQ(copy.GetEventCall("onChange"), "onChange=\"check(this)\"");
  delete invoker.getScript();  // both copies forget it
  EXPECT_EQ(copy.getScript(), nullptr);
  EXPECT_EQ(invoker.getScript(), nullptr);
}

}  // namespace
}  // namespace tavkit
