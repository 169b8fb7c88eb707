// Reading the frames of a GIF file. Zero bytes between blocks are taken as
// padding; an unknown block ends the frames with a warning, keeping those
// read so far.
#include <tavkit/gif/GIFImageList.h>

#include <memory>

#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/GIFSubImage.h>
#include <tavkit/gif/detail/GIFProgress.h>
#include <tavkit/gif/detail/GIFStream.h>

namespace tavkit {

using detail::kLoading;

namespace {

// Skips zero bytes; answers the next byte (left unread) or -1 at the end.
int SkipZeros(TGIFReader& reader) {
  int next = reader.ReadByte();
  while (next == 0) next = reader.ReadByte();
  if (next >= 0) reader.Back();
  return next;
}

}  // namespace

TGIFSubImage* TGIFImageList::GetImage(int index) const {
  return static_cast<TGIFSubImage*>(GetItem(index));
}

void TGIFImageList::SetImage(int index, TGIFSubImage* subImage) {
  SetItem(index, subImage);
}

void TGIFImageList::LoadFromStream(TStream& stream, TObject* parent) {
  TGIFReader reader(stream);
  LoadFromReader(reader, dynamic_cast<TGIFImage*>(parent));
  reader.Finish();
}

void TGIFImageList::LoadFromReader(TGIFReader& reader, TGIFImage* image) {
  for (int next = SkipZeros(reader); next >= 0 && next != 0x3B; next = SkipZeros(reader)) {
    if (next != 0x21 && next != 0x2C) {
      Warning(gsWarning, sUnknownBlockType);
      return;
    }
    auto subImage = std::make_unique<TGIFSubImage>(image);
    subImage->LoadFromReader(reader);
    Add(subImage.release());
    if (image != nullptr) {
      const std::size_t size = reader.Position() + reader.Remaining();
      image->ReportProgress(this, TProgressStage::psRunning,
                            static_cast<int>(reader.Position() * 100 / size), false, kLoading);
    }
  }
}

}  // namespace tavkit
