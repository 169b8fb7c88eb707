// The tags of the input elements: text fields, text areas, check boxes, radio
// buttons and the two selection lists, with their events, free HTML and the
// clamping of their properties.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/forms/WvCheckBox.h>
#include <tavkit/forms/WvDropDownlist.h>
#include <tavkit/forms/WvListBox.h>
#include <tavkit/forms/WvRadioButton.h>
#include <tavkit/forms/WvTextArea.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/scripts/WvJavascriptList.h>
#include "FormsTestHelpers.h"

namespace tavkit {
namespace {

using formstest::MakeScript;

TEST(WvTextInputField, DefaultsGiveTheBareTag) {
  TComponent form(nullptr);
  auto* field = new TWvTextInputField(&form);
  EXPECT_EQ(field->GetWidth(), 120);
  EXPECT_EQ(field->GetHeight(), 25);
  EXPECT_FALSE(field->GetContainer());
  field->SetFieldName("q");
  EXPECT_EQ(field->put(nullptr),
            "<INPUT TYPE=\"text\" NAME=\"q\" VALUE=\"\" SIZE=15 MAXLENGTH=15     >");
  field->SetPassWord(true);
  EXPECT_EQ(field->put(nullptr),
            "<INPUT TYPE=\"PASSWORD\" NAME=\"q\" VALUE=\"\" SIZE=15 MAXLENGTH=15     >");
}

TEST(WvTextInputField, ValuesAndFreeHtmlAreWrittenVerbatim) {
  TComponent form(nullptr);
  auto* field = new TWvTextInputField(&form);
  field->SetFieldName("who");
  field->SetValue("say \"hi\" & <go>");
  field->SetSize(40);
  field->SetMaxLength(200);
  field->GetHTMLBefore()->AddStrings({"Name:", "<B>"});
  field->GetHTMLInside()->Add("ID=who");
  field->GetHTMLAfter()->Add("</B>");
  EXPECT_EQ(field->put(nullptr),
            " Name: <B><INPUT TYPE=\"text\" NAME=\"who\" VALUE=\"say \"hi\" & <go>\" SIZE=40 "
            "MAXLENGTH=200      ID=who> </B>");
}

TEST(WvTextInputField, EventsKeepTheirBlanksAndSpelling) {
  TComponent form(nullptr);
  TWvJavascript* check = MakeScript(&form, "check");
  auto* field = new TWvTextInputField(&form);
  field->SetFieldName("q");
  field->GetJSOnChange()->setScript(check);
  EXPECT_EQ(field->put(nullptr),
            "<INPUT TYPE=\"text\" NAME=\"q\" VALUE=\"\" SIZE=15 MAXLENGTH=15 "
            "  OnChange=\"check()\"  >");

  field->GetJSOnBlur()->setScript(check);
  field->GetJSOnFocus()->setScript(check);
  field->GetJSOnSelect()->setScript(check);
  field->GetJSOnSelect()->getParameterlist()->AddStrings({"this", "1"});
  EXPECT_EQ(field->put(nullptr),
            "<INPUT TYPE=\"text\" NAME=\"q\" VALUE=\"\" SIZE=15 MAXLENGTH=15 onBlur=\"check()\" "
            "onFocus=\"check()\" OnChange=\"check()\" OnSelect=\"check(this,1)\" >");
}

TEST(WvTextArea, LinesEndWithCrLfInsideTheTag) {
  TComponent form(nullptr);
  auto* area = new TWvTextArea(&form);
  EXPECT_EQ(area->GetWidth(), 425);
  EXPECT_EQ(area->GetHeight(), 150);
  area->SetFieldName("t");
  EXPECT_EQ(area->put(nullptr), "<TEXTAREA NAME=\"t\" ROWS=8 COLS=50     ></TEXTAREA>");

  TStringList lines{"a", "", "b \"c\""};
  area->SetValue(&lines);
  area->SetRows(3);
  area->SetColumns(20);
  area->GetHTMLInside()->Add("WRAP=virtual");
  area->GetJSOnFocus()->setScript(MakeScript(&form, "hint"));
  EXPECT_EQ(area->put(nullptr),
            "<TEXTAREA NAME=\"t\" ROWS=3 COLS=20  onFocus=\"hint()\"    "
            "WRAP=virtual>a\r\n\r\nb \"c\"\r\n</TEXTAREA>");
}

TEST(WvInputElements, ScriptsComeInEventOrderOnce) {
  TComponent form(nullptr);
  TWvJavascript* a = MakeScript(&form, "a");
  TWvJavascript* b = MakeScript(&form, "b");
  TWvJavascript* c = MakeScript(&form, "c");
  auto* field = new TWvTextInputField(&form);
  field->GetJSVerifyInput()->setScript(b);
  field->GetJSOnBlur()->setScript(c);
  field->GetJSOnSelect()->setScript(a);
  field->GetJSOnChange()->setScript(b);
  auto list = field->ScriptList();
  ASSERT_EQ(list->numberOfScripts(), 3);
  EXPECT_EQ(list->GetScript(0), b);
  EXPECT_EQ(list->GetScript(1), c);
  EXPECT_EQ(list->GetScript(2), a);

  auto* area = new TWvTextArea(&form);
  area->GetJSOnSelect()->setScript(a);
  area->GetJSOnFocus()->setScript(c);
  auto areaList = area->ScriptList();
  ASSERT_EQ(areaList->numberOfScripts(), 2);
  EXPECT_EQ(areaList->GetScript(0), c);
  EXPECT_EQ(areaList->GetScript(1), a);

  auto* box = new TWvCheckBox(&form);
  box->GetJSOnClick()->setScript(a);
  box->GetJSVerifyInput()->setScript(c);
  auto boxList = box->ScriptList();
  ASSERT_EQ(boxList->numberOfScripts(), 2);
  EXPECT_EQ(boxList->GetScript(0), c);
  EXPECT_EQ(boxList->GetScript(1), a);
}

TEST(WvCheckBoxAndRadioButton, TwinTagsDifferOnlyInTheKeyword) {
  TComponent form(nullptr);
  auto* box = new TWvCheckBox(&form);
  EXPECT_EQ(box->GetWidth(), 25);
  EXPECT_EQ(box->GetHeight(), 25);
  box->SetFieldName("news");
  box->SetValue("yes");
  box->SetChecked(true);
  EXPECT_EQ(box->put(nullptr), "<INPUT TYPE=CHECKBOX NAME=news value=\"yes\" checked  >");
  box->SetChecked(false);
  EXPECT_EQ(box->put(nullptr), "<INPUT TYPE=CHECKBOX NAME=news value=\"yes\"   >");

  auto* radio = new TWvRadioButton(&form);
  EXPECT_EQ(radio->GetWidth(), 25);
  EXPECT_EQ(radio->put(nullptr), "<INPUT TYPE=RADIO NAME= value=\"\"   >");
  radio->SetFieldName("size");
  radio->SetValue("L");
  radio->SetChecked(true);
  radio->GetJSOnClick()->setScript(MakeScript(&form, "pick"));
  radio->GetJSOnClick()->getParameterlist()->Add("this");
  radio->GetHTMLBefore()->Add("Large");
  radio->GetHTMLInside()->Add("ID=l");
  radio->GetHTMLAfter()->Add("<BR>");
  EXPECT_EQ(radio->put(nullptr),
            " Large<INPUT TYPE=RADIO NAME=size value=\"L\" checked onClick=\"pick(this)\"  ID=l> "
            "<BR>");
}

TEST(WvDropDownlist, OptionsSplitAtTheFirstEquals) {
  TComponent form(nullptr);
  auto* list = new TWvDropDownlist(&form);
  EXPECT_EQ(list->GetWidth(), 125);
  EXPECT_EQ(list->GetHeight(), 25);
  list->SetFieldName("n");
  TStringList lines{"1=One", "2=Two"};
  list->SetOptionValues(&lines);
  list->SetSelected(1);
  EXPECT_EQ(list->put(nullptr),
            "<SELECT NAME=\"n\"    ><OPTION  VALUE=\"1\">One</OPTION><OPTION SELECTED "
            "VALUE=\"2\">Two</OPTION></SELECT>");

  // A line without "=" repeats the option before it (nothing before the
  // first); everything after the first "=" is the shown text.
  TStringList odd{"plain", "a=b=c", "again", "=empty value"};
  list->SetOptionValues(&odd);
  list->SetSelected(-4);
  EXPECT_EQ(list->GetSelected(), 0);
  list->GetHTMLInside()->Add("<OPTION>last");
  list->GetJSOnChange()->setScript(MakeScript(&form, "go"));
  EXPECT_EQ(list->put(nullptr),
            "<SELECT NAME=\"n\"   OnChange=\"go()\" ><OPTION SELECTED VALUE=\"\"></OPTION>"
            "<OPTION  VALUE=\"a\">b=c</OPTION><OPTION  VALUE=\"a\">b=c</OPTION>"
            "<OPTION  VALUE=\"\">empty value</OPTION> <OPTION>last</SELECT>");

  list->SetSelected(4);
  EXPECT_EQ(list->put(nullptr),
            "<SELECT NAME=\"n\"   OnChange=\"go()\" ><OPTION  VALUE=\"\"></OPTION>"
            "<OPTION  VALUE=\"a\">b=c</OPTION><OPTION  VALUE=\"a\">b=c</OPTION>"
            "<OPTION  VALUE=\"\">empty value</OPTION> <OPTION>last</SELECT>");
}

TEST(WvListBox, MultipleAndSizeInTheStartTag) {
  TComponent form(nullptr);
  auto* list = new TWvListBox(&form);
  EXPECT_EQ(list->GetWidth(), 200);
  EXPECT_EQ(list->GetHeight(), 75);
  list->SetFieldName("n");
  EXPECT_EQ(list->put(nullptr), "<SELECT NAME=\"n\"  SIZE=3   ></SELECT>");

  TStringList lines{"r=Red", "g=Green", "b=Blue"};
  list->SetOptionValues(&lines);
  list->SetSelectMultiple(true);
  list->SetListSize(5);
  list->SetSelected(2);
  TWvJavascript* go = MakeScript(&form, "go");
  list->GetJSOnBlur()->setScript(go);
  list->GetJSOnFocus()->setScript(go);
  list->GetJSOnChange()->setScript(go);
  EXPECT_EQ(list->put(nullptr),
            "<SELECT NAME=\"n\" MULTIPLE SIZE=5 onBlur=\"go()\" onFocus=\"go()\" "
            "OnChange=\"go()\"><OPTION  VALUE=\"r\">Red</OPTION><OPTION  VALUE=\"g\">Green"
            "</OPTION><OPTION SELECTED VALUE=\"b\">Blue</OPTION></SELECT>");

  // Unlike the drop-down list, a negative selection is kept and marks none.
  list->SetSelected(-1);
  EXPECT_EQ(list->GetSelected(), -1);
  list->SetListSize(0);
  EXPECT_EQ(list->GetListSize(), 1);
  list->SetListSize(-7);
  EXPECT_EQ(list->GetListSize(), 1);
  list->SetSelectMultiple(false);
  list->GetJSOnBlur()->setScript(nullptr);
  list->GetJSOnFocus()->setScript(nullptr);
  EXPECT_EQ(list->put(nullptr),
            "<SELECT NAME=\"n\"  SIZE=1   OnChange=\"go()\"><OPTION  VALUE=\"r\">Red</OPTION>"
            "<OPTION  VALUE=\"g\">Green</OPTION><OPTION  VALUE=\"b\">Blue</OPTION></SELECT>");
}

TEST(WvInputElements, WritersThatReportAChange) {
  TComponent form(nullptr);
  int changes = 0;
  auto count = [&changes](TObject*) { ++changes; };
  TStringList lines{"x"};

  auto* field = new TWvTextInputField(&form);
  field->OnChange = count;
  field->SetSize(3);
  field->SetValue("v");
  field->SetMaxLength(4);  // plain field
  field->SetPassWord(true);
  EXPECT_EQ(changes, 2);

  auto* area = new TWvTextArea(&form);
  area->OnChange = count;
  area->SetValue(&lines);
  area->SetRows(2);
  area->SetColumns(2);
  EXPECT_EQ(changes, 5);

  auto* drop = new TWvDropDownlist(&form);
  drop->OnChange = count;
  drop->SetOptionValues(&lines);
  drop->SetSelected(0);
  EXPECT_EQ(changes, 7);

  auto* box = new TWvListBox(&form);
  box->OnChange = count;
  box->SetOptionValues(&lines);
  box->SetListSize(2);
  box->SetSelected(1);  // plain field
  EXPECT_EQ(changes, 9);
}

TEST(WvCustomInputComponent, ForgetsAVerifyScriptThatLeavesItsOwner) {
  TComponent form(nullptr);
  TWvJavascript* check = MakeScript(&form, "check");
  auto* field = new TWvTextInputField(&form);
  field->GetJSVerifyInput()->setScript(check);
  form.RemoveComponent(check);
  EXPECT_EQ(field->GetJSVerifyInput()->getScript(), nullptr);
  delete check;

  TWvJavascript* other = MakeScript(&form, "other");
  field->GetJSVerifyInput()->setScript(other);
  delete other;
  EXPECT_EQ(field->GetJSVerifyInput()->getScript(), nullptr);
  EXPECT_EQ(field->ScriptList()->numberOfScripts(), 0);
}

}  // namespace
}  // namespace tavkit
