// The pictures the designer shows: the design preview of one control,
// painted by the library in the designing state, and the palette pictures
// of the component classes, both as PNG files.
#pragma once

#include <memory>
#include <string>

#include <tavkit/platform/controls/Controls.h>
#include <tavkit/platform/graphics/Picture.h>

namespace tavkit::design {

// The picture an image element shows on the page: the file of an image's
// ImagePath, which the page names relative to itself, so in the form's
// folder; the field of a data-bound image at its data-bound panel's record,
// or else at the first. Picture is null when the element shows none (no
// path, no field, a NULL value); Error says why a picture it names cannot
// be read.
struct TElementPicture {
  std::unique_ptr<TPicture> Picture;
  bool Stretch = false;  // drawn at the element's size, else at its own and clipped
  std::string Error;
};
// folder is the form's absolute folder; empty, image files are not read.
TElementPicture ReadElementPicture(TControl& control, const std::string& folder);

// The control's own preview without its children (the designer shows each
// child on top, where it can be moved on its own), as an RGBA PNG. Pixels
// the control leaves unpainted (a transparent label) are transparent, so
// the parent shows through as it does when the parent paints its children.
// An image element with a picture (ReadElementPicture, with folder) shows
// it as the page does, under the element's dashed outline. Raises
// Exception for a control too large to paint; an empty string for a
// control with no area.
std::string PaintPreviewPng(TControl& control, const std::string& folder = std::string());

// The palette picture of a class (any letter case) as a PNG, or an empty
// string when the class has none.
std::string PaletteIconPng(const std::string& className);

}  // namespace tavkit::design
