// File helpers and change reporting shared by every graphic class.
#include "platform/Graphic.h"

#include "platform/Streams.h"

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
  if (modified) Changed(this);
  else FModified = false;
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  if (OnChange) OnChange(this);
}

}  // namespace tavkit
