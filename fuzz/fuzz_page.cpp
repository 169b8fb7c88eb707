// Builds a random page from the fuzzer's bytes (see PageBuilder.h) and
// writes it every way there is. A setter or a put may refuse with an error of
// the library; anything else that goes wrong (a crash, a leak, a sanitizer
// report, a foreign exception) is a fault.
#include <cstddef>
#include <cstdint>

#include <tavkit/package/Package.h>
#include "PageBuilder.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavkit::RegisterPackage();
  tavkit::fuzz::UseScratchImageFolder();
  tavkit::fuzz::BoundPictureMemory();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tavkit::fuzz::BuildAndWritePage(data, size);
  tavkit::fuzz::ClearScratchImages();
  return 0;
}
