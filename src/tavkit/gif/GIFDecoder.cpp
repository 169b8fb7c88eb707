// LZW decoding of GIF image data.
//
// Every string the decoder meets is, but for roots, a string it has already
// written into the frame: a new table entry is the previous code's output
// plus the first byte of the current one, which lie next to each other in
// the output. So each entry is kept as a pointer into the output and a
// length, and decoding a code is one copy. Corrupt data that refers to codes
// not yet defined cannot be handled that way; from such a code to the next
// clear code the decoder follows prefix and suffix chains instead, with the
// same results a chain-following decoder gives.
#include <tavkit/gif/detail/GIFDecoder.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace tavkit {

namespace {

constexpr int kTableSize = 4096;

// The one-byte strings of the root codes; spare bytes at the end let the
// 8-byte copies below read past the last root.
constexpr std::array<std::uint8_t, kTableSize + 8> MakeRootBytes() {
  std::array<std::uint8_t, kTableSize + 8> bytes{};
  for (int i = 0; i < kTableSize; ++i) bytes[i] = static_cast<std::uint8_t>(i);
  return bytes;
}
constexpr auto kRootBytes = MakeRootBytes();

struct TDecoderTables {
  const std::uint8_t* Ptr[kTableSize];
  std::uint16_t Len[kTableSize];
  std::uint16_t Prefix[kTableSize];
  std::uint8_t Suffix[kTableSize];
};

// Takes size bits at bitPos, least significant first; -1 when the data
// holds fewer than size bits from there.
inline int ReadCode(const std::uint8_t* data, std::uint64_t& bitPos, std::uint64_t totalBits,
                    int size, std::uint32_t mask) {
  const std::uint64_t position = bitPos;
  if (position + static_cast<std::uint64_t>(size) > totalBits) return -1;
  std::uint64_t bits;
  std::memcpy(&bits, data + (position >> 3), sizeof(bits));
  bitPos = position + static_cast<std::uint64_t>(size);
  return static_cast<int>((bits >> (position & 7)) & mask);
}

// Copies len bytes in 8-byte steps; it may write up to 7 bytes past
// dst + len and read up to 7 past src + len. Safe for src < dst as long as
// the first len bytes of src lie before dst, or dst - src is the length.
inline void CopyString(std::uint8_t* dst, const std::uint8_t* src, std::size_t len) {
  for (std::size_t i = 0; i < len; i += 8) {
    std::uint64_t chunk;
    std::memcpy(&chunk, src + i, sizeof(chunk));
    std::memcpy(dst + i, &chunk, sizeof(chunk));
  }
}

class TCodeDecoder {
 public:
  TCodeDecoder(const std::uint8_t* data, std::size_t bytes, int minCodeSize)
      : FData(data),
        FTotalBits(static_cast<std::uint64_t>(bytes) * 8),
        FMinCodeSize(minCodeSize),
        FClear(1 << minCodeSize),
        FEOI(FClear + 1) {}

  // Decodes into out[0, count); answers true when the codes ran out before
  // an end code or the end of the frame.
  bool Decode(std::uint8_t* out, std::size_t count);
  // How far into the data decoding looked, in bits.
  std::uint64_t Furthest() const { return std::max(FBitPos, FFailedAt); }

 private:
  int Next() {
    int code = ReadCode(FData, FBitPos, FTotalBits, FCodeSize, FMask);
    if (code < 0) FFailedAt = FBitPos + static_cast<std::uint64_t>(FCodeSize);
    return code;
  }
  // The value asked for after the last pixel: normally the end code. A
  // clear code there is followed by one more code. Answers whether the
  // codes ran out.
  bool ReadTrailingCode(int code) {
    while (code == FClear) code = Next();
    return code < 0;
  }
  void ResetTable() {
    FCodeSize = FMinCodeSize + 1;
    FMask = (1u << FCodeSize) - 1;
    FMaxCode = 2 * FClear;
    FFreeCode = FClear + 2;
  }
  void AddEntry(int old, const std::uint8_t* prevOut, std::size_t prevLen, std::uint8_t first) {
    if (FFreeCode >= kTableSize) return;
    FTables->Ptr[FFreeCode] = prevOut;
    FTables->Len[FFreeCode] = static_cast<std::uint16_t>(prevLen + 1);
    FTables->Prefix[FFreeCode] = static_cast<std::uint16_t>(old);
    FTables->Suffix[FFreeCode] = first;
    if (++FFreeCode >= FMaxCode && FMaxCode < kTableSize) {
      FMaxCode <<= 1;
      ++FCodeSize;
      FMask = (FMask << 1) | 1;
    }
  }
  enum class TChainResult { Continue, Cleared, Finished, OutOfCodes };
  TChainResult DecodeChains(int code, int old, std::uint8_t first, std::uint8_t*& out,
                            std::uint8_t* end);

