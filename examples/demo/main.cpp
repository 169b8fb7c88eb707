// The demo shop: a web program written the way an application of the
// library is, served as a FastCGI worker or as a plain CGI program, however
// the web server starts it. It reads its form file (demo.json beside the
// program, with the shop database shop.db) once; for every request it makes
// a fresh form from it, reads the visitor's name, a search text and a chosen
// product from the request (query string or posted form), fills the results
// table, the greeting and the price chart by code, puts the data-bound panel
// on the chosen product and sends the page. Server images are cleaned up on
// a schedule that keeps their folder bounded at any request rate.
//
// The web server tells the program where the pictures go through two
// environment variables: TAVKIT_IMAGE_DIR (the folder, ending in "/") and
// TAVKIT_IMAGE_URL (the web path of that folder). Without them the pictures
// go to "images/" beside the program, under the web path "/images/".
// TAVKIT_DEMO_POSTGRES, a libpq connection string, makes the shop read its
// data from that PostgreSQL database (built by examples/data/build-shop-db
// --postgres) instead of shop.db, with the same pages.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/elements/WvText.h>
#include <tavkit/forms/WvInputForm.h>
#include <tavkit/forms/WvTextInputField.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/controls/Chart.h>
#include <tavkit/platform/data/DataSet.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/tables/WvDBPanel.h>
#include <tavkit/tables/WvTable.h>

