// Input made to exhaust memory or time: form files beyond the size limit
// read from files and streams, forms with too many components, long JSON
// arrays, and pages whose table markup would grow with the square of their
// elements. Each is refused with a clear error, quickly, and leaves nothing
// behind.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include <tavkit/layout/WvPage.h>
#include <tavkit/layout/WvStandardComponent.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::ErrorOf;
using testsupport::kNoError;

// A stream that claims more bytes than any form may have and counts the
// reads it is asked for.
class TBoundlessStream : public TStream {
 public:
  std::int64_t Read(void*, std::int64_t count) override {
    ++Reads;
    return count;
  }
  std::int64_t Write(const void*, std::int64_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    if (origin == TSeekOrigin::soEnd)
      FPosition = MaxFormFileSize + 1 + offset;
    else if (origin == TSeekOrigin::soBeginning)
      FPosition = offset;
    else
      FPosition += offset;
    return FPosition;
  }
  int Reads = 0;

 private:
  std::int64_t FPosition = 0;
};

TEST(HostileFormFiles, TooLargeFilesAndStreamsAreRefusedBeforeReading) {
  const auto path = std::filesystem::temp_directory_path() / "tavkit-robustness-huge.json";
  { TFileStream file(path.string(), fmCreate); }
  std::filesystem::resize_file(path, MaxFormFileSize + 1);  // sparse: no disk, no memory
  TComponent form(nullptr);
  EXPECT_EQ(ErrorOf([&] { LoadForm(path.string(), form); }),
            "Form file " + path.string() + ": the file is larger than 67108864 bytes");
  std::filesystem::remove(path);

  TBoundlessStream stream;
  EXPECT_EQ(ErrorOf([&] { LoadFormFromStream(stream, form); }),
            "Form file: the file is larger than 67108864 bytes");
  EXPECT_EQ(stream.Reads, 0);
  EXPECT_EQ(form.ComponentCount(), 0);
}

std::string FormOf(int components) {
  std::string text = R"({"form": "F", "components": [)";
  for (int i = 0; i < components; ++i)
    text += std::string(i == 0 ? "" : ",") + R"({"class": "TWvCGI"})";
  return text + "]}";
}

TEST(HostileFormFiles, ComponentsBeyondTheLimitAreRefused) {
  RegisterPackage();
  TComponent form(nullptr);
  LoadFormFromText(FormOf(MaxFormComponents), form);
  EXPECT_EQ(form.ComponentCount(), MaxFormComponents);

  TComponent crowded(nullptr);
  EXPECT_EQ(ErrorOf([&] { LoadFormFromText(FormOf(MaxFormComponents + 1), crowded); }),
            "Form file: the form holds more than 10000 components");
  EXPECT_EQ(crowded.ComponentCount(), 0);
  EXPECT_EQ(crowded.GetName(), "");
}

TEST(HostileFormFiles, LongArraysCostTheirLengthNotItsSquare) {
  // Four hundred thousand objects in one array: a parse that looks through
  // the array once per element takes minutes, a linear one a fraction of a
  // second.
  std::string text = R"({"form": "F", "x": [)";
  for (int i = 0; i < 400000; ++i) text += i == 0 ? "{}" : ",{}";
  text += "]}";
  TComponent form(nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ErrorOf([&] { LoadFormFromText(text, form); }), "Form file: unknown key \"x\"");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  // The nesting limit still holds, also behind a long array.
  std::string deep =
      R"({"form": "F", "x": [)" + std::string(300, '[') + std::string(300, ']') + "]}";
  EXPECT_EQ(ErrorOf([&] { LoadFormFromText(deep, form); }),
            "Form file: values are nested deeper than 256 levels");
}

// count elements down the diagonal, one every step pixels, each size by size.
TWvPage* Diagonal(TComponent& form, int count, int step, int size) {
  auto* page = new TWvPage(&form);
  page->SetName("Crowded");
  page->SetBounds(0, 0, count * step + size + 1, count * step + size + 1);
  for (int i = 1; i <= count; ++i) {
    auto* element = new TWvStandardComponent(&form);
    element->SetParent(page);
    element->SetBounds(i * step, i * step, size, size);
  }
  return page;
}

// count tall elements side by side with a gap between every two, each
// starting one pixel lower than the last: every row has an empty cell in
// every gap beside the elements it crosses.
TWvPage* Comb(TComponent& form, int count) {
  auto* page = new TWvPage(&form);
  page->SetName("Comb");
  page->SetBounds(0, 0, 2 * count + 2, 2 * count + 2);
  for (int i = 1; i <= count; ++i) {
    auto* element = new TWvStandardComponent(&form);
    element->SetParent(page);
    element->SetBounds(2 * i, i, 1, count + 1);
  }
  return page;
}

TEST(HostileLayouts, TheTableCostsWhatItWritesAndOnlyMarkupBeyondTheLimitIsRefused) {
  // Thousands of elements at distinct places, spread out or stacked on one
  // another: once refused for the square of their grid lines, now written
  // in time with their markup.
  const auto start = std::chrono::steady_clock::now();
  TComponent wide(nullptr);
  EXPECT_EQ(ErrorOf([&] { Diagonal(wide, 4000, 2, 1)->put(nullptr); }), kNoError);
  TComponent overlapping(nullptr);
  EXPECT_EQ(ErrorOf([&] { Diagonal(overlapping, 4000, 1, 100000)->put(nullptr); }), kNoError);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

  // Markup that does grow with the square of the elements is refused before
  // any element is written.
  TComponent comb(nullptr);
  EXPECT_EQ(ErrorOf([&] { Comb(comb, 3000)->put(nullptr); }),
            "The table of Comb needs more than 67108864 bytes of rows and empty cells");
}

}  // namespace
}  // namespace tavkit
