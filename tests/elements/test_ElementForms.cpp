// Elements in form files: every published property of a text (with its font
// and link) and of an image with two hot spots is read, written and read
// again through the class registry, and the page built from the file writes
// the same document after the round trip. A hot spot outside an image is
// refused with the place named.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/elements/WvImage.h>
#include <tavkit/elements/WvImageMap.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/scripts/WvJavascript.h>
#include <tavkit/scripts/WvScriptInvoker.h>

namespace tavkit {
namespace {

const char* const kForm = R"({
  "form": "MainForm",
  "components": [
    { "class": "TWvJavascript", "name": "CheckJS",
      "properties": { "script": ["function check(f) {", "  return f != '';", "}"] } },
    { "class": "TWvPage", "name": "Page1",
      "properties": { "Left": 0, "Top": 0, "Width": 300, "Height": 200 },
      "children": [
        { "class": "TWvText", "name": "Text1",
          "properties": { "Left": 20, "Top": 10, "Width": 200, "Height": 20,
                          "Text": ["Hello, world", "<I>again</I>"],
                          "AutoLineBreak": false, "Align": "taCenter",
                          "BackGroundColor": "clYellow",
                          "Font": { "Size": 4, "Bold": true, "Color": "#800000" },
                          "HyperLink": { "URL": "next.html", "Target": "main",
                                         "JSOnClick": { "Script": "CheckJS",
                                                        "parameterlist": ["this"] } } } },
        { "class": "TWvImage", "name": "Image1",
          "properties": { "Left": 20, "Top": 40, "Width": 160, "Height": 100,
                          "ImagePath": "plan.gif", "Stretch": true,
                          "JSOnLoad": { "Script": "CheckJS" } },
          "children": [
            { "class": "TWvImageMap", "name": "Spot1",
              "properties": { "Left": 10, "Top": 10, "Width": 50, "Height": 20,
                              "AltText": "Kitchen",
                              "HyperLink": { "URL": "kitchen.html",
                                             "JSOnMouseOver": { "Script": "CheckJS",
                                                                "parameterlist": ["'k'"] } } } },
            { "class": "TWvImageMap", "name": "Spot2",
              "properties": { "Left": 70, "Top": 10, "Width": 30, "Height": 30,
                              "Link": "hall.html", "AltText": "Hall" } }
          ] }
      ] }
  ]
})";

class ElementForms : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WvJavascript::Register();
    WvOptimizer::Register();
    WvPage::Register();
    WvText::Register();
    WvImage::Register();
    WvImageMap::Register();
  }

  // Checks the document of the page in the form; its map gets the next name.
  static void ExpectDocument(TComponent& form) {
    const std::string probe = WvGetUniqueID("MAP");
    const std::string map = "MAP" + std::to_string(std::stoi(probe.substr(3)) + 1);
    auto* page = dynamic_cast<TWvPage*>(form.FindComponent("Page1"));
    ASSERT_NE(page, nullptr);
    std::string expected =
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 3.2//EN\"><HTML><HEAD><TITLE></TITLE>"
        "<META NAME=\"Generator\" CONTENT=\"Vettmark Taveno (C)\"><script "
        "language=\"JavaScript\">\r\nfunction check(f) {\r\n  return f != '';\r\n}\r\n"
        "</script></HEAD><BODY BGCOLOR=\"#FFFFFF\" LINK=\"#000000\" VLINK=\"000000\" "
        "TEXT=\"000000\"  ><TABLE BGCOLOR=\"#FFFFFF\" BORDER=0 CELLSPACING=0 CELLPADDING=0 "
        "WIDTH=300><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 WIDTH=20 ></TD>"
        "<TD HEIGHT=10 WIDTH=160 ></TD><TD HEIGHT=10 WIDTH=40 ></TD><TD HEIGHT=10 WIDTH=80 >"
        "</TD><TD></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=20 ></TD>"
        "<TD ALIGN=\"center\" HEIGHT=20  COLSPAN=2 BGCOLOR=\"#FFFF00\" >"
        "<A HREF=\"next.html\"   onClick=\"check(this)\" target=\"main\">"
        "<font color=#800000><FONT SIZE=\"4\" FACE=\"ARIAL,SYSTEM\" COLOR=\"800000\" >"
        "<B>Hello, world<I>again</I></B></FONT></font></A></TD></TR>"
        "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=10 ></TD><TD COLSPAN=3></TD></TR>"
        "<TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=100 ></TD><TD  HEIGHT=100    >"
        "<MAP NAME=\"" +
        map +
        "\"><AREA SHAPE=\"RECT\" COORDS=\"10,10,60,30\" HREF=\"kitchen.html\" "
        "onMouseOver=\"check('k')\"   ALT=\"Kitchen\"> <AREA SHAPE=\"RECT\" "
        "COORDS=\"70,10,100,40\" HREF=\"hall.html\"    ALT=\"Hall\"> </MAP>"
        "<IMG SRC=\"plan.gif\" WIDTH =160 HEIGHT =100   onLoad=\"check()\" BORDER=0 USEMAP=\"#" +
        map +
        "\" ></TD><TD COLSPAN=2></TD></TR><TR VALIGN=\"top\" ALIGN=\"left\"><TD HEIGHT=60 >"
        "</TD><TD COLSPAN=3></TD></TR></TABLE></BODY></HTML>";
    EXPECT_EQ(page->put(nullptr), expected);
  }
};

