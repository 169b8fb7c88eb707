// The frames of a GIF image in file order. Reading it reads frame after frame
// (each with the extensions in front of it) up to the trailer, reporting the
// image's loading progress as it goes.
#pragma once

#include <tavkit/gif/GIFItem.h>

namespace tavkit {

class TGIFImage;
class TGIFReader;
class TGIFSubImage;
class TStream;

class TGIFImageList : public TGIFList {
 public:
  using TGIFList::TGIFList;
  TGIFSubImage* GetImage(int index) const;
  void SetImage(int index, TGIFSubImage* subImage);
  // parent is the TGIFImage the sub-images belong to.
  void LoadFromStream(TStream& stream, TObject* parent) override;
  void LoadFromReader(TGIFReader& reader, TGIFImage* image);
};

}  // namespace tavkit
