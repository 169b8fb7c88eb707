// The files tavkit gif reads and writes: an output is replaced all or
// nothing, never the input, and inputs without end are refused as they come.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <tavkit/platform/graphics/Bitmap.h>
#include "tools/TavkitProgram.h"

namespace tavkit {
namespace {

namespace fs = std::filesystem;
using tooltest::Outcome;

class OutputFiles : public tooltest::TavkitProgramTest {
 protected:
  OutputFiles() : TavkitProgramTest("output-files") {}

  void SetUp() override {
    TavkitProgramTest::SetUp();
    gif = (fs::path(TAVKIT_TEST_DATA_DIR) / "gif" / "bricks-dither.gif").string();
    png = (dir / "in.png").string();
    TBitmap picture(8, 4);
    picture.SaveToPNGFile(png);
  }

  static std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

  std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string gif;
  std::string png;
};

// The commands that write one file, with OUT standing for the output.
struct Writer {
  std::string Name;
  std::string Command;
};

std::vector<Writer> Writers(const std::string& gif, const std::string& png) {
  return {{"decode", "gif decode '" + gif + "' -o OUT"}, {"encode", "gif encode '" + png + "' -o OUT"}};
}

std::string WithOutput(std::string command, const fs::path& output) {
  command.replace(command.find("OUT"), 3, "'" + output.string() + "'");
  return command;
}

TEST_F(OutputFiles, AFullDiskLeavesTheOldFileAndNoNewOne) {
  const fs::path disk = dir / "disk";
  fs::create_directories(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=16k") != 0)
    GTEST_SKIP() << "a small file system cannot be mounted here: " << std::strerror(errno);
  const std::string old(4000, 'x');
  std::ofstream(disk / "old.png", std::ios::binary) << old;
  std::ofstream(disk / "fill", std::ios::binary) << std::string(12 * 1024, '\0');
  for (const Writer& writer : Writers(gif, png)) {
    SCOPED_TRACE(writer.Name);
    for (const char* name : {"old.png", "new.png"}) {
      const Outcome run = Tavkit(WithOutput(writer.Command, disk / name));
      EXPECT_EQ(run.Status, 1);
      EXPECT_EQ(run.Err, "error: Cannot write file \"" + (disk / name).string() +
                             "\": No space left on device\n");
    }
    EXPECT_EQ(testsupport::ReadText(disk / "old.png"), old);
    EXPECT_EQ(Names(disk), (std::vector<std::string>{"fill", "old.png"}));
  }
  umount(disk.c_str());
}

TEST_F(OutputFiles, AnOutputThatIsTheInputIsRefused) {
  fs::copy_file(gif, dir / "a.gif");
  fs::create_symlink(dir / "a.gif", dir / "link.gif");
  const std::string before = testsupport::ReadText(dir / "a.gif");
  const std::string pngBefore = testsupport::ReadText(png);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"gif decode " + Quote(dir / "a.gif") + " -o " + Quote(dir / "a.gif"), (dir / "a.gif").string()},
      {"gif decode " + Quote(dir / "a.gif") + " -o " + Quote(dir / "link.gif"),
       (dir / "link.gif").string()},
      {"gif encode '" + png + "' -o '" + png + "'", png},
  };
  for (const auto& [command, output] : cases) {
    const Outcome run = Tavkit(command);
    EXPECT_EQ(run.Status, 2) << command;
    EXPECT_EQ(run.Err, "error: -o " + output + " names the input file; write to another file\n");
  }
  EXPECT_EQ(testsupport::ReadText(dir / "a.gif"), before);
  EXPECT_EQ(testsupport::ReadText(png), pngBefore);
}

TEST_F(OutputFiles, InputsThatNeverEndOrAreFoldersAreRefused) {
  const std::string tooLarge = "\": it is larger than 268435456 bytes\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"gif info /dev/zero", "error: Cannot read file \"/dev/zero" + tooLarge},
      {"gif encode /dev/urandom -o " + Quote(dir / "out.gif"),
       "error: Cannot read file \"/dev/urandom" + tooLarge},
      {"gif info " + Quote(dir), "error: Cannot open file \"" + dir.string() + "\": Is a directory\n"},
  };
  for (const auto& [command, message] : cases) {
    const Outcome run = Tavkit(command);
    EXPECT_EQ(run.Status, 1) << command;
    EXPECT_EQ(run.Err, message) << command;
  }
  EXPECT_FALSE(fs::exists(dir / "out.gif"));
}

}  // namespace
}  // namespace tavkit
