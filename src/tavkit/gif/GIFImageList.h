// TGIFImageList: the frames of a GIF image in file order. Reading it reads
// frame after frame (each with the extensions in front of it) up to the
// trailer, reporting the image's loading progress as it goes.
//
// ```cpp
// TGIFImage gif;
// gif.LoadFromFile("slides.gif");
// TGIFImageList& frames = gif.GetImages();    // in the order they are shown
// TGIFSubImage* cover = frames.GetImage(frames.GetCount() - 1);
// frames.Move(frames.IndexOf(cover), 0);      // the last slide now comes first
// frames.Delete(1);                           // the old first slide, freed
// TBitmap credits(gif.GetWidth(), gif.GetHeight());
// credits.Canvas().TextOut(10, 10, "The end");
// int last = gif.Add(&credits);               // a new frame at the end, made from the bitmap
// gif.SaveToFile("slides.gif");
// ```
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
