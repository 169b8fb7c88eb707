// TGIFExtensionList: the extension blocks written in front of one frame, in
// file order. Reading it picks the class of each block through the extension
// registries.
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("banner.gif");
// TGIFSubImage& frame = *gif.GetImages().GetImage(0);
// TGIFExtensionList& blocks = frame.GetExtensions();  // the blocks before the frame, in file order
// for (int i = 0; i < blocks.GetCount(); ++i)
//   if (auto* comment = dynamic_cast<TGIFCommentExtension*>(blocks.GetExtension(i)))
//     std::cout << comment->GetLines().GetText();
// auto* note = new TGIFCommentExtension(&frame);
// note->GetLines().Add("Made with Tavkit");
// blocks.Add(note);                           // the list owns it from now on
// gif.SaveToFile("banner.gif");
// ```
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