namespace tavkit::demo {
namespace {

// Longest visitor name and search text taken from a request: the design
// leaves room for this much on one line.
constexpr std::size_t MaxInputLength = 40;

// Server images: each request writes two. They are kept for a quarter of an
// hour, and never more than MaxImages of them at once. A cleanup looks at
// every picture in the folder, so it is not done on every request: a
// worker does it after every CleanupEveryRequests requests it answered, and
// any process a minute after the last cleanup (the stamp file tells when
// that was). Between two cleanups of a worker the folder gains at most
// 2 * CleanupEveryRequests pictures from it, whatever the request rate,
// and a little more while a cleanup runs beside the requests (in a worker
// it does, on a thread of its own).
constexpr auto ImageLife = std::chrono::minutes(15);
constexpr std::size_t MaxImages = 10000;
constexpr int CleanupEveryRequests = 500;
constexpr auto CleanupInterval = std::chrono::minutes(1);
const char* const CleanupStamp = "cleanup.stamp";

struct Product {
  std::string Id;
  std::string Name;
  double Price = 0;
  int Record = 0;  // counted from the first record of the query
};

// Control characters have no place in a name or a search text.
std::string CleanInput(const std::string& text) {
  std::string result;
  for (unsigned char c : text)
    if (c >= 32 && c != 127 && result.size() < MaxInputLength) result += static_cast<char>(c);
  return result;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string FormatPrice(double price) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", price);
  return text;
}

template <class T>
T& Find(TComponent& form, const std::string& name) {
  auto* found = dynamic_cast<T*>(form.FindComponent(name));
  if (found == nullptr) throw Exception("the form has no " + name);
  return *found;
}

std::vector<Product> ReadProducts(TDataSet& products) {
  std::vector<Product> result;
  products.Open();
  int record = 0;
  for (products.FindFirst(); !products.Eof(); products.Next()) {
    Product product;
    product.Id = products.FieldByName("id")->AsString();
    product.Name = products.FieldByName("name")->AsString();
    product.Price = products.FieldByName("price")->AsFloat();
    product.Record = record++;
    result.push_back(product);
  }
  products.Close();
  return result;
}

void SetText(TWvText& element, const std::string& line) {
  TStringList lines{line};
  element.WriteText(&lines);
}

// The state a request asks for, read through the CGI component from the
// query string or the posted form alike.
struct Request {
  std::string Visitor;
  std::string Search;
  std::string Product;
};

Request ReadRequest(TWvCGI& cgi) {
  return {CleanInput(cgi.FormVar("visitor", "")), CleanInput(cgi.FormVar("q", "")),
          cgi.FormVar("product", "")};
}

// The query string of a link that keeps the visitor's name and search.
std::string LinkTo(const Request& request, const std::string& productId) {
  std::string link =
      "?visitor=" + WvEncodeFormValue(request.Visitor) + "&q=" + WvEncodeFormValue(request.Search);
  if (!productId.empty()) link += "&product=" + WvEncodeFormValue(productId);
  return link;
}

void FillGreeting(TComponent& form, const Request& request) {
  if (request.Visitor.empty()) return;  // the designed invitation stays
  SetText(Find<TWvText>(form, "Greeting"),
          "Hello, " + WvEscapeText(request.Visitor) + "! Here is what we found for you.");
  Find<TWvTextInputField>(form, "VisitorField").SetValue(WvEscapeAttribute(request.Visitor));
}

// Lists the products whose name holds the search text (any letter case) in
// the results table, each linked to its own details, and returns them.
std::vector<Product> FillResults(TComponent& form, const Request& request,
                                 const std::vector<Product>& products) {
  std::vector<Product> matches;
  const std::string wanted = Lower(request.Search);
  for (const Product& product : products)
    if (Lower(product.Name).find(wanted) != std::string::npos) matches.push_back(product);

  auto& table = Find<TWvTable>(form, "Results");
  for (int row = 0; row < static_cast<int>(matches.size()); ++row) {
    const Product& product = matches[static_cast<std::size_t>(row)];
    table.SetItem(0, row, new TWvTableItem(product.Name, LinkTo(request, product.Id), &table));
    table.SetItem(1, row, new TWvTableItem(FormatPrice(product.Price), "", &table));
  }

  if (request.Search.empty()) return matches;  // the designed caption fits
  Find<TWvTextInputField>(form, "SearchField").SetValue(WvEscapeAttribute(request.Search));
  const std::string quoted = "\"" + WvEscapeText(request.Search) + "\"";
  std::string note;
  if (matches.empty())
    note = "No product matches " + quoted + ".";
  else if (matches.size() == 1)
    note = "One product matches " + quoted + ":";
  else
    note = std::to_string(matches.size()) + " products match " + quoted + ":";
  SetText(Find<TWvText>(form, "ResultNote"), note);
  return matches;
}

// The panel shows the product the visitor chose, else the first match, else
// the first product.
void ChooseProduct(TComponent& form, const Request& request, const std::vector<Product>& products,
                   const std::vector<Product>& matches) {
  int record = matches.empty() ? 0 : matches.front().Record;
  for (const Product& product : products) {
    if (!request.Product.empty() && product.Id == request.Product) {
      record = product.Record;
      SetText(Find<TWvText>(form, "DetailCaption"), "Your choice");
    }
  }
  Find<TWvDBPanel>(form, "Detail").SetDBIndex(record);
}

void FillChart(TComponent& form, const std::vector<Product>& products,
               const std::vector<Product>& matches) {
  auto& chart = Find<TBarChart>(form, "PriceChart");
  for (const Product& product : products) {
    bool matched = false;
    for (const Product& match : matches) matched = matched || match.Id == product.Id;
    const int cents = static_cast<int>(product.Price * 100 + 0.5);
    chart.AddValue(product.Name.substr(0, 10), cents, matched ? TColor{0x2080F0} : clNone);
  }
}

// True when the last cleanup of any process is a minute old or more (or
// none was done); the stamp then says that this one does it. Two that look
// at once may both clean up, which does no harm.
bool StampDue() {
  namespace fs = std::filesystem;
  const fs::path stamp = fs::path(WvGetInternalImagePath()) / CleanupStamp;
  const auto now = fs::file_time_type::clock::now();
  std::error_code error;
  const auto last = fs::last_write_time(stamp, error);
  if (!error && now - last < CleanupInterval) return false;
  std::ofstream(stamp, std::ios::trunc);
  fs::last_write_time(stamp, now, error);
  return true;
}

// True for the names the library gives server images, AG<digits>_<digits>.gif.
// Checked by hand: a cleanup looks at every file of a folder that may hold
// ten thousand, twice, while the worker's next requests wait.
bool IsServerImageName(std::string_view name) {
  auto digits = [&name] {
    const std::size_t count = name.find_first_not_of("0123456789");
    if (count == 0 || count == std::string_view::npos) return false;
    name.remove_prefix(count);
    return true;
  };
  if (!name.starts_with("AG")) return false;
  name.remove_prefix(2);
  if (!digits() || !name.starts_with('_')) return false;
  name.remove_prefix(1);
  return digits() && name == ".gif";
}

// Calls visit(entry, time of last change) for every server image in the
// folder; other files, and files that go away meanwhile, are passed over.
template <class Visit>
void ForEachServerImage(const std::filesystem::path& folder, Visit visit) {
  namespace fs = std::filesystem;
  std::error_code listing;
  for (fs::directory_iterator entry(folder, listing); !listing && entry != fs::directory_iterator();
       entry.increment(listing)) {
    if (!IsServerImageName(entry->path().filename().native())) continue;
    std::error_code error;
    const fs::file_time_type changed = entry->last_write_time(error);
    if (error || !entry->is_regular_file(error)) continue;
    visit(*entry, changed);
  }
}

// Deletes the server images older than ImageLife and, when more than
// MaxImages are left, the oldest of them. Other files stay. One pass finds
// the time of the oldest picture to keep, a second deletes what is older:
// only the times are held, so a worker that cleans up a full folder does not
// grow by the folder's names.
void CleanUpImages(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const auto now = fs::file_time_type::clock::now();
  fs::file_time_type oldestKept = now - ImageLife;
  std::vector<fs::file_time_type> fresh;
  ForEachServerImage(folder, [&](const fs::directory_entry&, fs::file_time_type changed) {
    if (changed >= oldestKept) fresh.push_back(changed);
  });
  if (fresh.size() > MaxImages) {
    const auto newest = fresh.end() - static_cast<std::ptrdiff_t>(MaxImages);
    std::nth_element(fresh.begin(), newest, fresh.end());
    oldestKept = std::max(oldestKept, *newest);
  }
  ForEachServerImage(folder, [&](const fs::directory_entry& entry, fs::file_time_type changed) {
    std::error_code error;
    if (changed < oldestKept) fs::remove(entry.path(), error);
  });
}

// When a cleanup is due: after CleanupEveryRequests requests of this
// process, or when the last cleanup of any process is a minute old.
class TCleanupSchedule {
 public:
  // Counts a request answered; true when a cleanup is due. A worker looks
  // at the stamp at most once a minute, so a request costs a clock reading;
  // a CGI process, whose one request is its first, looks once.
  bool RequestAnswered() {
    ++FRequests;
    const auto now = std::chrono::steady_clock::now();
    if (FRequests < CleanupEveryRequests && FLooked && now - FLastLook < CleanupInterval) return false;
    FLooked = true;
    FLastLook = now;
    if (FRequests < CleanupEveryRequests && !StampDue()) return false;
    FRequests = 0;
    return true;
  }