  const std::uint8_t* FData;
  std::uint64_t FTotalBits;
  std::uint64_t FBitPos = 0;
  std::uint64_t FFailedAt = 0;
  int FMinCodeSize;
  int FClear;
  int FEOI;
  int FCodeSize = 0;
  std::uint32_t FMask = 0;
  int FMaxCode = 0;
  int FFreeCode = 0;
  // Left uninitialised: Decode sets the roots, and every other entry is
  // written before it is read, so a frame costs no table wipe.
  std::unique_ptr<TDecoderTables> FTables = std::make_unique_for_overwrite<TDecoderTables>();
};

bool TCodeDecoder::Decode(std::uint8_t* const base, const std::size_t count) {
  TDecoderTables& t = *FTables;
  for (int j = 0; j < FClear; ++j) {
    t.Ptr[j] = &kRootBytes[static_cast<std::size_t>(j)];
    t.Len[j] = 1;
    t.Prefix[j] = 0;
    t.Suffix[j] = static_cast<std::uint8_t>(j);
  }
  t.Len[FClear] = 0;
  t.Len[FEOI] = 0;
  t.Prefix[FClear] = t.Prefix[FEOI] = 0;
  t.Suffix[FClear] = t.Suffix[FEOI] = 0;

  std::uint8_t* out = base;
  std::uint8_t* const end = base + count;
  for (;;) {
    // The state after a clear code; the data's first code is read in it
    // whether or not the data starts with a clear code.
    ResetTable();
    int code = Next();
    while (code == FClear) code = Next();
    if (code < 0) return true;
    if (code == FEOI || out == end) return false;
    int old = code;
    std::uint8_t* prevOut = out;
    std::size_t prevLen = 1;
    *out++ = static_cast<std::uint8_t>(code);
    TChainResult chains = TChainResult::Continue;
    if (code > FEOI) {
      // Not a root: taken as a pixel value all the same, and its undefined
      // entry is what later codes build on.
      chains = DecodeChains(-1, old, static_cast<std::uint8_t>(code), out, end);
    }
    while (chains == TChainResult::Continue) {
      if (out == end) return ReadTrailingCode(Next());
      code = Next();
      if (code < 0) return true;
      std::uint8_t* const start = out;
      if (code < FFreeCode) {
        const std::size_t len = t.Len[code];
        if (len == 0) {
          if (code == FClear) break;
          return false;
        }
        if (len > static_cast<std::size_t>(end - out)) {
          std::memcpy(out, t.Ptr[code], static_cast<std::size_t>(end - out));
          return false;
        }
        CopyString(out, t.Ptr[code], len);
        out += len;
      } else if (code == FFreeCode) {
        // The code being defined right now: the previous string and its
        // own first byte.
        if (prevLen + 1 > static_cast<std::size_t>(end - out)) {
          std::memcpy(out, prevOut, static_cast<std::size_t>(end - out));
          return false;
        }
        CopyString(out, prevOut, prevLen);
        out[prevLen] = *prevOut;
        out += prevLen + 1;
      } else {
        chains = DecodeChains(code, old, *prevOut, out, end);
        break;
      }
      AddEntry(old, prevOut, prevLen, *start);
      prevOut = start;
      prevLen = static_cast<std::size_t>(out - start);
      old = code;
    }
    if (chains == TChainResult::Finished) return false;
    if (chains == TChainResult::OutOfCodes) return true;
  }
}

// Decodes by following prefix chains from code (or from the next code when
// code is -1) until a clear code, the end code, the end of the frame or of
// the data. Entries not defined since the last clear read as prefix 0 and
// suffix 0, as in a decoder that zeroes its table on every clear code.
TCodeDecoder::TChainResult TCodeDecoder::DecodeChains(int code, int old, std::uint8_t first,
                                                      std::uint8_t*& out, std::uint8_t* end) {
  TDecoderTables& t = *FTables;
  // Entries at and above the free code are not defined since the last clear
  // code; they read as zero without the table being wiped, so that data
  // which keeps clearing and referring to such codes costs no more than
  // any other.
  const auto prefixOf = [&](int c) { return c < FFreeCode ? int{t.Prefix[c]} : 0; };
  const auto suffixOf = [&](int c) { return c < FFreeCode ? t.Suffix[c] : std::uint8_t{0}; };
  // A chain longer than the table has a cycle in it.
  std::uint8_t stack[kTableSize + 2];
  for (;;) {
    if (code < 0) {
      if (out == end)
        return ReadTrailingCode(Next()) ? TChainResult::OutOfCodes : TChainResult::Finished;
      code = Next();
      if (code < 0) return TChainResult::OutOfCodes;
    }
    if (code == FClear) return TChainResult::Cleared;
    if (code == FEOI) return TChainResult::Finished;
    int c = code;
    int depth = 0;
    if (c >= FFreeCode) {
      stack[depth++] = first;
      c = old;
    }
    while (c >= FClear) {
      if (depth > kTableSize || prefixOf(c) == c) throw GIFException(sCircularTableEntry);
      stack[depth++] = suffixOf(c);
      c = prefixOf(c);
    }
    first = t.Suffix[c];
    stack[depth++] = first;
    if (FFreeCode < kTableSize) {
      t.Prefix[FFreeCode] = static_cast<std::uint16_t>(old);
      t.Suffix[FFreeCode] = first;
      if (++FFreeCode >= FMaxCode && FMaxCode < kTableSize) {
        FMaxCode <<= 1;
        ++FCodeSize;
        FMask = (FMask << 1) | 1;
      }
    }
    old = code;
    while (depth > 0 && out < end) *out++ = stack[--depth];
    if (depth > 0) return TChainResult::Finished;
    code = -1;
  }
}

}  // namespace

