// Every limit of the limits table refuses with ETooLarge naming itself, and
// still as the exception its place raised before, so that handlers of either
// kind see the refusal.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/gif/GIFImage.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvStandardComponent.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/base/Registry.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

struct LimitCase {
  const char* Limit;
  std::function<void()> Provoke;
  // True when the refusal is also of the type this place always raised.
  std::function<bool(const std::exception&)> OfOldType;
  std::int64_t Value;
};

template <class E>
std::function<bool(const std::exception&)> Is() {
  return [](const std::exception& e) { return dynamic_cast<const E*>(&e) != nullptr; };
}

// A GIF whose first frame claims 65535 x 65535 pixels, and nothing after.
std::string HugeFrameGif() {
  std::string gif = "GIF89a";
  gif += std::string("\x01\x00\x01\x00\x00\x00\x00", 7);
  gif += std::string("\x2C\x00\x00\x00\x00\xFF\xFF\xFF\xFF\x00\x02", 11);
  return gif;
}

void LoadGif(const std::string& bytes) {
  TMemoryStream stream;
  stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  stream.SetPosition(0);
  TGIFImage image;
  image.LoadFromStream(stream);
}

// A page of `count` tall elements side by side with gaps between them: an
// empty cell in every gap of every row, some 9 * count * count bytes.
void PutCombPage(int count) {
  TComponent form(nullptr);
  auto* page = new TWvPage(&form);
  page->SetBounds(0, 0, 2 * count + 2, 2 * count + 2);
  for (int i = 1; i <= count; ++i) {
    auto* element = new TWvStandardComponent(&form);
    element->SetParent(page);
    element->SetBounds(2 * i, i, 1, count + 1);
  }
  page->put(nullptr);
}

void ReadPostBody(std::int64_t announced) {
  TComponent owner(nullptr);
  TWvCGI cgi(&owner);
  const std::string length = std::to_string(announced);
  cgi.SetEnvironment([&](const std::string& name) -> std::optional<std::string> {
    if (name == "REQUEST_METHOD") return "POST";
    if (name == "CONTENT_TYPE") return "application/x-www-form-urlencoded";
    if (name == "CONTENT_LENGTH") return length;
    return std::nullopt;
  });
  cgi.FormVar("name", "");
}

TEST(Limits, EveryRefusalIsTooLargeAndOfItsOldTypeToo) {
  RegisterPackage();
  const LimitCase cases[] = {
      {"MaxFormFileSize",
       [] {
         TComponent form(nullptr);
         LoadFormFromText(std::string(MaxFormFileSize + 1, ' '), form);
       },
       Is<EFormFileError>(), MaxFormFileSize},
      {"MaxFormJsonDepth",
       [] {
         TComponent form(nullptr);
         LoadFormFromText(std::string(300, '[') + std::string(300, ']'), form);
       },
       Is<EFormFileError>(), MaxFormJsonDepth},
      {"MaxFormNesting",
       [] {
         TComponent form(nullptr);
         LoadFormFromText(testsupport::NestedFormText("TWvPanel", MaxFormNesting + 1), form);
       },
       Is<EFormFileError>(), MaxFormNesting},
      {"MaxBitmapSide", [] { TBitmap bitmap(MaxBitmapSide + 1, 1, TPixelFormat::pf8bit); },
       Is<EOutOfMemory>(), MaxBitmapSide},
      {"MaxBitmapBytes", [] { TBitmap bitmap(1 << 16, 1 << 16, TPixelFormat::pf32bit); },
       Is<EOutOfMemory>(), MaxBitmapBytes},
      {"MaxGIFFramePixels", [] { LoadGif(HugeFrameGif()); }, Is<GIFException>(), MaxGIFFramePixels},
      {"MaxLayoutMarkup", [] { PutCombPage(3000); }, Is<Exception>(), MaxLayoutMarkup},
      {"MaxCGIContentLength", [] { ReadPostBody(MaxCGIContentLength + 1); }, Is<Exception>(),
       MaxCGIContentLength},
  };
  for (const auto& c : cases) {
    try {
      c.Provoke();
      ADD_FAILURE() << c.Limit << ": nothing was refused";
    } catch (const std::exception& e) {
      const auto* tooLarge = dynamic_cast<const ETooLarge*>(&e);
      ASSERT_NE(tooLarge, nullptr) << c.Limit << ": refused as something else: " << e.what();
      EXPECT_EQ(tooLarge->LimitName(), c.Limit);
      EXPECT_EQ(tooLarge->LimitValue(), c.Value) << c.Limit;
      EXPECT_EQ(tooLarge->Message(), e.what()) << c.Limit;
      EXPECT_TRUE(c.OfOldType(e)) << c.Limit << ": no longer of its old type";
    }
  }
}

// A component whose one property draws a square picture of that side.
class TLimitsTestSquare : public TComponent {
 public:
  using TComponent::TComponent;
  int GetSide() const { return FSide; }
  void SetSide(int side) {
    TBitmap picture(side, side, TPixelFormat::pf8bit);
    FSide = side;
  }

 private:
  int FSide = 0;
};

TEST(Limits, ARefusalMetWhileAFormIsReadStaysTooLargeAndNamesThePlace) {
  RegisterClass<TLimitsTestSquare, TComponent>({props::Integer<TLimitsTestSquare>(
      "Side", &TLimitsTestSquare::GetSide, &TLimitsTestSquare::SetSide)});
  TComponent form(nullptr);
  try {
    LoadFormFromText(R"({"form": "F", "components": [{"class": "TLimitsTestSquare",
      "name": "Square", "properties": {"Side": 20000000}}]})",
                     form);
    FAIL() << "a side of 20000000 was accepted";
  } catch (const EFormFileError& e) {
    const auto* tooLarge = dynamic_cast<const ETooLarge*>(&e);
    ASSERT_NE(tooLarge, nullptr) << e.what();
    EXPECT_EQ(tooLarge->LimitName(), "MaxBitmapSide");
    EXPECT_EQ(std::string(e.what()),
              "Form file: component Square (TLimitsTestSquare), property Side: Bitmap too large "
              "(20000000x20000000)");
  }
  EXPECT_EQ(form.ComponentCount(), 0);
}

}  // namespace
}  // namespace tavkit
