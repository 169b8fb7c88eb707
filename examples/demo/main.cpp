// The demo shop: a CGI program written the way an application of the
// library is. It loads its form file (demo.json beside the program, with the
// shop database shop.db), reads the visitor's name, a search text and a
// chosen product from the request (query string or posted form), fills the
// results table, the greeting and the price chart by code, puts the
// data-bound panel on the chosen product and sends the page. Server images
// older than a quarter of an hour are cleaned up on the way, once a minute.
//
// The web server tells the program where the pictures go through two
// environment variables: TAVKIT_IMAGE_DIR (the folder, ending in "/") and
// TAVKIT_IMAGE_URL (the web path of that folder). Without them the pictures
// go to "images/" beside the program, under the web path "/images/".
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

// How long server images are kept, and how many are deleted in one go at
// most, so that no single request pays for a large backlog. Looking through
// the folder costs a look at every picture in it, as many as a quarter of an
// hour of traffic has made, so it is done at most once a minute: the request
// that finds the stamp file older than that does it.
constexpr int ImageLifeMinutes = 15;
constexpr int ImagesDeletedPerCleanup = 500;
constexpr auto CleanupInterval = std::chrono::minutes(1);
const char* const CleanupStamp = "cleanup.stamp";

struct Product {
  std::string Id;
  std::string Name;
  double Price = 0;
  int Record = 0;  // counted from the first record of the query
};

// The page writes texts as they are, so whatever came from the visitor is
// made harmless before it goes into the markup.
std::string EscapeHTML(const std::string& text) {
  std::string result;
  for (char c : text) {
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '>':
        result += "&gt;";
        break;
      case '"':
        result += "&quot;";
        break;
      default:
        result += c;
    }
  }
  return result;
}

// A value for a query string: everything but letters, digits and "-_.~"
// as %XX, so that it can stand inside an HREF of any quoting.
std::string EncodeURL(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string result;
  for (unsigned char c : text) {
    if (std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.' || c == '~') {
      result += static_cast<char>(c);
    } else {
      result += '%';
      result += hex[c >> 4];
      result += hex[c & 15];
    }
  }
  return result;
}

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
  std::string link = "?visitor=" + EncodeURL(request.Visitor) + "&q=" + EncodeURL(request.Search);
  if (!productId.empty()) link += "&product=" + EncodeURL(productId);
  return link;
}

void FillGreeting(TComponent& form, const Request& request) {
  if (request.Visitor.empty()) return;  // the designed invitation stays
  SetText(Find<TWvText>(form, "Greeting"),
          "Hello, " + EscapeHTML(request.Visitor) + "! Here is what we found for you.");
  Find<TWvTextInputField>(form, "VisitorField").SetValue(EscapeHTML(request.Visitor));
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
  Find<TWvTextInputField>(form, "SearchField").SetValue(EscapeHTML(request.Search));
  const std::string quoted = "\"" + EscapeHTML(request.Search) + "\"";
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

// True when the last cleanup is a minute old or more (or none was done);
// the stamp then says that this request does it. Two requests that look at
// once may both clean up, which does no harm.
bool CleanupDue() {
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

// The search form is sent to the program's own address (SCRIPT_NAME) rather
// than to the address of the page it stands on: that one may carry a query
// string, whose fields would then hide those of a posted form.
void AimForm(TComponent& form) {
  const char* self = std::getenv("SCRIPT_NAME");
  if (self != nullptr && *self != '\0')
    Find<TWvInputForm>(form, "SearchForm").SetAction(EscapeHTML(self));
}

std::string Answer(TComponent& form, TWvCGI& cgi) {
  AimForm(form);
  const Request request = ReadRequest(cgi);
  const std::vector<Product> products = ReadProducts(Find<TDataSet>(form, "Products"));
  FillGreeting(form, request);
  const std::vector<Product> matches = FillResults(form, request, products);
  ChooseProduct(form, request, products, matches);
  FillChart(form, products, matches);
  return Find<TWvPage>(form, "Page1").put(&Find<TWvOptimizer>(form, "Optimizer1"));
}

}  // namespace

// Answers one request; the exit status of the program.
int Run() {
  try {
    RegisterPackage();
    SetImagePaths();
    if (CleanupDue()) WvCleanupTempResources(ImageLifeMinutes, ImagesDeletedPerCleanup);
    TComponent form(nullptr);
    LoadForm((ProgramFolder() / "demo.json").string(), form);
    auto& cgi = Find<TWvCGI>(form, "CGI1");
    const std::string page = Answer(form, cgi);
    cgi.Send(page);
    return 0;
  } catch (const std::exception& error) {
    // The server shows the visitor an error page; the reason goes to the
    // server's log.
    std::fprintf(stderr, "demo: %s\n", error.what());
    std::fputs(
        "Status: 500 Internal Server Error\r\nContent-Type: text/plain\r\n\r\n"
        "The demo could not answer this request.\r\n",
        stdout);
    return 1;
  }
}

}  // namespace tavkit::demo

int main() {
  return tavkit::demo::Run();
}
