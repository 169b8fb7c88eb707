// What the designer's UI is told about a form, and how a property edit
// reaches it. Descriptions come from the class registry (kinds, enumeration
// names, the components a reference may name) with every value exactly as
// the form file writes it; an edit is written into the form text and read
// back by the form file's own reader, so the designer has no second
// conversion of values that could disagree with the files.
#pragma once

#include <string>
#include <vector>

#include <tavkit/platform/base/Components.h>
#include <tavkit/platform/base/Registry.h>
#include "design/DesignSession.h"

namespace tavkit::design {

// The word the UI uses for a property kind: "integer", "color", "boolean",
// "string", "strings", "enum", "object", "collection", "component", "field".
const char* KindName(TPropKind kind);

// The published properties of a form's component: its name and class and,
// in publishing order, one entry per property with "name", "kind" and
// "value" (as in the form file), plus "choices" for enumerations, colours
// (the colour constants), references and fields, "rgb" ("#RRGGBB") for
// colours, "properties" for sub-objects and "items" (each a list of
// properties) for collections. formText is what the form saves to.
TJson DescribeComponent(TComponent& form, const std::string& formText, const std::string& name);
// The same with the form text's JSON document.
TJson DescribeComponent(TComponent& form, TJson& root, const std::string& name);

// The controls of the form as a tree (name, class, bounds, whether each
// accepts controls, children in index order) and the components that are no
// controls, in the form's order.
TJson DescribeForm(TComponent& form);

// The components of a palette page: class name, whether it is a control,
// and whether it has a palette picture.
TJson DescribePalette(const std::string& page);

// The form text with one property of a component replaced. path names the
// property, then sub-properties and collection item indices, as a JSON
// array (or one property name as a string). Raises Exception for a
// component or a path the text does not hold.
std::string SetFormProperty(const std::string& formText, const std::string& component,
                            const TJson& path, const TJson& value);
// The same on the form text's JSON document.
void SetFormProperty(TJson& root, const std::string& component, const TJson& path,
                     const TJson& value);

// What several components of the form have in common, for the inspector:
// {"components": [names], "properties": [...]} with the properties all of
// them have (the same name and kind) in the shape of DescribeComponent,
// each value, sub-value or list of items kept where all agree and null
// where they differ. The name, which no two share, is left out.
TJson DescribeShared(TComponent& form, const std::string& formText,
                     const std::vector<std::string>& names);

}  // namespace tavkit::design
