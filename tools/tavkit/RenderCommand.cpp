// tavkit render and tavkit cgi: load a form file and write what its page's
// put returns, either bare on standard output or as a CGI response.
#include <cstdio>
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
    "                   (default: images/ beside the tavkit program)\n"
    "  --image-url URL  the web path under which the browser finds them\n"
    "                   (default: /images/)\n";

const char* const kCgiUsage =
    "usage: tavkit cgi FORM [--page NAME] [--no-optimizer]\n"
    "                    [--image-dir DIR] [--image-url URL]\n"
    "\n"
    "Answers one CGI request with the page of the form file FORM: the document\n"
    "is sent through TWvCGI behind its content-type header.\n"
    "\n"
    "  --page NAME      the page to send (default: the first TWvPage of the form)\n"
    "  --no-optimizer   write plain markup even when the form has a TWvOptimizer\n"
    "  --image-dir DIR  the folder into which server images are written\n"
    "                   (default: images/ beside the tavkit program)\n"
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

// Loads the form and returns the document of its page.
std::string RenderForm(const RenderOptions& options, TComponent& form) {
  RegisterPackage();
  if (!options.ImageDir.empty()) WvSetInternalImagePath(options.ImageDir);
  if (!options.ImageUrl.empty()) WvSetExternalImagePath(options.ImageUrl);
  LoadForm(options.Form, form);
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

}  // namespace

int RenderCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kRenderUsage, stdout);
    return 0;
  }
  RenderOptions options = ParseRenderOptions(args);
  TComponent form(nullptr);
  std::string html = RenderForm(options, form);
  if (std::fwrite(html.data(), 1, html.size(), stdout) != html.size() || std::fflush(stdout) != 0)
    throw EInOutError("cannot write to standard output");
  return 0;
}

int CgiCommand(const Args& args) {
  if (WantsHelp(args)) {
    std::fputs(kCgiUsage, stdout);
    return 0;
  }
  RenderOptions options = ParseRenderOptions(args);
  TComponent form(nullptr);
  std::string html = RenderForm(options, form);
  TWvCGI* cgi = FirstOf<TWvCGI>(form);
  TWvCGI own(nullptr);
  (cgi != nullptr ? cgi : &own)->Send(html);
  return 0;
}

}  // namespace tavkit::cli
