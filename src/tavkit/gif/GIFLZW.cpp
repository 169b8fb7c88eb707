// The LZW and run-length encoders. The output of both is fixed to the byte:
// when codes widen, when a clear code goes out, how bits are packed. The
// table's inner structure is free as long as the same codes come out.
#include <tavkit/gif/detail/GIFLZW.h>

#include <algorithm>
#include <cstring>

namespace tavkit {

namespace {

// The number of bits needed to hold every index in data.
int IndexBits(const std::uint8_t* data, std::size_t count) {
  unsigned all = 0;
  for (std::size_t i = 0; i < count; ++i) all |= data[i];
  int bits = 0;
  while (all >> bits) ++bits;
  return bits;
}

}  // namespace

void TGIFEncoder::Compress(TStream& stream, int bitsPerPixel, const std::uint8_t* data,
                           bool interlaced, int height, int width) {
  const bool hasPixels = data != nullptr && width > 0 && height > 0;
  FInitialBitSize = std::max(bitsPerPixel, 2);
  if (hasPixels) {
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    FInitialBitSize = std::max(FInitialBitSize, IndexBits(data, count));
  }
  stream.WriteByte(static_cast<std::uint8_t>(FInitialBitSize));

  FWidth = width;
  FHeight = height;
  FInterlaced = interlaced;
  FData = data;
  FInitialCodeSize = FInitialBitSize + 1;
  FCodeSize = FInitialCodeSize;
  FMaxCode = (1 << FCodeSize) - 1;
  FClearCode = 1 << FInitialBitSize;
  FEOICode = FClearCode + 1;
  FFirstFreeCode = FClearCode + 2;
  FAccumulator = 0;
  FBitCount = 0;

  TGIFWriter writer(stream);
  FWriter = &writer;
  if (hasPixels) CompressBody();
  Output(FEOICode);
  if (FBitCount > 0) writer.Put(static_cast<std::uint8_t>(FAccumulator));
  FAccumulator = 0;
  FBitCount = 0;
  writer.Flush();
  FWriter = nullptr;
  stream.WriteByte(0);
}

void THashTable::Clear() {
  std::memset(FSlots, 0xFF, sizeof(FSlots));
}

// After each code the decoder at the other end may widen its codes; this
// keeps in step with it. A clear code resets the width. Otherwise the width
// grows once the next code to assign no longer fits; at 12 bits MaxCode goes
// to 4096 so that the width never exceeds 12.
void TLZWEncoder::Output(int code) {
  Pack(code);
  if (FResetCodeSize) {
    FResetCodeSize = false;
    FCodeSize = FInitialCodeSize;
    FMaxCode = (1 << FCodeSize) - 1;
  } else if (FNextCode > FMaxCode) {
    ++FCodeSize;
    FMaxCode = FCodeSize == 12 ? 4096 : (1 << FCodeSize) - 1;
  }
}

void TLZWEncoder::Clear() {
  FResetCodeSize = true;
  Output(FClearCode);
  FTable.Clear();
  // The roots lose their children; every other code is made anew, and its
  // entry is reset then.
  std::fill_n(FChildByte, FClearCode, kNoChild);
  FNextCode = FClearCode + 2;
}

// The hot loop keeps the coder's state in locals and packs codes into a
// local byte buffer, so that no byte store makes the compiler reload it. The
// members are brought up to date around each clear code (which the shared
// Output path writes) and at the end. Between two clear codes at most 4094
// codes of at most 12 bits go out, so the buffer never fills up.
void TLZWEncoder::CompressBody() {
  Clear();
  constexpr std::size_t kBufferSize = 8192;
  std::uint8_t bytes[kBufferSize + sizeof(std::uint64_t)];
  std::uint8_t* out = bytes;
  std::uint64_t accumulator = FAccumulator;
  int bitCount = FBitCount;
  int codeSize = FCodeSize;
  int maxCode = FMaxCode;
  int nextCode = FNextCode;
  const auto store = [&] {
    FWriter->Write(bytes, out - bytes);
    out = bytes;
    FAccumulator = accumulator;
    FBitCount = bitCount;
    FCodeSize = codeSize;
    FMaxCode = maxCode;
    FNextCode = nextCode;
  };
  const auto load = [&] {
    accumulator = FAccumulator;
    bitCount = FBitCount;
    codeSize = FCodeSize;
    maxCode = FMaxCode;
    nextCode = FNextCode;
  };

  int prefix = FData[0];
  const auto encode = [&](const std::uint8_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t pixel = pixels[i];
      if (FChildByte[prefix] == pixel) {
        prefix = FChild[prefix];
        continue;
      }
      const std::uint32_t key = (static_cast<std::uint32_t>(prefix) << 8) | pixel;
      std::uint32_t slot = 0;
      const int code = FTable.Find(key, slot);
      if (code >= 0) {
        FChildByte[prefix] = static_cast<std::uint16_t>(pixel);
        FChild[prefix] = static_cast<std::uint16_t>(code);
        prefix = code;
        continue;
      }
      // Output(prefix), with the code-size step of Output.
      accumulator |= static_cast<std::uint64_t>(prefix) << bitCount;
      bitCount += codeSize;
      std::memcpy(out, &accumulator, sizeof(accumulator));
      const int whole = bitCount >> 3;
      out += whole;
      accumulator >>= whole * 8;
      bitCount &= 7;
      if (nextCode > maxCode) {
        ++codeSize;
        maxCode = codeSize == 12 ? 4096 : (1 << codeSize) - 1;
      }
      // The code that would be 4095 is never assigned: a clear goes out
      // instead, so that no decoder's table overflows.
      if (nextCode > 4094) {
        prefix = static_cast<int>(pixel);
        store();
        Clear();
        load();
      } else {
        FTable.Insert(slot, key, nextCode);
        FChildByte[prefix] = static_cast<std::uint16_t>(pixel);
        FChild[prefix] = static_cast<std::uint16_t>(nextCode);
        FChildByte[nextCode] = kNoChild;
        ++nextCode;
        prefix = static_cast<int>(pixel);
      }
    }
  };
  const auto width = static_cast<std::size_t>(FWidth);
  if (FInterlaced) {
    bool first = true;
    ForEachInterlacedRow(FHeight, [&](int y) {
      const std::uint8_t* row = FData + width * static_cast<std::size_t>(y);
      encode(row + (first ? 1 : 0), width - (first ? 1 : 0));
      first = false;
    });
  } else {
    encode(FData + 1, width * static_cast<std::size_t>(FHeight) - 1);
  }
  store();
  Output(prefix);
}

