// Writing the designer's files without being led astray by what others
// placed in the form's folder: temporary names are fresh and opened
// exclusively, and every failure names the file and the cause.
#include "design/DesignFiles.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <tavkit/platform/base/Exceptions.h>
#include <tavkit/platform/base/Streams.h>

namespace tavkit::design {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void FailWrite(const std::string& fileName, int error) {
  throw EInOutError("Cannot write " + fileName + ": " + std::strerror(error), error);
}

// Writes bytes into a new file named prefix... and returns its name.
std::string WriteUniqueFile(const std::string& prefix, const std::string& bytes) {
  std::string path;
  const int fd = CreateUniqueFile(prefix, path);
  if (!WriteAll(fd, bytes) || fsync(fd) != 0 || close(fd) != 0) {
    const int error = errno;
    close(fd);
    unlink(path.c_str());
    FailWrite(path, error);
  }
  return path;
}

}  // namespace

bool WriteAll(int fd, const std::string& bytes) {
  for (std::size_t written = 0; written < bytes.size();) {
    const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

std::string RandomHex(std::size_t bytes) {
  std::vector<unsigned char> random(bytes);
  for (std::size_t got = 0; got < bytes;) {
    const ssize_t n = getrandom(random.data() + got, bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Exception(std::string("Cannot get random bytes: ") + std::strerror(errno));
    got += static_cast<std::size_t>(n);
  }
  static const char* const digits = "0123456789abcdef";
  std::string text;
  for (unsigned char b : random) {
    text += digits[b >> 4];
    text += digits[b & 0xF];
  }
  return text;
}

int CreateUniqueFile(const std::string& prefix, std::string& path) {
  int error = EEXIST;
  for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
    path = prefix + RandomHex(6);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    error = errno;
  }
  FailWrite(prefix + "...", error);
}

void RequireWritableFolder(const std::string& folder) {
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) {
    const int error = errno;
    throw EInOutError(error == ENOENT ? "the folder " + folder + " does not exist"
                                      : "the folder " + folder + ": " + std::strerror(error),
                      error);
  }
  if (!S_ISDIR(info.st_mode)) throw EInOutError(folder + " is not a folder", ENOTDIR);
  if (faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
    const int error = errno;
    throw EInOutError("the folder " + folder + " cannot be written (" + std::strerror(error) + ")",
                      error);
  }
}

std::string KeepUnsavedText(const std::string& fileName, const std::string& text) {
  const std::string beside = fileName + ".unsaved";
  try {
    WriteFileAtomically(beside, text.data(), text.size(), 0644);
    return beside;
  } catch (const Exception&) {
    // The form's folder would not take it: somewhere of the user's own.
  }
  const std::string name = fs::path(fileName).filename().string() + ".unsaved-";
  std::error_code error;
  const fs::path temporary = fs::temp_directory_path(error);
  std::vector<fs::path> folders;
  if (!error) folders.push_back(temporary);
  folders.push_back(fs::current_path(error));
  std::string lastFailure = "no folder to write to";
  for (const fs::path& folder : folders) {
    try {
      return WriteUniqueFile((folder / name).string(), text);
    } catch (const EInOutError& e) {
      lastFailure = e.Message();
    }
  }
  throw EInOutError("The changes not saved could not be kept anywhere: " + lastFailure);
}

bool ReadFileBelow(const std::string& folder, const std::string& name, std::int64_t maxSize,
                   std::string& bytes) {
  std::error_code error;
  const fs::path real = fs::canonical(fs::path(folder) / name, error);
  if (error || real.string().rfind(folder + "/", 0) != 0) return false;
  const int fd = open(real.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxSize) {
    close(fd);
    return false;
  }
  bytes.clear();
  char buffer[65536];
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || static_cast<std::int64_t>(bytes.size()) + n > maxSize) {
      close(fd);
      return false;
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return true;
}

}  // namespace tavkit::design
