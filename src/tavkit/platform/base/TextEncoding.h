// Text encodings. The library's strings hold Latin-1 bytes; files, databases
// and the web hold UTF-8. These are the one place where text crosses between
// the two, and where letter case is folded for names, each with one rule.
#pragma once

#include <string>

namespace tavkit {

// Every byte as the character U+0000 to U+00FF it stands for, in UTF-8.
std::string Latin1ToUtf8(const std::string& latin1);

// UTF-8 text as Latin-1. A character beyond U+00FF becomes "?"; bytes that
// are no well-formed UTF-8 sequence (overlong forms and surrogates included)
// are kept as they are, since older files and databases stored Latin-1
// directly. Callers that must refuse wide characters instead ask
// FirstBeyondLatin1 first.
std::string Utf8ToLatin1(const std::string& utf8);

// The first well-formed character beyond U+00FF in UTF-8 text, or 0 when
// every character fits in Latin-1.
unsigned FirstBeyondLatin1(const std::string& utf8);

// The text with the ASCII letters a-z in capitals and every other byte as it
// is, whatever the process locale: class names, resource names and type
// names compare the same on every machine.
std::string AsciiUpperCase(std::string text);

}  // namespace tavkit
