// Form loading as a server does it for every request: a fresh form from the
// demo shop's and the showcase's form files, once parsing the file's text
// each time and once from a template that holds the parsed document. Then
// form files near the size limit, made here at run time, whose loading must
// cost a small multiple of their size in memory: the counter "peak_per_byte"
// is the peak resident memory the load adds, over the file's size.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Streams.h>
#include <tavkit/platform/formfile/FormFile.h>

namespace {

using namespace tavkit;

struct TFormPlace {
  const char* File;
  const char* Folder;
};

// The demo's form is read beside the database built for it.
const TFormPlace kForms[] = {{TAVKIT_DEMO_DIR "/demo.json", TAVKIT_DEMO_DIR},
                             {TAVKIT_EXAMPLES_DIR "/showcase.json", TAVKIT_EXAMPLES_DIR}};

std::string ReadText(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  std::string text(static_cast<std::size_t>(file.GetSize()), '\0');
  file.ReadBuffer(text.data(), static_cast<std::int64_t>(text.size()));
  return text;
}

void BM_LoadFromText(benchmark::State& state) {
  RegisterPackage();
  const TFormPlace& place = kForms[state.range(0)];
  const std::string text = ReadText(place.File);
  for (auto _ : state) {
    TComponent form(nullptr);
    LoadFormFromText(text, form, place.Folder);
    benchmark::DoNotOptimize(form.ComponentCount());
  }
}

void BM_LoadFromTemplate(benchmark::State& state) {
  RegisterPackage();
  const TFormTemplate formTemplate(kForms[state.range(0)].File);
  for (auto _ : state) {
    TComponent form(nullptr);
    formTemplate.Load(form);
    benchmark::DoNotOptimize(form.ComponentCount());
  }
}

// Argument 0 is the demo shop, 1 the showcase.
BENCHMARK(BM_LoadFromText)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadFromTemplate)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The shapes of a large form file, each about 60 MB.
enum TLargeShape {
  lsManyComponents,  // 10000 texts of a few hundred short lines each
  lsManyLines,       // one text of twenty million empty lines
  lsLongString,      // one text of one line of 60 million characters
  lsManyObjects,     // twenty million empty objects, refused once read
};

constexpr std::size_t kLargeSize = 60'000'000;

// Writes a form file of the shape and returns its size.
std::size_t WriteLargeForm(TLargeShape shape, const std::string& fileName) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out << "{\"form\":\"Large\",\"components\":[\n";
  const auto repeat = [&](const char* item, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) out << (i == 0 ? "" : ",") << item;
  };
  switch (shape) {
    case lsManyComponents: {
      const std::size_t components = MaxFormComponents;
      for (std::size_t i = 0; i < components; ++i) {
        out << (i == 0 ? "" : ",\n") << "{\"class\":\"TWvText\",\"name\":\"Text" << i
            << "\",\"properties\":{\"Left\":" << i % 600 << ",\"Top\":" << i / 600
            << ",\"Width\":40,\"Height\":20,\"Text\":[";
        repeat("\"line\"", kLargeSize / components / 7);
        out << "]}}";
      }
      break;
    }
    case lsManyLines:
      out << "{\"class\":\"TWvText\",\"name\":\"Text1\",\"properties\":{\"Text\":[";
      repeat("\"\"", kLargeSize / 3);
      out << "]}}";
      break;
    case lsLongString:
      out << "{\"class\":\"TWvText\",\"name\":\"Text1\",\"properties\":{\"Text\":[\""
          << std::string(kLargeSize, 'x') << "\"]}}";
      break;
    case lsManyObjects:
      repeat("{}", kLargeSize / 3);
      break;
  }
  out << "\n]}\n";
  out.close();
  return static_cast<std::size_t>(std::filesystem::file_size(fileName));
}

// A line of /proc/self/status in bytes ("VmRSS", "VmHWM").
std::int64_t StatusBytes(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0 && line[std::string(key).size()] == ':')
      return std::stoll(line.substr(std::string(key).size() + 1)) * 1024;
  return 0;
}

// Starts the peak resident memory afresh from what is resident now.
void ResetPeak() {
  malloc_trim(0);  // memory freed before but still held would be taken again unseen
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_LoadLargeForm(benchmark::State& state) {
  RegisterPackage();
  const auto shape = static_cast<TLargeShape>(state.range(0));
  const std::string fileName = (std::filesystem::temp_directory_path() /
                                ("tavkit-large-form-" + std::to_string(getpid()) + ".json"))
                                   .string();
  const std::size_t size = WriteLargeForm(shape, fileName);
  double factor = 0;
  for (auto _ : state) {
    ResetPeak();
    const std::int64_t before = StatusBytes("VmRSS");
    try {
      TComponent form(nullptr);
      LoadForm(fileName, form);
      benchmark::DoNotOptimize(form.ComponentCount());
    } catch (const EFormFileError&) {
      // The objects have no class; what counts is what reading them cost.
    }
    factor = static_cast<double>(StatusBytes("VmHWM") - before) / static_cast<double>(size);
  }
  std::filesystem::remove(fileName);
  state.counters["file_mb"] = static_cast<double>(size) / 1e6;
  state.counters["peak_per_byte"] = factor;
}

// Arguments: the TLargeShape.
BENCHMARK(BM_LoadLargeForm)
    ->DenseRange(lsManyComponents, lsManyObjects)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
