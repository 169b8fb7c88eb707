// The small routines every page element builds its markup with: appending
// fragments, collapsing free-HTML string lists, web colours, Latin-1 entity
// references, tag stripping, name=value splitting, unique identifiers, the
// drawing of one line of text in a web font for design previews, and the
// server images: pictures written as GIF files for IMG tags to refer to.
//
// ```cpp
// // Once, when the program starts: where server images go and how the
// // browser finds them, and away with those older than a quarter of an hour.
// WvSetInternalImagePath("/srv/shop/images/");
// WvSetExternalImagePath("/images/");
// WvCleanupTempResources(15, 500);
//
// TBitmap badge(80, 20);
// std::string src = WvGenerateServerImage(badge, 80, 20, false);  // "" on failure
// std::string colour = WvMakeWebColor(clNavy);  // "000080"
//
// // A visitor's name into a text, an input and a link, each escaped for its place.
// std::string name = "Tom <b>";
// std::string greeting = "Hello, " + WvEscapeText(name);          // "Hello, Tom &lt;b&gt;"
// std::string value = WvEscapeAttribute(name);                    // inside VALUE="..."
// std::string href = "/shop?visitor=" + WvEncodeFormValue(name);  // "...=Tom+%3Cb%3E"
// ```
#pragma once

#include <cstdint>
#include <string>

#include <tavkit/platform/base/Types.h>

namespace tavkit {

class TBitmap;
class TStrings;
class TCanvas;
class TWvFont;

// Horizontal alignment of elements, style classes and drawn text.
enum t_WvTextAlign : std::uint8_t { taCenter = 0, taLeft = 1, taRight = 2, taNone = 3 };

// Appends text to dest; the plain append every element writes its fragments with.
void WvStrToHTML(std::string& dest, const std::string& text);

// Every line of the list, each preceded by one blank, with no line breaks.
std::string WvCollapseStringList(const TStrings& list);

// The low 24 bits of value as six upper-case hexadecimal digits.
std::string Wvinttohex(std::int32_t value);

// A host colour (red in the low byte) as the six digits RRGGBB of HTML,
// without the leading "#". Special values are not resolved: only the low 24
// bits count, so clNone gives "FFFFFF".
std::string WvMakeWebColor(TColor colour);

// Replaces every character from 160 to 255 by "&" and its entity name (no
// terminating ";"); everything below 160 passes unchanged.
std::string WvMakeLatinHTML(const std::string& text);

// Removes every tag "<...>" from text. When a "<" has no ">" after it, or a ">"
// comes before the first remaining "<", the text is returned as given.
std::string WvstripHTML(const std::string& text);

// Splits line at its first "=" into name and value. A line without "=" leaves
// both outputs as they were.
void WvExtractHiddenValues(const std::string& line, std::string& name, std::string& value);

// Escaping for text from outside (what a visitor typed, a value from a
// database) before it goes into a page. Elements write their properties as
// they are given, since markup in a text is meant as markup; a program that
// puts a visitor's words into an element escapes them first, once.
// WvEscapeText makes "&", "<" and ">" plain characters in element text;
// WvEscapeAttribute does that and escapes '"' and "'" for a value written
// inside quotes (an input's Value, a link's address). WvEncodeFormValue
// writes one value of a query string: letters, digits and "-_.~" stay, a
// blank becomes "+", every other byte "%" and two hexadecimal digits, so
// that FormVar reads back exactly the value given.
std::string WvEscapeText(const std::string& text);
std::string WvEscapeAttribute(const std::string& text);
std::string WvEncodeFormValue(const std::string& value);

// prefix followed by a number that grows by one with every call ("id0", "id1", ...).
std::string WvGetUniqueID(const std::string& prefix);

std::int32_t WvMinimum(std::int32_t a, std::int32_t b);

// Fills rect with colour and draws text in font, clipped to rect, aligned
// within it, one pixel below its top. Returns the height of one line of text
// in that font, so that a caller can move down line by line.
std::int32_t WvDrawString(const std::string& text, const TWvFont& font, TCanvas& canvas,
                          const TRect& rect, TColor colour, t_WvTextAlign align);

// The two server image paths: the directory into which generated GIF files
// are written and the web path under which the browser finds them. The
// folder gets a final "/" when it has none (it is a folder, whatever its
// spelling); the web path is stored as given, its "/" supplied by the
// caller. Both are meant to be set once, at start, before pages are written. The defaults are the
// "images/" folder beside the running program and the web path "/images/".
void WvSetInternalImagePath(const std::string& path);
void WvSetExternalImagePath(const std::string& path);
std::string WvGetInternalImagePath();
std::string WvGetExternalImagePath();

// prefix + a random number + "_" + a second random number + "." + extension,
// each number from 0 to 99999998 in plain decimal ("AG4711_815.gif"). The
// generator is seeded from the clock and the process id, so that programs
// started at the same moment, as CGI programs are, draw different names.
std::string WvGenerateRandomFilename(const std::string& prefix, const std::string& extension);

// Writes the bitmap as a new GIF file "AG<number>_<number>.gif" into the
// internal image directory, made first when it is missing, and returns its
// web path: the external image path followed by the file name. With stretch
// the picture is first drawn scaled to width by height pixels; without it
// width and height play no part. The file is created exclusively, with a new
// name whenever one is taken, so no other picture is ever overwritten.
// Returns "" on any failure (and for a bitmap without pixels), after one
// line naming the file and the cause in the error log; never throws.
std::string WvGenerateServerImage(TBitmap& bitmap, int width, int height, bool stretch);

// Deletes generated pictures ("AG*.gif" in the internal image directory)
// whose last change is more than `minutes` minutes ago, at most `count` of
// them, in the order the directory lists them. Files that cannot be deleted
// are skipped and not counted; nothing is reported.
void WvCleanupTempResources(int minutes, int count);

}  // namespace tavkit
