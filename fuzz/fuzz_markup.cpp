// Feeds arbitrary text to the markup helpers that every element runs its
// texts through. The fast single-pass versions in the library are checked
// against slow, obviously right versions written here the way the rules read
// (find, delete, insert, repeat), so a wrong byte is a fault as much as a
// crash or a sanitizer report is.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <tavkit/core/WvMiscTools.h>
#include <tavkit/platform/base/Strings.h>

namespace {

using tavkit::TStringList;

const char* const kEntities[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// Replaces characters in place, reading the length anew at every step and
// going on inside the inserted name.
std::string SlowLatin(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto code = static_cast<unsigned char>(text[i]);
    if (code >= 160) text.replace(i, 1, std::string("&") + kEntities[code - 160]);
  }
  return text;
}

// Deletes the first tag of a working copy until no "<" is left; gives up
// with the original text when a "<" has no ">" or the first ">" comes first.
std::string SlowStrip(const std::string& text) {
  std::string copy = text;
  while (copy.find('<') != std::string::npos) {
    std::size_t open = copy.find('<');
    std::size_t close = copy.find('>');
    if (close == std::string::npos || close < open) return text;
    copy.erase(open, close - open + 1);
  }
  return copy;
}

std::string SlowCollapse(const std::string& text) {
  std::string result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    result += " " + text.substr(start, end - start);
    start = end + 1;
  }
  return result;
}

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  Require(tavkit::WvMakeLatinHTML(text) == SlowLatin(text));
  Require(tavkit::WvstripHTML(text) == SlowStrip(text));

  // Lines as a string list holds them: cut at every line feed, the last
  // line kept even when empty.
  TStringList lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.Add(text.substr(start, end - start));
    start = end + 1;
  }
  Require(tavkit::WvCollapseStringList(lines) == SlowCollapse(text));

  std::string name = "unset", value = "unset";
  tavkit::WvExtractHiddenValues(text, name, value);
  const std::size_t eq = text.find('=');
  if (eq == std::string::npos)
    Require(name == "unset" && value == "unset");
  else
    Require(name + "=" + value == text && name.find('=') == std::string::npos);

  if (size >= 4) {
    std::uint32_t colour = data[0] | data[1] << 8 | data[2] << 16 | std::uint32_t(data[3]) << 24;
    char expected[7];
    std::snprintf(expected, sizeof expected, "%02X%02X%02X", data[0], data[1], data[2]);
    Require(tavkit::WvMakeWebColor(static_cast<tavkit::TColor>(colour)) == expected);
  }
  return 0;
}
