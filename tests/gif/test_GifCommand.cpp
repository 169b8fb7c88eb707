// tavkit gif info, run as users run it: the JSON and text descriptions of
// small files, and the exit codes of bad arguments.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include <sys/wait.h>

#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;

std::string WriteTemporary(const std::string& name, const Bytes& bytes) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  TMemoryStream(bytes).SaveToFile(path.string());
  return path.string();
}

class GifCommand : public ::testing::Test {};

const Bytes kAnimated = {
    'G',  'I',  'F', '8', '9',  'a',  2,    0,    1,    0,    0x80, 1,    0,    9,    9,
    9,    7,    7,   7,   0x21, 0xFF, 11,   'N',  'E',  'T',  'S',  'C',  'A',  'P',  'E',
    '2',  '.',  '0', 3,   1,    0,    0,    0,    0x21, 0xF9, 4,    0x09, 10,   0,    1,
    0,    0x2C, 0,   0,   0,    0,    2,    0,    1,    0,    0x40, 0x02, 0x01, 0x0C, 0x00,
    0x21, 0xFE, 2,   'h', 'i',  0,    0x2C, 1,    0,    0,    0,    1,    0,    1,    0,
    0x80, 1,    2,   3,   4,    5,    6,    0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};

TEST_F(GifCommand, InfoAsJson) {
  const Result result =
      RunTavkit("gif info --json " + WriteTemporary("tavkit-info.gif", kAnimated));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Output,
            "{\"version\": \"89a\", \"width\": 2, \"height\": 1, \"background\": 1, \"aspect\": 0, "
            "\"global_colors\": 2, \"loop_count\": 0, \"frames\": [{\"left\": 0, \"top\": 0, "
            "\"width\": 2, \"height\": 1, \"interlaced\": true, \"local_colors\": 0, "
            "\"transparent_index\": 1, \"delay\": 10, \"disposal\": 2, \"pixels_fnv1a64\": "
            "\"082f2207b4e88cc4\"}, {\"left\": 1, \"top\": 0, \"width\": 1, \"height\": 1, "
            "\"interlaced\": false, \"local_colors\": 2, \"transparent_index\": null, \"delay\": "
            "null, \"disposal\": null, \"pixels_fnv1a64\": \"af63bd4c8601b7df\"}], \"warnings\": "
            "[\"Decoder bit buffer under-run\"]}\n");
}

TEST_F(GifCommand, JsonEscapesTheHeaderBytesAsLatin1) {
  // The codec does not check the version characters; JSON shows them as
  // Latin-1 text, escaped to ASCII.
  Bytes file = kAnimated;
  file[4] = 0xE9;
  file[5] = '"';
  const Result result = RunTavkit("gif info --json " + WriteTemporary("tavkit-latin1.gif", file));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_THAT(result.Output,
              ::testing::StartsWith("{\"version\": \"8\\u00e9\\\"\", \"width\": 2, "));
}

TEST_F(GifCommand, InfoAsText) {
  const Result result = RunTavkit("gif info " + WriteTemporary("tavkit-info-text.gif", kAnimated));
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.Output,
            "GIF89a, screen 2x1, background 1, aspect 0, 2 global colours, loops for ever\n"
            "frame 0: 2x1 at 0,0, interlaced, 0 local colours, transparent index 1, "
            "delay 10/100 s, disposal 2, pixels 082f2207b4e88cc4\n"
            "frame 1: 1x1 at 1,0, 2 local colours, pixels af63bd4c8601b7df\n"
            "warning: Decoder bit buffer under-run\n");
}

TEST_F(GifCommand, FailuresAndBadArguments) {
  const std::string broken = WriteTemporary("tavkit-broken.gif", ToBytes("GIF89a\x01"));
  EXPECT_EQ(RunTavkit("gif info " + broken).Output, "error: Premature end of data\n");
  EXPECT_EQ(RunTavkit("gif info " + broken).ExitCode, 1);
  EXPECT_EQ(RunTavkit("gif").ExitCode, 2);
  EXPECT_EQ(RunTavkit("gif info").ExitCode, 2);
  EXPECT_EQ(RunTavkit("gif info --frames " + broken).ExitCode, 2);
  EXPECT_EQ(RunTavkit("gif convert " + broken).ExitCode, 2);
  EXPECT_EQ(RunTavkit("gif info --help").ExitCode, 0);
  EXPECT_EQ(RunTavkit("gif --help").ExitCode, 0);
}

}  // namespace
}  // namespace tavkit
