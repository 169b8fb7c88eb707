// Server images: the GIF bytes written for a bitmap, file names and web
// paths, stretching, failures that must give an empty path, processes
// writing into one folder at once, the clean-up of old pictures, and the
// command-line encoder writing the same bytes as the library.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <tavkit/core/WvGifMaker.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/gif/GIF.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A folder of its own per test, and the image paths put back afterwards.
class ServerImages : public ::testing::Test {
 protected:
  void SetUp() override {
    FSavedInternal = WvGetInternalImagePath();
    FSavedExternal = WvGetExternalImagePath();
    FFolder = fs::temp_directory_path() /
              ("tavkit-images-" + std::to_string(getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FFolder);
    WvSetInternalImagePath(FFolder.string() + "/");
    WvSetExternalImagePath("/pictures/");
  }
  void TearDown() override {
    WvSetInternalImagePath(FSavedInternal);
    WvSetExternalImagePath(FSavedExternal);
    fs::remove_all(FFolder);
  }

  std::vector<fs::path> Files() const {
    std::vector<fs::path> files;
    if (fs::exists(FFolder))
      for (const auto& entry : fs::directory_iterator(FFolder)) files.push_back(entry.path());
    return files;
  }

  fs::path FFolder;
  std::string FSavedInternal;
  std::string FSavedExternal;
};

Bytes ReadBytes(const fs::path& path) {
  TMemoryStream stream;
  stream.LoadFromFile(path.string());
  return stream.Bytes();
}

// A 24-bit bitmap whose pixels are the given colours, row by row.
std::unique_ptr<TBitmap> TrueColour(int width, int height, const std::vector<TColor>& colours) {
  auto bitmap = std::make_unique<TBitmap>(width, height, TPixelFormat::pf24bit);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      bitmap->SetPixel(x, y, colours[static_cast<std::size_t>(y * width + x)]);
  return bitmap;
}

void WriteText(const fs::path& path, const std::string& text) {
  TMemoryStream(Bytes(text.begin(), text.end())).SaveToFile(path.string());
}

// What the library writes for a 2 by 2 picture of red, green, blue and
// white: GIF87a, a 2 by 2 screen without a global table, one frame with the
// 216 web colours (padded with black to 256) and its four indices 180, 30,
// 5 and 215 as 9-bit LZW codes.
Bytes ExpectedTwoByTwo() {
  Bytes bytes = {'G', 'I',  'F', '8', '7', 'a', 2, 0, 2, 0, 0x77, 0,
                 0,   0x2C, 0,   0,   0,   0,   2, 0, 2, 0, 0x87};
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                      static_cast<std::uint8_t>(b * 51)});
  bytes.insert(bytes.end(), 40 * 3, 0);
  bytes.insert(bytes.end(), {8, 7, 0x00, 0x69, 0x79, 0x28, 0x70, 0x2D, 0x20, 0, 0x3B});
  return bytes;
}

TEST_F(ServerImages, GifOfATrueColourBitmapHasTheWebColoursAndTheirIndices) {
  auto picture = TrueColour(2, 2, {clRed, clLime, clBlue, clWhite});
  TBitmap& bitmap = *picture;
  TMemoryStream stream;
  WvGifToStream(bitmap, stream);
  EXPECT_EQ(stream.Bytes(), ExpectedTwoByTwo());
  EXPECT_EQ(bitmap.GetPixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(bitmap.GetPixel(1, 1), clWhite);
}

TEST_F(ServerImages, GifToFileReplacesAFileButKeepsItWhenThePictureCannotBeEncoded) {
  const fs::path file = FFolder / "picture.gif";
  fs::create_directories(FFolder);
  WriteText(file, "old");
  auto picture = TrueColour(2, 2, {clRed, clLime, clBlue, clWhite});
  TBitmap& bitmap = *picture;
  WvGifToFile(bitmap, file.string());
  EXPECT_EQ(ReadBytes(file), ExpectedTwoByTwo());

  WriteText(file, "old");
  TBitmap tooWide(70000, 1, TPixelFormat::pf24bit);
  EXPECT_THROW(WvGifToFile(tooWide, file.string()), Exception);
  EXPECT_EQ(ReadBytes(file), Bytes({'o', 'l', 'd'}));
}

TEST_F(ServerImages, GeneratedImageIsANewGifUnderTheWebPath) {
  auto picture = TrueColour(2, 2, {clRed, clLime, clBlue, clWhite});
  TBitmap& bitmap = *picture;
  const std::string path = WvGenerateServerImage(bitmap, 999, 999, false);
  const std::regex shape("/pictures/(AG(\\d+)_(\\d+)\\.gif)");
  std::smatch parts;
  ASSERT_TRUE(std::regex_match(path, parts, shape)) << path;
  EXPECT_LE(std::stol(parts[2]), 99999998);
  EXPECT_LE(std::stol(parts[3]), 99999998);
  const std::vector<fs::path> files = Files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].filename().string(), parts[1].str());
  // Without stretching, width and height play no part.
  EXPECT_EQ(ReadBytes(files[0]), ExpectedTwoByTwo());
}

