// Parsing form files as JSON. The nesting is measured before the document is
// built, so that a hostile file cannot drive the parser's recursion, and a
// malformed file is reported by line and column, which is how a person
// editing it looks for the fault, rather than by byte offset.
#include <tavkit/platform/formfile/detail/FormJson.h>

#include <algorithm>
#include <cstdint>

#include <tavkit/platform/formfile/FormFile.h>

namespace tavkit::detail {

namespace {

// Follows the nesting of objects and arrays without building anything. The
// parser's own callback would do as well, but it looks through the whole
// enclosing array each time a value ends, which makes a long array cost its
// length squared.
class TDepthCheck : public nlohmann::json_sax<Json> {
 public:
  bool TooDeep = false;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool key(string_t&) override { return true; }
  bool start_object(std::size_t) override { return Enter(); }
  bool end_object() override { return Leave(); }
  bool start_array(std::size_t) override { return Enter(); }
  bool end_array() override { return Leave(); }
  // Malformed text is reported by the parse that builds the document.
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }

 private:
  bool Enter() {
    if (FDepth >= MaxFormJsonDepth) {
      TooDeep = true;
      return false;
    }
    ++FDepth;
    return true;
  }
  bool Leave() {
    --FDepth;
    return true;
  }

  int FDepth = 0;
};

[[noreturn]] void Fail(const std::string& prefix, const std::string& what) {
  throw EFormFileError(prefix + what);
}

[[noreturn]] void FailTooLarge(const char* limitName, std::int64_t limit, const std::string& what) {
  throw ETooLargeAs<EFormFileError>(limitName, limit, what);
}

}  // namespace

Json ParseFormJson(const std::string& text, const std::string& prefix) {
  if (static_cast<std::int64_t>(text.size()) > MaxFormFileSize)
    FailTooLarge("MaxFormFileSize", MaxFormFileSize,
                 prefix + "the file is larger than " + std::to_string(MaxFormFileSize) + " bytes");
  try {
    TDepthCheck depth;
    Json::sax_parse(text, &depth);
    if (depth.TooDeep)
      FailTooLarge("MaxFormJsonDepth", MaxFormJsonDepth,
                   prefix + "values are nested deeper than " + std::to_string(MaxFormJsonDepth) +
                       " levels");
    return Json::parse(text);
  } catch (const Json::parse_error& e) {
    // The position of the offending byte, counted in lines and columns.
    std::size_t at = e.byte == 0 ? 0 : std::min<std::size_t>(e.byte - 1, text.size());
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < at; ++i) {
      if (text[i] != '\n') continue;
      ++line;
      lineStart = i + 1;
    }
    std::string reason = e.what();
    std::size_t column = reason.find("column ");
    std::size_t colon = column == std::string::npos ? column : reason.find(": ", column);
    if (colon != std::string::npos) reason = reason.substr(colon + 2);
    Fail(prefix, "malformed JSON at line " + std::to_string(line) + ", column " +
                     std::to_string(at - lineStart + 1) + ": " + reason);
  } catch (const Json::exception& e) {
    // A number too large for a double: the parser gives no position.
    std::string reason = e.what();
    std::size_t tag = reason.find("] ");
    Fail(prefix, "malformed JSON: " + (tag == std::string::npos ? reason : reason.substr(tag + 2)));
  }
}

}  // namespace tavkit::detail
