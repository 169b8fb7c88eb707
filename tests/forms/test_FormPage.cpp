// One complete order form on a page, written as a whole document with and
// without a style sheet, and kept intact through a form file.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/core/WvOptimizer.h>
#include <tavkit/forms/WvCheckBox.h>
#include <tavkit/forms/WvDropDownlist.h>
#include <tavkit/forms/WvInputForm.h>
#include <tavkit/forms/WvListBox.h>
#include <tavkit/forms/WvRadioButton.h>
#include <tavkit/forms/WvSubmitButton.h>
#include <tavkit/forms/WvTextArea.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "FormsTestHelpers.h"

namespace tavkit {
namespace {

using formstest::MakeScript;
using formstest::RegisterFormClasses;

// Stacks an element in the form's single column: 100 by 20 pixels at left 10.
template <class T>
T* Stack(TWvInputForm* form, const std::string& name, int top) {
  auto* element = new T(form->GetOwner());
  element->SetName(name);
  element->SetParent(form);
  element->SetBounds(10, top, 100, 20);
  return element;
}

// A page of 140 by 200 holding, at (10, 10), a form of 120 by 180 with one
// element of every kind, two of them verified.
TWvPage* BuildOrderPage(TComponent& owner) {
  TWvJavascript* check = MakeScript(&owner, "check");
  TWvJavascript* note = MakeScript(&owner, "note");
  auto* page = new TWvPage(&owner);
  page->SetName("Page1");
  page->SetBounds(0, 0, 140, 200);
  page->SetPageTitle("Order");

  auto* form = new TWvInputForm(&owner);
  form->SetName("OrderForm");
  form->SetParent(page);
  form->SetBounds(10, 10, 120, 180);
  form->SetFormName("order");
  form->SetAction("/cgi-bin/order");
  TStringList hidden{"lang=en", "step=2"};
  form->SetHiddenFields(&hidden);
  form->GetJSOnBadVerify()->setScript(note);

  auto* name = Stack<TWvTextInputField>(form, "NameField", 10);
  name->SetFieldName("name");
  name->GetJSVerifyInput()->setScript(check);

  auto* remarks = Stack<TWvTextArea>(form, "Remarks", 30);
  remarks->SetFieldName("remarks");
  TStringList text{"first", "second"};
  remarks->SetValue(&text);
  remarks->GetJSVerifyInput()->setScript(check);

  auto* news = Stack<TWvCheckBox>(form, "News", 50);
  news->SetFieldName("news");
  news->SetValue("yes");
  news->SetChecked(true);

  auto* small = Stack<TWvRadioButton>(form, "SizeS", 70);
  small->SetFieldName("size");
  small->SetValue("S");
  auto* large = Stack<TWvRadioButton>(form, "SizeL", 90);
  large->SetFieldName("size");
  large->SetValue("L");
  large->SetChecked(true);

  auto* colour = Stack<TWvDropDownlist>(form, "Colour", 110);
  colour->SetFieldName("colour");
  TStringList colours{"r=Red", "g=Green"};
  colour->SetOptionValues(&colours);
  colour->GetJSOnChange()->setScript(note);
  colour->GetJSOnChange()->getParameterlist()->Add("this");

  auto* extras = Stack<TWvListBox>(form, "Extras", 130);
  extras->SetFieldName("extras");
  TStringList options{"gift=Gift wrap", "card=Card"};
  extras->SetOptionValues(&options);
  extras->SetSelectMultiple(true);
  extras->SetListSize(2);
  extras->SetSelected(5);

  auto* send = Stack<TWvSubmitButton>(form, "Send", 150);
  send->Setvalue("Send");
  return page;
}

const std::string kRow = "<TR VALIGN=\"top\" ALIGN=\"left\">";

std::string ElementRow(const std::string& html) {
  return kRow + "<TD HEIGHT=20 ></TD><TD  HEIGHT=20    >" + html + "</TD></TR>";
}

const std::string kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE>Order</TITLE>"
    "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
    "language=\"JavaScript\">\r\nfunction check(f) {\r\n  return f != '';\r\n}\r\nfunction "
    "note(f) {\r\n  return f != '';\r\n}\r\n</script>";

const std::string kBody =
    "</HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" TEXT=\"000000\"  >"
    "<TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=140>" +
    kRow +
    "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=120 ></TD><TD HEIGHT=10 WIDTH=10 ></TD>"
    "<TD></TD></TR>" +
    kRow +
    "<TD HEIGHT=180 ></TD><TD  HEIGHT=180    ><TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 "
    "WIDTH=120><FORM NAME=\"order\" ACTION=\"/cgi-bin/order\"OnSubmit=\"return ( "
    "check(name.value) && check(remarks.value))\" METHOD=POST><INPUT TYPE=HIDDEN NAME=lang "
    "VALUE=en><INPUT TYPE=HIDDEN NAME=step VALUE=2>" +
    kRow +
    "<TD HEIGHT=10 WIDTH=10 ></TD><TD HEIGHT=10 WIDTH=100 ></TD><TD HEIGHT=10 WIDTH=10 ></TD>"
    "<TD></TD></TR>" +
    ElementRow("<INPUT TYPE=\"text\" NAME=\"name\" VALUE=\"\" SIZE=15 MAXLENGTH=15     >") +
    ElementRow("<TEXTAREA NAME=\"remarks\" ROWS=8 COLS=50     >first\r\nsecond\r\n</TEXTAREA>") +
    ElementRow("<INPUT TYPE=CHECKBOX NAME=news value=\"yes\" checked  >") +
    ElementRow("<INPUT TYPE=RADIO NAME=size value=\"S\"   >") +
    ElementRow("<INPUT TYPE=RADIO NAME=size value=\"L\" checked  >") +
    ElementRow(
        "<SELECT NAME=\"colour\"   OnChange=\"note(this)\" ><OPTION SELECTED "
        "VALUE=\"r\">Red</OPTION><OPTION  VALUE=\"g\">Green</OPTION></SELECT>") +
    ElementRow(
        "<SELECT NAME=\"extras\" MULTIPLE SIZE=2   ><OPTION  VALUE=\"gift\">Gift wrap"
        "</OPTION><OPTION  VALUE=\"card\">Card</OPTION></SELECT>") +
    ElementRow("<INPUT TYPE=SUBMIT VALUE=\"Send\" BORDER=0   >") + kRow +
    "<TD HEIGHT=10 ></TD><TD COLSPAN=2></TD></TR></FORM></TABLE></TD></TR>" + kRow +
    "<TD HEIGHT=10 ></TD><TD COLSPAN=2></TD></TR></TABLE></BODY></HTML>";

TEST(FormOnPage, WholeDocumentWithoutOptimizer) {
  TComponent owner(nullptr);
  TWvPage* page = BuildOrderPage(owner);
  EXPECT_EQ(page->put(nullptr), kHead + kBody);
}

TEST(FormOnPage, WholeDocumentWithStyleSheet) {
  // No input element asks for a style class: the body is the same, and the
  // head gets an empty style sheet.
  TComponent owner(nullptr);
  TWvPage* page = BuildOrderPage(owner);
  TWvOptimizer optimizer(&owner);
  ASSERT_TRUE(optimizer.getUseCSS());
  EXPECT_EQ(page->put(&optimizer),
            kHead + "<STYLE TYPE=\"text/css\" media=\"SCREEN\"></STYLE>" + kBody);
}

TEST(FormFile, EveryInputElementSurvivesSaveAndLoad) {
  RegisterFormClasses();
  TComponent original(nullptr);
  original.SetName("OrderWindow");
  BuildOrderPage(original);
  auto* field = dynamic_cast<TWvTextInputField*>(original.FindComponent("NameField"));
  field->SetSize(30);
  field->SetMaxLength(60);
  field->SetPassWord(true);
  field->SetValue("Jo");
  auto* remarks = dynamic_cast<TWvTextArea*>(original.FindComponent("Remarks"));
  remarks->SetRows(4);
  remarks->SetColumns(30);
  dynamic_cast<TWvInputForm*>(original.FindComponent("OrderForm"))
      ->SetMethod(T_FormMethodType::Get);
  dynamic_cast<TWvDropDownlist*>(original.FindComponent("Colour"))->SetSelected(1);
  dynamic_cast<TWvSubmitButton*>(original.FindComponent("Send"))->Setimagepath("go.gif");
  const std::string saved = SaveForm(original);

  TComponent copy(nullptr);
  LoadFormFromText(saved, copy);
  EXPECT_EQ(SaveForm(copy), saved);
  auto* page = dynamic_cast<TWvPage*>(copy.FindComponent("Page1"));
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->put(nullptr),
            dynamic_cast<TWvPage*>(original.FindComponent("Page1"))->put(nullptr));

