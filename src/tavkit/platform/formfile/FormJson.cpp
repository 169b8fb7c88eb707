// Parsing form files as JSON into a compact document. The parser hands each
// value over as it reads it; the builder measures the nesting as it goes, so
// that a hostile file cannot drive any recursion, and keeps every value in a
// node of its own rather than in a tree of allocated objects, which would
// cost tens of times the text for a file of many short values. A malformed
// file is reported by line and column, which is how a person editing it
// looks for the fault, rather than by byte offset.
#include <tavkit/platform/formfile/detail/FormJson.h>

#include <algorithm>
#include <cstring>

#include <tavkit/platform/formfile/FormFile.h>

namespace tavkit::detail {

// ---- the document ----

TJsonDocument::TJsonDocument() = default;
TJsonDocument::TJsonDocument(TJsonDocument&&) noexcept = default;
TJsonDocument& TJsonDocument::operator=(TJsonDocument&&) noexcept = default;
TJsonDocument::~TJsonDocument() = default;

std::uint32_t TJsonDocument::After(std::uint32_t index) const {
  const TNode& node = Node(index);
  if (node.Kind == TJsonKind::jkArray || node.Kind == TJsonKind::jkObject)
    return static_cast<std::uint32_t>(node.Value);
  return index + 1;
}

std::uint32_t TJsonDocument::Add(const TNode& node) {
  constexpr std::uint32_t blockSize = 1u << kNodeBlockBits;
  if (FCount % blockSize == 0) FNodes.push_back(std::make_unique<TNode[]>(blockSize));
  Node(FCount) = node;
  return FCount++;
}

const char* TJsonDocument::Keep(std::string_view bytes) {
  constexpr std::size_t blockSize = std::size_t{1} << 20;
  if (bytes.empty()) return nullptr;
  if (bytes.size() > FTextFree) {
    // A string longer than a block gets a block of its own; what was left
    // of the last block is given up, less than one string's worth.
    const std::size_t size = std::max(blockSize, bytes.size());
    FTexts.push_back(std::make_unique_for_overwrite<char[]>(size));
    FTextNext = FTexts.back().get();
    FTextFree = size;
  }
  char* at = FTextNext;
  std::memcpy(at, bytes.data(), bytes.size());
  FTextNext += bytes.size();
  FTextFree -= bytes.size();
  return at;
}

// ---- views ----

TJsonKind TJsonValue::Kind() const {
  return FDocument->Node(FNode).Kind;
}

bool TJsonValue::Boolean() const {
  return FDocument->Node(FNode).Value != 0;
}

std::int64_t TJsonValue::Integer() const {
  return static_cast<std::int64_t>(FDocument->Node(FNode).Value);
}

std::uint64_t TJsonValue::Unsigned() const {
  return FDocument->Node(FNode).Value;
}

std::string_view TJsonValue::Text() const {
  const auto& node = FDocument->Node(FNode);
  if (node.Length == 0) return {};
  return {reinterpret_cast<const char*>(node.Value), node.Length};
}

std::size_t TJsonValue::Size() const {
  return FDocument->Node(FNode).Length;
}

TJsonValue TJsonValue::Find(std::string_view key) const {
  for (TJsonValue member : *this)
    if (member.Key() == key) return member;
  return {};
}

std::string_view TJsonValue::Key() const {
  if (FKey == 0) return {};
  return TJsonValue(FDocument, FKey, 0).Text();
}

TJsonValue::TIterator TJsonValue::begin() const {
  return TIterator(FDocument, FNode + 1, Kind() == TJsonKind::jkObject);
}

TJsonValue::TIterator TJsonValue::end() const {
  return TIterator(FDocument, FDocument->After(FNode), Kind() == TJsonKind::jkObject);
}

TJsonValue TJsonValue::TIterator::operator*() const {
  // A member is its name's node followed by its value's.
  if (FMembers) return TJsonValue(FDocument, FNode + 1, FNode);
  return TJsonValue(FDocument, FNode, 0);
}

TJsonValue::TIterator& TJsonValue::TIterator::operator++() {
  FNode = FDocument->After(FMembers ? FNode + 1 : FNode);
  return *this;
}

// ---- building ----

// Receives the parser's values in the order of the text and appends them.
class TJsonBuilder : public nlohmann::json_sax<Json> {
 public:
  explicit TJsonBuilder(TJsonDocument& document) : FDocument(document) {}

  bool TooDeep = false;
  // The parser's complaint: where, and its own words.
  std::size_t ErrorAt = 0;
  std::string ErrorText;
  bool ErrorPlaced = false;

