// The pictures the designer shows: the design preview of one control,
// painted by the library in the designing state, and the palette pictures
// of the component classes, both as PNG files.
#pragma once

#include <string>

#include <tavkit/platform/controls/Controls.h>

namespace tavkit::design {

// The control's own preview without its children (the designer shows each
// child on top, where it can be moved on its own), as an RGBA PNG. Pixels
// the control leaves unpainted (a transparent label) are transparent, so
// the parent shows through as it does when the parent paints its children.
// Raises Exception for a control too large to paint; an empty string for a
// control with no area.
std::string PaintPreviewPng(TControl& control);

// The palette picture of a class (any letter case) as a PNG, or an empty
// string when the class has none.
std::string PaletteIconPng(const std::string& className);

}  // namespace tavkit::design
