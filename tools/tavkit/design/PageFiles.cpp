// Reading the references out of a rendered page. The page is the library's
// own HTML 3.2, so attributes are found by a plain scan of the tags rather
// than by a full HTML parser; a stray "<" in a script at worst names a file
// the page's author wrote there.
#include "design/PageFiles.h"

#include <cctype>
#include <vector>

namespace tavkit::design {

namespace {

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == ':';
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodePercent(const std::string& text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) {
      decoded += text[i];
      continue;
    }
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

// The character references an attribute value may hold in the library's
// pages.
std::string DecodeReferences(const std::string& text) {
  static const std::pair<const char*, char> references[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    for (const auto& [name, c] : references) {
      const std::string entity(name);
      if (text.compare(i, entity.size(), entity) != 0) continue;
      decoded += c;
      i += entity.size() - 1;
      replaced = true;
      break;
    }
    if (!replaced) decoded += text[i];
  }
  return decoded;
}

// The value of the attribute at html[at] (after "="), and at moved past it.
std::string AttributeValue(const std::string& html, std::size_t& at) {
  if (at < html.size() && (html[at] == '"' || html[at] == '\'')) {
    const char quote = html[at];
    const std::size_t end = html.find(quote, at + 1);
    const std::size_t stop = end == std::string::npos ? html.size() : end;
    std::string value = html.substr(at + 1, stop - at - 1);
    at = end == std::string::npos ? html.size() : end + 1;
    return value;
  }
  const std::size_t start = at;
  while (at < html.size() && std::isspace(static_cast<unsigned char>(html[at])) == 0 &&
         html[at] != '>')
    ++at;
  return html.substr(start, at - start);
}

}  // namespace

std::string NormalPageName(const std::string& name) {
  std::vector<std::string> steps;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    const std::string step = name.substr(start, end - start);
    if (step == "..") {
      if (steps.empty()) return std::string();
      steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  std::string joined;
  for (const auto& step : steps) joined += (joined.empty() ? "" : "/") + step;
  return joined;
}

std::string PageFileName(const std::string& reference) {
  std::string url = DecodeReferences(reference);
  while (!url.empty() && std::isspace(static_cast<unsigned char>(url.front())) != 0)
    url.erase(0, 1);
  url = url.substr(0, url.find_first_of("?#"));
  const std::size_t colon = url.find(':');
  if (colon != std::string::npos && colon < url.find('/')) return std::string();  // a scheme
  if (url.rfind("//", 0) == 0) return std::string();                              // a server
  if (url.rfind('/', 0) == 0) {
    if (url.rfind("/page/", 0) != 0) return std::string();
    url.erase(0, 6);
  }
  return NormalPageName(DecodePercent(url));
}

std::set<std::string> PageFiles(const std::string& html) {
  std::set<std::string> files;
  for (std::size_t at = html.find('<'); at != std::string::npos; at = html.find('<', at)) {
    ++at;
    if (at >= html.size() || std::isalpha(static_cast<unsigned char>(html[at])) == 0) continue;
    while (at < html.size() && IsNameChar(html[at])) ++at;  // the tag's name
    while (at < html.size() && html[at] != '>') {
      if (!IsNameChar(html[at])) {
        ++at;
        continue;
      }
      const std::size_t nameStart = at;
      while (at < html.size() && IsNameChar(html[at])) ++at;
      const std::string attribute = Lower(html.substr(nameStart, at - nameStart));
      while (at < html.size() && std::isspace(static_cast<unsigned char>(html[at])) != 0) ++at;
      if (at >= html.size() || html[at] != '=') continue;
      ++at;
      while (at < html.size() && std::isspace(static_cast<unsigned char>(html[at])) != 0) ++at;
      const std::string value = AttributeValue(html, at);
      if (attribute != "src" && attribute != "background") continue;
      const std::string name = PageFileName(value);
      if (!name.empty()) files.insert(name);
    }
  }
  return files;
}

}  // namespace tavkit::design