TEST_F(ElementForms, TextAndImageMapSurviveTheRoundTrip) {
  TComponent form(nullptr);
  LoadFormFromText(kForm, form);
  auto* text = dynamic_cast<TWvText*>(form.FindComponent("Text1"));
  auto* image = dynamic_cast<TWvImage*>(form.FindComponent("Image1"));
  auto* script = dynamic_cast<TWvJavascript*>(form.FindComponent("CheckJS"));
  ASSERT_NE(text, nullptr);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(text->GetHyperLink()->GetJSOnClick()->getScript(), script);
  EXPECT_EQ(text->GetFont()->GetSecondaryFonts(), "SYSTEM");  // the default stays
  ASSERT_EQ(image->GetControlCount(), 2);
  EXPECT_EQ(image->GetControl(1)->GetName(), "Spot2");
  ExpectDocument(form);

  const std::string saved = SaveForm(form);
  TComponent again(nullptr);
  LoadFormFromText(saved, again);
  EXPECT_EQ(SaveForm(again), saved);
  ExpectDocument(again);

  // The saved file holds the link both as the Link text and inside HyperLink,
  // and a changed value comes back from the file.
  text->GetFont()->SetItalic(true);
  text->GetHyperLink()->GetJSOnMouseOut()->setScript(script);
  dynamic_cast<TWvImageMap*>(image->GetControl(0))->SetLink("cellar.html");
  TComponent changed(nullptr);
  LoadFormFromText(SaveForm(form), changed);
  auto* text2 = dynamic_cast<TWvText*>(changed.FindComponent("Text1"));
  auto* spot2 = dynamic_cast<TWvImageMap*>(changed.FindComponent("Spot1"));
  ASSERT_NE(text2, nullptr);
  ASSERT_NE(spot2, nullptr);
  EXPECT_TRUE(text2->GetFont()->GetItalic());
  EXPECT_EQ(text2->GetHyperLink()->GetJSOnMouseOut()->getScript(),
            changed.FindComponent("CheckJS"));
  EXPECT_EQ(spot2->GetHyperLink()->GetURL(), "cellar.html");
  EXPECT_EQ(spot2->GetHyperLink()->GetJSOnMouseOver()->getParameterlist()->Get(0), "'k'");
}

TEST_F(ElementForms, HotSpotOutsideAnImageIsRefused) {
  TComponent form(nullptr);
  const char* const file = R"({"form": "F", "components": [
    { "class": "TWvPage", "name": "Page1",
      "children": [ { "class": "TWvImageMap", "name": "Spot1" } ] } ]})";
  try {
    LoadFormFromText(file, form);
    FAIL() << "a hot spot was placed on a page";
  } catch (const EFormFileError& e) {
    EXPECT_STREQ(e.what(),
                 "Form file: component Spot1 (TWvImageMap): cannot be placed in Page1: "
                 "Imagemaps can only be put on images");
  }
  EXPECT_EQ(form.ComponentCount(), 0);
}

}  // namespace
}  // namespace tavkit