TEST_F(ServerImages, MissingFoldersAreMadeOnTheWay) {
  WvSetInternalImagePath((FFolder / "deep" / "er").string() + "/");
  auto picture = TrueColour(1, 1, {clRed});
  TBitmap& bitmap = *picture;
  EXPECT_NE(WvGenerateServerImage(bitmap, 0, 0, false), "");
  EXPECT_EQ(std::distance(fs::directory_iterator(FFolder / "deep" / "er"), {}), 1);
}

TEST_F(ServerImages, DefaultPathsPutThePictureBesideTheProgram) {
  const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path() / "images";
  EXPECT_EQ(FSavedInternal, folder.string() + "/");
  EXPECT_EQ(FSavedExternal, "/images/");
  WvSetInternalImagePath(FSavedInternal);
  WvSetExternalImagePath(FSavedExternal);
  auto picture = TrueColour(1, 1, {clBlue});
  TBitmap& bitmap = *picture;
  const std::string path = WvGenerateServerImage(bitmap, 0, 0, false);
  ASSERT_TRUE(std::regex_match(path, std::regex("/images/AG\\d+_\\d+\\.gif"))) << path;
  const fs::path file = folder / path.substr(8);
  EXPECT_TRUE(fs::is_regular_file(file));
  fs::remove(file);
  std::error_code notEmpty;
  fs::remove(folder, notEmpty);
}

TEST_F(ServerImages, StretchingDrawsThePictureAtTheGivenSize) {
  auto picture = TrueColour(10, 10, std::vector<TColor>(100, clRed));
  TBitmap& bitmap = *picture;
  for (int y = 0; y < 10; ++y) bitmap.SetPixel(0, y, clBlue);
  const std::string path = WvGenerateServerImage(bitmap, 100, 50, true);
  ASSERT_NE(path, "");
  TGIFImage image;
  image.LoadFromFile((FFolder / path.substr(10)).string());
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  const TGIFSubImage& frame = *image.GetImages().GetImage(0);
  EXPECT_EQ(image.GetWidth(), 100);
  EXPECT_EQ(image.GetHeight(), 50);
  EXPECT_EQ(frame.GetWidth(), 100);
  EXPECT_EQ(frame.GetHeight(), 50);
  // The picture is drawn into a display bitmap, whose few colours are kept
  // exactly. The blue first column becomes ten columns wide, the rest stays
  // red.
  TGIFColorMap& colours = image.GetImages().GetImage(0)->GetColorMap();
  EXPECT_EQ(colours.GetCount(), 2);
  EXPECT_EQ(colours.GetColor(frame.GetPixel(0, 0)), clBlue);
  EXPECT_EQ(colours.GetColor(frame.GetPixel(9, 49)), clBlue);
  EXPECT_EQ(colours.GetColor(frame.GetPixel(10, 0)), clRed);
  EXPECT_EQ(colours.GetColor(frame.GetPixel(99, 49)), clRed);
}