  auto* form = dynamic_cast<TWvInputForm*>(copy.FindComponent("OrderForm"));
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->GetMethod(), T_FormMethodType::Get);
  EXPECT_EQ(form->GetJSOnBadVerify()->getScript(), copy.FindComponent("noteJS"));
  EXPECT_EQ(form->GetControlCount(), 8);
  auto* loadedField = dynamic_cast<TWvTextInputField*>(copy.FindComponent("NameField"));
  EXPECT_EQ(loadedField->GetSize(), 30);
  EXPECT_EQ(loadedField->GetMaxLength(), 60);
  EXPECT_TRUE(loadedField->GetPassWord());
  EXPECT_EQ(loadedField->GetJSVerifyInput()->getScript(), copy.FindComponent("checkJS"));
  auto* extras = dynamic_cast<TWvListBox*>(copy.FindComponent("Extras"));
  EXPECT_EQ(extras->GetSelected(), 5);
  EXPECT_EQ(extras->GetListSize(), 2);
  EXPECT_TRUE(extras->GetSelectMultiple());
}

TEST(FormFile, HandWrittenFormWithEventsAndEnumerations) {
  RegisterFormClasses();
  TComponent window(nullptr);
  LoadFormFromText(R"({
    "form": "Login",
    "components": [
      { "class": "TWvJavascript", "name": "CheckJS",
        "properties": { "script": ["function filled(f) {", "  return f != '';", "}"] } },
      { "class": "TWvInputForm", "name": "Form1",
        "properties": { "Left": 5, "Top": 5, "Width": 60, "Height": 30, "Method": "Get",
                        "FormName": "login", "Action": "/login",
                        "HiddenFields": ["from=home"] },
        "children": [
          { "class": "TWvTextInputField", "name": "User",
            "properties": { "Left": 10, "Top": 5, "Width": 40, "Height": 20,
                            "FieldName": "user", "Size": 8, "MaxLength": 8,
                            "JSVerifyInput": { "Script": "CheckJS" },
                            "JSOnBlur": { "Script": "CheckJS", "parameterlist": ["this"] } } }
        ] }
    ]
  })",
                   window);
  auto* form = dynamic_cast<TWvInputForm*>(window.FindComponent("Form1"));
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->put(nullptr),
            "<TABLE BORDER=0 CELLSPACING=0 CELLPADDING=0 WIDTH=60><FORM NAME=\"login\" "
            "ACTION=\"/login\"OnSubmit=\"return ( filled(user.value))\" METHOD=GET>"
            "<INPUT TYPE=HIDDEN NAME=from VALUE=home><TR VALIGN=\"top\" ALIGN=\"left\">"
            "<TD HEIGHT=5 WIDTH=10 ></TD><TD HEIGHT=5 WIDTH=40 ></TD><TD HEIGHT=5 WIDTH=10 >"
            "</TD><TD></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD><TD  "
            "HEIGHT=20    ><INPUT TYPE=\"text\" NAME=\"user\" VALUE=\"\" SIZE=8 MAXLENGTH=8 "
            "onBlur=\"filled(this)\"    ></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD "
            "HEIGHT=5 ></TD><TD COLSPAN=2></TD></TR></FORM></TABLE>");
}

