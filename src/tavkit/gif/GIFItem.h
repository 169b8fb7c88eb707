// The two building blocks of the GIF document: an item (the header, a frame,
// an extension block, the trailer) that knows its image and reads and writes
// itself in the stream format, and a list that owns its items.
#pragma once

#include <string>

#include <tavkit/gif/GIFTypes.h>
#include <tavkit/platform/base/Lists.h>
#include <tavkit/platform/base/Objects.h>

namespace tavkit {

class TGIFImage;
class TGIFReader;
class TStream;

// A part of the document that knows its image and reads and writes itself.
class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImage* image) : FImage(image) {}

  // The oldest file version that can hold this item.
  virtual TGIFVersion GetVersion() const { return gv87a; }
  // Passed on to the image, with this item as the sender.
  virtual void Warning(TGIFSeverity severity, const std::string& message);
  virtual void SaveToStream(TStream& stream) = 0;
  // Reads the item from the stream's position, leaving the stream behind it.
  virtual void LoadFromStream(TStream& stream);
  // The same from a GIF held in memory.
  virtual void LoadFromReader(TGIFReader& reader) = 0;

  TGIFImage* GetImage() const { return FImage; }

 protected:
  TGIFImage* FImage;
};

// An ordered list of items that it owns: Delete and Clear free them.
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImage* image) : FImage(image) {}
  ~TGIFList() override;

  virtual void Warning(TGIFSeverity severity, const std::string& message);
  // Every item in order.
  virtual void SaveToStream(TStream& stream);
  virtual void LoadFromStream(TStream& stream, TObject* parent) = 0;

  TGIFItem* GetItem(int index) const { return FItems.Get(index); }
  void SetItem(int index, TGIFItem* item) { FItems.Put(index, item); }
  int GetCount() const { return FItems.Count(); }
  int Add(TGIFItem* item) { return FItems.Add(item); }
  void Clear();
  void Delete(int index);
  void Exchange(int a, int b) { FItems.Exchange(a, b); }
  TGIFItem* First() const { return FItems.First(); }
  int IndexOf(const TGIFItem* item) const { return FItems.IndexOf(item); }
  void Insert(int index, TGIFItem* item) { FItems.Insert(index, item); }
  TGIFItem* Last() const { return FItems.Last(); }
  void Move(int from, int to) { FItems.Move(from, to); }
  // Unlinks the item without freeing it.
  void Remove(TGIFItem* item) { FItems.Remove(item); }
  TGIFImage* GetGIFImage() const { return FImage; }

 protected:
  TGIFImage* FImage;
  TList<TGIFItem> FItems;
};

}  // namespace tavkit
