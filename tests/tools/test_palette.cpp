// The palette pictures of the package and the tavkit palette command: every
// component on every palette page has a 32 x 32 16-colour bitmap of its own
// under its class name in capitals, and the command writes exactly those
// pictures as PNG files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <tavkit/package/Package.h>
#include <tavkit/package/Palette.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include "TestSupport.h"
#include "tools/TavkitProgram.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using testsupport::LoadPNG;
using tooltest::Outcome;

std::vector<std::string> Names(const std::vector<const TClassInfo*>& classes) {
  std::vector<std::string> names;
  for (const TClassInfo* info : classes) names.push_back(info->Name);
  return names;
}

std::vector<std::uint32_t> Pixels(const TBitmap& bitmap) {
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < bitmap.GetHeight(); ++y)
    for (int x = 0; x < bitmap.GetWidth(); ++x) pixels.push_back(bitmap.GetPixel(x, y));
  return pixels;
}

TEST(Palette, PagesHoldTheComponentsOfThePackage) {
  RegisterPackage();
  EXPECT_EQ(Palette::Pages(),
            (std::vector<std::string>{"Taveno", "Standard", "Additional", "Data Access"}));
  auto& registry = TClassRegistry::Instance();
  EXPECT_EQ(Names(registry.PaletteComponents("Taveno")),
            (std::vector<std::string>{
                "TWvOptimizer",    "TWvJavascript",        "TWvPage",       "TWvPanel",
                "TWvTemplate",     "TWvStandardComponent", "TWvText",       "TWvImage",
                "TWvImageMap",     "TWvJavaApplet",        "TWvVCLWrapper", "TWvInputForm",
                "TWvSubmitButton", "TWvTextInputField",    "TWvTextArea",   "TWvCheckBox",
                "TWvRadioButton",  "TWvDropDownlist",      "TWvListBox",    "TWvTable",
                "TWvDBTable",      "TWvDBPanel",           "TWvDBText",     "TWvDBImage",
                "TWvCGI"}));
  EXPECT_EQ(Names(registry.PaletteComponents("Standard")),
            (std::vector<std::string>{"TPanel", "TLabel", "TButton", "TShape"}));
  EXPECT_EQ(Names(registry.PaletteComponents("Additional")),
            (std::vector<std::string>{"TBarChart"}));
  EXPECT_EQ(Names(registry.PaletteComponents("Data Access")),
            (std::vector<std::string>{"TDataSource", "TSQLiteQuery", "TPgQuery"}));
  EXPECT_EQ(Palette::Components().size(), 33u);
}

TEST(Palette, EveryComponentHasAPictureOfItsOwn) {
  RegisterPackage();
  RegisterPackage();  // registering again keeps every picture
  std::set<std::vector<std::uint32_t>> seen;
  for (const TClassInfo* info : Palette::Components()) {
    SCOPED_TRACE(info->Name);
    std::string resource = info->ResourceName();
    std::string upper;
    for (char ch : info->Name) upper += static_cast<char>(std::toupper(ch));
    EXPECT_EQ(resource, upper);
    auto bitmap = PaletteBitmap(resource);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetWidth(), 32);
    EXPECT_EQ(bitmap->GetHeight(), 32);
    EXPECT_EQ(bitmap->GetPixelFormat(), TPixelFormat::pf4bit);
    EXPECT_EQ(bitmap->GetPalette(), DefaultPalette(TPixelFormat::pf4bit));
    std::vector<std::uint32_t> pixels = Pixels(*bitmap);
    EXPECT_GE(std::set<std::uint32_t>(pixels.begin(), pixels.end()).size(), 3u);
    EXPECT_TRUE(seen.insert(pixels).second) << "the same picture as another component";
    // The lower-case name finds the same picture: lookups ignore letter case.
    std::string lower;
    for (char ch : resource) lower += static_cast<char>(std::tolower(ch));
    auto again = PaletteBitmap(lower);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Pixels(*again), pixels);
  }
}

class PaletteCommand : public tooltest::TavkitProgramTest {
 protected:
  PaletteCommand() : TavkitProgramTest("tavkit-palette") {}
};

