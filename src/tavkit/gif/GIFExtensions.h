// The extension blocks that stand in front of a frame: graphic control
// (delay, disposal, transparency), plain text, comment and application
// extensions, with the registries that map a block's label (and an
// application block's identifier) to the class that reads it. Unknown
// application extensions are kept as raw sub-blocks and written back as
// they came.
//
// ```cpp
// // Two pictures as an animation that shows each for half a second, for ever.
// TBitmap on(32, 32), off(32, 32);
// on.Canvas().Brush().Color = clRed;
// on.Canvas().FillRect(Rect(0, 0, 32, 32));
// TGIFImage gif;
// for (TBitmap* picture : {&on, &off}) {
//   TGIFSubImage& frame = *gif.GetImages().GetImage(gif.Add(picture));
//   auto* control = new TGIFGraphicControlExtension(&frame);
//   control->SetDelay(50);                    // hundredths of a second
//   frame.GetExtensions().Add(control);
// }
// TGIFSubImage& first = *gif.GetImages().GetImage(0);
// auto* loop = new TGIFAppExtNSLoop(&first);
// loop->SetLoopCount(0);                      // 0: for ever
// first.GetExtensions().Insert(0, loop);
// gif.SaveToFile("blink.gif");
// ```
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <tavkit/gif/GIFItem.h>
#include <tavkit/platform/base/Strings.h>
#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TGIFExtension;
class TGIFReader;
class TGIFSubImage;
class TStream;

// What the registries hold for an extension class: its label, how to make
// one, and how to pick a more specific class by looking at the block.
struct TGIFExtensionClass {
  const char* Name;
  std::uint8_t Label;
  TGIFExtension* (*Create)(TGIFSubImage* subImage);
  // Answers the class that reads the block at the reader's position (the
  // position may move; the caller restores it), or null.
  const TGIFExtensionClass* (*FindSubExtension)(const TGIFExtensionClass& self, TGIFReader& reader);
};

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* subImage);

  TGIFVersion GetVersion() const override { return gv89a; }
  virtual std::uint8_t GetExtensionType() const = 0;
  virtual const TGIFExtensionClass& GetClass() const = 0;
  // Writes the introducer '!', the label and the extension's own bytes.
  void SaveToStream(TStream& stream) override;
  // Checks introducer and label, then reads the extension's own bytes.
  void LoadFromReader(TGIFReader& reader) override;

  TGIFSubImage* GetSubImage() const { return FSubImage; }

  // Adds a class for a label; a later registration wins.
  static void RegisterExtension(std::uint8_t label, const TGIFExtensionClass& extensionClass);
  // The class for the extension block at the stream's position (which is
  // left unchanged), or null.
  static const TGIFExtensionClass* FindExtension(TStream& stream);
  static const TGIFExtensionClass* FindExtension(TGIFReader& reader);
  // The default FindSubExtension: the class itself.
  static const TGIFExtensionClass* FindSubExtension(const TGIFExtensionClass& self,
                                                    TGIFReader& reader);

 protected:
  virtual void WriteBody(TStream& stream) = 0;
  virtual void ReadBody(TGIFReader& reader) = 0;

  TGIFSubImage* FSubImage;
};

class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  // The first one made for a sub-image becomes its graphic control.
  explicit TGIFGraphicControlExtension(TGIFSubImage* subImage);
  ~TGIFGraphicControlExtension() override;
  static const TGIFExtensionClass& Class();
  const TGIFExtensionClass& GetClass() const override { return Class(); }
  std::uint8_t GetExtensionType() const override { return 0xF9; }

  bool GetTransparent() const { return (FPacked & 0x01) != 0; }
  // Also sets the sub-image's transparent flag.
  void SetTransparent(bool transparent);
  bool GetUserInput() const { return (FPacked & 0x02) != 0; }
  void SetUserInput(bool userInput);
  TDisposalMethod GetDisposal() const {
    return static_cast<TDisposalMethod>((FPacked >> 2) & 0x07);
  }
  // Keeps the low three bits of the value.
  void SetDisposal(int disposal);
  std::uint16_t GetDelay() const { return FDelay; }
  void SetDelay(std::uint16_t delay) { FDelay = delay; }
  std::uint8_t GetTransparentColorIndex() const { return FTransparentColorIndex; }
  // An index beyond a non-empty colour map is warned about and stored as 0.
  void SetTransparentColorIndex(int index);
  TColor GetTransparentColor();
  void SetTransparentColor(TColor color);

  std::uint8_t GetBlockSize() const { return FBlockSize; }
  std::uint8_t GetPacked() const { return FPacked; }
  void SetPacked(std::uint8_t packed) { FPacked = packed; }

 protected:
  void WriteBody(TStream& stream) override;
  void ReadBody(TGIFReader& reader) override;

 private:
  std::uint8_t FBlockSize = 4;
  std::uint8_t FPacked = 0;
  std::uint16_t FDelay = 0;
  std::uint8_t FTransparentColorIndex = 0;
  std::uint8_t FTerminator = 0;
};

class TGIFTextExtension : public TGIFExtension {
 public:
  explicit TGIFTextExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
  static const TGIFExtensionClass& Class();
  const TGIFExtensionClass& GetClass() const override { return Class(); }
  std::uint8_t GetExtensionType() const override { return 0x01; }

