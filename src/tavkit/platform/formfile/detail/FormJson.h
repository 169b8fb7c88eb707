// The JSON layer under the form-file reader and writer: the JSON flavour the
// files are held in, the parse of a file's text within the form-file bounds,
// the colour names written in place of numbers, and the hex digits of
// "#RRGGBB" colours and of characters named in messages.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include <tavkit/platform/base/Types.h>

namespace tavkit::detail {

// Keeps the keys of each object in the order written: properties are applied
// in that order, and saving reproduces the registry's order.
using Json = nlohmann::ordered_json;

// The document of a form file's text. Raises EFormFileError, its message
// starting with prefix, for text larger than MaxFormFileSize, values nested
// deeper than MaxFormJsonDepth, and malformed JSON (placed by line and
// column).
Json ParseFormJson(const std::string& text, const std::string& prefix);

struct TColorName {
  const char* Name;
  TColor Value;
};

inline constexpr TColorName ColorNames[] = {
    {"clNone", clNone},     {"clBlack", clBlack},   {"clMaroon", clMaroon},   {"clGreen", clGreen},
    {"clOlive", clOlive},   {"clNavy", clNavy},     {"clPurple", clPurple},   {"clTeal", clTeal},
    {"clGray", clGray},     {"clSilver", clSilver}, {"clRed", clRed},         {"clLime", clLime},
    {"clYellow", clYellow}, {"clBlue", clBlue},     {"clFuchsia", clFuchsia}, {"clAqua", clAqua},
    {"clWhite", clWhite},
};

// value in upper-case hex, digits long.
inline std::string Hex(unsigned value, int digits) {
  static const char* const digitChars = "0123456789ABCDEF";
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4)
    text[static_cast<std::size_t>(i)] = digitChars[value & 0xF];
  return text;
}

}  // namespace tavkit::detail
