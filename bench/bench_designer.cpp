// How quickly the designer answers a drag: headless Chromium moves a
// control on the design of tavkit design and the time is taken inside the
// page, from the mouse button's release to the load of the rendered page
// that shows the move (and, beside it, to the design view redrawn with
// every preview). Run on the showcase form and on a generated form of 500
// controls. The browser's and the designer's start are not counted.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "DesignTestSupport.h"
#include "HeadlessBrowser.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavkit::designtest::DesignerProgram;
using tavkit::testsupport::HeadlessBrowser;

// A page of 500 texts in 20 rows of 25, each with its own words.
std::string GeneratedForm() {
  std::ostringstream text;
  text << R"({"form": "Generated", "components": [{"class": "TWvPage", "name": "Page1", )"
       << R"("properties": {"Left": 0, "Top": 0, "Width": 2040, "Height": 840}, "children": [)";
  for (int i = 0; i < 500; ++i) {
    text << (i ? ", " : "") << R"({"class": "TWvText", "name": "Text)" << i + 1
         << R"(", "properties": {"Left": )" << 8 + (i % 25) * 80 << R"(, "Top": )"
         << 8 + (i / 25) * 40 << R"(, "Width": 72, "Height": 32, "Text": ["Text number )" << i + 1
         << R"("]}})";
  }
  text << "]}]}";
  return text.str();
}

struct TDesigner {
  fs::path Folder;
  std::unique_ptr<DesignerProgram> Program;
  std::unique_ptr<HeadlessBrowser> Browser;

  TDesigner(const std::string& name, const std::string& formText) {
    Folder =
        fs::temp_directory_path() / ("tavkit-bench-designer-" + std::to_string(getpid())) / name;
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    fs::copy(fs::path(TAVKIT_EXAMPLES_DIR) / "images", Folder / "images");
    const fs::path form = Folder / (name + ".json");
    tavkit::designtest::WriteFile(form, formText);
    Program = std::make_unique<DesignerProgram>(form, Folder / "designer.log");
    Browser = std::make_unique<HeadlessBrowser>(Folder / "browser", 1900, 1000);
    Browser->Navigate(Program->Url());
    // The clock starts when the button comes up and stops when the frame
    // has loaded the page the move made.
    Browser->Evaluate(
        "designer.idle().then(() => {"
        " document.addEventListener('mouseup', () => { window.benchUp = performance.now(); }, "
        "true);"
        " document.getElementById('rendered').addEventListener('load',"
        "   () => { window.benchLoaded = performance.now(); }); return true; })");
  }
  ~TDesigner() {
    Browser.reset();
    Program.reset();
    fs::remove_all(Folder.parent_path());
  }

  // Drags the control a grid step right or back; the milliseconds to the
  // rendered page and to the whole designer idle.
  std::pair<double, double> Move(const std::string& control, int direction) {
    const json box =
        Browser->Evaluate("(() => { const e = document.querySelector(\".ctl[data-name='" + control +
                          "']\");"
                          " e.scrollIntoView({block: 'center', inline: 'center'});"
                          " const r = e.getBoundingClientRect(); return [r.left, r.top]; })()");
    const double x = box[0].get<double>() + 12, y = box[1].get<double>() + 10;
    Browser->Drag(x, y, x + 16 * direction, y, 4);
    const json times = Browser->Evaluate(
        "designer.idle().then(() => [benchLoaded - benchUp, performance.now() - benchUp])");
    return {times[0].get<double>(), times[1].get<double>()};
  }
};

void DragToRenderedPage(benchmark::State& state, const std::string& name, const std::string& text,
                        const std::string& control) {
  TDesigner designer(name, text);
  double idle = 0;
  int direction = 1;
  for (auto _ : state) {
    const auto [rendered, whole] = designer.Move(control, direction);
    direction = -direction;
    state.SetIterationTime(rendered / 1000);
    idle += whole;
  }
  state.counters["idle_ms"] = benchmark::Counter(idle / static_cast<double>(state.iterations()));
}

std::string ReadExample(const std::string& name) {
  std::ifstream in(fs::path(TAVKIT_EXAMPLES_DIR) / name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void BM_Showcase(benchmark::State& state) {
  DragToRenderedPage(state, "showcase", ReadExample("showcase.json"), "PlanCaption");
}
void BM_Generated500(benchmark::State& state) {
  DragToRenderedPage(state, "generated", GeneratedForm(), "Text263");
}

}  // namespace

BENCHMARK(BM_Showcase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_Generated500)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_MAIN();