TEST(FormFile, PaletteHoldsTheEightFormComponents) {
  WvInputForm::Register();
  WvSubmitButton::Register();
  WvTextInputField::Register();
  WvTextArea::Register();
  WvCheckBox::Register();
  WvRadioButton::Register();
  WvDropDownlist::Register();
  WvListBox::Register();
  std::string names;
  for (const TClassInfo* info : TClassRegistry::Instance().PaletteComponents("Taveno"))
    names += info->Name + " ";
  EXPECT_EQ(names,
            "TWvInputForm TWvSubmitButton TWvTextInputField TWvTextArea TWvCheckBox "
            "TWvRadioButton TWvDropDownlist TWvListBox ");
  // The common base is streamable, but not a component to drop on a page.
  const TClassInfo* base = TClassRegistry::Instance().Find("TWvCustomInputComponent");
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->PalettePage, "");
  EXPECT_TRUE(TClassRegistry::Instance().Find("TWvListBox")->InheritsFrom(base->Name));
}

TEST(FormFile, SixteenBitSizesRefuseWiderValues) {
  RegisterFormClasses();
  TComponent window(nullptr);
  try {
    LoadFormFromText(R"({ "form": "F", "components": [
      { "class": "TWvTextInputField", "name": "Wide", "properties": { "Size": 70000 } } ] })",
                     window);
    FAIL() << "a size of 70000 was accepted";
  } catch (const EFormFileError& e) {
    EXPECT_EQ(e.Message(),
              "Form file: component Wide (TWvTextInputField), property Size: Size must lie "
              "between 0 and 65535, not 70000");
  }
  EXPECT_EQ(window.ComponentCount(), 0);
}

}  // namespace
}  // namespace tavkit
