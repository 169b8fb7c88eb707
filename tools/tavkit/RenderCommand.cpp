// tavkit render and tavkit cgi: load a form file and write what its page's
// put returns, either bare on standard output or as the answer to web
// requests, one as a CGI program or one after another as a FastCGI worker.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include <tavkit/cgi/WvCGI.h>
#include <tavkit/core/WvMiscTools.h>
#include <tavkit/core/WvOptimizer.h>
#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/formfile/FormFile.h>
#include "Commands.h"

namespace tavkit::cli {

namespace {

const char* const kRenderUsage =
    "usage: tavkit render FORM [--page NAME] [--no-optimizer]\n"
    "                    [--image-dir DIR] [--image-url URL]\n"
    "\n"
    "Loads the form file FORM and writes the HTML document of its page to\n"
    "standard output, exactly as the page's put returns it.\n"
    "\n"
    "  --page NAME      the page to write (default: the first TWvPage of the form)\n"
    "  --no-optimizer   write plain markup even when the form has a TWvOptimizer\n"
    "  --image-dir DIR  the folder into which server images are written\n"
    "                   (default: images/ in the current folder; the folder is\n"
    "                   named on standard error when pictures went there)\n"
    "  --image-url URL  the web path under which the browser finds them\n"
    "                   (default: /images/)\n";

const char* const kCgiUsage =
    "usage: tavkit cgi FORM [--page NAME] [--no-optimizer]\n"
    "                    [--image-dir DIR] [--image-url URL]\n"
    "\n"
    "Answers a web request with the page of the form file FORM: the document\n"
    "is sent through TWvCGI behind its content-type header. Run as a CGI\n"
    "program it answers the one request of its process; started by a FastCGI\n"
    "process manager (a listening socket on standard input, as spawn-fcgi or\n"
    "lighttpd give it) it answers request after request, each with a page made\n"
    "afresh from the form file read at start-up, until it gets SIGTERM.\n"
    "\n"
    "  --page NAME      the page to send (default: the first TWvPage of the form)\n"
    "  --no-optimizer   write plain markup even when the form has a TWvOptimizer\n"
    "  --image-dir DIR  the folder into which server images are written\n"
    "                   (default: images/ in the current folder)\n"
    "  --image-url URL  the web path under which the browser finds them\n"
    "                   (default: /images/)\n";

struct RenderOptions {
  std::string Form;
  std::string Page;
  bool NoOptimizer = false;
  std::string ImageDir;
  std::string ImageUrl;
};

// The image paths end with a separator, as the library expects.
std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

RenderOptions ParseRenderOptions(Args args) {
  RenderOptions options;
  options.Page = TakeOption(args, "--page");
  options.NoOptimizer = TakeFlag(args, "--no-optimizer");
  options.ImageDir = WithTrailingSlash(TakeOption(args, "--image-dir"));
  options.ImageUrl = WithTrailingSlash(TakeOption(args, "--image-url"));
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one form file");
  options.Form = args[0];
  return options;
}

template <class T>
T* FirstOf(TComponent& form) {
  for (int i = 0; i < form.ComponentCount(); ++i)
    if (auto* found = dynamic_cast<T*>(form.Components(i))) return found;
  return nullptr;
}

// The document of the form's page, as the options choose page and optimizer.
std::string PutPage(const RenderOptions& options, TComponent& form) {
  TWvPage* page = nullptr;
  if (!options.Page.empty()) {
    page = dynamic_cast<TWvPage*>(form.FindComponent(options.Page));
    if (page == nullptr) throw Exception("the form has no page named " + options.Page);
  } else {
    page = FirstOf<TWvPage>(form);
    if (page == nullptr) throw Exception("the form has no TWvPage");
  }
  TWvCustomOptimizer* optimizer = options.NoOptimizer ? nullptr : FirstOf<TWvCustomOptimizer>(form);
  return page->put(optimizer);
}

// The folder of server images unless one is given: beside the files the
// user works on, not beside the program (which may be a system folder).
std::string DefaultImageDir() {
  return (std::filesystem::current_path() / "images").string() + "/";
}

void Prepare(const RenderOptions& options) {
  RegisterPackage();
  WvSetInternalImagePath(options.ImageDir.empty() ? DefaultImageDir() : options.ImageDir);
  if (!options.ImageUrl.empty()) WvSetExternalImagePath(options.ImageUrl);
}

// The server images in a folder, by name.
std::set<std::string> ServerImagesIn(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (name.starts_with("AG") && name.ends_with(".gif")) names.insert(name);
  }
  return names;
}

}  // namespace

int RenderCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kRenderUsage, stdout);
    return 0;
  }
  RenderOptions options = ParseRenderOptions(args);
  Prepare(options);
  TComponent form(nullptr);
  LoadForm(options.Form, form);
  const std::set<std::string> before =
      options.ImageDir.empty() ? ServerImagesIn(WvGetInternalImagePath()) : std::set<std::string>();
  std::string html = PutPage(options, form);
  if (std::fwrite(html.data(), 1, html.size(), stdout) != html.size() || std::fflush(stdout) != 0)
    throw EInOutError("cannot write to standard output");
  // Pictures written where nobody asked for them are named, so that they
  // are found (and not left behind unknowingly).
  if (options.ImageDir.empty()) {
    std::size_t written = 0;
    for (const std::string& name : ServerImagesIn(WvGetInternalImagePath())) written += before.count(name) == 0;
    if (written > 0)
      std::fprintf(stderr, "note: %zu server image%s written to %s (choose the folder with --image-dir)\n",
                   written, written == 1 ? "" : "s", WvGetInternalImagePath().c_str());
  }
  return 0;
}

int CgiCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kCgiUsage, stdout);
    return 0;
  }
  RenderOptions options = ParseRenderOptions(args);
  Prepare(options);
  // The file is read, parsed and checked once; a worker that cannot load its
  // form stops here with the file's name in the message rather than failing
  // every request.
  const TFormTemplate formTemplate(options.Form);
  {
    TComponent probe(nullptr);
    formTemplate.Load(probe);
  }
  TWvCGI gateway(nullptr);
  return gateway.Serve([&](TWvCGI& cgi) {
    // A fresh form for every request: data-bound elements read the
    // database anew and nothing of one page is left for the next.
    TComponent form(nullptr);
    formTemplate.Load(form);
    cgi.Send(PutPage(options, form));
  });
}

}  // namespace tavkit::cli
