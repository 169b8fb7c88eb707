// The items and lists of the GIF document: warnings go up to the image,
// and a list frees the items it owns.
#include <tavkit/gif/GIFItem.h>

#include <tavkit/gif/GIFImage.h>
#include <tavkit/gif/detail/GIFStream.h>

namespace tavkit {

void TGIFItem::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFItem::LoadFromStream(TStream& stream) {
  TGIFReader reader(stream);
  LoadFromReader(reader);
  reader.Finish();
}

TGIFList::~TGIFList() {
  Clear();
}

void TGIFList::Warning(TGIFSeverity severity, const std::string& message) {
  if (FImage) FImage->Warning(this, severity, message);
}

void TGIFList::SaveToStream(TStream& stream) {
  for (TGIFItem* item : FItems) item->SaveToStream(stream);
}

void TGIFList::Clear() {
  while (GetCount() > 0) Delete(0);
}

void TGIFList::Delete(int index) {
  delete FItems.Get(index);
  FItems.Delete(index);
}

}  // namespace tavkit
