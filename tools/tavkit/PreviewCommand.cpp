// tavkit preview: paints a form's page, or one component, the way the
// designer shows it — every element drawing its own design preview at its
// position — and writes the picture as a PNG.
#include <cstdio>
#include <string>

#include <tavkit/layout/WvPage.h>
#include <tavkit/package/Package.h>
#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Limits.h>
#include <tavkit/platform/formfile/FormFile.h>
#include <tavkit/platform/graphics/Bitmap.h>
#include <tavkit/platform/graphics/Canvas.h>
#include "Commands.h"

namespace tavkit::cli {

namespace {

const char* const kPreviewUsage =
    "usage: tavkit preview FORM -o OUT.png [--component NAME]\n"
    "\n"
    "Loads the form file FORM in the designing state and paints the design\n"
    "previews of its page (every element at its position, as the designer\n"
    "shows them) into OUT.png.\n"
    "\n"
    "  -o OUT.png        the picture to write\n"
    "  --component NAME  paint this control and its children instead of the page\n";

TControl* FindTarget(TComponent& form, const std::string& name) {
  if (!name.empty()) {
    auto* control = dynamic_cast<TControl*>(form.FindComponent(name));
    if (control == nullptr) throw Exception("the form has no control named " + name);
    return control;
  }
  for (int i = 0; i < form.ComponentCount(); ++i)
    if (auto* page = dynamic_cast<TWvPage*>(form.Components(i))) return page;
  throw Exception("the form has no TWvPage");
}

}  // namespace

int PreviewCommand(const Args& arguments) {
  if (WantsHelp(arguments)) {
    std::fputs(kPreviewUsage, stdout);
    return 0;
  }
  Args args = arguments;
  std::string out = TakeOption(args, "-o");
  std::string component = TakeOption(args, "--component");
  RejectUnknownOptions(args);
  if (args.size() != 1) throw UsageError("expected one form file");
  if (out.empty()) throw UsageError("-o OUT.png is required");

  RegisterPackage();
  TComponent form(nullptr);
  form.SetDesigning(true);  // components created while loading are designed too
  LoadForm(args[0], form);
  TControl* target = FindTarget(form, component);
  int width = target->GetWidth(), height = target->GetHeight();
  if (width <= 0 || height <= 0)
    throw Exception("the control " + target->GetName() + " has no area to paint");
  if (static_cast<long long>(width) * height > MaxPreviewPixels)
    throw ETooLargeAs<Exception>("MaxPreviewPixels", MaxPreviewPixels, "the control " + target->GetName() + " is too large to paint (" +
                    std::to_string(width) + " x " + std::to_string(height) + ")");

  TBitmap picture(width, height, TPixelFormat::pf24bit);
  picture.Canvas().Brush().Color = clWhite;
  picture.Canvas().FillRect(TRect{0, 0, width, height});
  target->PaintTo(picture.Canvas(), 0, 0);
  picture.SaveToPNGFile(out);
  return 0;
}

}  // namespace tavkit::cli