TEST_F(PaletteCommand, WritesEveryPictureAsAPNGAndNamesEachFile) {
  RegisterPackage();
  fs::path icons = dir / "icons" / "new";  // made by the command, parents too
  Outcome run = Tavkit("palette -o '" + icons.string() + "'");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  std::string expected;
  for (const TClassInfo* info : Palette::Components())
    expected += (icons / (info->ResourceName() + ".png")).string() + "\n";
  EXPECT_EQ(run.Out, expected);
  int files = 0;
  for (const TClassInfo* info : Palette::Components()) {
    SCOPED_TRACE(info->Name);
    auto written = LoadPNG(icons / (info->ResourceName() + ".png"));
    auto bitmap = PaletteBitmap(info->ResourceName());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(written->GetPixelFormat(), TPixelFormat::pf4bit);
    EXPECT_EQ(Pixels(*written), Pixels(*bitmap));
    ++files;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(icons), fs::directory_iterator()), files);
}

TEST_F(PaletteCommand, WritesOnePageAndAContactSheet) {
  fs::path icons = dir / "icons";
  fs::path sheet = dir / "sheet.png";
  Outcome run = Tavkit("palette --page Standard -o '" + icons.string() + "' --sheet '" +
                       sheet.string() + "'");
  ASSERT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, (icons / "TPANEL.png").string() + "\n" + (icons / "TLABEL.png").string() +
                         "\n" + (icons / "TBUTTON.png").string() + "\n" +
                         (icons / "TSHAPE.png").string() + "\n" + sheet.string() + "\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(icons), fs::directory_iterator()), 4);
  // The sheet shows the icons twice their size: the second row of the
  // panel's picture starts at twice its own offset.
  auto sheetPicture = LoadPNG(sheet);
  auto panelPicture = LoadPNG(icons / "TPANEL.png");
  const TBitmap& picture = *sheetPicture;
  const TBitmap& panel = *panelPicture;
  EXPECT_GT(picture.GetWidth(), 4 * 64);
  EXPECT_GT(picture.GetHeight(), 64);
  bool found = false;
  for (int y = 0; y + 64 <= picture.GetHeight() && !found; ++y)
    for (int x = 0; x + 64 <= picture.GetWidth() && !found; ++x) {
      found = true;
      for (int py = 0; py < 32 && found; ++py)
        for (int px = 0; px < 32 && found; ++px) {
          TColor want = panel.GetPixel(px, py);
          found = picture.GetPixel(x + 2 * px, y + 2 * py) == want &&
                  picture.GetPixel(x + 2 * px + 1, y + 2 * py + 1) == want;
        }
    }
  EXPECT_TRUE(found) << "the panel's picture is not on the sheet at twice its size";
}

TEST_F(PaletteCommand, ExplainsItselfAndRefusesBadArguments) {
  Outcome help = Tavkit("palette --help");
  EXPECT_EQ(help.Status, 0);
  EXPECT_EQ(help.Out.rfind("usage: tavkit palette -o DIR [--page NAME] [--sheet FILE.png]\n", 0),
            0u);
  EXPECT_EQ(help.Err, "");

  std::string out = "-o '" + (dir / "icons").string() + "'";
  const std::pair<std::string, std::string> refusals[] = {
      {"palette", "error: -o DIR is required\n"},
      {"palette -o", "error: option -o needs a value\n"},
      {"palette " + out + " --colour 4", "error: unknown option --colour\n"},
      {"palette " + out + " extra", "error: unexpected argument extra\n"},
      {"palette " + out + " --page Nowhere", "error: there is no palette page named Nowhere\n"},
  };
  for (const auto& [arguments, message] : refusals) {
    Outcome run = Tavkit(arguments);
    EXPECT_EQ(run.Status, 2) << arguments;
    EXPECT_EQ(run.Err, message) << arguments;
    EXPECT_EQ(run.Out, "") << arguments;
  }
  EXPECT_FALSE(fs::exists(dir / "icons"));

  // A folder that cannot be made is a failure, not a usage error.
  std::ofstream(dir / "file") << "x";
  Outcome blocked = Tavkit("palette -o '" + (dir / "file" / "icons").string() + "'");
  EXPECT_EQ(blocked.Status, 1);
  EXPECT_EQ(
      blocked.Err.rfind("error: cannot make the folder " + (dir / "file" / "icons").string(), 0),
      0u);
}

}  // namespace
}  // namespace tavkit