// A photograph has far more colours than a display bitmap brings into one
// GIF frame; stretched, it is still written, in the web colours of its
// pixels (a table of 256 as read back). A display bitmap of as many colours
// given unstretched cannot be written at all.
TEST_F(ServerImages, StretchedPhotographOfManyColoursIsWrittenReduced) {
  TBitmap photo(64, 48, TPixelFormat::pf24bit);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      photo.SetPixel(x, y,
                     RGB(static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 5),
                         static_cast<std::uint8_t>(x * y)));
  const std::string path = WvGenerateServerImage(photo, 128, 96, true);
  ASSERT_NE(path, "");
  TGIFImage image;
  image.LoadFromFile((FFolder / path.substr(10)).string());
  ASSERT_EQ(image.GetImages().GetCount(), 1);
  TGIFSubImage& frame = *image.GetImages().GetImage(0);
  EXPECT_EQ(frame.GetWidth(), 128);
  EXPECT_EQ(frame.GetHeight(), 96);
  TGIFColorMap& colours = frame.GetColorMap();
  EXPECT_EQ(colours.GetCount(), 256);
  // Pixel (2x, 2y) shows source pixel (x, y) in its nearest web colour.
  const auto level = [](int c) { return ((c + 3) / 51) * 51; };
  for (int y = 0; y < 48; y += 7)
    for (int x = 0; x < 64; x += 9)
      ASSERT_EQ(
          colours.GetColor(frame.GetPixel(2 * x, 2 * y)),
          RGB(static_cast<std::uint8_t>(level(x * 4)), static_cast<std::uint8_t>(level(y * 5)),
              static_cast<std::uint8_t>(level((x * y) & 0xFF))))
          << x << "," << y;

  TBitmap display(64, 48);
  display.Canvas().Draw(0, 0, photo);
  EXPECT_EQ(WvGenerateServerImage(display, 0, 0, false), "");
  EXPECT_EQ(Files().size(), 1u);
}

TEST_F(ServerImages, AnyFailureGivesAnEmptyPathAndNoFile) {
  auto picture = TrueColour(1, 1, {clRed});
  TBitmap& bitmap = *picture;
  // A folder that cannot exist: its parent is a file.
  fs::create_directories(FFolder);
  WriteText((FFolder / "file"), "x");
  WvSetInternalImagePath((FFolder / "file" / "images").string() + "/");
  EXPECT_EQ(WvGenerateServerImage(bitmap, 0, 0, false), "");
  WvSetInternalImagePath("");
  EXPECT_EQ(WvGenerateServerImage(bitmap, 0, 0, false), "");

  WvSetInternalImagePath(FFolder.string() + "/");
  TBitmap empty;
  EXPECT_EQ(WvGenerateServerImage(empty, 0, 0, false), "");
  EXPECT_EQ(WvGenerateServerImage(bitmap, 0, 10, true), "");
  EXPECT_EQ(WvGenerateServerImage(bitmap, -5, 10, true), "");
  TBitmap tooWide(70000, 1, TPixelFormat::pf24bit);
  EXPECT_EQ(WvGenerateServerImage(tooWide, 0, 0, false), "");
  EXPECT_EQ(Files(), std::vector<fs::path>{FFolder / "file"});
}

TEST_F(ServerImages, AFailureIsOneLineInTheErrorLogNamingTheFileAndTheCause) {
  auto picture = TrueColour(1, 1, {clRed});
  fs::create_directories(FFolder / "disk");
  WriteText(FFolder / "file", "x");
  const bool mounted = mount("tmpfs", (FFolder / "disk").c_str(), "tmpfs", 0, "size=4k") == 0;
  if (mounted) WriteText(FFolder / "disk" / "fill", std::string(4096, 'x'));
  struct Case {
    fs::path Folder;
    std::string Cause;
  };
  std::vector<Case> cases = {{FFolder / "file", "Not a directory"}};
  if (mounted) cases.push_back({FFolder / "disk", "No space left on device"});
  for (const Case& failing : cases) {
    WvSetInternalImagePath(failing.Folder.string() + "/");
    std::vector<std::string> lines;
    {
      testsupport::TCapturedErrorLog log;
      EXPECT_EQ(WvGenerateServerImage(*picture, 0, 0, false), "");
      lines = log.Lines;
    }
    ASSERT_EQ(lines.size(), 1u) << failing.Folder;
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex("error: cannot write a server image: Cannot (create|write) file \"" +
                             failing.Folder.string() + "/AG[0-9]+_[0-9]+\\.gif\": " + failing.Cause)))
        << lines[0];
  }
  if (mounted) umount((FFolder / "disk").c_str());
}

TEST_F(ServerImages, AFolderNamedWithoutItsFinalSeparatorIsStillTheFolder) {
  auto picture = TrueColour(1, 1, {clRed});
  WvSetInternalImagePath(FFolder.string());
  EXPECT_EQ(WvGetInternalImagePath(), FFolder.string() + "/");
  const std::string path = WvGenerateServerImage(*picture, 0, 0, false);
  ASSERT_EQ(path.rfind("/pictures/AG", 0), 0u) << path;
  EXPECT_TRUE(fs::exists(FFolder / path.substr(std::string("/pictures/").size())));
}

