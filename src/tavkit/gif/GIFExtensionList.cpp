// Reading the extension blocks in front of a frame: each block is read by the
// class its label (and, for application blocks, its identifier) names.
#include <tavkit/gif/GIFExtensionList.h>

#include <memory>

#include <tavkit/gif/GIFExtensions.h>
#include <tavkit/gif/GIFSubImage.h>
#include <tavkit/gif/detail/GIFStream.h>

namespace tavkit {

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* subImage)
    : TGIFList(subImage ? subImage->GetImage() : nullptr) {}

TGIFExtension* TGIFExtensionList::GetExtension(int index) const {
  return static_cast<TGIFExtension*>(GetItem(index));
}

void TGIFExtensionList::SetExtension(int index, TGIFExtension* extension) {
  SetItem(index, extension);
}

void TGIFExtensionList::LoadFromStream(TStream& stream, TObject* parent) {
  TGIFReader reader(stream);
  LoadFromReader(reader, dynamic_cast<TGIFSubImage*>(parent));
  reader.Finish();
}

void TGIFExtensionList::LoadFromReader(TGIFReader& reader, TGIFSubImage* subImage) {
  int next = reader.ReadByte();
  while (next != 0x2C && next != 0x3B) {
    if (next < 0) return;
    // Padding between blocks; skipped here as between frames, so that an
    // extension stays with the frame it stands in front of.
    if (next == 0) {
      next = reader.ReadByte();
      continue;
    }
    if (next != 0x21) {
      Warning(gsWarning, sInvalidExtensionIntroducer);
      break;
    }
    const TGIFExtensionClass* extensionClass = TGIFExtension::FindExtension(reader);
    if (extensionClass == nullptr) throw GIFException(sUnknownExtensionType);
    reader.Back();
    std::unique_ptr<TGIFExtension> extension(extensionClass->Create(subImage));
    extension->LoadFromReader(reader);
    Add(extension.release());
    next = reader.ReadByte();
  }
  reader.Back();
}

}  // namespace tavkit
