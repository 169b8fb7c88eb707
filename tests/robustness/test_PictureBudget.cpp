// Pictures read to be shown at a size of the reader's choosing: a GIF of a
// few dozen bytes claims a frame of 16384 x 16384 pixels, which once cost a
// gigabyte and seconds on every page that showed it. Within a decode budget
// such a picture is refused before its memory is taken; a data-bound image
// then shows no picture, as for an unreadable one, and the page is written.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/gif/GIFImage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/DecodeBudget.h>
#include <tavkit/platform/graphics/Picture.h>
#include <tavkit/tables/WvDBImage.h>

#include "tables/test_DBSupport.h"

namespace tavkit {
namespace {

// A GIF of side x side pixels in one frame whose data is a clear code and
// the end: a few bytes that claim side * side pixels.
std::string ClaimingGIF(int side) {
  const char lo = static_cast<char>(side & 0xFF), hi = static_cast<char>(side >> 8);
  std::string gif = "GIF89a";
  gif += {lo, hi, lo, hi, '\x80', 0, 0, 0, 0, 0, '\xFF', '\xFF', '\xFF'};
  gif += {',', 0, 0, 0, 0, lo, hi, lo, hi, 0};
  gif += {2, 1, '\x2C', 0, ';'};
  return gif;
}

std::string PngOf(int width, int height) {
  TBitmap bitmap(width, height, TPixelFormat::pf24bit);
  TMemoryStream png;
  bitmap.SaveToPNGStream(png);
  return png.ToString();
}

// What loading the bytes as a picture and making its bitmap gives within a
// budget of the pixels: the refusal's limit, or "" when it fits.
std::string RefusalWithin(const std::string& bytes, std::int64_t pixels) {
  TPicture picture;
  try {
    const TDecodeBudget budget("MaxElementPicturePixels", pixels);
    TMemoryStream stream;
    stream.WriteString(bytes);
    stream.SetPosition(0);
    picture.LoadFromStream(stream);
    picture.Bitmap();
  } catch (const ETooLarge& refusal) {
    return refusal.LimitName() + " " + std::to_string(refusal.LimitValue());
  }
  return "";
}

TEST(PictureBudget, FramesAndBitmapsCountAgainstTheBudgetOpenOnTheThread) {
  RegisterPackage();
  struct Case {
    std::string Bytes;
    std::int64_t Pixels;
    std::string Refusal;
  };
  // A PNG counts its pixels as it is read, its bitmap being the picture; a
  // GIF counts its frames, and its screen again as the bitmap is made.
  const Case cases[] = {
      {PngOf(100, 100), 10000, ""},
      {PngOf(100, 100), 9999, "MaxElementPicturePixels 9999"},
      {ClaimingGIF(100), 20000, ""},
      {ClaimingGIF(100), 19999, "MaxElementPicturePixels 19999"},
      {ClaimingGIF(16384), MaxElementPicturePixels, "MaxElementPicturePixels 33554432"},
  };
  const auto start = std::chrono::steady_clock::now();
  for (const Case& c : cases)
    EXPECT_EQ(RefusalWithin(c.Bytes, c.Pixels), c.Refusal) << c.Bytes.size() << " bytes";
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

  // Budgets nest, the innermost counting; without one nothing is counted.
  const TDecodeBudget outer("Outer", 100);
  {
    const TDecodeBudget inner("Inner", 10);
    EXPECT_EQ(testsupport::ErrorOf<EOutOfMemory>([] { TBitmap(4, 3); }),
              "Bitmap too large (4 x 3 pixels) for the picture budget");
    TBitmap fits(3, 3);
    EXPECT_EQ(inner.GetLeft(), 1);
  }
  TBitmap larger(9, 9);
  EXPECT_EQ(outer.GetLeft(), 19);
}

class PictureBudgetImage : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterPackage();
    oldInternal = WvGetInternalImagePath();
    WvSetInternalImagePath(db.Dir + "/images/");
    db.Exec(
        "CREATE TABLE pics (id INTEGER, pic GRAPHIC); INSERT INTO pics VALUES (1, ?);"
        "INSERT INTO pics VALUES (2, ?)",
        {ClaimingGIF(16384), PngOf(8, 8)});
    query = new TSQLiteQuery(&form);
    query->SetDatabaseFile(db.File);
    query->GetSQL()->SetText("SELECT pic FROM pics ORDER BY id");
    image = new TWvDBImage(&form);
    image->SetBounds(0, 0, 40, 30);
    image->SetField(query->FieldByName("pic"));
    query->Open();
  }
  void TearDown() override { WvSetInternalImagePath(oldInternal); }

  TTestDatabase db;
  std::string oldInternal;
  TComponent form{nullptr};
  TSQLiteQuery* query = nullptr;
  TWvDBImage* image = nullptr;
};

TEST_F(PictureBudgetImage, APictureBeyondTheBudgetIsNotShownAndThePageGoesOn) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(db.Images().empty());
  // The next record's picture fits and is written.
  query->Next();
  EXPECT_NE(image->put(nullptr), "<IMG SRC=\"\"    BORDER=0 >");
  EXPECT_EQ(db.Images().size(), 1u);
}

}  // namespace
}  // namespace tavkit