// The run-length coder sends a pixel's own code or the code of a run that it
// knows the decoder has built from its previous codes: after a clear, the
// codes p, FirstFree, FirstFree + 1, ... make the decoder build runs of p of
// length 1, 2, 3, ... Clear codes keep the decoder's table from filling.
void TRLEEncoder::Clear() {
  Output(FClearCode);
  FBumpPoint = FFirstWidening;
  FClearLimit = FResetClearLimit;
  FCodesSent = 0;
  FRunTableSize = 0;
  FJustCleared = true;
  FCodeSize = FInitialCodeSize;
}

void TRLEEncoder::Send(int code) {
  FJustCleared = false;
  Output(code);
  ++FCodesSent;
  if (FCodesSent >= FBumpPoint) {
    FBumpPoint += 1 << FCodeSize;
    ++FCodeSize;
  }
  if (FCodesSent >= FClearLimit) Clear();
}

namespace {

// Integer square root by Newton's method from a power of two above it.
std::int64_t ISqrt(std::int64_t x) {
  if (x < 2) return x;
  std::int64_t r = 2;
  for (std::int64_t v = x; v >= 4; v /= 4) r *= 2;
  for (;;) {
    std::int64_t v = (x / r + r) / 2;
    if (v == r || v == r + 1) return r;
    r = v;
  }
}

}  // namespace

