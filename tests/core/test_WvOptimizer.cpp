// Output optimizer: shared style classes, their CSS text, reset and options.
#include <tavkit/core/WvOptimizer.h>

#include <gtest/gtest.h>

#include <tavkit/platform/base/Registry.h>

namespace tavkit {
namespace {

TEST(WvOptimizerClasses, EqualCombinationsShareAClass) {
  TWvCustomOptimizer optimizer(nullptr);
  TWvFont a, b;
  EXPECT_EQ(optimizer.getClassName(a, clWhite, taLeft), "T0");
  EXPECT_EQ(optimizer.getClassName(b, clWhite, taLeft), "T0");
  EXPECT_EQ(optimizer.getClassName(b, clWhite, taRight), "T1");
  EXPECT_EQ(optimizer.getClassName(b, clRed, taLeft), "T2");
  b.SetBold(true);
  EXPECT_EQ(optimizer.getClassName(b, clWhite, taLeft), "T3");
  EXPECT_EQ(optimizer.getClassName(a, clWhite, taRight), "T1");
  EXPECT_EQ(optimizer.ClassCount(), 4);
}

TEST(WvOptimizerClasses, TheClassKeepsItsOwnCopyOfTheFont) {
  TWvCustomOptimizer optimizer(nullptr);
  TWvFont font;
  EXPECT_EQ(optimizer.getClassName(font, clWhite, taLeft), "T0");
  font.SetFontSize(5);
  EXPECT_EQ(optimizer.getClassName(font, clWhite, taLeft), "T1");
  font.SetFontSize(2);
  EXPECT_EQ(optimizer.getClassName(font, clWhite, taLeft), "T0");
}

TEST(WvOptimizerClasses, ColoursDifferingOnlyInTheTopByteAreDifferentClasses) {
  TWvCustomOptimizer optimizer(nullptr);
  TWvFont black, tagged;
  tagged.SetColor(0x02000000);
  EXPECT_EQ(optimizer.getClassName(black, clWhite, taNone), "T0");
  EXPECT_EQ(optimizer.getClassName(tagged, clWhite, taNone), "T1");
  EXPECT_EQ(optimizer.getClassDescriptions(),
            ".T0{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF;}"
            ".T1{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF;}");
}

TEST(WvOptimizerDescriptions, BoldLeftAlignedClass) {
  TWvCustomOptimizer optimizer(nullptr);
  TWvFont font;
  font.SetBold(true);
  optimizer.getClassName(font, clWhite, taLeft);
  EXPECT_EQ(optimizer.getClassDescriptions(),
            ".T0{font :  bold 10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; "
            "text-align : Left;}");
}

TEST(WvOptimizerDescriptions, EverySizeWeightAlignmentAndDecoration) {
  TWvCustomOptimizer optimizer(nullptr);
  TWvFont font;
  font.SetPrimaryFont("Times");
  font.SetSecondaryFonts("serif");
  font.SetColor(RGB(0x12, 0x34, 0x56));
  const t_WvTextAlign aligns[] = {taCenter, taRight, taNone, taLeft, taCenter, taRight};
  for (int size = 1; size <= 6; ++size) {
    font.SetFontSize(size);
    font.SetItalic(size % 2 == 0);
    font.SetBold(size >= 5);
    font.SetUnderline(size == 3 || size == 5);
    font.SetStrikeout(size >= 4);
    optimizer.getClassName(font, RGB(0xAB, 0xCD, 0xEF), aligns[size - 1]);
  }
  EXPECT_EQ(optimizer.getClassDescriptions(),
            ".T0{font :  8pt  Times,serif;color : #123456;background-color : #ABCDEF; "
            "text-align : Center;}"
            ".T1{font :  italic 10pt  Times,serif;color : #123456;background-color : #ABCDEF; "
            "text-align : Right;}"
            ".T2{font :  12pt  Times,serif;color : #123456;background-color : #ABCDEF; "
            "text-decoration : underline ;}"
            ".T3{font :  italic 14pt  Times,serif;color : #123456;background-color : #ABCDEF; "
            "text-align : Left; text-decoration : line-through ;}"
            ".T4{font :  bold 18pt  Times,serif;color : #123456;background-color : #ABCDEF; "
            "text-align : Center; text-decoration : underline line-through ;}"
            ".T5{font :  bold italic 23pt  Times,serif;color : #123456;background-color : "
            "#ABCDEF; text-align : Right; text-decoration : line-through ;}");
}

// A face list ending in a comma, or a white "color" for a font that has no
// colour, would spoil the page; neither is written.
TEST(WvOptimizerDescriptions, NoTrailingCommaAndNoColourForClNone) {
  TWvCustomOptimizer optimizer(nullptr);
  TWvFont font;
  font.SetSecondaryFonts("");
  font.SetColor(clNone);
  optimizer.getClassName(font, clNone, taNone);
  EXPECT_EQ(optimizer.getClassDescriptions(),
            ".T0{font :  10pt  ARIAL;background-color : #FFFFFF;}");
}

TEST(WvOptimizerReset, AutoResetEmptiesTheListAfterWriting) {
  TWvCustomOptimizer optimizer(nullptr);
  EXPECT_TRUE(optimizer.GetautoReset());
  TWvFont font;
  optimizer.getClassName(font, clWhite, taRight);
  EXPECT_EQ(optimizer.getClassDescriptions(),
            ".T0{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF; "
            "text-align : Right;}");
  EXPECT_EQ(optimizer.getClassDescriptions(), "");
  EXPECT_EQ(optimizer.getClassName(font, clBlack, taRight), "T0");
}

TEST(WvOptimizerReset, WithoutAutoResetClassesAccumulateUntilReset) {
  TWvCustomOptimizer optimizer(nullptr);
  optimizer.SetautoReset(false);
  TWvFont font;
  optimizer.getClassName(font, clWhite, taNone);
  const std::string first = optimizer.getClassDescriptions();
  EXPECT_EQ(first, ".T0{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #FFFFFF;}");
  EXPECT_EQ(optimizer.getClassName(font, clWhite, taNone), "T0");
  EXPECT_EQ(optimizer.getClassName(font, clBlack, taNone), "T1");
  EXPECT_EQ(optimizer.getClassDescriptions(),
            first + ".T1{font :  10pt  ARIAL,SYSTEM;color : #000000;background-color : #000000;}");
  optimizer.reset();
  EXPECT_EQ(optimizer.ClassCount(), 0);
  EXPECT_EQ(optimizer.getClassName(font, clBlack, taNone), "T0");
}

TEST(WvOptimizerOptions, DefaultsAndPublishedProperties) {
  WvOptimizer::Register();
  WvOptimizer::RegisterClasses();
  TWvOptimizer optimizer(nullptr);
  EXPECT_EQ(optimizer.getBrowserType(), brUnknown);
  EXPECT_TRUE(optimizer.getUseCSS());
  EXPECT_TRUE(optimizer.getoptimizeTableDefinitions());
  optimizer.setBrowserType(brWebTV);
  EXPECT_EQ(optimizer.getBrowserType(), 4);

  const TClassInfo* info = TClassRegistry::Instance().Find("TWvOptimizer");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PalettePage, "Taveno");
  EXPECT_TRUE(info->InheritsFrom("TWvCustomOptimizer"));
  info->FindProperty("CSSuse")->Set(optimizer, TPropValue(false));
  info->FindProperty("CSSoptimizeTableDefinitions")->Set(optimizer, TPropValue(false));
  info->FindProperty("autoReset")->Set(optimizer, TPropValue(false));
  EXPECT_FALSE(optimizer.getUseCSS());
  EXPECT_FALSE(optimizer.getoptimizeTableDefinitions());
  EXPECT_FALSE(optimizer.GetautoReset());
  EXPECT_EQ(info->FindProperty("BrowserType"), nullptr);

  const TClassInfo* custom = TClassRegistry::Instance().Find("TWvCustomOptimizer");
  ASSERT_NE(custom, nullptr);
  EXPECT_EQ(custom->FindProperty("CSSuse"), nullptr);

  std::unique_ptr<TComponent> made(CreateComponent("TWvOptimizer", nullptr));
  EXPECT_NE(dynamic_cast<TWvOptimizer*>(made.get()), nullptr);
}

}  // namespace
}  // namespace tavkit
