// Byte-level plumbing shared by the GIF reader and writer: TGIFReader, a
// cursor over a whole stream held in memory (files are read once, memory
// streams are parsed in place), the write-only TGIFStream and its sub-block
// packer TGIFWriter, and the row order of interlaced frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

// Reads a GIF from memory. Constructed on a stream, it takes the bytes from
// the stream's position to its end; Finish() moves the stream to where
// reading stopped, so callers see the stream advanced as if it had been read
// byte by byte.
class TGIFReader {
 public:
  explicit TGIFReader(TStream& stream);
  TGIFReader(const std::uint8_t* data, std::size_t size);
  TGIFReader(const TGIFReader&) = delete;
  TGIFReader& operator=(const TGIFReader&) = delete;

  std::size_t Position() const { return FPosition; }
  void SetPosition(std::size_t position) { FPosition = position < FSize ? position : FSize; }
  std::size_t Remaining() const { return FSize - FPosition; }
  bool AtEnd() const { return FPosition >= FSize; }
  const std::uint8_t* Current() const { return FData + FPosition; }

  // The next byte, or -1 at the end.
  int ReadByte() { return FPosition < FSize ? FData[FPosition++] : -1; }
  // Steps back over the byte just read.
  void Back() {
    if (FPosition > 0) --FPosition;
  }
  void Skip(std::size_t count) { FPosition += count < Remaining() ? count : Remaining(); }
  // Reads exactly count bytes or raises "Premature end of data".
  void ReadBuffer(void* buffer, std::size_t count);
  // Reads exactly count bytes into buffer when they are there; otherwise
  // reads nothing and answers false.
  bool TryRead(void* buffer, std::size_t count);

  void Finish();

  // A buffer for the image data of one frame, kept between frames so that
  // a file of many frames allocates it once.
  std::vector<std::uint8_t>& Scratch() { return FScratch; }

 private:
  TStream* FStream = nullptr;
  std::int64_t FStart = 0;
  std::vector<std::uint8_t> FOwned;
  const std::uint8_t* FData = nullptr;
  std::size_t FSize = 0;
  std::size_t FPosition = 0;
  std::vector<std::uint8_t> FScratch;
};

// A stream that wraps the destination of an encoder. It refuses to be read,
// written or moved through its own interface; only the writer below, which
// packs bytes into data sub-blocks, writes through it.
class TGIFStream : public TStream {
 public:
  explicit TGIFStream(TStream& stream) : FStream(stream) {}

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

  // Told how far an operation has come; the encoders leave it unused.
  TNotifyEvent OnProgress;

 protected:
  TStream& FStream;
};

// Packs bytes into data sub-blocks of up to 255 bytes, each preceded by its
// length. Full blocks go out at once; Flush writes a last, partly filled
// block (an empty buffer writes nothing; the terminator is the caller's).
class TGIFWriter : public TGIFStream {
 public:
  explicit TGIFWriter(TStream& stream);

  std::int64_t Write(const void* buffer, std::int64_t count) override;
  void Put(std::uint8_t value) {
    FBuffer[FPosition++] = value;
    if (FPosition == sizeof(FBuffer)) FlushBlock();
  }
  void Flush();

 private:
  void FlushBlock();

  std::uint8_t FBuffer[256];  // byte 0 is the block length
  unsigned FPosition = 1;     // next free byte, 1..256
};

// Calls row(y) for every row of a frame of the given height in the order an
// interlaced frame stores them: every 8th row from 0, every 8th from 4, every
// 4th from 2, every 2nd from 1. Each row comes exactly once for any height.
template <class RowFunction>
void ForEachInterlacedRow(int height, RowFunction&& row) {
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) row(y);
}

// Reads and writes little-endian 16-bit numbers in byte buffers.
inline std::uint16_t GetWord(const std::uint8_t* bytes) {
  return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}
inline void PutWord(std::uint8_t* bytes, std::uint16_t value) {
  bytes[0] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace tavkit
