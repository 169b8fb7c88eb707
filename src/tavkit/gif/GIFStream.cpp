// The memory reader over a stream and the sub-block writer.
#include <tavkit/gif/detail/GIFStream.h>

#include <algorithm>
#include <cstring>

namespace tavkit {

TGIFReader::TGIFReader(TStream& stream) : FStream(&stream), FStart(stream.GetPosition()) {
  std::int64_t size = stream.GetSize() - FStart;
  if (size <= 0) return;
  if (auto* memory = dynamic_cast<TMemoryStream*>(&stream)) {
    FData = memory->Memory() + FStart;
    FSize = static_cast<std::size_t>(size);
    return;
  }
  FOwned.resize(static_cast<std::size_t>(size));
  FOwned.resize(static_cast<std::size_t>(stream.Read(FOwned.data(), size)));
  stream.SetPosition(FStart);
  FData = FOwned.data();
  FSize = FOwned.size();
}

TGIFReader::TGIFReader(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

void TGIFReader::ReadBuffer(void* buffer, std::size_t count) {
  if (!TryRead(buffer, count)) throw GIFException(sPrematureEnd);
}

bool TGIFReader::TryRead(void* buffer, std::size_t count) {
  if (count > Remaining()) return false;
  if (count != 0) std::memcpy(buffer, FData + FPosition, count);
  FPosition += count;
  return true;
}

void TGIFReader::Finish() {
  if (FStream) FStream->SetPosition(FStart + static_cast<std::int64_t>(FPosition));
}

std::int64_t TGIFStream::Read(void*, std::int64_t) {
  throw Exception(sInvalidStreamOperation);
}

std::int64_t TGIFStream::Write(const void*, std::int64_t) {
  throw Exception(sInvalidStreamOperation);
}

std::int64_t TGIFStream::Seek(std::int64_t, TSeekOrigin) {
  throw Exception(sInvalidStreamOperation);
}

TGIFWriter::TGIFWriter(TStream& stream) : TGIFStream(stream) {}

std::int64_t TGIFWriter::Write(const void* buffer, std::int64_t count) {
  if (count <= 0) return 0;
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  auto left = static_cast<std::size_t>(count);
  while (left > 0) {
    const std::size_t n = std::min<std::size_t>(left, sizeof(FBuffer) - FPosition);
    std::memcpy(FBuffer + FPosition, bytes, n);
    FPosition += static_cast<unsigned>(n);
    bytes += n;
    left -= n;
    if (FPosition == sizeof(FBuffer)) FlushBlock();
  }
  return count;
}

void TGIFWriter::FlushBlock() {
  FBuffer[0] = static_cast<std::uint8_t>(FPosition - 1);
  FStream.WriteBuffer(FBuffer, FPosition);
  FPosition = 1;
}

void TGIFWriter::Flush() {
  if (FPosition > 1) FlushBlock();
}

}  // namespace tavkit
