// Palette bitmaps held by the class registry: found by the class name in
// capitals in any letter case, drawn fresh on a white 32 x 32 16-colour
// bitmap, kept when a class is registered again, refused for classes that
// cannot be on a palette.
#include <gtest/gtest.h>

#include <string>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

namespace tavkit {
namespace {

class TPaletteTestWidget : public TComponent {
 public:
  using TComponent::TComponent;
};

class TPaletteTestBare : public TComponent {
 public:
  using TComponent::TComponent;
};

class TPaletteTestFont : public TPersistent {};

void RegisterTestClasses() {
  RegisterClass<TPaletteTestWidget, TComponent>({});
  RegisterClass<TPaletteTestBare, TComponent>({});
  RegisterClass<TPaletteTestFont, TPersistent>({});
}

TEST(PaletteBitmap, IsDrawnOnAWhite16ColourSquareAndFoundByItsNameInAnyCase) {
  RegisterTestClasses();
  int painted = 0;
  TClassRegistry::Instance().SetPaletteIcon("TPaletteTestWidget", [&](TBitmap& bitmap) {
    ++painted;
    // What the painter is handed, before it draws anything.
    EXPECT_EQ(bitmap.GetPixel(0, 0), clWhite);
    EXPECT_EQ(bitmap.GetPixel(31, 31), clWhite);
    bitmap.Canvas().Brush().Color = clRed;
    bitmap.Canvas().FillRect(TRect{0, 0, 16, 32});
  });
  const TClassInfo* info = TClassRegistry::Instance().Find("TPaletteTestWidget");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->ResourceName(), "TPALETTETESTWIDGET");

  for (const char* name : {"TPALETTETESTWIDGET", "TPaletteTestWidget", "tpalettetestwidget"}) {
    auto bitmap = PaletteBitmap(name);
    ASSERT_NE(bitmap, nullptr) << name;
    EXPECT_EQ(bitmap->GetWidth(), 32);
    EXPECT_EQ(bitmap->GetHeight(), 32);
    EXPECT_EQ(bitmap->GetPixelFormat(), TPixelFormat::pf4bit);
    EXPECT_EQ(bitmap->GetPalette(), DefaultPalette(TPixelFormat::pf4bit));
    EXPECT_EQ(bitmap->GetPixel(15, 20), clRed);
    EXPECT_EQ(bitmap->GetPixel(16, 20), clWhite);
  }
  // Each request draws a bitmap of its own, which the caller may change.
  EXPECT_EQ(painted, 3);
}

TEST(PaletteBitmap, OnlyRegisteredComponentClassesHaveOne) {
  RegisterTestClasses();
  auto& registry = TClassRegistry::Instance();
  EXPECT_EQ(PaletteBitmap("TPALETTETESTBARE"), nullptr);
  EXPECT_EQ(PaletteBitmap("TNOSUCHCLASS"), nullptr);
  EXPECT_EQ(PaletteBitmap(""), nullptr);
  EXPECT_THROW(registry.SetPaletteIcon("TNoSuchClass", [](TBitmap&) {}), Exception);
  EXPECT_THROW(registry.SetPaletteIcon("TPaletteTestFont", [](TBitmap&) {}), Exception);
  EXPECT_EQ(PaletteBitmap("TPALETTETESTFONT"), nullptr);
}

TEST(PaletteBitmap, SurvivesRegisteringTheClassAgain) {
  RegisterTestClasses();
  auto& registry = TClassRegistry::Instance();
  RegisterComponents("Testing", {"TPaletteTestWidget"});
  registry.SetPaletteIcon("TPaletteTestWidget",
                          [](TBitmap& bitmap) { bitmap.Canvas().SetPixel(3, 4, clBlue); });
  RegisterTestClasses();
  const TClassInfo* info = registry.Find("TPaletteTestWidget");
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->PalettePage, "Testing");
  auto bitmap = PaletteBitmap("TPALETTETESTWIDGET");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->GetPixel(3, 4), clBlue);
}

}  // namespace
}  // namespace tavkit
