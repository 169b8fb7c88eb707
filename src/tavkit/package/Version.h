// Which deliverable this is. The same sources build two shared libraries,
// Tavkit40 and Tavkit30, one for each version of the host framework that an
// application may be built on; each reports the version it was built for.
//
// ```cpp
// std::cout << LibraryName() << " " << LibraryVersion() << "\n";  // "Tavkit40 0.1.0"
// ```
#pragma once

#include <string>

namespace tavkit {

// 40 for Tavkit40, 30 for Tavkit30.
int HostFrameworkVersion();
// "Tavkit40" or "Tavkit30".
std::string LibraryName();
// The library's own release, "MAJOR.MINOR.PATCH".
std::string LibraryVersion();

}  // namespace tavkit