  bool null() override { return Value({}); }
  bool boolean(bool value) override { return Value({TJsonKind::jkBoolean, 0, value ? 1u : 0u}); }
  bool number_integer(number_integer_t value) override {
    return Value({TJsonKind::jkInteger, 0, static_cast<std::uint64_t>(value)});
  }
  bool number_unsigned(number_unsigned_t value) override {
    const bool small = value <= static_cast<std::uint64_t>(INT64_MAX);
    return Value({small ? TJsonKind::jkInteger : TJsonKind::jkUnsigned, 0, value});
  }
  bool number_float(number_float_t, const string_t& written) override {
    return Value(Text(TJsonKind::jkNumber, written));
  }
  bool string(string_t& value) override { return Value(Text(TJsonKind::jkString, value)); }
  bool binary(binary_t&) override { return false; }
  bool key(string_t& name) override {
    FDocument.Add(Text(TJsonKind::jkString, name));
    return true;
  }
  bool start_object(std::size_t) override { return Enter(TJsonKind::jkObject); }
  bool end_object() override { return Leave(); }
  bool start_array(std::size_t) override { return Enter(TJsonKind::jkArray); }
  bool end_array() override { return Leave(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) override {
    ErrorAt = position;
    ErrorText = error.what();
    ErrorPlaced = dynamic_cast<const nlohmann::detail::parse_error*>(&error) != nullptr;
    return false;
  }

 private:
  TJsonDocument::TNode Text(TJsonKind kind, std::string_view bytes) {
    return {kind, static_cast<std::uint32_t>(bytes.size()),
            reinterpret_cast<std::uint64_t>(FDocument.Keep(bytes))};
  }
  bool Value(const TJsonDocument::TNode& node) {
    FDocument.Add(node);
    Counted();
    return true;
  }
  void Counted() {
    if (!FOpen.empty()) ++FDocument.Node(FOpen.back()).Length;
  }
  bool Enter(TJsonKind kind) {
    if (FOpen.size() >= static_cast<std::size_t>(MaxFormJsonDepth)) {
      TooDeep = true;
      return false;
    }
    Counted();
    FOpen.push_back(FDocument.Add({kind, 0, 0}));
    return true;
  }
  bool Leave() {
    FDocument.Node(FOpen.back()).Value = FDocument.FCount;
    FOpen.pop_back();
    return true;
  }

  TJsonDocument& FDocument;
  std::vector<std::uint32_t> FOpen;  // the arrays and objects not yet closed
};

namespace {

[[noreturn]] void Fail(const std::string& prefix, const std::string& what) {
  throw EFormFileError(prefix + what);
}

[[noreturn]] void FailTooLarge(const char* limitName, std::int64_t limit, const std::string& what) {
  throw ETooLargeAs<EFormFileError>(limitName, limit, what);
}

// The parser's words without its tag ("[json.exception.parse_error.101]")
// and position, and with the text it quotes cut to a readable length.
std::string Reason(const std::string& what) {
  std::string reason = what;
  std::size_t column = reason.find("column ");
  std::size_t colon = column == std::string::npos ? column : reason.find(": ", column);
  if (colon != std::string::npos) {
    reason = reason.substr(colon + 2);
  } else if (std::size_t tag = reason.find("] "); tag != std::string::npos) {
    reason = reason.substr(tag + 2);
  }
  const std::size_t open = reason.find('\''), close = reason.rfind('\'');
  if (open != std::string::npos && close > open)
    reason = reason.substr(0, open + 1) +
             Shown(std::string_view(reason).substr(open + 1, close - open - 1)) +
             reason.substr(close);
  return reason;
}

}  // namespace

std::string Shown(std::string_view text) {
  if (text.size() <= kShownLength) return std::string(text);
  return std::string(text.substr(0, kShownLength)) + "...";
}

TJsonDocument ParseFormJson(std::string_view text, const std::string& prefix) {
  if (static_cast<std::int64_t>(text.size()) > MaxFormFileSize)
    FailTooLarge("MaxFormFileSize", MaxFormFileSize,
                 prefix + "the file is larger than " + std::to_string(MaxFormFileSize) + " bytes");
  TJsonDocument document;
  TJsonBuilder builder(document);
  if (Json::sax_parse(text.begin(), text.end(), &builder)) return document;
  if (builder.TooDeep)
    FailTooLarge(
        "MaxFormJsonDepth", MaxFormJsonDepth,
        prefix + "values are nested deeper than " + std::to_string(MaxFormJsonDepth) + " levels");
  if (!builder.ErrorPlaced) Fail(prefix, "malformed JSON: " + Reason(builder.ErrorText));
  // The position of the offending byte, counted in lines and columns.
  const std::size_t at =
      builder.ErrorAt == 0 ? 0 : std::min<std::size_t>(builder.ErrorAt - 1, text.size());
  std::size_t line = 1, lineStart = 0;
  for (std::size_t i = 0; i < at; ++i) {
    if (text[i] != '\n') continue;
    ++line;
    lineStart = i + 1;
  }
  Fail(prefix, "malformed JSON at line " + std::to_string(line) + ", column " +
                   std::to_string(at - lineStart + 1) + ": " + Reason(builder.ErrorText));
}

}  // namespace tavkit::detail