std::int64_t TRLEEncoder::RunCost(std::int64_t count, std::int64_t n) {
  std::int64_t cost = 0;
  const std::int64_t full = n * (n + 1) / 2;
  while (count >= full) {
    cost += n;
    count -= full;
  }
  if (count > 0) {
    std::int64_t k = ISqrt(count);
    while (k * (k + 1) >= 2 * count) --k;
    while (k * (k + 1) < 2 * count) ++k;
    cost += k;
  }
  return cost;
}

void TRLEEncoder::RestartRuns(std::int64_t count) {
  FClearLimit = FCodeBudget;
  FRunTablePixel = FRunPixel;
  std::int64_t n = 1;
  while (count > 0) {
    if (n == 1) {
      FRunTableSize = 1;
      Send(FRunPixel);
      --count;
    } else if (count >= n) {
      FRunTableSize = n;
      Send(FRunCodeBase + static_cast<int>(n) - 2);
      count -= n;
    } else if (count == 1) {
      ++FRunTableSize;
      Send(FRunPixel);
      count = 0;
    } else {
      ++FRunTableSize;
      Send(FRunCodeBase + static_cast<int>(count) - 2);
      count = 0;
    }
    n = FCodesSent == 0 ? 1 : n + 1;
  }
  FClearLimit = FResetClearLimit;
  if (FCodesSent >= FClearLimit) Clear();
}

void TRLEEncoder::RepeatOrRestart(std::int64_t count) {
  if (1 + RunCost(count, FCodeBudget) < count) {
    Clear();
    RestartRuns(count);
    return;
  }
  for (std::int64_t i = 0; i < count; ++i) Send(FRunPixel);
}

void TRLEEncoder::ReuseRuns(std::int64_t count) {
  std::int64_t reps = count / FRunTableSize;
  std::int64_t left = count % FRunTableSize;
  std::int64_t extra = left > 0 ? 1 : 0;
  if (FCodesSent + reps + extra > FCodeBudget) {
    reps = FCodeBudget - FCodesSent;
    left = count - reps * FRunTableSize;
    extra = 1 + RunCost(left, FCodeBudget);
  }
  if (1 + RunCost(count, FCodeBudget) < reps + extra) {
    Clear();
    RestartRuns(count);
    return;
  }
  FClearLimit = FCodeBudget;
  const int runCode = FRunCodeBase + static_cast<int>(FRunTableSize) - 2;
  for (std::int64_t i = 0; i < reps; ++i) Send(runCode);
  if (left > 0) {
    if (FJustCleared)
      RestartRuns(left);
    else if (left == 1)
      Send(FRunPixel);
    else
      Send(FRunCodeBase + static_cast<int>(left) - 2);
  }
  FClearLimit = FResetClearLimit;
  if (FCodesSent >= FClearLimit) Clear();
}

void TRLEEncoder::EndRun(std::int64_t count) {
  if (count == 1)
    Send(FRunPixel);
  else if (FJustCleared)
    RestartRuns(count);
  else if (FRunTableSize > 1 && FRunTablePixel == FRunPixel)
    ReuseRuns(count);
  else
    RepeatOrRestart(count);
}

void TRLEEncoder::CompressBody() {
  FFirstWidening = FClearCode - 1;
  FResetClearLimit = FInitialBitSize <= 3 ? 9 : FClearCode - 2;
  FCodeBudget = 4095 - FFirstFreeCode;
  FRunCodeBase = FFirstFreeCode;
  Clear();
  FRunPixel = -1;
  std::int64_t count = 0;
  ForEachRun([&](const std::uint8_t* pixels, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const int pixel = pixels[i];
      if (pixel == FRunPixel) {
        ++count;
        continue;
      }
      if (count > 0) EndRun(count);
      FRunPixel = pixel;
      count = 1;
    }
  });
  EndRun(count);
}

}  // namespace tavkit
