// Compiled once per deliverable, with TAVKIT_HOST_VERSION set by the build
// (40 or 30) and TAVKIT_RELEASE set to the project's version.
#include <tavkit/package/Version.h>

#ifndef TAVKIT_HOST_VERSION
#error "TAVKIT_HOST_VERSION must be set by the build"
#endif

namespace tavkit {

int HostFrameworkVersion() {
  return TAVKIT_HOST_VERSION;
}

std::string LibraryName() {
  return "Tavkit" + std::to_string(TAVKIT_HOST_VERSION);
}

std::string LibraryVersion() {
  return TAVKIT_RELEASE;
}

}  // namespace tavkit