TGIFDecodeResult DecodeGIFImageData(TGIFReader& reader, std::uint8_t* pixels, int width, int height,
                                    bool interlaced) {
  TGIFDecodeResult result;
  const int minCodeSize = reader.ReadByte();
  if (minCodeSize < 0) return result;
  if (minCodeSize > 11) throw GIFException(sInvalidCodeSize);

  // Join the sub-blocks, up to the terminator or the end of the stream.
  std::vector<std::uint8_t>& data = reader.Scratch();
  data.clear();
  data.reserve(reader.Remaining() + 8);
  bool terminated = false;
  bool truncated = false;
  std::size_t truncatedAt = 0;
  for (;;) {
    const int length = reader.ReadByte();
    if (length < 0) break;
    if (length == 0) {
      terminated = true;
      break;
    }
    const std::size_t n = std::min(static_cast<std::size_t>(length), reader.Remaining());
    if (n < static_cast<std::size_t>(length)) {
      truncated = true;
      truncatedAt = data.size();
    }
    data.insert(data.end(), reader.Current(), reader.Current() + n);
    reader.Skip(n);
    if (truncated) break;
  }
  const std::size_t bytes = data.size();
  data.resize(bytes + 8);

  const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
  const std::size_t h = height > 0 ? static_cast<std::size_t>(height) : 0;
  // Rows of an interlaced frame go back into place through a second buffer;
  // frames of one or two rows, or of no pixels at all, are already in order.
  const bool reorder = interlaced && h > 2 && w > 0;
  std::vector<std::uint8_t> decoded;
  if (reorder) decoded.assign(w * h + GIFPixelSlack, 0);

  TCodeDecoder decoder(data.data(), bytes, minCodeSize);
  const bool outOfCodes = decoder.Decode(reorder ? decoded.data() : pixels, w * h);
  result.Underrun = outOfCodes && terminated;
  result.PrematureEnd =
      truncated && decoder.Furthest() >= static_cast<std::uint64_t>(truncatedAt) * 8;

  if (reorder) {
    const std::uint8_t* row = decoded.data();
    ForEachInterlacedRow(static_cast<int>(h), [&](int y) {
      std::memcpy(pixels + static_cast<std::size_t>(y) * w, row, w);
      row += w;
    });
  }
  return result;
}

}  // namespace tavkit
