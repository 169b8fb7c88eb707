// The palette pictures of the package: a 32 x 32, 16-colour bitmap for every
// component the package puts on a palette page, drawn with the canvas rather
// than shipped as files, and reachable through the class registry under the
// class name in capitals ("TWVPAGE"). A designer shows them on its palette.
//
// ```cpp
// RegisterPackage();
// for (const std::string& page : Palette::Pages())
//   for (const TClassInfo* component : TClassRegistry::Instance().PaletteComponents(page))
//     if (std::unique_ptr<TBitmap> icon = PaletteBitmap(component->ResourceName()))
//       icon->SaveToPNGFile(component->Name + ".png");
// ```
#pragma once

#include <string>
#include <vector>

#include <tavkit/platform/base/Registry.h>

namespace tavkit::Palette {

// Gives every palette component of the package its picture; RegisterPackage
// calls it after the units have put their components on the palette.
void Register();

// The palette pages in the order a designer shows them: "Taveno" first, the
// other pages in the order their first component was registered.
std::vector<std::string> Pages();

// Every component on every palette page, page by page in palette order.
std::vector<const TClassInfo*> Components();

}  // namespace tavkit::Palette
