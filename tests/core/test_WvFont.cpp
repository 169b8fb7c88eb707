// Web fonts: size clamping, FONT markup, comparison, change reports and copying.
#include <tavkit/core/WvFont.h>

#include <gtest/gtest.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {
namespace {

TEST(WvFontMarkup, DefaultFontWritesSizeFacesAndBlack) {
  TWvFont font;
  EXPECT_EQ(font.CreateHTMLText("Hi"),
            "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"000000\" >Hi</FONT>");
}

TEST(WvFontMarkup, NoColourLeavesTwoBlanksBeforeTheClose) {
  TWvFont font;
  font.SetColor(clNone);
  font.SetSecondaryFonts("");
  font.SetFontSize(5);
  EXPECT_EQ(font.CreateHTMLText(""), "<FONT SIZE=\"5\" FACE=\"ARIAL\"  ></FONT>");
}

TEST(WvFontMarkup, StyleTagsNestBoldInsideStrikeout) {
  TWvFont font;
  font.SetBold(true);
  font.SetStrikeout(true);
  font.SetColor(RGB(0x40, 0x80, 0xFF));
  EXPECT_EQ(font.CreateHTMLText("x"),
            "<FONT SIZE=\"2\" FACE=\"ARIAL,SYSTEM\" COLOR=\"4080FF\" ><S><B>x</B></S></FONT>");
  font.SetItalic(true);
  font.SetUnderline(true);
  font.SetPrimaryFont("Verdana");
  font.SetSecondaryFonts("Helvetica, sans-serif");
  EXPECT_EQ(font.CreateHTMLText("x"),
            "<FONT SIZE=\"2\" FACE=\"Verdana,Helvetica, sans-serif\" COLOR=\"4080FF\" "
            "><S><U><I><B>x</B></I></U></S></FONT>");
}

TEST(WvFontProperties, SizeIsClampedIntoOneToSix) {
  TWvFont font;
  font.SetFontSize(0);
  EXPECT_EQ(font.GetFontSize(), 1);
  font.SetFontSize(7);
  EXPECT_EQ(font.GetFontSize(), 6);
  font.SetFontSize(-2147483647 - 1);
  EXPECT_EQ(font.GetFontSize(), 1);
  font.SetFontSize(4);
  EXPECT_EQ(font.GetFontSize(), 4);
}

TEST(WvFontProperties, EverySetterReportsOnceAfterStoring) {
  TWvFont font;
  int calls = 0;
  TObject* sender = nullptr;
  int sizeSeen = 0;
  font.OnChange = [&](TObject* s) {
    ++calls;
    sender = s;
    sizeSeen = font.GetFontSize();
  };
  font.SetFontSize(9);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(sender, &font);
  EXPECT_EQ(sizeSeen, 6);
  font.SetPrimaryFont("A");
  font.SetSecondaryFonts("B");
  font.SetColor(clRed);
  font.SetBold(true);
  font.SetItalic(true);
  font.SetUnderline(true);
  font.SetStrikeout(true);
  EXPECT_EQ(calls, 8);
}

TEST(WvFontCompare, EqualityCoversEveryPropertyButTheCallback) {
  TWvFont a, b;
  b.OnChange = [](TObject*) {};
  EXPECT_TRUE(a.isEqual(b));
  b.SetPrimaryFont("arial");
  EXPECT_FALSE(a.isEqual(b));

  auto differsAfter = [](auto change) {
    TWvFont x, y;
    change(y);
    return !x.isEqual(y) && !y.isEqual(x);
  };
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetSecondaryFonts("system"); }));
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetFontSize(3); }));
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetColor(0x01000000); }));
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetBold(true); }));
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetItalic(true); }));
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetUnderline(true); }));
  EXPECT_TRUE(differsAfter([](TWvFont& f) { f.SetStrikeout(true); }));
}

TEST(WvFontCopy, AssignCopiesThroughTheSettersAndKeepsTheCallback) {
  TWvFont source;
  source.SetPrimaryFont("Courier New");
  source.SetSecondaryFonts("");
  source.SetFontSize(6);
  source.SetColor(clNone);
  source.SetItalic(true);
  source.SetStrikeout(true);

  TWvFont copy;
  int calls = 0;
  copy.OnChange = [&](TObject*) { ++calls; };
  copy.Assign(&source);
  EXPECT_TRUE(copy.isEqual(source));
  EXPECT_EQ(calls, 8);
  EXPECT_EQ(copy.CreateHTMLText("t"), source.CreateHTMLText("t"));
  EXPECT_THROW(copy.Assign(nullptr), Exception);
}

TEST(WvFontRegistry, PublishesEveryPropertyByName) {
  WvFont::RegisterClasses();
  WvFont::RegisterClasses();
  const TClassInfo* info = TClassRegistry::Instance().Find("TWvFont");
  ASSERT_NE(info, nullptr);
  std::vector<std::string> names;
  for (const TPropInfo* p : info->AllProperties()) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"PrimaryFont", "SecondaryFonts", "Size", "Color",
                                             "Bold", "Italic", "Underline", "Strikeout"}));
  TWvFont font;
  info->FindProperty("Size")->Set(font, TPropValue(std::int64_t(12)));
  EXPECT_EQ(font.GetFontSize(), 6);
  info->FindProperty("Color")->Set(font, TPropValue(std::int64_t(clNone)));
  EXPECT_EQ(std::get<std::int64_t>(info->FindProperty("Color")->Get(font)), clNone);
}

}  // namespace
}  // namespace tavkit