  // 1 = Left, 2 = Top, 3 = Width, 4 = Height of the text grid.
  int GetBounds(int index) const;
  void SetBounds(int index, int value);
  // 1 = CharWidth, 2 = CharHeight.
  int GetCharWidthHeight(int index) const;
  void SetCharWidthHeight(int index, int value);
  // 1 = foreground, 2 = background.
  int GetColorIndex(int index) const;
  void SetColorIndex(int index, int value);
  TColor GetForegroundColor();
  void SetForegroundColor(TColor color);
  TColor GetBackgroundColor();
  void SetBackgroundColor(TColor color);
  TStringList& GetLines() { return FLines; }

 protected:
  void WriteBody(TStream& stream) override;
  void ReadBody(TGIFReader& reader) override;

 private:
  int ColorIndexOf(TColor color);

  std::uint8_t FBlockSize = 12;
  std::uint16_t FLeft = 0;
  std::uint16_t FTop = 0;
  std::uint16_t FWidth = 0;
  std::uint16_t FHeight = 0;
  std::uint8_t FCharWidth = 0;
  std::uint8_t FCharHeight = 0;
  std::uint8_t FForegroundColorIndex = 0;
  std::uint8_t FBackgroundColorIndex = 0;
  TStringList FLines;
};

class TGIFCommentExtension : public TGIFExtension {
 public:
  explicit TGIFCommentExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
  static const TGIFExtensionClass& Class();
  const TGIFExtensionClass& GetClass() const override { return Class(); }
  std::uint8_t GetExtensionType() const override { return 0xFE; }
  TStringList& GetLines() { return FLines; }

 protected:
  void WriteBody(TStream& stream) override;
  void ReadBody(TGIFReader& reader) override;

 private:
  TStringList FLines;
};

// The 11 bytes that name an application extension.
struct TGIFApplicationRec {
  std::uint8_t Identifier[8] = {};
  std::uint8_t Authentication[3] = {};
};

class TGIFApplicationExtension : public TGIFExtension {
 public:
  explicit TGIFApplicationExtension(TGIFSubImage* subImage) : TGIFExtension(subImage) {}
  static const TGIFExtensionClass& Class();
  std::uint8_t GetExtensionType() const override { return 0xFF; }

  TGIFApplicationRec& GetIdentifier() { return FIdentifier; }
  // The 11 identifier bytes as a string.
  std::string GetIdentifierText() const;
  void SetIdentifierText(const std::string& text);

  // Adds a class for an 11-byte identifier; a later registration wins.
  static void RegisterExtension(const std::string& identifier,
                                const TGIFExtensionClass& extensionClass);
  // Picks the class by the block's identifier.
  static const TGIFExtensionClass* FindSubExtension(const TGIFExtensionClass& self,
                                                    TGIFReader& reader);

 protected:
  // The data sub-blocks after the identifier, with their terminator.
  virtual void SaveData(TStream& stream) = 0;
  virtual void LoadData(TGIFReader& reader) = 0;
  void WriteBody(TStream& stream) override;
  void ReadBody(TGIFReader& reader) override;

  TGIFApplicationRec FIdentifier;
};

// A raw data sub-block.
class TGIFBlock {
 public:
  TGIFBlock() = default;
  TGIFBlock(const std::uint8_t* bytes, std::uint8_t length);
  std::uint8_t GetLength() const { return FLength; }
  const std::uint8_t* GetBytes() const { return FBytes; }
  // Length byte and bytes.
  void SaveToStream(TStream& stream) const;
  // Reads a length byte and that many bytes ("Premature end of data" when
  // they are not all there).
  void LoadFromReader(TGIFReader& reader);

 private:
  std::uint8_t FLength = 0;
  std::uint8_t FBytes[255] = {};
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  explicit TGIFUnknownAppExtension(TGIFSubImage* subImage);
  static const TGIFExtensionClass& Class();
  const TGIFExtensionClass& GetClass() const override { return Class(); }
  int GetSubBlockCount() const { return static_cast<int>(FSubBlocks.size()); }
  const TGIFBlock& GetSubBlock(int index) const;
  void AddSubBlock(const std::uint8_t* bytes, std::uint8_t length);

 protected:
  void SaveData(TStream& stream) override;
  void LoadData(TGIFReader& reader) override;

 private:
  std::vector<std::unique_ptr<TGIFBlock>> FSubBlocks;
};

// The looping extension: how often an animation plays (0 = for ever).
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);
  static const TGIFExtensionClass& Class();
  const TGIFExtensionClass& GetClass() const override { return Class(); }
  std::uint16_t GetLoopCount() const { return FLoopCount; }
  void SetLoopCount(std::uint16_t count) { FLoopCount = count; }

 protected:
  void SaveData(TStream& stream) override;
  void LoadData(TGIFReader& reader) override;

 private:
  std::uint16_t FLoopCount = 0;
};

// Writes lines as data sub-blocks of at most 255 bytes and a terminator;
// empty lines write nothing.
void WriteGIFLines(TStream& stream, const TStrings& lines);
// Reads data sub-blocks up to the terminator, one line each.
void ReadGIFLines(TGIFReader& reader, TStrings& lines);

}  // namespace tavkit
