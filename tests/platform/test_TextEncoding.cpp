// Text crossing between the library's Latin-1 strings and UTF-8, and the
// locale-free upper case of names: one rule each, checked on the bytes.
#include <gtest/gtest.h>

#include <clocale>

#include <tavkit/platform/base/TextEncoding.h>

namespace tavkit {
namespace {

struct Utf8Case {
  const char* What;
  std::string Utf8;
  std::string Latin1;
  unsigned BeyondLatin1;
};

TEST(TextEncoding, Utf8ToLatin1ReplacesWideCharactersAndKeepsBytesThatAreNoUtf8) {
  const Utf8Case cases[] = {
      {"ASCII", "Hello, <B>", "Hello, <B>", 0},
      {"two-byte Latin-1", "caf\xC3\xA9 \xC2\xA0", "caf\xE9 \xA0", 0},
      {"euro sign", "5 \xE2\x82\xAC", "5 ?", 0x20AC},
      {"four-byte emoji", "a\xF0\x9F\x98\x80z", "a?z", 0x1F600},
      {"first wide one reported", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xE9??", 0x20AC},
      {"Latin-1 byte stored as it is", "caf\xE9", "caf\xE9", 0},
      {"truncated sequence", "ab\xC3", "ab\xC3", 0},
      {"overlong slash", "\xC0\xAF", "\xC0\xAF", 0},
      {"overlong three-byte", "\xE0\x80\xAF", "\xE0\x80\xAF", 0},
      {"surrogate", "\xED\xA0\x80", "\xED\xA0\x80", 0},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80", 0},
      {"continuation without lead", "\x80x", "\x80x", 0},
      {"NUL inside", std::string("a\0b", 3), std::string("a\0b", 3), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToLatin1(c.Utf8), c.Latin1) << c.What;
    EXPECT_EQ(FirstBeyondLatin1(c.Utf8), c.BeyondLatin1) << c.What;
  }
}

TEST(TextEncoding, EveryLatin1ByteGoesToUtf8AndBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Latin1ToUtf8(all);
  EXPECT_EQ(utf8.size(), 128u + 2 * 128u);
  EXPECT_EQ(utf8.substr(128 + 2 * (0xE9 - 0x80), 2), "\xC3\xA9");
  EXPECT_EQ(FirstBeyondLatin1(utf8), 0u);
  EXPECT_EQ(Utf8ToLatin1(utf8), all);
}

TEST(TextEncoding, UpperCaseFoldsOnlyAsciiLettersWhateverTheLocale) {
  // A program may run under a Latin-1 locale, in which the C library's
  // toupper also folds accented letters; names must not change with it.
  const char* previous = std::setlocale(LC_CTYPE, nullptr);
  const std::string saved = previous != nullptr ? previous : "C";
  std::setlocale(LC_CTYPE, "en_US.ISO-8859-1");
  EXPECT_EQ(AsciiUpperCase("tWvPage_1 caf\xE9 {z}"), "TWVPAGE_1 CAF\xE9 {Z}");
  EXPECT_EQ(AsciiUpperCase(""), "");
  std::setlocale(LC_CTYPE, saved.c_str());
}

}  // namespace
}  // namespace tavkit
