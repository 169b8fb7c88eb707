// The texts that the codec's progress reports carry, byte for byte: the
// stage of work an application's progress handler is told about.
#pragma once

namespace tavkit::detail {

inline constexpr const char* kLoading = "Loading...";
inline constexpr const char* kSaving = "Saving...";
inline constexpr const char* kCopying = "Copying...";
inline constexpr const char* kRendering = "Rendering...";
inline constexpr const char* kConverting = "Converting...";

}  // namespace tavkit::detail
