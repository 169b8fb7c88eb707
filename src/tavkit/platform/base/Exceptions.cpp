// Helpers for raising the framework's exceptions with their standard texts.
#include <tavkit/platform/base/Exceptions.h>

namespace tavkit {

void ListIndexError(long index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace tavkit
