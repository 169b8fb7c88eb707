// The extension blocks written in front of one frame, in file order. Reading
// it picks the class of each block through the extension registries.
#pragma once

#include <tavkit/gif/GIFItem.h>

namespace tavkit {

class TGIFExtension;
class TGIFReader;
class TGIFSubImage;
class TStream;

class TGIFExtensionList : public TGIFList {
 public:
  TGIFExtensionList(TGIFSubImage* subImage);
  TGIFExtension* GetExtension(int index) const;
  void SetExtension(int index, TGIFExtension* extension);
  // parent is the TGIFSubImage the extensions belong to.
  void LoadFromStream(TStream& stream, TObject* parent) override;
  void LoadFromReader(TGIFReader& reader, TGIFSubImage* subImage);
};

}  // namespace tavkit
