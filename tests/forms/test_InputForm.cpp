// The form's FORM tag around its grid (name, action, method, hidden fields,
// the submit handler joined from its inputs' verification calls) and the
// submit button.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/forms/WvCheckBox.h>
#include <tavkit/forms/WvInputForm.h>
#include <tavkit/forms/WvSubmitButton.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/layout/WvPanel.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include "FormsTestHelpers.h"

namespace tavkit {
namespace {

using formstest::MakeScript;

const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

TWvTextInputField* AddField(TWvInputForm* form, const std::string& name, int left) {
  auto* field = new TWvTextInputField(form->GetOwner());
  field->SetParent(form);
  field->SetFieldName(name);
  field->SetBounds(left, 10, 30, 20);
  return field;
}

TEST(WvInputForm, EmptyFormWrapsTheGridRows) {
  TComponent owner(nullptr);
  auto* form = new TWvInputForm(&owner);
  EXPECT_EQ(form->GetWidth(), 300);
  EXPECT_EQ(form->GetHeight(), 300);
  EXPECT_TRUE(form->GetContainer());
  form->SetBounds(1, 1, 100, 50);
  form->SetFormName("order");
  form->SetAction("/cgi-bin/order");
  EXPECT_EQ(form->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100><FORM NAME=\"order\" "
            "ACTION=\"/cgi-bin/order\" METHOD=POST>" +
                kRow + "<TD HEIGHT=50 WIDTH=100 ></TD><TD></TD></TR></FORM></TABLE>");

  form->SetMethod(T_FormMethodType::Get);
  form->SetBackGroundColor(clYellow);
  form->GetHTMLBefore()->Add("<HR>");
  form->GetHTMLInside()->Add("<!-- in -->");
  form->GetHTMLAfter()->Add("<HR>");
  EXPECT_EQ(form->put(nullptr),
            " <HR><TABLE BGCOLOR=\"#FFFF00\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100>"
            "<FORM NAME=\"order\" ACTION=\"/cgi-bin/order\" METHOD=GET> <!-- in -->" +
                kRow + "<TD HEIGHT=50 WIDTH=100 ></TD><TD></TD></TR></FORM></TABLE> <HR>");
}

TEST(WvInputForm, HiddenFieldsFollowTheFormTag) {
  TComponent owner(nullptr);
  auto* form = new TWvInputForm(&owner);
  form->SetBounds(1, 1, 10, 10);
  // A line without "=" repeats the field before it; a value keeps everything
  // after the first "=".
  TStringList lines{"x=1", "y=2", "again", "q=a=b", "e="};
  form->SetHiddenFields(&lines);
  lines.Clear();
  EXPECT_EQ(form->GetHiddenFields()->Count(), 5);
  EXPECT_EQ(form->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=10><FORM NAME=\"\" ACTION=\"\" "
            "METHOD=POST><INPUT TYPE=HIDDEN NAME=x VALUE=1><INPUT TYPE=HIDDEN NAME=y VALUE=2>"
            "<INPUT TYPE=HIDDEN NAME=y VALUE=2><INPUT TYPE=HIDDEN NAME=q VALUE=a=b>"
            "<INPUT TYPE=HIDDEN NAME=e VALUE=>" +
                kRow + "<TD HEIGHT=10 WIDTH=10 ></TD><TD></TD></TR></FORM></TABLE>");

  TStringList leading{"no equals", "z=9"};
  form->SetHiddenFields(&leading);
  EXPECT_EQ(form->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=10><FORM NAME=\"\" ACTION=\"\" "
            "METHOD=POST><INPUT TYPE=HIDDEN NAME= VALUE=><INPUT TYPE=HIDDEN NAME=z VALUE=9>" +
                kRow + "<TD HEIGHT=10 WIDTH=10 ></TD><TD></TD></TR></FORM></TABLE>");
}

TEST(WvInputForm, VerificationCallsJoinIntoOneSubmitHandler) {
  TComponent owner(nullptr);
  TWvJavascript* check = MakeScript(&owner, "check");
  auto* form = new TWvInputForm(&owner);
  form->SetBounds(1, 1, 100, 40);
  form->SetFormName("f");
  form->SetAction("/x");
  TWvTextInputField* a = AddField(form, "a", 10);
  TWvTextInputField* b = AddField(form, "b", 50);
  a->GetJSVerifyInput()->setScript(check);
  b->GetJSVerifyInput()->setScript(check);
  const std::string fieldA =
      "<INPUT TYPE=\"text\" NAME=\"a\" VALUE=\"\" SIZE=15 MAXLENGTH=15     >";
  const std::string fieldB =
      "<INPUT TYPE=\"text\" NAME=\"b\" VALUE=\"\" SIZE=15 MAXLENGTH=15     >";
  EXPECT_EQ(form->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=100><FORM NAME=\"f\" "
            "ACTION=\"/x\"OnSubmit=\"return ( check(a.value) && check(b.value))\" METHOD=POST>" +
                kRow +
                "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=30 ></TD><TD HEIGHT=10 "
                "WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=30 ></TD><TD HEIGHT=10 WIDTH=20 ></TD>"
                "<TD></TD></TR>" +
                kRow + "<TD HEIGHT=20 ></TD><TD  HEIGHT=20    >" + fieldA +
                "</TD><TD></TD><TD  HEIGHT=20    >" + fieldB + "</TD></TR>" + kRow +
                "<TD HEIGHT=10 ></TD><TD COLSPAN=4></TD></TR></FORM></TABLE>");

  // Own parameters win over the field's value; the order is the child order,
  // not the order on the page.
  b->GetJSVerifyInput()->getParameterlist()->AddStrings({"this.form", "3"});
  form->SetChildOrder(b, 0);
  EXPECT_EQ(form->VerificationAttribute(),
            "OnSubmit=\"return ( check(this.form,3) && check(a.value))\"");
  a->GetJSVerifyInput()->setScript(nullptr);
  EXPECT_EQ(form->VerificationAttribute(), "OnSubmit=\"return ( check(this.form,3))\"");
}

TEST(WvInputForm, OnlyDirectInputsWithACallVerify) {
  TComponent owner(nullptr);
  TWvJavascript* check = MakeScript(&owner, "check");
  auto* form = new TWvInputForm(&owner);
  TWvTextInputField* a = AddField(form, "a", 10);
  a->GetJSVerifyInput()->setScript(check);

  // An input inside a panel inside the form is not consulted.
  auto* panel = new TWvPanel(&owner);
  panel->SetParent(form);
  auto* nested = new TWvCheckBox(&owner);
  nested->SetParent(panel);
  nested->SetFieldName("n");
  nested->GetJSVerifyInput()->setScript(check);

  // A script that declares no function gives no call. Joining its empty call
  // would write "&& )", which the browser cannot parse: it would then run no
  // check at all, not even the valid ones.
  auto* silent = new TWvJavascript(&owner);
  silent->Getscript().Add("var checked = 0;");
  TWvTextInputField* b = AddField(form, "b", 50);
  b->GetJSVerifyInput()->setScript(silent);
  EXPECT_EQ(form->VerificationAttribute(), "OnSubmit=\"return ( check(a.value))\"");
  a->GetJSVerifyInput()->setScript(silent);
  EXPECT_EQ(form->VerificationAttribute(), "");
}

TEST(WvInputForm, ScriptsOfEveryChildInChildOrder) {
  TComponent owner(nullptr);
  TWvJavascript* first = MakeScript(&owner, "first");
  TWvJavascript* second = MakeScript(&owner, "second");
  TWvJavascript* unused = MakeScript(&owner, "unused");
  auto* form = new TWvInputForm(&owner);
  form->GetJSOnBadVerify()->setScript(unused);  // streamed, never written
  auto* button = new TWvSubmitButton(&owner);
  button->SetParent(form);
  button->GetJSOnClick()->setScript(second);
  auto* panel = new TWvPanel(&owner);
  panel->SetParent(form);
  auto* nested = new TWvCheckBox(&owner);
  nested->SetParent(panel);
  nested->GetJSOnClick()->setScript(first);
  TWvTextInputField* field = AddField(form, "a", 10);
  field->GetJSVerifyInput()->setScript(second);
  auto list = form->ScriptList();
  ASSERT_EQ(list->numberOfScripts(), 2);
  EXPECT_EQ(list->GetScript(0), second);
  EXPECT_EQ(list->GetScript(1), first);
}

TEST(WvSubmitButton, PlainOrImageButton) {
  TComponent owner(nullptr);
  auto* button = new TWvSubmitButton(&owner);
  EXPECT_EQ(button->GetWidth(), 70);
  EXPECT_EQ(button->GetHeight(), 20);
  EXPECT_FALSE(button->GetContainer());
  EXPECT_EQ(button->put(nullptr), "<INPUT TYPE=SUBMIT VALUE=\"\" BORDER=0   >");
  button->Setvalue("Send now");
  EXPECT_EQ(button->put(nullptr), "<INPUT TYPE=SUBMIT VALUE=\"Send now\" BORDER=0   >");

  button->Setimagepath("/img/go.gif");
  button->GetJSOnClick()->setScript(MakeScript(&owner, "sure"));
  button->GetJSOnClick()->getParameterlist()->Add("this");
  button->GetHTMLBefore()->Add("<P>");
  button->GetHTMLInside()->Add("ALT=\"Go\"");
  button->GetHTMLAfter()->Add("</P>");
  EXPECT_EQ(button->put(nullptr),
            " <P><INPUT TYPE=IMAGE SRC=\"/img/go.gif\" BORDER=0 onClick=\"sure(this)\"  "
            "ALT=\"Go\" > </P>");
  auto list = button->ScriptList();
  ASSERT_EQ(list->numberOfScripts(), 1);
  EXPECT_EQ(list->GetScript(0)->GetName(), "sureJS");
}

TEST(WvSubmitButton, NothingCanBeDroppedOnIt) {
  TComponent owner(nullptr);
  auto* button = new TWvSubmitButton(&owner);
  auto* field = new TWvTextInputField(&owner);
  try {
    field->SetParent(button);
    FAIL() << "placed inside a button";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot place component in a non-container");
  }
  EXPECT_EQ(field->GetParent(), nullptr);
}

}  // namespace
}  // namespace tavkit
