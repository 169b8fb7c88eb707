// The component package: one call that publishes every class of the library
// to the class registry and puts the palette components on the page
// "Taveno". Applications, the tavkit command and form files need it once
// before they create components by name.
//
// ```cpp
// RegisterPackage();                          // once, before anything is made by name
// TComponent form(nullptr);
// LoadForm("shop.json", form);
// auto* page = dynamic_cast<TWvPage*>(form.FindComponent("Page1"));
// ```
#pragma once

namespace tavkit {

// Registers every unit; safe to call more than once.
void RegisterPackage();

}  // namespace tavkit
