// TGIFTrailer: the trailer of a GIF file, the one byte (';') after the last
// frame, written by every save and checked when a file is read.
//
// ```cpp
// TGIFImage gif;
// gif.OnWarning = [](TObject* sender, TGIFSeverity, const std::string& message) {
//   if (dynamic_cast<TGIFTrailer*>(sender) != nullptr)
//     std::cerr << message << "\n";           // "Invalid Image trailer"; the frames are all read
// };
// gif.LoadFromFile("odd-ending.gif");
// TMemoryStream copy;
// gif.SaveToStream(copy);                     // every save ends with the trailer
// bool ended = copy.Bytes().back() == ';';
// ```
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
