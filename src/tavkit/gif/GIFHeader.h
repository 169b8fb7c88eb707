// The head of a GIF file: signature and version, the logical screen (its
// size, background colour and aspect ratio) and the global colour map.
#pragma once

#include <cstdint>
#include <memory>

#include <tavkit/gif/GIFColorMap.h>
#include <tavkit/gif/GIFItem.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TGIFImage;
class TGIFReader;
class TStream;

// The logical screen descriptor and the global colour map.
class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* image);

  TGIFVersion GetVersion() const override;
  // Writes signature, version, screen descriptor and global colour table.
  void SaveToStream(TStream& stream) override;
  void LoadFromReader(TGIFReader& reader) override;
  // Recomputes PackedFields from the colour maps.
  void Prepare();

  std::uint16_t GetScreenWidth() const { return FScreenWidth; }
  void SetScreenWidth(std::uint16_t width) { FScreenWidth = width; }
  std::uint16_t GetScreenHeight() const { return FScreenHeight; }
  void SetScreenHeight(std::uint16_t height) { FScreenHeight = height; }
  std::uint8_t GetPackedFields() const { return FPackedFields; }
  void SetPackedFields(std::uint8_t packed) { FPackedFields = packed; }
  std::uint8_t GetBackgroundColorIndex() const { return FBackgroundColorIndex; }
  // An index beyond a non-empty global map is warned about and stored as 0.
  void SetBackgroundColorIndex(int index);
  std::uint8_t GetAspectRatio() const { return FAspectRatio; }
  void SetAspectRatio(std::uint8_t ratio) { FAspectRatio = ratio; }
  TColor GetBackgroundColor();
  void SetBackgroundColor(TColor color);
  int GetBitsPerPixel() const { return FColorMap->GetBitsPerPixel(); }
  int GetColorResolution() const { return FColorMap->GetBitsPerPixel() - 1; }
  TGIFGlobalColorMap& GetColorMap() { return *FColorMap; }
  const TGIFGlobalColorMap& GetColorMap() const { return *FColorMap; }

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  std::uint16_t FScreenWidth = 0;
  std::uint16_t FScreenHeight = 0;
  std::uint8_t FPackedFields = 0;
  std::uint8_t FBackgroundColorIndex = 0;
  std::uint8_t FAspectRatio = 0;
  std::unique_ptr<TGIFGlobalColorMap> FColorMap;
};

}  // namespace tavkit
