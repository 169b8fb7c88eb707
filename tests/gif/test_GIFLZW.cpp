// Image data: the LZW and run-length encoders byte for byte, the place of
// clear codes and code widths, sub-block packing, interlaced row order, and
// the decoder on well-formed, unusual and corrupt code streams.
#include <gtest/gtest.h>

#include <random>

#include "GIFTestSupport.h"

namespace tavkit {
namespace {

using namespace giftest;

Bytes Encode(TGIFEncoder&& encoder, int bitsPerPixel, const Bytes& pixels, int width, int height,
             bool interlaced = false) {
  TMemoryStream stream;
  encoder.Compress(stream, bitsPerPixel, pixels.data(), interlaced, height, width);
  return stream.Bytes();
}

// The LZW encoder's rules written as plainly as possible: a table of 8009
// slots with double hashing, one code at a time through a bit packer and a
// sub-block buffer. The fast encoder must write exactly these bytes.
Bytes ReferenceLZW(int bitsPerPixel, const Bytes& pixels) {
  const int initialBits = std::max(bitsPerPixel, 2);
  const int clearCode = 1 << initialBits;
  Bytes out{static_cast<std::uint8_t>(initialBits)};
  Bytes block;
  const auto putByte = [&](std::uint8_t b) {
    block.push_back(b);
    if (block.size() < 255) return;
    out.push_back(255);
    out.insert(out.end(), block.begin(), block.end());
    block.clear();
  };
  std::uint32_t accumulator = 0;
  int bits = 0;
  int codeSize = initialBits + 1;
  int maxCode = (1 << codeSize) - 1;
  int nextCode = 0;
  bool reset = false;
  const auto output = [&](int code) {
    accumulator |= static_cast<std::uint32_t>(code) << bits;
    for (bits += codeSize; bits > 7; bits -= 8, accumulator >>= 8)
      putByte(static_cast<std::uint8_t>(accumulator));
    if (reset) {
      reset = false;
      codeSize = initialBits + 1;
      maxCode = (1 << codeSize) - 1;
    } else if (nextCode > maxCode) {
      ++codeSize;
      maxCode = codeSize == 12 ? 4096 : (1 << codeSize) - 1;
    }
  };
  std::vector<std::uint32_t> table(8009);
  const auto clear = [&] {
    reset = true;
    output(clearCode);
    std::fill(table.begin(), table.end(), 0xFFFFFFFFu);
    nextCode = clearCode + 2;
  };
  clear();
  int prefix = pixels[0];
  for (std::size_t i = 1; i < pixels.size(); ++i) {
    const std::uint32_t key = static_cast<std::uint32_t>(prefix) * 256 + pixels[i];
    std::int64_t h = ((key >> 4) ^ key) % 8009;
    int found = -1;
    while (table[h] < 0xFFFFF000u) {
      if (table[h] >> 12 == key) {
        found = static_cast<int>(table[h] & 0xFFF);
        break;
      }
      h -= h == 0 ? 1 : 8009 - h;
      if (h < 0) h += 8009;
    }
    if (found >= 0) {
      prefix = found;
      continue;
    }
    output(prefix);
    prefix = pixels[i];
    if (nextCode > 4094) {
      clear();
    } else {
      table[h] = key * 4096 + static_cast<std::uint32_t>(nextCode);
      ++nextCode;
    }
  }
  output(prefix);
  output(clearCode + 1);
  if (bits > 0) putByte(static_cast<std::uint8_t>(accumulator));
  if (!block.empty()) {
    out.push_back(static_cast<std::uint8_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
  }
  out.push_back(0);
  return out;
}

// The codes of image data, read with the widths a decoder uses.
std::vector<int> CodesOf(const Bytes& data) {
  Bytes joined;
  for (std::size_t at = 1; at < data.size() && data[at] != 0; at += data[at] + 1u)
    joined.insert(joined.end(), data.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                  data.begin() + static_cast<std::ptrdiff_t>(at) + 1 + data[at]);
  const int minSize = data[0];
  const int clearCode = 1 << minSize;
  int size = minSize + 1;
  int freeCode = clearCode + 2;
  int maxCode = 2 * clearCode;
  bool first = true;
  std::vector<int> codes;
  for (std::size_t bit = 0; bit + static_cast<std::size_t>(size) <= joined.size() * 8;) {
    int code = 0;
    for (int i = 0; i < size; ++i, ++bit) code |= ((joined[bit / 8] >> (bit % 8)) & 1) << i;
    codes.push_back(code);
    if (code == clearCode + 1) break;
    if (code == clearCode) {
      size = minSize + 1;
      freeCode = clearCode + 2;
      maxCode = 2 * clearCode;
      first = true;
      continue;
    }
    if (!first && freeCode < 4096 && ++freeCode >= maxCode && maxCode < 4096) {
      maxCode *= 2;
      ++size;
    }
    first = false;
  }
  return codes;
}

TEST(GIFLZWEncoder, OnePixelIsClearPixelEndInNineBits) {
  EXPECT_EQ(Encode(TLZWEncoder(), 1, {0}, 1, 1), (Bytes{0x02, 0x02, 0x44, 0x01, 0x00}));
}

TEST(GIFLZWEncoder, FrameWithoutPixelsWritesOnlyTheEndCode) {
  TMemoryStream stream;
  TLZWEncoder().Compress(stream, 3, nullptr, false, 0, 0);
  EXPECT_EQ(stream.Bytes(), (Bytes{0x03, 0x01, 0x09, 0x00}));
}

TEST(GIFLZWEncoder, InterlacedFramesOfTwoThreeAndFourRowsVisitEveryRow) {
  // One pixel per row, holding the row number.
  EXPECT_EQ(Encode(TLZWEncoder(), 2, {0, 1}, 1, 2, true), (Bytes{0x02, 0x02, 0x44, 0x0A, 0x00}));
  EXPECT_EQ(Encode(TLZWEncoder(), 2, {0, 1, 2}, 1, 3, true), (Bytes{0x02, 0x02, 0x84, 0x52, 0x00}));
  EXPECT_EQ(Encode(TLZWEncoder(), 2, {0, 1, 2, 3}, 1, 4, true),
            (Bytes{0x02, 0x03, 0x84, 0x32, 0x05, 0x00}));
}

TEST(GIFLZWEncoder, DataOf255BytesIsOneFullSubBlock) {
  Bytes pixels(224);
  for (int i = 0; i < 224; ++i) pixels[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  const Bytes expected = {
      0x08, 0xFF, 0x00, 0x01, 0x04, 0x10, 0x30, 0x80, 0x40, 0x01, 0x03, 0x07, 0x10, 0x24, 0x50,
      0xB0, 0x80, 0x41, 0x03, 0x07, 0x0F, 0x20, 0x44, 0x90, 0x30, 0x81, 0x42, 0x05, 0x0B, 0x17,
      0x30, 0x64, 0xD0, 0xB0, 0x81, 0x43, 0x07, 0x0F, 0x1F, 0x40, 0x84, 0x10, 0x31, 0x82, 0x44,
      0x09, 0x13, 0x27, 0x50, 0xA4, 0x50, 0xB1, 0x82, 0x45, 0x0B, 0x17, 0x2F, 0x60, 0xC4, 0x90,
      0x31, 0x83, 0x46, 0x0D, 0x1B, 0x37, 0x70, 0xE4, 0xD0, 0xB1, 0x83, 0x47, 0x0F, 0x1F, 0x3F,
      0x80, 0x04, 0x11, 0x32, 0x84, 0x48, 0x11, 0x23, 0x47, 0x90, 0x24, 0x51, 0xB2, 0x84, 0x49,
      0x13, 0x27, 0x4F, 0xA0, 0x44, 0x91, 0x32, 0x85, 0x4A, 0x15, 0x2B, 0x57, 0xB0, 0x64, 0xD1,
      0xB2, 0x85, 0x4B, 0x17, 0x2F, 0x5F, 0xC0, 0x84, 0x11, 0x33, 0x86, 0x4C, 0x19, 0x33, 0x67,
      0xD0, 0xA4, 0x51, 0xB3, 0x86, 0x4D, 0x1B, 0x37, 0x6F, 0xE0, 0xC4, 0x91, 0x33, 0x87, 0x4E,
      0x1D, 0x3B, 0x77, 0xF0, 0xE4, 0xD1, 0xB3, 0x87, 0x4F, 0x1F, 0x3F, 0x7F, 0x00, 0x05, 0x12,
      0x34, 0x88, 0x50, 0x21, 0x43, 0x87, 0x10, 0x25, 0x52, 0xB4, 0x88, 0x51, 0x23, 0x47, 0x8F,
      0x20, 0x45, 0x92, 0x34, 0x89, 0x52, 0x25, 0x4B, 0x97, 0x30, 0x65, 0xD2, 0xB4, 0x89, 0x53,
      0x27, 0x4F, 0x9F, 0x40, 0x85, 0x12, 0x35, 0x8A, 0x54, 0x29, 0x53, 0xA7, 0x50, 0xA5, 0x52,
      0xB5, 0x8A, 0x55, 0x2B, 0x57, 0xAF, 0x60, 0xC5, 0x92, 0x35, 0x8B, 0x56, 0x2D, 0x5B, 0xB7,
      0x70, 0xE5, 0xD2, 0xB5, 0x8B, 0x57, 0x2F, 0x5F, 0xBF, 0x80, 0x05, 0x13, 0x36, 0x8C, 0x58,
      0x31, 0x63, 0xC7, 0x90, 0x25, 0x53, 0xB6, 0x8C, 0x59, 0x33, 0x67, 0xCF, 0xA0, 0x45, 0x93,
      0x36, 0x8D, 0x5A, 0x35, 0x6B, 0xD7, 0xB0, 0x65, 0xD3, 0xB6, 0x8D, 0x5B, 0x37, 0x6F, 0xDF,
      0x02, 0x02, 0x00};
  EXPECT_EQ(Encode(TLZWEncoder(), 8, pixels, 224, 1), expected);
}

TEST(GIFLZWEncoder, ClearsWhereCode4095WouldBeAssigned) {
  std::mt19937 random(3);
  const Bytes pixels = MakePixels(random, 300, 300, 8, 0);
  const Bytes data = Encode(TLZWEncoder(), 8, pixels, 300, 300);
  const std::vector<int> codes = CodesOf(data);
  std::vector<std::size_t> clears;
  for (std::size_t i = 0; i < codes.size(); ++i)
    if (codes[i] == 256) clears.push_back(i);
  ASSERT_GE(clears.size(), 3u);
  // After a clear 258..4094 are assigned, one per code but the last.
  EXPECT_EQ(clears[1] - clears[0] - 1, 4094u - 258u + 2u);
  EXPECT_EQ(clears[2] - clears[1] - 1, 4094u - 258u + 2u);
  EXPECT_EQ(codes.back(), 257);
  EXPECT_LE(*std::max_element(codes.begin(), codes.end()), 4094);
}

// The optimised loop against the plain one, over data that meets long
// matches, many clears and every code width.
TEST(GIFLZWEncoder, WritesTheSameBytesAsTheReferenceCoder) {
  std::mt19937 random(5);
  for (int depth : {1, 2, 4, 7, 8})
    for (int kind = 0; kind < 4; ++kind) {
      SCOPED_TRACE(testing::Message() << "depth " << depth << " kind " << kind);
      const Bytes pixels = MakePixels(random, 257, 131, depth, kind);
      EXPECT_EQ(Encode(TLZWEncoder(), depth, pixels, 257, 131), ReferenceLZW(depth, pixels));
    }
}

// An index beyond what the colour map's bits can name would be sent as a
// control code and break the data; the code size grows to carry it.
TEST(GIFLZWEncoder, IndicesBeyondTheBitsPerPixelWidenTheCodeSize) {
  const Bytes data = Encode(TLZWEncoder(), 1, {0, 5, 1}, 3, 1);
  EXPECT_EQ(data[0], 3);
  TGIFImage image;
  AddFrame(image, 3, 1, {0, 5, 1}, 2);
  TGIFImage loaded;
  Load(loaded, Save(image));
  EXPECT_EQ(FramesOf(loaded), (std::vector<Frame>{{0, 0, 3, 1, {0, 5, 1}}}));
}

TEST(GIFRLEEncoder, ThousandPixelsOfOneColourAsRuns) {
  const Bytes pixels(1000, 1);
  const Bytes data = Encode(TRLEEncoder(), 1, pixels, 1000, 1);
  EXPECT_EQ(data, (Bytes{0x02, 0x1F, 0x8C, 0x8F, 0xA9, 0xCB, 0xED, 0x0F, 0xA3, 0x9C, 0xB4, 0xDA,
                         0x8B, 0xB3, 0xDE, 0xBC, 0xFB, 0x0F, 0x86, 0xE2, 0x48, 0x96, 0xE6, 0x89,
                         0xA6, 0xEA, 0xCA, 0xB6, 0xEE, 0x0B, 0x3B, 0x44, 0x01, 0x00}));
  TGIFImage image;
  image.SetCompression(gcRLE);
  AddFrame(image, 1000, 1, pixels, 2);
  const auto decoded = GiflibDecode(Save(image));
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(*decoded, (std::vector<Frame>{{0, 0, 1000, 1, pixels}}));
}

TEST(GIFRLEEncoder, EightBitRunsReuseTheirRunCodes) {
  const Bytes data = Encode(TRLEEncoder(), 8, Bytes(1000, 7), 1000, 1);
  EXPECT_EQ(data, (Bytes{0x08, 0x35, 0x00, 0x0F, 0x08, 0x1C, 0x48, 0xB0, 0xA0, 0xC1, 0x83, 0x08,
                         0x13, 0x2A, 0x5C, 0xC8, 0xB0, 0xA1, 0xC3, 0x87, 0x10, 0x23, 0x4A, 0x9C,
                         0x48, 0xB1, 0xA2, 0xC5, 0x8B, 0x18, 0x33, 0x6A, 0xDC, 0xC8, 0xB1, 0xA3,
                         0xC7, 0x8F, 0x20, 0x43, 0x8A, 0x1C, 0x49, 0xB2, 0xA4, 0xC9, 0x93, 0x28,
                         0x53, 0xAA, 0x5C, 0xC9, 0x52, 0x61, 0x40, 0x00}));
}

TEST(GIFWriter, PacksBytesIntoSubBlocksOfAtMost255) {
  TMemoryStream stream;
  {
    TGIFWriter writer(stream);
    Bytes bytes(300);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    writer.Write(bytes.data(), 300);
    writer.Flush();
  }
  ASSERT_EQ(stream.Bytes().size(), 302u);
  EXPECT_EQ(stream.Bytes()[0], 255);
  EXPECT_EQ(stream.Bytes()[256], 45);
  TGIFWriter writer(stream);
  EXPECT_THROW(writer.Read(nullptr, 1), Exception);
  EXPECT_THROW(writer.Seek(0, TSeekOrigin::soBeginning), Exception);
}

// A file of one frame of the given size around the given image data.
Bytes FileAround(int width, int height, const Bytes& data, bool interlaced = false) {
  Bytes file = ToBytes("GIF87a");
  const auto w = static_cast<std::uint8_t>(width);
  const auto h = static_cast<std::uint8_t>(height);
  file.insert(file.end(), {w, 0, h, 0, 0x87, 0, 0});
  for (int i = 0; i < 256; ++i) file.insert(file.end(), {0, 0, 0});
  file.insert(file.end(),
              {0x2C, 0, 0, 0, 0, w, 0, h, 0, static_cast<std::uint8_t>(interlaced ? 0x40 : 0)});
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

struct Decoded {
  Bytes Pixels;
  std::vector<std::string> Warnings;
};

Decoded DecodeFile(const Bytes& file) {
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image, file);
  const TGIFSubImage* frame = image.GetImages().GetImage(0);
  return {Bytes(frame->GetData(), frame->GetData() + frame->GetDataSize()), log.Messages};
}

TEST(GIFLZWDecoder, CodeStreamWithoutLeadingClearCode) {
  // Codes 1, 2, end at three bits.
  EXPECT_EQ(DecodeFile(FileAround(2, 1, {0x02, 0x02, 0x51, 0x01, 0x00, 0x3B})).Pixels,
            (Bytes{1, 2}));
}

TEST(GIFLZWDecoder, SmallestAndLargestMinimumCodeSizes) {
  // Size 0: codes of one bit, then two as the table grows: 0, 0, 3, end.
  EXPECT_EQ(DecodeFile(FileAround(4, 1, {0x00, 0x01, 0x2C, 0x00, 0x3B})).Pixels,
            (Bytes{0, 0, 0, 0}));
  // Size 11: clear 2048, 5, 300 (kept as its low byte), end 2049.
  EXPECT_EQ(
      DecodeFile(FileAround(2, 1, {0x0B, 0x06, 0x00, 0x58, 0x00, 0x2C, 0x11, 0x80, 0x00, 0x3B}))
          .Pixels,
      (Bytes{5, 44}));
}

TEST(GIFLZWDecoder, CodeSizeAbove11IsRefused) {
  const Bytes file = FileAround(2, 2, {0x0C, 0x02, 0x00, 0x10, 0x00, 0x3B});
  TGIFImage image;
  try {
    Load(image, file);
    FAIL() << "loaded";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Invalid LZW code size");
  }
}

void ExpectCircular(const Bytes& file) {
  TGIFImage image;
  try {
    Load(image, file);
    FAIL() << "loaded";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Circular decoder table entry");
  }
}

TEST(GIFLZWDecoder, TableEntriesThatFormACycleStopDecoding) {
  // Four-bit codes: clear, 0, 11, 12 makes entry 11 its own prefix; 11 then
  // refers to it.
  ExpectCircular(FileAround(16, 16, {0x03, 0x03, 0x08, 0xCB, 0x9B, 0x00, 0x3B}));
  // clear, 0, 12, 11, 13 makes entries 11 and 12 each other's prefix.
  ExpectCircular(FileAround(16, 16, {0x03, 0x04, 0x08, 0xBC, 0xCD, 0x09, 0x00, 0x3B}));
}

TEST(GIFLZWDecoder, DataEndingBeforeTheFrameIsFullWarnsUnderRun) {
  const Decoded decoded = DecodeFile(FileAround(4, 1, {0x02, 0x01, 0x0C, 0x00, 0x3B}));
  EXPECT_EQ(decoded.Pixels, (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(decoded.Warnings, std::vector<std::string>{"Decoder bit buffer under-run"});
}

TEST(GIFLZWDecoder, SubBlockCutByTheEndOfTheFileWarnsPrematureEnd) {
  const Decoded decoded = DecodeFile(FileAround(4, 1, {0x02, 0x05, 0x0C}));
  EXPECT_EQ(decoded.Pixels, (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(decoded.Warnings, std::vector<std::string>{"Premature end of data"});
}

TEST(GIFLZWDecoder, EndCodeBeforeTheLastPixelSkipsTheRestOfTheData) {
  // clear, 1, end; then a sub-block the decoder never needs.
  const Bytes file = FileAround(4, 1, {0x02, 0x02, 0x4C, 0x01, 0x03, 0xAA, 0xBB, 0xCC, 0x00, 0x3B});
  const Decoded decoded = DecodeFile(file);
  EXPECT_EQ(decoded.Pixels, (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(decoded.Warnings, std::vector<std::string>{});
}

// An end code straight after a clear code ends the data; it is no pixel.
TEST(GIFLZWDecoder, EndCodeRightAfterAClearCodeGivesNoPixels) {
  const Decoded decoded = DecodeFile(FileAround(2, 1, {0x02, 0x01, 0x2C, 0x00, 0x3B}));
  EXPECT_EQ(decoded.Pixels, (Bytes{0, 0}));
  EXPECT_EQ(decoded.Warnings, std::vector<std::string>{});
}

// Codes after the last pixel, spread over several sub-blocks, are skipped
// up to the terminator, so that the next frame is found where it is.
TEST(GIFLZWDecoder, CodesAfterTheLastPixelAreSkippedToTheTerminator) {
  Bytes file = FileAround(2, 1, {0x02, 0x01, 0x8C, 0x01, 0x06, 0x01, 0x05, 0x00});
  file.insert(file.end(), {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0x02, 0x02, 0x4C, 0x01, 0x00, 0x3B});
  TGIFImage image;
  WarningLog log;
  log.Attach(image);
  Load(image, file);
  EXPECT_EQ(FramesOf(image), (std::vector<Frame>{{0, 0, 2, 1, {1, 2}}, {0, 0, 1, 1, {1}}}));
  EXPECT_EQ(log.Messages, std::vector<std::string>{});
}

TEST(GIFLZWDecoder, InterlacedDataGoesBackToRowOrder) {
  for (int height = 1; height <= 20; ++height) {
    Bytes pixels(static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<std::uint8_t>(i / 3);
    TGIFImage image;
    AddFrame(image, 3, height, pixels, 32, true);
    TGIFImage loaded;
    Load(loaded, Save(image));
    EXPECT_EQ(FramesOf(loaded), (std::vector<Frame>{{0, 0, 3, height, pixels}})) << height;
  }
}

}  // namespace
}  // namespace tavkit
