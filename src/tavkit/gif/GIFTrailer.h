// The trailer of a GIF file: the one byte (';') after the last frame, written
// by every save and checked when a file is read.
#pragma once

#include <tavkit/gif/GIFItem.h>

namespace tavkit {

class TGIFReader;
class TStream;

// The trailer byte that ends a file.
class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void SaveToStream(TStream& stream) override;
  // Warns "Invalid Image trailer" unless the byte there is ';' (or the data
  // has ended).
  void LoadFromReader(TGIFReader& reader) override;
};

}  // namespace tavkit
