// Form loading as a server does it for every request: a fresh form from the
// demo shop's and the showcase's form files, once parsing the file's text
// each time and once from a template that holds the parsed document.
#include <benchmark/benchmark.h>

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

}  // namespace

BENCHMARK_MAIN();