 private:
  int FRequests = 0;
  bool FLooked = false;
  std::chrono::steady_clock::time_point FLastLook;
};

// A worker's cleanups run on a thread of their own at a lower priority, so
// that no visitor waits while a full folder is looked through: the request
// that makes a cleanup due only wakes the thread. The thread takes no
// signals; a stop goes to the request loop as before.
class TBackgroundCleanup {
 public:
  explicit TBackgroundCleanup(std::filesystem::path folder) : FFolder(std::move(folder)) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    FThread = std::jthread([this](std::stop_token stop) { Run(stop); });
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  }

  void RequestAnswered() {
    if (!FSchedule.RequestAnswered()) return;
    {
      std::lock_guard lock(FMutex);
      FDue = true;
    }
    FWake.notify_one();
  }

 private:
  // Low enough that a cleanup hardly slows the requests beside it, high
  // enough that it still ends within a second on a busy machine.
  static constexpr int Niceness = 10;

  void Run(std::stop_token stop) {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), Niceness);
    std::unique_lock lock(FMutex);
    while (FWake.wait(lock, stop, [this] { return FDue; })) {
      FDue = false;
      lock.unlock();
      CleanUpImages(FFolder);
      lock.lock();
    }
  }

  const std::filesystem::path FFolder;
  TCleanupSchedule FSchedule;
  std::mutex FMutex;
  std::condition_variable_any FWake;
  bool FDue = false;
  std::jthread FThread;  // last: it stops and joins before the rest goes
};

