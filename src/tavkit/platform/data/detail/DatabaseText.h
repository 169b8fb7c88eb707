// Text values as the database libraries hand them over, UTF-8 bytes and
// their length, made the library's Latin-1 strings. Internal to the queries.
#pragma once

#include <cstddef>
#include <string>

#include <tavkit/platform/base/TextEncoding.h>
#include <tavkit/platform/data/DataSet.h>

namespace tavkit::detail {

// Writes the text over value, reusing the room of the string it holds from
// an earlier row. Most values are plain ASCII, the same bytes in both
// encodings: those are copied once instead of being rebuilt byte by byte.
// NUL bytes stay.
inline void AssignLatin1(TFieldValue& value, const char* text, std::size_t size) {
  auto* latin1 = std::get_if<std::string>(&value);
  if (latin1 == nullptr) latin1 = &value.emplace<std::string>();
  unsigned char any = 0;
  for (std::size_t i = 0; i < size; ++i) any |= static_cast<unsigned char>(text[i]);
  if (any < 0x80)
    latin1->assign(text, size);
  else
    *latin1 = Utf8ToLatin1(std::string(text, size));
}

}  // namespace tavkit::detail
