// The JSON layer under the form-file reader and writer: the JSON flavour files
// are written in, the compact document a file's text is read into within the
// form-file bounds, the colour names written in place of numbers, and the
// hex digits of "#RRGGBB" colours and of characters named in messages.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include <tavkit/platform/base/Types.h>

namespace tavkit::detail {

// Keeps the keys of each object in the order written: saving reproduces the
// registry's order.
using Json = nlohmann::ordered_json;

class TJsonDocument;

enum class TJsonKind : std::uint8_t {
  jkNull,
  jkBoolean,
  jkInteger,   // fits in std::int64_t
  jkUnsigned,  // above INT64_MAX, fits in std::uint64_t
  jkNumber,    // any other number: a fraction, an exponent, or too large for 64 bits
  jkString,
  jkArray,
  jkObject,
};

// One value of a document, seen in place; a value that is not there (an
// absent key) is a view of no document. Views stay valid while the document
// lives.
class TJsonValue {
 public:
  TJsonValue() = default;

  bool Exists() const { return FDocument != nullptr; }
  TJsonKind Kind() const;
  bool IsString() const { return Exists() && Kind() == TJsonKind::jkString; }
  bool IsArray() const { return Exists() && Kind() == TJsonKind::jkArray; }
  bool IsObject() const { return Exists() && Kind() == TJsonKind::jkObject; }
  bool IsBoolean() const { return Exists() && Kind() == TJsonKind::jkBoolean; }
  bool IsNull() const { return Exists() && Kind() == TJsonKind::jkNull; }
  bool IsInteger() const {
    return Exists() && (Kind() == TJsonKind::jkInteger || Kind() == TJsonKind::jkUnsigned);
  }

  bool Boolean() const;
  std::int64_t Integer() const;
  std::uint64_t Unsigned() const;
  // A string's UTF-8 bytes, or a jkNumber as written in the file.
  std::string_view Text() const;

  // Elements of an array, members of an object.
  std::size_t Size() const;
  // The value of an object's member, or a value that does not exist.
  TJsonValue Find(std::string_view key) const;

  // An array's elements, or an object's members (Key() of each is its name).
  class TIterator {
   public:
    TIterator(const TJsonDocument* document, std::uint32_t node, bool members)
        : FDocument(document), FNode(node), FMembers(members) {}
    TJsonValue operator*() const;
    TIterator& operator++();
    bool operator!=(const TIterator& other) const { return FNode != other.FNode; }

   private:
    const TJsonDocument* FDocument;
    std::uint32_t FNode;
    bool FMembers;
  };
  TIterator begin() const;
  TIterator end() const;
  // For a member met while iterating an object, its name.
  std::string_view Key() const;

 private:
  friend class TJsonDocument;
  friend class TIterator;
  TJsonValue(const TJsonDocument* document, std::uint32_t node, std::uint32_t key)
      : FDocument(document), FNode(node), FKey(key) {}

  const TJsonDocument* FDocument = nullptr;
  std::uint32_t FNode = 0;
  std::uint32_t FKey = 0;  // the node of the member's name, 0 for none
};

// A parsed file, read-only once built. Every value takes one node of 16
// bytes and strings their bytes, in blocks that never move, so a document
// costs little more than its text even when that is millions of short
// values, and building it never holds two copies of a growing array.
class TJsonDocument {
 public:
  TJsonDocument();
  TJsonDocument(TJsonDocument&&) noexcept;
  TJsonDocument& operator=(TJsonDocument&&) noexcept;
  ~TJsonDocument();

  TJsonValue Root() const { return TJsonValue(this, 0, 0); }

 private:
  friend class TJsonValue;
  friend class TJsonBuilder;

  struct TNode {
    TJsonKind Kind = TJsonKind::jkNull;
    // Strings and jkNumber: the length of the text; arrays and objects: the
    // number of elements or members.
    std::uint32_t Length = 0;
    // Booleans and integers: the value; strings and jkNumber: the address
    // of the text; arrays and objects: the node after their last one.
    std::uint64_t Value = 0;
  };
  static constexpr int kNodeBlockBits = 16;

  const TNode& Node(std::uint32_t index) const {
    return FNodes[index >> kNodeBlockBits][index & ((1u << kNodeBlockBits) - 1)];
  }
  TNode& Node(std::uint32_t index) {
    return FNodes[index >> kNodeBlockBits][index & ((1u << kNodeBlockBits) - 1)];
  }
  // The node after the value at index and everything inside it.
  std::uint32_t After(std::uint32_t index) const;
  std::uint32_t Add(const TNode& node);
  // Keeps a copy of the bytes and returns its address.
  const char* Keep(std::string_view bytes);

  std::vector<std::unique_ptr<TNode[]>> FNodes;
  std::uint32_t FCount = 0;
  std::vector<std::unique_ptr<char[]>> FTexts;
  char* FTextNext = nullptr;  // the free part of the last text block
  std::size_t FTextFree = 0;
};

// The document of a form file's text. Raises EFormFileError, its message
// starting with prefix, for text larger than MaxFormFileSize, values nested
// deeper than MaxFormJsonDepth, and malformed JSON (placed by line and
// column).
TJsonDocument ParseFormJson(std::string_view text, const std::string& prefix);

// A value of the file quoted in a message: at most kShownLength characters,
// a longer one cut with "...", so that a huge value cannot make a huge line.
inline constexpr std::size_t kShownLength = 60;
std::string Shown(std::string_view text);

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