std::filesystem::path ProgramFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

void SetImagePaths() {
  const char* folder = std::getenv("TAVKIT_IMAGE_DIR");
  const char* url = std::getenv("TAVKIT_IMAGE_URL");
  WvSetInternalImagePath(folder != nullptr && *folder != '\0'
                             ? std::string(folder)
                             : (ProgramFolder() / "images").string() + "/");
  WvSetExternalImagePath(url != nullptr && *url != '\0' ? std::string(url) : "/images/");
}

// The form file, its shop query pointed at PostgreSQL when the environment
// names a database: the same query, the same SQL, another data set class.
TFormTemplate LoadDesign(const std::filesystem::path& file) {
  const char* postgres = std::getenv("TAVKIT_DEMO_POSTGRES");
  if (postgres == nullptr || *postgres == '\0') return TFormTemplate(file.string());
  std::ifstream text(file);
  nlohmann::json design = nlohmann::json::parse(text);
  for (auto& component : design.at("components")) {
    if (component.value("name", "") != "Products") continue;
    component["class"] = "TPgQuery";
    component["properties"].erase("DatabaseFile");
    component["properties"]["Connection"] = postgres;
  }
  return TFormTemplate::FromText(design.dump(), file.parent_path().string());
}

// The search form is sent to the program's own address (SCRIPT_NAME) rather
// than to the address of the page it stands on: that one may carry a query
// string, whose fields would then hide those of a posted form.
void AimForm(TComponent& form, const TWvCGI& cgi) {
  const std::string self = cgi.GetRequestVariable("SCRIPT_NAME").value_or("");
  if (!self.empty()) Find<TWvInputForm>(form, "SearchForm").SetAction(WvEscapeAttribute(self));
}

std::string Answer(TComponent& form, TWvCGI& cgi) {
  AimForm(form, cgi);
  const Request request = ReadRequest(cgi);
  const std::vector<Product> products = ReadProducts(Find<TDataSet>(form, "Products"));
  FillGreeting(form, request);
  const std::vector<Product> matches = FillResults(form, request, products);
  ChooseProduct(form, request, products, matches);
  FillChart(form, products, matches);
  return Find<TWvPage>(form, "Page1").put(&Find<TWvOptimizer>(form, "Optimizer1"));
}

}  // namespace

// Answers requests until the web server stops the program; its exit status.
int Run() {
  RegisterPackage();
  SetImagePaths();
  const std::filesystem::path folder = ProgramFolder();
  const TFormTemplate design = LoadDesign(folder / "demo.json");
  TWvCGI gateway(nullptr);
  // A CGI process cleans up itself, after its page is sent, when a cleanup
  // is due; a worker leaves it to its cleanup thread.
  TCleanupSchedule schedule;
  std::unique_ptr<TBackgroundCleanup> background;
  // A request that fails is answered with an error page and its reason goes
  // to the server's log, by the gateway; the next one is served as usual.
  return gateway.Serve([&](TWvCGI& cgi) {
    TComponent form(nullptr);
    design.Load(form);
    cgi.Send(Answer(form, cgi));
    if (!cgi.IsFastCGI()) {
      if (schedule.RequestAnswered()) CleanUpImages(WvGetInternalImagePath());
      return;
    }
    if (!background) background = std::make_unique<TBackgroundCleanup>(WvGetInternalImagePath());
    background->RequestAnswered();
  });
}

}  // namespace tavkit::demo

int main() {
  try {
    return tavkit::demo::Run();
  } catch (const std::exception& error) {
    // Without its form the program cannot answer at all; the web server
    // tells the visitor, the log tells why.
    std::fprintf(stderr, "demo: %s\n", error.what());
    return 1;
  }
}
