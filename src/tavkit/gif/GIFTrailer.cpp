// The trailer byte that ends a GIF file; a different byte there is only a
// warning, since everything before it has been read.
#include <tavkit/gif/GIFTrailer.h>

#include <tavkit/gif/detail/GIFStream.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

void TGIFTrailer::SaveToStream(TStream& stream) {
  stream.WriteByte(0x3B);
}

void TGIFTrailer::LoadFromReader(TGIFReader& reader) {
  const int next = reader.ReadByte();
  if (next >= 0 && next != 0x3B) Warning(gsWarning, sInvalidTrailer);
}

}  // namespace tavkit
