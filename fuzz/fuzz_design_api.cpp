// Feeds arbitrary request bodies to the designer's edit API, as the server
// hands them over, on a session of a small form with every class of the
// package registered, and the questions about several components (copy,
// shared). The input is up to eight requests separated by NUL
// bytes, each a route chosen by its first byte followed by the body. A
// body must be taken or refused (std::invalid_argument, answered 400),
// never crash or leak; a refused body leaves the design as it was, and
// after the requests the design's text is what its components save to
// and every component can be described to the UI.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <tavkit/package/Package.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "PageBuilder.h"
#include "design/DesignApi.h"
#include "design/DesignSession.h"
#include "design/PropertyModel.h"

namespace {

using tavkit::design::TDesignSession;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

const char* const kForm = R"({"form": "FuzzForm", "components": [
  {"class": "TWvOptimizer", "name": "Optimizer1", "properties": {"CSSuse": true}},
  {"class": "TWvJavascript", "name": "First", "properties": {"script": ["function f() {}"]}},
  {"class": "TWvJavascript", "name": "Second",
   "properties": {"DependList": [{"script": "First"}]}},
  {"class": "TWvPage", "name": "Page1",
   "properties": {"Left": 0, "Top": 0, "Width": 400, "Height": 300},
   "children": [
     {"class": "TWvPanel", "name": "Panel1",
      "properties": {"Left": 10, "Top": 10, "Width": 200, "Height": 150},
      "children": [{"class": "TWvText", "name": "Inner",
                    "properties": {"Left": 5, "Top": 5, "Width": 100, "Height": 20}}]},
     {"class": "TWvImage", "name": "Image1",
      "properties": {"Left": 220, "Top": 10, "Width": 100, "Height": 80}},
     {"class": "TWvText", "name": "Text1",
      "properties": {"Left": 10, "Top": 200, "Width": 150, "Height": 20, "Text": ["Hello"],
                     "HyperLink": {"URL": "next.html", "JSOnClick": {"Script": "Second"}}}}]}
]})";

// The form file, in a folder of its own; saving is not fuzzed, so it is
// written once.
const std::string& FormFile() {
  static const std::string file = [] {
    const auto folder = std::filesystem::temp_directory_path() / "tavkit-fuzz-design";
    std::filesystem::create_directories(folder);
    const auto path = folder / "form.json";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    std::fputs(kForm, out);
    std::fclose(out);
    return path.string();
  }();
  return file;
}

// The routes a fuzzed request may take: every edit but saving, and the
// questions (copy, shared).
const std::vector<std::string>& Routes() {
  static const std::vector<std::string> routes = [] {
    std::vector<std::string> all;
    for (const auto& route : tavkit::design::EditRoutes())
      if (route != "save") all.push_back(route);
    for (const auto& route : tavkit::design::QueryRoutes()) all.push_back(route);
    return all;
  }();
  return routes;
}

bool IsQuery(const std::string& route) {
  const auto& queries = tavkit::design::QueryRoutes();
  return std::find(queries.begin(), queries.end(), route) != queries.end();
}

void CheckDesign(TDesignSession& session) {
  Require(tavkit::SaveForm(session.Form()) == session.Text());
  tavkit::design::DescribeForm(session.Form());
  for (int i = 0; i < session.Form().ComponentCount(); ++i) {
    const std::string name = session.Form().Components(i)->GetName();
    try {
      tavkit::design::DescribeComponent(session.Form(), session.Text(), name);
    } catch (const tavkit::Exception&) {
      // A component without a name cannot be asked for.
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tavkit::RegisterPackage();
  tavkit::fuzz::UseScratchImageFolder();
  tavkit::fuzz::BoundPictureMemory();
  FormFile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // No trial runs: the fuzz folder holds no database, so no edit reaches a
  // query that could run long, and every edit is made in this process,
  // where the fuzzer sees it.
  TDesignSession session(FormFile());
  std::size_t at = 0;
  for (int request = 0; request < 8 && at < input.size(); ++request) {
    std::size_t end = input.find('\0', at);
    if (end == std::string::npos) end = input.size();
    const std::string piece = input.substr(at, end - at);
    at = end + 1;
    const std::string& route =
        Routes()[piece.empty() ? 0 : static_cast<unsigned char>(piece[0]) % Routes().size()];
    const std::string body = piece.empty() ? std::string() : piece.substr(1);
    const std::string before = session.Text();
    try {
      const tavkit::design::TJson json = tavkit::design::ReadEditBody(body);
      if (IsQuery(route)) {
        tavkit::design::AnswerQuery(session, route, json);
        Require(session.Text() == before);
        continue;
      }
      const tavkit::design::TEditResult result = tavkit::design::ApplyEdit(session, route, json);
      Require(result.Changed || session.Text() == before);
    } catch (const std::invalid_argument&) {
      Require(session.Text() == before);
    }
  }
  CheckDesign(session);
  tavkit::fuzz::ClearScratchImages();
  return 0;
}
