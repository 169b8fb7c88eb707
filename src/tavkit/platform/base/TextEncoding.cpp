// Latin-1 and UTF-8 conversions and the locale-free upper case of names.
#include <tavkit/platform/base/TextEncoding.h>

#include <cstddef>

namespace tavkit {

namespace {

// Length of the well-formed UTF-8 sequence at text[i] and its code point, or
// 0 when the bytes there are no such sequence.
std::size_t Utf8Sequence(const std::string& text, std::size_t i, unsigned& code) {
  auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                                                      : 0;
  if (length == 0 || i + length > text.size()) return 0;
  code = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
  if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string Latin1ToUtf8(const std::string& latin1) {
  std::string utf8;
  utf8.reserve(latin1.size());
  for (char c : latin1) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return utf8;
}

std::string Utf8ToLatin1(const std::string& utf8) {
  std::string latin;
  latin.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned code = 0;
    std::size_t length =
        static_cast<unsigned char>(utf8[i]) < 0x80 ? 0 : Utf8Sequence(utf8, i, code);
    if (length == 0) {
      latin += utf8[i++];
      continue;
    }
    latin += code <= 0xFF ? static_cast<char>(code) : '?';
    i += length;
  }
  return latin;
}

unsigned FirstBeyondLatin1(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned code = 0;
    std::size_t length =
        static_cast<unsigned char>(utf8[i]) < 0x80 ? 0 : Utf8Sequence(utf8, i, code);
    if (length == 0) {
      ++i;
      continue;
    }
    if (code > 0xFF) return code;
    i += length;
  }
  return 0;
}

std::string AsciiUpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace tavkit