TEST_F(ServerImages, RandomNamesHaveTheirShapeAndDoNotRepeat) {
  std::set<std::string> names;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = WvGenerateRandomFilename("AG", "gif");
    ASSERT_TRUE(std::regex_match(name, std::regex("AG(0|[1-9]\\d{0,7})_(0|[1-9]\\d{0,7})\\.gif")))
        << name;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 2000u);
  EXPECT_TRUE(
      std::regex_match(WvGenerateRandomFilename("x", "png"), std::regex("x\\d+_\\d+\\.png")));
}

// CGI programs start many at a time and write into one folder; every
// picture of every process must arrive whole, none overwriting another.
TEST_F(ServerImages, ProcessesWritingAtOnceLoseNoPicture) {
  constexpr int kProcesses = 8, kImages = 200;
  TBitmap bitmap(40, 30, TPixelFormat::pf24bit);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      bitmap.SetPixel(x, y,
                      RGB(static_cast<std::uint8_t>(x * 6), static_cast<std::uint8_t>(y * 8),
                          static_cast<std::uint8_t>(x ^ y)));
  TMemoryStream expected;
  WvGifToStream(bitmap, expected);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::set<std::string> paths;
      for (int i = 0; i < kImages; ++i) paths.insert(WvGenerateServerImage(bitmap, 0, 0, false));
      _exit(paths.size() == kImages && paths.count("") == 0 ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::vector<fs::path> files = Files();
  ASSERT_EQ(files.size(), static_cast<std::size_t>(kProcesses * kImages));
  for (const fs::path& file : files) {
    ASSERT_EQ(ReadBytes(file), expected.Bytes()) << file;
    TGIFImage image;
    image.LoadFromFile(file.string());
    ASSERT_EQ(image.GetImages().GetCount(), 1) << file;
    ASSERT_EQ(image.GetWidth(), 40) << file;
  }
}

class CleanupTempResources : public ServerImages {
 protected:
  // A file whose last change lies `minutes` in the past.
  void Make(const std::string& name, int minutes) {
    fs::create_directories(FFolder);
    const fs::path path = FFolder / name;
    WriteText(path, "GIF");
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(minutes));
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const fs::path& path : Files()) names.insert(path.filename().string());
    return names;
  }
};

TEST_F(CleanupTempResources, DeletesOnlyGeneratedPicturesOlderThanTheLimit) {
  Make("AG1_2.gif", 61);
  Make("AG3_4.gif", 600);
  Make("AG5_6.gif", 59);
  Make("AG7.gif", 120);
  Make("XG1_2.gif", 120);
  Make("AG1_2.png", 120);
  Make("ag1_2.gif", 120);
  fs::create_directories(FFolder / "AG9_9.gif");
  fs::last_write_time(FFolder / "AG9_9.gif",
                      fs::file_time_type::clock::now() - std::chrono::minutes(120));
  WvCleanupTempResources(60, 10);
  EXPECT_EQ(Names(), (std::set<std::string>{"AG5_6.gif", "XG1_2.gif", "AG1_2.png", "ag1_2.gif",
                                            "AG9_9.gif"}));
}

TEST_F(CleanupTempResources, DeletesAtMostCountFiles) {
  for (int i = 0; i < 5; ++i) Make("AG" + std::to_string(i) + "_0.gif", 90);
  WvCleanupTempResources(60, 0);
  EXPECT_EQ(Files().size(), 5u);
  WvCleanupTempResources(60, 2);
  EXPECT_EQ(Files().size(), 3u);
  WvCleanupTempResources(60, 10);
  EXPECT_EQ(Files().size(), 0u);
  // A missing folder is nothing to clean.
  WvCleanupTempResources(60, 10);
}

// The command-line encoder with its defaults writes what a server image of
// the same picture holds.
TEST_F(ServerImages, CommandLineEncoderWritesTheServerImageBytes) {
  fs::create_directories(FFolder);
  TBitmap bitmap(37, 23, TPixelFormat::pf24bit);
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 37; ++x)
      bitmap.SetPixel(x, y,
                      RGB(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 11),
                          static_cast<std::uint8_t>((x * y) & 0xFF)));
  const fs::path png = FFolder / "in.png";
  bitmap.SaveToPNGFile(png.string());
  const fs::path out = FFolder / "out.gif";
  const std::string command = std::string(TAVKIT_PROGRAM) + " gif encode " + png.string() + " -o " +
                              out.string() + " > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::string path = WvGenerateServerImage(bitmap, 0, 0, false);
  ASSERT_NE(path, "");
  EXPECT_EQ(ReadBytes(out), ReadBytes(FFolder / path.substr(10)));
}

}  // namespace
}  // namespace tavkit
