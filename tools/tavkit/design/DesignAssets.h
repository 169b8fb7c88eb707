// The files of the designer's UI (its page, style sheet and script), built
// into the program from tools/tavkit/design/ui, by their web paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavkit::design {

struct TAsset {
  std::string_view Body;
  std::string ContentType;
};

// The file served at path ("/" is the page), or nothing.
std::optional<TAsset> FindAsset(const std::string& path);

}  // namespace tavkit::design
