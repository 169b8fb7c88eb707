// Components copied as form file text and pasted into a form. The text is
// the same JSON as a form file on disk, so that what one designer copies
// another pastes, and a person can read or keep it.
#pragma once

#include <set>
#include <string>
#include <vector>

#include <tavkit/platform/base/Components.h>
#include "design/DesignSession.h"

namespace tavkit::design {

// Class TWvText gives WvText1, WvText2, ...: the first name neither the form
// nor taken (names in capitals) has. With next, the numbers below *next are
// not tried, and *next becomes the number after the one given: names asked
// for one after another are found without trying the same numbers again.
std::string FreeName(TComponent& form, const std::string& className,
                     const std::set<std::string>& taken = {}, int* next = nullptr);

// A form file text holding the named components of form, whose text is
// formText, as that text writes them: controls of one parent, or
// components that are no controls, with their children and properties, in
// the order of the form. Raises Exception for a name the form lacks and for
// controls of different parents.
std::string CopyText(TComponent& form, const std::string& formText,
                     const std::vector<std::string>& names);

// The components of a form file text made ready to join form.
struct TPasteEntries {
  TJson Entries;                   // the top-level entries, with their children
  std::vector<std::string> Names;  // the names of the top-level entries, in order
};

// Reads the text with the form file reader's messages (EFormFileError) and
// names its components afresh: a name the form has free is kept, any
// other (or none) becomes the first free name of its class. References
// among the text's components follow their targets' new names; a reference
// to a component the text does not hold stays when the form has that
// component and is emptied when it has not.
TPasteEntries ReadPasteText(TComponent& form, const std::string& text);

}  // namespace tavkit::design
