// The rendered page beside the design: what `tavkit render` writes for the
// design as it stands. It runs the tavkit program itself on a copy of the
// form text, so that the frame shows the very bytes the saved file renders
// to, fresh numbering of image maps and all, and a page that fails to render
// cannot take the designer down with it.
#pragma once

#include <string>

namespace tavkit::design {

struct TRenderResult {
  bool Ok = false;
  std::string Html;   // the document, when Ok
  std::string Error;  // the program's message, when not
};

class TPageRenderer {
 public:
  // program: the tavkit program; imageDir and imageUrl are handed to it as
  // --image-dir and --image-url.
  TPageRenderer(std::string program, std::string imageDir, std::string imageUrl);

  // Renders formText as if it were saved as formFile: the copy is written
  // beside it (hidden, removed afterwards) so that the paths it names
  // relative to its folder stay good.
  TRenderResult Render(const std::string& formText, const std::string& formFile) const;

  // How long a render may take before it is stopped.
  static constexpr int TimeoutSeconds = 60;

 private:
  std::string FProgram;
  std::string FImageDir;
  std::string FImageUrl;
};

}  // namespace tavkit::design
