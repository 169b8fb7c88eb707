// File helpers, change and progress reporting shared by every graphic class.
#include <tavkit/platform/graphics/Graphic.h>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit {

void TGraphic::LoadFromFile(const std::string& fileName) {
  TMemoryStream stream(ReadFileBytes(fileName));
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TMemoryStream stream;
  SaveToStream(stream);
  stream.SaveToFile(fileName);
}

void TGraphic::SetTransparent(bool transparent) {
  if (transparent == FTransparent) return;
  FTransparent = transparent;
  Changed(this);
}

void TGraphic::SetModified(bool modified) {
  if (modified)
    Changed(this);
  else
    FModified = false;
}

void TGraphic::SaveToClipboardFormat(TClipboardFormat&, TClipboardData&, TPalette&) {
  throw EInvalidGraphic("Cannot copy " + ClassName() + " to the clipboard");
}

void TGraphic::LoadFromClipboardFormat(TClipboardFormat, const TClipboardData&, const TPalette&) {
  throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, int percentDone, bool redrawNow,
                        const TRect& rect, const std::string& message) {
  if (OnProgress) OnProgress(sender, stage, percentDone, redrawNow, rect, message);
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  if (OnChange) OnChange(this);
}

}  // namespace tavkit
