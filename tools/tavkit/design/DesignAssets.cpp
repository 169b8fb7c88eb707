// Looks the UI files up in the table the build generates from them.
#include "design/DesignAssets.h"

#include "DesignAssetsData.h"

namespace tavkit::design {

namespace {

std::string ContentTypeOf(std::string_view path) {
  if (path.ends_with(".html")) return "text/html; charset=utf-8";
  if (path.ends_with(".css")) return "text/css; charset=utf-8";
  if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace

std::optional<TAsset> FindAsset(const std::string& path) {
  const std::string wanted = path == "/" ? "/index.html" : path;
  for (const auto& file : assets::kFiles)
    if (wanted == file.Path)
      return TAsset{std::string_view(file.Data, file.Size), ContentTypeOf(file.Path)};
  return std::nullopt;
}

}  // namespace tavkit::design
