// Feeds arbitrary bytes to the GIF reader. Whatever loads is saved and loaded
// again: the saved file must read back without an error, with the same
// frames, and from then on saving and loading changes nothing. Any crash,
// sanitizer report, or a file of ours that does not read back is a fault.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <tavkit/gif/GIF.h>
#include <tavkit/platform/base/Streams.h>

namespace {

using tavkit::TGIFImage;
using tavkit::TGIFSubImage;
using tavkit::TMemoryStream;

// A frame's place, size, interlacing and colour indices.
std::vector<std::uint8_t> FramesOf(const TGIFImage& image) {
  std::vector<std::uint8_t> frames;
  for (int i = 0; i < image.GetImages().GetCount(); ++i) {
    const TGIFSubImage* frame = image.GetImages().GetImage(i);
    if (frame->GetEmpty()) continue;
    for (int bound = 1; bound <= 4; ++bound) {
      frames.push_back(static_cast<std::uint8_t>(frame->GetBounds(bound)));
      frames.push_back(static_cast<std::uint8_t>(frame->GetBounds(bound) >> 8));
    }
    frames.push_back(frame->GetInterlaced());
    frames.insert(frames.end(), frame->GetData(), frame->GetData() + frame->GetDataSize());
  }
  return frames;
}

std::vector<std::uint8_t> Save(TGIFImage& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

// Saves image and loads the file into copy; the file must load without an
// error. Answers whether it did.
bool Reload(TGIFImage& image, TGIFImage& copy) {
  TMemoryStream stream(Save(image));
  try {
    copy.LoadFromStream(stream);
  } catch (const tavkit::Exception&) {
    return false;
  }
  return true;
}

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

// The seeds include photographs of hundreds of kilobytes; inputs are cut to
// 64 KB unless the caller asks for another length, which keeps runs quick
// while every kind of block still fits.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  static std::vector<char*> arguments;
  static char maxLen[] = "-max_len=65536";
  arguments.assign(*argv, *argv + *argc);
  for (const char* argument : arguments)
    if (std::strncmp(argument, "-max_len=", 9) == 0) return 0;
  arguments.insert(arguments.begin() + 1, maxLen);
  arguments.push_back(nullptr);
  *argc = static_cast<int>(arguments.size()) - 1;
  *argv = arguments.data();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Small limits keep each run quick, also on mutations of large seeds;
  // the limits themselves are checked by the unit tests.
  tavkit::MaxGIFFramePixels = 1 << 16;
  tavkit::MaxGIFTotalPixels = 1 << 18;

  TGIFImage image;
  try {
    TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
    image.LoadFromStream(stream);
  } catch (const tavkit::Exception&) {
    // A refused file may still have loaded frames before the error; they
    // are saved like any others.
  }
  if (image.GetImages().GetCount() == 0) return 0;

  TGIFImage reloaded;
  Require(Reload(image, reloaded));
  Require(FramesOf(reloaded) == FramesOf(image));
  // Sub-images without pixels write only their extensions, which then
  // stand in front of the next frame, and their colours no longer count
  // in the screen descriptor; from the first copy on, nothing changes.
  if (reloaded.GetImages().GetCount() == 0) return 0;
  TGIFImage again;
  Require(Reload(reloaded, again));
  Require(again.GetImages().GetCount() > 0 && Save(again) == Save(reloaded));
  return 0;
}
