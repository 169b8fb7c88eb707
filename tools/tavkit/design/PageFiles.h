// The files beside the form that a rendered page asks the browser for: the
// pictures its SRC and BACKGROUND attributes name relative to the page. The
// designer serves these and nothing else of the form's folder, so that a
// page of another site cannot read the folder through it.
#pragma once

#include <set>
#include <string>

namespace tavkit::design {

// The names, relative to the page's folder and with %-escapes and character
// references decoded, of the files that the page's SRC and BACKGROUND
// attributes name there (a reference to /page/NAME counts as NAME). Names
// of other servers, other paths of this one and names that climb out of
// the folder are left out.
std::set<std::string> PageFiles(const std::string& html);

// The name relative to the page's folder that one SRC or BACKGROUND value
// names, as PageFiles takes it; empty for anything else.
std::string PageFileName(const std::string& reference);

// A requested name below /page/ in the same form: "." steps dropped,
// doubled slashes joined; empty when it climbs out with "..".
std::string NormalPageName(const std::string& name);

}  // namespace tavkit::design
