// The two encoders that write a frame's colour indices as GIF image data:
// TLZWEncoder, the variable-length-code LZW compressor, and TRLEEncoder, a
// run-length coder that emits only codes every LZW decoder already holds, so
// that it needs no string table. Both share TGIFEncoder's frame: minimum
// code size byte, bit packing least significant bit first, sub-blocks of up
// to 255 bytes, terminator.
#pragma once

#include <cstddef>
#include <cstdint>

#include <tavkit/gif/detail/GIFStream.h>

namespace tavkit {

class TGIFEncoder {
 public:
  TGIFEncoder() = default;
  TGIFEncoder(const TGIFEncoder&) = delete;
  TGIFEncoder& operator=(const TGIFEncoder&) = delete;
  virtual ~TGIFEncoder() = default;

  // Writes width x height indices (rows from the top, each left to right) as
  // image data; interlaced frames are written in interlaced row order. The
  // code size is bitsPerPixel, at least 2, and wide enough for the largest
  // index in the data so that every index survives the trip.
  void Compress(TStream& stream, int bitsPerPixel, const std::uint8_t* data, bool interlaced,
                int height, int width);

 protected:
  // Packs one code at the current code size.
  virtual void Output(int code) { Pack(code); }
  virtual void Clear() = 0;
  virtual void CompressBody() = 0;

  void Pack(int code) {
    FAccumulator |= static_cast<std::uint64_t>(code) << FBitCount;
    FBitCount += FCodeSize;
    while (FBitCount > 7) {
      FWriter->Put(static_cast<std::uint8_t>(FAccumulator));
      FAccumulator >>= 8;
      FBitCount -= 8;
    }
  }

  // Calls runs(pixels, count) for the frame's pixels in coding order: the
  // whole buffer at once, or row by row in interlaced order.
  template <class RunFunction>
  void ForEachRun(RunFunction&& runs) const {
    const auto width = static_cast<std::size_t>(FWidth);
    if (!FInterlaced) {
      runs(FData, width * static_cast<std::size_t>(FHeight));
      return;
    }
    ForEachInterlacedRow(FHeight, [&](int y) { runs(FData + width * y, width); });
  }

  int FInitialBitSize = 0;
  int FWidth = 0;
  int FHeight = 0;
  bool FInterlaced = false;
  const std::uint8_t* FData = nullptr;
  std::uint64_t FAccumulator = 0;
  int FBitCount = 0;
  int FCodeSize = 0;
  int FInitialCodeSize = 0;
  int FMaxCode = 0;
  int FClearCode = 0;
  int FEOICode = 0;
  int FFirstFreeCode = 0;
  TGIFWriter* FWriter = nullptr;
  // Set by a clear code: the code size returns to its initial value.
  bool FResetCodeSize = false;
};

// The LZW string table: (prefix code, next byte) -> code. Open addressing
// with linear probing over a power-of-two table at most half full; a slot
// holds key << 12 | code, and all ones marks it empty.
class THashTable {
 public:
  void Clear();
  // Answers the key's code, or -1 with slot set to where the key belongs.
  int Find(std::uint32_t key, std::uint32_t& slot) const {
    const std::uint32_t wanted = key << 12;
    std::uint32_t h = (key * 0x9E3779B1u) >> (32 - kBits);
    for (;; h = (h + 1) & (kSize - 1)) {
      const std::uint32_t entry = FSlots[h];
      if ((entry & 0xFFFFF000u) == wanted) return static_cast<int>(entry & 0xFFF);
      if (entry == kEmpty) break;
    }
    slot = h;
    return -1;
  }
  void Insert(std::uint32_t slot, std::uint32_t key, int code) {
    FSlots[slot] = (key << 12) | static_cast<std::uint32_t>(code);
  }

 private:
  static constexpr int kBits = 13;
  static constexpr std::uint32_t kSize = 1u << kBits;
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  std::uint32_t FSlots[kSize];
};

class TLZWEncoder final : public TGIFEncoder {
 protected:
  void Output(int code) override;
  void Clear() override;
  void CompressBody() override;

 private:
  THashTable FTable;
  // For each code the last child found or made for it: the byte that
  // follows (kNoChild when there is none) and the child's code. Runs and
  // repeated patterns ask for the same child again and again, and this
  // answers them without a hash probe. The two halves are kept apart so
  // that the child's code, which the next pixel waits for, is loaded on its
  // own rather than unpacked from a word: one step less on the chain from
  // pixel to pixel that bounds the coder's speed.
  static constexpr std::uint16_t kNoChild = 0xFFFF;
  std::uint16_t FChildByte[4096];
  std::uint16_t FChild[4096];
  int FNextCode = 0;
};

class TRLEEncoder final : public TGIFEncoder {
 protected:
  void Clear() override;
  void CompressBody() override;

 private:
  void Send(int code);
  void RestartRuns(std::int64_t count);
  void RepeatOrRestart(std::int64_t count);
  void ReuseRuns(std::int64_t count);
  void EndRun(std::int64_t count);
  // The codes needed to send count pixels as runs of growing length when
  // the table can take at most n runs.
  static std::int64_t RunCost(std::int64_t count, std::int64_t n);

  int FFirstWidening = 0;
  int FResetClearLimit = 0;
  int FCodeBudget = 0;
  int FRunCodeBase = 0;
  int FRunPixel = -1;
  int FRunTablePixel = -1;
  std::int64_t FRunTableSize = 0;
  int FCodesSent = 0;
  int FBumpPoint = 0;
  int FClearLimit = 0;
  bool FJustCleared = false;
};

}  // namespace tavkit
