// Feeds arbitrary requests to the CGI component: the input is read as the
// lines QUERY_STRING, REQUEST_METHOD, CONTENT_TYPE and CONTENT_LENGTH (a
// missing line leaves that variable unset) followed by the request body.
// Besides crashes and sanitizer reports it checks what a form relies on: the
// variables are the query's pieces followed by pieces of at most the body
// limit, every name finds its first piece decoded, a refused request stays
// refused, and the response is the header and the texts, byte for byte.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>

namespace {

using tavkit::TMemoryStream;
using tavkit::TWvCGI;

constexpr std::int64_t kBodyLimit = 4096;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t amp = text.find('&', start);
    if (amp == std::string::npos) amp = text.size();
    pieces.push_back(text.substr(start, amp - start));
    start = amp + 1;
  }
  return pieces;
}

int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(const std::string& value) {
  std::string result;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '+') {
      result += ' ';
    } else if (value[i] == '%' && i + 2 < value.size() && Hex(value[i + 1]) >= 0 &&
               Hex(value[i + 2]) >= 0) {
      result += static_cast<char>(Hex(value[i + 1]) * 16 + Hex(value[i + 2]));
      i += 2;
    } else {
      result += value[i];
    }
  }
  return result;
}

std::string Encode(const std::string& text) {
  static const char digits[] = "0123456789ABCDEF";
  std::string result;
  for (unsigned char c : text) {
    result += '%';
    result += digits[c >> 4];
    result += digits[c & 15];
  }
  return result;
}

struct TRequest {
  std::optional<std::string> Variables[4];  // query, method, content type, length
  std::string Body;
};

TRequest ParseRequest(const std::string& text) {
  TRequest request;
  std::size_t start = 0;
  for (auto& variable : request.Variables) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      if (start < text.size()) variable = text.substr(start);
      return request;
    }
    variable = text.substr(start, end - start);
    start = end + 1;
  }
  request.Body = text.substr(start);
  return request;
}

std::string ErrorOf(TWvCGI& cgi, const std::string& name) {
  try {
    cgi.FormVar(name, "");
  } catch (const tavkit::Exception& e) {
    return e.Message();
  }
  return "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TRequest request = ParseRequest(std::string(reinterpret_cast<const char*>(data), size));
  const char* const names[] = {"QUERY_STRING", "REQUEST_METHOD", "CONTENT_TYPE", "CONTENT_LENGTH"};

  TWvCGI cgi(nullptr);
  cgi.SetMaxContentLength(kBodyLimit);
  cgi.SetEnvironment([&](const std::string& name) -> std::optional<std::string> {
    for (int i = 0; i < 4; ++i)
      if (name == names[i]) return request.Variables[i];
    return std::nullopt;
  });
  TMemoryStream input(std::vector<std::uint8_t>(request.Body.begin(), request.Body.end()));
  cgi.SetInput(&input);

  const std::string error = ErrorOf(cgi, "");
  if (!error.empty()) {
    // A refused request is refused again, with the same message.
    Require(ErrorOf(cgi, "") == error);
    return 0;
  }

  const std::vector<std::string> query = Split(request.Variables[0].value_or(""));
  const std::vector<std::string> variables = cgi.GetVariables()->ToVector();
  Require(variables.size() >= query.size());
  std::string fromBody;
  for (std::size_t i = 0; i < variables.size(); ++i) {
    if (i < query.size()) {
      Require(variables[i] == query[i]);
      continue;
    }
    fromBody += (i == query.size() ? "" : "&") + variables[i];
  }
  Require(request.Body.compare(0, fromBody.size(), fromBody) == 0);
  Require(static_cast<std::int64_t>(fromBody.size()) <= kBodyLimit);

  std::vector<std::string> lookups = {"", "a", "\x01"};
  for (const std::string& piece : variables)
    if (piece.find('=') != std::string::npos) lookups.push_back(piece.substr(0, piece.find('=')));
  for (const std::string& name : lookups) {
    std::string expected = "\x01 default+%41";
    for (const std::string& piece : variables) {
      if (piece.compare(0, name.size() + 1, name + "=") != 0) continue;
      expected = Decode(piece.substr(name.size() + 1));
      break;
    }
    Require(cgi.FormVar(name, "\x01 default+%41") == expected);
  }

  Require(tavkit::WvDecodeFormValue(request.Body) == Decode(request.Body));
  Require(tavkit::WvDecodeFormValue(Encode(request.Body)) == request.Body);

  TMemoryStream output;
  cgi.SetOutput(&output);
  const std::string first = request.Variables[0].value_or("");
  cgi.Send(first);
  cgi.Send(request.Body);
  Require(output.ToString() ==
          "Content-Type: text/html\r\n\r\n" + first + "\r\n\r\n" + request.Body + "\r\n");
  return 0;
}
