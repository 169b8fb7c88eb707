// Form files whose content the loader must not let through silently or at
// any cost: scripts that depend on each other in a cycle, which would be
// written without their dependencies, and files near the size limit whose
// loading must take a small multiple of their size in memory, whatever
// their shape.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <tavkit/package/Package.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/scripts/WvJavascript.h>

#include "TestSupport.h"

namespace tavkit {
namespace {

using testsupport::ErrorOf;
using testsupport::kNoError;

// A script named name whose dependencies are the scripts named in depends.
std::string Script(const std::string& name, const std::string& depends) {
  std::string list;
  for (char other : depends)
    list += std::string(list.empty() ? "" : ", ") + R"({"script": ")" + other + R"("})";
  return R"({"class": "TWvJavascript", "name": ")" + name +
         R"(", "properties": {"script": ["function )" + name + R"(() {}"], "DependList": [)" +
         list + "]}}";
}

TEST(FormFileLoading, ScriptCyclesRefuseTheFormNamingTheScripts) {
  RegisterPackage();
  struct Case {
    std::string Components;
    std::string Message;
  };
  const std::string prefix = "Form file: component ";
  const Case cases[] = {
      {Script("A", "A"),
       prefix + "A (TWvJavascript), property DependList[0].script: the scripts depend on each "
                "other in a cycle: A -> A"},
      {Script("A", "B") + "," + Script("B", "A"),
       prefix + "B (TWvJavascript), property DependList[0].script: the scripts depend on each "
                "other in a cycle: B -> A -> B"},
      {Script("B", "A") + "," + Script("A", "B"),
       prefix + "A (TWvJavascript), property DependList[0].script: the scripts depend on each "
                "other in a cycle: A -> B -> A"},
      {Script("D", "") + "," + Script("A", "B") + "," + Script("B", "C") + "," + Script("C", "DA"),
       prefix + "C (TWvJavascript), property DependList[1].script: the scripts depend on each "
                "other in a cycle: C -> A -> B -> C"},
      // Shared dependencies without a cycle load as they are.
      {Script("A", "BC") + "," + Script("B", "D") + "," + Script("C", "D") + "," + Script("D", ""),
       kNoError},
  };
  for (const Case& c : cases) {
    TComponent form(nullptr);
    const std::string text = R"({"form": "F", "components": [)" + c.Components + "]}";
    EXPECT_EQ(ErrorOf<EFormFileError>([&] { LoadFormFromText(text, form); }), c.Message) << text;
    EXPECT_EQ(form.ComponentCount(), c.Message == kNoError ? 4 : 0) << text;
  }
  // Loaded, the diamond keeps every dependency.
  TComponent form(nullptr);
  LoadFormFromText(R"({"form": "F", "components": [)" + Script("A", "BC") + "," + Script("B", "") +
                       "," + Script("C", "") + "]}",
                   form);
  EXPECT_EQ(static_cast<TWvJavascript*>(form.FindComponent("A"))->GetDependList().Count(), 2);
}

// Bytes of a line of /proc/self/status ("VmRSS", "VmHWM").
std::int64_t StatusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key + ":", 0) == 0) return std::stoll(line.substr(key.size() + 1)) * 1024;
  return 0;
}

// The peak resident memory that loading the file adds, over the file's size.
double LoadCostPerByte(const std::string& fileName) {
  // Memory freed before but still held would be taken again unseen.
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
  const std::int64_t before = StatusBytes("VmRSS");
  try {
    TComponent form(nullptr);
    LoadForm(fileName, form);
  } catch (const EFormFileError&) {
    // A refusal after reading still counts what reading cost.
  }
  return static_cast<double>(StatusBytes("VmHWM") - before) /
         static_cast<double>(std::filesystem::file_size(fileName));
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// A file of many small values once took 26 times its size before it was
// refused, and a form of many short texts 19 times: the document of the
// whole file was a tree of allocated values. They take 7 and 11 now.
TEST(FormFileLoading, LoadingTakesASmallMultipleOfTheFileInMemory) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer's own memory hides what loading takes";
  RegisterPackage();
  const std::string fileName = (std::filesystem::temp_directory_path() /
                                ("tavkit-cost-" + std::to_string(getpid()) + ".json"))
                                   .string();
  const auto write = [&](const auto& body) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << R"({"form": "F", "components": [)";
    body(out);
    out << "]}";
  };
  struct Shape {
    const char* Name;
    std::function<void(std::ofstream&)> Body;
  };
  const Shape shapes[] = {
      {"ten million empty objects",
       [](std::ofstream& out) {
         for (int i = 0; i < 10'000'000; ++i) out << (i == 0 ? "{}" : ",{}");
       }},
      {"ten thousand texts of short lines",
       [](std::ofstream& out) {
         for (int i = 0; i < MaxFormComponents; ++i) {
           out << (i == 0 ? "" : ",") << R"({"class": "TWvText", "name": "T)" << i
               << R"(", "properties": {"Left": )" << i << R"(, "Text": [)";
           for (int line = 0; line < 300; ++line) out << (line == 0 ? "" : ",") << R"("line")";
           out << "]}}";
         }
       }},
  };
  for (const Shape& shape : shapes) {
    write(shape.Body);
    EXPECT_LT(LoadCostPerByte(fileName), 15.0) << shape.Name;
  }
  std::filesystem::remove(fileName);
}

}  // namespace
}  // namespace tavkit
