// The fuzz targets' own inputs, run again in the test build: the seed pages
// and any saved regression pages through the same page builder, and the seed
// form files (the examples and the forms of the tests) through the same
// load, save, load, save cycle. Here they run under GCC's sanitizers, so what
// the clang-built fuzzers missed still has a second chance to show.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <tavkit/package/Package.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "PageBuilder.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;

// The files of fuzz/<kind>/<target>, sorted; none when the folder is absent.
std::vector<fs::path> Inputs(const std::string& kind, const std::string& target) {
  std::vector<fs::path> files;
  const fs::path folder = fs::path(TAVKIT_SOURCE_DIR) / "fuzz" / kind / target;
  if (!fs::is_directory(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FuzzInputs : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RegisterPackage();
    fuzz::UseScratchImageFolder();
  }
  static void TearDownTestSuite() {
    fuzz::ClearScratchImages();
    std::error_code error;
    fs::remove(WvGetInternalImagePath(), error);
  }
};

TEST_F(FuzzInputs, SeedAndRegressionPagesAreBuiltAndWritten) {
  std::vector<fs::path> files = Inputs("corpus", "fuzz_page");
  const std::vector<fs::path> regressions = Inputs("regressions", "fuzz_page");
  files.insert(files.end(), regressions.begin(), regressions.end());
  ASSERT_GE(files.size(), 100u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    const std::string bytes = Contents(file);
    EXPECT_NO_THROW(
        fuzz::BuildAndWritePage(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    fuzz::ClearScratchImages();
  }
}

TEST_F(FuzzInputs, SeedFormsSaveAndLoadToTheSameText) {
  int loaded = 0;
  for (const fs::path& file : Inputs("corpus", "fuzz_form_load")) {
    SCOPED_TRACE(file.string());
    TComponent form(nullptr);
    try {
      LoadFormFromText(Contents(file), form);
    } catch (const EFormFileError& e) {
      // Broken forms of the form-file tests, and forms of classes that only
      // their own tests register; the examples are neither.
      EXPECT_EQ(form.ComponentCount(), 0);
      const std::string name = file.filename().string();
      EXPECT_TRUE(name != "hello.json" && name != "showcase.json" && name != "floorplan.json")
          << e.Message();
      continue;
    }
    ++loaded;
    const std::string saved = SaveForm(form);
    TComponent again(nullptr);
    LoadFormFromText(saved, again);
    EXPECT_EQ(SaveForm(again), saved);
  }
  EXPECT_GE(loaded, 3);
}

}  // namespace
}  // namespace tavkit
