// The files the designer writes for itself: new files of fresh names opened
// exclusively (so that nothing planted at a fixed name can redirect a
// write), the check at start that the form's folder takes files,
// and the place where work not saved is kept when the form's folder will not
// take it. Also the random text the designer's address and temporary names
// are made of.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace tavkit::design {

// bytes random bytes from the kernel, as 2 * bytes lower-case hex digits.
// Raises Exception when the kernel gives none.
std::string RandomHex(std::size_t bytes);

// Writes all of bytes to fd; false, with errno set, when the disk refuses.
bool WriteAll(int fd, const std::string& bytes);

// Creates a new file named prefix followed by random characters, opened for
// writing with O_EXCL and O_NOFOLLOW (never an existing file, never through a
// link), mode 0600. Returns the descriptor and sets path; raises EInOutError
// naming prefix when no file can be made.
int CreateUniqueFile(const std::string& prefix, std::string& path);

// Raises EInOutError, saying why, when folder does not exist, is no folder or
// cannot take new files.
void RequireWritableFolder(const std::string& folder);

// Writes text as fileName.unsaved beside fileName, or, when that folder
// will not take it, into the temporary folder and then the current one.
// Returns the name written; raises EInOutError when no place would take it.
std::string KeepUnsavedText(const std::string& fileName, const std::string& text);

// The bytes of a regular file of at most maxSize bytes below folder (a
// real folder, as fs::canonical gives it), never read through a link that
// leads out of it; false when there is no such file.
bool ReadFileBelow(const std::string& folder, const std::string& name, std::int64_t maxSize,
                   std::string& bytes);

}  // namespace tavkit::design
