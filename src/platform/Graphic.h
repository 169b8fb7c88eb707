// TGraphic: the abstract picture of the framework (bitmap, GIF image, PNG
// image). A graphic knows its size, draws itself into a rectangle of a canvas
// and reads and writes its own file format.
#pragma once

#include <string>

#include "platform/Objects.h"
#include "platform/Types.h"

namespace tavkit {

class TCanvas;
class TStream;

class TGraphic : public TPersistent {
 public:
  // Draws the picture scaled into rect of the canvas.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  virtual bool GetEmpty() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);

  bool GetTransparent() const { return FTransparent; }
  virtual void SetTransparent(bool transparent);
  bool GetModified() const { return FModified; }
  void SetModified(bool modified);

  // Called after every change of the picture.
  TNotifyEvent OnChange;

 protected:
  virtual void Changed(TObject* sender);

 private:
  bool FTransparent = false;
  bool FModified = false;
};

}  // namespace tavkit
